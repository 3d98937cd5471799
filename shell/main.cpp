// The Orvalin Telemetry Decoder window: orvalin-decoder [--follow] [FILE]
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

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

// Qt's messages while the QApplication connects to the display, held until it is known whether
// it could: without a display the platform plugin ends the program with warnings, an abort and
// a hint to reinstall, where one line says what is wrong. The handler is a plain function, so
// what it holds lives here.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> heldMessages;

// Gives the held messages their ordinary way out, and stops holding.
void releaseStartMessages() {
    qInstallMessageHandler(nullptr);
    for (const HeldMessage& held : heldMessages)
        qt_message_output(held.type,
                          QMessageLogContext(nullptr, 0, nullptr, held.category.constData()),
                          held.text);
    heldMessages.clear();
}

void holdStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages.push_back({type, context.category, text});
        return;
    }
    // No platform plugin could open a window. With a display named, the held warnings say why.
    const bool displayNamed =
        qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (displayNamed) {
        releaseStartMessages();
    }
    std::fputs(displayNamed ? "orvalin-decoder: cannot open the window on the display; "
                              "orvalin-decode decodes log files without one\n"
                            : "orvalin-decoder: no display to open the window on; "
                              "orvalin-decode decodes log files without one\n",
               stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    orvalin::keepLargeTextBuffersInHeap();
    if (const std::optional<int> status = answerWithoutDisplay(argc, argv)) return *status;

    qInstallMessageHandler(holdStartMessage);
    QApplication app(argc, argv);
    releaseStartMessages();
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
