// InfluxDB line protocol, for a station whose Telegraf, InfluxDB and Grafana chart the
// telemetry: one line per frame,
//
//   orvalin SP4\ Volts=0.105708,GS4\ Curr=8.5344,...,SU\ TH\ G0=82.66666666666667
//   1796560496000000000
//
// the measurement "orvalin", one float field per channel keyed by its caption (spaces, commas
// and equals signs escaped with a backslash, as the protocol asks of field keys), each value
// the shortest text that reads back to exactly the decoded double (the number text of JSON
// Lines), and the frame's UTC instant in nanoseconds since 1970.
//
// InfluxDB keeps one point per measurement, tag set and instant: a second point at the same
// instant overwrites the first. A log's times have whole seconds, so the frames of one UTC
// second are written 0, 1, 2 ... ns after it, in the order written; the count starts again
// whenever the second changes. A log line's instant is its date and time in the log's zone
// (LOG_TIME_ZONE, settings/log_time.h); a frame of the archive brings its own. A frame without
// one, or with one that InfluxDB cannot hold, is left out and counted (leftOut()).
//
// appendInfluxLine is the definition; the fast path for the raw bytes of a line copies the
// texts of a NumberFieldCache and is tested against it.
#pragma once

#include <QTimeZone>
#include <QtGlobal>
#include <memory>
#include <string>
#include <string_view>

#include "decoder/channels.h"
#include "export/record_format.h"

namespace orvalin {

inline constexpr std::string_view InfluxMeasurement = "orvalin";

// InfluxDB's instants are signed 64-bit counts of nanoseconds: the seconds from
// 1677-09-21T00:12:44Z to 2262-04-11T23:47:15Z, each with room for a billion frames.
inline constexpr qint64 FirstInfluxSecond = -9'223'372'036;
inline constexpr qint64 LastInfluxSecond = 9'223'372'035;

// A field key as the line protocol asks: ' ', ',' and '=' with a backslash before them.
std::string influxKeyText(std::string_view key);

// One record at `nanoseconds` after 1970-01-01T00:00:00Z as a line, LF at its end.
void appendInfluxLine(std::string& out, const ChannelValues& values, qint64 nanoseconds);

// Log lines' dates and times are in `logTimeZone`.
std::unique_ptr<RecordFormat> makeInfluxFormat(QTimeZone logTimeZone);

}  // namespace orvalin
