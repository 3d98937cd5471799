#include "files/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <memory>

#include "decoder/log_text.h"
#include "files/error_text.h"
#include "files/read_loop.h"

namespace orvalin {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(errorText(error));
}

// Where the last line of `bytes` starts: after its last line break.
qsizetype lastLineStart(QByteArrayView bytes) {
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = begin + bytes.size();
    for (const unsigned char* p = end; p > begin; --p) {
        const unsigned char c = p[-1];
        if (c == '\n' || c == '\r') return p - begin;
        // The last byte of a break of three bytes.
        if (c >= 0x80 && p - begin >= 3 && utf8LineBreakAt(p - 3, end) == 3) return p - begin;
    }
    return 0;
}

}  // namespace

LogFileRead readLogFile(const QString& path, bool holdUnfinishedLine) {
    LogFileRead read;
    read.path = path;
    // Non-blocking, so that opening a pipe does not wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            read.problem = LogFileProblem::Missing;
        } else {
            read.problem = LogFileProblem::Unreadable;
            read.reason = systemError(error);
        }
        return read;
    }
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
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
    if (read.size > LogFileSizeLimit) {
        read.problem = LogFileProblem::TooLarge;
        return read;
    }
    QByteArray bytes;
    bytes.reserve(read.size);
    const auto buffer = std::make_unique<char[]>(ReadSize);
    const auto take = [&](const char* data, std::size_t size) {
        bytes.append(data, static_cast<qsizetype>(size));
        return bytes.size() <= LogFileSizeLimit;
    };
    if (const int error = readToEnd(fd, buffer.get(), ReadSize, take, false)) {
        read.problem = LogFileProblem::Unreadable;
        read.reason = systemError(error);
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
    QByteArrayView text(bytes);
    read.lineStart = lastLineStart(text);
    QByteArrayView unfinished = text.sliced(read.lineStart);
    if (holdUnfinishedLine) text = text.first(read.lineStart);
    // The file's encoding signature is no part of its first line.
    const QByteArrayView mark(Utf8ByteOrderMark.data(), Utf8ByteOrderMark.size());
    if (text.startsWith(mark)) text = text.sliced(mark.size());
    if (read.lineStart == 0 && unfinished.startsWith(mark))
        unfinished = unfinished.sliced(mark.size());
    read.text = textOfUtf8(text.data(), text.size());
    read.unfinishedLine = textOfUtf8(unfinished.data(), unfinished.size());
    return read;
}

QString logFileProblemText(const LogFileRead& read, bool fileNameOnly) {
    return logFileProblemText(read.path, read.problem, read.reason, fileNameOnly);
}

QString logFileProblemText(const QString& path, LogFileProblem problem, const QString& reason,
                           bool fileNameOnly) {
    const QString name = fileNameOnly ? QFileInfo(path).fileName() : path;
    switch (problem) {
        case LogFileProblem::None:
            return {};
        case LogFileProblem::Missing:
            return QStringLiteral("The file %1 does not exist.").arg(name);
        case LogFileProblem::Unreadable:
            return QStringLiteral("The file %1 cannot be read: %2.").arg(name, reason);
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

}  // namespace orvalin
