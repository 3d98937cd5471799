#include "views/bar_chart.h"

#include <qcustomplot.h>

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <utility>

#include "views/bar_chart_accessible.h"
#include "views/focus_frame.h"

namespace orvalin {

namespace {

// Bars take 80 % of a category's width, so neighbours stay apart when there are few of them.
constexpr double BarWidth = 0.8;
const QColor BarColour(0x1f, 0x5f, 0xa8);
// The shown record's bar: a darker shade, outlined 2 pixels wide so that it stands out even
// among 1000 bars narrower than a pixel.
const QColor MarkColour = BarColour.darker(220);
constexpr double MarkOutlinePixels = 2.0;

const QString MarkLayer = QStringLiteral("mark");

}  // namespace

BarChart::BarChart(QCustomPlot* plot)
    : QObject(plot),
      plot_(plot),
      bars_(new QCPBars(plot->xAxis, plot->yAxis)),  // owned by the plot
      markBars_(new QCPBars(plot->xAxis, plot->yAxis)),
      markLayer_(nullptr),
      saveAction_(new QAction(QStringLiteral("Save Chart As..."), plot)),
      copyAction_(new QAction(QStringLiteral("Copy Chart"), plot)),
      categoryTicker_(new QCPAxisTickerText) {
    bars_->setWidthType(QCPBars::wtPlotCoords);
    bars_->setWidth(BarWidth);
    bars_->setBrush(BarColour);
    // A cosmetic outline of the bar colour keeps bars visible when 1000 of them share fewer
    // than 600 pixels and each is narrower than one.
    bars_->setPen(QPen(BarColour, 0));
    // The mark sits on a buffered layer of its own above the bars: moving it repaints that
    // layer's buffer and composes the others as they are, without drawing the 1000 bars.
    plot_->addLayer(MarkLayer, plot_->layer(QStringLiteral("main")), QCustomPlot::limAbove);
    markLayer_ = plot_->layer(MarkLayer);
    markLayer_->setMode(QCPLayer::lmBuffered);
    markBars_->setLayer(markLayer_);
    markBars_->setWidthType(QCPBars::wtPlotCoords);
    markBars_->setWidth(BarWidth);
    markBars_->setBrush(MarkColour);
    markBars_->setPen(QPen(MarkColour, MarkOutlinePixels));
    markBars_->setSelectable(QCP::stNone);

    // Moves over the widget arrive without a pressed button too: a visible tool tip follows
    // the bar under the mouse. A move itself never redraws the chart.
    plot_->setMouseTracking(true);
    // Tab only: a click reads or chooses a bar and leaves the focus where it was.
    plot_->setFocusPolicy(Qt::TabFocus);
    plot_->installEventFilter(this);
    saveAction_->setObjectName(QStringLiteral("SaveChartAs"));
    copyAction_->setObjectName(QStringLiteral("CopyChart"));
    for (QAction* action : {saveAction_, copyAction_}) {
        action->setEnabled(false);
        plot_->addAction(action);
    }
    plot_->setContextMenuPolicy(Qt::ActionsContextMenu);
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
    connect(plot_, &QCustomPlot::afterReplot, this, &BarChart::redrawn);
}

QWidget* BarChart::createWidget(QWidget* parent) {
    BarChartAccessible::install();
    auto* plot = new QCustomPlot(parent);
    new BarChart(plot);  // owned by the plot
    return plot;
}

BarChart* BarChart::of(const QWidget* widget) {
    if (qobject_cast<const QCustomPlot*>(widget) == nullptr) return nullptr;
    return widget->findChild<BarChart*>(QString(), Qt::FindDirectChildrenOnly);
}

void BarChart::setChartType(ChartType type) {
    type_ = type;
    changed();
}

void BarChart::setRowCount(int rows) {
    const auto size = static_cast<std::size_t>(std::max(rows, 1));
    labels_.resize(size);
    values_.resize(size, 0.0);
    saveAction_->setEnabled(true);
    copyAction_->setEnabled(true);
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

int BarChart::drawnRowCount() const {
    return bars_->data()->size();
}

QRectF BarChart::barRect(int row) const {
    if (row < 1 || row > drawnRowCount()) return {};
    const double value = bars_->data()->at(row - 1)->value;
    const QCPAxis* x = plot_->xAxis;
    const QCPAxis* y = plot_->yAxis;
    return QRectF(QPointF(x->coordToPixel(row - BarWidth / 2), y->coordToPixel(0.0)),
                  QPointF(x->coordToPixel(row + BarWidth / 2), y->coordToPixel(value)))
        .normalized();
}

int BarChart::barAt(QPointF pos) const {
    const int rows = drawnRowCount();
    if (rows < 1) return 0;
    // Categories sit at whole numbers: the nearest one is the only candidate.
    const double category = plot_->xAxis->pixelToCoord(pos.x());
    if (!(category >= 0.5 && category <= rows + 0.5)) return 0;
    const int row = static_cast<int>(std::lround(std::clamp(category, 1.0, double(rows))));
    QRectF hit = barRect(row);
    const double growX = std::max(0.0, MinHitPixels - hit.width()) / 2;
    const double growY = std::max(0.0, MinHitPixels - hit.height()) / 2;
    hit.adjust(-growX, -growY, growX, growY);
    return hit.contains(pos) ? row : 0;
}

void BarChart::setBarDescription(std::function<QString(int row)> describe) {
    describe_ = std::move(describe);
}

QString BarChart::describeBar(int row) const {
    return row > 0 && describe_ ? describe_(row) : QString();
}

QString BarChart::toolTipAt(QPointF pos) const {
    QString text = plot_->toolTip();
    const QString line = describeBar(barAt(pos));
    if (!line.isEmpty()) text += u'\n' + line;
    return text;
}

void BarChart::showToolTip(QPointF pos, QPoint globalPos) {
    toolTipRow_ = barAt(pos);
    const QString text = toolTipAt(pos);
    if (text.isEmpty()) {
        QToolTip::hideText();
        toolTipRow_ = -1;
        return;
    }
    QToolTip::showText(globalPos, text, plot_);
}

bool BarChart::eventFilter(QObject* watched, QEvent* event) {
    if (watched != plot_) return false;
    switch (event->type()) {
        case QEvent::ToolTip: {
            const auto* help = static_cast<QHelpEvent*>(event);
            showToolTip(help->pos(), help->globalPos());
            return true;
        }
        case QEvent::MouseMove: {
            // Only a visible tip changes with the bar under the mouse; a hidden one waits for
            // the next tool tip event.
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (toolTipRow_ >= 0 && !QToolTip::isVisible()) toolTipRow_ = -1;
            if (toolTipRow_ >= 0 && barAt(mouse->position()) != toolTipRow_)
                showToolTip(mouse->position(), mouse->globalPosition().toPoint());
            return false;
        }
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            pressedRow_ = mouse->button() == Qt::LeftButton ? barAt(mouse->position()) : 0;
            return false;
        }
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const int pressed = std::exchange(pressedRow_, 0);
            if (mouse->button() == Qt::LeftButton && pressed > 0 &&
                barAt(mouse->position()) == pressed)
                emit barClicked(pressed);
            return false;
        }
        case QEvent::KeyPress:
            return handleKey(*static_cast<QKeyEvent*>(event));
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            plot_->update();
            return false;
        case QEvent::Paint:
            // Without the focus the plot paints alone, pixel for pixel as ever. With it, the
            // plot paints first (QCustomPlot offers no hook after its own painting) and the
            // frame goes on top, outside the plot's layers, so no saved or copied picture of
            // the chart shows it.
            if (!plot_->hasFocus()) return false;
            static_cast<QObject*>(plot_)->event(event);
            drawFocusFrame(*plot_);
            return true;
        default:
            return false;
    }
}

bool BarChart::handleKey(const QKeyEvent& key) {
    if (key.keyCombination() == QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)) {
        // Where Qt opens the menu for the context-menu key: the middle of the widget.
        const QPoint at = plot_->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, plot_->mapToGlobal(at));
        QCoreApplication::sendEvent(plot_, &menu);
        return true;
    }
    if (key.modifiers() != Qt::NoModifier && key.modifiers() != Qt::KeypadModifier) return false;
    const int rows = rowCount();
    int row = 0;
    switch (key.key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            row = markedRow_ - 1;
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            row = markedRow_ + 1;
            break;
        case Qt::Key_Home:
            row = 1;
            break;
        case Qt::Key_End:
            row = rows;
            break;
        default:
            return false;
    }
    row = std::clamp(row, 1, std::max(rows, 1));
    if (rows > 0 && row != markedRow_) emit barClicked(row);
    return true;
}

void BarChart::setMarkedRow(int row) {
    const bool moved = row != markedRow_;
    markedRow_ = row;
    if (moved) {
        // The description names the shown record's bar: read out on the focused chart.
        QAccessibleEvent described(plot_, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&described);
    }
    // A pending full redraw places the mark itself.
    if (dirty_) return;
    updateMark();
    markLayer_->replot();
}

void BarChart::updateMark() {
    QVector<QCPBarsData> mark;
    if (markedRow_ >= 1 && markedRow_ <= drawnRowCount())
        mark.append(QCPBarsData(markedRow_, bars_->data()->at(markedRow_ - 1)->value));
    markBars_->data()->set(mark, true);
}

QList<QPointF> BarChart::drawnBars() const {
    QList<QPointF> drawn;
    for (auto it = bars_->data()->constBegin(); it != bars_->data()->constEnd(); ++it)
        drawn.append(QPointF(it->key, it->value));
    return drawn;
}

QMap<double, QString> BarChart::drawnTicks() const {
    return categoryTicker_->ticks();
}

int BarChart::drawnMarkedRow() const {
    return markBars_->data()->isEmpty() ? 0 : static_cast<int>(markBars_->data()->at(0)->key);
}

void BarChart::bringUpToDate() {
    if (dirty_) syncPlot();
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
    updateMark();
}

}  // namespace orvalin
