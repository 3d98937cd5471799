// orvalin-decode: the batch decoder. See cli/batch_decoder.h.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include "cli/batch_decoder.h"
#include "files/atomic_file.h"

namespace {

// A standard descriptor that was closed when the program started gets /dev/null, before
// anything else can open a file on its number: else the output file could land on descriptor
// 2 and take the report lines, or standard input read the program's own output. It is opened
// for the other direction, so that any use of it fails and is reported (as a file that cannot
// be read, or an output that cannot be written) instead of passing for success.
bool occupyClosedStandardDescriptors() {
    for (const int fd : {0, 1, 2}) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        if (opened != fd) return false;  // the lowest free number is fd, unless this failed
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!occupyClosedStandardDescriptors()) return orvalin::cli::ExitFailure;
    // A closed pipe or a file size limit must be a write error, not a death that could leave a
    // temporary output file behind.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    orvalin::removeTemporaryFileOnSignal();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = orvalin::cli::runBatchDecoder(args);
    if (status == orvalin::cli::ExitBrokenPipe) {
        // Its reader has gone: ended quietly by the signal, as other filters are.
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
    }
    return status;
}
