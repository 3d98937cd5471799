#include "cli/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace orvalin::cli {

namespace {

// Where the bytes of `path` really live: a link to a file is followed, so that the rename
// replaces the file and leaves the link in place.
std::string resolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
    return path;  // not there yet (or a dangling link): the file is created under this name
}

// The temporary file being written, for the interrupt handler. A handler may only read plain
// memory and call async-signal-safe functions, hence a fixed buffer and a flag; there is one
// output per program.
char interruptedTemp[PATH_MAX];
volatile std::sig_atomic_t interruptedTempSet = 0;

void removeTempAndEnd(int signal) {
    if (interruptedTempSet) ::unlink(interruptedTemp);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void watchTemp(const std::string& path) {
    interruptedTempSet = 0;
    if (path.size() >= sizeof interruptedTemp) return;
    std::memcpy(interruptedTemp, path.c_str(), path.size() + 1);
    interruptedTempSet = 1;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::fail() {
    error_ = errno;
    discard();
    return false;
}

bool OutputFile::open(const std::string& path) {
    finalPath_ = path;
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return fail();
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return fd_ >= 0 || fail();
    }

    // A write-protected file stays protected, though the rename could replace it.
    if (exists && ::access(path.c_str(), W_OK) != 0) return fail();
    finalPath_ = resolvedPath(path);
    const std::size_t slash = finalPath_.rfind('/');
    const std::size_t cut = slash == std::string::npos ? 0 : slash + 1;
    const std::string pattern =
        finalPath_.substr(0, cut) + "." + finalPath_.substr(cut) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) return fail();
    tempPath_ = name.data();
    watchTemp(tempPath_);
    // A replaced file keeps its owner where that may be set (as root); elsewhere this fails
    // harmlessly and the file is ours, as with any program that writes a new file.
    if (exists && ::fchown(fd_, existing.st_uid, existing.st_gid) != 0) errno = 0;
    // mkostemp creates the file for its owner only; give it the mode a plain create (or the
    // file it replaces) would have.
    const mode_t mode = exists ? (existing.st_mode & 07777) : (0666 & ~currentUmask());
    if (::fchmod(fd_, mode) != 0) return fail();
    return true;
}

bool OutputFile::commit() {
    if (fd_ < 0) return false;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return fail();
    if (!tempPath_.empty() && ::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) return fail();
    interruptedTempSet = 0;
    tempPath_.clear();
    return true;
}

void OutputFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    interruptedTempSet = 0;
    tempPath_.clear();
}

void removeOutputOnInterrupt() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (std::signal(signal, removeTempAndEnd) == SIG_IGN) std::signal(signal, SIG_IGN);
    }
}

}  // namespace orvalin::cli
