#include "shell/fitting_label.h"

#include <QPainter>
#include <algorithm>

namespace orvalin {

void FittingLabel::paintEvent(QPaintEvent* event) {
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
    const QRect drawn(0, area.top(), static_cast<int>(area.width() / squeeze) + 1, area.height());
    painter.drawText(drawn, static_cast<int>(alignment()), text());
}

}  // namespace orvalin
