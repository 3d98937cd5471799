// The station's settings for sharing frames, from the KEY=value entries of conf.ini.
//
//   SHARE_URL      one submit address, http or https          (needed)
//   NORAD_ID       the satellite's catalogue number, 1..99999  (needed)
//   CALLSIGN       the station's call sign, sent as "source"   (needed)
//   LATITUDE       decimal degrees, positive north, -90..90    (needed)
//   LONGITUDE      decimal degrees, positive east, -180..180   (needed)
//   LOG_TIME_ZONE  the zone of the log's date and time: UTC (the default), an offset such as
//                  +02:00, or a zone name such as Europe/Berlin
//   SHARE          YES turns sharing on at start
//   ARCHIVE        NO keeps the window from keeping the frames it takes in (sharing, when on,
//                  still keeps its outbox)
//
// Entries arrive as conf.ini reads them (key upper-cased, value trimmed); values
// are kept as written. A bad value is ignored, so an earlier good one stands; a later entry
// overrides an earlier one. A bad value that is all a needed key (or LOG_TIME_ZONE) got is
// named by missingSettings, so the user learns why sharing cannot start.
#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>
#include <utility>

#include "settings/conf_ini.h"

namespace orvalin {

struct StationSettings {
    QUrl shareUrl;         // empty until a valid http(s) address is given
    int noradId = 0;       // 0 until a valid catalogue number is given
    QString callsign;      // as written
    double latitude = 0;   // degrees north; valid only with hasLatitude
    double longitude = 0;  // degrees east; valid only with hasLongitude
    bool hasLatitude = false;
    bool hasLongitude = false;
    QTimeZone logTimeZone = QTimeZone::utc();
    bool hasLogTimeZone = false;  // whether a good LOG_TIME_ZONE was given
    bool shareAtStart = false;
    bool keepFrames = true;  // ARCHIVE is not NO
    // The last bad value of each key that no good value followed, by key.
    QMap<QString, QString> badValues;
};

// Applies the entries in order (key upper-cased, value trimmed).
StationSettings stationSettingsFrom(const QList<ConfIniEntry>& entries);

// What keeps sharing from starting, one item per key: "NORAD_ID" when it was never given,
// "NORAD_ID (abc is not a catalogue number from 1 to 99999)" when its value was bad. Empty
// when sharing can start.
QStringList missingSettings(const StationSettings& settings);

// The item of missingSettings() for a bad LOG_TIME_ZONE, empty when the zone is good or not
// given: times taken in another zone than the station's would be wrong by hours.
QString badLogTimeZone(const StationSettings& settings);

// "Sharing needs NORAD_ID, CALLSIGN (...) in conf.ini." for a non-empty list.
QString sharingNeedsText(const QStringList& missing);

}  // namespace orvalin
