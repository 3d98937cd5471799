#include "decoder/csv_text.h"

#include "decoder/number_text.h"

namespace orvalin {

QByteArray csvHeaderLine(bool withDateTime) {
    QByteArray line = withDateTime ? QByteArray(CsvDateTimeHeader) : QByteArray();
    for (const ChannelInfo& channel : ChannelCatalogue) {
        line.append(channel.caption.data(), static_cast<qsizetype>(channel.caption.size()));
        line.append(CsvFieldEnd);
    }
    line.append(CsvLineEnd);
    return line;
}

void appendCsvField(QByteArray& out, double value, QChar decimalSeparator) {
    out.append(formatNumberText(value, decimalSeparator).toUtf8());
    out.append(CsvFieldEnd);
}

void appendCsvRecordLine(QByteArray& out, const ChannelValues& values, QChar decimalSeparator) {
    for (double value : values) appendCsvField(out, value, decimalSeparator);
    out.append(CsvLineEnd);
}

void appendCsvRecordLine(QByteArray& out, const TelemetryRecord& record, QChar decimalSeparator,
                         bool withDateTime) {
    if (withDateTime) {
        out.append(record.DateText.view().toUtf8()).append(CsvFieldEnd);
        out.append(record.TimeText.view().toUtf8()).append(CsvFieldEnd);
    }
    appendCsvRecordLine(out, record.Values, decimalSeparator);
}

}  // namespace orvalin
