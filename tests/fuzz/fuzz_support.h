// Shared pieces of the fuzz targets: a property check that stops the run with a message, a
// reader that takes a few control bytes off the front of an input, and a small deterministic
// generator that turns such bytes into chunk sizes.
//
// Every target defines LLVMFuzzerTestOneInput. Built with clang and -fsanitize=fuzzer it is a
// libFuzzer program; built with replay_main.cpp it replays committed inputs under CTest.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "decoder/line_rule.h"

namespace orvalin::fuzz {

// Whether this is the replay program (every committed input once) rather than libFuzzer.
#ifdef ORVALIN_FUZZ_REPLAY
inline constexpr bool Replaying = true;
#else
inline constexpr bool Replaying = false;
#endif

[[noreturn]] inline void propertyFailed(const char* file, int line, const char* expression) {
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, expression);
    std::abort();
}

// Aborts, so that libFuzzer saves the input and the replay test fails.
#define FUZZ_CHECK(condition) \
    ((condition) ? void(0) : ::orvalin::fuzz::propertyFailed(__FILE__, __LINE__, #condition))

// Reads an input from the front: control bytes first, then the rest as the payload. Control
// bytes past the end read as 0, so every input, the empty one included, is usable.
class InputBytes {
public:
    InputBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t takeByte() {
        if (at_ >= size_) return 0;
        return data_[at_++];
    }
    std::uint32_t takeUint32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | takeByte();
        return value;
    }
    // The bytes not yet taken.
    QByteArray rest() const {
        return QByteArray(reinterpret_cast<const char*>(data_ + at_),
                          static_cast<qsizetype>(size_ - at_));
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The bytes read as UTF-16 code units in the machine's byte order; an odd last byte is dropped.
// Lone surrogates and NULs stay as they are, as a paste may hold them.
inline QString utf16Text(const QByteArray& bytes) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    std::memcpy(text.data(), bytes.constData(), static_cast<std::size_t>(text.size()) * 2);
    return text;
}

// Where the bytes after the last line break start (0 when there is none): the end of the
// complete lines, by the line rule.
inline qsizetype lastLineStart(QByteArrayView bytes) {
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* end = begin + bytes.size();
    qsizetype start = 0;
    for (const unsigned char* p = begin; p < end;) {
        const int length = utf8LineBreakAt(p, end);
        p += length > 0 ? length : 1;
        if (length > 0) start = p - begin;
    }
    return start;
}

// xorshift32: the same seed always gives the same sizes, so a saved input replays exactly.
class ChunkSizes {
public:
    explicit ChunkSizes(std::uint32_t seed) : state_(seed == 0 ? 0x9e3779b9u : seed) {}

    // A size from 0 to max, mostly small, now and then large.
    std::size_t next(std::size_t max) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        const std::size_t limit = (state_ & 3u) == 0 ? max : (max < 8 ? max : 8);
        return static_cast<std::size_t>(state_ >> 2) % (limit + 1);
    }

private:
    std::uint32_t state_;
};

}  // namespace orvalin::fuzz
