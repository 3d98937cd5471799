// Typing into the real main window (offscreen) with 1000 records in the input box: every
// keystroke rescans the whole text and refreshes the record view and the chart. Prints the
// median and 99th percentile of the handler time and of the repaint time, the chart redraws
// per keystroke and the peak memory.
//
//   window_bench [keystrokes]      (default 400; a typed character and a Backspace alternate)
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "log_text.h"
#include "shell/main_window.h"
#include "shell/memory_tuning.h"
#include "views/bar_chart.h"
#include "window_timing.h"

using orvalin::bench::PaintCounter;
using orvalin::bench::percentile;
using orvalin::bench::report;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    orvalin::keepLargeTextBuffersInHeap();  // as the program does at start
    QApplication app(argc, argv);
    const int keystrokes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 400;

    orvalin::MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "window_bench: the window was not shown\n");
        return 1;
    }
    auto* logInput = window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
    QWidget* plot = window.controls().chartWidget;
    logInput->setPlainText(orvalin::bench::logText(1000));
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    if (window.records().count() != 1000) {
        std::fprintf(stderr, "window_bench: %d records instead of 1000\n",
                     window.records().count());
        return 1;
    }
    logInput->setFocus();
    logInput->moveCursor(QTextCursor::End);

    // Handler: from the document's change to the end of the window's own textChanged slot
    // (connected first, so the slot below runs right after it).
    QElapsedTimer clock;
    clock.start();
    qint64 handlerStart = 0;
    std::vector<double> handlerMs, keyMs, repaintMs, totalMs;
    QObject::connect(logInput->document(), &QTextDocument::contentsChange, logInput,
                     [&] { handlerStart = clock.nsecsElapsed(); });
    QObject::connect(logInput, &QPlainTextEdit::textChanged, logInput, [&] {
        handlerMs.push_back(static_cast<double>(clock.nsecsElapsed() - handlerStart) / 1e6);
    });
    int redraws = 0;
    QObject::connect(&window.chart(), &orvalin::BarChart::redrawn, [&] { ++redraws; });
    PaintCounter chartPaints;
    plot->installEventFilter(&chartPaints);

    for (int i = 0; i < keystrokes; ++i) {
        const qint64 t0 = clock.nsecsElapsed();
        if (i % 2 == 0) {
            QTest::keyClick(logInput, Qt::Key_X);
        } else {
            QTest::keyClick(logInput, Qt::Key_Backspace);
        }
        const qint64 t1 = clock.nsecsElapsed();
        // Repaint: the queued chart redraw and the paint of the window, in the next turns of
        // the event loop.
        const int paintsBefore = chartPaints.paints;
        for (int turn = 0; turn < 10 && chartPaints.paints == paintsBefore; ++turn)
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        const qint64 t2 = clock.nsecsElapsed();
        keyMs.push_back(static_cast<double>(t1 - t0) / 1e6);
        repaintMs.push_back(static_cast<double>(t2 - t1) / 1e6);
        totalMs.push_back(static_cast<double>(t2 - t0) / 1e6);
    }
    if (window.records().count() != 1000 || handlerMs.size() != static_cast<size_t>(keystrokes)) {
        std::fprintf(stderr, "window_bench: unexpected state after typing\n");
        return 1;
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "window_bench: 1000 records in the input box, %d keystrokes at its end "
        "(typed character and Backspace alternating), offscreen\n",
        keystrokes);
    report("handler (onLogTextChanged)", handlerMs);
    report("key event (text box edit + handler)", keyMs);
    report("repaint (chart redraw + window paint)", repaintMs);
    report("one keystroke in all", totalMs);
    std::printf("chart redraws per keystroke: %.2f\n", static_cast<double>(redraws) / keystrokes);
    std::printf("peak memory (ru_maxrss): %.1f MiB\n",
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
