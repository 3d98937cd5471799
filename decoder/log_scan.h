// Log line intake: the whole text of the input box becomes the record table.
//
//   text --split at CR LF--> lines --lower-case, 4 tests--> accepted lines
//        --date, time, 29 channels--> RecordTable slots 1..count()
//
// The line's layout is in decoder/log_line.h; the window's text reaches the scan with its
// line breaks written as CR LF (decoder/line_rule.h).
#pragma once

#include <QList>
#include <QStringView>

#include "decoder/line_rule.h"
#include "decoder/log_line.h"
#include "decoder/received_frame.h"
#include "decoder/record_table.h"

namespace orvalin {

// What one scan found.
struct ScanResult {
    int stored = 0;   // accepted lines decoded into the table (= RecordTable::count())
    int leftOut = 0;  // further accepted lines that did not fit into the table's 1000 slots
};

// Lower-cases one UTF-16 code unit on its own; the length of a line never changes.
inline char16_t lowerUnit(char16_t unit) {
    if (unit < 0x80) return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit;
    return QChar(unit).toLower().unicode();
}

// Lower-cases, tests and decodes one line in one go; returns the verdict. `record` is
// written only for an accepted line.
LineVerdict readLogLine(QStringView line, TelemetryRecord& record);

// Whether one line (without its line break) is a log line.
bool isLogLine(QStringView line);

// The newest part of a text that grows at its end, as a followed log keeps it: it starts at
// `start`, the start of a line, and holds at most `logLines` log lines (with the other lines
// between them) and at most `length` characters, but always its last line when that line
// alone is longer. Lines end at the line rule's breaks (decoder/line_rule.h).
struct NewestLines {
    qsizetype start = 0;
    int linesBefore = 0;     // the lines before `start`
    int logLinesBefore = 0;  // the log lines among them
};
NewestLines newestLines(QStringView text, int logLines, qsizetype length);

// Rebuilds the table from a whole text: splits it at every "\r\n" (a lone CR or LF is an
// ordinary character), resets the count and appends one record per accepted line, the first
// 1000 of them; later accepted lines are counted in leftOut and not stored.
ScanResult scanLogText(QStringView text, RecordTable& table);

// The frames of the accepted lines of a text whose lines end at any break of the line rule (a
// paste, a log file, the lines a followed file brings), whether or not they would reach the
// record table: what sharing and the station archive take from an intake.
QList<ReceivedFrame> scanLogFrames(QStringView text);

}  // namespace orvalin
