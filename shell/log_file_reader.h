// A log file brought into the input box: read whole when it is opened, then, while it is
// followed, checked again and again for the complete lines appended since.
//
//   readLogFile(path) --checks, UTF-8--> LogFileRead (text for the input box, where the file ended)
//   LogFileReader::start(read), then check() --> nothing new | appended lines | read again
//                                                | gone | failed
//
// No widgets: the window decides what to do with each answer.
#pragma once

#include <QByteArray>
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

// Which file a path named when it was read: a new file behind the same path (a rotated log,
// a new pass) has another identity.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct LogFileRead {
    QString path;
    LogFileProblem problem = LogFileProblem::None;
    QString reason;   // the system's words for Unreadable
    qint64 size = 0;  // bytes, as found when the file was checked
    QString text;     // the file's text (UTF-8, an invalid byte becomes U+FFFD)

    // Where reading stopped, for following the file.
    FileIdentity identity;
    qint64 offset = 0;       // bytes read
    QByteArray tail;         // the bytes after the last line feed: a line not yet ended
    bool tailShown = false;  // whether `text` ends with that unfinished line

    bool ok() const { return problem == LogFileProblem::None; }
};

// Reads and checks a whole file. With `holdUnfinishedLine`, a last line without its line
// feed is kept out of `text` until it is complete (a followed file may be mid-write).
LogFileRead readLogFile(const QString& path, bool holdUnfinishedLine);

// The message box for a file that cannot be opened.
inline constexpr char OpenLogFileTitle[] = "Open Log File";
// `fileNameOnly` leaves the folders out of the file's name, for the status line.
QString logFileProblemText(const LogFileRead& read, bool fileNameOnly = false);

// The state of following one file.
class LogFileReader {
public:
    enum class Change {
        None,      // nothing new, or only part of a line
        Appended,  // `text` holds the complete lines appended since the last check
        Reopened,  // the file shrank or was replaced: `read` holds its whole text
        Removed,   // the file is gone (missing on two counted checks in a row)
        Failed,    // the file can no longer be read: `read` says why
    };
    struct Update {
        Change change = Change::None;
        QString text;
        // Appended only: the unfinished line that the text box already shows and that `text`
        // now repeats in full; empty when the box showed none.
        QString shownUnfinishedLine;
        LogFileRead read;
    };

    // Follows the file from where `read` stopped.
    void start(const LogFileRead& read);
    void stop() { path_.clear(); }
    bool isOpen() const { return !path_.isEmpty(); }
    const QString& path() const { return path_; }

    // A rotated log is renamed and then created anew: the change notice of the rename may come
    // before the new file. Checks after such notices pass countAbsence = false; only the
    // periodic checks count a missing file.
    Update check(bool countAbsence = true);

private:
    Update reopen();
    Update failure(LogFileProblem problem, const QString& reason = QString()) const;

    QString path_;
    FileIdentity identity_;
    qint64 offset_ = 0;
    QByteArray tail_;       // bytes after the last line feed read
    QString shownTail_;     // that unfinished line as the text box shows it, if it does
    QByteArray lastBytes_;  // the bytes just before offset_, to notice a file rewritten in place
    int missingChecks_ = 0;
};

}  // namespace orvalin
