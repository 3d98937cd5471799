// How the batch decoder writes an accepted log line: the CSV of the window's export (with
// optional Timestamp, Date and Time columns first) or JSON Lines. The line reader
// (LogStreamDecoder) finds the accepted lines and hands each to one RecordFormat.
#pragma once

#include <QChar>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "cli/byte_output.h"
#include "decoder/record_table.h"

namespace orvalin::cli {

enum class OutputFormat { Csv, JsonLines };

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
};

// "Timestamp;" (ISO 8601 or empty) when `isoTime`, "Date;Time;" when `withTime`, then the 29
// values as the window's CSV export writes them.
std::unique_ptr<RecordFormat> makeCsvFormat(bool withTime, bool isoTime, QChar decimalSeparator);

}  // namespace orvalin::cli
