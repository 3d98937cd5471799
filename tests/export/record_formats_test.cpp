// The record formats against their definitions applied to the window's records, for the fast
// path of ASCII lines, the window's records of other lines and frames of the archive; and the
// number and key texts.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <ostream>
#include <vector>

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
    // Then a time that Berlin skips, the first and the last second InfluxDB holds, and one after.
    for (const char* dateTime :
         {"06122026123456", "29022024000000", "29022023000000", "3104202612ab56", "06122026240000",
          "06\"2\\026235960",
          "0a\t2\x01"
          "02612AB56",
          "29032026023000", "21091677001244", "11042262234715", "11042262234716"})
        lines << stamped(dateTime);
    QByteArray frames = test::WorkedLine.toLatin1();
    for (int k = 17; k < 81; ++k) frames[k] = "0123456789abcdefABCDEF"[(k * 7) % 22];
    lines << frames << "!06122026@123456;" + QByteArray(64, 'f');
    lines << QByteArray(
                 "!\xc3\x89"
                 "6122026@123456;") +
                 QByteArray(64, '0');  // É: 81 characters, lower-cased in the record
    lines << "!06122026@123457;\xc3\xa9" + QByteArray(63, '1');  // a real time, a text line
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

// The definition's line for one of the window's records; InfluxDB lines at `instant`, in ns.
using Definition =
    std::function<std::string(const TelemetryRecord&, std::optional<qint64> instant)>;

struct FormatCase {
    const char* name;
    RecordFormatOptions options{};
    Definition definition;
    std::vector<std::optional<qint64>> instants{};  // of the hard lines; none: left out
    FramesLeftOut leftOut{};
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

class Formats : public ::testing::TestWithParam<FormatCase> {};

// The archive gives back a line's frame with its instant in the zone of the log; the frame is
// written as the line.
TEST_P(Formats, WriteTheDefinitionsLinesAndFramesAsTheirLines) {
    const FormatCase& c = GetParam();
    const std::unique_ptr<RecordFormat> lines = makeRecordFormat(c.options);
    const std::unique_ptr<RecordFormat> frames = makeRecordFormat(c.options);
    LogTimeConverter times(c.options.logTimeZone);
    StringSink line;
    StringSink fromFrames;
    BufferedWriter lineOut(line, 4096);
    BufferedWriter framesOut(fromFrames, 4096);
    std::string fromLines;
    const QList<QByteArray> hard = hardLines();
    for (qsizetype i = 0; i < hard.size(); ++i) {
        line.bytes.clear();
        writeLine(*lines, lineOut, hard[i]);
        lineOut.flush();
        const auto instant = i < qsizetype(c.instants.size()) ? c.instants[i] : std::nullopt;
        EXPECT_EQ(line.bytes, c.definition(windowRecord(hard[i]), instant)) << hard[i].data();
        fromLines += line.bytes;
        const ReceivedFrame frame = receivedFrameOf(QString::fromUtf8(hard[i]).utf16());
        frames->writeFrame(framesOut, frame, times.utcSeconds(frame));
    }
    framesOut.flush();
    EXPECT_EQ(fromFrames.bytes, fromLines);
    EXPECT_EQ(lines->leftOut(), c.leftOut);
    EXPECT_EQ(frames->leftOut(), c.leftOut);
}

Definition csvDefinition(bool isoTime, bool withTime, QChar separator) {
    return [=](const TelemetryRecord& record, std::optional<qint64>) {
        QByteArray line;
        if (isoTime)
            line = isoTimestamp(record.DateText.view(), record.TimeText.view()).toLatin1() + ';';
        appendCsvRecordLine(line, record, separator, withTime);
        return line.toStdString();
    };
}

std::string jsonDefinition(const TelemetryRecord& record, std::optional<qint64>) {
    std::string line;
    appendJsonRecordLine(line, record);
    return line;
}

std::string influxDefinition(const TelemetryRecord& record, std::optional<qint64> instant) {
    std::string line;
    if (instant) appendInfluxLine(line, record.Values, *instant);
    return line;
}

constexpr qint64 Second = 1'000'000'000;
constexpr qint64 T = 1'796'560'496 * Second;  // 2026-12-06T12:34:56Z
// Of the hard lines read in UTC (2024-02-29T00:00:00Z, 2026-03-29T02:30:00Z, InfluxDB's limits):
// 1 ns on within a second, from 0 again when the second changes.
// clang-format off
const std::vector<std::optional<qint64>> InfluxInstants = {
    T, 1'709'164'800 * Second, {}, {}, {}, {}, {}, 1'774'751'400 * Second,
    FirstInfluxSecond * Second, LastInfluxSecond * Second, {}, T, T + 1, {}, T + Second};
// clang-format on

INSTANTIATE_TEST_SUITE_P(
    Options, Formats,
    ::testing::Values(
        FormatCase{.name = "Csv", .definition = csvDefinition(false, false, u'.')},
        // --iso-time: the Timestamp column before Date and Time, empty where there is none.
        FormatCase{.name = "CsvIsoTimeWithTime",
                   .options = {.withTime = true, .isoTime = true},
                   .definition = csvDefinition(true, true, u'.')},
        FormatCase{.name = "JsonLines",
                   .options = {.format = OutputFormat::JsonLines},
                   .definition = jsonDefinition},
        FormatCase{.name = "Influx",
                   .options = {.format = OutputFormat::Influx},
                   .definition = influxDefinition,
                   .instants = InfluxInstants,
                   .leftOut = {.withoutUtcTime = 6, .outsideTimeRange = 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InfluxLines, KeysAreEscapedAsTheProtocolAsks) {
    EXPECT_EQ(influxKeyText("SP4 Volts"), R"(SP4\ Volts)");
    EXPECT_EQ(influxKeyText("a,b=c d"), R"(a\,b\=c\ d)");
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
