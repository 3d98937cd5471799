// A log file read whole: checked, then handed on as bytes, cut where its unfinished last line
// starts (a followed file may be mid-write).
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include "files/failure.h"

namespace orvalin {

// The largest log file read whole. The window rescans its whole input text on every change,
// which stays quick up to a few megabytes; larger logs are for the batch decoder.
inline constexpr qint64 LogFileSizeLimit = 32 * 1024 * 1024;

struct LogFileBytes {
    // The complete lines, each with its break, without a byte-order mark at the start of the
    // file; then the bytes after the last break: the unfinished last line, if any.
    QByteArray lines;
    QByteArray unfinishedLine;
    qint64 lineStart = 0;  // where the unfinished last line starts in the file
};

// Reads and checks a whole file. Failures: Missing, Unreadable (the errno says why), Folder,
// NotAFile (a device, pipe or socket: reading it may never end), TooLarge, NotText (it holds
// NUL bytes: a binary file).
Result<LogFileBytes> readLogFile(const QString& path);

}  // namespace orvalin
