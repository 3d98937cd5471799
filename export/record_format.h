// The record formats of both programs: how a record is written as a line of a file of records,
// in the CSV of the window's export (with optional Timestamp, Date and Time columns first), as
// JSON Lines or as InfluxDB lines. A format takes an accepted log line (by the batch decoder's
// fast path for ASCII lines, or as the window's record) or a frame read back from the station
// archive, and writes the frame exactly as it writes the log line that carried it.
#pragma once

#include <QChar>
#include <QTimeZone>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "decoder/received_frame.h"
#include "decoder/record_table.h"
#include "files/byte_output.h"

namespace orvalin {

enum class OutputFormat { Csv, JsonLines, Influx };

struct RecordFormatOptions {
    bool withTime = false;  // "Date" and "Time" columns first, as the window shows them (CSV)
    QChar decimalSeparator = u'.';  // CSV
    OutputFormat format = OutputFormat::Csv;
    bool isoTime = false;  // a "Timestamp" column first (CSV)
    // The zone of the dates and times in log lines (LOG_TIME_ZONE): InfluxDB lines carry UTC.
    QTimeZone logTimeZone = QTimeZone::utc();
};

// What a format could not write: the frames it left out, by reason. Only InfluxDB lines leave
// any out.
struct FramesLeftOut {
    std::uint64_t withoutUtcTime = 0;    // no UTC instant: not a real date and time, or one the
                                         // zone skips
    std::uint64_t outsideTimeRange = 0;  // an instant that InfluxDB cannot hold

    bool operator==(const FramesLeftOut&) const = default;
};

class RecordFormat {
public:
    virtual ~RecordFormat() = default;
    virtual void writeHeader(BufferedWriter& out) = 0;
    // An accepted line of 81 ASCII bytes as written (not lower-cased), with the raw values of
    // its 29 channel pieces.
    virtual void writeAsciiRecord(BufferedWriter& out, const unsigned char* line,
                                  const std::uint8_t* raws) = 0;
    // A record that the window's readLogLine filled (lines with other characters).
    virtual void writeRecord(BufferedWriter& out, const TelemetryRecord& record) = 0;
    // A frame of the station archive: its date and time as logged (any case), its 32 bytes
    // and its UTC instant in seconds since 1970, when it has one. Written as the log line that
    // carried it; the formats that carry the time as logged do not look at the instant.
    virtual void writeFrame(BufferedWriter& out, const ReceivedFrame& frame,
                            std::optional<qint64> utcSeconds);
    // What was left out so far.
    virtual FramesLeftOut leftOut() const { return {}; }
};

// The format the options name; the options of other formats are not looked at. CSV writes
// "Timestamp;" (ISO 8601 or empty) when `isoTime`, "Date;Time;" when `withTime`, then the 29
// values as the window's CSV export writes them.
std::unique_ptr<RecordFormat> makeRecordFormat(const RecordFormatOptions& options);

}  // namespace orvalin
