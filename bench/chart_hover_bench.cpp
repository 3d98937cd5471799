// Reading the chart of the real main window (offscreen) with 1000 records: the answer to a
// pointer over the chart (which bar, and the tool tip text), the tool tip event as the widget
// gets it, mouse moves while the tool tip is shown, and moving the mark to another bar. The
// counter full_redraws counts redraws of the whole chart during each benchmark; none of these
// actions may cause one.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolTip>
#include <vector>

#include "log_text.h"
#include "shell/input_box.h"
#include "shell/main_window.h"
#include "views/bar_chart.h"

namespace {

struct Window {
    orvalin::MainWindow form;
    QWidget* chartWidget = nullptr;
    std::vector<QPoint> points;  // over every bar, and as many beside or above one
    int redraws = 0;

    bool open() {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) return false;
        form.controls().logInput->setPlainText(orvalin::bench::logText(1000));
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        chartWidget = form.controls().chartWidget;
        const orvalin::BarChart& chart = form.chart();
        for (int row = 1; row <= chart.rowCount(); ++row) {
            const QRectF bar = chart.barRect(row);
            points.push_back(bar.center().toPoint());
            points.push_back(QPoint(static_cast<int>(bar.center().x()), 2));
        }
        QObject::connect(&form.chart(), &orvalin::BarChart::redrawn, [this] { ++redraws; });
        return form.records().count() == 1000 && chart.drawnBars().size() == 1000;
    }
};

void countRedraws(benchmark::State& state, const Window& window, int before) {
    state.counters["full_redraws"] = window.redraws - before;
}

void BM_HoverAnswer(benchmark::State& state, Window* window) {
    const int before = window->redraws;
    std::size_t i = 0;
    for (auto _ : state) {
        const QString tip = window->form.chart().toolTipAt(window->points[i]);
        benchmark::DoNotOptimize(tip.constData());
        i = (i + 1) % window->points.size();
    }
    countRedraws(state, *window, before);
}

void BM_ToolTipEvent(benchmark::State& state, Window* window) {
    const int before = window->redraws;
    std::size_t i = 0;
    for (auto _ : state) {
        const QPoint at = window->points[i];
        QHelpEvent help(QEvent::ToolTip, at, window->chartWidget->mapToGlobal(at));
        QCoreApplication::sendEvent(window->chartWidget, &help);
        i = (i + 1) % window->points.size();
    }
    QToolTip::hideText();
    countRedraws(state, *window, before);
}

void BM_MouseMoveWithToolTipShown(benchmark::State& state, Window* window) {
    QWidget* widget = window->chartWidget;
    const QPoint first = window->points[0];
    QHelpEvent help(QEvent::ToolTip, first, widget->mapToGlobal(first));
    QCoreApplication::sendEvent(widget, &help);
    const int before = window->redraws;
    std::size_t i = 0;
    for (auto _ : state) {
        const QPointF at = window->points[i];
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &move);
        i = (i + 1) % window->points.size();
    }
    state.counters["tip_visible"] = QToolTip::isVisible() ? 1 : 0;
    QToolTip::hideText();
    countRedraws(state, *window, before);
}

// One step of the navigator as far as the chart is concerned: the mark moves and the widget
// repaints (composing the unchanged bars with the redrawn mark).
void BM_MarkMoveAndRepaint(benchmark::State& state, Window* window) {
    const int before = window->redraws;
    int row = 1;
    for (auto _ : state) {
        window->form.chart().setMarkedRow(row);
        window->chartWidget->repaint();
        row = row % 1000 + 1;
    }
    countRedraws(state, *window, before);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Window window;
    if (!window.open()) {
        std::fprintf(stderr, "chart_hover_bench: the window did not show 1000 bars\n");
        return 1;
    }
    benchmark::RegisterBenchmark("BM_HoverAnswer/1000bars", BM_HoverAnswer, &window)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_ToolTipEvent/1000bars", BM_ToolTipEvent, &window)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_MouseMoveWithToolTipShown/1000bars",
                                 BM_MouseMoveWithToolTipShown, &window)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_MarkMoveAndRepaint/1000bars", BM_MarkMoveAndRepaint, &window)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
