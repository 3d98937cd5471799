#include "views/record_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <algorithm>

#include "decoder/number_text.h"

namespace orvalin {

RecordView::RecordView(const RecordTable& table, const RecordViewControls& controls)
    : table_(table), controls_(controls) {}

void RecordView::showRecord(int slot) const {
    // Slots above the count may still hold records of an earlier text.
    const TelemetryRecord& record = table_.record(slot <= table_.count() ? slot : 0);
    const QChar separator = localeDecimalSeparator();
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        QLineEdit* box = controls_.valueBoxes[static_cast<std::size_t>(c)];
        const QString text =
            formatOneDecimal(record.Values[static_cast<std::size_t>(c)], separator);
        // QLineEdit tells a screen reader of every setText, even one that keeps the text, and
        // a followed log shows a record again every second.
        if (box->text() != text) box->setText(text);
    }
    QString dateTime;
    dateTime.reserve(record.DateText.size() + 1 + record.TimeText.size());
    dateTime.append(record.DateText.view()).append(u' ').append(record.TimeText.view());
    controls_.dateTime->setText(dateTime);
}

void RecordView::navigatorChanged() const {
    const QScrollBar& navigator = *controls_.navigator;
    // Without a record the range is held at 1..1 for what is the maximum 0 (afterIntake), so a
    // position moved into it by the intake has moved to the maximum 0: "0/0".
    if (table_.count() == 0 && navigator.maximum() == 1)
        controls_.position->setText(positionText(0, 0));
    else
        controls_.position->setText(positionText(navigator.value(), navigator.maximum()));
    showRecord(navigator.value());
}

void RecordView::afterIntake(int recordCount) const {
    QScrollBar& navigator = *controls_.navigator;
    navigator.setEnabled(true);
    controls_.position->setText(intakePositionText(navigator.value(), recordCount));
    // QScrollBar::setMaximum below the minimum would drag the minimum down to 0 with it, and
    // the position with it; a range of 1..1 keeps the position 1 that the next intake reports.
    navigator.setRange(1, std::max(recordCount, 1));
}

QString RecordView::positionText(int position, int maximum) {
    return QString::number(position) + u'/' + QString::number(maximum);
}

QString RecordView::intakePositionText(int position, int recordCount) {
    return u'#' + QString::number(position) + QStringLiteral(" / ") + QString::number(recordCount);
}

}  // namespace orvalin
