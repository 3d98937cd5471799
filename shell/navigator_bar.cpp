#include "shell/navigator_bar.h"

#include <QKeyEvent>

namespace orvalin {

void NavigatorBar::keyPressEvent(QKeyEvent* event) {
    static constexpr struct {
        int key;
        SliderAction action;
    } steps[] = {
        {.key = Qt::Key_Left, .action = SliderSingleStepSub},
        {.key = Qt::Key_Up, .action = SliderSingleStepSub},
        {.key = Qt::Key_Right, .action = SliderSingleStepAdd},
        {.key = Qt::Key_Down, .action = SliderSingleStepAdd},
        {.key = Qt::Key_PageUp, .action = SliderPageStepSub},
        {.key = Qt::Key_PageDown, .action = SliderPageStepAdd},
        {.key = Qt::Key_Home, .action = SliderToMinimum},
        {.key = Qt::Key_End, .action = SliderToMaximum},
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

}  // namespace orvalin
