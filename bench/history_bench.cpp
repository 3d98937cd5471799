// The Mission History window (offscreen) with a million frames, about three years of one station:
// passes of ten minutes, a frame every 5 s, a pass every three hours. Prints the time to take
// the frames in, to the first drawn chart, of a zoom step and a pan step (key to repainted
// chart), of a change of channel, and the memory the program holds with the history open.
//
//   history_bench [steps]      (default 200 zoom and pan steps, 58 channel changes)
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "shell/history_window.h"
#include "views/history_chart.h"
#include "window_timing.h"

using orvalin::HistoryFrame;
using orvalin::bench::PaintCounter;
using orvalin::bench::report;

namespace {

constexpr std::size_t FrameCount = 1'000'000;
constexpr std::size_t BatchFrames = 20'000;  // a batch of the background load

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

// A figure of /proc/self/status in MiB: "VmRSS:" now, "VmHWM:" the peak.
double statusMiB(const QByteArray& key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0.0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ')[0].toDouble() / 1024;
    }
    return 0.0;
}

double msSince(const QElapsedTimer& clock, qint64 startNs) {
    return static_cast<double>(clock.nsecsElapsed() - startNs) / 1e6;
}

// Runs the event loop until the chart has been repainted `paints` times more than `before`.
void waitForPaint(const PaintCounter& counter, int before) {
    for (int turn = 0; turn < 1000 && counter.paints <= before; ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(2, std::atoi(argv[1])) : 200;
    const double startMiB = statusMiB("VmRSS:");  // the toolkit alone

    orvalin::HistoryWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "history_bench: the window was not shown\n");
        return 1;
    }
    orvalin::HistoryChart& chart = window.chart();
    PaintCounter chartPaints;
    chart.plotArea()->installEventFilter(&chartPaints);
    QCoreApplication::processEvents();

    std::vector<HistoryFrame> frames = missionFrames();
    QElapsedTimer clock;
    clock.start();
    // The background load's batches, as the window takes them on its thread.
    window.setLoading(true);
    for (std::size_t at = 0; at < frames.size(); at += BatchFrames) {
        const auto end =
            frames.begin() + static_cast<long>(std::min(frames.size(), at + BatchFrames));
        window.addFrames({frames.begin() + static_cast<long>(at), end});
    }
    window.setLoading(false);
    const double addMs = msSince(clock, 0);
    frames = {};
    frames.shrink_to_fit();
    const int paintsBefore = chartPaints.paints;
    for (int turn = 0; turn < 1000; ++turn) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (chartPaints.paints > paintsBefore && chart.drawn().figures.frameCount == FrameCount)
            break;
    }
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

    std::printf("history_bench: %zu frames in %zu passes (batches of %zu), offscreen\n",
                window.series().size(), window.series().passes().size(), BatchFrames);
    std::printf("%-44s %9.1f ms\n", "taking in the frames (addFrames)", addMs);
    std::printf("%-44s %9.1f ms   (asked: under 1000 ms)\n", "to the first drawn chart",
                firstDrawMs);
    report("zoom step, everything (+/-, to repaint)", zoomMs);
    report("pan step, a tenth of it (arrows, to repaint)", panMs);
    report("channel change, everything (to repaint)", channelMs);
    std::printf(
        "resident memory (VmRSS): %.1f MiB with the history open (asked: under 150 MiB), "
        "%.1f MiB of it the toolkit alone; peak (VmHWM) %.1f MiB, the generated frames "
        "held beside the window's while they were taken in\n",
        statusMiB("VmRSS:"), startMiB, statusMiB("VmHWM:"));
    return 0;
}
