// The record view on its own widgets: slot bounds and the navigator range after an intake.
#include "views/record_view.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <memory>

#include "decoder/log_scan.h"
#include "decoder/test_lines.h"

namespace orvalin {
namespace {

class RecordViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        RecordViewControls controls;
        for (auto& box : controls.valueBoxes) box = new QLineEdit(&parent_);
        controls.dateTime = new QLabel(&parent_);
        controls.position = new QLabel(&parent_);
        controls.navigator = new QScrollBar(Qt::Horizontal, &parent_);
        controls.navigator->setRange(1, 32767);
        controls_ = controls;
        view_ = std::make_unique<RecordView>(table_, controls_);
    }
    QStringList shownValues() const {
        QStringList texts;
        for (QLineEdit* box : controls_.valueBoxes) texts << box->text();
        return texts;
    }
    void decode(const QString& text) { scanLogText(text, table_); }

    QWidget parent_;
    RecordTable table_;
    RecordViewControls controls_;
    std::unique_ptr<RecordView> view_;
};

const QString& Line = test::WorkedLine;

TEST_F(RecordViewTest, SlotsOutsideTheTableShowTheBlankRecord) {
    QString all;
    for (int i = 0; i < 1000; ++i) all += Line + QStringLiteral("\r\n");
    decode(all);
    ASSERT_EQ(table_.count(), 1000);
    for (int slot : {0, -1, 1001, 32767}) {
        SCOPED_TRACE(slot);
        view_->showRecord(1000);
        view_->showRecord(slot);
        EXPECT_EQ(shownValues(), QStringList(ChannelCount, QStringLiteral("0.0")));
        EXPECT_EQ(controls_.dateTime->text(), " ");
    }
    view_->showRecord(1000);
    EXPECT_EQ(controls_.dateTime->text(), "06.12.2026 12:34:56");

    // Slot 1 still holds the record of the deleted text, but is above the count now.
    decode(QString());
    view_->showRecord(1);
    EXPECT_EQ(shownValues(), QStringList(ChannelCount, QStringLiteral("0.0")));
    EXPECT_EQ(controls_.dateTime->text(), " ");
}

// The range after an intake, from each start the navigator can be in.
TEST_F(RecordViewTest, IntakeSetsTheRangeAndKeepsTheMinimumAtOne) {
    const struct {
        const char* name;
        int startMin, startMax, startValue;
        int records;
        int min, max, value;
        const char* label;
    } cases[] = {
        {"first intake", 1, 32767, 1, 12, 1, 12, 1, "#1 / 12"},
        {"first intake, navigator moved far", 1, 32767, 500, 12, 1, 12, 12, "#500 / 12"},
        {"no record", 1, 12, 5, 0, 1, 1, 1, "#5 / 0"},
        {"no record again", 1, 1, 1, 0, 1, 1, 1, "#1 / 0"},
        {"records after none", 1, 1, 1, 3, 1, 3, 1, "#1 / 3"},
        {"more records", 1, 3, 2, 8, 1, 8, 2, "#2 / 8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QScrollBar& navigator = *controls_.navigator;
        navigator.setRange(c.startMin, c.startMax);
        navigator.setValue(c.startValue);
        navigator.setEnabled(false);
        view_->afterIntake(c.records);
        EXPECT_TRUE(navigator.isEnabled());
        EXPECT_EQ(navigator.minimum(), c.min);
        EXPECT_EQ(navigator.maximum(), c.max);
        EXPECT_EQ(navigator.value(), c.value);
        // Written before the range changes; a moved position rewrites it through the
        // navigator's change handling, which this view test does not wire.
        EXPECT_EQ(controls_.position->text(), c.label);
    }
}

// A box is written (heard by a screen reader, its cursor moved) only when its text changes.
TEST_F(RecordViewTest, OnlyBoxesWhoseTextChangesAreWritten) {
    decode(Line + QStringLiteral("\r\n") + Line);
    for (const auto& [from, to] : {std::pair{1, 2}, {2, 0}}) {
        view_->showRecord(from);
        for (QLineEdit* box : controls_.valueBoxes) box->setCursorPosition(0);
        view_->showRecord(to);
        for (QLineEdit* box : controls_.valueBoxes) EXPECT_EQ(box->cursorPosition() > 0, to == 0);
    }
}

TEST_F(RecordViewTest, NavigatorLabelShowsPositionAndMaximum) {
    decode(Line + QStringLiteral("\r\n") + Line);
    controls_.navigator->setRange(1, 12);
    controls_.navigator->setValue(2);
    view_->navigatorChanged();
    EXPECT_EQ(controls_.position->text(), "2/12");
    EXPECT_EQ(controls_.dateTime->text(), "06.12.2026 12:34:56");
}

}  // namespace
}  // namespace orvalin
