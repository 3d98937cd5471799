// Fuzz target: HexToDec.
//
// Input: one mode byte, then the text: read as UTF-16 code units when bit 0 of the mode is
// set, else one Latin-1 character per byte (which makes ASCII digits easy to reach).
//
// Properties: the result is the one of the documented reading (an optional "0x" or "&h"
// prefix, digits from the left up to the first other character, 32-bit wrap-around); every
// two-character piece of the text gives 0 to 255 by the piece rule, as the line decoder's
// fast path does; a trailing non-digit and the case of ASCII letters change nothing.
#include <QString>

#include "decoder/hex.h"
#include "fuzz_support.h"

namespace orvalin::fuzz {
namespace {

int digitOf(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The documented reading, written for clarity.
std::int32_t expectedValue(QStringView text) {
    qsizetype from = 0;
    if (text.size() >= 2) {
        const char16_t first = text[0].unicode();
        const char16_t second = text[1].unicode();
        if ((first == u'0' && (second == u'x' || second == u'X')) ||
            (first == u'&' && (second == u'h' || second == u'H'))) {
            from = 2;
        }
    }
    std::uint32_t value = 0;
    for (qsizetype i = from; i < text.size() && digitOf(text[i].unicode()) >= 0; ++i)
        value = value * 16u + static_cast<std::uint32_t>(digitOf(text[i].unicode()));
    return static_cast<std::int32_t>(value);
}

// The rule for the two-character pieces of a log line.
std::int32_t pieceRule(char16_t first, char16_t second) {
    const int high = digitOf(first);
    if (high < 0) return 0;
    const int low = digitOf(second);
    return low < 0 ? high : 16 * high + low;
}

QString asciiUpper(QStringView text) {
    QString upper = text.toString();
    for (QChar& c : upper) {
        if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - 32);
    }
    return upper;
}

}  // namespace
}  // namespace orvalin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvalin;
    using namespace orvalin::fuzz;
    InputBytes input(data, size);
    const bool asUtf16 = (input.takeByte() & 1) != 0;
    const QByteArray bytes = input.rest();
    const QString text = asUtf16 ? utf16Text(bytes) : QString::fromLatin1(bytes);

    const std::int32_t value = HexToDec(text);
    FUZZ_CHECK(value == expectedValue(text));
    FUZZ_CHECK(HexToDec(text + u'g') == value);
    FUZZ_CHECK(HexToDec(asciiUpper(text)) == value);

    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        const QStringView piece = QStringView(text).sliced(i, 2);
        const std::int32_t raw = HexToDec(piece);
        FUZZ_CHECK(raw >= 0 && raw <= 255);
        FUZZ_CHECK(raw == pieceRule(piece[0].unicode(), piece[1].unicode()));
        FUZZ_CHECK(raw == hexPieceValue(piece[0].unicode(), piece[1].unicode()));
    }
    return 0;
}
