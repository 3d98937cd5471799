#include "cli/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <string_view>

#include "settings/program_version.h"

namespace orvalin::cli {

namespace {

struct OptionInfo {
    const char* shortName;  // "" when there is none
    const char* longName;
    const char* valueName;  // "" for a flag
    const char* help;       // lines after the first are indented under it
};

// The options in the order of the help text.
constexpr OptionInfo Options[] = {
    {.shortName = "o",
     .longName = "output",
     .valueName = "FILE",
     .help = "write to FILE instead of standard output (\"-\");\n"
             "FILE is replaced only once the whole output is written"},
    {.shortName = "",
     .longName = "format",
     .valueName = "FORMAT",
     .help = "csv (the default); jsonl: one JSON object per line; or\n"
             "influx: InfluxDB line protocol at UTC times (the log's\n"
             "zone is LOG_TIME_ZONE of conf.ini)"},
    {.shortName = "t",
     .longName = "time",
     .valueName = "",
     .help = "put the columns Date and Time (as written in the line)\n"
             "first (CSV)"},
    {.shortName = "i",
     .longName = "iso-time",
     .valueName = "",
     .help = "put a column Timestamp first (CSV), before Date and\n"
             "Time: YYYY-MM-DDTHH:MM:SS, or empty when the line's date\n"
             "and time are not a real date and time"},
    {.shortName = "c",
     .longName = "decimal-comma",
     .valueName = "",
     .help = "write a comma as the decimal separator (CSV; default:\n"
             "a point, whatever the locale)"},
    {.shortName = "f",
     .longName = "follow",
     .valueName = "",
     .help = "after the end of the one FILE, keep decoding what is\n"
             "appended to it, each record written at once; read it\n"
             "again from its start when it shrinks or is replaced;\n"
             "SIGINT or SIGTERM end it with status 0"},
    {.shortName = "r",
     .longName = "report",
     .valueName = "",
     .help = "list every rejected non-empty line on standard error as\n"
             "FILE:LINE: reason, and the numbers of lines at the end"},
    {.shortName = "",
     .longName = "share",
     .valueName = "",
     .help = "also keep the frame of every accepted line in the\n"
             "station archive and send it to the mission's server\n"
             "(SHARE_URL of conf.ini); without --follow, wait until\n"
             "each is sent or rejected; the output is unchanged"},
    {.shortName = "",
     .longName = "dry-run",
     .valueName = "",
     .help = "with --share: print the form that would be posted for\n"
             "every frame of the input the server has not yet sent or\n"
             "rejected, one a line, instead of the records; post\n"
             "nothing and change nothing"},
    {.shortName = "",
     .longName = "share-status",
     .valueName = "",
     .help = "print how sharing with SHARE_URL stands (sent, waiting,\n"
             "rejected with the reasons, the last failure and the next\n"
             "try) and exit"},
    {.shortName = "",
     .longName = "share-retry-rejected",
     .valueName = "",
     .help = "put the frames SHARE_URL rejected back to waiting (after\n"
             "a setting was fixed) and exit"},
    {.shortName = "",
     .longName = "import",
     .valueName = "",
     .help = "keep the frames of the accepted lines in the station\n"
             "archive instead of writing records; with --follow, go on\n"
             "as the file grows"},
    {.shortName = "",
     .longName = "from-archive",
     .valueName = "",
     .help = "write the frames of the station archive as records, in\n"
             "order of their UTC time (frames without one last), with\n"
             "every output option; with --share, also send those the\n"
             "server never had"},
    {.shortName = "",
     .longName = "since",
     .valueName = "TIME",
     .help = "with --from-archive: only frames from TIME on (ISO 8601,\n"
             "UTC unless it names an offset: 2026-12-06T12:00:00Z)"},
    {.shortName = "",
     .longName = "until",
     .valueName = "TIME",
     .help = "with --from-archive: only frames before TIME"},
    {.shortName = "",
     .longName = "config",
     .valueName = "FILE",
     .help = "read the station settings from FILE instead of\n"
             "~/.config/orvalin-decoder/conf.ini (--share, --import,\n"
             "--from-archive, --share-status, --format influx)"},
    {.shortName = "",
     .longName = "archive",
     .valueName = "FILE",
     .help = "use the station archive FILE instead of\n"
             "~/.local/share/orvalin-decoder/frames.sqlite (--share,\n"
             "--import, --from-archive, --share-status)"},
    {.shortName = "",
     .longName = "share-wait",
     .valueName = "SECONDS",
     .help = "without --follow, wait at most SECONDS (default 60) for\n"
             "the server to take the frames (--share)"},
    {.shortName = "h", .longName = "help", .valueName = "", .help = "show this help and exit"},
    {.shortName = "V", .longName = "version", .valueName = "", .help = "show the version and exit"},
};

QCommandLineOption makeOption(const OptionInfo& info) {
    QStringList names;
    if (*info.shortName) names << QString::fromLatin1(info.shortName);
    names << QString::fromLatin1(info.longName);
    return QCommandLineOption(names, QString::fromLatin1(info.help),
                              QString::fromLatin1(info.valueName));
}

// Arguments go through Latin-1, which maps every byte to one character and back: option
// names are ASCII, and file names of any encoding come back byte for byte.
QString fromBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toBytes(const QString& text) {
    return text.toLatin1().toStdString();
}

// The parser's own message, in the form of ours ("missing value after '-o'").
std::string parserError(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString& name = unknown.first();
        return "unknown option '" + std::string(name.size() == 1 ? "-" : "--") + toBytes(name) +
               "'";
    }
    std::string text = toBytes(parser.errorText());
    if (!text.empty() && text.back() == '.') text.pop_back();
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] + 32);
    return text;
}

// An ISO 8601 date and time (or a date alone: its midnight), UTC unless it names an offset,
// as seconds since 1970.
std::optional<qint64> utcTimeOf(const QString& text) {
    QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid()) return std::nullopt;
    // A time without a zone names UTC, not the local time of this machine.
    if (time.timeSpec() == Qt::LocalTime) time.setTimeZone(QTimeZone::utc());
    return time.toSecsSinceEpoch();
}

// Combinations that cannot work; empty when the options fit together.
std::string conflict(const CommandLine& line) {
    if (line.format == OutputFormat::JsonLines) {
        if (line.withTime) return "--time applies to CSV only (JSON Lines carry the date and time)";
        if (line.isoTime) return "--iso-time applies to CSV only (JSON Lines carry the timestamp)";
    }
    if (line.format == OutputFormat::Influx && (line.withTime || line.isoTime))
        return std::string(line.withTime ? "--time" : "--iso-time") +
               " applies to CSV only (InfluxDB lines carry the UTC time)";
    if (line.format != OutputFormat::Csv && line.decimalComma)
        return "--decimal-comma applies to CSV only";
    const bool station =
        line.share || line.import || line.fromArchive || line.shareStatus || line.retryRejected;
    if (!station) {
        if (!line.configPath.empty() && line.format != OutputFormat::Influx)
            return "--config applies to --share, --import and --format influx only";
        if (!line.archivePath.empty())
            return "--archive applies to --share, --import and --from-archive only";
    }
    if (line.dryRun && !line.share) return "--dry-run applies to --share only";
    if (line.dryRun &&
        (line.format != OutputFormat::Csv || line.withTime || line.isoTime || line.decimalComma))
        return "--dry-run prints the forms, not records: no --format, -t, -i or -c";
    if ((line.since || line.until) && !line.fromArchive)
        return "--since and --until apply to --from-archive only";
    if (line.since && line.until && *line.until <= *line.since)
        return "--until must come after --since";
    const int alone =
        int(line.shareStatus) + int(line.retryRejected) + int(line.import) + int(line.fromArchive);
    if (alone > 1)
        return "--share-status, --share-retry-rejected, --import and --from-archive go one at "
               "a time";
    if (line.shareStatus || line.retryRejected) {
        if (!line.inputs.empty() || line.share || line.follow || !line.outputPath.empty())
            return std::string(line.shareStatus ? "--share-status" : "--share-retry-rejected") +
                   " reads no input and writes no records";
    }
    if (line.import) {
        if (line.share) return "--import keeps the frames; --share would also send them";
        if (!line.outputPath.empty() || line.format != OutputFormat::Csv || line.withTime ||
            line.isoTime || line.decimalComma)
            return "--import writes no records: no -o, --format, -t, -i or -c";
    }
    if (line.fromArchive) {
        if (!line.inputs.empty()) return "--from-archive reads the archive, not FILE";
        if (line.follow || line.report)
            return "--from-archive reads the archive: no --follow or --report";
    }
    if (line.follow) {
        if (!line.outputPath.empty() && line.outputPath != "-")
            return "--follow cannot write to a file with -o (the output would never be complete)";
        if (line.inputs.size() != 1 || line.inputs.front() == "-")
            return "--follow needs exactly one log file, and not standard input";
    }
    return {};
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    QCommandLineParser parser;
    for (const OptionInfo& info : Options) parser.addOption(makeOption(info));
    QStringList arguments{QString::fromLatin1(ProgramName)};
    for (const std::string& arg : args) arguments << fromBytes(arg);

    ParsedCommandLine result;
    if (!parser.parse(arguments)) {
        result.error = parserError(parser);
        return result;
    }
    CommandLine& line = result.options;
    line.withTime = parser.isSet(QStringLiteral("time"));
    line.decimalComma = parser.isSet(QStringLiteral("decimal-comma"));
    line.report = parser.isSet(QStringLiteral("report"));
    line.follow = parser.isSet(QStringLiteral("follow"));
    line.isoTime = parser.isSet(QStringLiteral("iso-time"));
    line.help = parser.isSet(QStringLiteral("help"));
    line.version = parser.isSet(QStringLiteral("version"));
    for (const QString& input : parser.positionalArguments()) line.inputs.push_back(toBytes(input));

    const QStringList outputs = parser.values(QStringLiteral("output"));
    if (outputs.size() > 1) return {{}, "only one output file can be given"};
    if (outputs.size() == 1 && outputs.first().isEmpty())
        return {{}, "the output file name is empty"};
    if (outputs.size() == 1) line.outputPath = toBytes(outputs.first());

    line.share = parser.isSet(QStringLiteral("share"));
    for (const char* name : {"config", "archive"}) {
        const QStringList values = parser.values(QString::fromLatin1(name));
        if (values.size() > 1) return {{}, std::string("only one --") + name + " can be given"};
        if (values.size() == 1 && values.first().isEmpty())
            return {{}, std::string("the --") + name + " file name is empty"};
        if (values.size() == 1)
            (name[0] == 'c' ? line.configPath : line.archivePath) = toBytes(values.first());
    }
    const QStringList waits = parser.values(QStringLiteral("share-wait"));
    if (waits.size() > 1) return {{}, "only one --share-wait can be given"};
    if (waits.size() == 1) {
        bool ok = false;
        line.shareWaitSeconds = waits.first().toInt(&ok);
        if (!ok || line.shareWaitSeconds < 0 || line.shareWaitSeconds > 86400)
            return {{}, "--share-wait takes a number of seconds from 0 to 86400"};
        if (!parser.isSet(QStringLiteral("share")))
            return {{}, "--share-wait applies to --share only"};
        if (parser.isSet(QStringLiteral("follow")))
            return {{}, "--share-wait applies without --follow only (following ends by a signal)"};
    }

    line.dryRun = parser.isSet(QStringLiteral("dry-run"));
    line.shareStatus = parser.isSet(QStringLiteral("share-status"));
    line.retryRejected = parser.isSet(QStringLiteral("share-retry-rejected"));
    line.import = parser.isSet(QStringLiteral("import"));
    line.fromArchive = parser.isSet(QStringLiteral("from-archive"));
    for (const char* name : {"since", "until"}) {
        const QStringList values = parser.values(QString::fromLatin1(name));
        if (values.size() > 1) return {{}, std::string("only one --") + name + " can be given"};
        if (values.isEmpty()) continue;
        const std::optional<qint64> time = utcTimeOf(values.first());
        if (!time)
            return {{},
                    std::string("--") + name + " takes an ISO 8601 date and time such as " +
                        "2026-12-06T12:00:00Z, not '" + toBytes(values.first()) + "'"};
        (name[0] == 's' ? line.since : line.until) = time;
    }

    const QStringList formats = parser.values(QStringLiteral("format"));
    if (formats.size() > 1) return {{}, "only one format can be given"};
    if (formats.size() == 1) {
        if (formats.first() == u"jsonl") {
            line.format = OutputFormat::JsonLines;
        } else if (formats.first() == u"influx") {
            line.format = OutputFormat::Influx;
        } else if (formats.first() != u"csv") {
            return {{}, "unknown format '" + toBytes(formats.first()) + "' (csv, jsonl or influx)"};
        }
    }
    if (!line.help && !line.version) result.error = conflict(line);
    return result;
}

std::string usageText() {
    return std::string("Usage: ") + ProgramName +
           " [-t] [-i] [-c] [-r] [-f] [--format csv|jsonl|influx]\n"
           "       [-o FILE] [--share [--dry-run] [--share-wait SECONDS]]\n"
           "       [--config FILE] [--archive FILE] [FILE...]\n"
           "   or: " +
           ProgramName +
           " --import [-f] [-r] [--config FILE] [--archive FILE] [FILE...]\n"
           "   or: " +
           ProgramName +
           " --from-archive [--since TIME] [--until TIME] [output options] [--share]\n"
           "   or: " +
           ProgramName +
           " --share-status | --share-retry-rejected [--config FILE] [--archive FILE]\n"
           "Try '" +
           ProgramName + " --help' for more information.\n";
}

std::string helpText() {
    std::string text =
        std::string("Usage: ") + ProgramName + " [OPTIONS] [FILE...]\n" +
        R"(Decode Orvalin telemetry log lines into semicolon-separated CSV, JSON Lines or
InfluxDB line protocol.

Reads the named log files in order, or standard input when no FILE is given or a
FILE is "-". Lines end where the window's input box ends them: at LF, CR LF, CR,
U+2028 or U+2029. A line is accepted when it has exactly 81
characters with "!" at position 1, "@" at 10 and ";" at 17; each accepted
line becomes one CSV record of the 29 channel values, in the format of the window's
CSV export: a header of the channel captions, ";" after every field, CR LF line ends.
With --format jsonl each accepted line becomes one JSON object on a line of its
own: "date" and "time" as the window shows them, "timestamp" (ISO 8601 or null),
then the 29 channel captions with their values, each the shortest number that
reads back to exactly the decoded value. With --format influx each becomes one
line of measurement "orvalin" with the 29 values as fields at the line's UTC
time in nanoseconds, 1 ns later for each further line of the same second; lines
without a UTC time are left out and counted on standard error.

Options:
)";
    constexpr std::size_t HelpColumn = 23;
    for (const OptionInfo& info : Options) {
        std::string names =
            *info.shortName ? std::string("  -") + info.shortName + ", " : std::string("      ");
        names += std::string("--") + info.longName;
        if (*info.valueName) names += std::string(" ") + info.valueName;
        if (names.size() >= HelpColumn) {
            // A long option with its value gets a line of its own.
            text += names;
            text += '\n';
            names.clear();
        }
        names.resize(HelpColumn, ' ');
        std::string_view help = info.help;
        for (std::size_t end; (end = help.find('\n')) != std::string_view::npos;) {
            text += names;
            text += help.substr(0, end);
            text += '\n';
            names.assign(HelpColumn, ' ');
            help.remove_prefix(end + 1);
        }
        text += names;
        text += help;
        text += '\n';
    }
    text += R"(
Log files are read as UTF-8; every byte that is not valid UTF-8 counts as one
character. A FILE that cannot be read is reported and skipped, and the other files
are still decoded; the exit status is then 1 and an output file named with -o is
left as it was.

With --share, conf.ini must give SHARE_URL, NORAD_ID, CALLSIGN, LATITUDE and
LONGITUDE (LOG_TIME_ZONE when the log's times are not UTC); see orvalin-decode(1).
The frames of the run are sent first, then those earlier runs left waiting; a
frame the server sent or rejected is not sent again. One line on standard error
says what became of the run's frames.

Exit status: 0 when every file was decoded and the output written (with
--follow: when it was ended by SIGINT or SIGTERM; with --share: and every frame
of the run that has a UTC time sent), 1 when a file could not be read or the output could not be
written (with --share: or frames of the run were rejected, or are still waiting
when --share-wait ran out; with the archive: when it could not be read or
written), 2 for wrong usage.
)";
    return text;
}

std::string versionText() {
    return std::string(ProgramName) + " " + ProgramVersion + "\n";
}

}  // namespace orvalin::cli
