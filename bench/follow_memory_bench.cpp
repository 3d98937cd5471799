// The window's memory while it follows a log all day: the real main window (offscreen) follows
// a file while this program, as the receiving software would, appends lines to it and now and
// then rotates it (renamed away, a new file begun) or replaces it (a new file renamed over it),
// the two in turn. The window sees every change through the check that its timer and file
// watcher run.
//
// Prints, as it goes and at the end, the resident memory (now and at its peak, from
// /proc/self/status), the undo steps the input box keeps, the records and the time one update
// takes. The peak is to stay under 150 MB. A run ends early, saying so, when the resident
// memory passes a limit or the time runs out.
//
//   follow_memory_bench [lines] [rotations] [lines per update] [max seconds] [max MB]
//                       (defaults 2000000 500 200 1800 1536)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "log_text.h"
#include "process_memory.h"
#include "shell/main_window.h"
#include "shell/memory_tuning.h"
#include "window_timing.h"

namespace {

// Lines `first` to `first + count - 1`, each ending in CR LF.
QByteArray logLines(int first, int count) {
    QByteArray bytes;
    bytes.reserve(qsizetype(count) * 83);
    for (int i = first; i < first + count; ++i)
        bytes += (orvalin::bench::logLine(i) + QStringLiteral("\r\n")).toLatin1();
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode) {
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    orvalin::keepLargeTextBuffersInHeap();  // as the program does at start
    QApplication app(argc, argv);
    const auto argument = [&](int i, long long fallback) {
        return argc > i ? std::max(1LL, std::atoll(argv[i])) : fallback;
    };
    const long long totalLines = argument(1, 2000000);
    const long long rotations = argument(2, 500);
    const int linesPerUpdate = static_cast<int>(argument(3, 200));
    const long long maxSeconds = argument(4, 1800);
    const double maxMegabytes = static_cast<double>(argument(5, 1536));
    const long long linesPerFile = std::max(1LL, totalLines / (rotations + 1));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pass.log"));
    const QString rotated = dir.filePath(QStringLiteral("pass.log.1"));
    const QString replacement = dir.filePath(QStringLiteral("pass.log.new"));
    if (!writeFile(path, logLines(0, linesPerUpdate), QIODevice::WriteOnly)) {
        std::fprintf(stderr, "follow_memory_bench: cannot write %s\n", qPrintable(path));
        return 1;
    }

    orvalin::MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "follow_memory_bench: the window was not shown\n");
        return 1;
    }
    window.setFollowing(true);
    if (!window.openLogFile(path)) return 1;
    QCoreApplication::processEvents();
    auto* logInput = window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
    const double startMegabytes = orvalin::bench::statusMiB("VmRSS");
    std::printf(
        "follow_memory_bench: %lld lines, %lld rotations and replacements (one every %lld "
        "lines), %d lines an update, offscreen\n",
        totalLines, rotations, linesPerFile, linesPerUpdate);
    const auto progress = [&](const char* when, long long written, long long turns) {
        std::printf(
            "%-8s %9lld lines %4lld rotations  resident %7.1f MB  peak %7.1f MB  undo steps %6d  "
            "records %4d  input %8lld chars\n",
            when, written, turns, orvalin::bench::statusMiB("VmRSS"),
            orvalin::bench::statusMiB("VmHWM"), logInput->document()->availableUndoSteps(),
            window.records().count(),
            static_cast<long long>(logInput->document()->characterCount()));
        std::fflush(stdout);
    };
    progress("start", linesPerUpdate, 0);

    QElapsedTimer clock;
    clock.start();
    std::vector<double> updateMs;
    long long written = linesPerUpdate;
    long long inFile = linesPerUpdate;
    long long turns = 0;
    const char* stopped = nullptr;
    while (written < totalLines) {
        const int count =
            static_cast<int>(std::min<long long>(linesPerUpdate, totalLines - written));
        const QByteArray lines = logLines(static_cast<int>(written % 86400), count);
        bool ok = true;
        if (inFile >= linesPerFile && turns < rotations) {
            ++turns;
            inFile = 0;
            if (turns % 2 == 1) {
                // Rotated: renamed away, then begun anew under the same name.
                QFile::remove(rotated);
                ok = QFile::rename(path, rotated) && writeFile(path, lines, QIODevice::WriteOnly);
            } else {
                // Replaced: a new file renamed over the old one.
                ok = writeFile(replacement, lines, QIODevice::WriteOnly) &&
                     std::rename(QFile::encodeName(replacement).constData(),
                                 QFile::encodeName(path).constData()) == 0;
            }
        } else {
            ok = writeFile(path, lines, QIODevice::WriteOnly | QIODevice::Append);
        }
        if (!ok) {
            std::fprintf(stderr, "follow_memory_bench: cannot write %s\n", qPrintable(path));
            return 1;
        }
        written += count;
        inFile += count;

        const qint64 t0 = clock.nsecsElapsed();
        window.checkFollowedFile();  // what the watcher or the timer runs
        QCoreApplication::processEvents();
        updateMs.push_back(static_cast<double>(clock.nsecsElapsed() - t0) / 1e6);
        if (!window.isFollowing()) {
            std::fprintf(stderr, "follow_memory_bench: following stopped: %s\n",
                         qPrintable(window.statusLine()->text()));
            stopped = "following stopped";
            break;
        }
        if (updateMs.size() % 1000 == 0) progress("running", written, turns);
        if (orvalin::bench::statusMiB("VmRSS") > maxMegabytes) {
            stopped = "the memory limit was reached";
            break;
        }
        if (clock.elapsed() > maxSeconds * 1000) {
            stopped = "the time ran out";
            break;
        }
    }
    progress(stopped ? "stopped" : "end", written, turns);
    if (stopped) std::printf("ended early: %s\n", stopped);
    std::printf("%.0f s in all; resident at start %.1f MB\n",
                static_cast<double>(clock.elapsed()) / 1000.0, startMegabytes);
    orvalin::bench::report("one update (check, intake, repaint)", updateMs);
    std::printf("peak resident memory %.1f MB (to stay under 150 MB)\n",
                orvalin::bench::statusMiB("VmHWM"));
    return 0;
}
