// orvalin-decode: the batch decoder. See cli/batch_decoder.h.
#include <csignal>
#include <string>
#include <vector>

#include "cli/batch_decoder.h"
#include "cli/output_file.h"

int main(int argc, char** argv) {
    // A closed pipe or a file size limit must be a write error with a message, not a silent
    // death that could leave a temporary output file behind.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    orvalin::cli::removeOutputOnInterrupt();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return orvalin::cli::runBatchDecoder(args);
}
