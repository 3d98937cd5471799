// The record navigator and its position label, moved by the program and the mouse.
#include <QStyle>
#include <QStyleOptionSlider>

#include "main_window_harness.h"

namespace orvalin::test {
namespace {

class NavigationTest : public MainWindowTest {
protected:
    // Clicks the navigator's right (add) or left (subtract) arrow.
    void clickArrow(QStyle::SubControl arrow) {
        QScrollBar* bar = recordNavigator();
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.singleStep = bar->singleStep();
        option.pageStep = bar->pageStep();
        option.upsideDown = false;
        const QRect rect = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, arrow, bar);
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, rect.center());
        settle();
    }
};

TEST_F(NavigationTest, LabelTakesTheIntakeFormThenThePositionForm) {
    paste(logText(12));
    EXPECT_EQ(label("Label2")->text(), "#1 / 12");
    EXPECT_EQ(label("Label4")->text(), "06.12.2026 00:00:00");

    const struct {
        const char* move;
        int expectedValue;
    } steps[] = {{"program to 3", 3},
                 {"right arrow", 4},
                 {"left arrow", 3},
                 {"program to 12", 12},
                 {"right arrow at the end", 12}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.move);
        const QString move = QString::fromLatin1(step.move);
        if (move.startsWith("program")) {
            recordNavigator()->setValue(move.section(' ', 2).toInt());
            settle();
        } else {
            clickArrow(move.startsWith("right") ? QStyle::SC_ScrollBarAddLine
                                                : QStyle::SC_ScrollBarSubLine);
        }
        EXPECT_EQ(recordNavigator()->value(), step.expectedValue);
        EXPECT_EQ(label("Label2")->text(), QStringLiteral("%1/12").arg(step.expectedValue));
        EXPECT_EQ(label("Label4")->text(),
                  QStringLiteral("06.12.2026 ") + timeText(step.expectedValue - 1));
        EXPECT_EQ(valueBoxes(6)->text(),
                  QString::number(form().records().record(step.expectedValue).Values[6], 'f', 1));
    }
}

TEST_F(NavigationTest, DraggedThumbShowsTheRecordOnlyWhenReleased) {
    paste(logText(12));
    QScrollBar* bar = recordNavigator();
    bar->setSliderDown(true);
    bar->setSliderPosition(7);
    settle();
    EXPECT_EQ(label("Label2")->text(), "#1 / 12");
    EXPECT_EQ(label("Label4")->text(), "06.12.2026 00:00:00");
    bar->setSliderDown(false);
    settle();
    EXPECT_EQ(label("Label2")->text(), "7/12");
    EXPECT_EQ(label("Label4")->text(), "06.12.2026 00:00:06");
}

// Before the first intake the navigator runs to 32767; the view never reads past the table.
TEST_F(NavigationTest, BeforeTheFirstIntakeEveryPositionShowsABlankRecord) {
    EXPECT_EQ(recordNavigator()->minimum(), 1);
    EXPECT_EQ(recordNavigator()->maximum(), 32767);
    for (int position : {7, 1000, 1001, 1500, 32767}) {
        SCOPED_TRACE(position);
        recordNavigator()->setValue(position);
        settle();
        EXPECT_EQ(label("Label2")->text(), QStringLiteral("%1/32767").arg(position));
        EXPECT_EQ(valueTexts(), QStringList(ChannelCount, QStringLiteral("0.0")));
        EXPECT_EQ(label("Label4")->text(), " ");
    }
}

TEST_F(NavigationTest, ShorterTextMovesThePositionIntoTheNewRange) {
    paste(logText(12));
    recordNavigator()->setValue(10);
    settle();
    paste(logText(5));
    EXPECT_EQ(recordNavigator()->value(), 5);
    EXPECT_EQ(label("Label2")->text(), "5/5");
    EXPECT_EQ(label("Label4")->text(), "06.12.2026 00:00:04");

    // A longer text keeps the position and shows the intake form.
    paste(logText(20));
    EXPECT_EQ(recordNavigator()->value(), 5);
    EXPECT_EQ(label("Label2")->text(), "#5 / 20");
    EXPECT_EQ(label("Label4")->text(), "06.12.2026 00:00:04");
}

TEST_F(NavigationTest, RecordsAfterAnEmptyTextStartAtRecordOneAgain) {
    paste(logText(3));
    QTest::keyClick(logInput(), Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_Backspace);
    ASSERT_EQ(recordNavigator()->value(), 1);

    // No arrow click reaches a record of the deleted text.
    clickArrow(QStyle::SC_ScrollBarAddLine);
    EXPECT_EQ(recordNavigator()->value(), 1);
    EXPECT_EQ(label("Label2")->text(), "#1 / 0");
    EXPECT_EQ(label("Label4")->text(), " ");

    paste(logText(4));
    EXPECT_EQ(recordNavigator()->minimum(), 1);
    EXPECT_EQ(recordNavigator()->maximum(), 4);
    EXPECT_EQ(recordNavigator()->value(), 1);
    EXPECT_EQ(label("Label2")->text(), "#1 / 4");
    EXPECT_EQ(label("Label4")->text(), "06.12.2026 00:00:00");
}

TEST_F(NavigationTest, MovingTheNavigatorKeepsTheHighlight) {
    paste(logText(5));
    QTest::mouseClick(channelButtons(25), Qt::LeftButton);
    recordNavigator()->setValue(4);
    settle();
    EXPECT_EQ(highlightedChannels(), std::vector<int>{25});
    EXPECT_EQ(selectedChannels(), std::vector<int>{25});
}

}  // namespace
}  // namespace orvalin::test
