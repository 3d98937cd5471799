#include "files/log_follower.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "files/error_text.h"
#include "files/open_file.h"
#include "files/read_loop.h"

namespace orvalin {

namespace {

// Enough of the bytes before the read position to tell an appended file from a rewritten one.
constexpr qsizetype RememberedBytes = 256;
constexpr int MissingChecksToEnd = 2;

LogFollower::Update endedBy(Failure failure) {
    LogFollower::Update update;
    update.ended = std::move(failure);
    return update;
}

}  // namespace

LogFollower::LogFollower(std::string path, qsizetype longestLine)
    : path_(std::move(path)),
      longestLine_(longestLine),
      buffer_(std::make_unique<char[]>(ReadSize)) {}

LogFollower::~LogFollower() {
    if (fd_ >= 0) ::close(fd_);
}

LogFollower::Update LogFollower::start(off_t from) {
    const Update opened = open();
    if (opened.ended) return end(*opened.ended);
    restartAt(from);
    return opened;
}

// Opens the path anew, never waiting: a FIFO is refused before anything is read from it.
// Following, or why not; the file followed so far stays unless this succeeds.
LogFollower::Update LogFollower::open() {
    Result<OpenFile> opened = openToRead(path_, FileAccept::RegularOnly);
    if (!opened) return endedBy(opened.failure());
    if (fd_ >= 0) ::close(fd_);
    const struct stat info = opened->status();
    fd_ = opened->release();
    device_ = info.st_dev;
    inode_ = info.st_ino;
    size_ = info.st_size;
    return {};
}

LogFollower::Update LogFollower::end(Failure failure) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ended_ = failure;
    cutter_.reset();
    return endedBy(std::move(failure));
}

void LogFollower::restartAt(off_t from) {
    offset_ = from;
    atFileStart_ = from == 0;
    inOverlongLine_ = false;
    overlongCharacters_ = 0;
    const off_t remembered = std::min<off_t>(from, RememberedBytes);
    lastBytes_.resize(remembered);
    if (readPiece(fd_, lastBytes_.data(), static_cast<std::size_t>(remembered),
                  from - remembered) != remembered)
        lastBytes_.clear();
    // A line that ended with a CR just before: an LF that comes next belongs to it.
    cutter_.reset(lastBytes_.endsWith('\r'));
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
    if (ended_) return endedBy(*ended_);
    Update update;
    struct stat named {};
    if (::stat(path_.c_str(), &named) != 0) {
        const int error = errno;
        if (error != ENOENT && error != ENOTDIR)
            return end(systemFailure(FailureKind::Unreadable, error));
        if (countAbsence && ++missingChecks_ >= MissingChecksToEnd)
            return end(systemFailure(FailureKind::Missing, ENOENT));
        readMore(update);  // the renamed file may still have had lines written to it
        return update;
    }
    missingChecks_ = 0;
    if (!S_ISREG(named.st_mode)) return end(notAFileFailure(named.st_mode));
    if (named.st_dev != device_ || named.st_ino != inode_) {
        // Replaced: first what was still written to the old file, then the new one.
        const off_t before = offset_;
        readMore(update);
        if (update.ended || offset_ != before) {
            update.more = !update.ended;
            return update;
        }
        if (const Update opened = open(); opened.ended) {
            // Gone again in between: the old file stays, and the next check looks again.
            if (opened.ended->kind == FailureKind::Missing) return update;
            return end(*opened.ended);
        }
        restartAt(0);
        update.restarted = true;
    } else {
        struct stat now {};
        if (::fstat(fd_, &now) != 0) return end(systemFailure(FailureKind::Unreadable, errno));
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
        update = end(systemFailure(FailureKind::Unreadable, errno));
        return;
    }
    if (got == 0) return;
    offset_ += got;
    size_ = std::max(size_, offset_);
    update.more = static_cast<std::size_t>(got) == ReadSize;
    const QByteArrayView read(buffer_.get(), got);
    lastBytes_.append(read.last(std::min<qsizetype>(got, RememberedBytes)));
    lastBytes_.remove(0, std::max<qsizetype>(0, lastBytes_.size() - RememberedBytes));
    cutLines(update, read);
}

void LogFollower::cutLines(Update& update, QByteArrayView read) {
    cutter_.feed(read, [&](QByteArrayView line) { handOn(update, line, true); });
    // A read may end inside a character: its bytes so far are no characters of the line yet,
    // and wait for the rest of it. (What may still become a line break is such a beginning
    // too.)
    const QByteArrayView kept = cutter_.kept();
    const QByteArrayView unfinished = kept.first(
        std::min(cutter_.unfinished().size(), kept.size() - utf8UnfinishedCharacter(kept)));
    // A byte-order mark that starts the file is no character of its first line.
    const qsizetype mark =
        atFileStart_ && unfinished.startsWith(QByteArrayView(Utf8ByteOrderMark)) ? 3 : 0;
    // Characters are never more than bytes; counted only when they may be too many.
    if (!inOverlongLine_ && unfinished.size() - mark > longestLine_ &&
        utf8LineLength(unfinished.sliced(mark)) > longestLine_) {
        inOverlongLine_ = true;
        overlongCharacters_ = 0;
    }
    if (inOverlongLine_ && !unfinished.isEmpty()) {
        overlongCharacters_ += utf8LineLength(unfinished.sliced(mark));
        update.overlongLine = overlongCharacters_;
        handOn(update, unfinished, false);
        cutter_.dropUnfinished(unfinished.size());
    }
}

void LogFollower::handOn(Update& update, QByteArrayView line, bool lineEnds) {
    if (atFileStart_ && line.startsWith(QByteArrayView(Utf8ByteOrderMark))) line = line.sliced(3);
    atFileStart_ = false;
    update.lines.append(line);
    if (lineEnds) {
        update.lines.append('\n');
        inOverlongLine_ = false;
    }
}

}  // namespace orvalin
