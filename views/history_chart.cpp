#include "views/history_chart.h"

#include <qcustomplot.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDateTime>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "views/channel_selection.h"
#include "views/focus_frame.h"

namespace orvalin {

namespace {

// The main window's bar colour, so that a channel looks the same in both charts.
const QColor LineColour(0x1f, 0x5f, 0xa8);
const QColor MarkColour(0xc0, 0x39, 0x2b);
constexpr double PointPixels = 4.0;
constexpr double MarkPixels = 11.0;
// Zoomed in further, frames a few seconds apart would leave the chart all but empty.
constexpr double MinimumSpanSeconds = 60.0;
// Room beside the frames of the last pass and of everything: 2 % of the width, but at most
// 10 minutes, so that the pass before the last (more than 15 minutes earlier) stays out.
constexpr double PaddingShare = 0.02;
constexpr double MaximumPaddingSeconds = 600.0;
constexpr double KeyZoomFactor = 0.8;
constexpr double KeyPanShare = 0.1;
// A press and release this close (Manhattan, pixels) are a click, not a drag.
constexpr int ClickSlackPixels = 3;

// The chart draws everything itself; a screen reader hears it as one chart with a name and a
// description, without the plot widget inside.
class HistoryChartAccessible : public QAccessibleWidget {
public:
    explicit HistoryChartAccessible(QWidget* chart)
        : QAccessibleWidget(chart, QAccessible::Chart) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Description && widget()->accessibleDescription().isEmpty())
            return static_cast<const HistoryChart*>(widget())->description();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
};

QAccessibleInterface* historyChartInterface(const QString& className, QObject* object) {
    if (className != QLatin1String(HistoryChart::staticMetaObject.className())) return nullptr;
    return new HistoryChartAccessible(static_cast<QWidget*>(object));
}

const ChannelInfo& infoOf(ChannelIndex channel) {
    return ChannelCatalogue[static_cast<std::size_t>(channel)];
}

TimeRange widened(TimeRange range) {
    if (range.until - range.from >= MinimumSpanSeconds) return range;
    const double middle = (range.from + range.until) / 2;
    return {.from = middle - MinimumSpanSeconds / 2, .until = middle + MinimumSpanSeconds / 2};
}

TimeRange shown(const TimeRange& named, HistoryRange range) {
    const double padding =
        std::min((named.until - named.from) * PaddingShare, MaximumPaddingSeconds);
    // The 24 hours and 7 days start where they say; only after the newest frame is room.
    const bool roomBefore = range == HistoryRange::LastPass || range == HistoryRange::Everything;
    return widened(
        {.from = roomBefore ? named.from - padding : named.from, .until = named.until + padding});
}

// Time ticks at whole seconds, minutes, hours or days of UTC, labelled as finely as their step
// needs: a step of 2.5 minutes labelled "21:37" would lie about half of its ticks.
class UtcTicker : public QCPAxisTickerDateTime {
public:
    UtcTicker() { setTickCount(8); }

protected:
    double getTickStep(const QCPRange& range) override {
        constexpr double Minute = 60;
        constexpr double Hour = 60 * Minute;
        constexpr double Day = 24 * Hour;
        constexpr double Steps[] = {
            1,          2,          5,           10,          15,          30,      Minute,
            2 * Minute, 5 * Minute, 10 * Minute, 15 * Minute, 30 * Minute, Hour,    2 * Hour,
            3 * Hour,   6 * Hour,   12 * Hour,   Day,         2 * Day,     7 * Day, 14 * Day,
            28 * Day,   56 * Day,   91 * Day,    182 * Day,   364 * Day};
        const double wanted = range.size() / tickCount();
        step_ = *std::find_if(std::begin(Steps), std::end(Steps) - 1,
                              [wanted](double step) { return step >= wanted; });
        if (step_ < wanted) step_ = std::ceil(wanted / (364 * Day)) * 364 * Day;
        return step_;
    }
    int getSubTickCount(double) override { return 0; }
    QString getTickLabel(double tick, const QLocale&, QChar, int) override {
        const QString format = std::fmod(step_, 60) != 0 ? QStringLiteral("HH:mm:ss\nyyyy-MM-dd")
                               : std::fmod(step_, 86400) != 0 ? QStringLiteral("HH:mm\nyyyy-MM-dd")
                                                              : QStringLiteral("yyyy-MM-dd");
        return QDateTime::fromMSecsSinceEpoch(std::llround(tick * 1000), Qt::UTC).toString(format);
    }

private:
    double step_ = 1;
};

}  // namespace

HistoryChart::HistoryChart(const HistorySeries& series, QWidget* parent)
    : QWidget(parent),
      series_(series),
      plot_(new QCustomPlot(this)),
      graph_(plot_->addGraph()),
      mark_(plot_->addGraph()),
      empty_(new QCPItemText(plot_)) {
    QAccessible::installFactory(historyChartInterface);  // a second install is ignored
    setFocusPolicy(Qt::StrongFocus);
    // A click on the plot focuses this widget, the nearest parent that takes focus.
    plot_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(FocusFramePixels, FocusFramePixels, FocusFramePixels,
                               FocusFramePixels);
    layout->addWidget(plot_);

    plot_->xAxis->setTicker(QSharedPointer<UtcTicker>::create());
    plot_->xAxis->setLabel(QStringLiteral("Time (UTC)"));
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setTickLabelFont(font());
        axis->setLabelFont(font());
        axis->grid()->setPen(QPen(QColor(0xdd, 0xdd, 0xdd), 0));
    }
    graph_->setPen(QPen(LineColour, 1.0));
    graph_->setLineStyle(QCPGraph::lsLine);
    mark_->setLineStyle(QCPGraph::lsNone);
    mark_->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(MarkColour, 2.0), Qt::NoBrush, MarkPixels));
    for (QCPGraph* graph : {graph_, mark_}) graph->setSelectable(QCP::stNone);
    empty_->position->setType(QCPItemPosition::ptAxisRectRatio);
    empty_->position->setCoords(0.5, 0.5);
    empty_->setFont(font());
    empty_->setColor(palette().color(QPalette::PlaceholderText));
    empty_->setClipToAxisRect(true);

    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->axisRect()->setRangeDrag(Qt::Horizontal);
    plot_->axisRect()->setRangeZoom(Qt::Horizontal);
    plot_->selectionRect()->setPen(QPen(LineColour, 1.0, Qt::DashLine));
    plot_->selectionRect()->setBrush(
        QColor(LineColour.red(), LineColour.green(), LineColour.blue(), 40));
    plot_->setNoAntialiasingOnDrag(true);
    plot_->setMouseTracking(true);
    plot_->installEventFilter(this);

    connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &HistoryChart::onRangeChanged);
    connect(plot_, &QCustomPlot::beforeReplot, this, [this] {
        if (dirty_) rebuild();
    });
    connect(plot_, &QCustomPlot::afterReplot, this, &HistoryChart::redrawn);

    setChannel(DefaultChannel);
    if (series_.empty()) {
        // Until the first frame: the day before now.
        const auto now = static_cast<double>(QDateTime::currentSecsSinceEpoch());
        setAxisRange({.from = now - 24 * 60 * 60, .until = now});
    }
    showNamedRange(HistoryRange::Everything);
}

HistoryChart::~HistoryChart() {
    plot_->removeEventFilter(this);
}

QWidget* HistoryChart::plotArea() const {
    return plot_;
}

void HistoryChart::setChannel(ChannelIndex channel) {
    if (channel < 0 || channel >= ChannelCount) return;
    channel_ = channel;
    const ChannelInfo& info = infoOf(channel);
    plot_->yAxis->setLabel(ChannelSelection::frameCaption(HistorySeries::channelText(info.caption),
                                                          HistorySeries::channelText(info.unit)));
    setAccessibleName(accessibleNameOf(channel));
    changed();
}

QString HistoryChart::accessibleNameOf(ChannelIndex channel) {
    const ChannelInfo& info = infoOf(channel);
    return QStringLiteral("History of ") +
           ChannelSelection::spokenName(HistorySeries::channelText(info.caption),
                                        HistorySeries::channelText(info.unit));
}

void HistoryChart::framesChanged() {
    const bool announced = announce_;
    if (followed_) {
        if (const auto named = series_.namedRange(*followed_))
            setAxisRange(shown(*named, *followed_));
    }
    changed();
    // Frames arriving on their own change what is shown without a word.
    announce_ = announced;
}

void HistoryChart::showNamedRange(HistoryRange range) {
    followed_ = range;
    if (const auto named = series_.namedRange(range)) setAxisRange(shown(*named, range));
}

void HistoryChart::showPass(const HistoryPass& pass) {
    followed_.reset();
    setAxisRange(
        shown({.from = static_cast<double>(pass.start), .until = static_cast<double>(pass.end)},
              HistoryRange::LastPass));
}

void HistoryChart::showRange(TimeRange range) {
    if (range.from > range.until) std::swap(range.from, range.until);
    followed_.reset();
    setAxisRange(widened(range));
}

TimeRange HistoryChart::shownRange() const {
    const QCPRange range = plot_->xAxis->range();
    return {.from = range.lower, .until = range.upper};
}

void HistoryChart::zoomBy(double factor) {
    const TimeRange range = shownRange();
    const double middle = (range.from + range.until) / 2;
    const double half = (range.until - range.from) * factor / 2;
    showLimited({.from = middle - half, .until = middle + half});
}

void HistoryChart::panBy(double fraction) {
    const TimeRange range = shownRange();
    const double shift = (range.until - range.from) * fraction;
    showLimited({.from = range.from + shift, .until = range.until + shift});
}

TimeRange HistoryChart::limited(TimeRange range) const {
    range = widened(range);
    const auto all = series_.namedRange(HistoryRange::Everything);
    if (!all) return range;
    const TimeRange whole = shown(*all, HistoryRange::Everything);
    const double width = range.until - range.from;
    if (width >= whole.until - whole.from) return whole;
    const double shift = range.from < whole.from     ? whole.from - range.from
                         : range.until > whole.until ? whole.until - range.until
                                                     : 0.0;
    return {.from = range.from + shift, .until = range.until + shift};
}

void HistoryChart::showLimited(TimeRange range) {
    range = limited(range);
    // Zoomed out as far as it goes, the chart shows everything and follows new frames again.
    const auto all = series_.namedRange(HistoryRange::Everything);
    if (all && range == shown(*all, HistoryRange::Everything))
        followed_ = HistoryRange::Everything;
    else
        followed_.reset();
    setAxisRange(range);
}

void HistoryChart::setAxisRange(TimeRange range) {
    settingRange_ = true;
    plot_->xAxis->setRange(range.from, range.until);
    settingRange_ = false;
    changed();
    emit shownRangeChanged(shownRange());
}

void HistoryChart::onRangeChanged() {
    // The mouse zoomed or panned (a range set here reports itself).
    if (!settingRange_) showLimited(shownRange());
}

void HistoryChart::changed() {
    dirty_ = true;
    announce_ = true;
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

const HistoryDecimation& HistoryChart::drawn() {
    if (dirty_) rebuild();
    return drawn_;
}

void HistoryChart::rebuild() {
    dirty_ = false;
    const TimeRange range = shownRange();
    const int width = plot_->axisRect()->width();
    drawn_ = series_.decimate(channel_, range, width > 0 ? width : plot_->width());
    QVector<QCPGraphData> data;
    data.reserve(static_cast<qsizetype>(drawn_.points.size()));
    for (const HistoryPoint& point : drawn_.points)
        data.append(QCPGraphData(point.utc, point.value));
    graph_->data()->set(data, true);
    // Column minima and maxima are a band, not frames: no dots on them.
    graph_->setScatterStyle(drawn_.reduced ? QCPScatterStyle(QCPScatterStyle::ssNone)
                                           : QCPScatterStyle(QCPScatterStyle::ssDisc, PointPixels));

    const HistoryRangeFigures& figures = drawn_.figures;
    if (figures.frameCount > 0) {
        double low = figures.minimum;
        double high = figures.maximum;
        if (high == low) {
            low -= 1.0;
            high += 1.0;
        }
        const double margin = (high - low) * 0.08;
        plot_->yAxis->setRange(low - margin, high + margin);
    }
    empty_->setVisible(figures.frameCount == 0);
    empty_->setText(series_.empty() ? QStringLiteral("No frames in the archive yet")
                                    : QStringLiteral("No frames in this range"));
    updateMark();
    QString description = series_.describe(channel_, figures);
    if (description != description_) {
        description_ = std::move(description);
        if (announce_) {
            QAccessibleEvent event(this, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&event);
        }
    }
    announce_ = false;
}

void HistoryChart::updateMark() {
    QVector<QCPGraphData> point;
    if (picked_) {
        const double value = channelValue(
            channel_, picked_->bytes[static_cast<std::size_t>(infoOf(channel_).frameByte)]);
        point.append(QCPGraphData(static_cast<double>(picked_->utc), value));
    }
    mark_->data()->set(point, true);
}

void HistoryChart::pickFrame(std::size_t index) {
    if (index >= series_.size()) return;
    picked_ = series_.frame(index);
    updateMark();
    plot_->replot(QCustomPlot::rpQueuedReplot);
    emit framePicked(index);
}

std::optional<std::size_t> HistoryChart::pickedIndex() const {
    if (!picked_) return std::nullopt;
    const auto [begin, end] = series_.indicesIn(
        {.from = static_cast<double>(picked_->utc), .until = static_cast<double>(picked_->utc)});
    for (std::size_t i = begin; i < end; ++i)
        if (series_.frame(i).bytes == picked_->bytes) return i;
    return std::nullopt;
}

void HistoryChart::pickNear(double utc) {
    const TimeRange range = shownRange();
    // Nearest in time alone, anywhere in the shown range.
    const double reach = std::max(utc - range.from, range.until - utc);
    if (const auto index = series_.nearestFrame(
            channel_, utc, 0.0, {.secondsPerPixel = 1.0, .valuesPerPixel = 0.0}, reach))
        pickFrame(*index);
}

void HistoryChart::stepPick(int step) {
    const auto index = pickedIndex();
    const TimeRange range = shownRange();
    if (!index) return pickNear((range.from + range.until) / 2);
    if ((step < 0 && *index == 0) || (step > 0 && *index + 1 >= series_.size())) return;
    const std::size_t next = step < 0 ? *index - 1 : *index + 1;
    pickFrame(next);
    // The picked frame stays in view, a tenth of the width inside the edge it left by.
    const auto utc = static_cast<double>(series_.frame(next).utc);
    const double edge = (range.until - range.from) * KeyPanShare;
    if (utc < range.from)
        showLimited({.from = utc - edge, .until = utc - edge + (range.until - range.from)});
    else if (utc > range.until)
        showLimited({.from = utc + edge - (range.until - range.from), .until = utc + edge});
}

std::optional<std::size_t> HistoryChart::frameAt(QPointF pos) const {
    const QCPAxisRect* area = plot_->axisRect();
    if (!area->rect().contains(pos.toPoint()) || area->width() <= 0 || area->height() <= 0)
        return std::nullopt;
    const PixelScale scale{.secondsPerPixel = plot_->xAxis->range().size() / area->width(),
                           .valuesPerPixel = plot_->yAxis->range().size() / area->height()};
    return series_.nearestFrame(channel_, plot_->xAxis->pixelToCoord(pos.x()),
                                plot_->yAxis->pixelToCoord(pos.y()), scale, ReachPixels);
}

QPointF HistoryChart::positionOf(std::size_t index) const {
    return {plot_->xAxis->coordToPixel(static_cast<double>(series_.frame(index).utc)),
            plot_->yAxis->coordToPixel(series_.value(channel_, index))};
}

QString HistoryChart::toolTipAt(QPointF pos) const {
    const auto index = frameAt(pos);
    if (!index) return {};
    return HistorySeries::utcText(series_.frame(*index).utc) + u'\n' +
           HistorySeries::channelText(infoOf(channel_).caption) + QStringLiteral(": ") +
           HistorySeries::valueText(channel_, series_.value(channel_, *index));
}

void HistoryChart::showToolTip(QPointF pos, QPoint globalPos) {
    const QString text = toolTipAt(pos);
    toolTipShown_ = !text.isEmpty();
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(globalPos, text, plot_);
}

bool HistoryChart::eventFilter(QObject* watched, QEvent* event) {
    if (watched != plot_) return false;
    switch (event->type()) {
        case QEvent::ToolTip: {
            const auto* help = static_cast<QHelpEvent*>(event);
            showToolTip(help->pos(), help->globalPos());
            return true;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            // A shown tip follows the pointer; a hidden one waits for the next tool tip event.
            if (toolTipShown_ && QToolTip::isVisible() && mouse->buttons() == Qt::NoButton)
                showToolTip(mouse->position(), mouse->globalPosition().toPoint());
            return false;
        }
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            pressed_ = mouse->button() == Qt::LeftButton;
            pressedAt_ = mouse->position();
            // With Shift or Ctrl a drag draws the range to zoom into; without, it pans.
            const bool drawsRange =
                (mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) != 0;
            plot_->setSelectionRectMode(drawsRange ? QCP::srmZoom : QCP::srmNone);
            QToolTip::hideText();
            return false;
        }
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool click =
                pressed_ && mouse->button() == Qt::LeftButton &&
                plot_->selectionRectMode() == QCP::srmNone &&
                (mouse->position() - pressedAt_).manhattanLength() <= ClickSlackPixels;
            pressed_ = false;
            if (click) {
                if (const auto index = frameAt(mouse->position())) pickFrame(*index);
            }
            return false;
        }
        case QEvent::MouseButtonDblClick:
            showNamedRange(HistoryRange::Everything);
            return false;
        case QEvent::Resize:
            // Another width has other pixel columns.
            changed();
            return false;
        default:
            return false;
    }
}

void HistoryChart::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:  // + without Shift on many layouts
            zoomBy(KeyZoomFactor);
            break;
        case Qt::Key_Minus:
            zoomBy(1.0 / KeyZoomFactor);
            break;
        case Qt::Key_Left:
            ctrl ? stepPick(-1) : panBy(-KeyPanShare);
            break;
        case Qt::Key_Right:
            ctrl ? stepPick(1) : panBy(KeyPanShare);
            break;
        case Qt::Key_Home:
            showNamedRange(HistoryRange::Everything);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: {
            const TimeRange range = shownRange();
            pickNear((range.from + range.until) / 2);
            break;
        }
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void HistoryChart::paintEvent(QPaintEvent*) {
    // The plot fills the widget but for a frame that shows where the keyboard is.
    if (hasFocus()) drawFocusFrame(*this);
}

void HistoryChart::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void HistoryChart::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

}  // namespace orvalin
