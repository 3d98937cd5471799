// The record formats: what each writes for an accepted line by its fast path (the raw bytes of
// an ASCII line) and for the window's record of any other line, against the definitions
// (appendCsvRecordLine, isoTimestamp, appendJsonRecordLine, appendInfluxLine) applied to the
// window's records; a frame of the archive written as its line; the instants of InfluxDB lines;
// and the number and key texts.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <ostream>

#include "decoder/csv_text.h"
#include "decoder/hex.h"
#include "decoder/test_lines.h"
#include "decoder/timestamp.h"
#include "export/influx_lines.h"
#include "export/jsonl_fields.h"
#include "export/record_format.h"
#include "files/byte_output.h"
#include "settings/log_time.h"

namespace orvalin {
namespace {

QByteArray stamped(const char* dateTime) {
    QByteArray line = test::WorkedLine.toLatin1();
    line.replace(1, 8, QByteArray(dateTime, 8));
    line.replace(10, 6, QByteArray(dateTime + 8, 6));
    return line;
}

// Accepted lines whose date and time need every kind of care, and frames with short and long
// texts.
QList<QByteArray> hardLines() {
    QList<QByteArray> lines;
    for (const char* dateTime : {"06122026123456", "29022024000000", "29022023000000",
                                 "3104202612ab56", "06122026240000", "06\"2\\026235960",
                                 "0a\t2\x01"
                                 "02612AB56"})
        lines << stamped(dateTime);
    QByteArray frames = test::WorkedLine.toLatin1();
    for (int k = 17; k < 81; ++k) frames[k] = "0123456789abcdefABCDEF"[(k * 7) % 22];
    lines << frames << "!06122026@123456;" + QByteArray(64, 'f');
    lines << QByteArray(
                 "!\xc3\x89"
                 "6122026@123456;") +
                 QByteArray(64, '0');  // É: 81 characters, lower-cased in the record
    lines << "!06122026@123457;\xc3\xa9" + QByteArray(63, '1');  // a real time, a text line
    lines << stamped("06122300123456");  // a real time that InfluxDB cannot hold
    return lines;
}

TelemetryRecord windowRecord(const QByteArray& line) {
    TelemetryRecord record;
    EXPECT_TRUE(test::decodeIfLogLine(QString::fromUtf8(line), record)) << line.constData();
    return record;
}

// An accepted line as the batch decoder hands it to a format: a pure-ASCII line with the raw
// bytes of its channels, any other as the window's record.
void writeLine(RecordFormat& format, BufferedWriter& out, const QByteArray& line) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.constData());
    if (std::any_of(bytes, bytes + line.size(), [](unsigned char c) { return c >= 0x80; }))
        return format.writeRecord(out, windowRecord(line));
    std::uint8_t raws[ChannelCount];
    for (ChannelIndex c = 0; c < ChannelCount; ++c)
        raws[c] = static_cast<std::uint8_t>(
            hexPieceValue(bytes[linePieceOffset(c)], bytes[linePieceOffset(c) + 1]));
    format.writeAsciiRecord(out, bytes, raws);
}

// The definition's line for one of the window's records; `written` is what the format wrote.
using Definition = std::function<std::string(const TelemetryRecord&, const std::string& written)>;

struct FormatCase {
    const char* name;
    RecordFormatOptions options{};
    std::string header{};
    Definition definition;
    FramesLeftOut leftOut{};  // of the hard lines
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

Definition csvDefinition(bool isoTime, bool withTime, QChar separator) {
    return [=](const TelemetryRecord& record, const std::string&) {
        QByteArray line;
        if (isoTime)
            line = isoTimestamp(record.DateText.view(), record.TimeText.view()).toLatin1() + ';';
        appendCsvRecordLine(line, record, separator, withTime);
        return line.toStdString();
    };
}

class Formats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Formats, WriteTheDefinitionsLinesForTheWindowsRecords) {
    const std::unique_ptr<RecordFormat> format = makeRecordFormat(GetParam().options);
    StringSink sink;
    BufferedWriter out(sink, 4096);
    format->writeHeader(out);
    out.flush();
    EXPECT_EQ(sink.bytes, GetParam().header);
    for (const QByteArray& line : hardLines()) {
        sink.bytes.clear();
        writeLine(*format, out, line);
        out.flush();
        EXPECT_EQ(sink.bytes, GetParam().definition(windowRecord(line), sink.bytes)) << line.data();
    }
    EXPECT_EQ(format->leftOut().withoutUtcTime, GetParam().leftOut.withoutUtcTime);
    EXPECT_EQ(format->leftOut().outsideTimeRange, GetParam().leftOut.outsideTimeRange);
}

// What the archive gives back of a line: its frame and its instant in the zone of the log.
TEST_P(Formats, WriteAFrameOfTheArchiveAsTheLineThatCarriedIt) {
    const std::unique_ptr<RecordFormat> lines = makeRecordFormat(GetParam().options);
    const std::unique_ptr<RecordFormat> frames = makeRecordFormat(GetParam().options);
    LogTimeConverter times(GetParam().options.logTimeZone);
    StringSink fromLines;
    StringSink fromFrames;
    BufferedWriter linesOut(fromLines, 4096);
    BufferedWriter framesOut(fromFrames, 4096);
    for (const QByteArray& line : hardLines()) {
        writeLine(*lines, linesOut, line);
        const ReceivedFrame frame = receivedFrameOf(QString::fromUtf8(line).utf16());
        frames->writeFrame(framesOut, frame, times.utcSeconds(frame));
    }
    linesOut.flush();
    framesOut.flush();
    EXPECT_EQ(fromFrames.bytes, fromLines.bytes);
    EXPECT_EQ(frames->leftOut().withoutUtcTime, GetParam().leftOut.withoutUtcTime);
}

RecordFormatOptions csvOptions(bool withTime, bool isoTime, QChar separator) {
    return {.withTime = withTime, .decimalSeparator = separator, .isoTime = isoTime};
}

std::string jsonDefinition(const TelemetryRecord& record, const std::string&) {
    std::string line;
    appendJsonRecordLine(line, record);
    return line;
}

// The instants are those of InfluxInstants below; here the fields at the instant written.
std::string influxDefinition(const TelemetryRecord& record, const std::string& written) {
    std::string line;
    if (!written.empty())
        appendInfluxLine(line, record.Values, std::stoll(written.substr(written.rfind(' '))));
    return line;
}

INSTANTIATE_TEST_SUITE_P(
    Options, Formats,
    ::testing::Values(
        FormatCase{.name = "Csv",
                   .header = csvHeaderLine().toStdString(),
                   .definition = csvDefinition(false, false, u'.')},
        FormatCase{.name = "CsvWithTimeAndComma",
                   .options = csvOptions(true, false, u','),
                   .header = csvHeaderLine(true).toStdString(),
                   .definition = csvDefinition(false, true, u',')},
        // --iso-time: the Timestamp column before Date and Time, empty where there is none.
        FormatCase{.name = "CsvIsoTime",
                   .options = csvOptions(false, true, u'.'),
                   .header = "Timestamp;" + csvHeaderLine().toStdString(),
                   .definition = csvDefinition(true, false, u'.')},
        FormatCase{.name = "CsvIsoTimeWithTime",
                   .options = csvOptions(true, true, u'.'),
                   .header = "Timestamp;" + csvHeaderLine(true).toStdString(),
                   .definition = csvDefinition(true, true, u'.')},
        FormatCase{.name = "JsonLines",
                   .options = {.format = OutputFormat::JsonLines},
                   .definition = jsonDefinition},
        FormatCase{.name = "Influx",
                   .options = {.format = OutputFormat::Influx},
                   .definition = influxDefinition,
                   .leftOut = {.withoutUtcTime = 6, .outsideTimeRange = 1}}),
    [](const auto& info) { return std::string(info.param.name); });

struct InstantsCase {
    const char* name;
    const char* zone;
    std::vector<const char*> logged;  // DDMMYYYYHHMMSS of each line
    std::vector<qint64> written;      // the instants of the lines written, in ns
    FramesLeftOut leftOut{};
};

void PrintTo(const InstantsCase& c, std::ostream* os) {
    *os << c.name;
}

class InfluxInstants : public ::testing::TestWithParam<InstantsCase> {};

TEST_P(InfluxInstants, AreUtcNanosecondsOneApartWithinASecond) {
    const std::unique_ptr<RecordFormat> format = makeRecordFormat(
        {.format = OutputFormat::Influx, .logTimeZone = QTimeZone(QByteArray(GetParam().zone))});
    StringSink sink;
    BufferedWriter out(sink, 4096);
    for (const char* logged : GetParam().logged) writeLine(*format, out, stamped(logged));
    out.flush();
    std::vector<qint64> written;
    for (std::size_t end = 0, at = 0; (end = sink.bytes.find('\n', at)) != std::string::npos;
         at = end + 1)
        written.push_back(std::stoll(sink.bytes.substr(sink.bytes.rfind(' ', end))));
    EXPECT_EQ(written, GetParam().written);
    EXPECT_EQ(format->leftOut().withoutUtcTime, GetParam().leftOut.withoutUtcTime);
    EXPECT_EQ(format->leftOut().outsideTimeRange, GetParam().leftOut.outsideTimeRange);
}

constexpr qint64 Second = 1'000'000'000;
constexpr qint64 At20261206T123456Z = 1'796'560'496 * Second;
constexpr qint64 At20260329T005959Z = 1'774'745'999 * Second;

INSTANTIATE_TEST_SUITE_P(
    Lines, InfluxInstants,
    ::testing::Values(
        InstantsCase{"CountOnWithinASecondAndRestartWhenItChanges",
                     "UTC",
                     {"06122026123456", "06122026123456", "06122026123456", "06122026123457",
                      "06122026123456"},
                     {At20261206T123456Z, At20261206T123456Z + 1, At20261206T123456Z + 2,
                      At20261206T123456Z + Second, At20261206T123456Z},
                     {}},
        InstantsCase{"SkippedLocalTimeIsLeftOut",
                     "Europe/Berlin",
                     {"29032026015959", "29032026023000", "29032026030000"},
                     {At20260329T005959Z, At20260329T005959Z + Second},
                     {.withoutUtcTime = 1}},
        InstantsCase{"InstantsInfluxDbCannotHoldAreLeftOut",
                     "UTC",
                     {"20091677001243", "21091677001244", "11042262234715", "11042262234716"},
                     {FirstInfluxSecond * Second, LastInfluxSecond* Second},
                     {.outsideTimeRange = 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InfluxLines, KeysAreEscapedAsTheProtocolAsks) {
    EXPECT_EQ(influxKeyText("SP4 Volts"), R"(SP4\ Volts)");
    EXPECT_EQ(influxKeyText("a,b=c d"), R"(a\,b\=c\ d)");
    std::string line;
    appendInfluxLine(line, windowRecord(test::WorkedLine.toLatin1()).Values, -1);
    EXPECT_TRUE(line.starts_with(R"(orvalin SP4\ Volts=0.105708,GS4\ Curr=8.5344,)")) << line;
    EXPECT_TRUE(line.ends_with(R"(,SU\ TH\ G0=82.66666666666667 -1)"
                               "\n"))
        << line;
}

TEST(JsonLines, TextsAndTimestampsOfTheDefinition) {
    std::string line;
    appendJsonRecordLine(line, windowRecord(stamped("06\"2\\026235960")));
    EXPECT_EQ(line.substr(0, 65),
              R"({"date":"06.\"2.\\026","time":"23:59:60","timestamp":null,"SP4 Vo)");
    line.clear();
    appendJsonRecordLine(line, windowRecord(test::WorkedLine.toLatin1()));
    EXPECT_EQ(line.substr(0, 73),
              R"({"date":"06.12.2026","time":"12:34:56","timestamp":"2026-12-06T12:34:56",)");
}

TEST(JsonLines, EveryValueReadsBackToItsExactDouble) {
    const NumberFieldCache cache(jsonFieldKeys());
    static const QRegularExpression jsonNumber(
        QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?$"));
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        for (int raw = 0; raw < 256; ++raw) {
            const std::string text(cache.value(c, static_cast<std::uint8_t>(raw)));
            ASSERT_TRUE(jsonNumber.match(QString::fromStdString(text)).hasMatch()) << text;
            const double expected = channelValue(c, raw);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(std::strtod(text.c_str(), nullptr)),
                      std::bit_cast<std::uint64_t>(expected))
                << "channel " << c << ", raw " << raw << ": " << text;
            // Shortest: rounded to one significant digit less, the value no longer reads back.
            std::string digits = text.substr(0, text.find_first_of("eE"));
            std::erase_if(digits, [](char d) { return d < '0' || d > '9'; });
            digits.erase(0, digits.find_first_not_of('0'));
            const std::size_t significant = digits.find_last_not_of('0') + 1;
            if (digits.empty() || significant < 2) continue;
            char shorter[40];
            std::snprintf(shorter, sizeof shorter, "%.*e", static_cast<int>(significant) - 2,
                          expected);
            EXPECT_NE(std::strtod(shorter, nullptr), expected) << text << " vs " << shorter;
        }
    }
}

struct StringCase {
    const char* name;
    std::string text;
    std::string json;
};

void PrintTo(const StringCase& c, std::ostream* os) {
    *os << c.name;
}

class JsonString : public ::testing::TestWithParam<StringCase> {};

TEST_P(JsonString, IsEscapedOnce) {
    EXPECT_EQ(jsonStringText(GetParam().text), GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonString,
    ::testing::Values(StringCase{"Plain", "SP4 Volts", "\"SP4 Volts\""},
                      StringCase{"QuoteAndBackslash", "a\"b\\c", R"("a\"b\\c")"},
                      StringCase{"ShortEscapes", "\b\f\n\r\t", R"("\b\f\n\r\t")"},
                      StringCase{"OtherControls", std::string("\x00\x01\x1f", 3),
                                 R"("\u0000\u0001\u001f")"},
                      StringCase{"DeleteAndUtf8StayAsTheyAre", "\x7f\xc3\xa9", "\"\x7f\xc3\xa9\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalin
