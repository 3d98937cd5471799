// The station's conf.ini as the batch decoder reads it: the file named with --config, or the
// per-user one (<config home>/orvalin-decoder/conf.ini), which may be missing. --share takes
// its sharing keys from it; --format influx takes LOG_TIME_ZONE, the zone of the log's times.
#pragma once

#include <QString>
#include <QTimeZone>

#include "cli/command_line.h"
#include "files/failure.h"
#include "settings/station_settings.h"

namespace orvalin::cli {

struct StationConf {
    QString path;
    StationSettings settings;
};

// A path given on the command line as text, in the locale's encoding.
QString pathText(const std::string& bytes);

// The settings of the file; a --config FILE that is not a readable file is a failure.
Result<StationConf> readStationConf(const CommandLine& options);

// LOG_TIME_ZONE of the file (UTC when it has none), or the usage error that names a bad value:
// times taken in another zone than the station's would be wrong by hours.
Result<QTimeZone> logTimeZone(const CommandLine& options);

}  // namespace orvalin::cli
