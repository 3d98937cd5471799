// Reading the chart with the mouse: which bar is under a point, the tool tip there, a click on
// a bar (or a key), the marked bar and focus frame, and that none of it redraws the whole chart.
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QCoreApplication>
#include <QTest>
#include <QToolTip>
#include <memory>

#include "views/bar_chart.h"
#include "views/chart_picture.h"

namespace orvalin {
namespace {

class BarChartReadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        widget_.reset(BarChart::createWidget(nullptr));
        widget_->resize(585, 265);
        widget_->setToolTip(QStringLiteral("graphical value"));
        widget_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(widget_.get()));
        chart_ = BarChart::of(widget_.get());
        ASSERT_NE(chart_, nullptr);
        chart_->setBarDescription([](int row) { return QStringLiteral("bar %1").arg(row); });
        QObject::connect(chart_, &BarChart::redrawn, [this] { ++redraws_; });
    }
    void TearDown() override { QToolTip::hideText(); }

    // Rows 1..n, row r with the value r (row 1 of 12 is therefore flat against row 12).
    void fill(int rows) {
        chart_->setRowCount(rows);
        for (int r = 1; r <= rows; ++r) {
            chart_->setRow(r);
            chart_->setData(r);
        }
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    QPoint centre(int row) const { return chart_->barRect(row).center().toPoint(); }

    std::unique_ptr<QWidget> widget_;
    BarChart* chart_ = nullptr;
    int redraws_ = 0;
};

TEST_F(BarChartReadingTest, BarUnderThePointAndItsToolTip) {
    for (int rows : {1, 12, 1000}) {
        SCOPED_TRACE(rows);
        fill(rows);
        for (int row : {1, (rows + 1) / 2, rows}) {
            SCOPED_TRACE(row);
            const QRectF bar = chart_->barRect(row);
            ASSERT_TRUE(bar.isValid());
            // The middle, and just inside the top corner, of the bar.
            for (QPointF at : {bar.center(), QPointF(bar.center().x(), bar.top() + 1)}) {
                EXPECT_EQ(chart_->barAt(at), row);
                EXPECT_EQ(chart_->toolTipAt(at),
                          QStringLiteral("graphical value\nbar %1").arg(row));
            }
        }
        // Above the highest bar: no bar, only the chart's own tool tip.
        const QPointF above(centre(rows).x(), chart_->barRect(rows).top() - 10);
        EXPECT_EQ(chart_->barAt(above), 0);
        EXPECT_EQ(chart_->toolTipAt(above), "graphical value");
    }
}

TEST_F(BarChartReadingTest, PointsBetweenAndBesideBarsHitNothing) {
    const struct {
        const char* name;
        int rows;
        int leftRow;  // the point lies just right of this bar's right edge (0: left of bar 1)
    } cases[] = {{"left of the only bar", 1, 0},
                 {"right of the only bar", 1, 1},
                 {"between bars 5 and 6 of 12", 12, 5},
                 {"right of the last of 12", 12, 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fill(c.rows);
        const QRectF first = chart_->barRect(1);
        const QPointF at =
            c.leftRow == 0 ? QPointF(first.left() - BarChart::MinHitPixels, first.bottom() - 2)
                           : QPointF(chart_->barRect(c.leftRow).right() + BarChart::MinHitPixels,
                                     chart_->barRect(c.leftRow).bottom() - 2);
        EXPECT_EQ(chart_->barAt(at), 0);
        EXPECT_EQ(chart_->toolTipAt(at), "graphical value");
    }
}

TEST_F(BarChartReadingTest, ToolTipFollowsTheMouseWithoutRedrawing) {
    fill(12);
    const int before = redraws_;
    QHelpEvent help(QEvent::ToolTip, centre(3), widget_->mapToGlobal(centre(3)));
    QCoreApplication::sendEvent(widget_.get(), &help);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "graphical value\nbar 3");
    const struct {
        QPoint at;
        QString tip;
    } moves[] = {{centre(7), "graphical value\nbar 7"},
                 {centre(7) + QPoint(1, 0), "graphical value\nbar 7"},
                 {QPoint(centre(7).x(), 2), "graphical value"},
                 {centre(12), "graphical value\nbar 12"}};
    for (const auto& move : moves) {
        QTest::mouseMove(widget_.get(), move.at);
        EXPECT_EQ(QToolTip::text(), move.tip);
    }
    EXPECT_EQ(redraws_, before);
}

TEST_F(BarChartReadingTest, ClickOnABarReportsItsRow) {
    fill(12);
    std::vector<int> clicked;
    QObject::connect(chart_, &BarChart::barClicked, [&](int row) { clicked.push_back(row); });
    QTest::mouseClick(widget_.get(), Qt::LeftButton, {}, centre(4));
    QTest::mouseClick(widget_.get(), Qt::RightButton, {}, centre(5));
    QTest::mouseClick(widget_.get(), Qt::LeftButton, {}, QPoint(centre(6).x(), 2));  // above
    // Pressed on one bar and released on another: no click.
    QTest::mousePress(widget_.get(), Qt::LeftButton, {}, centre(8));
    QTest::mouseRelease(widget_.get(), Qt::LeftButton, {}, centre(9));
    EXPECT_EQ(clicked, std::vector<int>{4});
    // The focused chart's keys step from the marked bar, or go to the first or last.
    const std::pair<int, Qt::Key> keys[] = {{5, Qt::Key_Right}, {5, Qt::Key_Up},
                                            {5, Qt::Key_A},     {5, Qt::Key_End},
                                            {12, Qt::Key_Down}, {0, Qt::Key_Home}};
    for (const auto& [marked, key] : keys) {
        chart_->setMarkedRow(marked);
        QTest::keyClick(widget_.get(), key);
    }
    EXPECT_EQ(clicked, (std::vector<int>{4, 6, 4, 12, 1}));
}

const QColor BarColour(0x1f, 0x5f, 0xa8);

TEST_F(BarChartReadingTest, MarkedBarIsDarkerAndMovesWithoutAFullRedraw) {
    fill(12);
    chart_->setMarkedRow(3);
    const int before = redraws_;
    for (int row : {5, 12, 0, 13, 1}) {
        SCOPED_TRACE(row);
        chart_->setMarkedRow(row);
        const int marked = row >= 1 && row <= 12 ? row : 0;
        EXPECT_EQ(chart_->drawnMarkedRow(), marked);
        const QImage shown = widget_->grab().toImage();
        for (int r : {1, 5, 12}) {
            const QColor colour = shown.pixelColor(centre(r));
            // The marked bar in a darker shade, the others in their own colour.
            if (r == marked)
                EXPECT_LT(colour.lightness(), BarColour.lightness() - 30) << r;
            else
                EXPECT_EQ(colour, BarColour) << r;
        }
    }
    // The focus frame changes only the edge, and no picture of the chart shows it.
    widget_->clearFocus();
    const QImage plain = widget_->grab().toImage(), picture = chartImage(*chart_, {});
    widget_->setFocus();
    const QImage framed = widget_->grab().toImage();
    const QRect inside = framed.rect().adjusted(2, 2, -2, -2);
    EXPECT_EQ(framed.copy(inside), plain.copy(inside));
    EXPECT_EQ(framed.pixelColor(1, 100), widget_->palette().color(QPalette::Highlight));
    EXPECT_EQ(chartImage(*chart_, {}), picture);
    EXPECT_EQ(redraws_, before);
}

TEST_F(BarChartReadingTest, MarkFollowsARefill) {
    chart_->setMarkedRow(10);
    fill(12);
    EXPECT_EQ(chart_->drawnMarkedRow(), 10);
    fill(5);  // the marked record is gone
    EXPECT_EQ(chart_->drawnMarkedRow(), 0);
}

}  // namespace
}  // namespace orvalin
