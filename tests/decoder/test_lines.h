#pragma once

#include <QString>

#include "decoder/log_scan.h"

namespace orvalin::test {

// Frame byte k holds the value k: channel c reads the value c + 3.
inline const QString WorkedLine = QStringLiteral(
    "!06122026@123456;000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");

inline QString lineWithFrame(const QString& frame64,
                             const QString& stamp = QStringLiteral("!06122026@123456;")) {
    return stamp + frame64;
}

// Decodes a line into `record` when it is a log line.
inline bool decodeIfLogLine(QStringView line, TelemetryRecord& record) {
    return readLogLine(line, record) == LineVerdict::Accepted;
}

}  // namespace orvalin::test
