// The history chart driven as a user does: keys zoom, pan and show everything, a click picks the
// nearest frame, a screen reader hears the shown range, and new frames move only a named range.
#include "views/history_chart.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>
#include <memory>

namespace orvalin {
namespace {

constexpr qint64 Day0 = 1796515200;  // 2026-12-06 00:00:00 UTC

class HistoryChartTest : public ::testing::Test {
protected:
    void SetUp() override {
        series_.add(pass(Day0, 180));
        series_.add(pass(Day0 + 20'000, 190));
        series_.add(pass(Day0 + 90'000, 200));
        chart_ = std::make_unique<HistoryChart>(series_);
        chart_->resize(800, 400);
        chart_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(chart_.get()));
        QCoreApplication::processEvents();
    }

    // Ten minutes of frames ten seconds apart, Batt Temp rising from `raw`.
    static std::vector<HistoryFrame> pass(qint64 start, int raw) {
        std::vector<HistoryFrame> frames;
        for (int i = 0; i < 60; ++i) {
            HistoryFrame frame{.utc = start + 10 * i, .bytes = {}};
            frame.bytes[9] = static_cast<std::uint8_t>(raw + i / 4);
            frames.push_back(frame);
        }
        return frames;
    }
    QString description() const {
        return QAccessible::queryAccessibleInterface(chart_.get())->text(QAccessible::Description);
    }

    HistorySeries series_;
    std::unique_ptr<HistoryChart> chart_;
};

TEST_F(HistoryChartTest, KeysZoomPanAndShowEverything) {
    const TimeRange whole = chart_->shownRange();
    EXPECT_LT(whole.from, double(Day0));
    EXPECT_GT(whole.until, double(Day0 + 90'590));
    const double width = whole.until - whole.from;
    const double middle = (whole.from + whole.until) / 2;
    const struct {
        const char* name;
        Qt::Key key;
        double width;   // share of the whole
        double middle;  // shift of the middle, share of the whole
    } steps[] = {
        {"+ zooms in", Qt::Key_Plus, 0.8, 0},
        {"+ again", Qt::Key_Plus, 0.64, 0},
        {"Right pans later", Qt::Key_Right, 0.64, 0.064},
        {"Left pans back", Qt::Key_Left, 0.64, 0},
        {"- zooms out", Qt::Key_Minus, 0.8, 0},
        {"Left again", Qt::Key_Left, 0.8, -0.08},
        {"Left stops at the first frame", Qt::Key_Left, 0.8, -0.1},
        {"Home shows everything", Qt::Key_Home, 1, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        QTest::keyClick(chart_.get(), step.key);
        const TimeRange range = chart_->shownRange();
        EXPECT_NEAR(range.until - range.from, step.width * width, 1e-6 * width);
        EXPECT_NEAR((range.from + range.until) / 2, middle + step.middle * width, 1e-6 * width);
        EXPECT_EQ(chart_->followedRange() == HistoryRange::Everything, step.width == 1);
        QCoreApplication::processEvents();
        const auto [begin, end] = series_.indicesIn(range);
        EXPECT_TRUE(description().startsWith(
            end == begin ? QStringLiteral("No frames")
                         : QStringLiteral("%1 frames from ").arg(end - begin)))
            << description().toStdString();
    }
}

TEST_F(HistoryChartTest, ScreenReaderHearsTheChannelAndTheShownFrames) {
    QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(chart_.get());
    EXPECT_EQ(chart->role(), QAccessible::Chart);
    EXPECT_EQ(chart->text(QAccessible::Name), "History of Batt Temp, C");
    EXPECT_EQ(description(),
              "180 frames from 2026-12-06 00:00:00 UTC to 2026-12-07 01:09:50 UTC; minimum 15.0 C "
              "at 2026-12-06 00:00:00 UTC; maximum 69.4 C at 2026-12-07 01:09:20 UTC");
    chart_->setChannel(18);
    QCoreApplication::processEvents();
    EXPECT_EQ(chart->text(QAccessible::Name), "History of RSSI");
    EXPECT_TRUE(description().contains("minimum 0.0 at")) << description().toStdString();
}

TEST_F(HistoryChartTest, ClickPicksTheNearestFrameAndItsToolTipNamesIt) {
    std::vector<std::size_t> picked;
    QObject::connect(chart_.get(), &HistoryChart::framePicked,
                     [&](std::size_t index) { picked.push_back(index); });
    chart_->showNamedRange(HistoryRange::LastPass);
    QCoreApplication::processEvents();
    const QPoint on = chart_->positionOf(150).toPoint();
    EXPECT_EQ(chart_->toolTipAt(on), "2026-12-07 01:05:00 UTC\nBatt Temp: 58.2 C");
    QTest::mouseClick(chart_->plotArea(), Qt::LeftButton, {}, on + QPoint(2, -3));
    // Far beside every frame, in time: nothing is picked.
    chart_->showRange({double(Day0 + 50'000), double(Day0 + 50'600)});
    QCoreApplication::processEvents();
    QTest::mouseClick(chart_->plotArea(), Qt::LeftButton, {}, chart_->plotArea()->rect().center());
    EXPECT_EQ(picked, std::vector<std::size_t>{150});
    ASSERT_TRUE(chart_->pickedFrame());
    EXPECT_EQ(chart_->pickedFrame()->utc, Day0 + 90'300);
}

TEST_F(HistoryChartTest, NewFramesMoveOnlyANamedRange) {
    chart_->showNamedRange(HistoryRange::LastPass);
    series_.add(pass(Day0 + 90'600, 180));  // the last pass goes on
    chart_->framesChanged();
    QCoreApplication::processEvents();
    EXPECT_GT(chart_->shownRange().until, double(Day0 + 91'190));
    EXPECT_TRUE(chart_->description().startsWith("120 frames"))
        << chart_->description().toStdString();
    QTest::keyClick(chart_.get(), Qt::Key_Plus);
    const TimeRange zoomed = chart_->shownRange();
    series_.add(pass(Day0 + 100'000, 180));
    chart_->framesChanged();
    EXPECT_EQ(chart_->shownRange(), zoomed);
}

}  // namespace
}  // namespace orvalin
