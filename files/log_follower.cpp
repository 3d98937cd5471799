#include "files/log_follower.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "decoder/log_text.h"
#include "files/read_loop.h"

namespace orvalin {

namespace {

// Enough of the bytes before the read position to tell an appended file from a rewritten one.
constexpr qsizetype RememberedBytes = 256;
constexpr int MissingChecksToEnd = 2;

LogFollower::State stateOfNonFile(mode_t mode) {
    return S_ISDIR(mode) ? LogFollower::State::Folder : LogFollower::State::NotAFile;
}

LogFollower::Update endedBy(LogFollower::State state, int error = 0) {
    LogFollower::Update update;
    update.state = state;
    update.error = error;
    return update;
}

}  // namespace

LogFollower::LogFollower(std::string path)
    : path_(std::move(path)), buffer_(std::make_unique<char[]>(ReadSize)) {}

LogFollower::~LogFollower() {
    if (fd_ >= 0) ::close(fd_);
}

LogFollower::Update LogFollower::start(off_t from) {
    const Update opened = open();
    if (opened.state != State::Following) return end(opened.state, opened.error);
    restartAt(from);
    return opened;
}

// Opens the path anew, never waiting: a FIFO is refused before anything is read from it.
// Following, or why not; the file followed so far stays unless this succeeds.
LogFollower::Update LogFollower::open() {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return endedBy(State::Failed, errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return endedBy(State::Failed, error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return endedBy(stateOfNonFile(info.st_mode));
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    device_ = info.st_dev;
    inode_ = info.st_ino;
    size_ = info.st_size;
    return {};
}

LogFollower::Update LogFollower::end(State state, int error) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ended_ = state;
    endError_ = error;
    tail_.clear();
    return endedBy(state, error);
}

void LogFollower::restartAt(off_t from) {
    offset_ = from;
    tail_.clear();
    scanned_ = 0;
    atFileStart_ = from == 0;
    inOverlongLine_ = false;
    overlongCharacters_ = 0;
    const off_t remembered = std::min<off_t>(from, RememberedBytes);
    lastBytes_.resize(remembered);
    if (readPiece(fd_, lastBytes_.data(), static_cast<std::size_t>(remembered),
                  from - remembered) != remembered)
        lastBytes_.clear();
    // A line that ended with a CR just before: an LF that comes next belongs to it.
    afterCr_ = lastBytes_.endsWith('\r');
}

// The bytes before the read position are no longer the ones read: the file was written anew
// in place (copied over, or truncated and written again within one look) and is longer now.
bool LogFollower::rewritten() {
    if (lastBytes_.isEmpty()) return false;
    const auto size = static_cast<std::size_t>(lastBytes_.size());
    const ssize_t got = readPiece(fd_, buffer_.get(), size, offset_ - lastBytes_.size());
    return got != static_cast<ssize_t>(size) ||
           QByteArrayView(buffer_.get(), lastBytes_.size()) != lastBytes_;
}

LogFollower::Update LogFollower::check(bool countAbsence) {
    if (ended_ != State::Following) return endedBy(ended_, endError_);
    Update update;
    struct stat named {};
    if (::stat(path_.c_str(), &named) != 0) {
        const int error = errno;
        if (error != ENOENT && error != ENOTDIR) return end(State::Failed, error);
        if (countAbsence && ++missingChecks_ >= MissingChecksToEnd) return end(State::Gone);
        readMore(update);  // the renamed file may still have had lines written to it
        return update;
    }
    missingChecks_ = 0;
    if (!S_ISREG(named.st_mode)) return end(stateOfNonFile(named.st_mode));
    if (named.st_dev != device_ || named.st_ino != inode_) {
        // Replaced: first what was still written to the old file, then the new one.
        const off_t before = offset_;
        readMore(update);
        if (update.state != State::Following || offset_ != before) {
            update.more = update.state == State::Following;
            return update;
        }
        if (const Update opened = open(); opened.state != State::Following) {
            // Gone again in between: the old file stays, and the next check looks again.
            if (opened.error == ENOENT) return update;
            return end(opened.state, opened.error);
        }
        restartAt(0);
        update.restarted = true;
    } else {
        struct stat now {};
        if (::fstat(fd_, &now) != 0) return end(State::Failed, errno);
        size_ = now.st_size;
        if (size_ < offset_ || (size_ > offset_ && rewritten())) {
            restartAt(0);
            update.restarted = true;
        }
    }
    readMore(update);
    return update;
}

void LogFollower::readMore(Update& update) {
    const ssize_t got = readPiece(fd_, buffer_.get(), ReadSize, offset_);
    if (got < 0) {
        update = end(State::Failed, errno);
        return;
    }
    if (got == 0) return;
    offset_ += got;
    size_ = std::max(size_, offset_);
    update.more = static_cast<std::size_t>(got) == ReadSize;
    const QByteArrayView read(buffer_.get(), got);
    lastBytes_.append(read.last(std::min<qsizetype>(got, RememberedBytes)));
    lastBytes_.remove(0, std::max<qsizetype>(0, lastBytes_.size() - RememberedBytes));
    qsizetype from = 0;
    if (afterCr_ && read[0] == '\n') from = 1;  // the LF of a CR LF cut by the last read
    afterCr_ = false;
    tail_.append(read.sliced(from));
    cutLines(update);
}

void LogFollower::cutLines(Update& update) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(tail_.constData());
    const qsizetype size = tail_.size();
    qsizetype lineStart = 0;
    qsizetype at = scanned_;
    for (; at < size; ++at) {
        const unsigned char c = bytes[at];
        if (c < 0x80 && c != '\n' && c != '\r') continue;
        const int length = utf8LineBreakAt(bytes + at, bytes + size);
        if (length < 0) break;  // the bytes end inside what may become a break
        if (length == 0) continue;
        handOn(update, lineStart, at, true);
        if (c == '\r' && length == 1 && at + 1 == size) afterCr_ = true;
        lineStart = at + length;
        at = lineStart - 1;
    }
    const qsizetype unfinished = at - lineStart;  // without a break that may be coming
    if (!inOverlongLine_ && unfinished > InputLineLimit) {
        // Characters are never more than bytes; counted only when they may be too many.
        const QByteArrayView line(tail_.constData() + lineStart, unfinished);
        const qsizetype characters = textOfUtf8(line.data(), line.size()).size();
        if (characters > InputLineLimit) {
            inOverlongLine_ = true;
            overlongCharacters_ = 0;
        }
    }
    if (inOverlongLine_ && unfinished > 0) {
        const QByteArrayView line(tail_.constData() + lineStart, unfinished);
        overlongCharacters_ += textOfUtf8(line.data(), line.size()).size();
        update.overlongLine = overlongCharacters_;
        handOn(update, lineStart, at, false);
        lineStart = at;
    }
    tail_.remove(0, lineStart);
    scanned_ = at - lineStart;
}

void LogFollower::handOn(Update& update, qsizetype from, qsizetype to, bool lineEnds) {
    QByteArrayView line(tail_.constData() + from, to - from);
    if (atFileStart_ && line.startsWith(QByteArrayView(Utf8ByteOrderMark))) line = line.sliced(3);
    atFileStart_ = false;
    update.lines.append(line);
    if (lineEnds) {
        update.lines.append('\n');
        inOverlongLine_ = false;
    }
}

}  // namespace orvalin
