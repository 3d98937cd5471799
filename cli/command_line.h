// Options of orvalin-decode and their help text.
#pragma once

#include <QtGlobal>
#include <optional>
#include <string>
#include <vector>

#include "export/record_format.h"

namespace orvalin::cli {

inline constexpr const char* ProgramName = "orvalin-decode";

struct CommandLine {
    bool withTime = false;                    // --time
    bool decimalComma = false;                // --decimal-comma
    bool report = false;                      // --report
    bool follow = false;                      // --follow
    bool isoTime = false;                     // --iso-time
    OutputFormat format = OutputFormat::Csv;  // --format
    bool help = false;                        // --help
    bool version = false;                     // --version
    std::string outputPath;                   // -o FILE; empty: standard output
    bool share = false;                       // --share
    std::string configPath;                   // --config FILE; empty: the user's conf.ini
    std::string archivePath;                  // --archive FILE; empty: the user's archive
    int shareWaitSeconds = 60;                // --share-wait SECONDS
    bool dryRun = false;                      // --dry-run: the forms --share would post
    bool shareStatus = false;                 // --share-status
    bool retryRejected = false;               // --share-retry-rejected
    bool import = false;                      // --import: keep the frames, write no records
    bool fromArchive = false;                 // --from-archive: the archive's frames as records
    std::optional<qint64> since;              // --since TIME: UTC seconds, inclusive
    std::optional<qint64> until;              // --until TIME: UTC seconds, exclusive
    std::vector<std::string> inputs;          // "-" is standard input; none: standard input
};

struct ParsedCommandLine {
    CommandLine options;
    std::string error;  // a usage error, empty when the arguments are fine
};

// Parses the arguments after the program name with QCommandLineParser: short options may be
// bundled ("-tr"), "-o" takes the next argument or the rest of its own ("-oout.csv"),
// "--output=FILE" works too, and "--" ends the options. Arguments are bytes, as the system
// gives them; file names come back unchanged whatever their encoding.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

std::string usageText();
std::string helpText();
std::string versionText();

}  // namespace orvalin::cli
