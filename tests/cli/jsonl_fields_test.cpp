// JSON Lines and the Timestamp column: the batch decoder's fast path against the definitions
// (appendJsonRecordLine, isoTimestamp, appendCsvRecordLine) applied to the window's records.
#include "cli/jsonl_fields.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "cli_test_support.h"
#include "decoder/timestamp.h"

namespace orvalin::cli {
namespace {

using test::decodeStream;
using test::WorkedLine;

// The window's records of a CR LF text, each written by `write`.
template <typename Write>
std::string fromWindowRecords(const QByteArray& crlfText, Write write) {
    RecordTable table;
    scanLogText(QString::fromUtf8(crlfText), table);
    std::string out;
    for (int slot = 1; slot <= table.count(); ++slot) write(out, table.record(slot));
    return out;
}

QByteArray stamped(const char* dateTime) {
    QByteArray line = WorkedLine;
    line.replace(1, 8, QByteArray(dateTime, 8));
    line.replace(10, 6, QByteArray(dateTime + 8, 6));
    return line;
}

// Lines whose date and time need every kind of care, and frames with short and long texts.
QByteArray hardLog() {
    QByteArray log;
    for (const char* dateTime : {"06122026123456", "29022024000000", "29022023000000",
                                 "3104202612ab56", "06122026240000", "06\"2\\026235960",
                                 "0a\t2\x01"
                                 "02612AB56"}) {
        QByteArray line = stamped(dateTime);
        log += line + "\r\n";
    }
    QByteArray frames = WorkedLine;
    for (int k = 17; k < 81; ++k) frames[k] = "0123456789abcdefABCDEF"[(k * 7) % 22];
    log += frames + "\r\n";
    log += "!06122026@123456;" + QByteArray(64, 'f') + "\r\n";
    log += QByteArray(
               "!\xc3\xa9"
               "6122026@123456;") +
           QByteArray(64, '0') + "\r\n";  // é: 81 characters
    return log;
}

TEST(JsonLines, AreTheDefinitionsLinesForTheWindowsRecords) {
    const QByteArray log = hardLog();
    DecodeSettings settings;
    settings.format = OutputFormat::JsonLines;
    const std::string expected = fromWindowRecords(log, appendJsonRecordLine);
    EXPECT_EQ(decodeStream(log, settings).csv, expected);
    EXPECT_EQ(decodeStream(log, settings, 7).csv, expected);  // lines split across reads
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 10);
}

TEST(JsonLines, TextsAndTimestampsOfTheDefinition) {
    const std::string line = fromWindowRecords(stamped("06\"2\\026235960"), appendJsonRecordLine);
    EXPECT_EQ(line.substr(0, 65),
              R"({"date":"06.\"2.\\026","time":"23:59:60","timestamp":null,"SP4 Vo)");
    const std::string good = fromWindowRecords(WorkedLine, appendJsonRecordLine);
    EXPECT_EQ(good.substr(0, 73),
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

// --iso-time: the Timestamp column before Date and Time, empty where there is no timestamp.
TEST(CsvTimestampColumn, IsTheDefinitionsTextForTheWindowsRecords) {
    const QByteArray log = hardLog();
    for (const bool withTime : {false, true}) {
        DecodeSettings settings;
        settings.withTime = withTime;
        settings.isoTime = true;
        std::string expected = "Timestamp;" + test::toStd(csvHeaderLine(withTime));
        expected += fromWindowRecords(log, [&](std::string& out, const TelemetryRecord& record) {
            QByteArray line =
                isoTimestamp(record.DateText.view(), record.TimeText.view()).toLatin1() + ';';
            appendCsvRecordLine(line, record, u'.', withTime);
            out += line.toStdString();
        });
        EXPECT_EQ(decodeStream(log, settings).csv, expected) << "with time: " << withTime;
    }
}

}  // namespace
}  // namespace orvalin::cli
