// What a screen reader finds in the window (through Qt's accessibility interfaces, as the
// AT-SPI bridge asks them) and how the keyboard reaches the menus.
#include <QAccessible>
#include <QMenu>
#include <QMenuBar>

#include "main_window_harness.h"

namespace orvalin::test {
namespace {

using AccessibilityTest = MainWindowTest;

QAccessibleInterface* accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

// The object names of an interface's children, in the order a screen reader walks them.
QStringList readingOrder(QObject* container, int count) {
    QAccessibleInterface* parent = accessible(container);
    QStringList names;
    for (int i = 0; i < std::min(count, parent->childCount()); ++i) {
        QAccessibleInterface* child = parent->child(i);
        names << child->object()->objectName();
        EXPECT_EQ(parent->indexOfChild(child), i);
        EXPECT_EQ(child->parent()->object(), container);
    }
    return names;
}

TEST_F(AccessibilityTest, EveryControlSaysWhatItIs) {
    paste(logText(3));
    recordNavigator()->setValue(2);
    settle();
    const struct {
        const char* control;
        const char* name;
        QAccessible::Text other = QAccessible::Name;  // and a second text, if it has one
        const char* otherText = nullptr;
    } expected[] = {
        {.control = "Text2",
         .name = "Log lines",
         .other = QAccessible::Description,
         .otherText = "Paste or type reception log lines; each valid line becomes a record"},
        {.control = "Option1(6)", .name = "Chart Batt Temp"},
        {.control = "Text1(6)", .name = "Batt Temp, C"},
        {.control = "Text1(18)", .name = "RSSI"},
        {.control = "Label1(6)", .name = "C"},
        {.control = "Frame3", .name = "VIDAD Telemetry"},
        {.control = "Frame1", .name = "ZODIR"},
        {.control = "HScroll1", .name = "Record", .other = QAccessible::Value, .otherText = "2/3"},
        {.control = "Label2", .name = "Record position: 2/3"},
        {.control = "Label4", .name = "Record date and time: 06.12.2026 00:00:01"},
        {.control = "Label3", .name = "Status"},
        {.control = "Command1",
         .name = "Screenshot",
         .other = QAccessible::Description,
         .otherText = "Saves a picture of the window"},
        {.control = "MSChart1",
         .name = "Chart of Batt Temp, C",
         .other = QAccessible::Description,
         .otherText = "3 bars; shown record: Record 2 of 3, 06.12.2026 00:00:01: -269.8 C"},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.control);
        QAccessibleInterface* control = accessible(this->control(QString::fromLatin1(e.control)));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->text(QAccessible::Name).toStdString(), e.name);
        if (e.otherText != nullptr) {
            EXPECT_EQ(control->text(e.other).toStdString(), e.otherText);
        }
    }
    EXPECT_EQ(accessible(chartPlot())->role(), QAccessible::Chart);
    EXPECT_EQ(accessible(label("Label3"))->role(), QAccessible::StatusBar);
}

// Top to bottom, and within a row of a frame each channel's button, box and unit together.
TEST_F(AccessibilityTest, ReadingOrderFollowsThePanel) {
    EXPECT_EQ(readingOrder(form().clientArea(), 10),
              QStringList({"Text2", "Frame3", "Frame1", "Label4", "Frame8", "Command1", "Label3",
                           "Label2", "HScroll1", "Picture2"}));
    EXPECT_EQ(readingOrder(control(QStringLiteral("Frame3")), 6),
              QStringList(
                  {"Option1(3)", "Text1(3)", "Label1(3)", "Option1(5)", "Text1(5)", "Label1(5)"}));
    EXPECT_EQ(readingOrder(control(QStringLiteral("Frame1")), 4),
              QStringList({"Option1(27)", "Text1(27)", "Label1(27)", "Option1(26)"}));
}

// F10 opens the first menu; Alt alone puts the focus on the menu bar, where the arrows move
// along it and Escape leaves the menus.
TEST_F(AccessibilityTest, MenusOpenFromTheKeyboard) {
    QApplication::setActiveWindow(&form());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    QMenuBar* bar = form().menuBar();
    const QList<QAction*> entries = bar->actions();

    key(Qt::Key_F10);
    ASSERT_EQ(QApplication::activePopupWidget(), entries[0]->menu());
    QTest::keyClick(entries[0]->menu(), Qt::Key_Escape);
    QTest::keyClick(bar, Qt::Key_Escape);

    QTest::keyPress(logInput(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(logInput(), Qt::Key_Alt);
    EXPECT_TRUE(bar->hasFocus());
    QTest::keyClick(bar, Qt::Key_Right);
    QTest::keyClick(bar, Qt::Key_Down);
    ASSERT_EQ(QApplication::activePopupWidget(), entries[1]->menu());
    QTest::keyClick(entries[1]->menu(), Qt::Key_Escape);
    QTest::keyClick(bar, Qt::Key_Escape);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    // Back in the input box (the offscreen platform does not hand the activation back after
    // a popup, so the window's focus widget stands for the focus).
    EXPECT_EQ(form().focusWidget(), logInput());
    // "Info" has no menu: Return on it runs it and reaches no control that had the focus.
    key(Qt::Key_F10);
    for (QMenu* menu : {entries[0]->menu(), entries[1]->menu()})
        QTest::keyClick(menu, Qt::Key_Right);
    QTest::keyClick(form().focusWidget(), Qt::Key_Return);
    ASSERT_NE(form().infoDialog(), nullptr);
    EXPECT_EQ(logInput()->toPlainText(), "");
    form().infoDialog()->close();
}

}  // namespace
}  // namespace orvalin::test
