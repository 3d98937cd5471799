#include "shell/main_window_layout.h"

#include <qdrawutil.h>

#include <QAction>
#include <QGroupBox>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <algorithm>

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

struct GridCell {
    const char* frame;
    int row;     // from 1
    int column;  // from 1
};

// Where each channel sits, by channel index.
constexpr std::array<GridCell, ChannelCount> ChannelCells = {{
    {"Frame3", 4, 1}, {"Frame3", 4, 2}, {"Frame3", 4, 3}, {"Frame3", 1, 1},  // 0-3
    {"Frame3", 1, 3}, {"Frame3", 1, 2}, {"Frame3", 5, 3}, {"Frame3", 5, 1},  // 4-7
    {"Frame3", 2, 1}, {"Frame3", 2, 3}, {"Frame3", 2, 2}, {"Frame3", 3, 1},  // 8-11
    {"Frame3", 3, 3}, {"Frame3", 3, 2}, {"Frame3", 5, 2}, {"Frame3", 6, 1},  // 12-15
    {"Frame3", 8, 2}, {"Frame3", 6, 2}, {"Frame3", 8, 1}, {"Frame3", 6, 3},  // 16-19
    {"Frame3", 7, 1}, {"Frame3", 7, 2}, {"Frame3", 7, 3},                    // 20-22
    {"Frame1", 1, 3}, {"Frame1", 2, 2}, {"Frame1", 2, 1}, {"Frame1", 1, 2},  // 23-26
    {"Frame1", 1, 1}, {"Frame1", 2, 3},                                      // 27-28
}};

struct ChannelTabs {
    int option, value, unit;
};

// Tab order of each channel's option button, value box and unit label.
constexpr std::array<ChannelTabs, ChannelCount> ChannelTabOrder = {{
    {38, 37, 39}, {12, 10, 16}, {14, 11, 17}, {15, 13, 18}, {23, 22, 24},  // 0-4
    {20, 19, 21}, {53, 52, 54}, {46, 47, 48}, {26, 25, 27}, {32, 31, 33},  // 5-9
    {29, 28, 30}, {35, 34, 36}, {44, 43, 45}, {41, 40, 42}, {56, 55, 57},  // 10-14
    {50, 49, 51}, {77, 76, 78}, {59, 58, 60}, {74, 73, 75}, {62, 61, 63},  // 15-19
    {65, 64, 66}, {68, 67, 69}, {71, 70, 72}, {85, 86, 87}, {91, 92, 93},  // 20-24
    {88, 89, 90}, {82, 83, 84}, {79, 80, 81}, {94, 95, 96},                // 25-28
}};

QString arrayName(const char* base, int index) {
    return QString::fromLatin1(base) + u'(' + QString::number(index) + u')';
}

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::vector<ControlLayout> makeLayout() {
    const QString client;
    const Qt::Alignment left = Qt::AlignLeft;
    const Qt::Alignment right = Qt::AlignRight;
    std::vector<ControlLayout> table = {
        // name, kind, container, left, top, width, height, tab, text, background, foreground,
        // font, alignment, visible, tool tip
        {"Text2", ControlKind::InputBox, client, 120, 0, 9015, 1575, 5, "", DefaultColour,
         DefaultColour, FontRole::Mono, left, true, ""},
        {"Frame3", ControlKind::Frame, client, 120, 1680, 9015, 2415, 9, "VIDAD Telemetry",
         FormBackground, DefaultColour, FontRole::SansBold, left, true, ""},
        {"Frame1", ControlKind::Frame, client, 120, 4200, 9015, 1095, 8, "ZODIR", FormBackground,
         DefaultColour, FontRole::SansBold, left, true, ""},
        {"Label4", ControlKind::Label, client, 6480, 5280, 2655, 255, 97, "", DesktopButtonFace,
         DefaultColour, FontRole::SansBold, right, true, ""},
        {"Frame8", ControlKind::Frame, client, 120, 5520, 9015, 4335, 0, "", FormBackground, Black,
         FontRole::SansBold, left, true, ""},
        {"MSChart1", ControlKind::Chart, "Frame8", 120, 240, 8775, 3975, 1, "", DefaultColour,
         DefaultColour, FontRole::Sans, left, true, "graphical value"},
        {"Command1", ControlKind::PushButton, client, 120, 9960, 495, 255, 6, "S", DefaultColour,
         DefaultColour, FontRole::Sans, left, true, ""},
        {"Label3", ControlKind::Label, client, 720, 9960, 6375, 255, 4, "", FormBackground,
         DefaultColour, FontRole::Sans, left, true, ""},
        {"Label2", ControlKind::Label, client, 7320, 9960, 615, 255, 3, "", FormBackground,
         DefaultColour, FontRole::Sans, right, true, ""},
        {"HScroll1", ControlKind::Navigator, client, 8040, 9960, 1095, 375, 2, "", DefaultColour,
         DefaultColour, FontRole::Sans, left, true, ""},
        // The capture buffer of the window picture never shows on screen.
        {"Picture2", ControlKind::PictureBox, client, 12960, 600, 1335, 855, 7, "", DefaultColour,
         DefaultColour, FontRole::Sans, left, false, ""},
    };
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const GridCell cell = ChannelCells[i];
        const QString frame = QString::fromLatin1(cell.frame);
        const int col = cell.column - 1;
        const int top = FirstRowTop + RowPitch * (cell.row - 1);
        const ChannelTabs tabs = ChannelTabOrder[i];
        table.push_back({arrayName("Option1", c), ControlKind::OptionButton, frame, OptionLeft[col],
                         top, OptionWidth, OptionHeight, tabs.option,
                         fromView(ChannelCatalogue[i].caption), FormBackground, DefaultColour,
                         FontRole::Sans, left, true, ""});
        table.push_back({arrayName("Text1", c), ControlKind::ValueBox, frame, ValueLeft[col], top,
                         ValueWidth, ValueHeight, tabs.value,
                         c == 0 ? QString() : QStringLiteral("invalid"), DesktopWindowBackground,
                         c == 0 ? DesktopWindowText : Black, FontRole::Sans, left, true, ""});
        table.push_back({arrayName("Label1", c), ControlKind::Label, frame, UnitLeft[col], top,
                         UnitWidth, UnitHeight, tabs.unit, fromView(ChannelCatalogue[i].unit),
                         FormBackground, DefaultColour, FontRole::Sans, left, true, ""});
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
    // Text boxes paint their background and text with Base and Text; all else with Window
    // and WindowText.
    const QPalette::ColorRole backRole = isTextBox(layout.kind) ? QPalette::Base : QPalette::Window;
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

// A frame drawn as an etched line around its area, with the caption on the top line and the
// inside in the frame's own background colour. (The Fusion group box tints its inside and
// puts the caption above the line, which would move the contents against their positions.)
class FrameBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const int lineY = metrics.height() / 2;
        qDrawShadeRect(&painter, rect().adjusted(0, lineY, 0, 0), palette(), true, 1);
        if (title().isEmpty()) return;
        const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
        painter.fillRect(caption, palette().window());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(caption, Qt::AlignCenter, title());
    }
};

// A label whose text is never cut off: a text wider than the label (the navigator label of a
// four-digit record count, a long status line) is drawn narrower to fit, down to 60 % of its
// width; only beyond that is it clipped.
class FittingLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        const QRect area = contentsRect();
        const int needed = fontMetrics().horizontalAdvance(text());
        if (needed <= area.width() || area.width() <= 0) {
            QLabel::paintEvent(event);
            return;
        }
        const double squeeze = std::max(0.6, static_cast<double>(area.width()) / needed);
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        painter.translate(area.left(), 0);
        painter.scale(squeeze, 1.0);
        const QRect drawn(0, area.top(), static_cast<int>(area.width() / squeeze) + 1,
                          area.height());
        painter.drawText(drawn, static_cast<int>(alignment()), text());
    }
};

// The record navigator. QScrollBar leaves the arrow keys unhandled; here they step through
// the records like the arrow buttons do, and Home and End go to the first and last record.
class NavigatorBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        static constexpr struct {
            int key;
            SliderAction action;
        } steps[] = {
            {Qt::Key_Left, SliderSingleStepSub},  {Qt::Key_Up, SliderSingleStepSub},
            {Qt::Key_Right, SliderSingleStepAdd}, {Qt::Key_Down, SliderSingleStepAdd},
            {Qt::Key_PageUp, SliderPageStepSub},  {Qt::Key_PageDown, SliderPageStepAdd},
            {Qt::Key_Home, SliderToMinimum},      {Qt::Key_End, SliderToMaximum},
        };
        for (const auto& step : steps) {
            if (event->key() == step.key) {
                triggerAction(step.action);
                event->accept();
                return;
            }
        }
        QScrollBar::keyPressEvent(event);
    }
};

QWidget* createControl(const ControlLayout& layout, QWidget* parent) {
    switch (layout.kind) {
        case ControlKind::InputBox: {
            auto* box = new QPlainTextEdit(parent);
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
            return new QRadioButton(layout.text, parent);
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
    controls.text2 = widgetNamed<QPlainTextEdit>(byName, QStringLiteral("Text2"));
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        const auto i = static_cast<std::size_t>(c);
        controls.option1[i] = widgetNamed<QRadioButton>(byName, arrayName("Option1", c));
        controls.text1[i] = widgetNamed<QLineEdit>(byName, arrayName("Text1", c));
        controls.label1[i] = widgetNamed<QLabel>(byName, arrayName("Label1", c));
    }
    controls.frame1 = widgetNamed<QGroupBox>(byName, QStringLiteral("Frame1"));
    controls.frame3 = widgetNamed<QGroupBox>(byName, QStringLiteral("Frame3"));
    controls.frame8 = widgetNamed<QGroupBox>(byName, QStringLiteral("Frame8"));
    controls.label2 = widgetNamed<QLabel>(byName, QStringLiteral("Label2"));
    controls.label3 = widgetNamed<QLabel>(byName, QStringLiteral("Label3"));
    controls.label4 = widgetNamed<QLabel>(byName, QStringLiteral("Label4"));
    controls.hScroll1 = widgetNamed<QScrollBar>(byName, QStringLiteral("HScroll1"));
    controls.command1 = widgetNamed<QPushButton>(byName, QStringLiteral("Command1"));
    controls.picture2 = widgetNamed<QLabel>(byName, QStringLiteral("Picture2"));
    controls.msChart1 = byName.value(QStringLiteral("MSChart1"));
    return controls;
}

namespace {

struct MenuItemLayout {
    const char* name;
    const char* caption;
};

struct MenuLayout {
    const char* name;
    const char* caption;
    std::vector<MenuItemLayout> items;  // none: the entry is a command on the bar itself
};

const std::vector<MenuLayout>& menuLayout() {
    static const std::vector<MenuLayout> menus = {
        {"MnuFile", "File", {{"MnuExit", "Exit"}}},
        {"MnuTLMFile", "TLM File", {{"WriteCSVFile", "Write CSV File"}}},
        {"MnuInfo", "Info", {}},
    };
    return menus;
}

}  // namespace

MainWindowMenu buildMainMenu(QMenuBar* menuBar) {
    // Kept inside the window: the client area below it is laid out to the pixel.
    menuBar->setNativeMenuBar(false);
    for (const MenuLayout& entry : menuLayout()) {
        if (entry.items.empty()) {
            QAction* command = menuBar->addAction(QString::fromLatin1(entry.caption));
            command->setObjectName(QString::fromLatin1(entry.name));
            continue;
        }
        QMenu* menu = menuBar->addMenu(QString::fromLatin1(entry.caption));
        menu->setObjectName(QString::fromLatin1(entry.name));
        menu->menuAction()->setObjectName(QString::fromLatin1(entry.name));
        for (const MenuItemLayout& item : entry.items) {
            QAction* action = menu->addAction(QString::fromLatin1(item.caption));
            action->setObjectName(QString::fromLatin1(item.name));
        }
    }
    MainWindowMenu menu;
    menu.exit = menuBar->findChild<QAction*>(QStringLiteral("MnuExit"));
    menu.writeCsvFile = menuBar->findChild<QAction*>(QStringLiteral("WriteCSVFile"));
    menu.info = menuBar->findChild<QAction*>(QStringLiteral("MnuInfo"));
    return menu;
}

QIcon programIcon() {
    initShellResources();
    return QIcon(QString::fromLatin1(IconResource));
}

}  // namespace orvalin
