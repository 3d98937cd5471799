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

CommandLine helpOrVersion(bool help) {
    CommandLine line;
    (help ? line.help : line.version) = true;
    return line;
}

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
        ParseCase{"OutputWithoutName", {"a.log", "-o"}, {}, "option '-o' needs a file name"},
        ParseCase{"LongOutputWithoutName", {"--output"}, {}, "option '--output' needs a file name"},
        ParseCase{"EmptyOutputName", {"--output="}, {}, "the output file name is empty"},
        ParseCase{"TwoOutputs", {"-o", "a", "-ob"}, {}, "only one output file can be given"},
        ParseCase{"FlagWithValue", {"--time=yes"}, {}, "option '--time' takes no value"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalin::cli
