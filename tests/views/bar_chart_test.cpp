// The chart adapter: the grid it is fed, and the bars and category labels it draws from it.
#include "views/bar_chart.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QCoreApplication>
#include <memory>

namespace orvalin {
namespace {

class BarChartTest : public ::testing::Test {
protected:
    void SetUp() override {
        plot_ = std::make_unique<QCustomPlot>();
        plot_->resize(585, 265);
        chart_ = new BarChart(plot_.get());  // owned by the plot
    }
    // Runs the queued redraw.
    void redraw() {
        for (int i = 0; i < 2; ++i) QCoreApplication::processEvents();
    }
    // Fills rows 1..n with the label "r<row>" and the value row * 10.
    void fill(int rows) {
        chart_->setRowCount(rows);
        for (int r = 1; r <= rows; ++r) {
            chart_->setRow(r);
            chart_->setColumn(1);
            chart_->setRowLabel(QStringLiteral("r%1").arg(r));
            chart_->setData(r * 10.0);
        }
    }
    QCPBars* bars() const { return qobject_cast<QCPBars*>(plot_->plottable(0)); }
    QMap<double, QString> ticks() const {
        return dynamic_cast<QCPAxisTickerText*>(plot_->xAxis->ticker().data())->ticks();
    }

    std::unique_ptr<QCustomPlot> plot_;
    BarChart* chart_ = nullptr;
};

TEST_F(BarChartTest, WritesOutsideTheGridChangeNothing) {
    fill(3);
    const struct {
        const char* name;
        int row;
        int column;
    } outside[] = {{"row 0", 0, 1},
                   {"row past the end", 4, 1},
                   {"negative row", -1, 1},
                   {"column 0", 2, 0},
                   {"column 2", 2, 2}};
    for (const auto& c : outside) {
        SCOPED_TRACE(c.name);
        chart_->setRow(c.row);
        chart_->setColumn(c.column);
        chart_->setData(-1.0);
        if (c.column == 1) chart_->setRowLabel(u"changed");
        for (int r = 1; r <= 3; ++r) {
            EXPECT_EQ(chart_->valueAt(r), r * 10.0);
            EXPECT_EQ(chart_->rowLabelAt(r), QStringLiteral("r%1").arg(r));
        }
    }
    EXPECT_EQ(chart_->rowCount(), 3);
}

TEST_F(BarChartTest, RowCountKeepsTheRowsThatStayAndStartsNewOnesBlank) {
    fill(5);
    chart_->setRowCount(2);
    EXPECT_EQ(chart_->rowCount(), 2);
    EXPECT_EQ(chart_->rowLabelAt(3), "");
    chart_->setRowCount(4);
    EXPECT_EQ(chart_->rowLabelAt(2), "r2");
    EXPECT_EQ(chart_->valueAt(2), 20.0);
    EXPECT_EQ(chart_->rowLabelAt(3), "");
    EXPECT_EQ(chart_->valueAt(3), 0.0);
    chart_->setRowCount(0);
    EXPECT_EQ(chart_->rowCount(), 1);
}

TEST_F(BarChartTest, DrawsOneBarPerRowInRowOrder) {
    fill(4);
    redraw();
    ASSERT_EQ(bars()->data()->size(), 4);
    for (int r = 1; r <= 4; ++r) {
        EXPECT_EQ(bars()->data()->at(r - 1)->key, r);
        EXPECT_EQ(bars()->data()->at(r - 1)->value, r * 10.0);
    }
    EXPECT_DOUBLE_EQ(plot_->xAxis->range().lower, 0.5);
    EXPECT_DOUBLE_EQ(plot_->xAxis->range().upper, 4.5);
    // Base line 0 and the highest bar are in sight.
    EXPECT_LE(plot_->yAxis->range().lower, 0.0);
    EXPECT_GE(plot_->yAxis->range().upper, 40.0);

    chart_->setRowCount(2);
    redraw();
    EXPECT_EQ(bars()->data()->size(), 2);
}

TEST_F(BarChartTest, NegativeValuesStayInSight) {
    fill(2);
    chart_->setRow(2);
    chart_->setData(-273.0);
    redraw();
    EXPECT_LE(plot_->yAxis->range().lower, -273.0);
    EXPECT_GE(plot_->yAxis->range().upper, 10.0);
}

TEST_F(BarChartTest, FixedDivisionsPlaceLabelsAndTicks) {
    const struct {
        int rows, perLabel, perTick;
        std::vector<std::pair<double, QString>> expected;
    } cases[] = {
        {7, 3, 3, {{1, "r1"}, {4, "r4"}, {7, "r7"}}},
        {6, 2, 4, {{1, "r1"}, {3, "r3"}, {5, "r5"}}},
        // A tick without a label where the two counts differ.
        {5, 4, 2, {{1, "r1"}, {3, ""}, {5, "r5"}}},
        {3, 0, 0, {{1, "r1"}, {2, "r2"}, {3, "r3"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        fill(c.rows);
        chart_->setCategoryAutoScaling(false);
        chart_->setDivisionsPerLabel(c.perLabel);
        chart_->setDivisionsPerTick(c.perTick);
        redraw();
        const QMap<double, QString> shown = ticks();
        ASSERT_EQ(shown.size(), static_cast<qsizetype>(c.expected.size()));
        for (const auto& [position, label] : c.expected) EXPECT_EQ(shown.value(position), label);
    }
}

TEST_F(BarChartTest, AutomaticScalingLabelsEveryCategoryWhenThereIsRoom) {
    fill(3);
    chart_->setCategoryAutoScaling(true);
    redraw();
    EXPECT_EQ(ticks().size(), 3);

    fill(100);
    redraw();
    const QMap<double, QString> shown = ticks();
    ASSERT_GE(shown.size(), 2);
    EXPECT_LT(shown.size(), 100);
    EXPECT_EQ(shown.firstKey(), 1.0);
}

// 20 time labels do not fit side by side under a 585 pixel chart; they stand upright then.
TEST_F(BarChartTest, LabelsTooCloseForTheirWidthStandUpright) {
    const struct {
        int rows;
        bool automatic;
        int divisions;
        double rotation;
    } cases[] = {
        {1000, false, 50, -90}, {12, true, 0, 0}, {101, false, 5, -90}, {20, false, 10, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        fill(c.rows);
        chart_->setCategoryAutoScaling(c.automatic);
        chart_->setDivisionsPerLabel(c.divisions);
        chart_->setDivisionsPerTick(c.divisions);
        redraw();
        EXPECT_EQ(plot_->xAxis->tickLabelRotation(), c.rotation);
    }
}

TEST_F(BarChartTest, ManyOperationsRedrawOnce) {
    int redraws = 0;
    QObject::connect(plot_.get(), &QCustomPlot::afterReplot, plot_.get(), [&] { ++redraws; });
    fill(1000);
    fill(1000);
    redraw();
    EXPECT_EQ(redraws, 1);
    redraw();
    EXPECT_EQ(redraws, 1);
}

}  // namespace
}  // namespace orvalin
