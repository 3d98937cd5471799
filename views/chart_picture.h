// The chart as a picture of its own: for the clipboard, or as the bytes of a PNG, SVG or PDF
// file. The picture is the chart as drawn on screen with a title band above it, so that a
// saved file names its channel and unit. Writing the bytes to disk is the caller's part.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringView>
#include <optional>

namespace orvalin {

class BarChart;

enum class ChartFileFormat { Png, Svg, Pdf };

// The format a file name asks for by its extension (any letter case); none for another one.
std::optional<ChartFileFormat> chartFileFormat(const QString& fileName);
// ".png", ".svg" or ".pdf".
QString chartFileSuffix(ChartFileFormat format);

// A file name (without directory) for a chart of one channel: the caption and the date, with
// every character other than letters, digits and '-' made '_', e.g. "Batt_Temp_2026-12-06.png"
// for "Batt Temp" and "06.12.2026". A date that is not DD.MM.YYYY is taken as it is; an empty
// one is left out.
QString chartFileName(QStringView caption, QStringView dateText, ChartFileFormat format);

// Raster pictures are drawn at twice the chart's size in pixels, sharp on paper and on
// screens with a scale factor.
inline constexpr int ChartImageScale = 2;

// The chart with `title` above it, as drawn now.
QImage chartImage(BarChart& chart, const QString& title);
// The whole file of that picture in `format`; empty when it could not be drawn.
QByteArray chartFileBytes(BarChart& chart, ChartFileFormat format, const QString& title);

}  // namespace orvalin
