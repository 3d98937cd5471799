// Channel selection across both frames, the highlight, and the chart the window shows.
#include "main_window_harness.h"

namespace orvalin::test {
namespace {

class ChartTest : public MainWindowTest {
protected:
    // (category, value) of every bar, as drawn.
    QList<QPointF> bars() { return form().chart().drawnBars(); }
    // Category positions that carry a tick, with their labels, as drawn.
    QMap<double, QString> ticks() { return form().chart().drawnTicks(); }
};

TEST_F(ChartTest, RowsLabelsValuesAndLabelSpacingFollowTheRecordCount) {
    const struct {
        int records;
        bool automatic;
        int divisions;  // per label and per tick when not automatic
    } cases[] = {{1, true, 0}, {100, true, 0}, {101, false, 5}, {110, false, 6}, {1000, false, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.records);
        paste(logText(c.records));
        const BarChart& chart = form().chart();
        ASSERT_EQ(chart.rowCount(), c.records);
        EXPECT_EQ(chart.categoryAutoScaling(), c.automatic);
        if (!c.automatic) {
            EXPECT_EQ(chart.divisionsPerLabel(), c.divisions);
            EXPECT_EQ(chart.divisionsPerTick(), c.divisions);
        }
        for (int r : {1, (c.records + 1) / 2, c.records}) {
            EXPECT_EQ(chart.rowLabelAt(r), timeText(r - 1));
            EXPECT_EQ(chart.valueAt(r), form().records().record(r).Values[DefaultChannel]);
        }

        // What is drawn: one bar per record at categories 1..n, labels every k categories.
        const QList<QPointF> drawn = bars();
        ASSERT_EQ(drawn.size(), c.records);
        EXPECT_EQ(drawn.first().x(), 1.0);
        EXPECT_EQ(drawn.last().y(), chart.valueAt(c.records));
        const QMap<double, QString> shown = ticks();
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_EQ(shown.firstKey(), 1.0);
        EXPECT_EQ(shown.first(), timeText(0));
        if (!c.automatic) {
            EXPECT_EQ(shown.size(), (c.records + c.divisions - 1) / c.divisions);
            for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
                const int row = static_cast<int>(it.key());
                EXPECT_EQ((row - 1) % c.divisions, 0) << row;
                EXPECT_EQ(it.value(), timeText(row - 1));
            }
        }
        EXPECT_EQ(chartFrame()->title(), "Batt Temp  [ C ]");
    }
}

TEST_F(ChartTest, AutomaticLabelsDoNotOverlap) {
    paste(logText(100));
    const QFontMetrics metrics(chartPlot()->font());
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("00:00:00"));
    const QMap<double, QString> shown = ticks();
    ASSERT_GE(shown.size(), 2);
    const QList<double> keys = shown.keys();
    const BarChart& chart = form().chart();
    const double pixelsApart = chart.barRect(static_cast<int>(keys[1])).center().x() -
                               chart.barRect(static_cast<int>(keys[0])).center().x();
    EXPECT_GT(pixelsApart, labelWidth);
}

TEST_F(ChartTest, ShorterTextShrinksTheChart) {
    paste(logText(12));
    paste(logText(5));
    EXPECT_EQ(form().chart().rowCount(), 5);
    EXPECT_EQ(bars().size(), 5);
    for (double key : ticks().keys()) EXPECT_LE(key, 5.0);
}

TEST_F(ChartTest, RecordsWithTheSameTimeAreTwoBars) {
    paste(logLine(30, 0x10) + u'\n' + logLine(30, 0x20));
    EXPECT_EQ(bars().size(), 2);
    EXPECT_EQ(ticks().size(), 2);
    EXPECT_EQ(ticks().value(1.0), timeText(30));
    EXPECT_EQ(ticks().value(2.0), timeText(30));
}

TEST_F(ChartTest, EmptiedTextKeepsThePreviousPlot) {
    paste(logText(7));
    QTest::keyClick(logInput(), Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_Delete);
    EXPECT_EQ(chartFrame()->title(), "Batt Temp  [ C ]");
    EXPECT_EQ(bars().size(), 7);
}

// After every click exactly one button is selected and one value box highlighted, for the
// same channel, whichever frames the old and the new button sit in.
TEST_F(ChartTest, SelectionAndHighlightMoveAcrossBothFrames) {
    paste(WorkedExampleLine);
    const struct {
        int channel;
        const char* caption;
    } clicks[] = {{3, "SP1 Volts  [ V ]"}, {25, "3V3 Volts  [ V ]"}, {18, "RSSI  [   ]"},
                  {28, "SU TH G0  [ K ]"}, {0, "SP4 Volts  [ V ]"},  {25, "3V3 Volts  [ V ]"},
                  {25, "3V3 Volts  [ V ]"}};
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.channel);
        QTest::mouseClick(channelButtons(click.channel), Qt::LeftButton);
        settle();
        EXPECT_EQ(selectedChannels(), std::vector<int>{click.channel});
        EXPECT_EQ(highlightedChannels(), std::vector<int>{click.channel});
        EXPECT_EQ(chartFrame()->title(), click.caption);
        EXPECT_EQ(form().chart().valueAt(1), form().records().record(1).Values[click.channel]);
    }
    // Every other box has the desktop's base colour.
    EXPECT_EQ(valueBoxes(3)->palette().color(QPalette::Base),
              QApplication::palette(valueBoxes(3)).color(QPalette::Base));
}

TEST_F(ChartTest, WithoutRecordsAClickMovesOnlyTheSelection) {
    QTest::mouseClick(channelButtons(25), Qt::LeftButton);
    settle();
    EXPECT_EQ(selectedChannels(), std::vector<int>{25});
    EXPECT_EQ(highlightedChannels(), std::vector<int>{25});
    EXPECT_EQ(chartFrame()->title(), "");
    EXPECT_EQ(form().chart().rowCount(), 0);
}

TEST_F(ChartTest, EveryIntakeSelectsAndChartsBattTemp) {
    paste(logText(3));
    QTest::mouseClick(channelButtons(27), Qt::LeftButton);
    settle();
    ASSERT_EQ(chartFrame()->title(), "5V Volts  [ V ]");
    typeText(QStringLiteral("x"));
    EXPECT_EQ(selectedChannels(), std::vector<int>{DefaultChannel});
    EXPECT_EQ(highlightedChannels(), std::vector<int>{DefaultChannel});
    EXPECT_EQ(chartFrame()->title(), "Batt Temp  [ C ]");
}

TEST_F(ChartTest, OneIntakeRedrawsTheChartOnce) {
    paste(logText(3));
    QTest::mouseClick(channelButtons(27), Qt::LeftButton);
    settle();
    int redraws = 0;
    QObject::connect(&form().chart(), &BarChart::redrawn, [&] { ++redraws; });
    // This intake changes the selection back to channel 6, so the chart is filled twice.
    paste(logText(300));
    EXPECT_EQ(redraws, 1);
}

}  // namespace
}  // namespace orvalin::test
