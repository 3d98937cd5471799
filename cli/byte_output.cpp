#include "cli/byte_output.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace orvalin::cli {

bool FdSink::write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

BufferedWriter::BufferedWriter(ByteSink& sink, std::size_t capacity)
    : sink_(sink), buffer_(new char[capacity]), capacity_(capacity) {}

void BufferedWriter::flushForRoom() {
    flush();
}

bool BufferedWriter::flush() {
    if (used_ > 0 && !failed_ && !sink_.write(buffer_.get(), used_)) failed_ = true;
    used_ = 0;
    return !failed_;
}

void BufferedWriter::append(std::string_view bytes) {
    if (bytes.size() > capacity_) {
        // Larger than the whole buffer: pass it straight on.
        flush();
        if (!failed_ && !sink_.write(bytes.data(), bytes.size())) failed_ = true;
        return;
    }
    char* out = reserve(bytes.size());
    std::memcpy(out, bytes.data(), bytes.size());
    used_ += bytes.size();
}

void BufferedWriter::appendNumber(unsigned long long number) {
    char* out = reserve(20);
    commit(std::to_chars(out, out + 20, number).ptr);
}

std::string errorText(int errnoValue) {
    return std::strerror(errnoValue);
}

}  // namespace orvalin::cli
