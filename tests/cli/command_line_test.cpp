#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <ostream>

namespace orvalin::cli {
namespace {

struct ParseCase {
    const char* name;
    std::vector<std::string> args;
    CommandLine expected;
    std::string error;  // a usage error instead of `expected`
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

CommandLine options(bool time, bool comma, bool report, std::string output = {},
                    std::vector<std::string> inputs = {}) {
    CommandLine line;
    line.withTime = time;
    line.decimalComma = comma;
    line.report = report;
    line.outputPath = std::move(output);
    line.inputs = std::move(inputs);
    return line;
}

CommandLine newOptions(bool follow, bool isoTime, OutputFormat format,
                       std::vector<std::string> inputs = {}, bool time = false) {
    CommandLine line = options(time, false, false, {}, std::move(inputs));
    line.follow = follow;
    line.isoTime = isoTime;
    line.format = format;
    return line;
}

CommandLine helpOrVersion(bool help) {
    CommandLine line;
    (help ? line.help : line.version) = true;
    return line;
}

const std::string FollowNeedsOneFile =
    "--follow needs exactly one log file, and not standard input";

class CommandLineParsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParsing, GivesOptionsOrAUsageError) {
    const ParsedCommandLine parsed = parseCommandLine(GetParam().args);
    EXPECT_EQ(parsed.error, GetParam().error);
    if (!GetParam().error.empty()) return;
    const CommandLine& expected = GetParam().expected;
    const CommandLine& got = parsed.options;
    EXPECT_EQ(got.withTime, expected.withTime);
    EXPECT_EQ(got.decimalComma, expected.decimalComma);
    EXPECT_EQ(got.report, expected.report);
    EXPECT_EQ(got.help, expected.help);
    EXPECT_EQ(got.version, expected.version);
    EXPECT_EQ(got.follow, expected.follow);
    EXPECT_EQ(got.isoTime, expected.isoTime);
    EXPECT_EQ(got.format, expected.format);
    EXPECT_EQ(got.outputPath, expected.outputPath);
    EXPECT_EQ(got.inputs, expected.inputs);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineParsing,
    ::testing::Values(
        ParseCase{"NoArguments", {}, options(false, false, false), ""},
        ParseCase{"FilesInOrderWithStandardInput",
                  {"a.log", "-", "b.log"},
                  options(false, false, false, {}, {"a.log", "-", "b.log"}),
                  ""},
        ParseCase{"LongFlags",
                  {"--time", "x.log", "--decimal-comma", "--report"},
                  options(true, true, true, {}, {"x.log"}),
                  ""},
        ParseCase{"BundledShortFlags", {"-trc"}, options(true, true, true), ""},
        ParseCase{"OutputSeparate",
                  {"-o", "out.csv", "a"},
                  options(false, false, false, "out.csv", {"a"}),
                  ""},
        ParseCase{"OutputAttached", {"-oout.csv"}, options(false, false, false, "out.csv"), ""},
        ParseCase{"OutputAfterBundledFlag",
                  {"-to", "out.csv"},
                  options(true, false, false, "out.csv"),
                  ""},
        ParseCase{
            "OutputLongWithEquals", {"--output=o.csv"}, options(false, false, false, "o.csv"), ""},
        ParseCase{"OutputLongSeparate", {"--output", "-"}, options(false, false, false, "-"), ""},
        ParseCase{"DoubleDashEndsOptions",
                  {"-r", "--", "-t", "--report"},
                  options(false, false, true, {}, {"-t", "--report"}),
                  ""},
        ParseCase{"Help", {"--help"}, helpOrVersion(true), ""},
        ParseCase{"Version", {"-V"}, helpOrVersion(false), ""},
        ParseCase{"UnknownLongOption", {"--times"}, {}, "unknown option '--times'"},
        ParseCase{"UnknownShortOption", {"-tx"}, {}, "unknown option '-x'"},
        ParseCase{"OutputWithoutName", {"a.log", "-o"}, {}, "missing value after '-o'"},
        ParseCase{"LongOutputWithoutName", {"--output"}, {}, "missing value after '--output'"},
        ParseCase{"EmptyOutputName", {"--output="}, {}, "the output file name is empty"},
        ParseCase{"TwoOutputs", {"-o", "a", "-ob"}, {}, "only one output file can be given"},
        ParseCase{"FlagWithValue", {"--time=yes"}, {}, "unexpected value after '--time'"},
        ParseCase{"NonUtf8FileNamesKeepTheirBytes",
                  {"-o", "\xe9t\xe9.csv", "\xff.log"},
                  options(false, false, false, "\xe9t\xe9.csv", {"\xff.log"}),
                  ""},
        ParseCase{"FollowOneFile",
                  {"-f", "pass.log", "--format", "jsonl"},
                  newOptions(true, false, OutputFormat::JsonLines, {"pass.log"}),
                  ""},
        ParseCase{"FollowToStandardOutputByName",
                  {"--follow", "-o", "-", "pass.log"},
                  [] {
                      CommandLine line = newOptions(true, false, OutputFormat::Csv, {"pass.log"});
                      line.outputPath = "-";
                      return line;
                  }(),
                  ""},
        ParseCase{"IsoTimeWithTime",
                  {"-it", "--format=csv"},
                  newOptions(false, true, OutputFormat::Csv, {}, true),
                  ""},
        ParseCase{"UnknownFormat",
                  {"--format", "JSONL"},
                  {},
                  "unknown format 'JSONL' (csv, jsonl or influx)"},
        ParseCase{"ConfigWithoutShareOrInflux",
                  {"--format", "jsonl", "--config", "c.ini"},
                  {},
                  "--config applies to --share, --import and --format influx only"},
        ParseCase{"SinceWithoutArchive",
                  {"--since", "2026-12-06T12:00:00Z"},
                  {},
                  "--since and --until apply to --from-archive only"},
        ParseCase{"SinceNotATime",
                  {"--from-archive", "--since", "yesterday"},
                  {},
                  "--since takes an ISO 8601 date and time such as 2026-12-06T12:00:00Z, not "
                  "'yesterday'"},
        ParseCase{"UntilBeforeSince",
                  {"--from-archive", "--since", "2026-12-06T12:00:00Z", "--until",
                   "2026-12-06T13:00:00+02:00"},
                  {},
                  "--until must come after --since"},
        ParseCase{"FromArchiveWithFile",
                  {"--from-archive", "a.log"},
                  {},
                  "--from-archive reads the archive, not FILE"},
        ParseCase{"ImportWithRecords",
                  {"--import", "--format", "jsonl", "a.log"},
                  {},
                  "--import writes no records: no -o, --format, -t, -i or -c"},
        ParseCase{"DryRunWithoutShare", {"--dry-run", "a.log"}, {}, "--dry-run applies to --share only"},
        ParseCase{"StatusWithInput",
                  {"--share-status", "a.log"},
                  {},
                  "--share-status reads no input and writes no records"},
        ParseCase{"InfluxWithIsoTime",
                  {"--format", "influx", "-i"},
                  {},
                  "--iso-time applies to CSV only (InfluxDB lines carry the UTC time)"},
        ParseCase{"TwoFormats",
                  {"--format", "csv", "--format", "jsonl"},
                  {},
                  "only one format can be given"},
        ParseCase{"FollowWithOutputFile",
                  {"-f", "-o", "out.csv", "a.log"},
                  {},
                  "--follow cannot write to a file with -o (the output would never be complete)"},
        ParseCase{"FollowWithoutFile", {"-f"}, {}, FollowNeedsOneFile},
        ParseCase{"FollowStandardInput", {"-f", "-"}, {}, FollowNeedsOneFile},
        ParseCase{"FollowTwoFiles", {"-f", "a.log", "b.log"}, {}, FollowNeedsOneFile},
        ParseCase{"JsonLinesWithTime",
                  {"--format", "jsonl", "-t"},
                  {},
                  "--time applies to CSV only (JSON Lines carry the date and time)"},
        ParseCase{"JsonLinesWithIsoTime",
                  {"--format", "jsonl", "-i"},
                  {},
                  "--iso-time applies to CSV only (JSON Lines carry the timestamp)"},
        ParseCase{"JsonLinesWithDecimalComma",
                  {"-c", "--format", "jsonl"},
                  {},
                  "--decimal-comma applies to CSV only"},
        ParseCase{"HelpOutranksAConflict", {"-f", "--help"}, [] {
                      CommandLine line = helpOrVersion(true);
                      line.follow = true;
                      return line;
                  }(), ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalin::cli
