#include "views/history_series.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

#include "decoder/number_text.h"

namespace orvalin {

namespace {

constexpr qint64 SecondsPerDay = 24 * 60 * 60;

bool byTime(const HistoryFrame& a, const HistoryFrame& b) {
    return a.utc < b.utc;
}

bool breaksPass(const HistoryFrame& before, const HistoryFrame& after) {
    return after.utc - before.utc > PassBreakSeconds;
}

HistoryPass passOf(std::size_t index, const HistoryFrame& frame) {
    return {.first = index,
            .last = index,
            .start = frame.utc,
            .end = frame.utc,
            .lowRaw = frame.bytes,
            .highRaw = frame.bytes};
}

void extendPass(HistoryPass& pass, std::size_t index, const HistoryFrame& frame) {
    pass.last = index;
    pass.end = frame.utc;
    for (std::size_t b = 0; b < frame.bytes.size(); ++b) {
        pass.lowRaw[b] = std::min(pass.lowRaw[b], frame.bytes[b]);
        pass.highRaw[b] = std::max(pass.highRaw[b], frame.bytes[b]);
    }
}

std::size_t frameByteOf(ChannelIndex channel) {
    return static_cast<std::size_t>(ChannelCatalogue[static_cast<std::size_t>(channel)].frameByte);
}

}  // namespace

ChannelValueTable::ChannelValueTable(ChannelIndex channel) : frameByte_(frameByteOf(channel)) {
    for (std::size_t raw = 0; raw < values_.size(); ++raw)
        values_[raw] = channelValue(channel, static_cast<std::int32_t>(raw));
}

void HistorySeries::add(std::vector<HistoryFrame> batch) {
    if (batch.empty()) {
        passesChangedFrom_ = passes_.size();
        return;
    }
    if (!std::is_sorted(batch.begin(), batch.end(), byTime))
        std::stable_sort(batch.begin(), batch.end(), byTime);
    std::size_t changed = 0;
    if (frames_.empty() && frames_.capacity() < batch.size()) {
        frames_ = std::move(batch);
    } else {
        // Frames of the batch go after every frame of equal time already held, so only the
        // frames later than the batch's first move.
        const auto firstLater =
            std::upper_bound(frames_.begin(), frames_.end(), batch.front(), byTime);
        changed = static_cast<std::size_t>(firstLater - frames_.begin());
        std::size_t held = frames_.size();
        std::size_t taken = batch.size();
        frames_.resize(held + taken);
        // Merged from the back into the grown vector: no buffer beyond the batch itself.
        for (std::size_t to = frames_.size(); taken > 0;) {
            if (held > changed && frames_[held - 1].utc > batch[taken - 1].utc)
                frames_[--to] = frames_[--held];
            else
                frames_[--to] = batch[--taken];
        }
    }
    updatePassesFrom(changed);
}

void HistorySeries::updatePassesFrom(std::size_t changed) {
    // The pass holding frame changed - 1 keeps its frames up to there and goes on; every later
    // pass is made again from the frames as they now stand. Added frames only narrow gaps, so
    // every frame the kept pass held is still in it: its low and high raw values stay true.
    std::size_t next = 0;
    if (changed == 0) {
        passes_.clear();
    } else {
        const auto holding = std::prev(std::upper_bound(
            passes_.begin(), passes_.end(), changed - 1,
            [](std::size_t index, const HistoryPass& pass) { return index < pass.first; }));
        passes_.erase(std::next(holding), passes_.end());
        next = changed;
    }
    passesChangedFrom_ = passes_.empty() ? 0 : passes_.size() - 1;
    for (std::size_t i = next; i < frames_.size(); ++i) {
        if (i == 0 || breaksPass(frames_[i - 1], frames_[i]))
            passes_.push_back(passOf(i, frames_[i]));
        else
            extendPass(passes_.back(), i, frames_[i]);
    }
}

double HistorySeries::value(ChannelIndex channel, std::size_t index) const {
    return channelValue(channel, frames_[index].bytes[frameByteOf(channel)]);
}

double HistorySeries::passMinimum(const HistoryPass& pass, ChannelIndex channel) const {
    return channelValue(channel, pass.lowRaw[frameByteOf(channel)]);
}

double HistorySeries::passMaximum(const HistoryPass& pass, ChannelIndex channel) const {
    return channelValue(channel, pass.highRaw[frameByteOf(channel)]);
}

std::optional<TimeRange> HistorySeries::namedRange(HistoryRange range) const {
    if (frames_.empty()) return std::nullopt;
    const auto newest = static_cast<double>(frames_.back().utc);
    switch (range) {
        case HistoryRange::LastPass:
            return TimeRange{.from = static_cast<double>(passes_.back().start), .until = newest};
        case HistoryRange::Last24Hours:
            return TimeRange{.from = newest - SecondsPerDay, .until = newest};
        case HistoryRange::Last7Days:
            return TimeRange{.from = newest - 7 * SecondsPerDay, .until = newest};
        case HistoryRange::Everything:
            return TimeRange{.from = static_cast<double>(frames_.front().utc), .until = newest};
    }
    return std::nullopt;
}

std::pair<std::size_t, std::size_t> HistorySeries::indicesIn(TimeRange range) const {
    const auto begin = std::partition_point(frames_.begin(), frames_.end(), [&](const auto& f) {
        return static_cast<double>(f.utc) < range.from;
    });
    const auto end = std::partition_point(begin, frames_.end(), [&](const auto& f) {
        return static_cast<double>(f.utc) <= range.until;
    });
    return {static_cast<std::size_t>(begin - frames_.begin()),
            static_cast<std::size_t>(end - frames_.begin())};
}

HistoryDecimation HistorySeries::decimate(ChannelIndex channel, TimeRange range,
                                          int columns) const {
    HistoryDecimation result;
    const auto [begin, end] = indicesIn(range);
    if (begin == end) return result;
    const ChannelValueTable valueOf(channel);
    columns = std::max(columns, 1);
    HistoryRangeFigures& figures = result.figures;
    figures = {.frameCount = end - begin,
               .first = begin,
               .last = end - 1,
               .lowest = begin,
               .highest = begin,
               .minimum = valueOf(frames_[begin].bytes),
               .maximum = valueOf(frames_[begin].bytes)};
    result.reduced = figures.frameCount > static_cast<std::size_t>(columns);
    std::vector<HistoryPoint>& points = result.points;
    const auto pointOf = [&](std::size_t i, double value) {
        return HistoryPoint{.utc = static_cast<double>(frames_[i].utc), .value = value};
    };
    const auto breakBefore = [&](std::size_t i) {
        const double middle = (static_cast<double>(frames_[i - 1].utc) + frames_[i].utc) / 2;
        points.push_back({.utc = middle, .value = std::numeric_limits<double>::quiet_NaN()});
    };

    // The frames of one column and pass so far: those of its lowest and highest value.
    const double columnsPerSecond =
        range.until > range.from ? columns / (range.until - range.from) : 0.0;
    int column = -1;
    std::size_t low = begin;
    std::size_t high = begin;
    double lowValue = 0.0;
    double highValue = 0.0;
    const auto flush = [&] {
        if (column < 0) return;
        points.push_back(pointOf(std::min(low, high), low < high ? lowValue : highValue));
        if (low != high)
            points.push_back(pointOf(std::max(low, high), low < high ? highValue : lowValue));
    };

    for (std::size_t i = begin; i < end; ++i) {
        const double value = valueOf(frames_[i].bytes);
        if (value < figures.minimum) {
            figures.minimum = value;
            figures.lowest = i;
        }
        if (value > figures.maximum) {
            figures.maximum = value;
            figures.highest = i;
        }
        const bool newPass = i > begin && breaksPass(frames_[i - 1], frames_[i]);
        if (!result.reduced) {
            if (newPass) breakBefore(i);
            points.push_back(pointOf(i, value));
            continue;
        }
        const int at = std::min(
            columns - 1, static_cast<int>((static_cast<double>(frames_[i].utc) - range.from) *
                                          columnsPerSecond));
        if (newPass || at != column) {
            flush();
            if (newPass) breakBefore(i);
            column = at;
            low = high = i;
            lowValue = highValue = value;
        } else if (value < lowValue) {
            low = i;
            lowValue = value;
        } else if (value > highValue) {
            high = i;
            highValue = value;
        }
    }
    flush();
    return result;
}

std::optional<std::size_t> HistorySeries::nearestFrame(ChannelIndex channel, double utc,
                                                       double value, PixelScale scale,
                                                       double reachPixels) const {
    const double reach = reachPixels * scale.secondsPerPixel;
    const auto [begin, end] = indicesIn({.from = utc - reach, .until = utc + reach});
    const ChannelValueTable valueOf(channel);
    std::optional<std::size_t> nearest;
    double nearestSquare = std::numeric_limits<double>::infinity();
    for (std::size_t i = begin; i < end; ++i) {
        const double dx = (static_cast<double>(frames_[i].utc) - utc) / scale.secondsPerPixel;
        const double dy = scale.valuesPerPixel > 0
                              ? (valueOf(frames_[i].bytes) - value) / scale.valuesPerPixel
                              : 0.0;
        const double square = dx * dx + dy * dy;
        if (square < nearestSquare) {
            nearestSquare = square;
            nearest = i;
        }
    }
    return nearest;
}

QString HistorySeries::describe(ChannelIndex channel, const HistoryRangeFigures& figures) const {
    if (figures.frameCount == 0) return QStringLiteral("No frames shown");
    if (figures.frameCount == 1)
        return QStringLiteral("1 frame, at %1: %2")
            .arg(utcText(frames_[figures.first].utc), valueText(channel, figures.minimum));
    return QStringLiteral("%1 frames from %2 to %3; minimum %4 at %5; maximum %6 at %7")
        .arg(QLocale().toString(static_cast<qulonglong>(figures.frameCount)),
             utcText(frames_[figures.first].utc), utcText(frames_[figures.last].utc),
             valueText(channel, figures.minimum), utcText(frames_[figures.lowest].utc),
             valueText(channel, figures.maximum), utcText(frames_[figures.highest].utc));
}

QString HistorySeries::utcText(qint64 utc) {
    return utcTimeText(utc) + QStringLiteral(" UTC");
}

QString HistorySeries::utcTimeText(qint64 utc) {
    return QDateTime::fromSecsSinceEpoch(utc, Qt::UTC).toString(UtcTimeFormat);
}

QString HistorySeries::channelText(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString HistorySeries::valueText(ChannelIndex channel, double value) {
    const std::string_view unit = ChannelCatalogue[static_cast<std::size_t>(channel)].unit;
    const QString unitText = channelText(unit).trimmed();
    const QString number = formatOneDecimal(value, localeDecimalSeparator());
    return unitText.isEmpty() ? number : number + u' ' + unitText;
}

}  // namespace orvalin
