// The record navigator, a horizontal scroll bar that also answers the keyboard.
#pragma once

#include <QScrollBar>

namespace orvalin {

// QScrollBar leaves the arrow keys unhandled; here they step through the records like the
// arrow buttons do, Page Up and Page Down like a click beside the thumb, and Home and End go
// to the first and last record.
class NavigatorBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace orvalin
