// The main window as data: every control with its kind, container, position and size, start
// text, colours, font and tab order, in one table that one loop turns into widgets, and the
// menu bar in a second small table.
//
// Units: positions and sizes in twips, 15 to the pixel (the window is laid out for 96 dpi);
// colours in the 0x00BBGGRR form, where 0x800000nn names the desktop's colour nn (5 window
// background, 8 window text, 15 button face), which follows the desktop's colour scheme.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <Qt>
#include <array>
#include <cstdint>
#include <vector>

#include "decoder/channels.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QWidget;

namespace orvalin {

class InputBox;

inline constexpr int TwipsPerPixel = 15;
constexpr int twipsToPixels(int twips) {
    return twips / TwipsPerPixel;
}

inline constexpr char FormCaption[] = "Orvalin Telemetry Decoder [Teskar]";
inline constexpr int ClientWidthTwips = 9225;    // 615 px
inline constexpr int ClientHeightTwips = 10440;  // 696 px
inline constexpr std::uint32_t FormBackground = 0x00F0F0F0;
// The program's icon, 128 x 128 pixels; the Info dialog shows it too.
inline constexpr char IconResource[] = ":/icons/orvalin.png";
// The program's icon (main window and Info dialog), from the shell's resources.
QIcon programIcon();

// No colour of its own: the toolkit's default for that kind of control.
inline constexpr std::uint32_t DefaultColour = 0xFFFFFFFF;
inline constexpr std::uint32_t SystemColourFlag = 0x80000000;

enum class ControlKind {
    InputBox,  // multi-line text box
    ValueBox,  // one-line text box
    Label,
    Frame,
    OptionButton,
    PushButton,
    Navigator,  // horizontal scroll bar
    Chart,
    PictureBox,
};

enum class FontRole {
    Sans,      // MS Sans Serif 8.25 pt, the toolkit's default
    SansBold,  // MS Sans Serif 8.25 pt bold
    Mono,      // Courier New 8.25 pt
};

// One control; a row of the table names only what differs from the defaults.
struct ControlLayout {
    QString name{};  // object name; element i of a control array is "Name(i)"
    ControlKind kind{};
    QString container{};  // object name of the frame it sits in; empty: the client area
    int left = 0, top = 0, width = 0, height = 0;  // twips, from the container's top-left corner
    int tabIndex = 0;                              // place in the keyboard focus order, 0 first
    QString text{};                                // caption or start text
    std::uint32_t background = DefaultColour;      // 0x00BBGGRR, or a desktop colour
    std::uint32_t foreground = DefaultColour;      // text colour, as background
    FontRole font = FontRole::Sans;
    Qt::Alignment alignment = Qt::AlignLeft;  // of the caption or text
    bool visible = true;
    QString toolTip{};
};

// All controls, ordered by tab index (so a container comes before what it holds).
const std::vector<ControlLayout>& mainWindowLayout();

// The font of a role; the Windows families first, then their metric-compatible Liberation
// counterparts. Sizes in pixels: 8.25 pt at 96 dpi is 11 px, and the window is laid out in
// pixels, so the text keeps its room whatever dpi the desktop reports.
QFont layoutFont(FontRole role);

// The controls the window's handlers reach, by their object names; all owned by the client
// area (or by the frame they sit in).
struct MainWindowControls {
    InputBox* logInput = nullptr;  // the input box for log lines
    // Selects channel i for the chart, by channel index.
    std::array<QRadioButton*, ChannelCount> channelButtons{};
    // The value of channel i in the shown record, one decimal; highlighted for the charted
    // channel.
    std::array<QLineEdit*, ChannelCount> valueBoxes{};
    std::array<QLabel*, ChannelCount> unitLabels{};  // the unit of channel i
    QGroupBox* zodirFrame = nullptr;                 // "ZODIR": channels 23 to 28
    QGroupBox* vidadFrame = nullptr;                 // "VIDAD Telemetry": channels 0 to 22
    QGroupBox* chartFrame = nullptr;   // holds the chart; its caption names the channel
    QLabel* navigatorLabel = nullptr;  // the navigator's position and the record count
    QLabel* statusLine = nullptr;
    QLabel* recordTimeLabel = nullptr;        // date and time of the shown record
    QScrollBar* recordNavigator = nullptr;    // a record number
    QPushButton* screenshotButton = nullptr;  // "S": a picture of the window
    // Never shown; stands for the picture buffer's size (the client area's).
    QLabel* captureBuffer = nullptr;
    // The bar chart of the selected channel, a widget of views/ (BarChart::of() gives its
    // adapter).
    QWidget* chartWidget = nullptr;
};

// Creates every control of mainWindowLayout() on `clientArea` (which owns them), in tab order.
MainWindowControls buildMainWindow(QWidget* clientArea);

// The menu bar, built in one place that keeps its actions; each part of the window is handed
// the actions it needs. The window's own entries are "File" (MnuFile) with "Exit" (MnuExit),
// "TLM File" (MnuTLMFile) with "Write CSV File" (WriteCSVFile), and "Info" (MnuInfo), a command
// on the bar itself; the entries added since stand above "Exit" (log files) and below
// "Write CSV File" (sharing, the history), each group behind a separator.
struct MainWindowMenu {
    QAction* openLogFile = nullptr;    // "Open Log File..." (Ctrl+O)
    QAction* followLogFile = nullptr;  // "Follow Log File", checkable
    QAction* exit = nullptr;
    QAction* writeCsvFile = nullptr;
    QAction* shareFrames = nullptr;     // "Share Frames", checkable
    QAction* sharingStatus = nullptr;   // "Sharing Status..."
    QAction* missionHistory = nullptr;  // "Mission History..."
    QAction* info = nullptr;
};
MainWindowMenu buildMainMenu(QMenuBar* menuBar);

}  // namespace orvalin
