// --follow: one log file decoded to its end and then on as it grows, like tail -f.
//
//   read to the end --> flush the output --> wait PollInterval --> read what was appended ...
//
// Every complete line is decoded and its output line flushed before the program waits again;
// an unfinished last line waits for its line end. A file that becomes shorter than what was
// read (truncated) or whose name now leads to another file (replaced, as by log rotation) is
// read again from its start, after what was left of the replaced file; the line numbers of
// the report start again at 1. SIGINT and SIGTERM end the following after the last complete
// record. Memory stays that of the line reader and one read buffer, however long it runs.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "cli/byte_output.h"
#include "cli/log_stream.h"

namespace orvalin::cli {

inline constexpr std::chrono::milliseconds PollInterval{200};

struct FollowResult {
    int inputError = 0;   // errno of a failure to open or read the file
    int outputError = 0;  // errno when the output has gone (its reader closed the pipe)
};

// Follows `path` until SIGINT or SIGTERM, an error, or a failed output. SIGINT and SIGTERM are
// caught only while it runs (a signal that was ignored stays ignored). `out` carries the
// record lines, `report` (may be nullptr) the rejection report; both are flushed whenever the
// end of the file is reached. `outputFd` is watched while waiting, so that a closed pipe ends
// the program without waiting for the next record.
FollowResult followLog(const std::string& path, LogStreamDecoder& decoder, BufferedWriter& out,
                       BufferedWriter* report, int outputFd, char* buffer, std::size_t bufferSize);

}  // namespace orvalin::cli
