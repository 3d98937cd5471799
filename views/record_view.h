// The record view: one record of the table in the 29 value boxes and the date/time label,
// chosen with the navigator scroll bar, whose position is a record number.
#pragma once

#include <QString>
#include <array>

#include "decoder/channels.h"
#include "decoder/record_table.h"

class QLabel;
class QLineEdit;
class QScrollBar;

namespace orvalin {

struct RecordViewControls {
    std::array<QLineEdit*, ChannelCount> valueBoxes{};  // by channel index
    QLabel* dateTime = nullptr;
    QLabel* position = nullptr;  // the navigator's position and the record count
    QScrollBar* navigator = nullptr;
};

class RecordView {
public:
    // Reads `table` and writes `controls`; owns neither.
    RecordView(const RecordTable& table, const RecordViewControls& controls);

    // Fills the value boxes with the values of `slot` ("0.0" with the user's decimal separator)
    // and the date/time label with "DateText TimeText"; a box that already shows its text is
    // left alone, so that a screen reader hears only the boxes that change. A slot outside
    // 1..count shows the blank slot 0: before the first intake the navigator reaches 32767, past
    // the table's end, and after an intake that found nothing it stands at 1 while slot 1 still
    // holds a record of the text that was there before.
    void showRecord(int slot) const;

    // The navigator moved: "position/maximum" in the position label, then that record. With no
    // record the navigator can only have been moved by the intake, down to the maximum 0: "0/0".
    void navigatorChanged() const;

    // The navigator's part of the refresh after an intake: enabled, "#position / count" in the
    // position label, then the range 1..count, held at 1..1 when there is no record (the
    // position then stands above the count and shows the blank record). Narrowing the range can
    // move the position, which raises the navigator's value change (and so navigatorChanged)
    // before this returns.
    void afterIntake(int recordCount) const;

    static QString positionText(int position, int maximum);
    static QString intakePositionText(int position, int recordCount);

private:
    const RecordTable& table_;
    RecordViewControls controls_;
};

}  // namespace orvalin
