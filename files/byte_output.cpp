#include "files/byte_output.h"

#include <charconv>
#include <cstring>

#include "decoder/line_rule.h"
#include "files/atomic_file.h"

namespace orvalin {

bool FdSink::write(const char* data, std::size_t size) {
    error_ = writeAll(fd_, data, size);
    return error_ == 0;
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

namespace {

// The length of the valid UTF-8 sequence of two or more bytes at `at`, or 0.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
    };
    const Utf8Lead lead = utf8Lead(static_cast<unsigned char>(byte(0)));
    if (lead.length == 0 || byte(1) < lead.low || byte(1) > lead.high) return 0;
    const auto length = static_cast<std::size_t>(lead.length);
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

std::string printableName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    const auto escape = [&](unsigned char c) {
        static constexpr char Hex[] = "0123456789abcdef";
        out += "\\x";
        out += Hex[c >> 4];
        out += Hex[c & 15];
    };
    for (std::size_t at = 0; at < name.size();) {
        const auto c = static_cast<unsigned char>(name[at]);
        if (c == '\n' || c == '\t' || c == '\r') {
            out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            escape(c);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const std::size_t length = utf8SequenceLength(name, at); length == 0) {
            escape(c);
        } else if (c == 0xC2 && static_cast<unsigned char>(name[at + 1]) < 0xA0) {
            escape(c);  // U+0080 to U+009F, the C1 controls
            escape(static_cast<unsigned char>(name[at + 1]));
            at += 2;
            continue;
        } else {
            out.append(name.substr(at, length));
            at += length;
            continue;
        }
        ++at;
    }
    return out;
}

}  // namespace orvalin
