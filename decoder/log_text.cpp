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
        auto [length, low, high] = utf8Lead(data[from]);
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
