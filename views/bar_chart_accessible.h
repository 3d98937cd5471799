// What a screen reader hears of the bar chart, which draws everything itself and so has no
// accessible parts of its own: its subject, how many bars it has, and the bar of the record shown.
#pragma once

#include <QAccessibleWidget>

namespace orvalin {

class BarChart;

class BarChartAccessible : public QAccessibleWidget {
public:
    // `plot` is a widget made by BarChart::createWidget.
    explicit BarChartAccessible(QWidget* plot);

    // Name: "Chart of Batt Temp, C" ("Chart" before the first plot). Description: "5 bars;
    // shown record: Record 3 of 5, 06.12.2026 00:00:02: 23.0 C", or "No bars".
    QString text(QAccessible::Text t) const override;

    // Gives the chart widgets this interface; done once by BarChart::createWidget.
    static void install();

private:
    const BarChart* chart() const;
};

}  // namespace orvalin
