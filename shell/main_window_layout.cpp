#include "shell/main_window_layout.h"

#include <QAction>
#include <QHash>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "shell/fitting_label.h"
#include "shell/frame_box.h"
#include "shell/input_box.h"
#include "shell/navigator_bar.h"
#include "shell/option_button.h"
#include "views/bar_chart.h"

// The icon lives in this static library; its resource registration must be pulled in by hand.
static void initShellResources() {
    Q_INIT_RESOURCE(resources);
}

namespace orvalin {

namespace {

constexpr std::uint32_t Black = 0x00000000;
constexpr std::uint32_t DesktopWindowBackground = SystemColourFlag | 5;
constexpr std::uint32_t DesktopWindowText = SystemColourFlag | 8;
constexpr std::uint32_t DesktopButtonFace = SystemColourFlag | 15;

// Channel controls: a grid cell holds option button, value box and unit label side by side.
constexpr int OptionWidth = 1215, OptionHeight = 195;
constexpr int ValueWidth = 735, ValueHeight = 285;
constexpr int UnitWidth = 375, UnitHeight = 255;
constexpr std::array<int, 3> OptionLeft = {120, 2760, 5640};
constexpr std::array<int, 3> ValueLeft = {1440, 4080, 6960};
constexpr std::array<int, 3> UnitLeft = {2280, 4920, 7800};
constexpr int FirstRowTop = 360;
constexpr int RowPitch = 240;

// One row of a frame's channel grid: the channel index in each column, -1 for an empty cell.
struct GridRow {
    const char* frame;
    int row;  // from 1
    std::array<int, 3> channels;
};

constexpr GridRow ChannelGrid[] = {
    {.frame = "Frame3", .row = 1, .channels = {3, 5, 4}},
    {.frame = "Frame3", .row = 2, .channels = {8, 10, 9}},
    {.frame = "Frame3", .row = 3, .channels = {11, 13, 12}},
    {.frame = "Frame3", .row = 4, .channels = {0, 1, 2}},
    {.frame = "Frame3", .row = 5, .channels = {7, 14, 6}},
    {.frame = "Frame3", .row = 6, .channels = {15, 17, 19}},
    {.frame = "Frame3", .row = 7, .channels = {20, 21, 22}},
    {.frame = "Frame3", .row = 8, .channels = {18, 16, -1}},
    {.frame = "Frame1", .row = 1, .channels = {27, 26, 23}},
    {.frame = "Frame1", .row = 2, .channels = {25, 24, 28}},
};

// Tab order of one channel's option button, value box and unit label.
struct ChannelTabs {
    int option, value, unit;
};

// By channel index.
constexpr std::array<ChannelTabs, ChannelCount> ChannelTabOrder = {{
    {.option = 38, .value = 37, .unit = 39},  // 0
    {.option = 12, .value = 10, .unit = 16},  // 1
    {.option = 14, .value = 11, .unit = 17},  // 2
    {.option = 15, .value = 13, .unit = 18},  // 3
    {.option = 23, .value = 22, .unit = 24},  // 4
    {.option = 20, .value = 19, .unit = 21},  // 5
    {.option = 53, .value = 52, .unit = 54},  // 6
    {.option = 46, .value = 47, .unit = 48},  // 7
    {.option = 26, .value = 25, .unit = 27},  // 8
    {.option = 32, .value = 31, .unit = 33},  // 9
    {.option = 29, .value = 28, .unit = 30},  // 10
    {.option = 35, .value = 34, .unit = 36},  // 11
    {.option = 44, .value = 43, .unit = 45},  // 12
    {.option = 41, .value = 40, .unit = 42},  // 13
    {.option = 56, .value = 55, .unit = 57},  // 14
    {.option = 50, .value = 49, .unit = 51},  // 15
    {.option = 77, .value = 76, .unit = 78},  // 16
    {.option = 59, .value = 58, .unit = 60},  // 17
    {.option = 74, .value = 73, .unit = 75},  // 18
    {.option = 62, .value = 61, .unit = 63},  // 19
    {.option = 65, .value = 64, .unit = 66},  // 20
    {.option = 68, .value = 67, .unit = 69},  // 21
    {.option = 71, .value = 70, .unit = 72},  // 22
    {.option = 85, .value = 86, .unit = 87},  // 23
    {.option = 91, .value = 92, .unit = 93},  // 24
    {.option = 88, .value = 89, .unit = 90},  // 25
    {.option = 82, .value = 83, .unit = 84},  // 26
    {.option = 79, .value = 80, .unit = 81},  // 27
    {.option = 94, .value = 95, .unit = 96},  // 28
}};

QString arrayName(const char* base, int index) {
    return QString::fromLatin1(base) + u'(' + QString::number(index) + u')';
}

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::vector<ControlLayout> makeLayout() {
    // An empty container is the client area.
    std::vector<ControlLayout> table = {
        {.name = "Text2",
         .kind = ControlKind::InputBox,
         .left = 120,
         .top = 0,
         .width = 9015,
         .height = 1575,
         .tabIndex = 5,
         .font = FontRole::Mono},
        {.name = "Frame3",
         .kind = ControlKind::Frame,
         .left = 120,
         .top = 1680,
         .width = 9015,
         .height = 2415,
         .tabIndex = 9,
         .text = "VIDAD Telemetry",
         .background = FormBackground,
         .font = FontRole::SansBold},
        {.name = "Frame1",
         .kind = ControlKind::Frame,
         .left = 120,
         .top = 4200,
         .width = 9015,
         .height = 1095,
         .tabIndex = 8,
         .text = "ZODIR",
         .background = FormBackground,
         .font = FontRole::SansBold},
        {.name = "Label4",
         .kind = ControlKind::Label,
         .left = 6480,
         .top = 5280,
         .width = 2655,
         .height = 255,
         .tabIndex = 97,
         .background = DesktopButtonFace,
         .font = FontRole::SansBold,
         .alignment = Qt::AlignRight},
        {.name = "Frame8",
         .kind = ControlKind::Frame,
         .left = 120,
         .top = 5520,
         .width = 9015,
         .height = 4335,
         .tabIndex = 0,
         .background = FormBackground,
         .foreground = Black,
         .font = FontRole::SansBold},
        {.name = "MSChart1",
         .kind = ControlKind::Chart,
         .container = "Frame8",
         .left = 120,
         .top = 240,
         .width = 8775,
         .height = 3975,
         .tabIndex = 1,
         .toolTip = "graphical value"},
        {.name = "Command1",
         .kind = ControlKind::PushButton,
         .left = 120,
         .top = 9960,
         .width = 495,
         .height = 255,
         .tabIndex = 6,
         .text = "S"},
        {.name = "Label3",
         .kind = ControlKind::Label,
         .left = 720,
         .top = 9960,
         .width = 6375,
         .height = 255,
         .tabIndex = 4,
         .background = FormBackground},
        {.name = "Label2",
         .kind = ControlKind::Label,
         .left = 7320,
         .top = 9960,
         .width = 615,
         .height = 255,
         .tabIndex = 3,
         .background = FormBackground,
         .alignment = Qt::AlignRight},
        {.name = "HScroll1",
         .kind = ControlKind::Navigator,
         .left = 8040,
         .top = 9960,
         .width = 1095,
         .height = 375,
         .tabIndex = 2},
        // The capture buffer of the window picture never shows on screen.
        {.name = "Picture2",
         .kind = ControlKind::PictureBox,
         .left = 12960,
         .top = 600,
         .width = 1335,
         .height = 855,
         .tabIndex = 7,
         .visible = false},
    };
    for (const GridRow& row : ChannelGrid) {
        const QString frame = QString::fromLatin1(row.frame);
        const int top = FirstRowTop + RowPitch * (row.row - 1);
        for (std::size_t col = 0; col < row.channels.size(); ++col) {
            const ChannelIndex c = row.channels[col];
            if (c < 0) continue;
            const auto i = static_cast<std::size_t>(c);
            const ChannelTabs tabs = ChannelTabOrder[i];
            table.push_back({.name = arrayName("Option1", c),
                             .kind = ControlKind::OptionButton,
                             .container = frame,
                             .left = OptionLeft[col],
                             .top = top,
                             .width = OptionWidth,
                             .height = OptionHeight,
                             .tabIndex = tabs.option,
                             .text = fromView(ChannelCatalogue[i].caption),
                             .background = FormBackground});
            table.push_back({.name = arrayName("Text1", c),
                             .kind = ControlKind::ValueBox,
                             .container = frame,
                             .left = ValueLeft[col],
                             .top = top,
                             .width = ValueWidth,
                             .height = ValueHeight,
                             .tabIndex = tabs.value,
                             .text = c == 0 ? QString() : QStringLiteral("invalid"),
                             .background = DesktopWindowBackground,
                             .foreground = c == 0 ? DesktopWindowText : Black});
            table.push_back({.name = arrayName("Label1", c),
                             .kind = ControlKind::Label,
                             .container = frame,
                             .left = UnitLeft[col],
                             .top = top,
                             .width = UnitWidth,
                             .height = UnitHeight,
                             .tabIndex = tabs.unit,
                             .text = fromView(ChannelCatalogue[i].unit),
                             .background = FormBackground});
        }
    }
    std::sort(table.begin(), table.end(), [](const ControlLayout& a, const ControlLayout& b) {
        return a.tabIndex < b.tabIndex;
    });
    return table;
}

QColor colourOf(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

// The palette role that carries a desktop colour, so the control follows the scheme.
QPalette::ColorRole desktopRole(std::uint32_t colour) {
    switch (colour & 0xFF) {
        case 5:
            return QPalette::Base;
        case 8:
            return QPalette::Text;
        case 15:
            return QPalette::Button;
        default:
            return QPalette::Window;
    }
}

bool isTextBox(ControlKind kind) {
    return kind == ControlKind::InputBox || kind == ControlKind::ValueBox;
}

void applyColours(QWidget* widget, const ControlLayout& layout) {
    // Text boxes paint their background and text with Base and Text; every other control fills
    // its background with its own background role (Window for labels and frames, Button for
    // option buttons) and writes with WindowText.
    const QPalette::ColorRole backRole =
        isTextBox(layout.kind) ? QPalette::Base : widget->backgroundRole();
    const QPalette::ColorRole foreRole =
        isTextBox(layout.kind) ? QPalette::Text : QPalette::WindowText;
    QPalette palette;  // sets nothing: unset roles keep following the parent and the desktop
    bool paletteSet = false;
    if (layout.background != DefaultColour) {
        if (layout.background & SystemColourFlag) {
            const QPalette::ColorRole role = desktopRole(layout.background);
            if (role != backRole) {
                widget->setBackgroundRole(role);
                widget->setAutoFillBackground(true);
            }
        } else {
            palette.setColor(backRole, colourOf(layout.background));
            paletteSet = true;
            if (!isTextBox(layout.kind)) widget->setAutoFillBackground(true);
        }
    }
    if (layout.foreground != DefaultColour) {
        if (layout.foreground & SystemColourFlag) {
            const QPalette::ColorRole role = desktopRole(layout.foreground);
            if (role != foreRole) widget->setForegroundRole(role);
        } else {
            palette.setColor(foreRole, colourOf(layout.foreground));
            paletteSet = true;
        }
    }
    if (paletteSet) widget->setPalette(palette);
}

QWidget* createControl(const ControlLayout& layout, QWidget* parent) {
    switch (layout.kind) {
        case ControlKind::InputBox: {
            auto* box = new InputBox(parent);
            box->setPlainText(layout.text);
            box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            // Tab moves to the next control, as in every other box of the window.
            box->setTabChangesFocus(true);
            return box;
        }
        case ControlKind::ValueBox: {
            auto* box = new QLineEdit(layout.text, parent);
            box->setAlignment(layout.alignment | Qt::AlignVCenter);
            return box;
        }
        case ControlKind::Label: {
            auto* label = new FittingLabel(layout.text, parent);
            label->setAlignment(layout.alignment | Qt::AlignTop);
            return label;
        }
        case ControlKind::Frame:
            return new FrameBox(layout.text, parent);
        case ControlKind::OptionButton:
            return new OptionButton(layout.text, parent);
        case ControlKind::PushButton:
            return new QPushButton(layout.text, parent);
        case ControlKind::Navigator: {
            auto* bar = new NavigatorBar(Qt::Horizontal, parent);
            bar->setRange(1, 32767);
            bar->setValue(1);
            // An arrow click or a click beside the thumb moves one record.
            bar->setSingleStep(1);
            bar->setPageStep(1);
            // A value change only when the dragged thumb is released.
            bar->setTracking(false);
            // Reached with Tab; the arrow keys then step through the records.
            bar->setFocusPolicy(Qt::StrongFocus);
            return bar;
        }
        case ControlKind::Chart:
            return BarChart::createWidget(parent);
        case ControlKind::PictureBox:
            return new QLabel(parent);
    }
    return nullptr;
}

template <typename T>
T* widgetNamed(const QHash<QString, QWidget*>& controls, const QString& name) {
    return qobject_cast<T*>(controls.value(name));
}

}  // namespace

const std::vector<ControlLayout>& mainWindowLayout() {
    static const std::vector<ControlLayout> table = makeLayout();
    return table;
}

QFont layoutFont(FontRole role) {
    QFont font;
    font.setFamilies(
        role == FontRole::Mono
            ? QStringList{QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")}
            : QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(role == FontRole::Mono ? QFont::TypeWriter : QFont::SansSerif);
    font.setPixelSize(11);
    // Set on every control, so a bold frame caption does not pass its weight to its contents.
    font.setBold(role == FontRole::SansBold);
    font.setItalic(false);
    return font;
}

MainWindowControls buildMainWindow(QWidget* clientArea) {
    QHash<QString, QWidget*> byName;
    QWidget* previousFocusable = nullptr;
    for (const ControlLayout& layout : mainWindowLayout()) {
        QWidget* parent = layout.container.isEmpty() ? clientArea : byName.value(layout.container);
        QWidget* widget = createControl(layout, parent);
        widget->setObjectName(layout.name);
        widget->setGeometry(twipsToPixels(layout.left), twipsToPixels(layout.top),
                            twipsToPixels(layout.width), twipsToPixels(layout.height));
        widget->setFont(layoutFont(layout.font));
        applyColours(widget, layout);
        if (!layout.toolTip.isEmpty()) widget->setToolTip(layout.toolTip);
        widget->setVisible(layout.visible);
        byName.insert(layout.name, widget);
        if (widget->focusPolicy() & Qt::TabFocus) {
            if (previousFocusable != nullptr) QWidget::setTabOrder(previousFocusable, widget);
            previousFocusable = widget;
        }
    }

    MainWindowControls controls;
    controls.logInput = widgetNamed<InputBox>(byName, QStringLiteral("Text2"));
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const auto i = static_cast<std::size_t>(c);
        controls.channelButtons[i] = widgetNamed<QRadioButton>(byName, arrayName("Option1", c));
        controls.valueBoxes[i] = widgetNamed<QLineEdit>(byName, arrayName("Text1", c));
        controls.unitLabels[i] = widgetNamed<QLabel>(byName, arrayName("Label1", c));
    }
    controls.zodirFrame = widgetNamed<QGroupBox>(byName, QStringLiteral("Frame1"));
    controls.vidadFrame = widgetNamed<QGroupBox>(byName, QStringLiteral("Frame3"));
    controls.chartFrame = widgetNamed<QGroupBox>(byName, QStringLiteral("Frame8"));
    controls.navigatorLabel = widgetNamed<QLabel>(byName, QStringLiteral("Label2"));
    controls.statusLine = widgetNamed<QLabel>(byName, QStringLiteral("Label3"));
    controls.recordTimeLabel = widgetNamed<QLabel>(byName, QStringLiteral("Label4"));
    controls.recordNavigator = widgetNamed<QScrollBar>(byName, QStringLiteral("HScroll1"));
    controls.screenshotButton = widgetNamed<QPushButton>(byName, QStringLiteral("Command1"));
    controls.captureBuffer = widgetNamed<QLabel>(byName, QStringLiteral("Picture2"));
    controls.chartWidget = byName.value(QStringLiteral("MSChart1"));
    return controls;
}

namespace {

// One entry of a menu. `action` names the member of MainWindowMenu that keeps it; an entry
// without a caption is a separator.
struct MenuItemLayout {
    const char* name = nullptr;
    const char* caption = nullptr;
    QAction* MainWindowMenu::*action = nullptr;
    QKeySequence::StandardKey shortcut = QKeySequence::UnknownKey;
    bool checkable = false;
};

struct MenuLayout {
    const char* name;
    const char* caption;
    std::vector<MenuItemLayout> items;  // none: the entry is a command on the bar itself
    QAction* MainWindowMenu::*command = nullptr;
};

constexpr MenuItemLayout Separator{};

const std::vector<MenuLayout>& menuLayout() {
    static const std::vector<MenuLayout> menus = {
        {.name = "MnuFile",
         .caption = "File",
         .items = {{.name = "MnuOpenLog",
                    .caption = "Open Log File...",
                    .action = &MainWindowMenu::openLogFile,
                    .shortcut = QKeySequence::Open},
                   {.name = "MnuFollowLog",
                    .caption = "Follow Log File",
                    .action = &MainWindowMenu::followLogFile,
                    .checkable = true},
                   Separator,
                   {.name = "MnuExit", .caption = "Exit", .action = &MainWindowMenu::exit}}},
        {.name = "MnuTLMFile",
         .caption = "TLM File",
         .items = {{.name = "WriteCSVFile",
                    .caption = "Write CSV File",
                    .action = &MainWindowMenu::writeCsvFile},
                   Separator,
                   {.name = "MnuShareFrames",
                    .caption = "Share Frames",
                    .action = &MainWindowMenu::shareFrames,
                    .checkable = true},
                   {.name = "MnuSharingStatus",
                    .caption = "Sharing Status...",
                    .action = &MainWindowMenu::sharingStatus},
                   Separator,
                   {.name = "MnuMissionHistory",
                    .caption = "Mission History...",
                    .action = &MainWindowMenu::missionHistory}}},
        {.name = "MnuInfo", .caption = "Info", .items = {}, .command = &MainWindowMenu::info},
    };
    return menus;
}

}  // namespace

MainWindowMenu buildMainMenu(QMenuBar* menuBar) {
    // Kept inside the window: the client area below it is laid out to the pixel.
    menuBar->setNativeMenuBar(false);
    MainWindowMenu menu;
    for (const MenuLayout& entry : menuLayout()) {
        if (entry.items.empty()) {
            QAction* command = menuBar->addAction(QString::fromLatin1(entry.caption));
            command->setObjectName(QString::fromLatin1(entry.name));
            menu.*entry.command = command;
            continue;
        }
        QMenu* list = menuBar->addMenu(QString::fromLatin1(entry.caption));
        list->setObjectName(QString::fromLatin1(entry.name));
        list->menuAction()->setObjectName(QString::fromLatin1(entry.name));
        for (const MenuItemLayout& item : entry.items) {
            if (item.caption == nullptr) {
                list->addSeparator();
                continue;
            }
            QAction* action = list->addAction(QString::fromLatin1(item.caption));
            action->setObjectName(QString::fromLatin1(item.name));
            action->setShortcut(item.shortcut);
            action->setCheckable(item.checkable);
            menu.*item.action = action;
        }
    }
    return menu;
}

QIcon programIcon() {
    initShellResources();
    return QIcon(QString::fromLatin1(IconResource));
}

}  // namespace orvalin
