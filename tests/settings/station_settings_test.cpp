// The station's settings for sharing: which are missing or bad, and what the good ones give.
#include "settings/station_settings.h"

#include <gtest/gtest.h>

namespace orvalin {
namespace {

TEST(StationSettings, MissingAndBadKeysAreNamed) {
    using Entries = QList<ConfIniEntry>;
    const Entries good = {{"SHARE_URL", "https://db.example.org/api/telemetry/"},
                          {"NORAD_ID", "99999"},
                          {"CALLSIGN", "DL0abc"},
                          {"LATITUDE", "52.52"},
                          {"LONGITUDE", "-0.5"}};
    struct Row {
        const char* name;
        Entries extra;
        QStringList missing;
    };
    const Row rows[] = {
        {"all good", {}, {}},
        {"a later bad value leaves the good one", {{"NORAD_ID", "0"}, {"LATITUDE", "91"}}, {}},
        {"a later good value overrides", {{"NORAD_ID", "43017"}}, {}},
        {"not http", {{"SHARE_URL", "ftp://x/"}}, {}},
        {"bad time zone",
         {{"LOG_TIME_ZONE", "Mars/Olympus"}},
         {"LOG_TIME_ZONE (Mars/Olympus is not UTC, an offset such as +02:00 or a zone name such "
          "as Europe/Berlin)"}},
        {"offset beyond 14 hours",
         {{"LOG_TIME_ZONE", "+15:00"}},
         {"LOG_TIME_ZONE (+15:00 is not UTC, an offset such as +02:00 or a zone name such as "
          "Europe/Berlin)"}},
        {"zone name outside the zone database",
         {{"LOG_TIME_ZONE", "Europe/../Europe/Berlin"}},
         {"LOG_TIME_ZONE (Europe/../Europe/Berlin is not UTC, an offset such as +02:00 or a zone "
          "name such as Europe/Berlin)"}},
    };
    for (const Row& row : rows) {
        const StationSettings s = stationSettingsFrom(good + row.extra);
        EXPECT_EQ(missingSettings(s), row.missing) << row.name;
    }
    const StationSettings s = stationSettingsFrom(good);
    EXPECT_EQ(s.noradId, 99999);
    EXPECT_EQ(s.callsign, "DL0abc");
    EXPECT_FALSE(s.shareAtStart);

    const StationSettings bad = stationSettingsFrom({{"SHARE_URL", "db.example.org"},
                                                     {"NORAD_ID", "100000"},
                                                     {"LATITUDE", "52,52"},
                                                     {"LONGITUDE", "13.4"},
                                                     {"SHARE", "yes"}});
    EXPECT_TRUE(bad.shareAtStart);
    EXPECT_EQ(sharingNeedsText(missingSettings(bad)),
              "Sharing needs SHARE_URL (db.example.org is not an http or https address), "
              "NORAD_ID (100000 is not a catalogue number from 1 to 99999), CALLSIGN, "
              "LATITUDE (52,52 is not decimal degrees from -90 to 90) in conf.ini.");
}

}  // namespace
}  // namespace orvalin
