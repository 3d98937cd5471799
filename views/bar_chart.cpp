#include "views/bar_chart.h"

#include <qcustomplot.h>

#include <QFontMetrics>
#include <algorithm>

namespace orvalin {

namespace {

// Bars take 80 % of a category's width, so neighbours stay apart when there are few of them.
constexpr double BarWidth = 0.8;
const QColor BarColour(0x1f, 0x5f, 0xa8);

}  // namespace

BarChart::BarChart(QCustomPlot* plot)
    : QObject(plot),
      plot_(plot),
      bars_(new QCPBars(plot->xAxis, plot->yAxis)),  // owned by the plot
      categoryTicker_(new QCPAxisTickerText) {
    bars_->setWidthType(QCPBars::wtPlotCoords);
    bars_->setWidth(BarWidth);
    bars_->setBrush(BarColour);
    // A cosmetic outline of the bar colour keeps bars visible when 1000 of them share fewer
    // than 600 pixels and each is narrower than one.
    bars_->setPen(QPen(BarColour, 0));
    // Axis texts in the chart widget's own font.
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setTickLabelFont(plot_->font());
        axis->setLabelFont(plot_->font());
    }
    plot_->xAxis->setTicker(categoryTicker_);
    plot_->xAxis->setSubTicks(false);
    plot_->yAxis->setSubTicks(false);
    plot_->xAxis->setRange(0.5, 1.5);
    // The plot is rebuilt from the grid only right before it is drawn.
    connect(plot_, &QCustomPlot::beforeReplot, this, [this] {
        if (dirty_) syncPlot();
    });
}

void BarChart::setChartType(ChartType type) {
    type_ = type;
    changed();
}

void BarChart::setRowCount(int rows) {
    const auto size = static_cast<std::size_t>(std::max(rows, 1));
    labels_.resize(size);
    values_.resize(size, 0.0);
    changed();
}

void BarChart::setRow(int row) {
    row_ = row;
}

void BarChart::setColumn(int column) {
    column_ = column;
}

void BarChart::setRowLabel(QStringView label) {
    if (!rowSelected()) return;
    QString& text = labels_[static_cast<std::size_t>(row_ - 1)];
    // Reuse the label's storage: a refill writes 1000 labels on every keystroke.
    text.resize(0);
    text.append(label);
    changed();
}

void BarChart::setData(double value) {
    if (!rowSelected() || column_ < 1 || column_ > ColumnCount) return;
    values_[static_cast<std::size_t>(row_ - 1)] = value;
    changed();
}

void BarChart::setCategoryAutoScaling(bool automatic) {
    autoScaling_ = automatic;
    changed();
}

void BarChart::setDivisionsPerLabel(int divisions) {
    divisionsPerLabel_ = divisions;
    changed();
}

void BarChart::setDivisionsPerTick(int divisions) {
    divisionsPerTick_ = divisions;
    changed();
}

QString BarChart::rowLabelAt(int row) const {
    if (row < 1 || row > rowCount()) return {};
    return labels_[static_cast<std::size_t>(row - 1)];
}

double BarChart::valueAt(int row) const {
    if (row < 1 || row > rowCount()) return 0.0;
    return values_[static_cast<std::size_t>(row - 1)];
}

void BarChart::changed() {
    dirty_ = true;
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

int BarChart::labelSpace() const {
    // A time label with a gap of two average characters.
    const QFontMetrics metrics(plot_->xAxis->tickLabelFont());
    return metrics.horizontalAdvance(QStringLiteral("00:00:00")) + 2 * metrics.averageCharWidth();
}

int BarChart::axisWidth() const {
    const int width = plot_->axisRect()->width();
    return width > 0 ? width : plot_->width();
}

int BarChart::automaticDivisions() const {
    // As many labels as fit side by side.
    const int fitting = std::max(1, axisWidth() / std::max(1, labelSpace()));
    return std::max(1, (rowCount() + fitting - 1) / fitting);
}

void BarChart::syncPlot() {
    dirty_ = false;
    const int rows = rowCount();
    QVector<QCPBarsData> bars;
    bars.reserve(rows);
    double low = 0.0;
    double high = 0.0;
    for (int r = 1; r <= rows; ++r) {
        const double value = values_[static_cast<std::size_t>(r - 1)];
        bars.append(QCPBarsData(r, value));
        low = std::min(low, value);
        high = std::max(high, value);
    }
    bars_->data()->set(bars, true);

    // Labels and tick marks share the ticks of a text ticker: a tick without a label carries
    // an empty text.
    const int labelEvery = autoScaling_ ? automaticDivisions() : std::max(1, divisionsPerLabel_);
    const int tickEvery = autoScaling_ ? labelEvery : std::max(1, divisionsPerTick_);
    categoryTicker_->clear();
    for (int r = 1; r <= rows; ++r) {
        const bool labelled = (r - 1) % labelEvery == 0;
        if (labelled || (r - 1) % tickEvery == 0)
            categoryTicker_->addTick(
                r, labelled ? labels_[static_cast<std::size_t>(r - 1)] : QString());
    }

    // Labels too close for their width stand upright, as many chart controls do.
    const double pixelsPerCategory =
        static_cast<double>(axisWidth()) / static_cast<double>(std::max(rows, 1));
    plot_->xAxis->setTickLabelRotation(labelEvery * pixelsPerCategory < labelSpace() ? -90 : 0);

    plot_->xAxis->setRange(0.5, std::max(rows, 1) + 0.5);
    // The value axis always shows the bars' base line 0, with a little room beyond the bars.
    if (high == low) high = low + 1.0;
    const double margin = (high - low) * 0.05;
    plot_->yAxis->setRange(low < 0.0 ? low - margin : low, high > 0.0 ? high + margin : high);
}

}  // namespace orvalin
