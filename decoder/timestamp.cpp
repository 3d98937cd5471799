#include "decoder/timestamp.h"

namespace orvalin {

namespace {

// The value of `count` decimal digits, or -1 when one of them is not an ASCII digit.
int digitsValue(const char16_t* units, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const unsigned digit = static_cast<unsigned>(units[i]) - u'0';
        if (digit > 9) return -1;
        value = value * 10 + static_cast<int>(digit);
    }
    return value;
}

int daysInMonth(int year, int month) {
    static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : Days[month - 1];
}

// The characters of the pieces of a field's text ("DD.MM.YYYY" gives DDMMYYYY), written to
// `to`; false when the text has not the field's length and separators.
bool fieldTextDigits(const LineField& field, QStringView text, char16_t* to) {
    if (text.size() != field.textLength()) return false;
    qsizetype at = 0;
    for (const LinePiece& piece : field.pieces) {
        if (at > 0 && text[at++] != field.separator) return false;
        for (int i = 0; i < piece.length; ++i) *to++ = text[at++].unicode();
    }
    return true;
}

}  // namespace

std::optional<CalendarTime> calendarTimeOf(const char16_t* ddmmyyyy, const char16_t* hhmmss) {
    const CalendarTime t{.year = digitsValue(ddmmyyyy + 4, 4),
                         .month = digitsValue(ddmmyyyy + 2, 2),
                         .day = digitsValue(ddmmyyyy, 2),
                         .hour = digitsValue(hhmmss, 2),
                         .minute = digitsValue(hhmmss + 2, 2),
                         .second = digitsValue(hhmmss + 4, 2)};
    if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > daysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
        t.minute > 59 || t.second < 0 || t.second > 59)
        return std::nullopt;
    return t;
}

bool writeIsoTimestamp(const char16_t (&ddmmyyyy)[8], const char16_t (&hhmmss)[6], char* out) {
    if (!calendarTimeOf(ddmmyyyy, hhmmss)) return false;
    // YYYY-MM-DDTHH:MM:SS from the digits as written (they are all ASCII digits here).
    static constexpr int Layout[IsoTimestampLength] = {4,   5, 6, 7,   '-', 2,  3,   '-', 0, 1,
                                                       'T', 8, 9, ':', 10,  11, ':', 12,  13};
    for (int i = 0; i < IsoTimestampLength; ++i) {
        const int from = Layout[i];
        out[i] = from < 14 ? static_cast<char>(from < 8 ? ddmmyyyy[from] : hhmmss[from - 8])
                           : static_cast<char>(from);
    }
    return true;
}

QString isoTimestamp(QStringView dateText, QStringView timeText) {
    char16_t date[8];
    char16_t time[6];
    if (!fieldTextDigits(DateField, dateText, date) || !fieldTextDigits(TimeField, timeText, time))
        return {};
    char text[IsoTimestampLength];
    if (!writeIsoTimestamp(date, time, text)) return {};
    return QString::fromLatin1(text, IsoTimestampLength);
}

}  // namespace orvalin
