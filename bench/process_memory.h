// The memory of the running benchmark, as the kernel counts it.
#pragma once

#include <QByteArray>
#include <QFile>

namespace orvalin::bench {

// A field of /proc/self/status in MiB: "VmRSS" (resident now) or "VmHWM" (the peak); -1 when
// it cannot be read.
inline double statusMiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

}  // namespace orvalin::bench
