// The chart as a picture: file names, the format chosen by extension, and that the bytes of
// each format open as that format with the title on it.
#include "views/chart_picture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QWidget>
#include <memory>

#include "views/bar_chart.h"

namespace orvalin {
namespace {

TEST(ChartFileName, CaptionAndDateMakeASafeName) {
    const struct {
        const char* caption;
        const char* date;
        ChartFileFormat format;
        const char* name;
    } cases[] = {
        {"Batt Temp", "06.12.2026", ChartFileFormat::Png, "Batt_Temp_2026-12-06.png"},
        {"3V3 Volts", "31.01.2027", ChartFileFormat::Svg, "3V3_Volts_2027-01-31.svg"},
        {"RSSI", "", ChartFileFormat::Pdf, "RSSI.pdf"},
        {"SU TH G0", "99.99.9999", ChartFileFormat::Png, "SU_TH_G0_99_99_9999.png"},
        {"a/b\\c:d", "../..", ChartFileFormat::Png, "a_b_c_d______.png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chartFileName(QString::fromUtf8(c.caption), QString::fromUtf8(c.date), c.format),
                  c.name);
    }
}

TEST(ChartFileFormat, ChosenByTheExtensionInAnyCase) {
    const struct {
        const char* name;
        std::optional<ChartFileFormat> format;
    } cases[] = {
        {"/tmp/x.png", ChartFileFormat::Png},
        {"X.PNG", ChartFileFormat::Png},
        {"a.b.svg", ChartFileFormat::Svg},
        {"c.Pdf", ChartFileFormat::Pdf},
        {"d.jpg", std::nullopt},
        {"png", std::nullopt},
        {"dir.pdf/file", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chartFileFormat(QString::fromUtf8(c.name)), c.format) << c.name;
}

class ChartPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        widget_.reset(BarChart::createWidget(nullptr));
        widget_->resize(585, 265);
        chart_ = BarChart::of(widget_.get());
        chart_->setRowCount(12);
        for (int r = 1; r <= 12; ++r) {
            chart_->setRow(r);
            chart_->setData(r);
        }
        // No redraw has run: the picture must bring the plot up to date itself.
    }
    std::unique_ptr<QWidget> widget_;
    BarChart* chart_ = nullptr;
};

TEST_F(ChartPictureTest, EachFormatOpensAsThatFormat) {
    const QString title = QStringLiteral("Batt Temp  [ C ]");
    const QByteArray png = chartFileBytes(*chart_, ChartFileFormat::Png, title);
    QImage image;
    ASSERT_TRUE(image.loadFromData(png, "PNG"));
    EXPECT_EQ(image.width(), 585 * ChartImageScale);
    EXPECT_GT(image.height(), 265 * ChartImageScale);
    // Something dark in the title band above the chart: the title.
    bool titleDrawn = false;
    const int band = image.height() - 265 * ChartImageScale;
    for (int y = 0; y < band && !titleDrawn; ++y)
        for (int x = 0; x < image.width() && !titleDrawn; ++x)
            titleDrawn = image.pixelColor(x, y).lightness() < 100;
    EXPECT_TRUE(titleDrawn);

    const QByteArray svg = chartFileBytes(*chart_, ChartFileFormat::Svg, title);
    EXPECT_TRUE(svg.startsWith("<?xml")) << svg.left(40).toStdString();
    EXPECT_TRUE(svg.contains("<svg"));
    EXPECT_TRUE(svg.contains("<title>Batt Temp  [ C ]</title>"));
    EXPECT_TRUE(svg.trimmed().endsWith("</svg>"));

    const QByteArray pdf = chartFileBytes(*chart_, ChartFileFormat::Pdf, title);
    EXPECT_TRUE(pdf.startsWith("%PDF-")) << pdf.left(20).toStdString();
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));

    // The clipboard picture is the PNG's picture.
    EXPECT_EQ(chartImage(*chart_, title).size(), image.size());
}

}  // namespace
}  // namespace orvalin
