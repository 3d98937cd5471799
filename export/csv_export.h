// The CSV export: all records of the table into pellam_telemetry.csv in a given directory
// (the application directory in the window). The file is written beside its final name and
// renamed over it only when complete, so a failed export leaves the previous file as it was
// and never reports success.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

#include "decoder/record_table.h"
#include "files/failure.h"

namespace orvalin {

inline constexpr char CsvFileName[] = "pellam_telemetry.csv";

struct CsvExportResult {
    QString path;      // the file's full path, also on failure
    Result<> written;  // or why not, and what became of a previous file (only one written
                       // in place, as its folder takes no new file, can be left cut)
};

// The file's bytes: the header of the 29 captions, then records 1 to count(), each line ending
// in ";" and CR LF; numbers with up to 15 significant digits and the given decimal separator.
QByteArray csvFileBytes(const RecordTable& table, QChar decimalSeparator);

// Writes directory + "/pellam_telemetry.csv" (directory without a trailing "/"), replacing any
// file of that name atomically (files/atomic_file.h). Reads the table only.
CsvExportResult writeCsvFile(const QString& directory, const RecordTable& table,
                             QChar decimalSeparator);

// Status line after an export: "<path> has been written", or "<path> was not written: <why>".
QString csvExportStatusText(const CsvExportResult& result);

// The message box after a failed export.
inline constexpr char CsvExportFailureTitle[] = "Write CSV File";
QString csvExportFailureText(const CsvExportResult& result);

}  // namespace orvalin
