// The record formats of both programs: how a record is written as a line of a file of records,
// in the CSV of the window's export (with optional Timestamp, Date and Time columns first) or
// as JSON Lines. The batch decoder's line reader hands each accepted line to one RecordFormat.
#pragma once

#include <QChar>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "decoder/record_table.h"
#include "files/byte_output.h"

namespace orvalin {

enum class OutputFormat { Csv, JsonLines };

struct RecordFormatOptions {
    bool withTime = false;  // "Date" and "Time" columns first, as the window shows them (CSV)
    QChar decimalSeparator = u'.';  // CSV
    OutputFormat format = OutputFormat::Csv;
    bool isoTime = false;  // a "Timestamp" column first (CSV)
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
};

// "Timestamp;" (ISO 8601 or empty) when `isoTime`, "Date;Time;" when `withTime`, then the 29
// values as the window's CSV export writes them.
std::unique_ptr<RecordFormat> makeCsvFormat(bool withTime, bool isoTime, QChar decimalSeparator);

std::unique_ptr<RecordFormat> makeRecordFormat(const RecordFormatOptions& options);

}  // namespace orvalin
