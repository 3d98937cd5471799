// The window program's command line. Help and version are answered before any display is
// opened, so they work over ssh and in scripts; everything else is parsed again once the
// QApplication has taken its own options (-platform, -style, ...) out of the arguments.
#pragma once

#include <QString>
#include <QStringList>

namespace orvalin {

inline constexpr char WindowProgramName[] = "orvalin-decoder";

// The window's options: orvalin-decoder [--follow] [FILE...].
struct WindowOptions {
    bool follow = false;  // follow the (last) opened file as it grows
    QStringList files;    // log files to open at start, joined in this order
};

struct WindowCommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Fail };
    Action action = Action::Run;
    QString text;  // the help or version text for standard output, the error for standard error
    WindowOptions options;
};

// Before the QApplication exists, an argument such as "-platform" or "-style" may be one of
// the toolkit's own options; an error that such an argument may explain is left for the parse
// after it (the action is then Run).
enum class ToolkitOptions { MayBePresent, Removed };

// arguments as QCoreApplication::arguments() gives them, the program path first. Needs a
// QCoreApplication (or QApplication) to exist.
WindowCommandLine parseWindowCommandLine(const QStringList& arguments,
                                         ToolkitOptions toolkit = ToolkitOptions::Removed);

// "orvalin-decoder 0.2\n".
QString windowVersionText();

}  // namespace orvalin
