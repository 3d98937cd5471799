// The UTC instant of a date and time as the station logged them, in its LOG_TIME_ZONE.
//
// A local time that the zone skips (the hour of the spring clock change) does not exist: it
// has no instant, so a frame logged then is kept but never shared. A local time that the zone
// repeats (the hour of the autumn clock change) is taken at its first occurrence, the earlier
// instant: a log carries no mark of which of the two was meant, and the first keeps a log in
// order until the hour repeats.
#pragma once

#include <QTimeZone>
#include <QtGlobal>
#include <optional>

#include "decoder/received_frame.h"
#include "decoder/timestamp.h"

namespace orvalin {

// Seconds since 1970-01-01 00:00:00 of a calendar time read as if it were UTC: the local
// time's count, before any zone is applied. Proleptic Gregorian calendar.
qint64 naiveSeconds(const CalendarTime& time);
// The calendar time of such a count (years 0001 to 9999).
CalendarTime calendarTimeOfSeconds(qint64 seconds);
// The naive seconds of a frame's logged date and time; nothing when they are not a real date
// and time.
std::optional<qint64> loggedSeconds(const ReceivedFrame& frame);

// Converts logged times of one zone; remembers the offset of the last stretch between two
// clock changes, so that a log of many frames asks the zone database rarely.
class LogTimeConverter {
public:
    explicit LogTimeConverter(QTimeZone zone);

    // The UTC seconds of a logged calendar time; nothing when the zone skips it.
    std::optional<qint64> utcSeconds(const CalendarTime& logged);
    // The UTC seconds of a frame's logged date and time: nothing when they are not a real date
    // and time (the decoder's rule), when the zone skips them, or when the instant falls
    // outside the years 0001 to 9999, which every time text here writes with four digits.
    std::optional<qint64> utcSeconds(const ReceivedFrame& frame);
    // The offset (seconds east of UTC) of the zone at a UTC instant.
    int offsetAt(qint64 utcSeconds);

private:
    QTimeZone zone_;
    // A stretch of UTC seconds [from, until) with one offset; empty at first.
    qint64 from_ = 0;
    qint64 until_ = 0;
    int offset_ = 0;
};

}  // namespace orvalin
