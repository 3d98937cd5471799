// What is shared of a received frame, and how it is sent: the fields of one SiDS submission,
// application/x-www-form-urlencoded.
//
//   accepted log line --receivedFrameOf--> ReceivedFrame (date and time as logged, 32 bytes)
//   date, time + LOG_TIME_ZONE --sidsTimestamp--> "YYYY-MM-DDTHH:MM:SS.000Z" (UTC) or nothing
//   frame + timestamp + station settings --sidsForm--> noradID, source, timestamp, frame,
//        locator=longLat, longitude ("13.405E"), latitude ("52.52N"), version
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <QTimeZone>
#include <array>
#include <cstdint>
#include <optional>

#include "decoder/log_line.h"
#include "settings/station_settings.h"

namespace orvalin {

struct ReceivedFrame {
    QString date;  // "DD.MM.YYYY" as logged
    QString time;  // "HH:MM:SS" as logged
    FrameBytes32 bytes{};

    // The archive's key text: "DD.MM.YYYY HH:MM:SS".
    QString receivedText() const { return date + u' ' + time; }
};

// The frame of a line the decoder accepted (81 characters with its marks). Nothing when one
// of the 64 frame characters is not a hex digit: the decoder reads such a line leniently, but
// it carries no real frame.
std::optional<ReceivedFrame> receivedFrameOf(QStringView line);

// The frames of the accepted lines of a text, its lines cut by the line rule of
// decoder/log_text.h, whether or not they reach the record table.
QList<ReceivedFrame> framesOfLogText(QStringView text);

// The UTC time of a date "DD.MM.YYYY" and time "HH:MM:SS" logged in `zone`, as
// "YYYY-MM-DDTHH:MM:SS.000Z"; empty when they are not a real date and time (the decoder's
// rule), or when the zone gives no valid time for them. A local time in a daylight-saving
// gap or overlap is converted by QDateTime's rule.
QString sidsTimestamp(QStringView date, QStringView time, const QTimeZone& zone);

// "13.405E", "0.5W" (east positive); "52.52N", "0.5S" (north positive).
QString longitudeText(double degreesEast);
QString latitudeText(double degreesNorth);

// The 64 hex digits of the frame, upper case.
QByteArray frameHex(const FrameBytes32& bytes);

// The request body of one submission.
QByteArray sidsForm(const StationSettings& station, const QString& timestamp,
                    const FrameBytes32& bytes, const QString& version);

}  // namespace orvalin
