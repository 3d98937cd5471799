#include "settings/log_time.h"

#include <QDateTime>
#include <algorithm>
#include <limits>

namespace orvalin {

namespace {

constexpr qint64 Day = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's days_from_civil).
qint64 daysFromCivil(qint64 year, unsigned month, unsigned day) {
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<qint64>(dayOfEra) - 719468;
}

}  // namespace

qint64 naiveSeconds(const CalendarTime& t) {
    return daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) *
               Day +
           t.hour * 3600 + t.minute * 60 + t.second;
}

CalendarTime calendarTimeOfSeconds(qint64 seconds) {
    // civil_from_days, the inverse of the above.
    qint64 days = seconds / Day;
    qint64 rest = seconds % Day;
    if (rest < 0) {
        rest += Day;
        --days;
    }
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const qint64 year = static_cast<qint64>(yearOfEra) + era * 400 + (month <= 2);
    return {.year = static_cast<int>(year),
            .month = static_cast<int>(month),
            .day = static_cast<int>(day),
            .hour = static_cast<int>(rest / 3600),
            .minute = static_cast<int>(rest / 60 % 60),
            .second = static_cast<int>(rest % 60)};
}

LogTimeConverter::LogTimeConverter(QTimeZone zone) : zone_(std::move(zone)) {}

int LogTimeConverter::offsetAt(qint64 utcSeconds) {
    if (utcSeconds >= from_ && utcSeconds < until_) return offset_;
    const QDateTime at = QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone::utc());
    offset_ = zone_.offsetFromUtc(at);
    // The stretch around it that keeps this offset, as far as the zone's transitions tell;
    // a zone without transitions (UTC, a fixed offset) keeps it for ever.
    constexpr qint64 Far = std::numeric_limits<qint64>::max() / 2;
    from_ = -Far;
    until_ = Far;
    if (zone_.hasTransitions()) {
        const QTimeZone::OffsetData previous = zone_.previousTransition(at.addSecs(1));
        const QTimeZone::OffsetData next = zone_.nextTransition(at);
        if (previous.atUtc.isValid()) from_ = previous.atUtc.toSecsSinceEpoch();
        if (next.atUtc.isValid()) until_ = next.atUtc.toSecsSinceEpoch();
        if (from_ > utcSeconds || until_ <= utcSeconds) {
            // The zone database disagrees with itself here: ask again next time.
            from_ = utcSeconds;
            until_ = utcSeconds + 1;
        }
    }
    return offset_;
}

std::optional<qint64> LogTimeConverter::utcSeconds(const CalendarTime& logged) {
    const qint64 local = naiveSeconds(logged);
    // The offsets in force a day before and a day after: a clock change lies between them,
    // if any (zones change their clocks at most a few times a year). Each candidate instant
    // local - offset is real when the zone has that very offset there.
    const int before = offsetAt(local - Day);
    const int after = offsetAt(local + Day);
    std::optional<qint64> earliest;
    for (const int offset : {before, after}) {
        const qint64 instant = local - offset;
        if (offsetAt(instant) == offset && (!earliest || instant < *earliest)) earliest = instant;
    }
    return earliest;
}

std::optional<qint64> loggedSeconds(const ReceivedFrame& frame) {
    const auto logged = calendarTimeOf(frame.logged.data(), frame.logged.data() + 8);
    return logged ? std::optional(naiveSeconds(*logged)) : std::nullopt;
}

std::optional<qint64> LogTimeConverter::utcSeconds(const ReceivedFrame& frame) {
    const auto logged = calendarTimeOf(frame.logged.data(), frame.logged.data() + 8);
    if (!logged) return std::nullopt;
    const auto utc = utcSeconds(*logged);
    static const qint64 first = naiveSeconds({1, 1, 1, 0, 0, 0});
    static const qint64 end = naiveSeconds({10000, 1, 1, 0, 0, 0});
    if (!utc || *utc < first || *utc >= end) return std::nullopt;
    return utc;
}

}  // namespace orvalin
