#include "files/atomic_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/error_text.h"

namespace orvalin {

namespace {

// Where the bytes of `path` really live: a link to a file is followed, so that the new file
// replaces the file and leaves the link in place.
std::string resolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
    return path;  // not there yet (or a dangling link): the file is created under this name
}

// The directory part with its slash ("" for a name in the working directory), and the name.
std::pair<std::string, std::string> splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t cut = slash == std::string::npos ? 0 : slash + 1;
    return {path.substr(0, cut), path.substr(cut)};
}

// ".NAME." for hidden temporary names, the name cut so that the whole stays a valid name.
std::string temporaryPrefix(const std::string& path) {
    const auto [directory, name] = splitPath(path);
    return directory + "." + name.substr(0, 200) + ".";
}

// A named temporary file, for the signal handler. A handler may only read plain memory and
// call async-signal-safe functions, hence a fixed buffer and a flag; a program writes one
// such file at a time.
char watchedTemp[PATH_MAX];
volatile std::sig_atomic_t watchedTempSet = 0;

void watchTemp(const std::string& path) {
    watchedTempSet = 0;
    if (path.size() >= sizeof watchedTemp) return;
    std::memcpy(watchedTemp, path.c_str(), path.size() + 1);
    watchedTempSet = 1;
}

void removeTempAndEnd(int signal) {
    if (watchedTempSet) ::unlink(watchedTemp);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::string procFdPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

AtomicFile::~AtomicFile() {
    discard();
}

// A failed write's errno as a Failure; the file is discarded.
Failure AtomicFile::fail(int error) {
    discard();
    return systemFailure(
        error == ENOSPC || error == EDQUOT ? FailureKind::DiskFull : FailureKind::Unwritable,
        error);
}

Result<> AtomicFile::open(const std::string& path, bool unnamedFirst) {
    discard();
    finalPath_ = path;
    targetChanged_ = false;
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return fail(EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or a FIFO has no "beside": write to it as it is.
        fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0) return fail(errno);
        method_ = Method::Direct;
        return {};
    }
    // A write-protected file stays protected, though a rename could replace it. The effective
    // ids and capabilities decide, as they would for a write.
    if (exists && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return fail(errno);

    finalPath_ = resolvedPath(path);
    const std::string directory = splitPath(finalPath_).first;
    if (unnamedFirst) {
        fd_ = ::open(directory.empty() ? "." : directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                     0666);
        // It is linked in through /proc; without /proc a named file does the work.
        if (fd_ >= 0 && ::access(procFdPath(fd_).c_str(), F_OK) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ >= 0) method_ = Method::Unnamed;
    }
    if (fd_ < 0) {
        // No unnamed file: the file system does not offer them (EOPNOTSUPP, EISDIR, EINVAL),
        // or the directory refuses new files, which the named file then tells for certain.
        std::string name = temporaryPrefix(finalPath_) + "XXXXXX";
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0) {
            method_ = Method::Named;
            tempPath_ = name;
            watchTemp(tempPath_);
        }
    }
    if (fd_ < 0) {
        // A directory that takes no new file, holding a file that may be written.
        const int refused = errno;
        if (exists && (refused == EACCES || refused == EPERM)) {
            fd_ = ::open(finalPath_.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd_ >= 0) {
                method_ = Method::InPlace;
                return {};
            }
        }
        return fail(refused);
    }
    // A replaced file keeps its owner where that may be set (as root); elsewhere this fails
    // harmlessly and the file is ours, as with any program that writes a new file.
    if (exists && ::fchown(fd_, existing.st_uid, existing.st_gid) != 0) errno = 0;
    // The mode a plain create (or the file it replaces) would have; O_TMPFILE applied the
    // umask already, mkostemp made the file for its owner only.
    if (exists || method_ == Method::Named) {
        const mode_t mode = exists ? (existing.st_mode & 07777) : (0666 & ~currentUmask());
        if (::fchmod(fd_, mode) != 0) return fail(errno);
    }
    return {};
}

Result<> AtomicFile::write(const char* data, std::size_t size) {
    if (const int error = writeAll(fd_, data, size)) return fail(error);
    return {};
}

Result<> AtomicFile::reserve(std::size_t size) {
    if (method_ != Method::InPlace || size == 0) return {};
    // A file size limit is one more way for the file not to fit; the space is the other.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        size > limit.rlim_cur)
        return fail(EFBIG);
    if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) return {};
    if (errno == EOPNOTSUPP || errno == ENOSYS) return {};  // cannot tell beforehand
    return fail(errno);
}

Result<> AtomicFile::sync() {
    if (::fsync(fd_) == 0 || errno == EINVAL || errno == EROFS) return {};  // EINVAL: a FIFO
    return fail(errno);
}

bool AtomicFile::linkUnnamed() {
    // Straight under the final name when there is no file of that name: nothing can be left.
    const std::string source = procFdPath(fd_);
    if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, finalPath_.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno != EEXIST) return false;
    // Else under a hidden name for the moment of the rename over the old file.
    const std::string prefix = temporaryPrefix(finalPath_);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(
            suffix, sizeof suffix, "%06x",
            (static_cast<unsigned>(::getpid()) * 2654435761u + ++counter * 40503u) & 0xffffffu);
        const std::string name = prefix + suffix;
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        watchTemp(name);
        const bool renamed = ::rename(name.c_str(), finalPath_.c_str()) == 0;
        const int renameError = errno;
        if (!renamed) ::unlink(name.c_str());
        watchedTempSet = 0;
        errno = renameError;
        return renamed;
    }
    errno = EEXIST;
    return false;
}

Result<> AtomicFile::commit() {
    if (fd_ < 0) return fail(EBADF);
    const int fd = fd_;
    switch (method_) {
        case Method::Direct:
            break;
        case Method::InPlace: {
            // Whatever the old file held beyond the new content goes.
            const off_t end = ::lseek(fd, 0, SEEK_CUR);
            if (end < 0 || ::ftruncate(fd, end) != 0) return fail(errno);
            break;
        }
        case Method::Unnamed:
            if (!linkUnnamed()) return fail(errno);
            break;
        case Method::Named:
        case Method::None:
            break;
    }
    fd_ = -1;
    if (::close(fd) != 0) return fail(errno);
    if (method_ == Method::Named && ::rename(tempPath_.c_str(), finalPath_.c_str()) != 0)
        return fail(errno);
    watchedTempSet = 0;
    tempPath_.clear();
    method_ = Method::None;
    return {};
}

void AtomicFile::discard() {
    if (fd_ >= 0) {
        // A file written in place keeps what it got, without old bytes behind it.
        if (method_ == Method::InPlace) {
            const off_t end = ::lseek(fd_, 0, SEEK_CUR);
            if (end > 0) {
                targetChanged_ = true;
                if (::ftruncate(fd_, end) != 0) errno = 0;
            }
        }
        ::close(fd_);
    }
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    if (method_ == Method::Named) watchedTempSet = 0;
    tempPath_.clear();
    method_ = Method::None;
}

Failure AtomicFile::failed(Failure failure, const QString& unchanged) {
    discard();
    failure.consequence =
        targetChanged_ ? QStringLiteral(
                             "Its folder takes no new file, so it was written in place, and it "
                             "is incomplete now.")
                       : unchanged;
    return failure;
}

int writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

namespace {

// Why a target of this kind is refused; empty for a regular file or a directory (which open()
// refuses with the system's reason).
QString specialTargetReason(mode_t mode) {
    if (S_ISFIFO(mode)) return QStringLiteral("it is a named pipe (FIFO), not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("it is a device, not a regular file");
    if (S_ISSOCK(mode)) return QStringLiteral("it is a socket, not a regular file");
    return {};
}

}  // namespace

Result<> writeFileAtomically(const QString& path, const QByteArray& bytes) {
    const std::string name = QFile::encodeName(path).toStdString();
    struct stat existing {};
    const bool found = ::stat(name.c_str(), &existing) == 0;
    // A directory in the file's place is no previous file.
    const QString unchanged = found && !S_ISDIR(existing.st_mode)
                                  ? QStringLiteral("A previous file of that name is unchanged.")
                                  : QString();
    if (const QString refused = found ? specialTargetReason(existing.st_mode) : QString();
        !refused.isEmpty())
        return Failure{.kind = FailureKind::NotAFile, .text = refused, .consequence = unchanged};

    AtomicFile file;
    const auto size = static_cast<std::size_t>(bytes.size());
    // Synced before it takes the name, so that a crash of the machine cannot leave a cut file.
    Result<> written = file.open(name);
    if (written) written = file.reserve(size);
    if (written) written = file.write(bytes.constData(), size);
    if (written) written = file.sync();
    if (written) written = file.commit();
    if (written) return written;
    return file.failed(written.failure(), unchanged);
}

void removeTemporaryFileOnSignal() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        if (std::signal(signal, removeTempAndEnd) == SIG_IGN) std::signal(signal, SIG_IGN);
    }
}

}  // namespace orvalin
