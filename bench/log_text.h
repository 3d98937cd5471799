// Log text for the benchmarks: valid lines, one a second from 00:00:00, frame bytes that
// change from line to line; as text with CR LF ends, or as a log file of a million lines.
#pragma once

#include <QString>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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

// A log file of `lines` lines with LF ends, a frame a second from 00:00:00, frame bytes from a
// fixed pseudo-random sequence: all dated 06.12.2026, or, with `calendar`, from 01.12.2026 on,
// the date moving on at midnight. Its size in bytes; 0 when it cannot be written.
inline long long writeLogFile(const std::string& path, int lines, bool calendar) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 0;
    std::vector<char> buffer(std::size_t{1} << 20);
    std::setvbuf(out, buffer.data(), _IOFBF, buffer.size());
    std::uint32_t seed = 12345;
    char line[83];
    for (int i = 0; i < lines; ++i) {
        const int day = calendar ? 1 + i / 86400 : 6;
        const int second = i % 86400;
        std::snprintf(line, sizeof line, "!%02d122026@%02d%02d%02d;", day, second / 3600,
                      second / 60 % 60, second % 60);
        for (int b = 0; b < 32; ++b) {
            seed = seed * 1664525u + 1013904223u;
            std::snprintf(line + 17 + 2 * b, 3, "%02X", seed >> 24);
        }
        line[81] = '\n';
        std::fwrite(line, 1, 82, out);
    }
    const long long size = std::ftell(out);
    std::fclose(out);
    return size;
}

}  // namespace orvalin::bench
