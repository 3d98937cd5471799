// Pasting, typing and deleting log text in the real window, and what the record view shows.
#include <QLocale>

#include "main_window_harness.h"

namespace orvalin::test {
namespace {

using IntakeTest = MainWindowTest;

TEST_F(IntakeTest, PastedWorkedExampleFillsEveryValueBoxAndTheDateTime) {
    paste(WorkedExampleLine);
    const QStringList expected = {
        "0.1",   "8.5",   "-265.0", "0.2",  "-261.8", "17.1",  "-258.6", "0.4", "0.4",   "-253.8",
        "27.7",  "0.5",   "-249.0", "34.1", "136.0",  "24.5",  "-242.6", "8.5", "168.0", "140.8",
        "184.0", "192.0", "-233.0", "6.0",  "5.7",    "448.0", "56.2",   "1.1", "82.7"};
    EXPECT_EQ(valueTexts(), expected);
    EXPECT_EQ(label("Label4")->text(), "06.12.2026 12:34:56");
    EXPECT_EQ(form().records().count(), 1);
}

TEST_F(IntakeTest, ValueBoxesUseTheDecimalCommaOfTheLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    paste(WorkedExampleLine);
    QLocale::setDefault(saved);
    EXPECT_EQ(valueBoxes(0)->text(), "0,1");
    EXPECT_EQ(valueBoxes(6)->text(), "-258,6");
    EXPECT_EQ(label("Label4")->text(), "06.12.2026 12:34:56");
}

// Every kind of line end that a pasted file may have becomes a line break of the box, and
// each line is one record.
TEST_F(IntakeTest, PastedLineEndsOfEveryKindSeparateRecords) {
    const struct {
        const char* name;
        QString lineEnd;
    } cases[] = {
        {"CR LF", QStringLiteral("\r\n")},
        {"LF", QStringLiteral("\n")},
        {"CR", QStringLiteral("\r")},
        {"LF and trailing LF", QStringLiteral("\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString text = logText(3, c.lineEnd);
        if (QString::fromLatin1(c.name).contains("trailing")) text += c.lineEnd;
        paste(text);
        EXPECT_EQ(form().records().count(), 3);
        EXPECT_EQ(form().records().record(3).TimeText.toString(), timeText(2));
    }
}

TEST_F(IntakeTest, EveryTypedCharacterRescansTheText) {
    const QString line = logLine(5, 0x10);
    typeText(line.left(80));
    EXPECT_EQ(form().records().count(), 0);
    typeText(line.right(1));
    EXPECT_EQ(form().records().count(), 1);
    EXPECT_EQ(label("Label4")->text(), "06.12.2026 00:00:05");
    // The incomplete line before left no record and the navigator at 1 of 1..1; the first
    // record leaves it there, so the intake's label form stays.
    EXPECT_EQ(label("Label2")->text(), "#1 / 1");

    // A blank at the end makes 82 characters: no record.
    typeText(QStringLiteral(" "));
    EXPECT_EQ(form().records().count(), 0);
    key(Qt::Key_Backspace);
    EXPECT_EQ(form().records().count(), 1);

    // Enter starts a second line that becomes a record when complete; so does the line break
    // of Shift+Enter.
    key(Qt::Key_Return);
    typeText(logLine(6, 0x20));
    EXPECT_EQ(form().records().count(), 2);
    key(Qt::Key_Return, Qt::ShiftModifier);
    typeText(logLine(7, 0x30));
    EXPECT_EQ(form().records().count(), 3);
    EXPECT_EQ(form().records().record(3).TimeText.toString(), timeText(7));
}

TEST_F(IntakeTest, CutAndProgramChangesRunTheIntakeToo) {
    paste(logText(4));
    ASSERT_EQ(form().records().count(), 4);

    QTest::keyClick(logInput(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(logInput(), Qt::Key_X, Qt::ControlModifier);
    settle();
    EXPECT_EQ(form().records().count(), 0);

    logInput()->setPlainText(logText(2));
    settle();
    EXPECT_EQ(form().records().count(), 2);
    EXPECT_EQ(label("Label2")->text(), "#1 / 2");
    EXPECT_EQ(label("Label4")->text(), "06.12.2026 00:00:00");
}

// Deleting the text leaves no value, date or time of the deleted records on screen, from
// whichever record was shown.
TEST_F(IntakeTest, EmptiedTextShowsTheBlankRecord) {
    for (const int shown : {1, 2}) {
        SCOPED_TRACE(shown);
        paste(WorkedExampleLine + QStringLiteral("\n") + logLine(60, 0x40));
        ASSERT_EQ(form().records().count(), 2);
        recordNavigator()->setValue(shown);

        QTest::keyClick(logInput(), Qt::Key_A, Qt::ControlModifier);
        key(Qt::Key_Delete);

        EXPECT_EQ(form().records().count(), 0);
        EXPECT_EQ(valueTexts(), QStringList(ChannelCount, QStringLiteral("0.0")));
        EXPECT_EQ(label("Label4")->text(), " ");
        EXPECT_EQ(label("Label2")->text(), shown == 1 ? "#1 / 0" : "0/0");
        EXPECT_EQ(recordNavigator()->minimum(), 1);
        EXPECT_EQ(recordNavigator()->maximum(), 1);
        EXPECT_EQ(recordNavigator()->value(), 1);
        EXPECT_TRUE(recordNavigator()->isEnabled());
        EXPECT_EQ(selectedChannels(), std::vector<int>{DefaultChannel});
    }
}

TEST_F(IntakeTest, LinesBeyondTheTableAreCountedInTheStatusLine) {
    paste(logText(1003));
    EXPECT_EQ(form().records().count(), 1000);
    EXPECT_EQ(form().records().record(1000).TimeText.toString(), timeText(999));
    EXPECT_EQ(form().statusLine()->text(),
              "Only the first 1000 log lines are decoded; 3 more were left out.");
    EXPECT_EQ(form().chart().rowCount(), 1000);

    // A text within the table's size takes the notice away again.
    paste(logText(10));
    EXPECT_EQ(form().records().count(), 10);
    EXPECT_EQ(form().statusLine()->text(), "");
}

TEST_F(IntakeTest, StatusMessageOfAnotherCommandIsNotClearedByTheIntake) {
    paste(logText(1001));
    EXPECT_EQ(form().statusLine()->text(),
              "Only the first 1000 log lines are decoded; 1 more was left out.");
    form().statusLine()->setText(QStringLiteral("a file has been written"));
    paste(logText(3));
    EXPECT_EQ(form().statusLine()->text(), "a file has been written");
}

}  // namespace
}  // namespace orvalin::test
