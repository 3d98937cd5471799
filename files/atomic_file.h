// Files that are written whole or not at all: the window's CSV export and pictures and the
// batch decoder's -o file. The bytes go to a temporary file in the target's directory, which
// takes the target's name only once everything is written, so a reader of the old file, or
// the outside converter, never sees a cut file, and a failure leaves the old file as it was.
//
// Where the file system allows it, the temporary file has no name at all (O_TMPFILE) until
// it is linked in: a program killed by any signal, SIGKILL included, leaves nothing behind.
// Elsewhere it is a hidden ".NAME.XXXXXX" beside the target, which a program that called
// removeTemporaryFileOnSignal() removes when SIGINT, SIGTERM, SIGHUP or SIGQUIT ends it.
//
// Kept as any careful program keeps them: a replaced file's mode and (where allowed) owner;
// a link to the file stays a link and its target is replaced; a write-protected file is
// refused; devices and FIFOs (/dev/null) are written directly by open(), and refused by
// writeFileAtomically(). A directory that takes no new
// file but holds a target that may be written (a read-only folder with a writable CSV) gets
// the file written in place, as a plain program would write it: method() says so, and a
// failure part-way then leaves the file cut (targetChanged()).
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <string>

#include "files/failure.h"

namespace orvalin {

class AtomicFile {
public:
    enum class Method {
        None,     // not open
        Unnamed,  // a temporary file without a name, linked in at commit
        Named,    // a hidden temporary file beside the target, renamed over it at commit
        Direct,   // a device or FIFO, written as it is
        InPlace,  // the existing target itself, as its directory takes no new file
    };

    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();  // a file that was not committed is discarded

    // Opens the file to write for `path`. `unnamedFirst` false goes straight to a named
    // temporary file (for tests).
    Result<> open(const std::string& path, bool unnamedFirst = true);
    int fd() const { return fd_; }
    Method method() const { return method_; }

    // Writes all bytes, continuing short writes.
    Result<> write(const char* data, std::size_t size);
    // Before a file written in place is overwritten: makes sure that `size` bytes will fit,
    // so that a full disk is found before the old content is touched. Else nothing to do.
    Result<> reserve(std::size_t size);

    // Waits until the bytes are on the disk.
    Result<> sync();
    // Puts the complete file in place; after a failure nothing is left behind and the old
    // file is as it was (unless written in place).
    Result<> commit();
    // Drops what was written; a file written in place keeps what was written so far.
    void discard();

    // After a failure or discard(): whether the file at the path was changed all the same
    // (only a file written in place).
    bool targetChanged() const { return targetChanged_; }
    // Drops what was written and gives `failure` with what became of the file at the path:
    // cut when it was written in place, else `unchanged`.
    Failure failed(Failure failure, const QString& unchanged = {});

private:
    Failure fail(int error);
    bool linkUnnamed();

    std::string finalPath_;  // where the bytes really go: links followed
    std::string tempPath_;   // of a named temporary file
    Method method_ = Method::None;
    int fd_ = -1;
    bool targetChanged_ = false;
};

// Writes all bytes to a descriptor, continuing short writes and retrying EINTR; returns 0 or
// the errno value of the failure.
int writeAll(int fd, const char* data, std::size_t size);

// Replaces the file at `path` with `bytes`: the window's writes. A failure says why (the
// system's reason, such as "No space left on device"), and its consequence what became of a
// file already at the path: unchanged, or cut (written in place, see above); none when there
// was no file. A FIFO, device or socket at the path is refused before it is opened, as opening
// one can wait for a reader without end.
Result<> writeFileAtomically(const QString& path, const QByteArray& bytes);

// From now on SIGINT, SIGTERM, SIGHUP and SIGQUIT first remove a named temporary file that is
// being written, then end the program as the signal would have. A signal that was ignored when
// the program started stays ignored. For a program's main() only.
void removeTemporaryFileOnSignal();

}  // namespace orvalin
