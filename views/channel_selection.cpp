#include "views/channel_selection.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

#include "decoder/number_text.h"
#include "views/bar_chart.h"

namespace orvalin {

namespace {

// Labelling of the category axis switches from automatic to every k-th category above this.
constexpr int AutoScaledRecords = 100;
constexpr int LabelsWanted = 20;

}  // namespace

ChannelSelection::ChannelSelection(const RecordTable& table, const ChannelControls& controls,
                                   BarChart& chart)
    : table_(table), controls_(controls), chart_(chart), group_(std::make_unique<QButtonGroup>()) {
    group_->setExclusive(true);
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const auto i = static_cast<std::size_t>(c);
        group_->addButton(controls_.optionButtons[i], c);
        // Only the roles the layout set are fixed; the base colour stays the scheme's, so the
        // normal background follows the desktop colours.
        normalPalettes_[i] = controls_.valueBoxes[i]->palette();
        highlightPalettes_[i] = normalPalettes_[i];
        highlightPalettes_[i].setColor(QPalette::Base, HighlightColour);
    }
    chart_.setBarDescription([this](int row) { return barDescription(row); });
}

ChannelSelection::~ChannelSelection() = default;

void ChannelSelection::select(ChannelIndex channel) {
    if (channel < 0 || channel >= ChannelCount) return;
    // The exclusive group has already cleared the button selected before, whichever frame it
    // sits in. A call for a button that is not selected yet selects it, without raising the
    // selection notification again, so the selection and the highlight always agree.
    QRadioButton* button = controls_.optionButtons[static_cast<std::size_t>(channel)];
    if (!button->isChecked()) {
        const QSignalBlocker blocker(group_.get());
        button->setChecked(true);
    }
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const auto i = static_cast<std::size_t>(c);
        controls_.valueBoxes[i]->setPalette(c == channel ? highlightPalettes_[i]
                                                         : normalPalettes_[i]);
    }
    drawChart(channel);
}

void ChannelSelection::drawChart(ChannelIndex channel) {
    const int count = table_.count();
    if (count < 1 || channel < 0 || channel >= ChannelCount) return;
    const auto i = static_cast<std::size_t>(channel);
    const QString caption = controls_.optionButtons[i]->text();
    const QString unit = controls_.unitLabels[i]->text();
    controls_.chartFrame->setTitle(frameCaption(caption, unit));
    chart_.setSubject(spokenName(caption, unit));
    chartedChannel_ = channel;
    chart_.setChartType(ChartType::Bar2d);
    if (count > AutoScaledRecords) {
        chart_.setCategoryAutoScaling(false);
        const int k = categoryDivisions(count);
        chart_.setDivisionsPerTick(k);
        chart_.setDivisionsPerLabel(k);
    } else {
        chart_.setCategoryAutoScaling(true);
    }
    chart_.setRowCount(count);
    for (int r = 1; r <= count; ++r) {
        const TelemetryRecord& record = table_.record(r);
        chart_.setRow(r);
        chart_.setColumn(1);
        chart_.setRowLabel(record.TimeText.view());
        chart_.setData(record.Values[i]);
    }
}

ChannelIndex ChannelSelection::selectedChannel() const {
    return group_->checkedId();
}

QString ChannelSelection::barDescription(int row) const {
    const int count = table_.count();
    if (chartedChannel_ < 0 || row < 1 || row > count) return {};
    const TelemetryRecord& record = table_.record(row);
    const auto i = static_cast<std::size_t>(chartedChannel_);
    QString text = QStringLiteral("Record %1 of %2, ").arg(row).arg(count);
    text.append(record.DateText.view()).append(u' ').append(record.TimeText.view());
    text.append(u": ").append(formatOneDecimal(record.Values[i], localeDecimalSeparator()));
    const QString unit = controls_.unitLabels[i]->text().trimmed();
    if (!unit.isEmpty()) text.append(u' ').append(unit);
    return text;
}

int ChannelSelection::categoryDivisions(int recordCount) {
    const int whole = recordCount / LabelsWanted;
    const int rest = recordCount % LabelsWanted;
    if (2 * rest > LabelsWanted) return whole + 1;
    if (2 * rest == LabelsWanted) return whole + (whole % 2);  // halfway: to the even one
    return whole;
}

QString ChannelSelection::spokenName(const QString& caption, const QString& unit) {
    const QString trimmed = unit.trimmed();
    return trimmed.isEmpty() ? caption : caption + QStringLiteral(", ") + trimmed;
}

QString ChannelSelection::frameCaption(const QString& caption, const QString& unit) {
    return caption + QStringLiteral("  [ ") + unit + QStringLiteral(" ]");
}

}  // namespace orvalin
