// The frames of the mission history in time order, and what the history window reads of them:
// the passes, the named ranges, one channel over a time range reduced to what a chart of N
// pixel columns can show, the frame nearest a point, and the words a screen reader hears.
//
//   archive (load in batches, live growth) --add--> frames, sorted by time
//        --> passes (kept up to date by add)
//        --> decimate(channel, range, columns) --> the chart's points and the range's figures
//        --> describe(...) --> the chart's accessible description
//
// Times are whole seconds since 1970-01-01T00:00:00Z (UTC). Values are the decoder's own doubles:
// the channel's formula applied to its frame byte. No widgets; QtCore only for the texts.
#pragma once

#include <QString>
#include <QtGlobal>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "decoder/channels.h"
#include "decoder/log_line.h"

namespace orvalin {

struct HistoryFrame {
    qint64 utc;  // seconds since 1970-01-01T00:00:00Z
    FrameBytes32 bytes;
};
// A million frames of a station's years fit in 40 MB.
static_assert(sizeof(HistoryFrame) == 40);

// Frames more than this many seconds apart belong to different passes (15 minutes: no pass of a
// low-orbit satellite over one station lasts longer than the gap to its next pass).
inline constexpr qint64 PassBreakSeconds = 900;

// A run of frames whose neighbours are at most PassBreakSeconds apart.
struct HistoryPass {
    std::size_t first;  // index of its first frame
    std::size_t last;   // index of its last frame
    qint64 start;       // utc of the first frame
    qint64 end;         // utc of the last frame
    // The lowest and highest raw value of each frame byte within the pass. Every channel formula
    // rises with its raw byte, so these give each channel's minimum and maximum.
    FrameBytes32 lowRaw;
    FrameBytes32 highRaw;

    std::size_t frameCount() const { return last - first + 1; }
};

// Seconds, both ends included. Chart ranges are fractional; the named ranges are whole seconds.
struct TimeRange {
    double from;
    double until;

    bool operator==(const TimeRange&) const = default;
};

enum class HistoryRange { LastPass, Last24Hours, Last7Days, Everything };

// A point of the chart: a frame's time and value, or a break (value NaN) between two passes.
struct HistoryPoint {
    double utc;
    double value;
};

// What one channel shows over a range. Indices refer to the series as it was when computed.
struct HistoryRangeFigures {
    std::size_t frameCount = 0;
    std::size_t first = 0;  // the frames first..last lie in the range (when frameCount > 0)
    std::size_t last = 0;
    std::size_t lowest = 0;   // the first frame of the minimum
    std::size_t highest = 0;  // the first frame of the maximum
    double minimum = 0.0;
    double maximum = 0.0;
};

struct HistoryDecimation {
    // In time order. Every frame when the range holds at most as many frames as columns;
    // otherwise, for each pixel column and each pass in it, the frame of the minimum and that of
    // the maximum (in their time order, one point when they are the same frame).
    std::vector<HistoryPoint> points;
    bool reduced = false;  // whether points are column minima and maxima
    HistoryRangeFigures figures;
};

// How large a pixel is, for finding the frame nearest the pointer on the chart.
struct PixelScale {
    double secondsPerPixel;
    double valuesPerPixel;
};

class HistorySeries {
public:
    // Takes a batch in any order. All frames stay sorted by time; frames of equal time keep the
    // order in which they were added. Costs the batch's sort plus the frames after the first
    // place the batch reaches into: nothing beyond the batch when it comes after every frame.
    void add(std::vector<HistoryFrame> batch);
    // Room for `frames` in all, so that a load of a known size never copies what it holds to
    // grow: at a million frames that copy would hold 40 MB beside the 40 MB kept.
    void reserve(std::size_t frames) { frames_.reserve(frames); }

    std::size_t size() const { return frames_.size(); }
    bool empty() const { return frames_.empty(); }
    const HistoryFrame& frame(std::size_t index) const { return frames_[index]; }
    double value(ChannelIndex channel, std::size_t index) const;

    const std::vector<HistoryPass>& passes() const { return passes_; }
    // The first pass that the last add changed or made: passes before it are as they were.
    std::size_t passesChangedFrom() const { return passesChangedFrom_; }
    double passMinimum(const HistoryPass& pass, ChannelIndex channel) const;
    double passMaximum(const HistoryPass& pass, ChannelIndex channel) const;

    // The last pass; the 24 hours and the 7 days up to the newest frame; first to newest frame.
    // Empty series: nullopt.
    std::optional<TimeRange> namedRange(HistoryRange range) const;

    // The frames with from <= utc <= until: indices [begin, end), equal when there are none.
    std::pair<std::size_t, std::size_t> indicesIn(TimeRange range) const;

    // One channel over `range` for a chart `columns` pixels wide (at least 1). A column never
    // mixes two passes, and consecutive points of different passes have a break between them.
    HistoryDecimation decimate(ChannelIndex channel, TimeRange range, int columns) const;

    // The frame nearest `utc`/`value` in pixels, among those at most `reachPixels` away in time;
    // of equally near frames the earliest. nullopt when none is that close.
    std::optional<std::size_t> nearestFrame(ChannelIndex channel, double utc, double value,
                                            PixelScale scale, double reachPixels) const;

    // What a screen reader hears of the figures of `channel`, values as the record view shows
    // them (one decimal, the locale's separator) with the unit, times as "2026-12-06 12:34:56 UTC":
    //   "No frames shown"
    //   "1 frame, at 2026-12-06 12:34:56 UTC: 23.0 C"
    //   "1,234 frames from <time> to <time>; minimum 21.4 C at <time>; maximum 25.0 C at <time>"
    QString describe(ChannelIndex channel, const HistoryRangeFigures& figures) const;

    // "2026-12-06 12:34:56 UTC"
    static QString utcText(qint64 utc);
    // "2026-12-06 12:34:56", where a heading already says UTC; the format of QDateTime.
    static QString utcTimeText(qint64 utc);
    static inline const QString UtcTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    // A caption or unit of the channel catalogue as text.
    static QString channelText(std::string_view text);
    // "23.0 C" as the record view shows the value, with the unit; "-42.0" for a blank unit.
    static QString valueText(ChannelIndex channel, double value);

private:
    void updatePassesFrom(std::size_t changed);

    std::vector<HistoryFrame> frames_;
    std::vector<HistoryPass> passes_;
    std::size_t passesChangedFrom_ = 0;
};

// A channel's value for each raw byte 0..255, as channelValue gives it: the one formula, looked
// up instead of switched on for every frame of a million.
class ChannelValueTable {
public:
    explicit ChannelValueTable(ChannelIndex channel);
    double operator()(const FrameBytes32& bytes) const { return values_[bytes[frameByte_]]; }

private:
    std::array<double, 256> values_{};
    std::size_t frameByte_;
};

}  // namespace orvalin
