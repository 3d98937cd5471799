#include "cli/command_line.h"

#include <string_view>

#ifndef ORVALIN_VERSION
#define ORVALIN_VERSION "0.2"
#endif

namespace orvalin::cli {

namespace {

struct Flag {
    char shortName;
    std::string_view longName;
    bool CommandLine::*member;
};

constexpr Flag Flags[] = {
    {'t', "time", &CommandLine::withTime},   {'c', "decimal-comma", &CommandLine::decimalComma},
    {'r', "report", &CommandLine::report},   {'h', "help", &CommandLine::help},
    {'V', "version", &CommandLine::version},
};

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    ParsedCommandLine run() {
        bool optionsEnded = false;
        for (next_ = 0; next_ < args_.size() && result_.error.empty();) {
            const std::string& arg = args_[next_++];
            if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
                result_.options.inputs.push_back(arg);
            } else if (arg == "--") {
                optionsEnded = true;
            } else if (arg[1] == '-') {
                longOption(std::string_view(arg).substr(2));
            } else {
                shortOptions(std::string_view(arg).substr(1));
            }
        }
        return result_;
    }

private:
    void longOption(std::string_view text) {
        const std::size_t equals = text.find('=');
        const std::string_view name = text.substr(0, equals);
        if (name == "output") {
            if (equals != std::string_view::npos) return setOutput(text.substr(equals + 1));
            return outputFromNext("--output");
        }
        for (const Flag& flag : Flags) {
            if (name != flag.longName) continue;
            if (equals != std::string_view::npos)
                return fail("option '--" + std::string(name) + "' takes no value");
            result_.options.*flag.member = true;
            return;
        }
        fail("unknown option '--" + std::string(name) + "'");
    }

    void shortOptions(std::string_view letters) {
        for (std::size_t i = 0; i < letters.size(); ++i) {
            if (letters[i] == 'o') {
                if (i + 1 < letters.size()) return setOutput(letters.substr(i + 1));
                return outputFromNext("-o");
            }
            bool known = false;
            for (const Flag& flag : Flags) {
                if (letters[i] != flag.shortName) continue;
                result_.options.*flag.member = true;
                known = true;
            }
            if (!known) return fail(std::string("unknown option '-") + letters[i] + "'");
        }
    }

    void outputFromNext(const std::string& option) {
        if (next_ >= args_.size()) return fail("option '" + option + "' needs a file name");
        setOutput(args_[next_++]);
    }

    void setOutput(std::string_view path) {
        if (path.empty()) return fail("the output file name is empty");
        if (!result_.options.outputPath.empty()) return fail("only one output file can be given");
        result_.options.outputPath.assign(path);
    }

    void fail(std::string message) { result_.error = std::move(message); }

    const std::vector<std::string>& args_;
    std::size_t next_ = 0;
    ParsedCommandLine result_;
};

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    return Parser(args).run();
}

std::string usageText() {
    return std::string("Usage: ") + ProgramName +
           " [-t] [-c] [-r] [-o FILE] [FILE...]\n"
           "Try '" +
           ProgramName + " --help' for more information.\n";
}

std::string helpText() {
    return std::string("Usage: ") + ProgramName + " [OPTIONS] [FILE...]\n" +
           R"(Decode Orvalin telemetry log lines into semicolon-separated CSV.

Reads the named log files in order, or standard input when no FILE is given or a
FILE is "-". Lines end in LF or CR LF. A line is accepted when it has exactly 81
characters with "!" at position 1, "@" at 10 and ";" at 17; each accepted
line becomes one CSV record of the 29 channel values, in the format of the window's
CSV export: a header of the channel captions, ";" after every field, CR LF line ends.

Options:
  -o, --output FILE    write the CSV to FILE instead of standard output ("-");
                       FILE is replaced only once the whole output is written
  -t, --time           put the columns Date and Time (as written in the line) first
  -c, --decimal-comma  write a comma as the decimal separator (default: a point,
                       whatever the locale)
  -r, --report         list every rejected non-empty line on standard error as
                       FILE:LINE: reason, and the numbers of lines at the end
  -h, --help           show this help and exit
  -V, --version        show the version and exit

Log files are read as UTF-8; every byte that is not valid UTF-8 counts as one
character. A FILE that cannot be read is reported and skipped, and the other files
are still decoded; the exit status is then 1 and an output file named with -o is
left as it was.

Exit status: 0 when every file was decoded and the output written, 1 when a file
could not be read or the output could not be written, 2 for wrong usage.
)";
}

std::string versionText() {
    return std::string(ProgramName) + " " ORVALIN_VERSION "\n";
}

}  // namespace orvalin::cli
