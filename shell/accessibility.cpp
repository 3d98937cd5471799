#include "shell/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <algorithm>
#include <tuple>

#include "shell/input_box.h"
#include "shell/main_window_layout.h"
#include "views/channel_selection.h"

namespace orvalin {

namespace {

// Dynamic properties by which the interface factory below knows the widgets it speaks for.
constexpr char ReadsByPosition[] = "orvalinReadsByPosition";  // bool: a container
constexpr char SpokenCaption[] = "orvalinSpokenCaption";      // QString: what a label shows
constexpr char SpokenRole[] = "orvalinSpokenRole";            // int: its QAccessible::Role
constexpr char PositionLabel[] = "orvalinPositionLabel";      // QObject*: a navigator's label

// A container whose children a screen reader walks as the eye reads them: by rows from top to
// bottom, left to right within a row, hidden children last. The widgets themselves stay in the
// order they were made in, which is their stacking order and so part of what is drawn.
class ReadingOrderAccessible : public QAccessibleWidget {
public:
    explicit ReadingOrderAccessible(QWidget* container)
        : QAccessibleWidget(container, qobject_cast<QGroupBox*>(container) != nullptr
                                           ? QAccessible::Grouping
                                       : container->isWindow() ? QAccessible::Dialog
                                                               : QAccessible::Client) {}

    QString text(QAccessible::Text t) const override {
        const auto* frame = qobject_cast<const QGroupBox*>(widget());
        if (t == QAccessible::Name && frame != nullptr && frame->accessibleName().isEmpty())
            return frame->title();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return static_cast<int>(readingOrder().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> children = readingOrder();
        return index >= 0 && index < children.size()
                   ? QAccessible::queryAccessibleInterface(children[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr) return -1;
        return static_cast<int>(readingOrder().indexOf(qobject_cast<QWidget*>(child->object())));
    }

private:
    QList<QWidget*> readingOrder() const {
        QList<QWidget*> children;
        for (QObject* object : widget()->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child != nullptr && !child->isWindow()) children << child;
        }
        std::stable_sort(children.begin(), children.end(), [](const QWidget* a, const QWidget* b) {
            return std::tuple(a->isHidden(), a->y(), a->x()) <
                   std::tuple(b->isHidden(), b->y(), b->x());
        });
        return children;
    }
};

// A label read with what it is: "Status: pellam_telemetry.csv written". The label keeps no
// accessible name of its own, so that each new text still raises a name change.
class SpokenLabelAccessible : public QAccessibleWidget {
public:
    SpokenLabelAccessible(QLabel* label, QAccessible::Role role) : QAccessibleWidget(label, role) {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !widget()->accessibleName().isEmpty())
            return QAccessibleWidget::text(t);
        const QString caption = widget()->property(SpokenCaption).toString();
        const QString shown = static_cast<const QLabel*>(widget())->text().trimmed();
        return shown.isEmpty() ? caption : caption + QStringLiteral(": ") + shown;
    }
};

// The record navigator, whose position is read as its label shows it ("3/12", "#1 / 12"),
// not as the bare value of the scroll bar.
class NavigatorAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit NavigatorAccessible(QScrollBar* navigator)
        : QAccessibleWidget(navigator, QAccessible::ScrollBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name:
                return widget()->accessibleName().isEmpty() ? QStringLiteral("Record")
                                                            : widget()->accessibleName();
            case QAccessible::Value:
            case QAccessible::Description: {
                const auto* label = qobject_cast<const QLabel*>(
                    widget()->property(PositionLabel).value<QObject*>());
                return label != nullptr ? label->text() : QString();
            }
            default:
                return QAccessibleWidget::text(t);
        }
    }
    QVariant currentValue() const override { return navigator()->value(); }
    void setCurrentValue(const QVariant& value) override { navigator()->setValue(value.toInt()); }
    QVariant maximumValue() const override { return navigator()->maximum(); }
    QVariant minimumValue() const override { return navigator()->minimum(); }
    QVariant minimumStepSize() const override { return navigator()->singleStep(); }

private:
    QScrollBar* navigator() const { return static_cast<QScrollBar*>(widget()); }
};

QAccessibleInterface* windowInterface(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return nullptr;
    if (widget->property(ReadsByPosition).toBool()) return new ReadingOrderAccessible(widget);
    auto* navigator = qobject_cast<QScrollBar*>(widget);
    if (navigator != nullptr && widget->property(PositionLabel).isValid())
        return new NavigatorAccessible(navigator);
    auto* label = qobject_cast<QLabel*>(widget);
    if (label != nullptr && widget->property(SpokenCaption).isValid())
        return new SpokenLabelAccessible(
            label, static_cast<QAccessible::Role>(widget->property(SpokenRole).toInt()));
    return nullptr;
}

// Marks a widget for the factory. An event while it was being built (a label's first text,
// with a screen reader listening) may already have made it a default interface; that one is
// dropped so that the next question gets the factory's.
void markForFactory(QWidget* widget, const char* property, const QVariant& value) {
    widget->setProperty(property, value);
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void speakLabel(QLabel* label, const QString& caption, QAccessible::Role role) {
    label->setProperty(SpokenRole, static_cast<int>(role));
    markForFactory(label, SpokenCaption, caption);
}

// Fusion, the style of this platform, leaves the menu bar's keyboard navigation off, as GTK
// desktops do. Turned on for the menu bar alone, Qt's own takes over: Alt pressed and released
// alone focuses the bar, Left and Right move along it, Down or Return opens a menu, Escape
// steps back. Everything else, drawing included, is the application's style.
class MenuBarKeyboardStyle : public QProxyStyle {
public:
    MenuBarKeyboardStyle() : QProxyStyle(QApplication::style()->name()) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

void makeMenusKeyboardReachable(QMainWindow& window) {
    QMenuBar* bar = window.menuBar();
    auto* style = new MenuBarKeyboardStyle;
    style->setParent(&window);  // made after the menu bar, so deleted after it
    bar->setStyle(style);
    // F10 opens the first menu, as on the desktops of this platform. It first does what Alt
    // pressed and released alone does, so that the bar is in Qt's keyboard mode: it holds the
    // focus while the arrows move along it, Return and Space run "Info" (a command without a
    // menu) instead of reaching the control that had the focus, and Escape or a command hands
    // the focus back. Opening a menu with setActiveAction alone leaves the focus where it was.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), &window);
    QObject::connect(f10, &QShortcut::activated, bar, [bar] {
        if (!bar->hasFocus()) {
            QWidget* focus = QApplication::focusWidget();
            QObject* receiver = focus != nullptr ? static_cast<QObject*>(focus) : bar->window();
            QKeyEvent altPressed(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
            QCoreApplication::sendEvent(receiver, &altPressed);
            QKeyEvent altReleased(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
            QCoreApplication::sendEvent(receiver, &altReleased);
        }
        if (!bar->hasFocus()) return;  // the bar is hidden or has no entry to choose
        // Down opens the menu of the entry the keyboard mode put first.
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::sendEvent(bar, &down);
    });
}

// The objects whose change events are held back, one entry per guard that holds them, and
// the update handler that was there before the first guard.
struct QuietUpdates {
    int guards = 0;
    std::vector<const QObject*> objects;
    QAccessible::UpdateHandler previous = nullptr;
};

QuietUpdates& quietUpdates() {
    static QuietUpdates quiet;  // Qt's update handler is a plain function: it needs a place
    return quiet;
}

void quietUpdate(QAccessibleEvent* event) {
    QuietUpdates& quiet = quietUpdates();
    switch (event->type()) {
        case QAccessible::NameChanged:
        case QAccessible::DescriptionChanged:
        case QAccessible::ValueChanged:
        case QAccessible::TextUpdated:
        case QAccessible::TextInserted:
        case QAccessible::TextRemoved:
            if (std::find(quiet.objects.begin(), quiet.objects.end(), event->object()) !=
                quiet.objects.end())
                return;
            break;
        default:
            break;
    }
    if (quiet.previous != nullptr) {
        quiet.previous(event);
        return;
    }
    // Without a handler before this one, the event takes Qt's own way to the platform's bridge.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(quietUpdate);
}

}  // namespace

void readChildrenByPosition(QWidget* container) {
    QAccessible::installFactory(windowInterface);  // a second install is ignored
    markForFactory(container, ReadsByPosition, true);
}

void makeAccessible(QMainWindow& window, const MainWindowControls& controls) {
    for (QWidget* container : {window.centralWidget(), static_cast<QWidget*>(controls.vidadFrame),
                               static_cast<QWidget*>(controls.zodirFrame)})
        readChildrenByPosition(container);

    controls.logInput->setAccessibleName(QStringLiteral("Log lines"));
    controls.logInput->setAccessibleDescription(
        QStringLiteral("Paste or type reception log lines; each valid line becomes a record"));
    for (std::size_t i = 0; i < controls.valueBoxes.size(); ++i) {
        const QString caption = controls.channelButtons[i]->text();
        controls.channelButtons[i]->setAccessibleName(QStringLiteral("Chart ") + caption);
        controls.valueBoxes[i]->setAccessibleName(
            ChannelSelection::spokenName(caption, controls.unitLabels[i]->text()));
    }
    controls.screenshotButton->setAccessibleName(QStringLiteral("Screenshot"));
    controls.screenshotButton->setAccessibleDescription(
        QStringLiteral("Saves a picture of the window"));
    speakLabel(controls.recordTimeLabel, QStringLiteral("Record date and time"),
               QAccessible::StaticText);
    speakLabel(controls.navigatorLabel, QStringLiteral("Record position"), QAccessible::StaticText);
    speakLabel(controls.statusLine, QStringLiteral("Status"), QAccessible::StatusBar);

    QScrollBar* navigator = controls.recordNavigator;
    markForFactory(navigator, PositionLabel,
                   QVariant::fromValue<QObject*>(controls.navigatorLabel));
    // After the window's own handler has rewritten the label: the focused navigator's new
    // position is read out.
    QObject::connect(navigator, &QScrollBar::valueChanged, navigator, [navigator] {
        QAccessibleEvent event(navigator, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    });

    makeMenusKeyboardReachable(window);
}

QuietAccessibilityUpdates::QuietAccessibilityUpdates(const MainWindowControls& controls)
    : objects_{controls.recordNavigator, controls.navigatorLabel, controls.statusLine,
               controls.chartWidget} {
    QuietUpdates& quiet = quietUpdates();
    if (quiet.guards++ == 0) quiet.previous = QAccessible::installUpdateHandler(quietUpdate);
    quiet.objects.insert(quiet.objects.end(), objects_.begin(), objects_.end());
}

QuietAccessibilityUpdates::~QuietAccessibilityUpdates() {
    QuietUpdates& quiet = quietUpdates();
    for (const QObject* object : objects_)
        quiet.objects.erase(std::find(quiet.objects.begin(), quiet.objects.end(), object));
    if (--quiet.guards == 0) QAccessible::installUpdateHandler(quiet.previous);
}

}  // namespace orvalin
