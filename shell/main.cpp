// The Orvalin Telemetry Decoder window: orvalin-decoder [--follow] [FILE]
#include <QApplication>
#include <QCommandLineParser>

#include "shell/main_window.h"
#include "shell/memory_tuning.h"

int main(int argc, char** argv) {
    orvalin::keepLargeTextBuffersInHeap();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvalin Telemetry Decoder"));
    QCommandLineParser parser;
    orvalin::Form1::addCommandLineOptions(parser);
    parser.process(app);
    orvalin::Form1 window;
    window.show();
    window.applyCommandLine(parser);
    // The program ends when its last window closes (an open Info dialog keeps it running).
    return QApplication::exec();
}
