// orvalin-decode: log files in, one CSV out, on the decoding core of the window.
//
//   FILE... or standard input --LogStreamDecoder--> CSV on standard output or in -o FILE
//                                               \-> rejected lines on standard error
//
// Everything the program does runs through runBatchDecoder, so the tests and the benchmark
// can run it in-process on descriptors of their own.
#pragma once

#include <string>
#include <vector>

namespace orvalin::cli {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailure = 1;  // an input could not be read or the output written
inline constexpr int ExitUsage = 2;
// The reader of the output has gone (EPIPE): main() then ends the program by SIGPIPE, as other
// filters end, and a shell sees the status 128 + 13.
inline constexpr int ExitBrokenPipe = 141;

struct StandardStreams {
    int input = 0;
    int output = 1;
    int error = 2;
};

// Runs the program with the arguments after its name and returns its exit status. Writing
// to a closed pipe must fail with EPIPE rather than end the process: the caller ignores
// SIGPIPE (and SIGXFSZ, so that a file size limit is a write error too), so that a temporary
// -o file is removed before the program ends.
int runBatchDecoder(const std::vector<std::string>& args, const StandardStreams& streams = {});

}  // namespace orvalin::cli
