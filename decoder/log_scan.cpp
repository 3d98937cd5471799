#include "decoder/log_scan.h"

#include "decoder/hex.h"

namespace orvalin {

namespace {

// Positions counted from 0 of the marks and fields of a log line.
constexpr int ExclamationPos = 0;
constexpr int AtSignPos = 9;
constexpr int SemicolonPos = 16;

}  // namespace

LineVerdict checkLogLine(QStringView lowered) {
    if (lowered.size() != LogLineLength) return LineVerdict::WrongLength;
    if (lowered[ExclamationPos] != u'!') return LineVerdict::NoExclamationAt1;
    if (lowered[AtSignPos] != u'@') return LineVerdict::NoAtSignAt10;
    if (lowered[SemicolonPos] != u';') return LineVerdict::NoSemicolonAt17;
    return LineVerdict::Accepted;
}

void decodeLogLine(QStringView lowered, TelemetryRecord& record) {
    // "DD.MM.YYYY" from positions 2-9 and "HH:MM:SS" from positions 11-16 (counted from 1).
    const char16_t date[10] = {lowered[1].unicode(), lowered[2].unicode(), u'.',
                               lowered[3].unicode(), lowered[4].unicode(), u'.',
                               lowered[5].unicode(), lowered[6].unicode(), lowered[7].unicode(),
                               lowered[8].unicode()};
    const char16_t time[8] = {lowered[10].unicode(), lowered[11].unicode(), u':',
                              lowered[12].unicode(), lowered[13].unicode(), u':',
                              lowered[14].unicode(), lowered[15].unicode()};
    record.DateText.assign(QStringView(date, 10));
    record.TimeText.assign(QStringView(time, 8));
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const std::int32_t raw = HexToDec(lowered.mid(linePieceOffset(c), 2));
        record.Values[static_cast<std::size_t>(c)] = channelValue(c, raw);
    }
}

namespace {

// Lower-cases a line of log-line length into `out`; returns whether it passes the tests.
bool lowerAndCheck(QStringView line, char16_t (&out)[LogLineLength]) {
    for (int i = 0; i < LogLineLength; ++i) out[i] = lowerUnit(line[i].unicode());
    return checkLogLine(QStringView(out, LogLineLength)) == LineVerdict::Accepted;
}

}  // namespace

bool decodeIfLogLine(QStringView line, TelemetryRecord& record) {
    if (line.size() != LogLineLength) return false;
    char16_t lowered[LogLineLength];
    if (!lowerAndCheck(line, lowered)) return false;
    decodeLogLine(QStringView(lowered, LogLineLength), record);
    return true;
}

ScanResult scanLogText(QStringView text, RecordTable& table) {
    table.reset();
    ScanResult result;
    const qsizetype size = text.size();
    qsizetype start = 0;
    while (start < size) {
        // Find the next CR that is followed by LF; a lone CR stays part of the line.
        qsizetype end = start;
        for (;;) {
            end = text.indexOf(u'\r', end);
            if (end < 0 || (end + 1 < size && text[end + 1] == u'\n')) break;
            ++end;
        }
        const qsizetype lineEnd = end < 0 ? size : end;
        const QStringView line = text.mid(start, lineEnd - start);
        char16_t lowered[LogLineLength];
        // Every line of another length fails the length test; only 81-unit lines are lowered.
        if (line.size() == LogLineLength && lowerAndCheck(line, lowered)) {
            if (TelemetryRecord* slot = table.append()) {
                decodeLogLine(QStringView(lowered, LogLineLength), *slot);
            } else {
                ++result.leftOut;  // the table is full: never written past slot 1000
            }
        }
        if (end < 0) break;
        start = end + 2;
    }
    result.stored = table.count();
    return result;
}

}  // namespace orvalin
