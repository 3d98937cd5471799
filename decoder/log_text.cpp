#include "decoder/log_text.h"

#include <QStringDecoder>
#include <algorithm>

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

qsizetype utf8UnfinishedCharacter(QByteArrayView bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype from = std::max<qsizetype>(0, size - 3); from < size; ++from) {
        const unsigned char lead = data[from];
        // The length of the sequence the lead byte begins, and the range of the byte after
        // it (RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF).
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        }
        if (length == 0 || size - from >= length) continue;
        bool valid = true;
        for (qsizetype i = from + 1; i < size && valid; ++i) {
            valid = data[i] >= low && data[i] <= high;
            low = 0x80;
            high = 0xBF;
        }
        if (valid) return size - from;
    }
    return 0;
}

}  // namespace orvalin
