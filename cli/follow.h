// --follow: one log file decoded to its end and then on as it grows, like tail -f.
//
//   LogFollower::check (files/log_follower.h) --complete lines--> LogStreamDecoder --> output
//        ^                                                                            |
//        \------------- every FollowPollInterval, while nothing more is waiting <-------/
//
// Every complete line is decoded and its output line flushed before the program waits again;
// an unfinished last line waits for its line end. A file that is read again from its start
// (truncated, replaced, rewritten) starts the line numbers of the report again at 1. SIGINT
// and SIGTERM end it within a second, whatever it waits for, after the last complete record:
// they are let in only while it waits (for the next look, or for its reader to take more), and
// the output is written in pieces that end at line ends. Memory stays that of the follower and
// the line reader, however long it runs.
// With --share the waits between the looks run the posts (IdleTime); signals and the output are
// looked at after each, so SIGINT and SIGTERM still end it within a second.
#pragma once

#include <signal.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "cli/log_stream.h"
#include "files/byte_output.h"
#include "files/failure.h"

namespace orvalin::cli {

// Standard output while following: a piece is written only once the output takes it without
// waiting, and the wait ends when SIGINT or SIGTERM comes. After that, only what can be written
// at once is; the rest is dropped, and stopped() says so. The descriptor is not owned.
class FollowOutput final : public ByteSink {
public:
    explicit FollowOutput(int fd) : fd_(fd) {}
    bool write(const char* data, std::size_t size) override;
    int error() const override { return error_; }
    bool stopped() const { return stopped_; }

private:
    bool waitUntilWritable();

    int fd_;
    int error_ = 0;
    bool stopped_ = false;
};

// Catches SIGINT and SIGTERM while it lives (a signal that was ignored stays ignored). They
// are blocked but for the waits, which let them in (ppoll): a wait ends at once, and nothing
// else is ever interrupted.
class StopOnSignals {
public:
    StopOnSignals();
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    static constexpr int Signals[2] = {SIGINT, SIGTERM};
    struct sigaction previous_[2]{};
    sigset_t previousMask_{};
};

// Whether SIGINT or SIGTERM came while a StopOnSignals lives; lets in one that waits.
bool stopSignalled();

// Time handed to someone else between two looks at the followed file (--share runs its
// events there); it must return within about the time it was given.
using IdleTime = std::function<void(std::chrono::milliseconds)>;

struct FollowResult {
    std::optional<Failure> input;   // why the file could not be followed, or no longer
    std::optional<Failure> output;  // the output has gone (its reader closed the pipe)
};

// Follows `path` until SIGINT or SIGTERM, an error, or a failed output. SIGINT and SIGTERM are
// caught only while it runs (a signal that was ignored stays ignored). `out` carries the
// record lines to a FollowOutput, `report` (may be nullptr) the rejection report; both are flushed
// whenever nothing more is waiting. `outputFd` is watched while waiting, so that a closed pipe ends
// the program without waiting for the next record. `idle`, when given, takes the waits between
// the looks; signals and the output are looked at after each.
FollowResult followLog(const std::string& path, LogStreamDecoder& decoder, BufferedWriter& out,
                       BufferedWriter* report, int outputFd, const IdleTime& idle = {});

}  // namespace orvalin::cli
