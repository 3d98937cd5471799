#include "decoder/log_scan.h"

#include <utility>

#include "decoder/hex.h"

namespace orvalin {

namespace {

// All 29 channels, unrolled, each with its own formula.
template <ChannelIndex... C>
void decodeChannels(const char16_t* line, ChannelValues& values,
                    std::integer_sequence<ChannelIndex, C...>) {
    ((values[C] =
          channelValueOf<C>(hexPieceValue(line[linePieceOffset(C)], line[linePieceOffset(C) + 1]))),
     ...);
}

// Fills a record from a line that passed the tests: either a lower-cased line or a pure-ASCII
// line as typed. Both read alike: hex digits are read case-insensitively, and the date and
// time pieces are ASCII-lower-cased on the way (which changes nothing in a lowered line).
void fillRecord(const char16_t* line, TelemetryRecord& record) {
    record.DateText.assignField(line, DateField, asciiLower<char16_t>);
    record.TimeText.assignField(line, TimeField, asciiLower<char16_t>);
    decodeChannels(line, record.Values, std::make_integer_sequence<ChannelIndex, ChannelCount>{});
}

// Tests a line of log-line length as the lower-cased line would be tested, and returns the
// units to decode: the line itself when it is pure ASCII (the normal case: lower-casing ASCII
// changes no mark and no hex digit's value, and the date and time are lowered in fillRecord),
// or its per-unit lower-cased copy in `buffer`. nullptr when the line is rejected, with the
// reason in `verdict` when given.
const char16_t* acceptLine(QStringView line, char16_t (&buffer)[LogLineLength],
                           LineVerdict* verdict = nullptr) {
    const char16_t* units = reinterpret_cast<const char16_t*>(line.utf16());
    char16_t nonAscii = 0;
    for (int i = 0; i < LogLineLength; ++i) nonAscii |= units[i] & 0xff80;
    if (nonAscii != 0) {
        for (int i = 0; i < LogLineLength; ++i) buffer[i] = lowerUnit(units[i]);
        units = buffer;
    }
    const LineVerdict marks = checkLineMarks(units);
    if (verdict != nullptr) *verdict = marks;
    return marks == LineVerdict::Accepted ? units : nullptr;
}

}  // namespace

LineVerdict readLogLine(QStringView line, TelemetryRecord& record) {
    if (line.size() != LogLineLength) return LineVerdict::WrongLength;
    char16_t buffer[LogLineLength];
    LineVerdict verdict = LineVerdict::Accepted;
    const char16_t* units = acceptLine(line, buffer, &verdict);
    if (units != nullptr) fillRecord(units, record);
    return verdict;
}

bool isLogLine(QStringView line) {
    char16_t buffer[LogLineLength];
    return line.size() == LogLineLength && acceptLine(line, buffer) != nullptr;
}

NewestLines newestLines(QStringView text, int logLines, qsizetype length) {
    NewestLines newest;
    qsizetype keptStart = text.size();
    int kept = 0;
    bool keeping = true;
    forEachLineBackward(text, [&](QStringView line, qsizetype start) {
        const bool logLine = isLogLine(line);
        if (keeping) {
            const bool fits = text.size() - start <= length || keptStart == text.size();
            if (fits && (!logLine || kept < logLines)) {
                keptStart = start;
                kept += logLine ? 1 : 0;
            } else {
                keeping = false;
            }
        }
        // The empty line after a final break is no line of its own.
        if (!keeping && !(start == text.size() && line.isEmpty())) {
            ++newest.linesBefore;
            newest.logLinesBefore += logLine ? 1 : 0;
        }
    });
    newest.start = keptStart;
    return newest;
}

ScanResult scanLogText(QStringView text, RecordTable& table) {
    table.reset();
    ScanResult result;
    forEachCrLfLine(text, [&](QStringView line) {
        char16_t buffer[LogLineLength];
        // Every line of another length fails the length test; only 81-unit lines are looked at.
        const char16_t* units = line.size() == LogLineLength ? acceptLine(line, buffer) : nullptr;
        if (units == nullptr) return;
        if (TelemetryRecord* slot = table.append()) {
            fillRecord(units, *slot);
        } else {
            ++result.leftOut;  // the table is full: never written past slot 1000
        }
    });
    result.stored = table.count();
    return result;
}

QList<ReceivedFrame> scanLogFrames(QStringView text) {
    QList<ReceivedFrame> frames;
    forEachLine(text, [&](QStringView line, qsizetype) {
        // The frame is read from the line as written: the archive keeps the date and time as
        // logged.
        if (isLogLine(line)) frames.append(receivedFrameOf(line.utf16()));
    });
    return frames;
}

}  // namespace orvalin
