// The Mission History window: one channel of every frame the station archive holds, over time.
//
//   archive (loaded in batches in the background, then live growth) --addFrames--> HistorySeries
//        --> HistoryChart (the shown range of the channel), its range buttons and From/To
//        --> the pass list (start, end, frames, minimum and maximum of the channel)
//        --> the picked frame's 29 values beside the chart
//        --> Export... (the shown range, written by the function the window is given)
//
// Read-only: the window never writes the archive. Batches only merge into the series; the
// chart, the pass list and the status text catch up at most every RefreshMilliseconds, so a
// stream of batches costs one redraw per interval however many batches it brings.
#pragma once

#include <QWidget>
#include <array>
#include <cstddef>
#include <functional>
#include <limits>
#include <vector>

#include "views/history_series.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace orvalin {

class HistoryChart;
class HistoryPassTable;

inline constexpr char MissionHistoryTitle[] = "Mission History";

class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int RefreshMilliseconds = 100;

    explicit HistoryWindow(QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Frames in any order, on the window's thread: a batch of the background load or new
    // frames of live growth.
    void addFrames(std::vector<HistoryFrame> frames);
    // How many frames the background load will bring, before the first batch.
    void expectFrames(std::size_t frames);
    // While on, the status says "Loading...".
    void setLoading(bool loading);
    // Trouble the status says instead of the count (an archive that cannot be read).
    void setNote(const QString& note);
    // Writes the frames with fromUtc <= utc <= untilUtc (whole seconds) to a file the user
    // chooses; "Export..." calls it with the shown range. Without one the button is disabled.
    using Exporter = std::function<void(qint64 fromUtc, qint64 untilUtc)>;
    void setExporter(Exporter exporter);

    const HistorySeries& series() const { return series_; }
    HistoryChart& chart() const { return *chart_; }
    QString statusText() const;

private:
    void buildControls();
    void refresh();
    void onChannelChosen(int channel);
    void onShownRangeChanged(TimeRange range);
    void onPassChosen(int row);
    void showPicked(std::size_t index);
    void showFromTo();
    void exportShown();
    void updateRangeButtons();

    HistorySeries series_;
    Exporter exporter_;
    bool loading_ = false;
    QString note_;
    // The first pass changed by the adds since the last refresh.
    std::size_t passesChangedFrom_ = std::numeric_limits<std::size_t>::max();
    // The user edited From or To: the shown range no longer overwrites them until Show.
    bool fromToEdited_ = false;

    HistoryChart* chart_ = nullptr;
    HistoryPassTable* passTable_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
    QComboBox* channelBox_ = nullptr;
    std::array<QPushButton*, 4> rangeButtons_{};  // by HistoryRange
    QDateTimeEdit* fromEdit_ = nullptr;
    QDateTimeEdit* toEdit_ = nullptr;
    QTableView* passView_ = nullptr;
    QLabel* pickedTime_ = nullptr;
    std::array<QLabel*, ChannelCount> pickedValues_{};
    QPushButton* exportButton_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace orvalin
