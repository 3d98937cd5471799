#include "files/open_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "files/error_text.h"

namespace orvalin {

OpenFile::~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
}

Failure notAFileFailure(mode_t mode) {
    if (S_ISDIR(mode)) return systemFailure(FailureKind::Folder, EISDIR);
    return {.kind = FailureKind::NotAFile,
            .text = QStringLiteral("a device, pipe or socket, not a log file")};
}

Result<OpenFile> openToRead(const std::string& path, FileAccept accept) {
    const int flags = O_RDONLY | O_CLOEXEC | (accept == FileAccept::RegularOnly ? O_NONBLOCK : 0);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) return systemFailure(FailureKind::Missing, error);
        if (error == EISDIR) return systemFailure(FailureKind::Folder, error);
        return systemFailure(FailureKind::Unreadable, error);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return systemFailure(FailureKind::Unreadable, error);
    }
    const bool refused =
        accept == FileAccept::RegularOnly ? !S_ISREG(status.st_mode) : S_ISDIR(status.st_mode);
    if (refused) {
        ::close(fd);
        return notAFileFailure(status.st_mode);
    }
    return OpenFile(fd, status);
}

}  // namespace orvalin
