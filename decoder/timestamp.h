// The reception time of a record as ISO 8601 text, for tools that sort and join by time.
//
// A log line carries its date as DDMMYYYY and its time as HHMMSS, taken as written and never
// checked (the record keeps them as the texts "DD.MM.YYYY" and "HH:MM:SS"). They give the
// timestamp "YYYY-MM-DDTHH:MM:SS", with no time zone (the station's clock, as logged), only
// when they form a real date and time of the Gregorian calendar: 14 ASCII digits, year 0001
// to 9999 (year 0000 is not a calendar year for most data tools), month 01 to 12, a day that
// the month has (29 February in leap years only), hour 00 to 23, minute and second 00 to 59.
// 24:00:00 and the leap second 23:59:60 are not real times here: a station clock that writes
// them gives no timestamp rather than one that tools read differently.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

#include "decoder/log_line.h"

namespace orvalin {

inline constexpr int IsoTimestampLength = 19;

// A real date and time of the Gregorian calendar, as logged (no time zone).
struct CalendarTime {
    int year, month, day, hour, minute, second;
};

// The date characters DDMMYYYY and the time characters HHMMSS (in line order) as a calendar
// time; nothing when they are not a real date and time.
std::optional<CalendarTime> calendarTimeOf(const char16_t* ddmmyyyy, const char16_t* hhmmss);

// Writes the 19 characters of the timestamp of the date characters DDMMYYYY and the time
// characters HHMMSS (in line order) to `out` and returns true; returns false and writes
// nothing when they are not a real date and time.
bool writeIsoTimestamp(const char16_t (&ddmmyyyy)[8], const char16_t (&hhmmss)[6], char* out);

// The timestamp of a log line's date and time, read straight from the line through the pieces
// of DateField and TimeField (digits need no lowering); units of any width.
template <typename Unit>
bool writeLineTimestamp(const Unit* line, char* out) {
    static_assert(DateField.textLength() == 10 && TimeField.textLength() == 8);
    const auto gather = [line](const LineField& field, char16_t* to) {
        for (const LinePiece& piece : field.pieces) {
            for (int i = 0; i < piece.length; ++i)
                *to++ = static_cast<char16_t>(line[piece.position + i]);
        }
    };
    char16_t date[8];
    char16_t time[6];
    gather(DateField, date);
    gather(TimeField, time);
    return writeIsoTimestamp(date, time, out);
}

// The timestamp of a record's date text "DD.MM.YYYY" and time text "HH:MM:SS"; an empty
// string when they are not a real date and time.
QString isoTimestamp(QStringView dateText, QStringView timeText);

}  // namespace orvalin
