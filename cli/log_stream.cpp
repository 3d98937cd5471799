#include "cli/log_stream.h"

#include <QString>
#include <cstring>

#include "decoder/hex.h"
#include "decoder/log_text.h"
#include "decoder/received_frame.h"

namespace orvalin::cli {

namespace {

bool isAscii(const char* data, std::size_t size) {
    unsigned char any = 0;
    for (std::size_t i = 0; i < size; ++i) any |= static_cast<unsigned char>(data[i]);
    return any < 0x80;
}

// Every line break but LF starts with a CR or with a byte of 0x80 or more, so a run of bytes
// without either holds no break but LF and is pure ASCII.
constexpr bool breaksStartWithCrOrHighByte() {
    for (const Utf8Break& b : Utf8LineBreaks) {
        if (b.bytes[0] != '\n' && b.bytes[0] != '\r' && b.bytes[0] < 0x80) return false;
    }
    return true;
}
static_assert(breaksStartWithCrOrHighByte());

// The first byte in [p, end) that is a CR or 0x80 or more, or end. Eight bytes at a time.
const unsigned char* firstCrOrHighByte(const unsigned char* p, const unsigned char* end) {
    constexpr std::uint64_t Ones = 0x0101010101010101u;
    constexpr std::uint64_t Highs = 0x8080808080808080u;
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        const std::uint64_t cr = word ^ (Ones * '\r');  // a zero byte where word has a CR
        if (((word | ((cr - Ones) & ~cr)) & Highs) != 0) break;
        p += 8;
    }
    while (p < end && *p != '\r' && *p < 0x80) ++p;
    return p;
}

}  // namespace

LogStreamDecoder::LogStreamDecoder(const RecordFormatOptions& settings, BufferedWriter& csv,
                                   BufferedWriter* report)
    : LogStreamDecoder(makeRecordFormat(settings), csv, report) {}

LogStreamDecoder::LogStreamDecoder(std::unique_ptr<RecordFormat> format, BufferedWriter& csv,
                                   BufferedWriter* report)
    : csv_(csv), report_(report), format_(std::move(format)) {
    hexPieceTable();  // built before the first line rather than inside it
}

void LogStreamDecoder::setFrameHandler(std::function<void(const ReceivedFrame&)> handler) {
    frameHandler_ = std::move(handler);
}

void LogStreamDecoder::writeHeader() {
    format_->writeHeader(csv_);
}

void LogStreamDecoder::beginSource(std::string_view name) {
    sourceName_ = printableName(name);
    lineNumber_ = 0;
    abandonSource();
}

void LogStreamDecoder::feed(const char* data, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* const end = p + size;
    if (p == end) return;
    if (afterCr_) {
        afterCr_ = false;
        if (*p == '\n') ++p;
    }
    if (heldBytes_ > 0) resumeHeldBreak(p, end);
    feedLines(p, end);
}

// The bytes held back at the end of the last chunk, read on with the first bytes of this one:
// either they complete a line break, or they are part of the line after all.
void LogStreamDecoder::resumeHeldBreak(const unsigned char*& p, const unsigned char* end) {
    unsigned char joined[4];
    const auto held = static_cast<std::size_t>(heldBytes_);
    const std::size_t taken = std::min<std::size_t>(2, static_cast<std::size_t>(end - p));
    std::memcpy(joined, held_.data(), held);
    std::memcpy(joined + held, p, taken);
    const int length = utf8LineBreakAt(joined, joined + held + taken);
    if (length < 0) {
        // Still undecided: this chunk was too short to tell, and all of it is held now.
        std::memcpy(held_.data() + held, p, taken);
        heldBytes_ += static_cast<int>(taken);
        p = end;
        return;
    }
    heldBytes_ = 0;
    if (length > 0) {
        endLine(nullptr, 0, true);
        p += static_cast<std::size_t>(length) - held;
    } else {
        carry(reinterpret_cast<const char*>(held_.data()), held);
    }
}

void LogStreamDecoder::feedLines(const unsigned char* p, const unsigned char* const end) {
    while (p < end) {
        const auto* lf = static_cast<const unsigned char*>(
            std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const unsigned char* const stop = lf ? lf : end;
        const unsigned char* at = firstCrOrHighByte(p, stop);
        if (at == stop && lf) {
            // The usual line: ASCII, ended by LF.
            endLine(p, static_cast<std::size_t>(lf - p), true);
            p = lf + 1;
            continue;
        }
        // Look for the break among the CRs and non-ASCII bytes of the line.
        int length = 0;
        for (; at < stop; at = firstCrOrHighByte(at + 1, stop)) {
            length = utf8LineBreakAt(at, end);
            if (length != 0) break;
        }
        if (at == stop) {
            if (!lf) {
                carry(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
                return;
            }
            length = 1;
        }
        if (length < 0) {
            // The chunk ends inside what may be a line break: hold those bytes back.
            carry(reinterpret_cast<const char*>(p), static_cast<std::size_t>(at - p));
            heldBytes_ = static_cast<int>(end - at);
            std::memcpy(held_.data(), at, static_cast<std::size_t>(heldBytes_));
            return;
        }
        if (*at == '\r' && length == 1 && at + 1 == end) afterCr_ = true;
        endLine(p, static_cast<std::size_t>(at - p), false);
        p = at + length;
    }
}

void LogStreamDecoder::endSource() {
    if (heldBytes_ > 0)
        carry(reinterpret_cast<const char*>(held_.data()), static_cast<std::size_t>(heldBytes_));
    heldBytes_ = 0;
    afterCr_ = false;
    if (carriedBytes_ > 0) finishCarried();
}

void LogStreamDecoder::abandonSource() {
    carriedBytes_ = 0;
    heldBytes_ = 0;
    afterCr_ = false;
}

// A line break after `size` bytes at `p`, which follow whatever the last chunks left over.
// `ascii`: the bytes are known to be ASCII; else they are looked at.
void LogStreamDecoder::endLine(const unsigned char* p, std::size_t size, bool ascii) {
    const char* bytes = reinterpret_cast<const char*>(p);
    if (carriedBytes_ > 0) {
        carry(bytes, size);
        finishCarried();
    } else {
        handleLine(bytes, size, ascii || isAscii(bytes, size));
    }
}

void LogStreamDecoder::carry(const char* data, std::size_t size) {
    if (size == 0) return;
    if (carriedBytes_ == 0) carriedAscii_ = true;  // a new line starts
    if (carriedBytes_ < CarryCapacity) {
        const std::size_t room = CarryCapacity - static_cast<std::size_t>(carriedBytes_);
        const std::size_t kept = size < room ? size : room;
        std::memcpy(carried_.data() + carriedBytes_, data, kept);
    }
    // Past CarryCapacity only the length and the ASCII-ness are kept.
    carriedAscii_ = carriedAscii_ && isAscii(data, size);
    carriedBytes_ += size;
}

void LogStreamDecoder::finishCarried() {
    const std::uint64_t bytes = carriedBytes_;
    carriedBytes_ = 0;
    if (bytes <= CarryCapacity) {
        handleLine(carried_.data(), static_cast<std::size_t>(bytes), carriedAscii_);
        return;
    }
    ++lineNumber_;
    rejectLength(bytes, !carriedAscii_);
}

void LogStreamDecoder::handleLine(const char* line, std::size_t size, bool ascii) {
    ++lineNumber_;
    if (size == 0) {
        ++counts_.empty;
        return;
    }
    if (size == LogLineLength && ascii) {
        decodeAsciiLine(reinterpret_cast<const unsigned char*>(line));
    } else if (size >= LogLineLength && size <= MaxLineBytes && !ascii) {
        // Fewer bytes than 81 can never make 81 characters; more may, with multi-byte ones.
        decodeTextLine(line, size);
    } else {
        rejectLength(line, size);
    }
}

void LogStreamDecoder::decodeAsciiLine(const unsigned char* line) {
    const LineVerdict verdict = checkLineMarks(line);
    if (verdict != LineVerdict::Accepted) return reject(verdict);
    ++counts_.accepted;

    const auto& pieces = hexPieceTable();
    std::uint8_t raws[ChannelCount];
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const unsigned char* piece = line + linePieceOffset(c);
        raws[c] = pieces[static_cast<std::size_t>(piece[0]) * 256 + piece[1]];
    }
    format_->writeAsciiRecord(csv_, line, raws);
    if (frameHandler_) frameHandler_(receivedFrameOf(line));
}

void LogStreamDecoder::decodeTextLine(const char* line, std::size_t size) {
    const QString text = textOfUtf8(line, static_cast<qsizetype>(size));
    const LineVerdict verdict = readLogLine(text, record_);
    if (verdict == LineVerdict::WrongLength)
        return rejectLength(static_cast<std::uint64_t>(text.size()), false);
    if (verdict != LineVerdict::Accepted) return reject(verdict);
    ++counts_.accepted;

    format_->writeRecord(csv_, record_);
    if (frameHandler_) frameHandler_(receivedFrameOf(text.utf16()));
}

bool LogStreamDecoder::startRejection() {
    ++counts_.rejected;
    if (!report_) return false;
    report_->append(sourceName_);
    report_->append(':');
    report_->appendNumber(lineNumber_);
    report_->append(": ");
    return true;
}

void LogStreamDecoder::reject(LineVerdict verdict) {
    if (!startRejection()) return;
    switch (verdict) {
        case LineVerdict::NoExclamationAt1:
            report_->append("no \"!\" at position 1\n");
            break;
        case LineVerdict::NoAtSignAt10:
            report_->append("no \"@\" at position 10\n");
            break;
        case LineVerdict::NoSemicolonAt17:
            report_->append("no \";\" at position 17\n");
            break;
        case LineVerdict::WrongLength:  // lengths go through rejectLength
        case LineVerdict::Accepted:
            report_->append("rejected\n");
            break;
    }
}

void LogStreamDecoder::rejectLength(std::uint64_t length, bool inBytes) {
    if (!startRejection()) return;
    report_->append("wrong length: ");
    report_->appendNumber(length);
    report_->append(inBytes ? " bytes, not 81 characters\n" : " characters, not 81\n");
}

void LogStreamDecoder::rejectLength(const char* line, std::size_t size) {
    if (!report_ || isAscii(line, size)) return rejectLength(size, false);
    if (size > MaxLineBytes) return rejectLength(size, true);
    return rejectLength(
        static_cast<std::uint64_t>(textOfUtf8(line, static_cast<qsizetype>(size)).size()), false);
}

}  // namespace orvalin::cli
