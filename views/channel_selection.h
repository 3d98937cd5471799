// Channel selection and chart: one channel at a time is selected; its value box is
// highlighted and its values over all records are plotted, one bar per record labelled with
// the record's reception time, under a frame caption naming the channel and its unit.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <array>
#include <memory>

#include "decoder/channels.h"
#include "decoder/record_table.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace orvalin {

class BarChart;

struct ChannelControls {
    std::array<QRadioButton*, ChannelCount> optionButtons{};  // caption = channel
    std::array<QLineEdit*, ChannelCount> valueBoxes{};
    std::array<QLabel*, ChannelCount> unitLabels{};  // caption = unit
    QGroupBox* chartFrame = nullptr;                 // holds the chart
};

// Pale yellow behind the selected channel's value box.
inline const QColor HighlightColour(255, 255, 192);

class ChannelSelection {
public:
    // Puts the 29 option buttons into one exclusive button group (ids = channel indices):
    // the toolkit groups option buttons by their frame only, and the channels sit in two
    // frames. The value boxes' palettes as they are now are their normal look.
    ChannelSelection(const RecordTable& table, const ChannelControls& controls, BarChart& chart);
    ~ChannelSelection();
    ChannelSelection(const ChannelSelection&) = delete;
    ChannelSelection& operator=(const ChannelSelection&) = delete;

    // Its idToggled(channel, true) is the "option button became selected" notification.
    QButtonGroup* buttonGroup() const { return group_.get(); }

    // The channel's button became selected: every other value box gets its normal background
    // (the palette's base colour, which follows the desktop scheme) and its button is cleared,
    // the channel's box is highlighted and the channel is charted.
    void select(ChannelIndex channel);

    // Plots the channel over records 1..count(); with no record, nothing changes.
    void drawChart(ChannelIndex channel);

    // The selected channel, -1 while none is.
    ChannelIndex selectedChannel() const;
    // The channel the chart shows, -1 before the first plot. It differs from the selected one
    // when a channel was selected while there was no record to plot.
    ChannelIndex chartedChannel() const { return chartedChannel_; }

    // The tool tip line of the chart's bar `row`: "Record 5 of 12, 06.12.2026 00:00:04: 7.0 C",
    // the value as the record view shows it, with the channel's unit if it has one. Empty when
    // the row holds no record of the current table (a plot kept after an intake without
    // records).
    QString barDescription(int row) const;

    // One label and one tick every k categories above 100 records: count / 20, halves to even.
    static int categoryDivisions(int recordCount);
    // "<caption>  [ <unit> ]"
    static QString frameCaption(const QString& caption, const QString& unit);
    // The channel in words, for screen readers: "Batt Temp, C"; "RSSI" for a blank unit.
    static QString spokenName(const QString& caption, const QString& unit);

private:
    const RecordTable& table_;
    ChannelControls controls_;
    BarChart& chart_;
    std::unique_ptr<QButtonGroup> group_;
    std::array<QPalette, ChannelCount> normalPalettes_;
    std::array<QPalette, ChannelCount> highlightPalettes_;
    ChannelIndex chartedChannel_ = -1;
};

}  // namespace orvalin
