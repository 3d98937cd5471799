#include "decoder/timestamp.h"

#include <gtest/gtest.h>

#include <ostream>

#include "decoder/log_scan.h"

namespace orvalin {
namespace {

struct TimestampCase {
    const char* name;
    const char* date;  // DateText as the record holds it
    const char* time;  // TimeText
    const char* iso;   // "" when not a real date and time
};

void PrintTo(const TimestampCase& c, std::ostream* os) {
    *os << c.name;
}

class IsoTimestamp : public ::testing::TestWithParam<TimestampCase> {};

TEST_P(IsoTimestamp, OfARecordsDateAndTime) {
    const TimestampCase& c = GetParam();
    EXPECT_EQ(isoTimestamp(QString::fromUtf8(c.date), QString::fromUtf8(c.time)).toStdString(),
              c.iso);
}

// The texts a scanned log line gives lead to the same timestamp.
TEST_P(IsoTimestamp, OfAScannedLogLine) {
    const TimestampCase& c = GetParam();
    QString date = QString::fromUtf8(c.date).remove(u'.');
    QString time = QString::fromUtf8(c.time).remove(u':');
    if (date.size() != 8 || time.size() != 6) return;  // not the texts of a log line
    TelemetryRecord record;
    ASSERT_EQ(readLogLine(u'!' + date + u'@' + time + u';' + QString(64, u'0'), record),
              LineVerdict::Accepted);
    EXPECT_EQ(isoTimestamp(record.DateText.view(), record.TimeText.view()).toStdString(), c.iso);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, IsoTimestamp,
    ::testing::Values(
        TimestampCase{"Plain", "06.12.2026", "12:34:56", "2026-12-06T12:34:56"},
        TimestampCase{"FirstSecondOfAYear", "01.01.2026", "00:00:00", "2026-01-01T00:00:00"},
        TimestampCase{"LastSecondOfAYear", "31.12.9999", "23:59:59", "9999-12-31T23:59:59"},
        TimestampCase{"LeapDay", "29.02.2024", "10:00:00", "2024-02-29T10:00:00"},
        TimestampCase{"LeapDayOf2000", "29.02.2000", "10:00:00", "2000-02-29T10:00:00"},
        TimestampCase{"LeapDayOfACommonYear", "29.02.2023", "10:00:00", ""},
        TimestampCase{"LeapDayOf1900", "29.02.1900", "10:00:00", ""},
        TimestampCase{"ThirtyFirstOfApril", "31.04.2026", "10:00:00", ""},
        TimestampCase{"DayZero", "00.12.2026", "10:00:00", ""},
        TimestampCase{"MonthThirteen", "01.13.2026", "10:00:00", ""},
        TimestampCase{"YearZero", "01.01.0000", "10:00:00", ""},
        TimestampCase{"LettersInTheDate", "0a.12.2026", "10:00:00", ""},
        TimestampCase{"BlankInTheTime", "06.12.2026", "1 :00:00", ""},
        TimestampCase{"Midnight24", "06.12.2026", "24:00:00", ""},
        TimestampCase{"LeapSecond", "31.12.2026", "23:59:60", ""},
        TimestampCase{"Minute60", "06.12.2026", "12:60:00", ""},
        TimestampCase{"ArabicIndicDigits", "06.12.\u0662\u0660\u0662\u0666", "10:00:00", ""},
        TimestampCase{"ShortDateText", "6.12.2026", "10:00:00", ""},
        TimestampCase{"OtherSeparators", "06-12-2026", "12.34.56", ""},
        TimestampCase{"EmptyTexts", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalin
