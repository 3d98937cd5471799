// The chart of the Mission History window: one channel of a HistorySeries over time on a
// date-and-time axis in UTC, the frames as points joined within a pass and never across a break.
//
// Each redraw asks the series for the shown range reduced to the chart's pixel columns, so it
// feeds the plot at most a few thousand points however many frames the range holds. Changes
// (range, channel, frames, size) only mark the chart for a rebuild in the next redraw, which is
// queued to the next turn of the event loop: a burst of changes costs one redraw.
//
// Mouse: the wheel zooms around the pointer, dragging pans, Shift+drag or Ctrl+drag draws a range
// to zoom into, a double click shows everything, a click picks the frame nearest the pointer and
// resting the pointer shows that frame's time and value.
// Keys: + and - zoom around the middle, Left and Right pan by a tenth, Home shows everything,
// Return or Space picks the frame nearest the middle, Ctrl+Left and Ctrl+Right pick the frame
// before or after the picked one.
//
// A screen reader hears the chart as "History of Batt Temp, C", described by the frames it shows,
// their first and last time and the minimum and maximum with their times.
#pragma once

#include <QString>
#include <QWidget>
#include <cstddef>
#include <optional>

#include "views/history_series.h"

class QCPGraph;
class QCPItemText;
class QCustomPlot;

namespace orvalin {

class HistoryChart : public QWidget {
    Q_OBJECT

public:
    // Reads `series`, which must outlive the chart; call framesChanged after adding to it.
    explicit HistoryChart(const HistorySeries& series, QWidget* parent = nullptr);
    ~HistoryChart() override;

    void setChannel(ChannelIndex channel);
    ChannelIndex channel() const { return channel_; }

    // Frames were added to the series: a named range that is shown follows the new frames,
    // and the chart is redrawn.
    void framesChanged();

    // A named range, which then follows new frames until another range is chosen. The last pass
    // and everything get a little room on both sides; the 24 hours and 7 days start exactly
    // where they say. Without frames nothing changes.
    void showNamedRange(HistoryRange range);
    // One pass, with the room the last pass gets; the range then stays as new frames come.
    void showPass(const HistoryPass& pass);
    // Exactly `range` (ends swapped if reversed), at least a minute wide.
    void showRange(TimeRange range);
    // The range the chart shows now, in seconds since 1970 (fractional while zooming).
    TimeRange shownRange() const;
    // The named range being followed, if the range shown is one.
    std::optional<HistoryRange> followedRange() const { return followed_; }

    // Zooms around the middle: a factor below 1 shows less time, above 1 more. As the mouse and
    // the keys do, it stays within the frames and at least a minute wide.
    void zoomBy(double factor);
    // Moves by `fraction` of the shown width, positive towards later times.
    void panBy(double fraction);

    // Picks the frame at `index` of the series now: it is marked, and framePicked says so.
    void pickFrame(std::size_t index);
    // The picked frame as it was picked; the mark stays on it as frames are added.
    const std::optional<HistoryFrame>& pickedFrame() const { return picked_; }

    // The widget that draws the plot and takes the mouse; positions below are its pixels.
    QWidget* plotArea() const;
    // The frame nearest a point of the plot, at most ReachPixels away in time.
    static constexpr double ReachPixels = 12.0;
    std::optional<std::size_t> frameAt(QPointF pos) const;
    // "2026-12-06 12:34:56 UTC\nBatt Temp: 23.0 C" of the frame at pos; empty where none is.
    QString toolTipAt(QPointF pos) const;
    // Where a frame's point is drawn.
    QPointF positionOf(std::size_t index) const;

    // "History of Batt Temp, C"; "History of RSSI" for a channel whose unit is a blank.
    static QString accessibleNameOf(ChannelIndex channel);

    // What a screen reader hears as the chart's description (HistorySeries::describe of the
    // shown range). A change is announced when the user caused it (range, channel, size), not
    // when only new frames changed it, so that a growing history is not read out every second.
    const QString& description() const { return description_; }

    // What the last rebuild drew; rebuilds now first if a change waits.
    const HistoryDecimation& drawn();

signals:
    void framePicked(std::size_t index);
    void shownRangeChanged(orvalin::TimeRange range);
    // After every redraw of the plot.
    void redrawn();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setAxisRange(TimeRange range);
    void onRangeChanged();
    // Keeps a range the user zoomed or panned to within the frames, at least a minute wide.
    TimeRange limited(TimeRange range) const;
    // A range the user zoomed or panned to, limited; everything when it reaches that far.
    void showLimited(TimeRange range);
    void changed();
    void rebuild();
    void updateMark();
    void pickNear(double utc);
    void stepPick(int step);
    std::optional<std::size_t> pickedIndex() const;
    void showToolTip(QPointF pos, QPoint globalPos);

    const HistorySeries& series_;
    QCustomPlot* plot_;   // child widget
    QCPGraph* graph_;     // owned by the plot
    QCPGraph* mark_;      // the picked frame, one point
    QCPItemText* empty_;  // "No frames" over an empty range
    ChannelIndex channel_ = DefaultChannel;
    std::optional<HistoryRange> followed_ = HistoryRange::Everything;
    std::optional<HistoryFrame> picked_;
    HistoryDecimation drawn_;
    QString description_;
    bool dirty_ = true;
    bool announce_ = false;  // the next rebuild announces a changed description
    bool settingRange_ = false;
    QPointF pressedAt_;
    bool pressed_ = false;
    bool toolTipShown_ = false;
};

}  // namespace orvalin
