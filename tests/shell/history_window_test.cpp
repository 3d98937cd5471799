// The Mission History window as a user meets it: the status while frames load and arrive, the
// picked frame's values, the pass list and the range controls choosing what the chart shows,
// and Export handing on the shown range.
#include "shell/history_window.h"

#include <gtest/gtest.h>

#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "decoder/number_text.h"
#include "views/history_chart.h"

namespace orvalin {
namespace {

constexpr qint64 Day0 = 1796515200;  // 2026-12-06 00:00:00 UTC

// Ten minutes of frames ten seconds apart; every byte differs from frame to frame.
std::vector<HistoryFrame> pass(qint64 start) {
    std::vector<HistoryFrame> frames;
    for (int i = 0; i < 60; ++i) {
        HistoryFrame frame{.utc = start + 10 * i, .bytes = {}};
        for (std::size_t b = 0; b < frame.bytes.size(); ++b)
            frame.bytes[b] = static_cast<std::uint8_t>(7 * i + 13 * b);
        frames.push_back(frame);
    }
    return frames;
}

class HistoryWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    }
    // Adds the passes and waits for the window to catch up.
    void addPasses(std::initializer_list<qint64> starts) {
        for (qint64 start : starts) window_.addFrames(pass(start));
        QTest::qWait(HistoryWindow::RefreshMilliseconds + 50);
    }
    template <typename T>
    T* find(const char* name) const {
        return window_.findChild<T*>(QString::fromLatin1(name));
    }

    HistoryWindow window_;
};

TEST_F(HistoryWindowTest, StatusWhileFramesLoadAndArrive) {
    EXPECT_EQ(window_.windowTitle(), "Mission History");
    QLabel* status = find<QLabel>("HistoryStatus");
    const struct {
        const char* name;
        std::function<void()> act;
        QString status;
    } steps[] = {
        {"empty archive", [] {}, "No frames in the archive yet"},
        {"loading", [&] { window_.setLoading(true); }, "Loading..."},
        {"a batch while loading", [&] { addPasses({Day0}); }, "Loading..."},
        {"loaded", [&] { window_.setLoading(false); }, "60 frames"},
        {"live growth",
         [&] {
             addPasses({Day0 + 5000, Day0 + 9000});
         },
         "180 frames"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(status->text(), step.status);
    }
    // It opened on everything and stays there as frames arrive.
    EXPECT_EQ(window_.chart().followedRange(), HistoryRange::Everything);
    EXPECT_TRUE(find<QPushButton>("HistoryEverything")->isChecked());
    EXPECT_EQ(window_.chart().drawn().figures.frameCount, 180u);
}

TEST_F(HistoryWindowTest, PickedFrameShowsItsTwentyNineValues) {
    addPasses({Day0});
    window_.chart().pickFrame(42);
    EXPECT_EQ(find<QLabel>("HistoryPickedTime")->text(), "2026-12-06 00:07:00 UTC");
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(find<QLabel>(QStringLiteral("HistoryValue%1").arg(c).toLatin1())->text(),
                  formatOneDecimal(window_.series().value(c, 42), u'.'));
    }
}

TEST_F(HistoryWindowTest, PassListRangeButtonsAndFromToChooseTheShownRange) {
    addPasses({Day0, Day0 + 3 * 86400, Day0 + 3 * 86400 + 4000});
    auto* passes = find<QTableView>("HistoryPasses");
    ASSERT_EQ(passes->model()->rowCount(), 3);
    EXPECT_EQ(passes->model()->index(2, 0).data().toString(), "2026-12-06 00:00:00");
    const auto shows = [&](qint64 from, qint64 until) {
        const auto [begin, end] = window_.series().indicesIn(window_.chart().shownRange());
        return begin < end && window_.series().frame(begin).utc == from &&
               window_.series().frame(end - 1).utc == until;
    };
    // The oldest pass, at the bottom of the list.
    passes->setCurrentIndex(passes->model()->index(2, 0));
    EXPECT_TRUE(shows(Day0, Day0 + 590));
    find<QPushButton>("History24Hours")->click();
    EXPECT_TRUE(shows(Day0 + 3 * 86400, Day0 + 3 * 86400 + 4590));
    EXPECT_TRUE(find<QPushButton>("History24Hours")->isChecked());
    find<QDateTimeEdit>("HistoryFrom")
        ->setDateTime(QDateTime::fromSecsSinceEpoch(Day0 + 100, Qt::UTC));
    find<QDateTimeEdit>("HistoryTo")
        ->setDateTime(QDateTime::fromSecsSinceEpoch(Day0 + 200, Qt::UTC));
    find<QPushButton>("HistoryShow")->click();
    EXPECT_EQ(window_.chart().shownRange(), (TimeRange{double(Day0 + 100), double(Day0 + 200)}));
    EXPECT_FALSE(find<QPushButton>("History24Hours")->isChecked());

    std::vector<std::pair<qint64, qint64>> exported;
    auto* exportButton = find<QPushButton>("HistoryExport");
    EXPECT_FALSE(exportButton->isEnabled());
    window_.setExporter([&](qint64 from, qint64 until) { exported.emplace_back(from, until); });
    exportButton->click();
    EXPECT_EQ(exported, (std::vector<std::pair<qint64, qint64>>{{Day0 + 100, Day0 + 200}}));
}

}  // namespace
}  // namespace orvalin
