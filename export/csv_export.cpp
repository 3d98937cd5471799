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
    const QString path = directory + u'/' + QLatin1String(CsvFileName);
    return {.path = path,
            .written = writeFileAtomically(path, csvFileBytes(table, decimalSeparator))};
}

QString csvExportStatusText(const CsvExportResult& result) {
    if (result.written) return result.path + QStringLiteral(" has been written");
    return result.path + QStringLiteral(" was not written: ") + result.written.failure().text;
}

QString csvExportFailureText(const CsvExportResult& result) {
    const Failure& failure = result.written.failure();
    QString text =
        QStringLiteral("The CSV file was not written.\n\n%1\n\n%2").arg(result.path, failure.text);
    if (!failure.consequence.isEmpty()) text += QStringLiteral("\n\n") + failure.consequence;
    return text;
}

}  // namespace orvalin
