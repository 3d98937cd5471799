// What the main window tells screen readers (through Qt's accessibility interfaces, the AT-SPI
// bus on Linux) and how the keyboard reaches its menus. Nothing here changes a text or a pixel
// that the eye sees: names and descriptions are extra, and the order in which a screen reader
// walks the panel is the accessibility tree's, not the order the widgets were made in.
#pragma once

#include <QObject>
#include <QString>
#include <vector>

class QMainWindow;
class QWidget;

namespace orvalin {

struct MainWindowControls;

// Names every control, puts the panel into reading order (top to bottom, left to right: each
// channel's button, value box and unit together) and makes the menus keyboard-reachable: F10
// opens the first menu and Alt pressed and released alone moves the focus to the menu bar, from
// where the arrows, Return and Escape work, on "Info" too. Called once, when the controls exist.
void makeAccessible(QMainWindow& window, const MainWindowControls& controls);

// A screen reader walks the children of `container` top to bottom and left to right (hidden
// ones last), whatever order they were made in. A window so marked is read as a dialog.
void readChildrenByPosition(QWidget* container);

// While held, changes of the record navigator, its position label, the status line and the
// chart's marked bar raise no accessibility events, so that changes the program makes on its
// own (a followed file growing every second) are not read out; what the user does while none is
// held is announced as usual. Guards nest. Hold one only for the span of such a change, on the
// window's thread.
class QuietAccessibilityUpdates {
public:
    explicit QuietAccessibilityUpdates(const MainWindowControls& controls);
    ~QuietAccessibilityUpdates();
    QuietAccessibilityUpdates(const QuietAccessibilityUpdates&) = delete;
    QuietAccessibilityUpdates& operator=(const QuietAccessibilityUpdates&) = delete;

private:
    std::vector<const QObject*> objects_;
};

}  // namespace orvalin
