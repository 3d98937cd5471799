#include "sharing/sids_form.h"

#include <QDateTime>
#include <QUrl>
#include <QUrlQuery>

#include "decoder/hex.h"
#include "decoder/log_text.h"
#include "decoder/timestamp.h"

namespace orvalin {

std::optional<ReceivedFrame> receivedFrameOf(QStringView line) {
    if (line.size() != LogLineLength) return std::nullopt;
    ReceivedFrame frame;
    for (int k = 0; k < FrameBytes; ++k) {
        const int high = hexDigitValue(line[framePieceOffset(k)].unicode());
        const int low = hexDigitValue(line[framePieceOffset(k) + 1].unicode());
        if (high < 0 || low < 0) return std::nullopt;
        frame.bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(high * 16 + low);
    }
    QChar date[10];
    QChar time[8];
    writeLineField(DateField, line.data(), date, [](QChar c) { return c; });
    writeLineField(TimeField, line.data(), time, [](QChar c) { return c; });
    frame.date = QString(date, 10);
    frame.time = QString(time, 8);
    return frame;
}

QList<ReceivedFrame> framesOfLogText(QStringView text) {
    QList<ReceivedFrame> frames;
    qsizetype start = 0;
    for (qsizetype at = 0; at <= text.size(); ++at) {
        if (at < text.size() && !isLineBreak(text[at].unicode())) continue;
        if (at - start == LogLineLength) {
            const QStringView line = text.sliced(start, LogLineLength);
            // Lower-casing, which the decoder does first, makes none of the marks.
            if (checkLineMarks(line.utf16()) == LineVerdict::Accepted) {
                if (auto frame = receivedFrameOf(line)) frames.append(std::move(*frame));
            }
        }
        start = at + 1;
    }
    return frames;
}

QString sidsTimestamp(QStringView date, QStringView time, const QTimeZone& zone) {
    // The decoder's rule for a real date and time; its text is "YYYY-MM-DDTHH:MM:SS".
    const QString local = isoTimestamp(date, time);
    if (local.isEmpty()) return {};
    const QDate day = QDate::fromString(QStringView(local).first(10), Qt::ISODate);
    const QTime clock = QTime::fromString(QStringView(local).sliced(11), Qt::ISODate);
    const QDateTime utc = QDateTime(day, clock, zone).toUTC();
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
