// Files that are either written whole or not at all: the bytes go to a temporary file beside
// the target, which is renamed over it only when everything is on disk. A reader of the old
// file, or the outside converter, never sees a cut file.
#pragma once

#include <QByteArray>
#include <QString>

namespace orvalin {

// Replaces the file at path with bytes. Returns false and sets why (the system's reason, such
// as "No space left on device") when anything fails; the old file is then untouched and no
// temporary file is left behind.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& why);

}  // namespace orvalin
