#include "shell/option_button.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace orvalin {

void OptionButton::paintEvent(QPaintEvent* event) {
    QStyleOptionButton option;
    initStyleOption(&option);
    QStyleOptionButton part = option;
    part.rect = style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, this);
    if (part.rect.height() <= height()) {
        QRadioButton::paintEvent(event);
        return;
    }
    // The steps of the style's own CE_RadioButton, with the indicator's square made to fit.
    QStylePainter painter(this);
    part.rect = QRect(part.rect.left(), 0, height(), height());
    painter.drawPrimitive(QStyle::PE_IndicatorRadioButton, part);
    part.rect = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
    painter.drawControl(QStyle::CE_RadioButtonLabel, part);
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = style()->subElementRect(QStyle::SE_RadioButtonFocusRect, &option, this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

}  // namespace orvalin
