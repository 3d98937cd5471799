#include "cli/follow.h"

#include <poll.h>

#include <cerrno>
#include <csignal>

#include "files/log_follower.h"

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

// Why following ended, when the follower says it ended.
void noteEnd(const LogFollower::Update& update, FollowResult& result) {
    switch (update.state) {
        case LogFollower::State::Following:
            break;
        case LogFollower::State::Gone:
            result.inputError = ENOENT;
            break;
        case LogFollower::State::Folder:
            result.inputError = EISDIR;
            break;
        case LogFollower::State::NotAFile:
            result.inputEnd = "a device, pipe or socket, not a log file";
            break;
        case LogFollower::State::Failed:
            result.inputError = update.error;
            break;
    }
}

// Sleeps for FollowPollInterval, or less when a signal comes; an error or a hang-up of the
// output (its reader has gone) ends the wait with the error of a write to it.
int wait(int outputFd) {
    pollfd output{.fd = outputFd, .events = 0, .revents = 0};
    const int ready = ::poll(&output, 1, static_cast<int>(FollowPollInterval.count()));
    if (ready > 0 && (output.revents & POLLNVAL)) return EBADF;
    if (ready > 0 && (output.revents & (POLLERR | POLLHUP))) return EPIPE;
    return 0;
}

}  // namespace

FollowResult followLog(const std::string& path, LogStreamDecoder& decoder, BufferedWriter& out,
                       BufferedWriter* report, int outputFd) {
    const StopOnSignals stopOnSignals;
    FollowResult result;
    LogFollower follower(path);
    LogFollower::Update update = follower.start();
    noteEnd(update, result);
    if (update.state != LogFollower::State::Following) return result;
    decoder.beginSource(path);
    while (!stopRequested && !out.failed()) {
        update = follower.check();
        if (update.restarted) decoder.beginSource(path);
        decoder.feed(update.lines.constData(), static_cast<std::size_t>(update.lines.size()));
        noteEnd(update, result);
        if (update.state != LogFollower::State::Following) break;
        if (update.more) continue;
        if (report) report->flush();
        if (!out.flush() || stopRequested) break;
        if ((result.outputError = wait(outputFd)) != 0) break;
    }
    // An unfinished last line never ended: it is not decoded.
    decoder.abandonSource();
    if (report) report->flush();
    out.flush();
    return result;
}

}  // namespace orvalin::cli
