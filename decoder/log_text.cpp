#include "decoder/log_text.h"

#include <QStringDecoder>

namespace orvalin {

void appendWithCrLfBreaks(QString& out, QStringView text) {
    out.reserve(out.size() + text.size() + text.size() / 64 + 2);
    bool first = true;
    forEachLine(text, [&](QStringView line, qsizetype) {
        if (!first) out.append(u"\r\n");
        first = false;
        out.append(line);
    });
}

QString textOfUtf8(const char* bytes, qsizetype size) {
    // Without ConvertInitialBom the decoder would drop a leading mark, as QString::fromUtf8 does.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                       QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes, size));
}

qsizetype utf8LineLength(QByteArrayView bytes) {
    return textOfUtf8(bytes.data(), bytes.size()).size();
}

}  // namespace orvalin
