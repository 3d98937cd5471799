// Whatever the clipboard holds goes into the real window: megabytes of log, a line of
// megabytes, and characters that text handling trips over (NUL, lone surrogates, right-to-left
// marks, combining marks). The window decodes exactly the log lines in it, shows them, keeps
// the pasted text as it was, and takes the next keystroke.
#include <QTextDocument>
#include <algorithm>

#include "decoder/log_scan.h"
#include "decoder/number_text.h"
#include "main_window_harness.h"
#include "shell/input_box.h"

namespace orvalin::test {
namespace {

// The text box keeps line breaks as its own; its plain text has LF alone.
QString asShown(QString pasted) {
    return pasted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// "DD.MM.YYYY HH:MM:SS" of a log line as the window shows it (lower-cased, unchecked).
QString dateTimeOf(const QString& line) {
    TelemetryRecord record;
    if (readLogLine(line, record) != LineVerdict::Accepted)
        return QStringLiteral("<not a log line>");
    return record.DateText.toString() + u' ' + record.TimeText.toString();
}

// The 29 value boxes' texts for a log line.
QStringList valueTextsOf(const QString& line) {
    TelemetryRecord record;
    readLogLine(line, record);
    QStringList texts;
    for (double value : record.Values) texts << formatOneDecimal(value, u'.');
    return texts;
}

class HostilePaste : public MainWindowTest {
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
    QString firstDateTime;  // the date/time label after the paste
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
// `length` hex digits without a break.
QString hexRun(qsizetype length) {
    return QStringLiteral("0123456789abcdef").repeated(length / 16 + 1).left(length);
}

// A log line, then the longest line the box takes: far too long for a log line, and costly
// for the box to lay out at every keystroke.
QString logLineThenLongestLine() {
    return WorkedExampleLine + QStringLiteral("\r\n") + hexRun(InputLineLimit);
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
        EXPECT_EQ(form().statusLine()->text(), c.notice);
        EXPECT_EQ(form().chart().rowCount(), std::max(c.records, 1));
        EXPECT_TRUE(logInput()->toPlainText() == asShown(text)) << "the box changed the text";
    };
    expectPastedState();

    deleteFirstCharacter();
    EXPECT_EQ(form().records().count(), c.recordsWithoutFirstLine);
    EXPECT_EQ(form().statusLine()->text(), c.noticeWithoutFirstLine);
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
                      LargePasteCase{"LogLineThenLongestLine", logLineThenLongestLine, 1,
                                     "06.12.2026 12:34:56", "", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A paste that would make a line longer than the box takes is refused with a message that
// names the batch decoder, and the text stays as it was; the pasted text counts together with
// the rest of the line it joins.
TEST_F(HostilePaste, OverlongLineIsRefusedAndTheTextStays) {
    enum class At { Start, End, All };
    const QString almostFull = hexRun(InputLineLimit - 40);
    const QString crLf = QStringLiteral("\r\n");
    const struct {
        const char* name;
        QString text;  // before the paste
        At at;         // where the paste goes
        QString pasted;
        int records;  // -1: refused, the text stays
    } cases[] = {
        {"longest line", "", At::All, hexRun(InputLineLimit), 0},
        {"one more", "", At::All, hexRun(InputLineLimit + 1), -1},
        {"log line, then 10 MiB", WorkedExampleLine, At::All,
         WorkedExampleLine + crLf + hexRun(10 * 1024 * 1024), -1},
        {"joins the line before the cursor", almostFull, At::End, WorkedExampleLine, -1},
        {"joins the line after the cursor", almostFull, At::Start, WorkedExampleLine, -1},
        {"starts a line of its own", almostFull, At::End, crLf + WorkedExampleLine, 1},
        {"ends its line", almostFull, At::Start, WorkedExampleLine + u'\r', 1},
        {"replaces the long line", almostFull + crLf + WorkedExampleLine, At::All,
         hexRun(InputLineLimit) + QChar(QChar::LineSeparator) + WorkedExampleLine, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setText(c.text);
        messages_.clear();
        const QString before = logInput()->toPlainText();
        const int records = form().records().count();
        if (c.at != At::All) {
            key(c.at == At::Start ? Qt::Key_Home : Qt::Key_End, Qt::ControlModifier);
        }
        paste(c.pasted, c.at == At::All);
        if (c.records >= 0) {
            EXPECT_TRUE(messages_.empty());
            EXPECT_GT(logInput()->toPlainText().size(), c.at == At::All ? 0 : before.size());
            EXPECT_EQ(form().records().count(), c.records);
        } else {
            ASSERT_EQ(messages_.size(), 1U);
            EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
            EXPECT_TRUE(messages_[0].text.contains("orvalin-decode"))
                << messages_[0].text.toStdString();
            EXPECT_TRUE(logInput()->toPlainText() == before);
            EXPECT_EQ(form().records().count(), records);
        }
        typeText(QStringLiteral("x"));
        EXPECT_TRUE(logInput()->toPlainText().contains(u'x'));
    }
}

// Lines longer than a bound leave with the break that ends them.
TEST(LongestLine, EveryLineBreakOfTheBoxEndsALine) {
    const struct {
        QString text;
        qsizetype longest;
        QString upToThree;  // the lines of up to 3 characters
    } cases[] = {
        {"", 0, ""},
        {"abc", 3, "abc"},
        {"ab\ncde", 3, "ab\ncde"},
        {"abcd\r\nef", 4, "ef"},
        {"ab\rcde\r", 3, "ab\rcde\r"},
        {QStringLiteral("abc\u2028de"), 3, QStringLiteral("abc\u2028de")},
        {QStringLiteral("ab\u2029cdef\u2029g"), 4, QStringLiteral("ab\u2029g")},
        {"\n\nabcde\n", 5, "\n\n"},
        {"ab\nabcd", 4, "ab\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(longestLineLength(c.text), c.longest) << c.text.toStdString();
        QString kept = c.text;
        EXPECT_EQ(removeLinesLongerThan(kept, 3), c.text == c.upToThree ? 0 : 1);
        EXPECT_EQ(kept, c.upToThree) << c.text.toStdString();
    }
}

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
    recordNavigator()->setValue(c.records + 1);
    settle();
    EXPECT_EQ(label("Label4")->text(), QStringLiteral("06.12.2026 01:00:00"));
}

INSTANTIATE_TEST_SUITE_P(Texts, AwkwardCharacters, ::testing::ValuesIn(AwkwardCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalin::test
