// Channel values must carry the same bits as each formula evaluated as written.
#include <gtest/gtest.h>

#include <cstring>

#include "decoder/decoder.h"
#include "test_lines.h"

namespace orvalin {
namespace {

// The formulas written out independently of the catalogue, each as one IEEE expression.
// clang-format off
double expectedValue(int c, int r) {
    const int n = r * 8;
    switch (c) {
        case 0: case 3: case 7: case 8: case 11: case 27:
            return ((8.0 / 1000.0) * r) * 4.4045;
        case 2: case 4: case 6: case 9: case 12: case 16: case 22:
            return (n * 0.2) - 273.0;
        case 1: case 5: case 10: case 13: return n * 0.2667;
        case 14: case 18: case 20: case 21: return n;
        case 15: return n * 0.17;
        case 17: return n * 0.0533;
        case 19: return n * 0.8;
        case 23: return n * 0.0287;
        case 24: return n * 0.0266;
        case 25: return r * 8 * 2;
        case 26: return n * 0.2424;
        case 28: return n / 3.0;
    }
    return -1;
}
// clang-format on

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(ChannelDecoding, EveryChannelAndRawValueIsBitExact) {
    for (int c = 0; c < ChannelCount; ++c)
        for (int r = 0; r <= 255; ++r)
            ASSERT_TRUE(sameBits(channelValue(c, r), expectedValue(c, r)))
                << "channel " << c << " raw " << r;
}

TEST(ChannelDecoding, WorkedLineGivesTheDocumentedValues) {
    // Frame byte k holds k, so channel c decodes the raw value c + 3; shown to 15 digits.
    const char* expected[ChannelCount] = {"0.105708",
                                          "8.5344",
                                          "-265",
                                          "0.211416",
                                          "-261.8",
                                          "17.0688",
                                          "-258.6",
                                          "0.35236",
                                          "0.387596",
                                          "-253.8",
                                          "27.7368",
                                          "0.493304",
                                          "-249",
                                          "34.1376",
                                          "136",
                                          "24.48",
                                          "-242.6",
                                          "8.528",
                                          "168",
                                          "140.8",
                                          "184",
                                          "192",
                                          "-233",
                                          "5.9696",
                                          "5.7456",
                                          "448",
                                          "56.2368",
                                          "1.05708",
                                          "82.6666666666667"};
    TelemetryRecord record;
    ASSERT_TRUE(test::decodeIfLogLine(test::WorkedLine, record));
    for (int c = 0; c < ChannelCount; ++c) {
        EXPECT_TRUE(sameBits(record.Values[c], expectedValue(c, c + 3))) << "channel " << c;
        EXPECT_EQ(formatNumberText(record.Values[c], u'.').toStdString(), expected[c])
            << "channel " << c;
    }
    EXPECT_EQ(record.DateText.toString(), QStringLiteral("06.12.2026"));
    EXPECT_EQ(record.TimeText.toString(), QStringLiteral("12:34:56"));
}

struct UniformFrameCase {
    const char* name;
    QChar digit;
    double volts, temperature, plain, doubled, third;
};

class UniformFrame : public ::testing::TestWithParam<UniformFrameCase> {};

TEST_P(UniformFrame, GivesTheEndsOfTheRanges) {
    const auto& p = GetParam();
    TelemetryRecord record;
    ASSERT_TRUE(test::decodeIfLogLine(test::lineWithFrame(QString(64, p.digit)), record));
    for (int c : {0, 3, 7, 8, 11, 27}) EXPECT_NEAR(record.Values[c], p.volts, 5e-6) << c;
    for (int c : {2, 4, 6, 9, 12, 16, 22}) EXPECT_EQ(record.Values[c], p.temperature) << c;
    for (int c : {14, 18, 20, 21}) EXPECT_EQ(record.Values[c], p.plain) << c;
    EXPECT_EQ(record.Values[25], p.doubled);
    EXPECT_EQ(record.Values[28], p.third);
    for (int c = 0; c < ChannelCount; ++c)
        EXPECT_TRUE(sameBits(record.Values[c], expectedValue(c, p.digit == u'0' ? 0 : 255)));
}

INSTANTIATE_TEST_SUITE_P(
    Frames, UniformFrame,
    ::testing::Values(UniformFrameCase{"AllZero", u'0', 0, -273, 0, 0, 0},
                      UniformFrameCase{"AllLowerF", u'f', 8.98518, 135, 2040, 4080, 680},
                      UniformFrameCase{"AllUpperF", u'F', 8.98518, 135, 2040, 4080, 680}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChannelDecoding, FrameBytesZeroToTwoChangeNothing) {
    TelemetryRecord plain, noisy;
    ASSERT_TRUE(test::decodeIfLogLine(test::WorkedLine, plain));
    QString line = test::WorkedLine;
    line.replace(17, 6, QStringLiteral("zz&h!@"));
    ASSERT_TRUE(test::decodeIfLogLine(line, noisy));
    for (int c = 0; c < ChannelCount; ++c) EXPECT_TRUE(sameBits(plain.Values[c], noisy.Values[c]));
}

TEST(ChannelDecoding, NonHexPiecesFollowTheReadingRules) {
    // Channel 0 reads line positions 24-25, channel 6 (temperature) positions 36-37.
    struct Case {
        const char* piece;
        int raw;
    };
    const Case cases[] = {{"7g", 7}, {"g7", 0}, {"0x", 0}, {"&h", 0},
                          {"&H", 0}, {"  ", 0}, {"f ", 15}};
    for (const auto& k : cases) {
        QString line = test::WorkedLine;
        line.replace(35, 2, QString::fromLatin1(k.piece));
        TelemetryRecord record;
        ASSERT_TRUE(test::decodeIfLogLine(line, record)) << k.piece;
        EXPECT_TRUE(sameBits(record.Values[6], expectedValue(6, k.raw))) << k.piece;
    }
}

TEST(ChannelDecoding, CatalogueMatchesTheFrameLayout) {
    EXPECT_EQ(ChannelCatalogue[0].caption, "SP4 Volts");
    EXPECT_EQ(ChannelCatalogue[DefaultChannel].caption, "Batt Temp");
    EXPECT_EQ(ChannelCatalogue[28].caption, "SU TH G0");
    for (int c = 0; c < ChannelCount; ++c) {
        EXPECT_EQ(ChannelCatalogue[c].frameByte, c + 3);
        EXPECT_EQ(linePieceOffset(c) + 1, 24 + 2 * c);  // line positions counted from 1
    }
    int blankUnits = 0;
    for (const auto& info : ChannelCatalogue) blankUnits += info.unit == " ";
    EXPECT_EQ(blankUnits, 3);
}

}  // namespace
}  // namespace orvalin
