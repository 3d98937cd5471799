// The record formats: what each writes for an accepted line by its fast path (the raw bytes of
// an ASCII line) and for the window's record of any other line, against the definitions
// (appendCsvRecordLine, isoTimestamp, appendJsonRecordLine) applied to the window's records;
// and the number and string texts of JSON.
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
#include "export/jsonl_fields.h"
#include "export/record_format.h"
#include "files/byte_output.h"

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
                 "!\xc3\xa9"
                 "6122026@123456;") +
                 QByteArray(64, '0');  // é: 81 characters
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

struct FormatCase {
    const char* name;
    RecordFormatOptions options;
    std::string header;
    std::function<std::string(const TelemetryRecord&)> definition;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

std::function<std::string(const TelemetryRecord&)> csvDefinition(bool isoTime, bool withTime,
                                                                 QChar separator) {
    return [=](const TelemetryRecord& record) {
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
    std::string expected = GetParam().header;
    for (const QByteArray& line : hardLines()) {
        writeLine(*format, out, line);
        expected += GetParam().definition(windowRecord(line));
    }
    out.flush();
    EXPECT_EQ(sink.bytes, expected);
}

RecordFormatOptions csvOptions(bool withTime, bool isoTime, QChar separator) {
    return {.withTime = withTime, .decimalSeparator = separator, .isoTime = isoTime};
}

INSTANTIATE_TEST_SUITE_P(
    Options, Formats,
    ::testing::Values(
        FormatCase{"Csv", {}, csvHeaderLine().toStdString(), csvDefinition(false, false, u'.')},
        FormatCase{"CsvWithTimeAndComma", csvOptions(true, false, u','),
                   csvHeaderLine(true).toStdString(), csvDefinition(false, true, u',')},
        // --iso-time: the Timestamp column before Date and Time, empty where there is none.
        FormatCase{"CsvIsoTime", csvOptions(false, true, u'.'),
                   "Timestamp;" + csvHeaderLine().toStdString(), csvDefinition(true, false, u'.')},
        FormatCase{"CsvIsoTimeWithTime", csvOptions(true, true, u'.'),
                   "Timestamp;" + csvHeaderLine(true).toStdString(),
                   csvDefinition(true, true, u'.')},
        FormatCase{"JsonLines",
                   {.format = OutputFormat::JsonLines},
                   "",
                   [](const TelemetryRecord& record) {
                       std::string line;
                       appendJsonRecordLine(line, record);
                       return line;
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

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
    const JsonFieldCache cache;
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
