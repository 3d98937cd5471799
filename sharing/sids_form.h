// What is shared of a received frame, and how it is sent: the fields of one SiDS submission,
// application/x-www-form-urlencoded.
//
//   ReceivedFrame (decoder/received_frame.h: date and time as logged, 32 bytes)
//   date, time + LOG_TIME_ZONE --sidsTimestamp--> "YYYY-MM-DDTHH:MM:SS.000Z" (UTC) or nothing
//   frame + timestamp + station settings --sidsForm--> noradID, source, timestamp, frame,
//        locator=longLat, longitude ("13.405E"), latitude ("52.52N"), version
#pragma once

#include <QByteArray>
#include <QString>
#include <QTimeZone>
#include <optional>

#include "decoder/received_frame.h"
#include "settings/log_time.h"
#include "settings/station_settings.h"

namespace orvalin {

// "YYYY-MM-DDTHH:MM:SS.000Z" of a UTC instant.
QString sidsTimestamp(qint64 utcSeconds);
// The frame's UTC instant in `zone` as such a text (settings/log_time.h); empty when it has
// none.
QString sidsTimestamp(const ReceivedFrame& frame, const QTimeZone& zone);

// "13.405E", "0.5W" (east positive); "52.52N", "0.5S" (north positive).
QString longitudeText(double degreesEast);
QString latitudeText(double degreesNorth);

// The 64 hex digits of the frame, upper case.
QByteArray frameHex(const FrameBytes32& bytes);

// The request body of one submission.
QByteArray sidsForm(const StationSettings& station, const QString& timestamp,
                    const FrameBytes32& bytes, const QString& version);

}  // namespace orvalin
