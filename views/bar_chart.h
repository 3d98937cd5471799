// The chart of the main window behind the few operations the window needs of a chart control:
// a grid of rows (categories) and columns fed cell by cell, drawn as a two-dimensional bar chart
// with one label under each labelled category.
//
// The writes only change the grid held here; the plot is rebuilt from the grid once, in the next
// replot, which is queued to the next turn of the event loop. A full refill of 1000 rows (four
// operations a row) therefore costs one redraw, however many operations it took.
#pragma once

#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QStringView>
#include <vector>

class QCustomPlot;
class QCPBars;
class QCPAxisTickerText;

namespace orvalin {

enum class ChartType { Bar2d };

class BarChart : public QObject {
    Q_OBJECT

public:
    // The grid has this many columns from the start; the window writes column 1 only.
    static constexpr int ColumnCount = 1;

    // Drives `plot`, which becomes the parent (owner) of this adapter.
    explicit BarChart(QCustomPlot* plot);

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

    QCustomPlot* plot() const { return plot_; }

private:
    bool rowSelected() const { return row_ >= 1 && row_ <= rowCount(); }
    void changed();
    // Rebuilds the bars, the category ticks and the axis ranges from the grid.
    void syncPlot();
    int automaticDivisions() const;
    int labelSpace() const;  // pixels one category label needs
    int axisWidth() const;   // pixels of the category axis

    QCustomPlot* plot_;
    QCPBars* bars_;
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
