#include "settings/station_settings.h"

#include <QRegularExpression>
#include <cmath>
#include <optional>
#include <string_view>

namespace orvalin {

namespace {

std::optional<QUrl> shareUrlOf(const QString& value) {
    const QUrl url(value, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty())
        return std::nullopt;
    return url;
}

std::optional<int> noradIdOf(const QString& value) {
    bool ok = false;
    const int id = value.toInt(&ok, 10);
    if (!ok || id < 1 || id > 99999) return std::nullopt;
    return id;
}

// Decimal degrees with a decimal point, whatever the locale: "52.52", "-0.5", "+13.405".
std::optional<double> degreesOf(const QString& value, double limit) {
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)$)"));
    if (!number.match(value).hasMatch()) return std::nullopt;
    const double degrees = value.toDouble();
    if (!std::isfinite(degrees) || std::abs(degrees) > limit) return std::nullopt;
    return degrees;
}

// "UTC", an offset "+HH:MM" / "-HH:MM" up to 14 hours, or a zone name the system knows.
std::optional<QTimeZone> timeZoneOf(const QString& value) {
    if (value.compare(u"UTC", Qt::CaseInsensitive) == 0) return QTimeZone::utc();
    static const QRegularExpression offset(QStringLiteral(R"(^([+-])(\d\d):(\d\d)$)"));
    if (const auto match = offset.match(value); match.hasMatch()) {
        const int hours = match.captured(2).toInt();
        const int minutes = match.captured(3).toInt();
        if (hours > 14 || minutes > 59) return std::nullopt;
        const int seconds = (hours * 3600 + minutes * 60) * (match.captured(1) == u"-" ? -1 : 1);
        return QTimeZone(seconds);
    }
    if (value.isEmpty() || value.startsWith(u'+') || value.startsWith(u'-')) return std::nullopt;
    // A name is opened as a file below the system's zone database: one with a ".." part may
    // name any file, a named pipe among them, whose opening would wait for ever.
    if (value.split(u'/').contains(QStringLiteral(".."))) return std::nullopt;
    const QTimeZone zone(value.toUtf8());
    if (!zone.isValid()) return std::nullopt;
    return zone;
}

struct KeyRule {
    const char* key;
    const char* expected;  // what a good value is, for the message about a bad one
    bool needed;
};

constexpr KeyRule KeyRules[] = {
    {.key = "SHARE_URL", .expected = "an http or https address", .needed = true},
    {.key = "NORAD_ID", .expected = "a catalogue number from 1 to 99999", .needed = true},
    {.key = "CALLSIGN", .expected = "a call sign", .needed = true},
    {.key = "LATITUDE", .expected = "decimal degrees from -90 to 90", .needed = true},
    {.key = "LONGITUDE", .expected = "decimal degrees from -180 to 180", .needed = true},
    {.key = "LOG_TIME_ZONE",
     .expected = "UTC, an offset such as +02:00 or a zone name such as Europe/Berlin",
     .needed = false},
};

bool hasGoodValue(const StationSettings& s, QStringView key) {
    if (key == u"SHARE_URL") return !s.shareUrl.isEmpty();
    if (key == u"NORAD_ID") return s.noradId != 0;
    if (key == u"CALLSIGN") return !s.callsign.isEmpty();
    if (key == u"LATITUDE") return s.hasLatitude;
    if (key == u"LONGITUDE") return s.hasLongitude;
    return s.hasLogTimeZone;
}

}  // namespace

StationSettings stationSettingsFrom(const QList<ConfIniEntry>& entries) {
    StationSettings s;
    for (const auto& [key, value] : entries) {
        bool good = true;
        if (key == u"SHARE_URL") {
            const auto url = shareUrlOf(value);
            if ((good = url.has_value())) s.shareUrl = *url;
        } else if (key == u"NORAD_ID") {
            const auto id = noradIdOf(value);
            if ((good = id.has_value())) s.noradId = *id;
        } else if (key == u"CALLSIGN") {
            if ((good = !value.isEmpty())) s.callsign = value;
        } else if (key == u"LATITUDE") {
            const auto degrees = degreesOf(value, 90);
            if ((good = degrees.has_value())) s.latitude = *degrees, s.hasLatitude = true;
        } else if (key == u"LONGITUDE") {
            const auto degrees = degreesOf(value, 180);
            if ((good = degrees.has_value())) s.longitude = *degrees, s.hasLongitude = true;
        } else if (key == u"LOG_TIME_ZONE") {
            const auto zone = timeZoneOf(value);
            if ((good = zone.has_value())) s.logTimeZone = *zone, s.hasLogTimeZone = true;
        } else if (key == u"SHARE") {
            s.shareAtStart = value.toUpper() == u"YES";
        } else if (key == u"ARCHIVE") {
            s.keepFrames = value.toUpper() != u"NO";
        } else {
            continue;
        }
        if (good)
            s.badValues.remove(key);
        else
            s.badValues.insert(key, value);
    }
    return s;
}

namespace {

// The item of missingSettings() for one key; empty when the key is fine.
QString missingItem(const StationSettings& settings, const KeyRule& rule) {
    const QString key = QLatin1String(rule.key);
    const auto bad = settings.badValues.constFind(key);
    const bool hasGood = hasGoodValue(settings, key);
    if (bad != settings.badValues.cend() && !hasGood) {
        return QStringLiteral("%1 (%2 is not %3)")
            .arg(key, bad->isEmpty() ? QStringLiteral("an empty value") : *bad,
                 QLatin1String(rule.expected));
    }
    return rule.needed && !hasGood ? key : QString();
}

}  // namespace

QStringList missingSettings(const StationSettings& settings) {
    QStringList missing;
    // A bad LOG_TIME_ZONE stops sharing too: falling back to UTC would send wrong times.
    for (const KeyRule& rule : KeyRules) {
        if (const QString item = missingItem(settings, rule); !item.isEmpty()) missing << item;
    }
    return missing;
}

QString badLogTimeZone(const StationSettings& settings) {
    for (const KeyRule& rule : KeyRules) {
        if (std::string_view(rule.key) == "LOG_TIME_ZONE") return missingItem(settings, rule);
    }
    return {};
}

QString sharingNeedsText(const QStringList& missing) {
    return QStringLiteral("Sharing needs %1 in conf.ini.").arg(missing.join(QStringLiteral(", ")));
}

}  // namespace orvalin
