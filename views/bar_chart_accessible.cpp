#include "views/bar_chart_accessible.h"

#include <QWidget>

#include "views/bar_chart.h"

namespace orvalin {

namespace {

QAccessibleInterface* chartInterface(const QString& className, QObject* object) {
    // Asked once for each class of an object without an interface, most derived first.
    if (className != QLatin1String("QCustomPlot")) return nullptr;
    auto* widget = qobject_cast<QWidget*>(object);
    return BarChart::of(widget) != nullptr ? new BarChartAccessible(widget) : nullptr;
}

}  // namespace

BarChartAccessible::BarChartAccessible(QWidget* plot)
    : QAccessibleWidget(plot, QAccessible::Chart) {}

const BarChart* BarChartAccessible::chart() const {
    return BarChart::of(widget());
}

QString BarChartAccessible::text(QAccessible::Text t) const {
    const BarChart* bars = chart();
    if (bars == nullptr || !widget()->accessibleName().isEmpty()) return QAccessibleWidget::text(t);
    switch (t) {
        case QAccessible::Name:
            return bars->subject().isEmpty() ? QStringLiteral("Chart")
                                             : QStringLiteral("Chart of ") + bars->subject();
        case QAccessible::Description: {
            const int count = bars->rowCount();
            if (count == 0) return QStringLiteral("No bars");
            QString text =
                count == 1 ? QStringLiteral("1 bar") : QStringLiteral("%1 bars").arg(count);
            const QString shown = bars->describeBar(bars->markedRow());
            if (!shown.isEmpty()) text += QStringLiteral("; shown record: ") + shown;
            return text;
        }
        default:
            return QAccessibleWidget::text(t);
    }
}

void BarChartAccessible::install() {
    QAccessible::installFactory(chartInterface);  // a second install is ignored
}

}  // namespace orvalin
