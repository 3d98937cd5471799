// Opening a path to read, and telling what it names: the one way both programs do it.
//
//   RegularOnly    a regular file, or the failure: Missing, Folder, NotAFile (a device, pipe or
//                  socket, which may never end or may wait for a writer), Unreadable. A FIFO is
//                  opened without waiting for a writer before it is refused.
//   AnyButFolder   what a filter reads: a regular file, a pipe or a device, opened as it is
//                  (a FIFO waits for its writer); a folder is refused.
#pragma once

#include <sys/stat.h>

#include <string>

#include "files/failure.h"

namespace orvalin {

enum class FileAccept { RegularOnly, AnyButFolder };

// An open descriptor, closed with the object.
class OpenFile {
public:
    OpenFile(int fd, const struct stat& status) : fd_(fd), status_(status) {}
    OpenFile(OpenFile&& other) noexcept : fd_(other.fd_), status_(other.status_) { other.fd_ = -1; }
    OpenFile& operator=(OpenFile&&) = delete;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile();

    int fd() const { return fd_; }
    const struct stat& status() const { return status_; }
    // Gives the descriptor up to the caller, who closes it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
    struct stat status_;
};

Result<OpenFile> openToRead(const std::string& path, FileAccept accept);

// The failure for a path that names something other than a regular file.
Failure notAFileFailure(mode_t mode);

}  // namespace orvalin
