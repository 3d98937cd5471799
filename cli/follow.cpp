#include "cli/follow.h"

#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include "files/error_text.h"
#include "files/log_follower.h"

namespace orvalin::cli {

namespace {

// An unfinished line longer than this is handed on in pieces: the line reader keeps only the
// first bytes of a long line anyway, so the bound only keeps the follower's memory small.
constexpr qsizetype FollowedLineBytes = 64 * 1024;

// Set by the handler of SIGINT and SIGTERM; a handler may only touch such a flag.
volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

// The signal mask to wait with: the one from before SIGINT and SIGTERM were blocked.
sigset_t waitMask;

// Waits for `events` on `fd` for at most `timeout` (nullptr: no limit), letting SIGINT and
// SIGTERM in. The revents, 0 when the time ran out or a signal came, or -1 with errno set.
int waitFor(int fd, short events, const timespec* timeout) {
    pollfd watched{.fd = fd, .events = events, .revents = 0};
    const int ready = ::ppoll(&watched, 1, timeout, &waitMask);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    return ready == 0 ? 0 : watched.revents;
}

int errorOfHangUp(int revents) {
    if (revents & POLLNVAL) return EBADF;
    if (revents & (POLLERR | POLLHUP)) return EPIPE;
    return 0;
}

// Sleeps for FollowPollInterval, or less when a signal comes, or hands that time to `idle`;
// an error or a hang-up of the output (its reader has gone) ends the wait with the error of a
// write to it.
int wait(int outputFd, const IdleTime& idle) {
    constexpr timespec Interval{.tv_sec = 0, .tv_nsec = FollowPollInterval.count() * 1000000};
    static_assert(FollowPollInterval.count() < 1000);
    constexpr timespec Now{};
    if (idle) idle(FollowPollInterval);
    const int revents = waitFor(outputFd, 0, idle ? &Now : &Interval);
    return revents < 0 ? errno : errorOfHangUp(revents);
}

}  // namespace

StopOnSignals::StopOnSignals() {
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigset_t caught;
    sigemptyset(&caught);
    for (std::size_t i = 0; i < 2; ++i) {
        ::sigaction(Signals[i], nullptr, &previous_[i]);
        if (previous_[i].sa_handler == SIG_IGN) continue;
        ::sigaction(Signals[i], &action, nullptr);
        sigaddset(&caught, Signals[i]);
    }
    ::sigprocmask(SIG_BLOCK, &caught, &previousMask_);
    waitMask = previousMask_;
}

StopOnSignals::~StopOnSignals() {
    // A signal still pending meets the handler, not the default action.
    ::sigprocmask(SIG_SETMASK, &previousMask_, nullptr);
    for (std::size_t i = 0; i < 2; ++i) ::sigaction(Signals[i], &previous_[i], nullptr);
}

bool stopSignalled() {
    if (!stopRequested) {
        constexpr timespec Now{};
        ::ppoll(nullptr, 0, &Now, &waitMask);
    }
    return stopRequested != 0;
}

bool FollowOutput::write(const char* data, std::size_t size) {
    while (size > 0) {
        if (!waitUntilWritable()) return false;
        // A pipe takes up to PIPE_BUF bytes whole once it has room: a signal finds the output
        // after a complete line.
        std::size_t piece = std::min<std::size_t>(size, PIPE_BUF);
        if (piece < size) {
            if (const void* lf = ::memrchr(data, '\n', piece))
                piece = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
        }
        const ssize_t wrote = ::write(fd_, data, piece);
        if (wrote < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (wrote < 0) {
            error_ = errno;
            return false;
        }
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

bool FollowOutput::waitUntilWritable() {
    for (;;) {
        // Once a stop was asked for, nothing is waited for any more.
        constexpr timespec Now{};
        const int revents = waitFor(fd_, POLLOUT, stopRequested ? &Now : nullptr);
        if (revents < 0) {
            error_ = errno;
            return false;
        }
        if ((error_ = errorOfHangUp(revents)) != 0) return false;
        if (revents & POLLOUT) return true;
        if (stopRequested) {
            stopped_ = true;
            return false;
        }
    }
}

FollowResult followLog(const std::string& path, LogStreamDecoder& decoder, BufferedWriter& out,
                       BufferedWriter* report, int outputFd, const IdleTime& idle) {
    const StopOnSignals stopOnSignals;
    FollowResult result;
    LogFollower follower(path, FollowedLineBytes);
    LogFollower::Update update = follower.start();
    if ((result.input = update.ended)) return result;
    decoder.beginSource(path);
    while (!stopRequested && !out.failed()) {
        update = follower.check();
        if (update.restarted) decoder.beginSource(path);
        decoder.feed(update.lines.constData(), static_cast<std::size_t>(update.lines.size()));
        if ((result.input = update.ended)) break;
        if (update.more) continue;
        if (report) report->flush();
        if (!out.flush() || stopRequested) break;
        if (const int error = wait(outputFd, idle); error != 0) {
            result.output = systemFailure(FailureKind::Unwritable, error);
            break;
        }
    }
    // An unfinished last line never ended: it is not decoded.
    decoder.abandonSource();
    if (report) report->flush();
    out.flush();
    return result;
}

}  // namespace orvalin::cli
