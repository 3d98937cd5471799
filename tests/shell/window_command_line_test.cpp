// The window's command line, before the QApplication exists (toolkit options may be present)
// and after it has taken them out.
#include "shell/window_command_line.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace orvalin::test {
namespace {

using Action = WindowCommandLine::Action;

struct CommandLineCase {
    const char* name;
    QStringList arguments;  // after the program path
    ToolkitOptions toolkit;
    Action action;
    const char* textHas;  // part of the help, version or error text
    bool follow = false;
    QStringList files = {};
};

// clang-format off
const CommandLineCase CommandLineCases[] = {
    {.name = "nothing", .arguments = {}, .toolkit = ToolkitOptions::MayBePresent,
     .action = Action::Run, .textHas = ""},
    {.name = "version", .arguments = {"--version"}, .toolkit = ToolkitOptions::MayBePresent,
     .action = Action::ShowVersion, .textHas = "orvalin-decoder 0.2\n"},
    {.name = "version_short", .arguments = {"-v"}, .toolkit = ToolkitOptions::Removed,
     .action = Action::ShowVersion, .textHas = "orvalin-decoder 0.2\n"},
    {.name = "help", .arguments = {"--help"}, .toolkit = ToolkitOptions::MayBePresent,
     .action = Action::ShowHelp, .textHas = "--version"},
    {.name = "help_short_wins_over_version", .arguments = {"-h", "-v"},
     .toolkit = ToolkitOptions::Removed, .action = Action::ShowHelp, .textHas = "--help"},
    {.name = "unknown_option", .arguments = {"--bogus"}, .toolkit = ToolkitOptions::MayBePresent,
     .action = Action::Fail, .textHas = "Unknown option 'bogus'"},
    {.name = "file_and_follow", .arguments = {"--follow", "a.log", "b.log"},
     .toolkit = ToolkitOptions::Removed, .action = Action::Run, .textHas = "",
     .follow = true, .files = {"a.log", "b.log"}},
    {.name = "follow_has_no_value", .arguments = {"--follow=a.log"},
     .toolkit = ToolkitOptions::Removed, .action = Action::Fail, .textHas = "follow"},
    // Before the QApplication: "-platform offscreen" may be the toolkit's, so it waits.
    {.name = "toolkit_option_waits", .arguments = {"-platform", "offscreen", "--version"},
     .toolkit = ToolkitOptions::MayBePresent, .action = Action::Run, .textHas = ""},
    {.name = "single_dash_word_after_toolkit", .arguments = {"-platform"},
     .toolkit = ToolkitOptions::Removed, .action = Action::Fail, .textHas = "Unknown option"},
    {.name = "after_double_dash_a_file", .arguments = {"--", "-style"},
     .toolkit = ToolkitOptions::MayBePresent, .action = Action::Run, .textHas = "",
     .files = {"-style"}},
};
// clang-format on

class WindowCommandLineTable : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(WindowCommandLineTable, Parses) {
    const CommandLineCase& c = GetParam();
    const WindowCommandLine result =
        parseWindowCommandLine(QStringList{"orvalin-decoder"} + c.arguments, c.toolkit);
    EXPECT_EQ(result.action, c.action);
    EXPECT_TRUE(result.text.contains(QString::fromUtf8(c.textHas))) << result.text.toStdString();
    EXPECT_EQ(result.options.follow, c.follow);
    EXPECT_EQ(result.options.files, c.files);
    if (c.action == Action::Fail) {
        EXPECT_TRUE(result.text.endsWith("Try 'orvalin-decoder --help'.\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(Arguments, WindowCommandLineTable, ::testing::ValuesIn(CommandLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalin::test
