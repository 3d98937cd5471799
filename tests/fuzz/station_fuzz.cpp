// Fuzz target: the station's settings, logged times in its zone, and the SiDS form.
//
// Input: one zone byte (the zone of the logged times: one of a fixed list, or with bit 7 the
// LOG_TIME_ZONE of the entries when they give a good one), one length byte n, n bytes of
// conf.ini text whose entries give the settings, then up to 16 groups of 8 bytes, each a logged
// time (loggedTime() below), and whatever is left as the start of the frame's 32 bytes.
//
// Properties: any entries give settings without a crash. A real calendar time counts to the
// seconds QDateTime gives it and back to itself. In the zone, a logged time converts to the
// earliest instant whose local time (the zone's offset at that instant added) is the logged
// time, and to nothing when no instant has it (a time the zone skips); a frame's instant is
// that one, within the years 0001 to 9999, and its SiDS time is that instant's UTC date and
// time. The form holds only unreserved characters, '%', '&' and '=', and reads back
// (QUrlQuery) to the fields given; a longitude or latitude text reads back to the degrees.
#include <QDateTime>
#include <QList>
#include <QRegularExpression>
#include <QTimeZone>
#include <QUrl>
#include <QUrlQuery>
#include <array>
#include <optional>

#include "fuzz_support.h"
#include "settings/conf_ini.h"
#include "settings/log_time.h"
#include "settings/station_settings.h"
#include "sharing/sids_form.h"

namespace orvalin::fuzz {
namespace {

// UTC, offsets, zones with half-hour and 45-minute offsets or clock changes, zones that moved
// across the date line (a whole day skipped), a clock change at midnight, and zones whose
// summer offset is the smaller one.
constexpr std::array<const char*, 24> ZoneNames = {
    "UTC",
    "+02:00",
    "-05:30",
    "+14:00",
    "-12:00",
    "+05:45",
    "Europe/Berlin",
    "America/New_York",
    "Australia/Lord_Howe",
    "Asia/Kathmandu",
    "Pacific/Chatham",
    "Pacific/Apia",
    "Pacific/Kiritimati",
    "America/St_Johns",
    "Europe/Dublin",
    "Africa/Casablanca",
    "America/Sao_Paulo",
    "Antarctica/Troll",
    "Europe/Moscow",
    "Asia/Manila",
    "America/Juneau",
    "Australia/Adelaide",
    "America/Santiago",
    "Asia/Tehran",
};

constexpr int MostTimes = 16;
constexpr qint64 Hour = 3600;

const QTimeZone& listedZone(std::uint8_t index) {
    static const auto zones = [] {
        std::array<QTimeZone, ZoneNames.size()> made;
        for (std::size_t i = 0; i < ZoneNames.size(); ++i) {
            const StationSettings s = stationSettingsFrom(
                {{QStringLiteral("LOG_TIME_ZONE"), QString::fromLatin1(ZoneNames[i])}});
            FUZZ_CHECK(s.hasLogTimeZone);
            made[i] = s.logTimeZone;
        }
        return made;
    }();
    return zones[index % zones.size()];
}

QDateTime utcAt(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
}

int offsetAt(const QTimeZone& zone, qint64 seconds) {
    return zone.offsetFromUtc(utcAt(seconds));
}

// The earliest instant whose local time in the zone is `local` (seconds of the local time read
// as UTC). Every offset in force within 26 hours of it is tried: the zone's offset at the
// instant sought is one of them, as no offset is a day or more.
std::optional<qint64> earliestInstant(const QTimeZone& zone, qint64 local) {
    const qint64 from = local - 26 * Hour;
    const qint64 until = local + 26 * Hour;
    QList<int> offsets = {offsetAt(zone, from)};
    if (zone.hasTransitions()) {
        for (const QTimeZone::OffsetData& change : zone.transitions(utcAt(from), utcAt(until))) {
            if (!offsets.contains(change.offsetFromUtc)) offsets.append(change.offsetFromUtc);
        }
    }
    std::optional<qint64> earliest;
    for (const int offset : offsets) {
        const qint64 instant = local - offset;
        if (offsetAt(zone, instant) == offset && (!earliest || instant < *earliest))
            earliest = instant;
    }
    return earliest;
}

struct LoggedTime {
    std::array<char16_t, 14> characters{};  // DDMMYYYY HHMMSS as in a log line
    std::optional<CalendarTime> real;       // when they are a real date and time
};

// The characters, and the calendar time they give when they are 14 ASCII digits that QDate and
// QTime take as a date and time.
LoggedTime loggedOf(const QString& text) {
    LoggedTime logged;
    int digits[14] = {};
    bool allDigits = text.size() == 14;
    for (qsizetype i = 0; i < std::min<qsizetype>(text.size(), 14); ++i) {
        const char16_t c = text[i].unicode();
        logged.characters[static_cast<std::size_t>(i)] = c;
        allDigits = allDigits && c >= u'0' && c <= u'9';
        digits[i] = c - u'0';
    }
    if (!allDigits) return logged;
    const auto number = [&digits](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) value = value * 10 + digits[i];
        return value;
    };
    const CalendarTime t{number(4, 4), number(2, 2),  number(0, 2),
                         number(8, 2), number(10, 2), number(12, 2)};
    if (t.year >= 1 && QDate(t.year, t.month, t.day).isValid() &&
        QTime(t.hour, t.minute, t.second).isValid())
        logged.real = t;
    return logged;
}

LoggedTime loggedOf(const QDateTime& at) {
    return loggedOf(at.toString(QStringLiteral("ddMMyyyyHHmmss")));
}

// Eight bytes as a logged time. Bits 0-1 of the first: 0 any date and time, often not a real
// one; 1 within two hours of a clock change of the zone; 2 within 30 hours of one; 3 any
// characters, letters among them.
LoggedTime loggedTime(const QTimeZone& zone, InputBytes& input) {
    const std::uint8_t kind = input.takeByte() & 3u;
    std::array<std::uint8_t, 7> b{};
    for (std::uint8_t& byte : b) byte = input.takeByte();
    const int wide = b[0] << 8 | b[1];
    if (kind == 1 || kind == 2) {
        // The first clock change after a day of a year between 1800 and 2099.
        const QDateTime start =
            QDateTime(QDate(1800 + wide % 300, 1, 1), QTime(0, 0), QTimeZone::utc())
                .addDays(b[2] * 366 / 256);
        const QTimeZone::OffsetData change = zone.nextTransition(start);
        if (change.atUtc.isValid()) {
            const qint64 at = change.atUtc.toSecsSinceEpoch();
            const int offset = (b[5] & 1) != 0 ? change.offsetFromUtc : offsetAt(zone, at - 1);
            const int amount = b[3] << 8 | b[4];
            const qint64 delta = kind == 1 ? amount % (4 * Hour + 1) - 2 * Hour
                                           : (amount % 3601 - 1800) * 60 + b[6] % 60;
            return loggedOf(utcAt(at + offset + delta));
        }
    }
    if (kind == 3) {
        static constexpr char16_t Characters[16] = {
            u'0', u'1', u'2', u'3', u'5', u'9',      u'0',      u'1',
            u'2', u'0', u'a', u'Z', u' ', u'\u00e9', u'\u0660', u'\uff10'};
        QString text;
        for (std::size_t i = 0; i < 14; ++i)
            text += QChar(Characters[(b[i / 2] >> (i % 2 * 4)) & 15u]);
        return loggedOf(text);
    }
    // Any numbers in the fields: months, days, hours, minutes and seconds beyond their range
    // too.
    return loggedOf(QStringLiteral("%1%2%3%4%5%6")
                        .arg(1 + b[3] % 31, 2, 10, QLatin1Char('0'))
                        .arg(1 + b[2] % 12, 2, 10, QLatin1Char('0'))
                        .arg(1 + wide % 9999, 4, 10, QLatin1Char('0'))
                        .arg(b[4] % 25, 2, 10, QLatin1Char('0'))
                        .arg(b[5] % 61, 2, 10, QLatin1Char('0'))
                        .arg(b[6] % 61, 2, 10, QLatin1Char('0')));
}

bool operator==(const CalendarTime& a, const CalendarTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}

QString sidsTimeOf(qint64 utc) {
    const QDateTime at = utcAt(utc);
    return at.date().toString(Qt::ISODate) + u'T' + at.time().toString(Qt::ISODate) +
           QStringLiteral(".000Z");
}

void checkTime(LogTimeConverter& converter, const QTimeZone& zone, const LoggedTime& logged) {
    ReceivedFrame frame;
    frame.logged = logged.characters;
    const std::optional<qint64> frameUtc = converter.utcSeconds(frame);
    FUZZ_CHECK(sidsTimestamp(frame, zone) == (frameUtc ? sidsTimeOf(*frameUtc) : QString()));
    if (!logged.real) {
        FUZZ_CHECK(!frameUtc);
        return;
    }
    const CalendarTime& t = *logged.real;
    const qint64 local = naiveSeconds(t);
    FUZZ_CHECK(local == QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second),
                                  QTimeZone::utc())
                            .toSecsSinceEpoch());
    FUZZ_CHECK(calendarTimeOfSeconds(local) == t);

    // The instant of the logged time, and its local time in the zone again.
    const std::optional<qint64> expected = earliestInstant(zone, local);
    const std::optional<qint64> utc = converter.utcSeconds(t);
    FUZZ_CHECK(utc == expected);
    if (utc) FUZZ_CHECK(*utc + offsetAt(zone, *utc) == local);

    static const qint64 first =
        QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch();
    static const qint64 end =
        QDateTime(QDate(10000, 1, 1), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch();
    FUZZ_CHECK(frameUtc == (utc && *utc >= first && *utc < end ? utc : std::nullopt));
}

// "13.405E": the magnitude's decimal text, never in exponent form, and the side.
void checkDegreesText(const QString& text, double degrees, char positive, char negative) {
    static const QRegularExpression form(QStringLiteral(R"(^\d+(\.\d+)?[A-Z]$)"));
    FUZZ_CHECK(form.match(text).hasMatch());
    FUZZ_CHECK(text.back() == QLatin1Char(degrees < 0 ? negative : positive));
    bool ok = false;
    FUZZ_CHECK(text.chopped(1).toDouble(&ok) == std::abs(degrees) && ok);
}

void checkForm(const StationSettings& station, const QString& timestamp,
               const FrameBytes32& bytes) {
    const QString version = QStringLiteral("1.2.3+dfsg-1 (x86_64)");
    const QByteArray body = sidsForm(station, timestamp, bytes, version);
    for (const char c : body) {
        FUZZ_CHECK((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '.' || c == '_' || c == '~' || c == '%' || c == '&' ||
                   c == '=');
    }
    const QList<std::pair<QString, QString>> expected = {
        {"noradID", QString::number(station.noradId)},
        {"source", station.callsign},
        {"timestamp", timestamp},
        {"frame",
         QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()), FrameBytes)
                                 .toHex()
                                 .toUpper())},
        {"locator", "longLat"},
        {"longitude", longitudeText(station.longitude)},
        {"latitude", latitudeText(station.latitude)},
        {"version", version},
    };
    FUZZ_CHECK(QUrlQuery(QString::fromLatin1(body)).queryItems(QUrl::FullyDecoded) == expected);
    checkDegreesText(longitudeText(station.longitude), station.longitude, 'E', 'W');
    checkDegreesText(latitudeText(station.latitude), station.latitude, 'N', 'S');
}

}  // namespace
}  // namespace orvalin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvalin;
    using namespace orvalin::fuzz;
    InputBytes input(data, size);
    const std::uint8_t zoneByte = input.takeByte();
    const std::uint8_t confSize = input.takeByte();
    QByteArray conf;
    for (int i = 0; i < confSize; ++i) conf += static_cast<char>(input.takeByte());

    const StationSettings station = stationSettingsFrom(confIniEntries(splitConfIniLines(conf)));
    const QStringList missing = missingSettings(station);
    if (!missing.isEmpty()) FUZZ_CHECK(!sharingNeedsText(missing).isEmpty());
    if (station.hasLogTimeZone) FUZZ_CHECK(station.logTimeZone.isValid());

    const QTimeZone zone = (zoneByte & 0x80u) != 0 && station.hasLogTimeZone
                               ? station.logTimeZone
                               : listedZone(zoneByte & 0x7fu);
    // One converter for all the times, as an intake uses one for a whole log.
    LogTimeConverter converter(zone);
    LoggedTime last;
    for (int i = 0; i < MostTimes && !input.rest().isEmpty(); ++i) {
        last = loggedTime(zone, input);
        checkTime(converter, zone, last);
    }

    FrameBytes32 bytes{};
    const QByteArray rest = input.rest();
    std::copy_n(rest.constData(), std::min<qsizetype>(rest.size(), FrameBytes), bytes.begin());
    ReceivedFrame frame;
    frame.logged = last.characters;
    checkForm(station, sidsTimestamp(frame, zone), bytes);
    return 0;
}
