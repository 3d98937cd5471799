#include "decoder/log_text.h"

#include <QStringDecoder>

namespace orvalin {

void appendWithCrLfBreaks(QString& out, QStringView text) {
    out.reserve(out.size() + text.size() + text.size() / 64 + 2);
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (!isLineBreak(unit)) continue;
        out.append(text.mid(start, i - start)).append(u"\r\n");
        if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    out.append(text.mid(start));
}

QString textOfUtf8(const char* bytes, qsizetype size) {
    // Without ConvertInitialBom the decoder would drop a leading mark, as QString::fromUtf8 does.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                       QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes, size));
}

}  // namespace orvalin
