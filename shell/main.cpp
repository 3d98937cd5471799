// The Orvalin Telemetry Decoder window: orvalin-decoder [--follow] [FILE]
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <optional>

#include "shell/main_window.h"
#include "shell/memory_tuning.h"
#include "shell/window_command_line.h"

namespace {

// Prints what the command line asked for and gives the exit status; none when the window runs.
std::optional<int> answer(const orvalin::WindowCommandLine& commandLine) {
    using Action = orvalin::WindowCommandLine::Action;
    if (commandLine.action == Action::Run) return std::nullopt;
    const bool failed = commandLine.action == Action::Fail;
    std::fputs(commandLine.text.toLocal8Bit().constData(), failed ? stderr : stdout);
    return failed ? 2 : 0;
}

// --help, --version and usage errors without a display: a QCoreApplication opens none.
std::optional<int> answerWithoutDisplay(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    return answer(orvalin::parseWindowCommandLine(QCoreApplication::arguments(),
                                                  orvalin::ToolkitOptions::MayBePresent));
}

}  // namespace

int main(int argc, char** argv) {
    orvalin::keepLargeTextBuffersInHeap();
    if (const std::optional<int> status = answerWithoutDisplay(argc, argv)) return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvalin Telemetry Decoder"));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(ORVALIN_APP_ID));
    const orvalin::WindowCommandLine commandLine =
        orvalin::parseWindowCommandLine(QApplication::arguments());
    if (const std::optional<int> status = answer(commandLine)) return *status;

    orvalin::MainWindow window;
    window.show();
    window.applyCommandLine(commandLine.options);
    // The program ends when its last window closes (an open Info dialog keeps it running).
    return QApplication::exec();
}
