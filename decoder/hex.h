#pragma once

#include <QStringView>
#include <cstdint>

namespace orvalin {

// Hexadecimal text to a 32-bit signed integer. A leading "0x" or "&h" (either case) is
// skipped; digits are read from the left up to the first character that is not one; text
// without a leading digit gives 0. Never fails: unreadable text is 0. Longer texts wrap
// modulo 2^32.
std::int32_t HexToDec(QStringView text);

// The value of one hexadecimal digit, or -1 for any other character.
constexpr int hexDigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace orvalin
