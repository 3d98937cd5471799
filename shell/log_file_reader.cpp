#include "shell/log_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "decoder/log_text.h"

namespace orvalin {

namespace {

// Enough of the bytes before the read position to tell an appended file from a rewritten one.
constexpr qint64 RememberedBytes = 256;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// An open file descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(const QString& path)
        // Non-blocking, so that opening a pipe does not wait for a writer.
        : fd_(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Reads from `offset` to the end of the file, at most `limit` bytes; false on a read error.
bool readFrom(int fd, qint64 offset, qint64 limit, QByteArray& out) {
    out.resize(0);
    constexpr qint64 Chunk = 1 << 20;
    while (out.size() < limit) {
        const qint64 want = std::min(Chunk, limit - out.size());
        const qsizetype at = out.size();
        out.resize(at + want);
        const ssize_t got = ::pread(fd, out.data() + at, static_cast<size_t>(want), offset + at);
        if (got < 0 && errno == EINTR) {
            out.resize(at);
            continue;
        }
        if (got < 0) return false;
        out.resize(at + got);
        if (got == 0) break;
    }
    return true;
}

// The bytes as the batch decoder reads them too (decoder/log_text.h).
QString decode(QByteArrayView bytes) {
    return textOfUtf8(bytes.data(), bytes.size());
}

}  // namespace

LogFileRead readLogFile(const QString& path, bool holdUnfinishedLine) {
    LogFileRead read;
    read.path = path;
    const Descriptor file(path);
    if (file.fd() < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            read.problem = LogFileProblem::Missing;
        } else {
            read.problem = LogFileProblem::Unreadable;
            read.reason = systemError(error);
        }
        return read;
    }
    struct stat status {};
    if (::fstat(file.fd(), &status) != 0) {
        read.problem = LogFileProblem::Unreadable;
        read.reason = systemError(errno);
        return read;
    }
    if (S_ISDIR(status.st_mode)) {
        read.problem = LogFileProblem::Directory;
        return read;
    }
    if (!S_ISREG(status.st_mode)) {
        read.problem = LogFileProblem::NotAFile;
        return read;
    }
    read.size = status.st_size;
    read.identity = {static_cast<quint64>(status.st_dev), static_cast<quint64>(status.st_ino)};
    if (read.size > LogFileSizeLimit) {
        read.problem = LogFileProblem::TooLarge;
        return read;
    }
    QByteArray bytes;
    if (!readFrom(file.fd(), 0, LogFileSizeLimit + 1, bytes)) {
        read.problem = LogFileProblem::Unreadable;
        read.reason = systemError(errno);
        return read;
    }
    // The file may have grown since fstat.
    read.size = std::max<qint64>(read.size, bytes.size());
    if (bytes.size() > LogFileSizeLimit) {
        read.problem = LogFileProblem::TooLarge;
        return read;
    }
    if (bytes.contains('\0')) {
        read.problem = LogFileProblem::NotText;
        return read;
    }
    read.offset = bytes.size();
    const qsizetype lineEnd = bytes.lastIndexOf('\n') + 1;
    read.tail = bytes.mid(lineEnd);
    read.tailShown = !holdUnfinishedLine && !read.tail.isEmpty();
    QByteArrayView shown(bytes.constData(), read.tailShown ? bytes.size() : lineEnd);
    // A byte order mark is no part of the first line.
    if (shown.startsWith("\xEF\xBB\xBF")) shown = shown.sliced(3);
    read.text = decode(shown);
    return read;
}

QString logFileProblemText(const LogFileRead& read, bool fileNameOnly) {
    const QString name = fileNameOnly ? QFileInfo(read.path).fileName() : read.path;
    switch (read.problem) {
        case LogFileProblem::None:
            return {};
        case LogFileProblem::Missing:
            return QStringLiteral("The file %1 does not exist.").arg(name);
        case LogFileProblem::Unreadable:
            return QStringLiteral("The file %1 cannot be read: %2.").arg(name, read.reason);
        case LogFileProblem::Directory:
            return QStringLiteral("%1 is a folder, not a log file.").arg(name);
        case LogFileProblem::NotAFile:
            return QStringLiteral("%1 is a device, pipe or socket, not a log file.").arg(name);
        case LogFileProblem::TooLarge:
            return QStringLiteral(
                       "The file %1 is larger than the %2 MB that the window takes. "
                       "Decode it with the batch decoder orvalin-decode.")
                .arg(name)
                .arg(LogFileSizeLimit / (1024 * 1024));
        case LogFileProblem::NotText:
            return QStringLiteral("The file %1 is not a text file, so it holds no log lines.")
                .arg(name);
    }
    return {};
}

void LogFileReader::start(const LogFileRead& read) {
    path_ = read.path;
    identity_ = read.identity;
    offset_ = read.offset;
    tail_ = read.tail;
    shownTail_ = read.tailShown ? decode(read.tail) : QString();
    lastBytes_.clear();
    missingChecks_ = 0;
    // The bytes before the read position, to compare at the next check.
    const Descriptor file(path_);
    const qint64 from = std::max<qint64>(0, offset_ - RememberedBytes);
    if (file.fd() >= 0 && readFrom(file.fd(), from, offset_ - from, lastBytes_) &&
        lastBytes_.size() != offset_ - from)
        lastBytes_.clear();
}

LogFileReader::Update LogFileReader::check(bool countAbsence) {
    Update update;
    if (!isOpen()) return update;
    const Descriptor file(path_);
    struct stat status {};
    if (file.fd() < 0 || ::fstat(file.fd(), &status) != 0) {
        const int error = errno;
        if (error != ENOENT && error != ENOTDIR) {
            return failure(LogFileProblem::Unreadable, systemError(error));
        }
        if (countAbsence && ++missingChecks_ >= 2) update.change = Change::Removed;
        return update;
    }
    missingChecks_ = 0;
    const FileIdentity identity{static_cast<quint64>(status.st_dev),
                                static_cast<quint64>(status.st_ino)};
    if (identity != identity_ || !S_ISREG(status.st_mode) || status.st_size < offset_)
        return reopen();
    if (status.st_size == offset_) return update;
    if (status.st_size > LogFileSizeLimit) {
        return failure(LogFileProblem::TooLarge);
    }
    // The bytes before the read position must still be the ones read: otherwise the file was
    // written anew in place (copied over, say) and has grown past its old size.
    const qint64 from = offset_ - lastBytes_.size();
    QByteArray bytes;
    if (!readFrom(file.fd(), from, LogFileSizeLimit + 1 - from, bytes)) {
        return failure(LogFileProblem::Unreadable, systemError(errno));
    }
    if (!bytes.startsWith(lastBytes_)) return reopen();
    if (from + bytes.size() > LogFileSizeLimit) {
        return failure(LogFileProblem::TooLarge);
    }
    const QByteArrayView added = QByteArrayView(bytes).sliced(lastBytes_.size());
    offset_ += added.size();
    lastBytes_ = bytes.right(RememberedBytes);
    const qsizetype lineEnd = added.lastIndexOf('\n') + 1;
    if (lineEnd == 0) {
        tail_.append(added);
        return update;
    }
    QByteArray complete = tail_;
    complete.append(added.first(lineEnd));
    tail_ = added.sliced(lineEnd).toByteArray();
    update.change = Change::Appended;
    update.text = decode(complete);
    update.shownUnfinishedLine = std::exchange(shownTail_, QString());
    return update;
}

LogFileReader::Update LogFileReader::failure(LogFileProblem problem, const QString& reason) const {
    Update update;
    update.change = Change::Failed;
    update.read.path = path_;
    update.read.problem = problem;
    update.read.reason = reason;
    return update;
}

LogFileReader::Update LogFileReader::reopen() {
    Update update;
    update.read = readLogFile(path_, true);
    if (!update.read.ok()) {
        update.change = Change::Failed;
        return update;
    }
    update.change = Change::Reopened;
    start(update.read);
    return update;
}

}  // namespace orvalin
