// The chart of the main window behind the few operations the window needs of a chart control:
// a grid of rows (categories) and columns fed cell by cell, drawn as a two-dimensional bar chart
// with one label under each labelled category.
//
// The writes only change the grid held here; the plot is rebuilt from the grid once, in the next
// replot, which is queued to the next turn of the event loop. A full refill of 1000 rows (four
// operations a row) therefore costs one redraw, however many operations it took.
//
// Reading the chart costs no redraw: the bar under the mouse is found from the bars' geometry,
// and the tool tip names its record. Marking the shown record's bar redraws only the mark, on
// a layer of its own. A click on a bar is reported as barClicked; the context menu holds the
// save and copy actions, which the window wires.
//
// The keyboard reaches the chart with Tab (a click does not take the focus). While it has the
// focus, a frame in the desktop's highlight colour runs round its edge, the arrow keys choose
// the bar before or after the marked one (Home and End the first and last) as a click would,
// and the context-menu key or Shift+F10 opens the context menu.
#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSharedPointer>
#include <QString>
#include <QStringView>
#include <functional>
#include <vector>

class QAction;
class QCustomPlot;
class QCPBars;
class QCPAxisTickerText;
class QCPLayer;
class QKeyEvent;
class QWidget;

namespace orvalin {

enum class ChartType { Bar2d };

class BarChart : public QObject {
    Q_OBJECT

public:
    // The grid has this many columns from the start; the window writes column 1 only.
    static constexpr int ColumnCount = 1;

    // Drives `plot`, which becomes the parent (owner) of this adapter.
    explicit BarChart(QCustomPlot* plot);

    // The chart widget of the window, with its adapter attached (owned by the widget).
    static QWidget* createWidget(QWidget* parent);
    // The adapter of a widget made by createWidget; nullptr for any other widget.
    static BarChart* of(const QWidget* widget);

    // --- The operations, rows and columns counted from 1. ---
    void setChartType(ChartType type);
    // At least one row: a smaller count is taken as 1. Rows that stay keep their cells; new
    // rows start with an empty label and the value 0.
    void setRowCount(int rows);
    // Selects the row and column that setRowLabel and setData address. A row or column outside
    // the grid makes those writes do nothing.
    void setRow(int row);
    void setColumn(int column);
    void setRowLabel(QStringView label);
    void setData(double value);
    // On: the chart chooses how many categories carry a label and a tick, so that the labels
    // do not overlap. Off: the two division counts below apply.
    void setCategoryAutoScaling(bool automatic);
    void setDivisionsPerLabel(int divisions);
    void setDivisionsPerTick(int divisions);

    // --- Reading back what was set. ---
    ChartType chartType() const { return type_; }
    int rowCount() const { return static_cast<int>(labels_.size()); }
    int row() const { return row_; }
    int column() const { return column_; }
    bool categoryAutoScaling() const { return autoScaling_; }
    int divisionsPerLabel() const { return divisionsPerLabel_; }
    int divisionsPerTick() const { return divisionsPerTick_; }
    // Label and column-1 value of a row; an empty label and 0 outside the grid.
    QString rowLabelAt(int row) const;
    double valueAt(int row) const;

    // --- Reading, marking and clicking bars (rows as drawn, in widget pixels). ---
    // The row whose bar is under pos, 0 when none. Each bar counts as at least MinHitPixels
    // wide and high around its drawn rectangle, so that the bars of 1000 records (each
    // narrower than a pixel) and flat bars can still be pointed at; the nearest bar wins.
    static constexpr double MinHitPixels = 5.0;
    int barAt(QPointF pos) const;
    // The drawn rectangle of a row's bar; empty for a row that is not drawn.
    QRectF barRect(int row) const;
    // The widget's tool tip ("graphical value"), and over a bar a second line from the
    // bar description, if it gives one.
    QString toolTipAt(QPointF pos) const;
    void setBarDescription(std::function<QString(int row)> describe);
    // The bar description's line for a row; empty without a description or a record there.
    QString describeBar(int row) const;
    // What the bars show, in words ("Batt Temp, C"), for screen readers, which do not see the
    // frame caption that tells the eye; empty before the first plot.
    void setSubject(const QString& subject) { subject_ = subject; }
    const QString& subject() const { return subject_; }
    // Marks one row's bar in a darker shade with an outline; 0 or a row that is not drawn marks
    // none. Redraws only the mark. A screen reader is told that the description changed when
    // the marked row does.
    void setMarkedRow(int row);
    int markedRow() const { return markedRow_; }

    // --- What is drawn now, for checks. ---
    QList<QPointF> drawnBars() const;          // (category, value) of every bar
    QMap<double, QString> drawnTicks() const;  // category ticks with their labels
    int drawnMarkedRow() const;                // 0 when no bar is marked

    // The context menu's entries "Save Chart As..." and "Copy Chart"; enabled once there are bars.
    QAction* saveAction() const { return saveAction_; }
    QAction* copyAction() const { return copyAction_; }

    // Rebuilds the plot from the grid now, where a picture is drawn outside a redraw.
    void bringUpToDate();
    QCustomPlot* plot() const { return plot_; }

signals:
    // A bar was clicked with the left button (pressed and released on the same bar), or
    // chosen with the keys while the chart has the focus.
    void barClicked(int row);
    // After every full redraw of the chart.
    void redrawn();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool rowSelected() const { return row_ >= 1 && row_ <= rowCount(); }
    int drawnRowCount() const;
    void updateMark();
    void showToolTip(QPointF pos, QPoint globalPos);
    // Whether the key chooses a bar or opens the context menu; if so, does it.
    bool handleKey(const QKeyEvent& key);
    void changed();
    // Rebuilds the bars, the category ticks and the axis ranges from the grid.
    void syncPlot();
    int automaticDivisions() const;
    int labelSpace() const;  // pixels one category label needs
    int axisWidth() const;   // pixels of the category axis

    QCustomPlot* plot_;
    QCPBars* bars_;
    QCPBars* markBars_;  // one bar over the marked row's, on markLayer_
    QCPLayer* markLayer_;
    QAction* saveAction_;
    QAction* copyAction_;
    std::function<QString(int row)> describe_;
    QString subject_;
    int markedRow_ = 0;
    int pressedRow_ = 0;   // bar under the left button when it went down
    int toolTipRow_ = -1;  // row the visible tool tip describes (0: no bar); -1: none shown
    QSharedPointer<QCPAxisTickerText> categoryTicker_;
    ChartType type_ = ChartType::Bar2d;
    std::vector<QString> labels_;
    std::vector<double> values_;
    int row_ = 1;
    int column_ = 1;
    bool autoScaling_ = true;
    int divisionsPerLabel_ = 1;
    int divisionsPerTick_ = 1;
    bool dirty_ = true;
};

}  // namespace orvalin
