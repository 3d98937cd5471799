// Helpers of the batch decoder tests: the window's own CSV bytes for a text, and the
// stream decoder run over bytes in chunks of any size.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <string>

#include "cli/log_stream.h"
#include "decoder/csv_text.h"
#include "decoder/log_scan.h"
#include "decoder/log_text.h"
#include "decoder/record_table.h"
#include "decoder/test_lines.h"
#include "files/byte_output.h"

namespace orvalin::cli::test {

// Frame byte k holds the value k.
inline const QByteArray WorkedLine = orvalin::test::WorkedLine.toLatin1();

// What the window writes for the bytes of a log pasted into it: the text (a byte-order mark
// kept) goes into the text box, whose line breaks reach scanLogText as CR LF; the scan runs
// in groups of lines, so that any number of records fits the table, and the records are
// written by appendCsvRecordLine, --time putting the record's date and time first.
inline QByteArray windowCsv(const QByteArray& bytes, QChar separator = u'.',
                            bool withTime = false) {
    QByteArray csv = csvHeaderLine(withTime);
    QString text;
    appendWithCrLfBreaks(text, textOfUtf8(bytes.constData(), bytes.size()));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    RecordTable table;
    for (qsizetype first = 0; first < lines.size(); first += 500) {
        scanLogText(lines.mid(first, 500).join(QStringLiteral("\r\n")), table);
        for (int slot = 1; slot <= table.count(); ++slot)
            appendCsvRecordLine(csv, table.record(slot), separator, withTime);
    }
    return csv;
}

struct StreamOutput {
    std::string csv;
    std::string report;
    LineCounts counts;
};

// Runs the stream decoder over `bytes` as one source named "log", fed `chunk` bytes at a time.
inline StreamOutput decodeStream(const QByteArray& bytes, const RecordFormatOptions& settings = {},
                                 std::size_t chunk = 1 << 20) {
    StringSink csvSink;
    StringSink reportSink;
    StreamOutput result;
    {
        BufferedWriter csv(csvSink, 4096);
        BufferedWriter report(reportSink, 4096);
        LogStreamDecoder decoder(settings, csv, &report);
        decoder.writeHeader();
        decoder.beginSource("log");
        for (qsizetype at = 0; at < bytes.size(); at += static_cast<qsizetype>(chunk)) {
            const auto size = std::min<qsizetype>(static_cast<qsizetype>(chunk), bytes.size() - at);
            decoder.feed(bytes.constData() + at, static_cast<std::size_t>(size));
        }
        decoder.endSource();
        csv.flush();
        report.flush();
        result.counts = decoder.counts();
    }
    result.csv = std::move(csvSink.bytes);
    result.report = std::move(reportSink.bytes);
    return result;
}

inline std::string toStd(const QByteArray& bytes) {
    return bytes.toStdString();
}

}  // namespace orvalin::cli::test
