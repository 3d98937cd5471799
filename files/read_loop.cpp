#include "files/read_loop.h"

#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "decoder/line_rule.h"
#include "files/error_text.h"

namespace orvalin {

ssize_t readPiece(int fd, char* buffer, std::size_t size, off_t offset) {
    for (;;) {
        const ssize_t got =
            offset < 0 ? ::read(fd, buffer, size) : ::pread(fd, buffer, size, offset);
        if (got >= 0 || errno != EINTR) return got;
    }
}

Result<> readToEnd(int fd, char* buffer, std::size_t size,
                   const std::function<bool(const char*, std::size_t)>& take,
                   bool dropByteOrderMark) {
    bool atStart = dropByteOrderMark;
    std::size_t have = 0;
    for (;;) {
        const ssize_t got = readPiece(fd, buffer + have, size - have);
        if (got < 0) return systemFailure(FailureKind::Unreadable, errno);
        have += static_cast<std::size_t>(got);
        std::size_t from = 0;
        if (atStart) {
            const std::string_view start(buffer, have);
            // A pipe may bring the mark a byte at a time.
            if (got > 0 && have < Utf8ByteOrderMark.size() && Utf8ByteOrderMark.starts_with(start))
                continue;
            atStart = false;
            if (start.starts_with(Utf8ByteOrderMark)) from = Utf8ByteOrderMark.size();
        }
        if (have > from && !take(buffer + from, have - from)) return {};
        if (got == 0) return {};
        have = 0;
    }
}

}  // namespace orvalin
