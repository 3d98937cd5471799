// The Mission History window (offscreen) with a million frames in the station archive, about
// three years of one station: passes of ten minutes, a frame every 5 s, a pass every three hours.
// The archive is written first; then a program of its own opens the window as the main window
// does (the background load from the archive) and prints the time to the first drawn chart of
// all frames, of a zoom step and a pan step (key to repainted chart), of a change of channel,
// and the memory it holds with the history open.
//
//   history_bench [steps]            (default 200 zoom and pan steps, 58 channel changes)
//   history_bench --window A steps   (internal) the window on archive A
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "archive/frame_archive.h"
#include "process_memory.h"
#include "shell/history_loader.h"
#include "shell/history_window.h"
#include "views/history_chart.h"
#include "window_timing.h"

using orvalin::HistoryFrame;
using orvalin::bench::PaintCounter;
using orvalin::bench::report;

namespace {

constexpr std::size_t FrameCount = 1'000'000;
constexpr std::size_t SliceFrames = 20'000;  // frames kept in one transaction

std::vector<HistoryFrame> missionFrames() {
    std::mt19937 random(2026);
    std::vector<HistoryFrame> frames;
    frames.reserve(FrameCount);
    qint64 passStart = 1'700'000'000;
    while (frames.size() < FrameCount) {
        for (int i = 0; i < 120 && frames.size() < FrameCount; ++i) {
            HistoryFrame frame{.utc = passStart + 5 * i, .bytes = {}};
            for (auto& byte : frame.bytes) byte = static_cast<std::uint8_t>(100 + random() % 40);
            frames.push_back(frame);
        }
        passStart += 3 * 3600 + static_cast<qint64>(random() % 1800);
    }
    return frames;
}

double msSince(const QElapsedTimer& clock, qint64 startNs) {
    return static_cast<double>(clock.nsecsElapsed() - startNs) / 1e6;
}

// Runs the event loop until the chart has been repainted `paints` times more than `before`.
void waitForPaint(const PaintCounter& counter, int before) {
    for (int turn = 0; turn < 1000 && counter.paints <= before; ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The frames in the archive at `path`, logged in UTC; false with a message on trouble.
bool writeArchive(const QString& path) {
    auto opened = orvalin::FrameArchive::open(path, {});
    if (!opened) {
        std::fprintf(stderr, "history_bench: %s\n", qPrintable(opened.failure().text));
        return false;
    }
    const std::vector<HistoryFrame> frames = missionFrames();
    for (std::size_t at = 0; at < frames.size(); at += SliceFrames) {
        QList<orvalin::NewFrame> slice;
        for (std::size_t i = at; i < std::min(frames.size(), at + SliceFrames); ++i) {
            orvalin::NewFrame kept{.frame = {.bytes = frames[i].bytes, .trueHex = true},
                                   .utc = frames[i].utc};
            const QString logged = QDateTime::fromSecsSinceEpoch(frames[i].utc, Qt::UTC)
                                       .toString(QStringLiteral("ddMMyyyyHHmmss"));
            std::copy_n(logged.utf16(), kept.frame.logged.size(), kept.frame.logged.begin());
            slice.append(kept);
        }
        if (auto added = (*opened)->add(slice, std::nullopt); !added) {
            std::fprintf(stderr, "history_bench: %s\n", qPrintable(added.failure().text));
            return false;
        }
    }
    return true;
}

}  // namespace

// The window on the archive, as TLM File > Mission History... opens it.
int runWindow(const QString& archive, int steps) {
    const double startMiB = orvalin::bench::statusMiB("VmRSS");  // the toolkit alone
    QElapsedTimer clock;
    clock.start();
    orvalin::HistoryWindow window;
    PaintCounter chartPaints;
    window.chart().plotArea()->installEventFilter(&chartPaints);
    orvalin::HistoryLoader loader(archive, &window);
    window.show();
    orvalin::HistoryChart& chart = window.chart();
    while (chart.drawn().figures.frameCount != FrameCount && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double firstDrawMs = msSince(clock, 0);
    if (window.series().size() != FrameCount || chart.drawn().figures.frameCount != FrameCount) {
        std::fprintf(stderr, "history_bench: %zu frames drawn of %zu\n",
                     chart.drawn().figures.frameCount, window.series().size());
        return 1;
    }

    const auto timeKeys = [&](Qt::Key first, Qt::Key second) {
        std::vector<double> ms;
        for (int i = 0; i < steps; ++i) {
            const int before = chartPaints.paints;
            const qint64 start = clock.nsecsElapsed();
            QTest::keyClick(&chart, i % 2 == 0 ? first : second);
            waitForPaint(chartPaints, before);
            ms.push_back(msSince(clock, start));
        }
        return ms;
    };
    // Zoom steps around everything (+ then -), and pan steps in a range of a tenth of it.
    const std::vector<double> zoomMs = timeKeys(Qt::Key_Plus, Qt::Key_Minus);
    chart.zoomBy(0.1);
    QCoreApplication::processEvents();
    const std::vector<double> panMs = timeKeys(Qt::Key_Right, Qt::Key_Left);
    chart.showNamedRange(orvalin::HistoryRange::Everything);
    QCoreApplication::processEvents();

    auto* channels = window.findChild<QComboBox*>(QStringLiteral("HistoryChannel"));
    std::vector<double> channelMs;
    for (int i = 1; i <= 2 * orvalin::ChannelCount; ++i) {
        const int before = chartPaints.paints;
        const qint64 start = clock.nsecsElapsed();
        channels->setCurrentIndex(i % orvalin::ChannelCount);
        waitForPaint(chartPaints, before);
        channelMs.push_back(msSince(clock, start));
    }

    std::printf("history_bench: %zu frames in %zu passes from the archive, offscreen\n",
                window.series().size(), window.series().passes().size());
    std::printf("%-44s %9.1f ms   (asked: under 1000 ms)\n", "opening to the chart of all frames",
                firstDrawMs);
    report("zoom step, everything (+/-, to repaint)", zoomMs);
    report("pan step, a tenth of it (arrows, to repaint)", panMs);
    report("channel change, everything (to repaint)", channelMs);
    std::printf(
        "resident memory (VmRSS): %.1f MiB with the history open (asked: under 150 MiB), "
        "%.1f MiB of it the toolkit alone; peak (VmHWM) %.1f MiB\n",
        orvalin::bench::statusMiB("VmRSS"), startMiB, orvalin::bench::statusMiB("VmHWM"));
    return 0;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--window")
        return runWindow(QString::fromLocal8Bit(argv[2]), std::max(2, std::atoi(argv[3])));
    const int steps = argc > 1 ? std::max(2, std::atoi(argv[1])) : 200;

    QTemporaryDir folder;
    const QString archive = folder.filePath(QStringLiteral("frames.sqlite"));
    QElapsedTimer clock;
    clock.start();
    if (!writeArchive(archive)) return 1;
    std::printf("writing the archive of %zu frames: %.1f s\n", FrameCount,
                msSince(clock, 0) / 1000);
    std::fflush(stdout);
    QProcess window;
    window.setProcessChannelMode(QProcess::ForwardedChannels);
    window.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--window"), archive, QString::number(steps)});
    if (!window.waitForFinished(600000)) return 1;
    return window.exitCode();
}
