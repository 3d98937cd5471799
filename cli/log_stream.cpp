#include "cli/log_stream.h"

#include <QString>
#include <cstring>

#include "cli/jsonl_fields.h"
#include "decoder/hex.h"

namespace orvalin::cli {

namespace {

// Positions counted from 0 of the marks in a log line.
constexpr std::size_t ExclamationPos = 0;
constexpr std::size_t AtSignPos = 9;
constexpr std::size_t SemicolonPos = 16;

// The raw value HexToDec gives for a two-character piece of ASCII bytes, indexed by
// first * 256 + second. For two characters the "0x" and "&h" prefixes change nothing: both
// read as 0 either way. Case does not matter to hex digits, so the bytes need no lowering.
const std::array<std::uint8_t, 65536>& pieceValues() {
    static const std::array<std::uint8_t, 65536> table = [] {
        std::array<std::uint8_t, 65536> values{};
        for (int first = 0; first < 256; ++first) {
            for (int second = 0; second < 256; ++second) {
                values[static_cast<std::size_t>(first * 256 + second)] =
                    static_cast<std::uint8_t>(hexPieceValue(static_cast<char16_t>(first),
                                                            static_cast<char16_t>(second)));
            }
        }
        return values;
    }();
    return table;
}

bool isAscii(const char* data, std::size_t size) {
    unsigned char any = 0;
    for (std::size_t i = 0; i < size; ++i) any |= static_cast<unsigned char>(data[i]);
    return any < 0x80;
}

}  // namespace

LogStreamDecoder::LogStreamDecoder(const DecodeSettings& settings, BufferedWriter& csv,
                                   BufferedWriter* report)
    : settings_(settings),
      csv_(csv),
      report_(report),
      format_(settings.format == OutputFormat::JsonLines
                  ? makeJsonLinesFormat()
                  : makeCsvFormat(settings.withTime, settings.isoTime, settings.decimalSeparator)) {
    pieceValues();  // built before the first line rather than inside it
}

void LogStreamDecoder::writeHeader() {
    format_->writeHeader(csv_);
}

void LogStreamDecoder::beginSource(std::string_view name) {
    sourceName_.assign(name);
    lineNumber_ = 0;
    carriedBytes_ = 0;
}

void LogStreamDecoder::feed(const char* data, std::size_t size) {
    const char* p = data;
    const char* const end = data + size;
    if (carriedBytes_ > 0) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', size));
        carry(p, static_cast<std::size_t>((lf ? lf : end) - p));
        if (!lf) return;
        finishCarried(true);
        p = lf + 1;
    }
    while (p < end) {
        const auto* lf =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!lf) {
            carry(p, static_cast<std::size_t>(end - p));
            return;
        }
        handleLine(p, static_cast<std::size_t>(lf - p), true);
        p = lf + 1;
    }
}

void LogStreamDecoder::endSource() {
    if (carriedBytes_ > 0) finishCarried(false);
}

void LogStreamDecoder::abandonSource() {
    carriedBytes_ = 0;
}

void LogStreamDecoder::carry(const char* data, std::size_t size) {
    if (size == 0) return;
    if (carriedBytes_ == 0) carriedAscii_ = true;  // a new line starts
    if (carriedBytes_ < CarryCapacity) {
        const std::size_t room = CarryCapacity - static_cast<std::size_t>(carriedBytes_);
        const std::size_t kept = size < room ? size : room;
        std::memcpy(carried_.data() + carriedBytes_, data, kept);
    }
    // Past CarryCapacity only the length, the ASCII-ness and the last byte are kept.
    carriedAscii_ = carriedAscii_ && isAscii(data, size);
    carriedLast_ = data[size - 1];
    carriedBytes_ += size;
}

void LogStreamDecoder::finishCarried(bool endedByLf) {
    const std::uint64_t bytes = carriedBytes_;
    carriedBytes_ = 0;
    if (bytes <= CarryCapacity) {
        handleLine(carried_.data(), static_cast<std::size_t>(bytes), endedByLf);
        return;
    }
    ++lineNumber_;
    const bool crRemoved = endedByLf && carriedLast_ == '\r';
    rejectLength(bytes - (crRemoved ? 1 : 0), !carriedAscii_);
}

void LogStreamDecoder::handleLine(const char* line, std::size_t size, bool endedByLf) {
    ++lineNumber_;
    if (endedByLf && size > 0 && line[size - 1] == '\r') --size;
    if (size == 0) {
        ++counts_.empty;
        return;
    }
    if (size == LogLineLength && isAscii(line, size)) {
        decodeAsciiLine(reinterpret_cast<const unsigned char*>(line));
    } else if (size >= LogLineLength && size <= MaxLineBytes && !isAscii(line, size)) {
        // Fewer bytes than 81 can never make 81 characters; more may, with multi-byte ones.
        decodeTextLine(line, size);
    } else {
        rejectLength(line, size);
    }
}

void LogStreamDecoder::decodeAsciiLine(const unsigned char* line) {
    if (line[ExclamationPos] != '!') return reject(LineVerdict::NoExclamationAt1);
    if (line[AtSignPos] != '@') return reject(LineVerdict::NoAtSignAt10);
    if (line[SemicolonPos] != ';') return reject(LineVerdict::NoSemicolonAt17);
    ++counts_.accepted;

    const auto& pieces = pieceValues();
    std::uint8_t raws[ChannelCount];
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const unsigned char* piece = line + linePieceOffset(c);
        raws[c] = pieces[static_cast<std::size_t>(piece[0]) * 256 + piece[1]];
    }
    format_->writeAsciiRecord(csv_, line, raws);
}

void LogStreamDecoder::decodeTextLine(const char* line, std::size_t size) {
    const QString text = QString::fromUtf8(line, static_cast<qsizetype>(size));
    if (text.size() != LogLineLength)
        return rejectLength(static_cast<std::uint64_t>(text.size()), false);
    char16_t lowered[LogLineLength];
    for (int i = 0; i < LogLineLength; ++i) lowered[i] = lowerUnit(text[i].unicode());
    const QStringView view(lowered, LogLineLength);
    const LineVerdict verdict = checkLogLine(view);
    if (verdict != LineVerdict::Accepted) return reject(verdict);
    ++counts_.accepted;

    decodeLogLine(view, record_);
    format_->writeRecord(csv_, record_);
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
        static_cast<std::uint64_t>(QString::fromUtf8(line, static_cast<qsizetype>(size)).size()),
        false);
}

}  // namespace orvalin::cli
