// Logged times in the station's zone: their UTC instants, the skipped and the repeated hour of
// a clock change, and the calendar arithmetic beneath.
#include "settings/log_time.h"

#include <gtest/gtest.h>

#include <QString>

#include "settings/station_settings.h"

namespace orvalin {
namespace {

QString isoText(const CalendarTime& t) {
    return QStringLiteral("%1-%2-%3T%4:%5:%6")
        .arg(t.year, 4, 10, QLatin1Char('0'))
        .arg(t.month, 2, 10, QLatin1Char('0'))
        .arg(t.day, 2, 10, QLatin1Char('0'))
        .arg(t.hour, 2, 10, QLatin1Char('0'))
        .arg(t.minute, 2, 10, QLatin1Char('0'))
        .arg(t.second, 2, 10, QLatin1Char('0'));
}

TEST(LogTime, LoggedTimesBecomeUtcInstants) {
    struct Row {
        const char* logged;  // DDMMYYYYHHMMSS as in the log line
        const char* zone;
        const char* utc;  // "" when the frame has no UTC instant
    };
    const Row rows[] = {
        {"06122026123456", "UTC", "2026-12-06T12:34:56"},
        {"01012027010000", "+02:00", "2026-12-31T23:00:00"},
        {"01072026120000", "-05:30", "2026-07-01T17:30:00"},
        {"01072026120000", "Europe/Berlin", "2026-07-01T10:00:00"},
        {"01122026120000", "Europe/Berlin", "2026-12-01T11:00:00"},
        // The spring clock change: 02:00 to 02:59 do not exist, and time never runs backwards.
        {"29032026015900", "Europe/Berlin", "2026-03-29T00:59:00"},
        {"29032026020000", "Europe/Berlin", ""},
        {"29032026023000", "Europe/Berlin", ""},
        {"29032026025900", "Europe/Berlin", ""},
        {"29032026030000", "Europe/Berlin", "2026-03-29T01:00:00"},
        // The autumn clock change: the repeated hour is taken at its first occurrence.
        {"25102026015959", "Europe/Berlin", "2026-10-24T23:59:59"},
        {"25102026020000", "Europe/Berlin", "2026-10-25T00:00:00"},
        {"25102026025959", "Europe/Berlin", "2026-10-25T00:59:59"},
        {"25102026030000", "Europe/Berlin", "2026-10-25T02:00:00"},
        {"08032026023000", "America/New_York", ""},
        {"01112026013000", "America/New_York", "2026-11-01T05:30:00"},
        {"29022024000000", "UTC", "2024-02-29T00:00:00"},
        {"29022026000000", "UTC", ""},
        {"06122026240000", "UTC", ""},
        {"0612202612a456", "UTC", ""},
        {"01010001003000", "+02:00", ""},  // before the year 0001 in UTC
        {"31129999233000", "-02:00", ""},  // after the year 9999 in UTC
    };
    for (const Row& row : rows) {
        const StationSettings station =
            stationSettingsFrom({{QStringLiteral("LOG_TIME_ZONE"), QString::fromLatin1(row.zone)}});
        ASSERT_TRUE(station.hasLogTimeZone) << row.zone;
        LogTimeConverter converter(station.logTimeZone);
        ReceivedFrame frame;
        for (std::size_t i = 0; i < frame.logged.size(); ++i)
            frame.logged[i] = static_cast<char16_t>(row.logged[i]);
        const auto utc = converter.utcSeconds(frame);
        EXPECT_EQ(utc ? isoText(calendarTimeOfSeconds(*utc)) : QString(),
                  QString::fromLatin1(row.utc))
            << row.logged << " " << row.zone;
    }
}

TEST(LogTime, CalendarCountsRoundTrip) {
    const CalendarTime times[] = {{1, 1, 1, 0, 0, 0},    {1969, 12, 31, 23, 59, 59},
                                  {1970, 1, 1, 0, 0, 0}, {2000, 2, 29, 12, 0, 0},
                                  {2100, 3, 1, 0, 0, 1}, {9999, 12, 31, 23, 59, 59}};
    for (const CalendarTime& t : times) {
        const CalendarTime back = calendarTimeOfSeconds(naiveSeconds(t));
        EXPECT_EQ(isoText(back), isoText(t));
    }
    EXPECT_EQ(naiveSeconds({1970, 1, 1, 0, 0, 0}), 0);
    EXPECT_EQ(naiveSeconds({2026, 12, 6, 12, 34, 56}), 1796560496);
}

}  // namespace
}  // namespace orvalin
