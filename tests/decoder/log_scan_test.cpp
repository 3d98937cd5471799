#include <gtest/gtest.h>

#include <QStringList>

#include "decoder/decoder.h"
#include "test_lines.h"

namespace orvalin {
namespace {

using test::WorkedLine;

QString repeatLines(int count, const QString& separator = QStringLiteral("\r\n")) {
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        QString line = WorkedLine;
        // Seconds and minutes carry the line number so records can be told apart.
        line.replace(10, 6, QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')));
        lines << line;
    }
    return lines.join(separator);
}

QString withChar(QString line, int position1, QChar c) {
    line[position1 - 1] = c;
    return line;
}

struct AcceptCase {
    const char* name;
    QString text;
    int count;
};

class LineAcceptance : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(LineAcceptance, CountsAcceptedLines) {
    RecordTable table;
    const ScanResult result = scanLogText(GetParam().text, table);
    EXPECT_EQ(result.stored, GetParam().count);
    EXPECT_EQ(table.count(), GetParam().count);
    EXPECT_EQ(result.leftOut, 0);
}

const QString Crlf = QStringLiteral("\r\n");

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Shapes, LineAcceptance,
    ::testing::Values(
        AcceptCase{"Exact81", WorkedLine, 1},
        AcceptCase{"Length80", WorkedLine.left(80), 0},
        AcceptCase{"Length82Trailing", WorkedLine + u' ', 0},
        AcceptCase{"Length82Leading", u' ' + WorkedLine, 0},
        AcceptCase{"NoExclamation", withChar(WorkedLine, 1, u'?'), 0},
        AcceptCase{"NoAtSign", withChar(WorkedLine, 10, u'a'), 0},
        AcceptCase{"NoSemicolon", withChar(WorkedLine, 17, u'0'), 0},
        AcceptCase{"SemicolonMovedTo18", withChar(withChar(WorkedLine, 17, u'0'), 18, u';'), 0},
        AcceptCase{"LettersInDate", withChar(withChar(WorkedLine, 2, u'X'), 9, u'q'), 1},
        AcceptCase{"UpperCaseHex", WorkedLine.toUpper(), 1},
        AcceptCase{"DottedCapitalIKeepsTheLength", withChar(WorkedLine, 2, QChar(0x130)), 1},
        AcceptCase{"DottedCapitalIIn80UnitLine", WorkedLine.left(79) + QChar(0x130), 0}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Splitting, LineAcceptance,
    ::testing::Values(
        AcceptCase{"EmptyText", QString(), 0},
        AcceptCase{"OnlyCrlf", Crlf, 0},
        AcceptCase{"NoCrlf", WorkedLine, 1},
        AcceptCase{"TrailingCrlf", WorkedLine + Crlf, 1},
        AcceptCase{"DoubleCrlfBetween", WorkedLine + Crlf + Crlf + WorkedLine, 2},
        AcceptCase{"LfAlone", repeatLines(3, QStringLiteral("\n")), 0},
        AcceptCase{"CrAlone", repeatLines(3, QStringLiteral("\r")), 0},
        AcceptCase{"LfCrIsNotALineBreak", repeatLines(2, QStringLiteral("\n\r")), 0},
        AcceptCase{"CrBeforeCrlf", WorkedLine + u'\r' + Crlf + WorkedLine, 1},
        AcceptCase{"OtherProgramsLinesBetween",
                   QStringLiteral("# log start") + Crlf + WorkedLine + Crlf + QStringLiteral("noise") + Crlf +
                       WorkedLine + Crlf + Crlf + WorkedLine,
                   3},
        AcceptCase{"TextEndingInLoneCr", WorkedLine + u'\r', 0}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(LogScan, UpperAndLowerCaseHexGiveTheSameRecord) {
    RecordTable lower, upper;
    scanLogText(WorkedLine, lower);
    scanLogText(WorkedLine.toUpper(), upper);
    EXPECT_EQ(lower.record(1).Values, upper.record(1).Values);
    EXPECT_EQ(upper.record(1).DateText.toString(), QStringLiteral("06.12.2026"));
}

TEST(LogScan, DateAndTimeAreTakenLowerCasedAndUnchecked) {
    QString line = WorkedLine;
    line.replace(1, 8, QStringLiteral("AB CD999"));
    line.replace(10, 6, QStringLiteral("2X:5z9"));
    RecordTable table;
    scanLogText(line, table);
    ASSERT_EQ(table.count(), 1);
    EXPECT_EQ(table.record(1).DateText.toString(), QStringLiteral("ab. c.d999"));
    EXPECT_EQ(table.record(1).TimeText.toString(), QStringLiteral("2x::5:z9"));
}

TEST(LogScan, RecordsAreNumberedWithoutGapsInTextOrder) {
    const QString text =
        QStringLiteral("junk\r\n") +
        repeatLines(5).replace(QStringLiteral("\r\n"), QStringLiteral("\r\nrubbish\r\n"));
    RecordTable table;
    scanLogText(text, table);
    ASSERT_EQ(table.count(), 5);
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(table.record(n).TimeText.toString(),
                  QStringLiteral("00:00:%1").arg(n - 1, 2, 10, QLatin1Char('0')));
}

TEST(RecordTable, ShorterTextAfterLongerKeepsOldSlotsUnreachable) {
    RecordTable table;
    scanLogText(repeatLines(5), table);
    const auto fifth = table.record(5).TimeText.toString();
    scanLogText(repeatLines(3), table);
    EXPECT_EQ(table.count(), 3);
    EXPECT_EQ(table.record(5).TimeText.toString(), fifth);  // not cleared, only out of count
    scanLogText(repeatLines(3), table);
    EXPECT_EQ(table.count(), 3);
}

TEST(RecordTable, SlotZeroStaysFresh) {
    RecordTable table;
    scanLogText(repeatLines(20), table);
    const TelemetryRecord& blank = table.record(0);
    EXPECT_TRUE(blank.DateText.isEmpty());
    EXPECT_TRUE(blank.TimeText.isEmpty());
    for (double v : blank.Values) EXPECT_EQ(v, 0.0);
}

TEST(RecordTable, ResetOnlyClearsTheCount) {
    RecordTable table;
    scanLogText(WorkedLine, table);
    table.reset();
    EXPECT_EQ(table.count(), 0);
    EXPECT_EQ(table.record(1).DateText.toString(), QStringLiteral("06.12.2026"));
}

TEST(RecordTable, OutOfRangeSlotsReadTheBlankRecord) {
    RecordTable table;
    scanLogText(repeatLines(1000), table);
    for (int slot : {-1, 1001, 32767, -32768})
        EXPECT_TRUE(table.record(slot).TimeText.isEmpty()) << slot;
    EXPECT_FALSE(table.record(1000).TimeText.isEmpty());
}

struct CapacityCase {
    int lines;
    int stored;
    int leftOut;
};

class Capacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(Capacity, StoresTheFirstThousandAndCountsTheRest) {
    RecordTable table;
    const ScanResult result = scanLogText(repeatLines(GetParam().lines), table);
    EXPECT_EQ(result.stored, GetParam().stored);
    EXPECT_EQ(table.count(), GetParam().stored);
    EXPECT_EQ(result.leftOut, GetParam().leftOut);
    if (GetParam().stored == 1000) {
        EXPECT_EQ(table.record(1000).TimeText.toString(),
                  QStringLiteral("00:09:99"));  // line 999 (from 0)
        EXPECT_EQ(table.append(), nullptr);
        EXPECT_EQ(table.count(), 1000);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, Capacity,
                         ::testing::Values(CapacityCase{999, 999, 0}, CapacityCase{1000, 1000, 0},
                                           CapacityCase{1001, 1000, 1},
                                           CapacityCase{2500, 1000, 1500}));

TEST(LogScan, ScanningTwiceGivesTheSameTable) {
    const QString text = repeatLines(50);
    RecordTable a, b;
    scanLogText(text, a);
    scanLogText(text, b);
    scanLogText(text, b);
    ASSERT_EQ(a.count(), b.count());
    for (int n = 0; n <= a.count(); ++n) {
        EXPECT_EQ(a.record(n).Values, b.record(n).Values);
        EXPECT_EQ(a.record(n).TimeText.view(), b.record(n).TimeText.view());
    }
}

TEST(LogScan, VerdictNamesTheFirstFailedTest) {
    struct Case {
        QString line;
        LineVerdict verdict;
    };
    const Case cases[] = {
        {WorkedLine, LineVerdict::Accepted},
        {WorkedLine.left(80), LineVerdict::WrongLength},
        {withChar(WorkedLine, 1, u'#'), LineVerdict::NoExclamationAt1},
        {withChar(WorkedLine, 10, u'#'), LineVerdict::NoAtSignAt10},
        {withChar(WorkedLine, 17, u'#'), LineVerdict::NoSemicolonAt17},
        {withChar(withChar(WorkedLine, 1, u'#'), 17, u'#'), LineVerdict::NoExclamationAt1}};
    TelemetryRecord record;
    for (const auto& k : cases)
        EXPECT_EQ(readLogLine(k.line, record), k.verdict) << k.line.toStdString();
}

// Where a followed log's newest part starts: its start, the lines and log lines before it.
TEST(LogScan, NewestLinesKeepTheNewestLogLinesWithinTheLength) {
    const QString L = WorkedLine;
    const struct {
        const char* name;
        QString text;
        int logLines;
        qsizetype length;
        NewestLines newest;
    } cases[] = {
        {"all fit", L + "\n#\n" + L, 2, 1000, {0, 0, 0}},
        {"the oldest log line leaves, the line after it stays",
         L + "\r\n#\r" + L + "\n" + L + "\n",
         2,
         1000,
         {83, 1, 1}},
        {"breaks of every kind", "#\u2028" + L + "\u2029" + L, 1, 1000, {84, 2, 1}},
        {"the length limit cuts at a line start", "a\nbb\nccc\n", 9, 7, {2, 1, 0}},
        {"a last line longer than the limit stays", "a\nbbbb", 9, 2, {2, 1, 0}},
        {"no log line kept", L + "\n", 0, 1000, {82, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const NewestLines newest = newestLines(c.text, c.logLines, c.length);
        EXPECT_EQ(newest.start, c.newest.start);
        EXPECT_EQ(newest.linesBefore, c.newest.linesBefore);
        EXPECT_EQ(newest.logLinesBefore, c.newest.logLinesBefore);
    }
}

// The frames an intake finds, for sharing and the archive: every accepted line, lines cut at
// every break of the line rule, date and time as written, true hex told apart.
TEST(LogScan, FramesOfATextAreReadAsWritten) {
    const QString L = WorkedLine;
    const QString upper = withChar(withChar(L, 2, u'X'), 18, u'A');  // "!X6...;A0..."
    const QString notHex = withChar(L, 81, u'g');
    const QList<ReceivedFrame> frames =
        scanLogFrames(L + "\n#\r" + upper + u'\u2028' + notHex + "\r\n" + L.left(80));
    ASSERT_EQ(frames.size(), 3);
    EXPECT_EQ(frames[0].receivedText(), "06.12.2026 12:34:56");
    EXPECT_EQ(frames[0].bytes[31], 0x1f);
    EXPECT_TRUE(frames[0].trueHex);
    EXPECT_EQ(frames[1].receivedText(), "X6.12.2026 12:34:56");
    EXPECT_EQ(frames[1].bytes[0], 0xa0);
    EXPECT_TRUE(frames[1].trueHex);
    EXPECT_FALSE(frames[2].trueHex);
    EXPECT_EQ(frames[2].bytes[31], 1);  // the lenient reading of "1g", as the record decodes it
}

}  // namespace
}  // namespace orvalin
