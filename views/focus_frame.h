// The frame that shows which chart has the keyboard: drawn inside the widget's edge, so that
// nothing around the chart moves when it comes and goes.
#pragma once

#include <QPainter>
#include <QPalette>
#include <QWidget>

namespace orvalin {

inline constexpr int FocusFramePixels = 2;

inline void drawFocusFrame(QWidget& widget) {
    QPainter painter(&widget);
    QPen pen(widget.palette().color(QPalette::Highlight), FocusFramePixels);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double inset = FocusFramePixels / 2.0;
    painter.drawRect(QRectF(widget.rect()).adjusted(inset, inset, -inset, -inset));
}

}  // namespace orvalin
