// Whatever the clipboard holds goes into the real window: megabytes of log, a line of
// megabytes, and characters that text handling trips over (NUL, lone surrogates, right-to-left
// marks, combining marks). The window decodes exactly the log lines in it, shows them, keeps
// the pasted text as it was, and takes the next keystroke.
#include <QTextDocument>
#include <algorithm>

#include "decoder/log_scan.h"
#include "decoder/number_text.h"
#include "main_window_harness.h"

namespace orvalin::test {
namespace {

// The text box keeps line breaks as its own; its plain text has LF alone.
QString asShown(QString pasted) {
    return pasted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// "DD.MM.YYYY HH:MM:SS" of a log line as the window shows it (lower-cased, unchecked).
QString dateTimeOf(const QString& line) {
    TelemetryRecord record;
    if (!decodeIfLogLine(line, record)) return QStringLiteral("<not a log line>");
    return record.DateText.toString() + u' ' + record.TimeText.toString();
}

// The 29 value boxes' texts for a log line.
QStringList valueTextsOf(const QString& line) {
    TelemetryRecord record;
    decodeIfLogLine(line, record);
    QStringList texts;
    for (double value : record.Values) texts << formatOneDecimal(value, u'.');
    return texts;
}

class HostilePaste : public Form1Test {
protected:
    // Ctrl+Home, then Delete: the first character of the text goes, and with it the first
    // log line; typing it back restores the text.
    void deleteFirstCharacter() {
        key(Qt::Key_Home, Qt::ControlModifier);
        key(Qt::Key_Delete);
    }
    // A new last line, pasted but for its last character, which is typed.
    void appendLineByTyping(const QString& line) {
        key(Qt::Key_End, Qt::ControlModifier);
        key(Qt::Key_Return);
        paste(line.left(line.size() - 1), /*replaceAll=*/false);
        typeText(line.right(1));
    }
};

struct LargePasteCase {
    const char* name;
    QString (*text)();
    int records;
    QString firstDateTime;  // Label4 after the paste
    QString notice;         // the status line after the paste
    int recordsWithoutFirstLine;
    QString noticeWithoutFirstLine;
};

void PrintTo(const LargePasteCase& c, std::ostream* os) {
    *os << c.name;
}

QString oneThousandAndOneLines() {
    return logText(1001);
}
QString oneHundredThousandLines() {  // 8.3 MB
    return logText(100000);
}
// A log line, then one line of 10 MiB of hex digits without a break: far too long for a log
// line, and longer than anything the box can show without laying out all of it.
QString logLineThenTenMiBLine() {
    QString text = WorkedExampleLine + QStringLiteral("\r\n");
    const qsizetype end = text.size() + 10 * 1024 * 1024;
    text.reserve(end + 64);
    while (text.size() < end) text += WorkedExampleLine.mid(17);
    text.truncate(end);
    return text;
}

QString leftOutNotice(int leftOut) {
    return QStringLiteral("Only the first 1000 log lines are decoded; %1 more %2 left out.")
        .arg(leftOut)
        .arg(QLatin1String(leftOut == 1 ? "was" : "were"));
}

class LargePaste : public HostilePaste, public ::testing::WithParamInterface<LargePasteCase> {};

TEST_P(LargePaste, DecodesWhatFitsAndTakesTheNextKeystroke) {
    const LargePasteCase& c = GetParam();
    const QString text = c.text();
    paste(text);
    const auto expectPastedState = [&] {
        EXPECT_EQ(form().records().count(), c.records);
        EXPECT_EQ(label("Label4")->text(), c.firstDateTime);
        EXPECT_EQ(form().statusLabel()->text(), c.notice);
        EXPECT_EQ(form().chart().rowCount(), std::max(c.records, 1));
        EXPECT_TRUE(text2()->toPlainText() == asShown(text)) << "the box changed the text";
    };
    expectPastedState();

    deleteFirstCharacter();
    EXPECT_EQ(form().records().count(), c.recordsWithoutFirstLine);
    EXPECT_EQ(form().statusLabel()->text(), c.noticeWithoutFirstLine);
    if (c.recordsWithoutFirstLine > 0) {
        EXPECT_EQ(label("Label4")->text(), QStringLiteral("06.12.2026 00:00:01"));
    } else {
        EXPECT_EQ(label("Label4")->text(), QStringLiteral(" "));
    }

    typeText(QStringLiteral("!"));
    expectPastedState();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LargePaste,
    ::testing::Values(LargePasteCase{"OneThousandAndOneLines", oneThousandAndOneLines, 1000,
                                     "06.12.2026 00:00:00", leftOutNotice(1), 1000, ""},
                      LargePasteCase{"OneHundredThousandLines", oneHundredThousandLines, 1000,
                                     "06.12.2026 00:00:00", leftOutNotice(99000), 1000,
                                     leftOutNotice(98999)},
                      LargePasteCase{"LogLineThenTenMiBLine", logLineThenTenMiBLine, 1,
                                     "06.12.2026 12:34:56", "", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A valid log line with one code unit replaced.
QString withUnit(QString line, int index, char16_t unit) {
    line[index] = QChar(unit);
    return line;
}

struct AwkwardCase {
    const char* name;
    QString text;
    int records;
    QString shownLine;  // the log line whose values and date the window shows first
};

void PrintTo(const AwkwardCase& c, std::ostream* os) {
    *os << c.name;
}

const QString L1 = logLine(1, 0x11);
const QString L2 = logLine(2, 0x22);
const QString CrLf = QStringLiteral("\r\n");
const QString Rlm = QString(QChar(0x200F));
const QString Hebrew = QStringLiteral("\u05E9\u05DC\u05D5\u05DD");
const QString Arabic = QStringLiteral("\u0645\u0631\u062D\u0628\u0627");

// clang-format off
const AwkwardCase AwkwardCases[] = {
    {"NulLinesBetweenLogLines", L1 + CrLf + QString(100, QChar(0)) + CrLf + L2, 2, L1},
    {"NulInTheDate", withUnit(WorkedExampleLine, 3, 0), 1, withUnit(WorkedExampleLine, 3, 0)},
    // The frame piece of channel 6 reads as no number: -273 in a temperature channel.
    {"NulInAFramePiece", withUnit(WorkedExampleLine, linePieceOffset(6), 0), 1,
     withUnit(WorkedExampleLine, linePieceOffset(6), 0)},
    {"LoneHighSurrogateInTheDate", withUnit(WorkedExampleLine, 1, 0xD800), 1,
     withUnit(WorkedExampleLine, 1, 0xD800)},
    {"LoneLowSurrogateEndsTheFrame", withUnit(WorkedExampleLine, 80, 0xDC00), 1,
     withUnit(WorkedExampleLine, 80, 0xDC00)},
    {"LinesOfLoneSurrogatesBetweenLogLines",
     L1 + CrLf + QString(81, QChar(0xD800)) + CrLf + QString(81, QChar(0xDFFF)) + CrLf + L2, 2, L1},
    {"SurrogatePairForTwoDateDigits",
     withUnit(withUnit(WorkedExampleLine, 7, 0xD83D), 8, 0xDCE1), 1,
     withUnit(withUnit(WorkedExampleLine, 7, 0xD83D), 8, 0xDCE1)},
    // One more code unit than a log line has.
    {"RightToLeftMarkBeforeALogLine", Rlm + L1 + CrLf + L2, 1, L2},
    {"RightToLeftMarkInTheTime", withUnit(L1, 12, 0x200F), 1, withUnit(L1, 12, 0x200F)},
    {"RightToLeftCommentsBetweenLogLines",
     Rlm + Hebrew + u' ' + Arabic + CrLf + L1 + CrLf + Arabic.repeated(20) + CrLf + L2, 2, L1},
    {"CombiningMarkAfterTheExclamationMark", L1.left(1) + QChar(0x0301) + L1.mid(1) + CrLf + L2,
     1, L2},
    {"CombiningMarkForADateDigit", withUnit(L1, 2, 0x0301), 1, withUnit(L1, 2, 0x0301)},
    {"LineOfStackedCombiningMarksBetweenLogLines",
     L1 + CrLf + u'e' + QString(500, QChar(0x0301)) + CrLf + L2, 2, L1},
    {"ByteOrderMarkBeforeTheFirstLine", QChar(0xFEFF) + L1 + CrLf + L2, 1, L2},
    {"UnicodeLineAndParagraphSeparators",
     L1 + QChar(QChar::LineSeparator) + L2 + QChar(QChar::ParagraphSeparator) + L1, 3, L1},
};
// clang-format on

class AwkwardCharacters : public HostilePaste, public ::testing::WithParamInterface<AwkwardCase> {};

TEST_P(AwkwardCharacters, DecodeAsWrittenAndLeaveTheWindowWorking) {
    const AwkwardCase& c = GetParam();
    paste(c.text);
    ASSERT_EQ(form().records().count(), c.records);
    EXPECT_EQ(label("Label4")->text(), dateTimeOf(c.shownLine));
    EXPECT_EQ(valueTexts(), valueTextsOf(c.shownLine));
    EXPECT_EQ(form().chart().rowCount(), c.records);

    const QString next = logLine(3600, 0x7f);
    appendLineByTyping(next);
    ASSERT_EQ(form().records().count(), c.records + 1);
    EXPECT_EQ(form().records().record(c.records + 1).TimeText.toString(), timeText(3600));
    hScroll1()->setValue(c.records + 1);
    settle();
    EXPECT_EQ(label("Label4")->text(), QStringLiteral("06.12.2026 01:00:00"));
}

INSTANTIATE_TEST_SUITE_P(Texts, AwkwardCharacters, ::testing::ValuesIn(AwkwardCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalin::test
