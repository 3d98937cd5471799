#include "sharing/sids_form.h"

#include <QDateTime>
#include <QUrl>
#include <QUrlQuery>

#include "settings/log_time.h"

namespace orvalin {

QString sidsTimestamp(qint64 utcSeconds) {
    const CalendarTime t = calendarTimeOfSeconds(utcSeconds);
    return QStringLiteral("%1-%2-%3T%4:%5:%6.000Z")
        .arg(t.year, 4, 10, QLatin1Char('0'))
        .arg(t.month, 2, 10, QLatin1Char('0'))
        .arg(t.day, 2, 10, QLatin1Char('0'))
        .arg(t.hour, 2, 10, QLatin1Char('0'))
        .arg(t.minute, 2, 10, QLatin1Char('0'))
        .arg(t.second, 2, 10, QLatin1Char('0'));
}

QString sidsTimestamp(const ReceivedFrame& frame, const QTimeZone& zone) {
    LogTimeConverter converter(zone);
    const auto utc = converter.utcSeconds(frame);
    return utc ? sidsTimestamp(*utc) : QString();
}

namespace {

// The shortest decimal text that reads back as the same value, never in exponent form.
QString degreesText(double magnitude, char positive, char negative, double value) {
    return QString::number(magnitude, 'f', QLocale::FloatingPointShortest) +
           QLatin1Char(value < 0 ? negative : positive);
}

}  // namespace

QString longitudeText(double degreesEast) {
    return degreesText(std::abs(degreesEast), 'E', 'W', degreesEast);
}

QString latitudeText(double degreesNorth) {
    return degreesText(std::abs(degreesNorth), 'N', 'S', degreesNorth);
}

QByteArray frameHex(const FrameBytes32& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), FrameBytes).toHex().toUpper();
}

QByteArray sidsForm(const StationSettings& station, const QString& timestamp,
                    const FrameBytes32& bytes, const QString& version) {
    const std::pair<const char*, QString> fields[] = {
        {"noradID", QString::number(station.noradId)},
        {"source", station.callsign},
        {"timestamp", timestamp},
        {"frame", QString::fromLatin1(frameHex(bytes))},
        {"locator", QStringLiteral("longLat")},
        {"longitude", longitudeText(station.longitude)},
        {"latitude", latitudeText(station.latitude)},
        {"version", version},
    };
    QByteArray body;
    for (const auto& [name, value] : fields) {
        if (!body.isEmpty()) body += '&';
        body += name;
        body += '=';
        body += QUrl::toPercentEncoding(value);
    }
    return body;
}

}  // namespace orvalin
