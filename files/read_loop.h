// The one way both programs read a descriptor: a piece of at most a buffer's size at a time,
// a read interrupted by a signal tried again. Whole-file reading, the follower and the batch
// decoder's input all read through here.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>

#include "files/failure.h"

namespace orvalin {

// The size of one read: large enough that a big log takes few system calls, small enough that
// the memory of a reader stays small.
inline constexpr std::size_t ReadSize = std::size_t{1} << 20;

// One read of up to `size` bytes at `offset`, or from where the descriptor stands when offset
// is -1. Returns the number of bytes read (0 at the end) or -1 with errno set.
ssize_t readPiece(int fd, char* buffer, std::size_t size, off_t offset = -1);

// Reads `fd` from where it stands to its end, handing every piece to `take`, which may return
// false to stop early. With `dropByteOrderMark`, a byte-order mark that starts the bytes is
// not handed on: at the start of a file it is the file's encoding signature, not text.
// `size` is at least 3. A failed read is Unreadable, with its errno.
Result<> readToEnd(int fd, char* buffer, std::size_t size,
                   const std::function<bool(const char*, std::size_t)>& take,
                   bool dropByteOrderMark);

}  // namespace orvalin
