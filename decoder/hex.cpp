#include "decoder/hex.h"

#include <QChar>

namespace orvalin {

namespace {

std::int32_t hexValue(QStringView text) {
    std::uint32_t value = 0;
    for (QChar c : text) {
        const int digit = hexDigitValue(c.unicode());
        if (digit < 0) break;
        value = value * 16u + static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(value);
}

// Whether the text starts with `first` and a character whose upper case is `upperSecond`.
// `first` is '0' or '&', which have no other case, so only the second character is converted
// (and only when the first matches: this runs for every channel of every line).
bool isPrefix(QStringView head, char16_t first, char16_t upperSecond) {
    return head.size() == 2 && head[0] == QChar(first) && head[1].toUpper() == QChar(upperSecond);
}

}  // namespace

std::int32_t HexToDec(QStringView text) {
    const QStringView head = text.left(2);
    if (isPrefix(head, u'0', u'X')) return hexValue(text.mid(2));
    if (!isPrefix(head, u'&', u'H')) return hexValue(text);
    return hexValue(text.mid(2));
}

const std::array<std::uint8_t, 65536>& hexPieceTable() {
    static const std::array<std::uint8_t, 65536> table = [] {
        std::array<std::uint8_t, 65536> values{};
        for (int first = 0; first < 256; ++first) {
            for (int second = 0; second < 256; ++second) {
                values[static_cast<std::size_t>(first * 256 + second)] = static_cast<std::uint8_t>(
                    hexPieceValue(static_cast<char16_t>(first), static_cast<char16_t>(second)));
            }
        }
        return values;
    }();
    return table;
}

}  // namespace orvalin
