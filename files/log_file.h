// A log file read whole for the window: checked, then turned into text.
//
//   readLogFile(path) --checks, UTF-8--> LogFileRead (text for the input box, and where its
//                                        unfinished last line starts, for following it)
#pragma once

#include <QString>
#include <QtGlobal>

namespace orvalin {

// The largest log file the window takes. The window rescans its whole input text on every
// change, which stays quick up to a few megabytes; larger logs are for the batch decoder.
inline constexpr qint64 LogFileSizeLimit = 32 * 1024 * 1024;

enum class LogFileProblem {
    None,
    Missing,
    Unreadable,  // permissions or an I/O error; LogFileRead::reason says which
    Directory,
    NotAFile,  // a device, pipe or socket: reading it may never end
    TooLarge,
    NotText,  // holds NUL bytes: a binary file
};

struct LogFileRead {
    QString path;
    LogFileProblem problem = LogFileProblem::None;
    QString reason;   // the system's words for Unreadable
    qint64 size = 0;  // bytes, as found when the file was checked
    // The file's text (UTF-8, an invalid byte becomes U+FFFD), without a byte-order mark at
    // its start.
    QString text;
    // Where the unfinished last line starts (after the last line break; the end of the file
    // when none is unfinished), and that line's text, which ends `text` unless it was held
    // back.
    qint64 lineStart = 0;
    QString unfinishedLine;

    bool ok() const { return problem == LogFileProblem::None; }
};

// Reads and checks a whole file. With `holdUnfinishedLine`, a last line without its line
// break is kept out of `text` until it is complete (a followed file may be mid-write).
LogFileRead readLogFile(const QString& path, bool holdUnfinishedLine);

// The message box for a file that cannot be opened.
inline constexpr char OpenLogFileTitle[] = "Open Log File";
// `fileNameOnly` leaves the folders out of the file's name, for the status line.
QString logFileProblemText(const LogFileRead& read, bool fileNameOnly = false);
QString logFileProblemText(const QString& path, LogFileProblem problem, const QString& reason,
                           bool fileNameOnly);

}  // namespace orvalin
