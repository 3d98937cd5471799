#include "sharing/sids_form.h"

#include <QDateTime>
#include <QUrl>
#include <QUrlQuery>

#include "decoder/timestamp.h"

namespace orvalin {

QString sidsTimestamp(const ReceivedFrame& frame, const QTimeZone& zone) {
    // The decoder's rule for a real date and time.
    const auto logged = calendarTimeOf(frame.logged.data(), frame.logged.data() + 8);
    if (!logged) return {};
    const QDateTime utc = QDateTime(QDate(logged->year, logged->month, logged->day),
                                    QTime(logged->hour, logged->minute, logged->second), zone)
                              .toUTC();
    if (!utc.isValid() || utc.date().year() < 1 || utc.date().year() > 9999) return {};
    return utc.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.000Z"));
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
