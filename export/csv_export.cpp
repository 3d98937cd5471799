#include "export/csv_export.h"

#include "decoder/csv_text.h"
#include "files/atomic_file.h"

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
    result.ok = writeFileAtomically(result.path, csvFileBytes(table, decimalSeparator),
                                    result.error, &result.previous);
    return result;
}

QString csvExportStatusText(const CsvExportResult& result) {
    if (result.ok) return result.path + QStringLiteral(" has been written");
    return result.path + QStringLiteral(" was not written: ") + result.error;
}

QString csvExportFailureText(const CsvExportResult& result) {
    QString text =
        QStringLiteral("The CSV file was not written.\n\n%1\n\n%2").arg(result.path, result.error);
    const QString previous = previousFileText(result.previous);
    if (!previous.isEmpty()) text += QStringLiteral("\n\n") + previous;
    return text;
}

}  // namespace orvalin
