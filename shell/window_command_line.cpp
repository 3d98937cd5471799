#include "shell/window_command_line.h"

#include <QCommandLineParser>

#include "settings/program_version.h"

namespace orvalin {

namespace {

// The toolkit's options are single-dash words (-platform, -style, -reverse); the window's own
// options are single letters or double-dash words.
bool mayBeToolkitOption(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != u"--"; ++i) {
        const QString& argument = arguments[i];
        if (argument.size() > 2 && argument[0] == u'-' && argument[1] != u'-') return true;
    }
    return false;
}

QString usageError(const QString& why) {
    return QLatin1String(WindowProgramName) + QStringLiteral(": ") + why +
           QStringLiteral("\nTry '") + QLatin1String(WindowProgramName) +
           QStringLiteral(" --help'.\n");
}

}  // namespace

QString windowVersionText() {
    return QLatin1String(WindowProgramName) + u' ' + QLatin1String(ProgramVersion) + u'\n';
}

WindowCommandLine parseWindowCommandLine(const QStringList& arguments, ToolkitOptions toolkit) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Decodes the telemetry of the Orvalin CubeSat from pasted reception log lines: shows\n"
        "one record at a time, charts any channel, writes a CSV file and saves pictures of the\n"
        "window."));
    // Declared here rather than with addHelpOption(), whose --help-all the parser cannot answer
    // on its own.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption follow(
        QStringLiteral("follow"),
        QStringLiteral("Follow FILE: append the lines written to it while the window is open."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(follow);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Log file to open; several are joined in order."),
                                 QStringLiteral("[FILE...]"));

    WindowCommandLine result;
    if (!parser.parse(arguments)) {
        if (toolkit == ToolkitOptions::MayBePresent && mayBeToolkitOption(arguments)) return result;
        result.action = WindowCommandLine::Action::Fail;
        result.text = usageError(parser.errorText());
    } else if (parser.isSet(help)) {
        result.action = WindowCommandLine::Action::ShowHelp;
        result.text = parser.helpText();
    } else if (parser.isSet(version)) {
        result.action = WindowCommandLine::Action::ShowVersion;
        result.text = windowVersionText();
    } else {
        result.options.follow = parser.isSet(follow);
        result.options.files = parser.positionalArguments();
    }
    return result;
}

}  // namespace orvalin
