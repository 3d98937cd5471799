// The text box's line breaks are the line rule of decoder/log_text.h, which the batch
// decoder follows too: a pasted text gives the window the records that the scan of the same
// text, with its breaks written as CR LF, gives.
#include "decoder/log_scan.h"
#include "decoder/log_text.h"
#include "main_window_harness.h"

namespace orvalin::test {
namespace {

using LineBreakTest = MainWindowTest;

TEST_F(LineBreakTest, PastedTextGivesTheRecordsOfTheLineRule) {
    const QString a = logLine(1, 0x11);
    const QString b = logLine(2, 0x22);
    const QString bom(QChar(0xFEFF));
    const struct {
        const char* name;
        QString text;
        QStringList times;  // of the records, in order
    } cases[] = {
        {"LoneCrs", a + u'\r' + b + u'\r', {timeText(1), timeText(2)}},
        {"CrBeforeCrLf", a + QStringLiteral("\r\r\n") + b, {timeText(1), timeText(2)}},
        {"LfCr", a + QStringLiteral("\n\r") + b, {timeText(1), timeText(2)}},
        {"LineAndParagraphSeparators",
         a + u'\u2028' + b + u'\u2029' + a,
         {timeText(1), timeText(2), timeText(1)}},
        {"FrameMarks", a + u'\uFDD0' + b + u'\uFDD1', {timeText(1), timeText(2)}},
        {"OtherControlsStayInTheLine", a + u'\v' + b + u'\n' + a + u'\u0085', {}},
        {"ByteOrderMarkMakes82Characters", bom + a + QStringLiteral("\r\n") + b, {timeText(2)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        paste(c.text);
        QString scanned;
        appendWithCrLfBreaks(scanned, c.text);
        RecordTable rule;
        scanLogText(scanned, rule);
        ASSERT_EQ(form().records().count(), c.times.size());
        ASSERT_EQ(rule.count(), c.times.size());
        for (int r = 1; r <= rule.count(); ++r) {
            EXPECT_EQ(form().records().record(r).TimeText.toString(), c.times[r - 1]);
            EXPECT_EQ(rule.record(r).TimeText.toString(), c.times[r - 1]);
        }
    }
}

}  // namespace
}  // namespace orvalin::test
