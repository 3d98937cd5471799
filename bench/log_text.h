// Log text for the benchmarks: valid lines, one a second from 00:00:00, frame bytes that
// change from line to line, each line ending in CR LF.
#pragma once

#include <QString>

namespace orvalin::bench {

inline QString logLine(int second) {
    QString line = QStringLiteral("!06122026@%1%2%3;")
                       .arg(second / 3600 % 24, 2, 10, QLatin1Char('0'))
                       .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(second % 60, 2, 10, QLatin1Char('0'));
    for (int b = 0; b < 32; ++b)
        line += QStringLiteral("%1").arg((second * 7 + b * 13) & 0xff, 2, 16, QLatin1Char('0'));
    return line;
}

inline QString logText(int lines) {
    QString text;
    text.reserve(qsizetype(lines) * 83);
    for (int i = 0; i < lines; ++i) text += logLine(i) + QStringLiteral("\r\n");
    return text;
}

}  // namespace orvalin::bench
