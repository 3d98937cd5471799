// Lines of the semicolon-separated CSV file, shared by the window's export and the batch
// decoder so that both write the same bytes: ";" after every field, CR LF after every line,
// 8-bit text without a byte-order mark (UTF-8 for a non-ASCII decimal separator). The window
// writes the 29 values of each record; the batch decoder may put the record's date and time
// in front, as the window shows them.
#pragma once

#include <QByteArray>
#include <QChar>

#include "decoder/channels.h"
#include "decoder/log_line.h"
#include "decoder/record_table.h"

namespace orvalin {

inline constexpr char CsvFieldEnd = ';';
inline constexpr char CsvLineEnd[] = "\r\n";
inline constexpr char CsvDateTimeHeader[] = "Date;Time;";
// "DD.MM.YYYY;HH:MM:SS;"
inline constexpr int CsvDateTimeBytes = DateField.textLength() + 1 + TimeField.textLength() + 1;

// The captions of the 29 channels, each followed by ";", then CR LF; "Date;Time;" first when
// asked for.
QByteArray csvHeaderLine(bool withDateTime = false);

// One value as number text (up to 15 significant digits, the given decimal separator), then ";".
void appendCsvField(QByteArray& out, double value, QChar decimalSeparator);

// The 29 values, each as a field, then CR LF.
void appendCsvRecordLine(QByteArray& out, const ChannelValues& values, QChar decimalSeparator);

// A record's line: its date and time first when asked for, then its 29 values.
void appendCsvRecordLine(QByteArray& out, const TelemetryRecord& record, QChar decimalSeparator,
                         bool withDateTime);

// The date and time fields, "DD.MM.YYYY;HH:MM:SS;", straight from an accepted pure-ASCII log
// line as its record would hold them (lower-cased). Writes CsvDateTimeBytes bytes at `out`
// and returns their end.
template <typename Unit>
constexpr char* writeCsvDateTime(const Unit* line, char* out) {
    const auto lower = [](Unit c) { return static_cast<char>(asciiLower(c)); };
    out = writeLineField(DateField, line, out, lower);
    *out++ = CsvFieldEnd;
    out = writeLineField(TimeField, line, out, lower);
    *out++ = CsvFieldEnd;
    return out;
}

}  // namespace orvalin
