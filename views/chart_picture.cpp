#include "views/chart_picture.h"

#include <qcustomplot.h>

#include <QBuffer>
#include <QDate>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "views/bar_chart.h"

namespace orvalin {

namespace {

// Vector files are laid out in the screen's pixels at 96 dpi: 1 px = 0.75 pt.
constexpr int VectorDpi = 96;
constexpr double PointsPerPixel = 72.0 / VectorDpi;
constexpr char Creator[] = "Orvalin Telemetry Decoder";

struct ChartPage {
    QSize plot;  // the chart widget's size
    int titleHeight;
    QFont titleFont;
    QSize size() const { return {plot.width(), plot.height() + titleHeight}; }
};

ChartPage pageFor(const BarChart& chart) {
    QFont font = chart.plot()->font();
    font.setBold(true);
    font.setPixelSize(std::max(14, font.pixelSize() + 3));
    const QSize plot = chart.plot()->size().expandedTo(QSize(1, 1));
    return {plot, QFontMetrics(font).height() * 2, font};
}

// Draws the page on `painter`, whose device is page.size() in logical pixels.
void paintPage(BarChart& chart, QCPPainter& painter, const ChartPage& page, const QString& title) {
    chart.bringUpToDate();
    painter.fillRect(QRect(QPoint(0, 0), page.size()), Qt::white);
    painter.setFont(page.titleFont);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, page.plot.width(), page.titleHeight), Qt::AlignCenter, title);
    painter.translate(0, page.titleHeight);
    // At the widget's own size the plot keeps its layout, so the bars on screen and their hit
    // test stay where they are.
    chart.plot()->toPainter(&painter, page.plot.width(), page.plot.height());
}

QByteArray pngBytes(BarChart& chart, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!chartImage(chart, title).save(&buffer, "PNG")) return {};
    return bytes;
}

QByteArray svgBytes(BarChart& chart, const QString& title) {
    const ChartPage page = pageFor(chart);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(page.size());
    svg.setViewBox(QRect(QPoint(0, 0), page.size()));
    svg.setResolution(VectorDpi);
    svg.setTitle(title);
    svg.setDescription(QString::fromLatin1(Creator));
    QCPPainter painter;
    if (!painter.begin(&svg)) return {};
    painter.setMode(QCPPainter::pmVectorized);
    paintPage(chart, painter, page, title);
    painter.end();
    return bytes;
}

QByteArray pdfBytes(BarChart& chart, const QString& title) {
    const ChartPage page = pageFor(chart);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(QString::fromLatin1(Creator));
        pdf.setTitle(title);
        pdf.setResolution(VectorDpi);
        pdf.setPageSize(QPageSize(QSizeF(page.size()) * PointsPerPixel, QPageSize::Point, QString(),
                                  QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QCPPainter painter;
        if (!painter.begin(&pdf)) return {};
        painter.setMode(QCPPainter::pmVectorized);
        paintPage(chart, painter, page, title);
        painter.end();
    }
    return bytes;
}

}  // namespace

std::optional<ChartFileFormat> chartFileFormat(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"png") return ChartFileFormat::Png;
    if (suffix == u"svg") return ChartFileFormat::Svg;
    if (suffix == u"pdf") return ChartFileFormat::Pdf;
    return std::nullopt;
}

QString chartFileSuffix(ChartFileFormat format) {
    switch (format) {
        case ChartFileFormat::Png:
            return QStringLiteral(".png");
        case ChartFileFormat::Svg:
            return QStringLiteral(".svg");
        case ChartFileFormat::Pdf:
            return QStringLiteral(".pdf");
    }
    return {};
}

QString chartFileName(QStringView caption, QStringView dateText, ChartFileFormat format) {
    const QDate date = QDate::fromString(dateText.toString(), QStringLiteral("dd.MM.yyyy"));
    QString name = caption.toString().trimmed();
    if (!dateText.isEmpty())
        name += u'_' + (date.isValid() ? date.toString(Qt::ISODate) : dateText.toString());
    for (QChar& ch : name)
        if (!(ch.isLetterOrNumber() && ch.unicode() < 0x80) && ch != u'-') ch = u'_';
    return name + chartFileSuffix(format);
}

QImage chartImage(BarChart& chart, const QString& title) {
    const ChartPage page = pageFor(chart);
    QImage image(page.size() * ChartImageScale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QCPPainter painter(&image);
    painter.scale(ChartImageScale, ChartImageScale);
    paintPage(chart, painter, page, title);
    painter.end();
    return image;
}

QByteArray chartFileBytes(BarChart& chart, ChartFileFormat format, const QString& title) {
    switch (format) {
        case ChartFileFormat::Png:
            return pngBytes(chart, title);
        case ChartFileFormat::Svg:
            return svgBytes(chart, title);
        case ChartFileFormat::Pdf:
            return pdfBytes(chart, title);
    }
    return {};
}

}  // namespace orvalin
