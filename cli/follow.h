// --follow: one log file decoded to its end and then on as it grows, like tail -f.
//
//   LogFollower::check (files/log_follower.h) --complete lines--> LogStreamDecoder --> output
//        ^                                                                            |
//        \------------- every FollowPollInterval, while nothing more is waiting <-------/
//
// Every complete line is decoded and its output line flushed before the program waits again;
// an unfinished last line waits for its line end. A file that is read again from its start
// (truncated, replaced, rewritten) starts the line numbers of the report again at 1. SIGINT
// and SIGTERM end the following after the last complete record. Memory stays that of the
// follower and the line reader, however long it runs.
#pragma once

#include <string>

#include "cli/byte_output.h"
#include "cli/log_stream.h"

namespace orvalin::cli {

struct FollowResult {
    int inputError = 0;              // errno of a failure to open or read the file
    const char* inputEnd = nullptr;  // or why following it ended otherwise
    int outputError = 0;             // errno when the output has gone (its reader closed the pipe)
};

// Follows `path` until SIGINT or SIGTERM, an error, or a failed output. SIGINT and SIGTERM are
// caught only while it runs (a signal that was ignored stays ignored). `out` carries the
// record lines, `report` (may be nullptr) the rejection report; both are flushed whenever
// nothing more is waiting. `outputFd` is watched while waiting, so that a closed pipe ends
// the program without waiting for the next record.
FollowResult followLog(const std::string& path, LogStreamDecoder& decoder, BufferedWriter& out,
                       BufferedWriter* report, int outputFd);

}  // namespace orvalin::cli
