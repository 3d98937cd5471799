#pragma once

#include <QStringView>
#include <array>
#include <cstdint>

namespace orvalin {

// Hexadecimal text to a 32-bit signed integer. A leading "0x" or "&h" (either case) is
// skipped; digits are read from the left up to the first character that is not one; text
// without a leading digit gives 0. Never fails: unreadable text is 0. Longer texts wrap
// modulo 2^32.
std::int32_t HexToDec(QStringView text);

namespace detail {
inline constexpr auto HexDigitTable = [] {
    std::array<signed char, 128> t{};
    for (int c = 0; c < 128; ++c)
        t[static_cast<std::size_t>(c)] =
            static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                     : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                     : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                            : -1);
    return t;
}();
}  // namespace detail

// The value of one hexadecimal digit (0-9, a-f, A-F), or -1 for any other character.
constexpr int hexDigitValue(char16_t c) {
    return c < 128 ? detail::HexDigitTable[c] : -1;
}

// HexToDec of a two-character text, the only kind the line decoder passes. For two characters
// the "0x" and "&h" prefixes leave nothing to read, so the plain digit rule gives the same
// result: the first digit's value, 16 * first + second, or 0.
constexpr std::int32_t hexPieceValue(char16_t first, char16_t second) {
    const int hi = hexDigitValue(first);
    if (hi < 0) return 0;
    const int lo = hexDigitValue(second);
    return lo < 0 ? hi : hi * 16 + lo;
}

// hexPieceValue of every two-byte piece, indexed by first * 256 + second: the batch decoder
// reads the pieces of ASCII lines from their bytes. Case does not matter to hex digits, so the
// bytes need no lowering; built on first use.
const std::array<std::uint8_t, 65536>& hexPieceTable();

}  // namespace orvalin
