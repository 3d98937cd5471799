#include "export/csv_export.h"

#include "files/atomic_file.h"
#include "decoder/csv_text.h"

namespace orvalin {

QByteArray csvFileBytes(const RecordTable& table, QChar decimalSeparator) {
    QByteArray bytes = csvHeaderLine();
    // About 12 bytes a field: one allocation for the usual table instead of many.
    bytes.reserve(bytes.size() + qsizetype(table.count()) * 29 * 12);
    for (int slot = 1; slot <= table.count(); ++slot) {
        appendCsvRecordLine(bytes, table.record(slot).Values, decimalSeparator);
    }
    return bytes;
}

CsvExportResult writeCsvFile(const QString& directory, const RecordTable& table,
                             QChar decimalSeparator) {
    CsvExportResult result;
    result.path = directory + u'/' + QLatin1String(CsvFileName);
    bool changed = false;
    result.ok = writeFileAtomically(result.path, csvFileBytes(table, decimalSeparator),
                                    result.error, &changed);
    result.previousKept = !changed;
    return result;
}

QString csvExportStatusText(const CsvExportResult& result) {
    if (result.ok) return result.path + QStringLiteral(" has been written");
    return result.path + QStringLiteral(" was not written: ") + result.error;
}

QString csvExportFailureText(const CsvExportResult& result) {
    return QStringLiteral("The CSV file was not written.\n\n%1\n\n%2\n\n%3")
        .arg(result.path, result.error,
             result.previousKept
                 ? QStringLiteral("A previous file of that name is unchanged.")
                 : QStringLiteral("Its folder takes no new file, so it was written in place, "
                                  "and it is incomplete now."));
}

}  // namespace orvalin
