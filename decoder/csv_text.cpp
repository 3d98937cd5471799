#include "decoder/csv_text.h"

#include "decoder/number_text.h"

namespace orvalin {

QByteArray csvHeaderLine() {
    QByteArray line;
    for (const ChannelInfo& channel : ChannelCatalogue) {
        line.append(channel.caption.data(), static_cast<qsizetype>(channel.caption.size()));
        line.append(';');
    }
    line.append("\r\n");
    return line;
}

void appendCsvRecordLine(QByteArray& out, const ChannelValues& values, QChar decimalSeparator) {
    for (double value : values) {
        out.append(formatNumberText(value, decimalSeparator).toUtf8());
        out.append(';');
    }
    out.append("\r\n");
}

}  // namespace orvalin
