#include "cli/station_conf.h"

#include <QFileInfo>

#include "settings/conf_ini.h"
#include "settings/file_locations.h"

namespace orvalin::cli {

QString pathText(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

Result<StationConf> readStationConf(const CommandLine& options) {
    const QString path = options.configPath.empty() ? userConfIniDir(currentUserFolders()) + u'/' +
                                                          QLatin1String(ConfIniFileName)
                                                    : pathText(options.configPath);
    const QFileInfo conf(path);
    if (!options.configPath.empty() && (!conf.isFile() || !conf.isReadable()))
        return Failure{.kind = FailureKind::Unreadable,
                       .text = QStringLiteral("--config: %1 is not a readable file").arg(path)};
    return StationConf{.path = path,
                       .settings = stationSettingsFrom(confIniEntries(readConfIniLines(path)))};
}

Result<QTimeZone> logTimeZone(const CommandLine& options) {
    const Result<StationConf> conf = readStationConf(options);
    if (!conf) return conf.failure();
    // Only a bad value of LOG_TIME_ZONE is named; the sharing keys are not needed here.
    if (const QString bad = badLogTimeZone(conf->settings); !bad.isEmpty())
        return Failure{.kind = FailureKind::Other,
                       .text = QStringLiteral("%1: %2 in %3")
                                   .arg(options.import ? QStringLiteral("--import")
                                                       : QStringLiteral("--format influx"),
                                        bad, conf->path)};
    return conf->settings.logTimeZone;
}

}  // namespace orvalin::cli
