#include <gtest/gtest.h>

#include <limits>

#include "decoder/decoder.h"

namespace orvalin {
namespace {

struct NumberCase {
    double value;
    const char* oneDecimal;  // the "0.0" view text with a decimal point
    const char* csv;         // the CSV number text with a decimal point
};

class NumberText : public ::testing::TestWithParam<NumberCase> {};

std::string withComma(std::string text) {
    for (char& c : text)
        if (c == '.') c = ',';
    return text;
}

TEST_P(NumberText, UnderADecimalPoint) {
    EXPECT_EQ(formatOneDecimal(GetParam().value, u'.').toStdString(), GetParam().oneDecimal);
    EXPECT_EQ(formatNumberText(GetParam().value, u'.').toStdString(), GetParam().csv);
}

TEST_P(NumberText, UnderADecimalComma) {
    EXPECT_EQ(formatOneDecimal(GetParam().value, u',').toStdString(),
              withComma(GetParam().oneDecimal));
    EXPECT_EQ(formatNumberText(GetParam().value, u',').toStdString(), withComma(GetParam().csv));
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberText,
    ::testing::Values(
        NumberCase{3.52, "3.5", "3.52"}, NumberCase{15, "15.0", "15"},
        NumberCase{-2.44, "-2.4", "-2.44"}, NumberCase{0.25, "0.3", "0.25"},
        NumberCase{2.25, "2.3", "2.25"}, NumberCase{-0.96, "-1.0", "-0.96"},
        NumberCase{4.4045, "4.4", "4.4045"}, NumberCase{0.05, "0.1", "0.05"},
        NumberCase{0.15, "0.2", "0.15"}, NumberCase{1.0 / 3.0, "0.3", "0.333333333333333"},
        NumberCase{248.0 / 3.0, "82.7", "82.6666666666667"}, NumberCase{-0.5, "-0.5", "-0.5"},
        NumberCase{0, "0.0", "0"}, NumberCase{-0.0, "0.0", "0"}, NumberCase{120, "120.0", "120"},
        NumberCase{-273, "-273.0", "-273"}, NumberCase{9.95, "10.0", "9.95"},
        NumberCase{-9.95, "-10.0", "-9.95"}, NumberCase{99.96, "100.0", "99.96"},
        NumberCase{0.04, "0.0", "0.04"}, NumberCase{-0.04, "0.0", "-0.04"},
        NumberCase{0.0049, "0.0", "0.0049"}, NumberCase{0.00001, "0.0", "1E-05"},
        NumberCase{1e15, "1000000000000000.0", "1E+15"},
        NumberCase{123456789012345.6, "123456789012346.0", "123456789012346"} /* 15 digits first */,
        NumberCase{-1.5e-7, "0.0", "-1.5E-07"}, NumberCase{8.98518, "9.0", "8.98518"},
        NumberCase{2.0 * 0.2667 * 8, "4.3", "4.2672"}));

TEST(NumberText, WorkedRecordLine) {
    const ChannelValues values = {4.12, 35.7, 21.4, 4.08,  19.6, 110.25, 12,   8.3,  4.1,   20.2,
                                  98,   4.11, 18.9, 101.5, 240,  55.6,   15.2, 60,   -92.5, 0,
                                  27.3, 21.8, 25,   12.4,  30.1, 3.3,    45,   5.02, 285.4};
    QByteArray point, comma;
    appendCsvRecordLine(point, values, u'.');
    appendCsvRecordLine(comma, values, u',');
    EXPECT_EQ(point.toStdString(),
              "4.12;35.7;21.4;4.08;19.6;110.25;12;8.3;4.1;20.2;98;4.11;18.9;101.5;240;55.6;15.2;60;"
              "-92.5;0;"
              "27.3;21.8;25;12.4;30.1;3.3;45;5.02;285.4;\r\n");
    EXPECT_EQ(comma.toStdString(),
              "4,12;35,7;21,4;4,08;19,6;110,25;12;8,3;4,1;20,2;98;4,11;18,9;101,5;240;55,6;15,2;60;"
              "-92,5;0;"
              "27,3;21,8;25;12,4;30,1;3,3;45;5,02;285,4;\r\n");
}

TEST(NumberText, HeaderNamesTheChannelsInOrder) {
    EXPECT_EQ(
        csvHeaderLine().toStdString(),
        "SP4 Volts;GS4 Curr;SP4 Temp;SP1 Volts;SP1 Temp;SP1 Curr;Batt Temp;Batt Volts;SP2 Volts;"
        "SP2 Temp;SP2 Curr;SP3 Volts;SP3 Temp;SP3 Curr;Shunt Curr;ADCS Curr;ODB Temp;RX Curr;RSSI;"
        "TX Curr;P TX;P PA;PA Temp;I200 Curr;3V3 Curr;3V3 Volts;5V Curr;5V Volts;SU TH G0;\r\n");
}

// Every value a channel can take reads back from its CSV text to within 15 digits, and the
// view text is that value rounded to a tenth.
TEST(NumberText, AllChannelValuesRoundTrip) {
    for (int c = 0; c < ChannelCount; ++c)
        for (int r = 0; r <= 255; ++r) {
            const double v = channelValue(c, r);
            const double back = formatNumberText(v, u'.').toDouble();
            ASSERT_NEAR(back, v, std::abs(v) * 1e-14) << c << " " << r;
            const double shown = formatOneDecimal(v, u'.').toDouble();
            ASSERT_LE(std::abs(shown - v), 0.05 + 1e-9) << c << " " << r;
        }
}

TEST(NumberText, NonFiniteValuesDoNotCrash) {
    EXPECT_EQ(formatOneDecimal(std::numeric_limits<double>::infinity(), u'.'),
              QStringLiteral("Inf"));
    EXPECT_EQ(formatNumberText(std::numeric_limits<double>::quiet_NaN(), u'.'),
              QStringLiteral("NaN"));
    EXPECT_EQ(formatOneDecimal(1.7976931348623157e308, u'.').size(), 311);
}

}  // namespace
}  // namespace orvalin
