// The Orvalin Telemetry Decoder window.
#include <QApplication>

#include "shell/main_window.h"
#include "shell/memory_tuning.h"

int main(int argc, char** argv) {
    orvalin::keepLargeTextBuffersInHeap();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvalin Telemetry Decoder"));
    orvalin::Form1 window;
    window.show();
    // The program ends when its last window closes (an open Info dialog keeps it running).
    return QApplication::exec();
}
