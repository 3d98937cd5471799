#include "cli/follow.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace orvalin::cli {

namespace {

// Set by the handler of SIGINT and SIGTERM; a handler may only touch such a flag.
volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

// Catches SIGINT and SIGTERM while it lives, without SA_RESTART, so that a wait ends at once.
class StopOnSignals {
public:
    StopOnSignals() {
        stopRequested = 0;
        struct sigaction action {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < 2; ++i) {
            ::sigaction(Signals[i], nullptr, &previous_[i]);
            if (previous_[i].sa_handler != SIG_IGN) ::sigaction(Signals[i], &action, nullptr);
        }
    }
    ~StopOnSignals() {
        for (std::size_t i = 0; i < 2; ++i) ::sigaction(Signals[i], &previous_[i], nullptr);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    static constexpr int Signals[2] = {SIGINT, SIGTERM};
    struct sigaction previous_[2]{};
};

class Follower {
public:
    Follower(const std::string& path, LogStreamDecoder& decoder, BufferedWriter& out,
             BufferedWriter* report, int outputFd, char* buffer, std::size_t bufferSize)
        : path_(path),
          decoder_(decoder),
          out_(out),
          report_(report),
          outputFd_(outputFd),
          buffer_(buffer),
          bufferSize_(bufferSize) {}

    ~Follower() {
        if (fd_ >= 0) ::close(fd_);
    }

    FollowResult run() {
        FollowResult result;
        if ((result.inputError = open()) != 0) return result;
        decoder_.beginSource(path_);
        while (!stopRequested && !out_.failed()) {
            if ((result.inputError = readToEnd()) != 0) break;
            if (!flush() || stopRequested) break;
            if ((result.outputError = wait()) != 0) break;
            if (stopRequested || !S_ISREG(info_.st_mode)) continue;
            if ((result.inputError = startAgainIfChanged()) != 0) break;
        }
        // An unfinished last line never ended: it is not decoded.
        decoder_.abandonSource();
        flush();
        return result;
    }

private:
    int open() {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return errno;
        if (::fstat(fd_, &info_) != 0) return errno;
        if (S_ISDIR(info_.st_mode)) return EISDIR;
        offset_ = 0;
        return 0;
    }

    int readToEnd() {
        while (!stopRequested && !out_.failed()) {
            const ssize_t got = ::read(fd_, buffer_, bufferSize_);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return errno;
            if (got == 0) break;
            decoder_.feed(buffer_, static_cast<std::size_t>(got));
            offset_ += got;
        }
        return 0;
    }

    bool flush() {
        if (report_) report_->flush();
        return out_.flush();
    }

    // Sleeps for PollInterval, or less when a signal comes; an error or a hang-up of the
    // output (its reader has gone) ends the wait with the error of a write to it.
    int wait() {
        pollfd output{.fd = outputFd_, .events = 0, .revents = 0};
        const int ready = ::poll(&output, 1, static_cast<int>(PollInterval.count()));
        if (ready > 0 && (output.revents & POLLNVAL)) return EBADF;
        if (ready > 0 && (output.revents & (POLLERR | POLLHUP))) return EPIPE;
        return 0;
    }

    // A replaced file: what is left of the old one is read, then the new one from its start.
    // A truncated file: read from its start. Returns the errno of a failed read.
    int startAgainIfChanged() {
        struct stat named {};
        if (::stat(path_.c_str(), &named) == 0 &&
            (named.st_ino != info_.st_ino || named.st_dev != info_.st_dev)) {
            if (const int error = readToEnd()) return error;
            const int old = fd_;
            if (open() != 0) {  // gone again in between: keep the old file and try later
                if (fd_ >= 0) ::close(fd_);
                fd_ = old;
                ::fstat(fd_, &info_);
                return 0;
            }
            ::close(old);
            return startAgain();
        }
        struct stat now {};
        if (::fstat(fd_, &now) == 0 && now.st_size < offset_) {
            if (::lseek(fd_, 0, SEEK_SET) < 0) return errno;
            offset_ = 0;
            return startAgain();
        }
        return 0;
    }

    int startAgain() {
        decoder_.abandonSource();
        decoder_.beginSource(path_);
        return 0;
    }

    const std::string& path_;
    LogStreamDecoder& decoder_;
    BufferedWriter& out_;
    BufferedWriter* report_;
    int outputFd_;
    char* buffer_;
    std::size_t bufferSize_;
    int fd_ = -1;
    struct stat info_ {};
    off_t offset_ = 0;
};

}  // namespace

FollowResult followLog(const std::string& path, LogStreamDecoder& decoder, BufferedWriter& out,
                       BufferedWriter* report, int outputFd, char* buffer, std::size_t bufferSize) {
    const StopOnSignals stopOnSignals;
    return Follower(path, decoder, out, report, outputFd, buffer, bufferSize).run();
}

}  // namespace orvalin::cli
