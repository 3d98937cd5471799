#include "decoder/hex.h"

#include <gtest/gtest.h>

#include <QString>

namespace orvalin {
namespace {

struct HexCase {
    const char16_t* text;
    std::int32_t value;
};

class HexToDecTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexToDecTest, ReadsDigitsFromTheLeft) {
    EXPECT_EQ(HexToDec(QStringView(GetParam().text)), GetParam().value)
        << QString::fromUtf16(GetParam().text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Pieces, HexToDecTest,
                         ::testing::Values(HexCase{u"ff", 255}, HexCase{u"FF", 255},
                                           HexCase{u"fF", 255}, HexCase{u"00", 0},
                                           HexCase{u"1f", 31}, HexCase{u"a0", 160},
                                           HexCase{u"7g", 7}, HexCase{u"g7", 0}, HexCase{u"0x", 0},
                                           HexCase{u"0X", 0}, HexCase{u"&h", 0}, HexCase{u"&H", 0},
                                           HexCase{u"", 0}, HexCase{u"f", 15}, HexCase{u" 7", 0},
                                           HexCase{u"\t7", 0}, HexCase{u"-1", 0},
                                           HexCase{u"\u0660\u0661", 0} /* Arabic-Indic digits */,
                                           HexCase{u"\uff21\uff21", 0} /* full-width A */));

INSTANTIATE_TEST_SUITE_P(LongerTexts, HexToDecTest,
                         ::testing::Values(HexCase{u"0x1f", 31}, HexCase{u"0X1F", 31},
                                           HexCase{u"&h1f", 31}, HexCase{u"&H7fz", 127},
                                           HexCase{u"123", 0x123}, HexCase{u"7fffffff", 0x7fffffff},
                                           HexCase{u"ffffffff", -1} /* wraps to 32 bits */,
                                           HexCase{u"1ffffffff", -1}, HexCase{u"0x0x1", 0},
                                           HexCase{u"&h&h1", 0}));

// Every pair of characters that matter gives a value within 0 to 255 and the digit rule.
TEST(HexToDec, TwoCharacterPiecesStayInTheByteRange) {
    const QString alphabet = QStringLiteral("0123456789abcdefABCDEFgxXhH&; !@\u0130\u212a");
    for (QChar a : alphabet)
        for (QChar b : alphabet) {
            const QChar piece[2] = {a, b};
            const int value = HexToDec(QStringView(piece, 2));
            const int hi = hexDigitValue(a.unicode()), lo = hexDigitValue(b.unicode());
            const int expected = hi < 0 ? 0 : (lo < 0 ? hi : hi * 16 + lo);
            ASSERT_EQ(value, expected) << QString(piece, 2).toStdString();
        }
}

}  // namespace
}  // namespace orvalin

namespace orvalin {
namespace {

// The line decoder's two-character reader must agree with HexToDec on every pair of units
// that can matter: all of ASCII and a spread of others.
TEST(HexToDec, PieceReaderAgreesWithHexToDec) {
    std::vector<char16_t> units;
    for (char16_t c = 0; c < 0x180; ++c) units.push_back(c);
    for (char16_t c : {0x212A, 0x0130, 0xD800, 0xDC00, 0xFF10, 0xFF21, 0xFFFF}) units.push_back(c);
    for (char16_t a : units)
        for (char16_t b : units) {
            const char16_t piece[2] = {a, b};
            ASSERT_EQ(hexPieceValue(a, b), HexToDec(QStringView(piece, 2)))
                << int(a) << " " << int(b);
        }
}

}  // namespace
}  // namespace orvalin
