// Following a log file in the real main window (offscreen): the file starts with 1000 log
// lines, so the table is full, and grows by one line every 100 ms while "Follow Log File" is
// on. Prints, per update, the median, 99th percentile and maximum of: reading the new line
// and appending it to the input box, intake (onLogTextChanged), and the whole update including the
// repaint of the chart and the window.
//
// Then opens a file just below the size limit of the window (32 MB of log lines) and prints
// how long that takes, text box layout and intake included.
//
//   follow_bench [updates] [records at start]      (defaults 100 and 1000)
#include <qcustomplot.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "files/log_file.h"
#include "log_text.h"
#include "shell/main_window.h"
#include "shell/memory_tuning.h"
#include "window_timing.h"

namespace {

using orvalin::bench::PaintCounter;
using orvalin::bench::percentile;
using orvalin::bench::report;

bool appendLine(const QString& path, int second) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    return file.write((orvalin::bench::logLine(second) + QStringLiteral("\r\n")).toLatin1()) > 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    orvalin::keepLargeTextBuffersInHeap();  // as the program does at start
    QApplication app(argc, argv);
    const int updates = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int startRecords = argc > 2 ? std::clamp(std::atoi(argv[2]), 0, 1000) : 1000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pass.log"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(orvalin::bench::logText(startRecords).toLatin1()) < 0) {
            std::fprintf(stderr, "follow_bench: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }

    orvalin::MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "follow_bench: the window was not shown\n");
        return 1;
    }
    window.setFollowing(true);
    if (!window.openLogFile(path)) return 1;
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    auto* logInput = window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
    auto* plot = window.findChild<QCustomPlot*>(QStringLiteral("MSChart1"));

    QElapsedTimer clock;
    clock.start();
    qint64 changeAt = 0, intakeEnd = 0;
    QObject::connect(logInput->document(), &QTextDocument::contentsChange, logInput,
                     [&] { changeAt = clock.nsecsElapsed(); });
    // Connected after the window's own slot, so this runs when intake has ended.
    QObject::connect(logInput, &QPlainTextEdit::textChanged, logInput,
                     [&] { intakeEnd = clock.nsecsElapsed(); });
    PaintCounter chartPaints;
    plot->installEventFilter(&chartPaints);

    std::vector<double> readAppendMs, intakeMs, totalMs;
    const int firstSecond = startRecords;
    for (int i = 0; i < updates; ++i) {
        // One line every 100 ms; the window's timer and watcher run meanwhile, as in use.
        QTest::qWait(100);
        if (!appendLine(path, firstSecond + i)) return 1;
        const qint64 t0 = clock.nsecsElapsed();
        changeAt = intakeEnd = 0;
        window.checkFollowedFile();  // what the watcher or the timer runs
        if (changeAt == 0) {
            std::fprintf(stderr, "follow_bench: update %d brought no change\n", i);
            return 1;
        }
        const int paintsBefore = chartPaints.paints;
        for (int turn = 0; turn < 10 && chartPaints.paints == paintsBefore; ++turn)
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        const qint64 t1 = clock.nsecsElapsed();
        readAppendMs.push_back(static_cast<double>(changeAt - t0) / 1e6);
        intakeMs.push_back(static_cast<double>(intakeEnd - changeAt) / 1e6);
        totalMs.push_back(static_cast<double>(t1 - t0) / 1e6);
    }
    const int expected = std::min(1000, startRecords + updates);
    if (window.records().count() != expected) {
        std::fprintf(stderr, "follow_bench: %d records instead of %d\n", window.records().count(),
                     expected);
        return 1;
    }
    std::printf(
        "follow_bench: %d records at start, %d lines appended one every 100 ms, offscreen\n",
        startRecords, updates);
    report("read + append to the input box", readAppendMs);
    report("intake (onLogTextChanged)", intakeMs);
    report("one update in all (with repaint)", totalMs);

    // The largest file the window takes.
    window.setFollowing(false);
    const QString large = dir.filePath(QStringLiteral("large.log"));
    {
        const QByteArray text = orvalin::bench::logText(1000).toLatin1();
        QFile file(large);
        if (!file.open(QIODevice::WriteOnly)) return 1;
        while (file.size() + text.size() <= orvalin::LogFileSizeLimit) file.write(text);
    }
    const qint64 o0 = clock.nsecsElapsed();
    if (!window.openLogFile(large)) return 1;
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    std::printf("open of a %.1f MB log file (text box, intake, repaint): %.0f ms\n",
                static_cast<double>(QFile(large).size()) / (1024.0 * 1024.0),
                static_cast<double>(clock.nsecsElapsed() - o0) / 1e6);
    return 0;
}
