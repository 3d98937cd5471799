// The mission history's frames: order, passes, named ranges, reduction to pixel columns, the frame
// nearest a point and the words a screen reader hears.
#include "views/history_series.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>
#include <random>

namespace orvalin {
namespace {

constexpr ChannelIndex BattTemp = DefaultChannel;  // frame byte 9: 1.6 * raw - 273 C
constexpr std::size_t BattTempByte = 9;
constexpr qint64 Day0 = 1796515200;  // 2026-12-06 00:00:00 UTC

// A frame at `utc` whose Batt Temp byte is `raw` and whose byte 0 tags it.
HistoryFrame frameAt(qint64 utc, std::uint8_t raw = 180, std::uint8_t tag = 0) {
    HistoryFrame frame{.utc = utc, .bytes = {}};
    frame.bytes[0] = tag;
    frame.bytes[BattTempByte] = raw;
    return frame;
}

std::vector<std::uint8_t> tagsOf(const HistorySeries& series) {
    std::vector<std::uint8_t> tags;
    for (std::size_t i = 0; i < series.size(); ++i) tags.push_back(series.frame(i).bytes[0]);
    return tags;
}

TEST(HistorySeriesTest, EqualTimesKeepTheOrderTheyWereAddedIn) {
    HistorySeries series;
    series.add({frameAt(10, 180, 1), frameAt(5, 180, 2), frameAt(10, 180, 3)});
    series.add({frameAt(10, 180, 4), frameAt(5, 180, 5), frameAt(7, 180, 6)});
    series.add({frameAt(20, 180, 7)});
    EXPECT_EQ(tagsOf(series), (std::vector<std::uint8_t>{2, 5, 6, 1, 3, 4, 7}));
}

TEST(HistorySeriesTest, PassesFollowTheGapsBetweenNeighbours) {
    const struct {
        const char* name;
        std::vector<qint64> times;
        std::vector<std::pair<qint64, qint64>> passes;  // start, end
    } cases[] = {
        {"899 s apart", {0, 899}, {{0, 899}}},
        {"900 s apart", {0, 900}, {{0, 900}}},
        {"901 s apart", {0, 901}, {{0, 0}, {901, 901}}},
        {"equal times", {50, 50, 50}, {{50, 50}}},
        {"a break then a run", {0, 1000, 1001, 1900, 2801}, {{0, 0}, {1000, 1900}, {2801, 2801}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HistorySeries series;
        std::vector<HistoryFrame> frames;
        for (qint64 t : c.times) frames.push_back(frameAt(Day0 + t));
        series.add(frames);
        std::vector<std::pair<qint64, qint64>> passes;
        for (const HistoryPass& pass : series.passes())
            passes.emplace_back(pass.start - Day0, pass.end - Day0);
        EXPECT_EQ(passes, c.passes);
    }
}

// Frames and passes kept up to date batch by batch, batches reaching back in time, are those of
// all frames added at once; each pass's minimum and maximum are those of its frames.
TEST(HistorySeriesTest, BatchesInAnyOrderGiveTheFramesAndPassesOfOneBatch) {
    std::mt19937 random(12);
    std::vector<HistoryFrame> all;
    for (int i = 0; i < 3000; ++i) {
        // Sixty passes of about fifty frames, some frames at equal times.
        const auto utc = Day0 + static_cast<qint64>(random() % 60 * 5000 + random() % 600);
        HistoryFrame frame{.utc = utc, .bytes = {}};
        for (auto& byte : frame.bytes) byte = static_cast<std::uint8_t>(random());
        frame.bytes[0] = static_cast<std::uint8_t>(i);
        frame.bytes[1] = static_cast<std::uint8_t>(i >> 8);
        all.push_back(frame);
    }
    HistorySeries inOne;
    inOne.add(all);
    HistorySeries inBatches;
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t end = std::min(all.size(), at + 1 + random() % 400);
        inBatches.add({all.begin() + static_cast<long>(at), all.begin() + static_cast<long>(end)});
        at = end;
    }
    ASSERT_EQ(inBatches.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        ASSERT_EQ(inBatches.frame(i).utc, inOne.frame(i).utc) << i;
        ASSERT_EQ(inBatches.frame(i).bytes, inOne.frame(i).bytes) << i;
    }
    ASSERT_GT(inOne.passes().size(), 10u);
    ASSERT_EQ(inBatches.passes().size(), inOne.passes().size());
    for (std::size_t p = 0; p < inOne.passes().size(); ++p) {
        const HistoryPass& got = inBatches.passes()[p];
        const HistoryPass& want = inOne.passes()[p];
        ASSERT_EQ(std::tie(got.first, got.last, got.start, got.end),
                  std::tie(want.first, want.last, want.start, want.end));
        for (ChannelIndex c = 0; c < ChannelCount; ++c) {
            double low = inOne.value(c, want.first);
            double high = low;
            for (std::size_t i = want.first; i <= want.last; ++i) {
                low = std::min(low, inOne.value(c, i));
                high = std::max(high, inOne.value(c, i));
            }
            EXPECT_EQ(inBatches.passMinimum(got, c), low) << p << " " << c;
            EXPECT_EQ(inBatches.passMaximum(got, c), high) << p << " " << c;
        }
    }
}

TEST(HistorySeriesTest, NamedRangesEndAtTheNewestFrame) {
    HistorySeries series;
    EXPECT_FALSE(series.namedRange(HistoryRange::Everything));
    const qint64 eightDaysBefore = Day0 - 8 * 86400;
    const qint64 twoDaysBefore = Day0 - 2 * 86400;
    series.add({frameAt(Day0), frameAt(Day0 + 300), frameAt(Day0 + 600), frameAt(eightDaysBefore),
                frameAt(eightDaysBefore + 10), frameAt(twoDaysBefore), frameAt(twoDaysBefore + 5)});
    const struct {
        const char* name;
        HistoryRange range;
        qint64 from;
        std::size_t frames;
    } cases[] = {
        {"last pass", HistoryRange::LastPass, Day0, 3},
        {"24 hours", HistoryRange::Last24Hours, Day0 + 600 - 86400, 3},
        {"7 days", HistoryRange::Last7Days, Day0 + 600 - 7 * 86400, 5},
        {"everything", HistoryRange::Everything, eightDaysBefore, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto range = series.namedRange(c.range);
        ASSERT_TRUE(range);
        EXPECT_EQ(*range, (TimeRange{.from = double(c.from), .until = double(Day0 + 600)}));
        const auto [begin, end] = series.indicesIn(*range);
        EXPECT_EQ(end - begin, c.frames);
    }
}

// One spike or dip among a million flat frames (11.6 days at one a second, one pass) is in
// the drawn minima and maxima of 800 columns.
TEST(HistorySeriesTest, ASpikeAmongAMillionFramesIsDrawn) {
    constexpr std::size_t Count = 1'000'000;
    const struct {
        const char* name;
        std::size_t at;
        std::uint8_t raw;
    } cases[] = {{"spike in the middle", 500'001, 250},
                 {"dip at the first frame", 0, 10},
                 {"spike at the last frame", Count - 1, 250}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<HistoryFrame> frames(Count, frameAt(0));
        for (std::size_t i = 0; i < Count; ++i) frames[i].utc = Day0 + static_cast<qint64>(i);
        frames[c.at].bytes[BattTempByte] = c.raw;
        HistorySeries series;
        series.add(std::move(frames));
        const HistoryDecimation drawn =
            series.decimate(BattTemp, *series.namedRange(HistoryRange::Everything), 800);
        EXPECT_TRUE(drawn.reduced);
        EXPECT_LE(drawn.points.size(), 1600u);
        const double spike = channelValue(BattTemp, c.raw);
        EXPECT_TRUE(std::any_of(drawn.points.begin(), drawn.points.end(), [&](const auto& p) {
            return p.utc == double(Day0 + qint64(c.at)) && p.value == spike;
        }));
        EXPECT_EQ(drawn.figures.frameCount, Count);
        EXPECT_EQ(c.raw > 180 ? drawn.figures.highest : drawn.figures.lowest, c.at);
    }
}

TEST(HistorySeriesTest, PointsNeverJoinTwoPasses) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<HistoryFrame> frames;
    for (qint64 t = 0; t < 100; ++t) frames.push_back(frameAt(Day0 + t, t == 50 ? 190 : 180));
    for (qint64 t = 1000; t < 1100; ++t) frames.push_back(frameAt(Day0 + t, 200));
    HistorySeries series;
    series.add(frames);
    const TimeRange all = *series.namedRange(HistoryRange::Everything);
    const struct {
        const char* name;
        int columns;
        std::vector<HistoryPoint> points;
    } cases[] = {
        {"both passes in one column",
         1,
         {{double(Day0), 15.0},
          {double(Day0 + 50), 31.0},
          {Day0 + 549.5, nan},
          {double(Day0 + 1000), 47.0}}},
        {"every frame when they fit", 400, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HistoryDecimation drawn = series.decimate(BattTemp, all, c.columns);
        std::vector<HistoryPoint> expected = c.points;
        if (expected.empty()) {
            for (std::size_t i = 0; i < series.size(); ++i) {
                if (i == 100) expected.push_back({Day0 + 549.5, nan});
                expected.push_back({double(series.frame(i).utc), series.value(BattTemp, i)});
            }
        }
        ASSERT_EQ(drawn.points.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(drawn.points[i].utc, expected[i].utc) << i;
            if (std::isnan(expected[i].value))
                EXPECT_TRUE(std::isnan(drawn.points[i].value)) << i;
            else
                EXPECT_NEAR(drawn.points[i].value, expected[i].value, 1e-9) << i;
        }
    }
}

TEST(HistorySeriesTest, NearestFrameInPixels) {
    HistorySeries series;  // Batt Temp 15 C, 47 C, 15 C, ten seconds apart
    series.add({frameAt(Day0, 180), frameAt(Day0 + 10, 200), frameAt(Day0 + 20, 180)});
    const PixelScale scale{.secondsPerPixel = 1.0, .valuesPerPixel = 1.0};
    const struct {
        const char* name;
        double seconds;
        double value;
        std::optional<std::size_t> nearest;
    } cases[] = {
        {"on a frame", 10, 47, 1},
        {"nearer in time", 4, 15, 0},
        {"nearer in value than the frame nearer in time", 9, 15, 0},
        {"equally near: the earlier", 15, 31, 1},
        {"beyond reach in time", 40, 15, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(series.nearestFrame(BattTemp, Day0 + c.seconds, c.value, scale, 12.0), c.nearest);
    }
}

TEST(HistorySeriesTest, DescriptionInTheLocalesNumbers) {
    HistorySeries series;
    std::vector<HistoryFrame> frames;
    for (qint64 t = 0; t < 1234; ++t) frames.push_back(frameAt(Day0 + t, t == 7 ? 200 : 180));
    series.add(frames);
    const QLocale before;
    const struct {
        const char* name;
        QLocale locale;
        ChannelIndex channel;
        TimeRange range;
        QString text;
    } cases[] = {
        {"none", QLocale(QLocale::English), BattTemp, {0, 1}, "No frames shown"},
        {"one",
         QLocale(QLocale::German),
         BattTemp,
         {double(Day0 + 7), double(Day0 + 7)},
         "1 frame, at 2026-12-06 00:00:07 UTC: 47,0 C"},
        {"many", QLocale(QLocale::German), BattTemp, *series.namedRange(HistoryRange::Everything),
         "1.234 frames from 2026-12-06 00:00:00 UTC to 2026-12-06 00:20:33 UTC; minimum 15,0 C "
         "at 2026-12-06 00:00:00 UTC; maximum 47,0 C at 2026-12-06 00:00:07 UTC"},
        {"a channel without unit",
         QLocale(QLocale::English, QLocale::UnitedStates),
         18,
         {double(Day0), double(Day0 + 1)},
         "2 frames from 2026-12-06 00:00:00 UTC to 2026-12-06 00:00:01 UTC; minimum 0.0 at "
         "2026-12-06 00:00:00 UTC; maximum 0.0 at 2026-12-06 00:00:00 UTC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QLocale::setDefault(c.locale);
        EXPECT_EQ(series.describe(c.channel, series.decimate(c.channel, c.range, 800).figures),
                  c.text);
    }
    QLocale::setDefault(before);
}

}  // namespace
}  // namespace orvalin
