#include <gtest/gtest.h>

#include <QByteArrayList>
#include <random>

#include "cli_test_support.h"

namespace orvalin::cli {
namespace {

using test::decodeStream;
using test::toStd;
using test::windowCsv;
using test::WorkedLine;

QByteArray replaced(QByteArray line, int position1, const QByteArray& with, int length = 1) {
    return line.replace(position1 - 1, length, with);
}

QByteArray joined(const QByteArrayList& lines, const QByteArray& end) {
    QByteArray text;
    for (const QByteArray& line : lines) text += line + end;
    return text;
}

// --- Accepted exactly as the window accepts, decoded into exactly the same bytes ---------

struct WindowCase {
    const char* name;
    QByteArrayList lines;  // UTF-8 bytes, without line ends
};

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.name;
}

class SameAsWindow : public ::testing::TestWithParam<WindowCase> {};

// Every line end that the window's text box takes for a line break, in UTF-8.
const QByteArray LineEnds[] = {"\r\n", "\n", "\r", "\xe2\x80\xa8", "\xe2\x80\xa9", "\xef\xb7\x90"};

TEST_P(SameAsWindow, LogsWithAnyLineEndGiveTheWindowsCsv) {
    const std::string crlfCsv = toStd(windowCsv(joined(GetParam().lines, "\r\n")));
    for (const QByteArray& end : LineEnds) {
        const QByteArray log = joined(GetParam().lines, end);
        for (const QChar separator : {QChar(u'.'), QChar(u',')}) {
            for (const bool withTime : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << "line end " << end.toHex().constData() << ", separator "
                             << char(separator.unicode()) << (withTime ? ", with time" : ""));
                EXPECT_EQ(decodeStream(log, {withTime, separator}).csv,
                          toStd(windowCsv(log, separator, withTime)));
            }
        }
        EXPECT_EQ(decodeStream(log).csv, crlfCsv);
    }
}

const QByteArray Euro = "\xe2\x82\xac";           // U+20AC, 3 bytes, 1 character
const QByteArray Eacute = "\xc3\xa9";             // U+00E9, 2 bytes
const QByteArray Kelvin = "\xe2\x84\xaa";         // U+212A, lower-cases to "k"
const QByteArray DottedCapitalI = "\xc4\xb0";     // U+0130, lower-cases to "i"
const QByteArray Satellite = "\xf0\x9f\x9b\xb0";  // U+1F6F0, 4 bytes, 2 UTF-16 units

INSTANTIATE_TEST_SUITE_P(
    Lines, SameAsWindow,
    ::testing::Values(
        WindowCase{"WorkedLine", {WorkedLine}}, WindowCase{"UpperCase", {WorkedLine.toUpper()}},
        WindowCase{"LettersInDateAndTime", {replaced(WorkedLine, 2, "AbCdEfGh", 8)}},
        WindowCase{"NonHexPieces",
                   {replaced(WorkedLine, 24, "7gG70x0X&h&H  \t7z.", 18),
                    replaced(WorkedLine, 18, "zzzzzz", 6)}},
        WindowCase{"Length80And82", {WorkedLine.left(80), WorkedLine + ' ', ' ' + WorkedLine}},
        WindowCase{
            "MarksMissingOrMoved",
            {replaced(WorkedLine, 1, "?"), replaced(WorkedLine, 10, "a"),
             replaced(WorkedLine, 17, "0"), replaced(replaced(WorkedLine, 17, "0"), 18, ";")}},
        WindowCase{"OtherTextAndEmptyLinesBetween",
                   {"# station log", WorkedLine, "", "noise", WorkedLine, "", "", WorkedLine}},
        WindowCase{"TwoByteCharacterInDate", {replaced(WorkedLine, 3, Eacute)}},
        WindowCase{"ThreeByteCharactersEverywhere",
                   {replaced(replaced(WorkedLine, 2, Euro + Euro + Euro, 3), 11, Euro + Euro, 2),
                    replaced(WorkedLine, 24, Euro + "f" + "f" + Euro, 4)}},
        WindowCase{"CharactersThatLowerToAscii",
                   {replaced(WorkedLine, 2, DottedCapitalI), replaced(WorkedLine, 24, Kelvin + "7"),
                    replaced(WorkedLine, 24, "7" + Kelvin)}},
        WindowCase{"FourByteCharacterIsTwoUnits",
                   {replaced(WorkedLine, 2, Satellite, 2), replaced(WorkedLine, 2, Satellite, 1)}},
        WindowCase{"InvalidUtf8ByteIsOneCharacter",
                   {replaced(WorkedLine, 2, "\xff"),
                    replaced(WorkedLine, 24,
                             "\xc3"
                             "f"),
                    replaced(WorkedLine, 2, "\xe2\x82", 2)}},
        WindowCase{"NulAndLoneCrInsideALine",
                   {replaced(WorkedLine, 2, QByteArray(1, '\0')), replaced(WorkedLine, 11, "\r")}},
        WindowCase{"EightyOneCharactersOfThreeBytes", {Euro.repeated(81), Euro.repeated(82)}},
        WindowCase{"NoLogLines", {"", "hello"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Every pair of ASCII characters in every channel position: the byte-level path reads
// pieces as HexToDec does on the lower-cased line.
TEST(SameAsWindowBytes, EveryAsciiPairInEveryChannel) {
    QByteArrayList lines;
    for (int first = 0; first < 128; ++first) {
        for (int second = 0; second < 128; ++second) {
            if (first == '\n' || second == '\n') continue;
            QByteArray line = WorkedLine;
            const int offset = linePieceOffset((first * 128 + second) % ChannelCount);
            line[offset] = static_cast<char>(first);
            line[offset + 1] = static_cast<char>(second);
            lines << line;
        }
    }
    const QByteArray text = joined(lines, "\r\n");
    EXPECT_EQ(decodeStream(text).csv, toStd(windowCsv(text)));
}

// Random lines around the log-line length from an alphabet of marks, hex digits, other
// letters and multi-byte and invalid UTF-8.
TEST(SameAsWindowBytes, RandomLines) {
    const QByteArrayList alphabet = {"!",  "@",    ";",  "0",    "7",    "a",      "F",
                                     "f",  "g",    "x",  "X",    "&",    "h",      " ",
                                     "\r", Eacute, Euro, Kelvin, "\xff", Satellite};
    std::mt19937 random(20261206);
    QByteArrayList lines;
    for (int i = 0; i < 3000; ++i) {
        QByteArray line = WorkedLine;
        const int changes = static_cast<int>(random() % 4);
        for (int k = 0; k < changes; ++k) {
            const QByteArray& piece = alphabet[static_cast<qsizetype>(random() % alphabet.size())];
            const int at = static_cast<int>(random() % static_cast<unsigned>(line.size()));
            // Replace, insert or delete, so that lengths around 81 come up too.
            const int removed = static_cast<int>(random() % 3);
            line.replace(at, removed, random() % 4 ? piece : QByteArray());
        }
        lines << line;
    }
    const QByteArray text = joined(lines, "\r\n");
    EXPECT_EQ(decodeStream(text, {true, u','}).csv, toStd(windowCsv(text, u',', true)));
}

TEST(SameAsWindowBytes, WorkedExampleWithTimeAndDecimalComma) {
    const auto output = decodeStream(WorkedLine + "\n", {true, u','});
    const std::string header =
        "Date;Time;SP4 Volts;GS4 Curr;SP4 Temp;SP1 Volts;SP1 Temp;SP1 Curr;Batt Temp;Batt Volts;"
        "SP2 Volts;SP2 Temp;SP2 Curr;SP3 Volts;SP3 Temp;SP3 Curr;Shunt Curr;ADCS Curr;ODB Temp;"
        "RX Curr;RSSI;TX Curr;P TX;P PA;PA Temp;I200 Curr;3V3 Curr;3V3 Volts;5V Curr;5V Volts;"
        "SU TH G0;\r\n";
    const std::string record =
        "06.12.2026;12:34:56;0,105708;8,5344;-265;0,211416;-261,8;17,0688;-258,6;0,35236;"
        "0,387596;-253,8;27,7368;0,493304;-249;34,1376;136;24,48;-242,6;8,528;168;140,8;184;192;"
        "-233;5,9696;5,7456;448;56,2368;1,05708;82,6666666666667;\r\n";
    EXPECT_EQ(output.csv, header + record);
}

// --- Line ends, chunks and long lines -----------------------------------------------------

const QByteArray Bom = "\xef\xbb\xbf";

struct BreakCase {
    const char* name;
    QByteArray log;  // L stands for the worked line
    std::uint64_t accepted;
    std::uint64_t empty;
};

void PrintTo(const BreakCase& c, std::ostream* os) {
    *os << c.name;
}

class LineBreaks : public ::testing::TestWithParam<BreakCase> {};

// The lines the window's text box makes of the same text, in chunks of any size too.
TEST_P(LineBreaks, CutTheLinesAsTheWindowDoes) {
    const QByteArray log = QByteArray(GetParam().log).replace("L", WorkedLine);
    const test::StreamOutput whole = decodeStream(log);
    EXPECT_EQ(whole.counts.accepted, GetParam().accepted);
    EXPECT_EQ(whole.counts.empty, GetParam().empty);
    EXPECT_EQ(whole.csv, toStd(windowCsv(log)));
    for (const std::size_t chunk : {1, 2, 3, 82}) {
        const test::StreamOutput pieces = decodeStream(log, {}, chunk);
        EXPECT_EQ(pieces.csv, whole.csv) << "chunk " << chunk;
        EXPECT_EQ(pieces.report, whole.report) << "chunk " << chunk;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LineBreaks,
    ::testing::Values(
        BreakCase{"LoneCrs", "L\rL\r", 2, 0}, BreakCase{"CrBeforeCrLf", "L\r\r\nL", 2, 1},
        BreakCase{"LfCr", "L\n\rL", 2, 1}, BreakCase{"LineSeparator", "L\xe2\x80\xa8L", 2, 0},
        BreakCase{"ParagraphSeparatorAndFrameMarks", "L\xe2\x80\xa9L\xef\xb7\x91L", 3, 0},
        BreakCase{"CutSeparatorIsACharacter", "L\xe2\x80\nL\xe2\x80", 0, 0},
        BreakCase{"OtherControlsStayInTheLine", "L\vL\n\fL\nL\xc2\x85", 0, 0},
        BreakCase{"ByteOrderMarkMakes82Characters", Bom + "L\r\n" + Bom + "L", 0, 0},
        BreakCase{"ByteOrderMarkOnItsOwnLine", Bom + "\nL", 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

QByteArray mixedLog() {
    QByteArray log;
    log += WorkedLine + "\r\n" + WorkedLine.toUpper() + "\n\n\r\n";
    log +=
        QByteArray(243, 'a') + "\n" + QByteArray(244, 'b') + "\r\n" + QByteArray(245, 'c') + "\n";
    log += Euro.repeated(81) + "\r\n" + Euro.repeated(82) + "\n" + Eacute.repeated(200) + "\r\n";
    log += replaced(WorkedLine, 3, Eacute) + "\r\n";
    log += QByteArray(70000, 'd') + "\r\n" + WorkedLine + "\r\r\n";
    log += QByteArray(300, 'f') + "\xe2\x80\xa8" + WorkedLine + "\xe2\x80\xa9" + Bom + WorkedLine +
           "\r";
    log += QByteArray(5000, 'e') + Euro + "\n" + "\r\r\r\n" + WorkedLine;  // no final line end
    return log;
}

TEST(StreamChunks, AnyChunkSizeGivesTheSameOutput) {
    const QByteArray log = mixedLog();
    const test::StreamOutput whole = decodeStream(log);
    // Accepted: the first two lines, the one with a two-byte character, the one before
    // "\r\r\n", the one between the separators and the last one.
    ASSERT_EQ(whole.counts.accepted, 6u);
    EXPECT_EQ(whole.csv, toStd(windowCsv(log)));
    for (const std::size_t chunk : {1, 2, 3, 5, 64, 81, 82, 83, 243, 244, 245, 246, 1000, 4096}) {
        SCOPED_TRACE(testing::Message() << "chunk " << chunk);
        const test::StreamOutput pieces = decodeStream(log, {}, chunk);
        EXPECT_EQ(pieces.csv, whole.csv);
        EXPECT_EQ(pieces.report, whole.report);
    }
}

TEST(StreamChunks, LineAfterAVeryLongLineIsDecoded) {
    const QByteArray log = QByteArray(50 << 20, 'x') + "\n" + WorkedLine + "\n";
    const test::StreamOutput output = decodeStream(log, {}, 1 << 20);
    EXPECT_EQ(output.report, "log:1: wrong length: 52428800 characters, not 81\n");
    EXPECT_EQ(output.counts.accepted, 1u);
    EXPECT_EQ(output.csv, toStd(windowCsv(WorkedLine)));
}

// --- The rejection report --------------------------------------------------------------

struct ReportCase {
    const char* name;
    QByteArray bytes;  // one line with its end, if any
    std::string reason;
};

void PrintTo(const ReportCase& c, std::ostream* os) {
    *os << c.name;
}

class RejectionReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(RejectionReport, NamesTheFirstReason) {
    const test::StreamOutput output = decodeStream(GetParam().bytes);
    EXPECT_EQ(output.report, "log:1: " + GetParam().reason + "\n");
    EXPECT_EQ(output.counts.rejected, 1u);
    EXPECT_EQ(output.counts.accepted, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, RejectionReport,
    ::testing::Values(
        ReportCase{"Length82", WorkedLine + " \n", "wrong length: 82 characters, not 81"},
        ReportCase{"ShortTextBeforeMarks", "hello\n", "wrong length: 5 characters, not 81"},
        ReportCase{"BlankOnly", " \r\n", "wrong length: 1 characters, not 81"},
        ReportCase{"NoExclamation", replaced(WorkedLine, 1, "?") + "\n", "no \"!\" at position 1"},
        ReportCase{"NoAtSign", replaced(WorkedLine, 10, "a") + "\n", "no \"@\" at position 10"},
        ReportCase{"NoSemicolon", replaced(WorkedLine, 17, "0") + "\n", "no \";\" at position 17"},
        ReportCase{"AllMarksMissing", QByteArray(81, 'x') + "\n", "no \"!\" at position 1"},
        ReportCase{"MarksMissingInUtf8Line", Euro.repeated(81) + "\n", "no \"!\" at position 1"},
        ReportCase{"LengthInCharactersOfUtf8", Eacute.repeated(10) + "\n",
                   "wrong length: 10 characters, not 81"},
        ReportCase{"InvalidBytesAreCharacters", "\xff\xfe\n", "wrong length: 2 characters, not 81"},
        ReportCase{"LongUtf8LineInBytes", Eacute.repeated(150) + "\n",
                   "wrong length: 300 bytes, not 81 characters"},
        ReportCase{"LongAsciiLine", QByteArray(1000, 'a') + "\n",
                   "wrong length: 1000 characters, not 81"},
        ReportCase{"CrBeforeLfIsNotPartOfTheLine", QByteArray(300, 'a') + "\r\n",
                   "wrong length: 300 characters, not 81"},
        ReportCase{"ByteOrderMarkIsACharacter", "\xef\xbb\xbf" + WorkedLine + "\r",
                   "wrong length: 82 characters, not 81"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RejectionReport, LineNumbersCountEveryLineOfEachSource) {
    StringSink csvSink;
    StringSink reportSink;
    BufferedWriter csv(csvSink);
    BufferedWriter report(reportSink);
    LogStreamDecoder decoder(RecordFormatOptions{}, csv, &report);
    const QByteArray first = "a\n\n" + WorkedLine + "\r\n\r\nb";  // "b" has no line end
    decoder.beginSource("one.log");
    decoder.feed(first.constData(), static_cast<std::size_t>(first.size()));
    decoder.endSource();
    decoder.beginSource("two.log");
    decoder.feed("c\n", 2);
    decoder.feed("partial", 7);
    decoder.abandonSource();  // a read error: the unfinished line is not decoded
    decoder.beginSource("three.log");
    decoder.feed("d", 1);
    decoder.endSource();
    report.flush();
    EXPECT_EQ(reportSink.bytes,
              "one.log:1: wrong length: 1 characters, not 81\n"
              "one.log:5: wrong length: 1 characters, not 81\n"
              "two.log:1: wrong length: 1 characters, not 81\n"
              "three.log:1: wrong length: 1 characters, not 81\n");
    EXPECT_EQ(decoder.counts().accepted, 1u);
    EXPECT_EQ(decoder.counts().rejected, 4u);
    EXPECT_EQ(decoder.counts().empty, 2u);
}

}  // namespace
}  // namespace orvalin::cli
