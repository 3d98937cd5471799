#include "export/atomic_file.h"

#include <QSaveFile>

namespace orvalin {

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& why) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
        return false;
    }
    // A full disk first shows as a short write without an error, and QSaveFile would commit
    // the cut file: keep writing until all is written or the system names the error.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            why = file.errorString();
            file.cancelWriting();
            return false;
        }
        written += n;
    }
    if (!file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}

}  // namespace orvalin
