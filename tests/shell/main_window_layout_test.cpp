// The window as a user first sees it: size, controls in place, start texts, fonts, menu.
#include "shell/main_window_layout.h"

#include <QAction>
#include <QFontInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <numeric>

#include "main_window_harness.h"

namespace orvalin::test {
namespace {

using LayoutTest = MainWindowTest;

TEST_F(LayoutTest, WindowIsAFixedClientAreaBelowTheMenuBar) {
    EXPECT_EQ(form().windowTitle(), "Orvalin Telemetry Decoder [Teskar]");
    EXPECT_EQ(form().clientArea()->size(), QSize(615, 696));
    EXPECT_EQ(form().minimumSize(), form().maximumSize());
    EXPECT_EQ(form().clientArea()->mapTo(&form(), QPoint(0, 0)).y(), form().menuBar()->height());
    const Qt::WindowFlags flags = form().windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    const QList<QSize> iconSizes = form().windowIcon().availableSizes();
    ASSERT_FALSE(iconSizes.isEmpty());
    EXPECT_EQ(iconSizes.first(), QSize(128, 128));
}

// Pixel positions (twips / 15) relative to each control's container.
TEST_F(LayoutTest, ControlsSitWhereTheLayoutPutsThem) {
    const struct {
        const char* name;
        const char* container;
        QRect geometry;
    } expected[] = {
        {"Text2", "ClientArea", {8, 0, 601, 105}},
        {"Frame3", "ClientArea", {8, 112, 601, 161}},
        {"Frame1", "ClientArea", {8, 280, 601, 73}},
        {"Label4", "ClientArea", {432, 352, 177, 17}},
        {"Frame8", "ClientArea", {8, 368, 601, 289}},
        {"MSChart1", "Frame8", {8, 16, 585, 265}},
        {"Command1", "ClientArea", {8, 664, 33, 17}},
        {"Label3", "ClientArea", {48, 664, 425, 17}},
        {"Label2", "ClientArea", {488, 664, 41, 17}},
        {"HScroll1", "ClientArea", {536, 664, 73, 25}},
        {"Option1(3)", "Frame3", {8, 24, 81, 13}},
        {"Text1(4)", "Frame3", {464, 24, 49, 19}},
        {"Label1(6)", "Frame3", {520, 88, 25, 17}},
        {"Option1(14)", "Frame3", {184, 88, 81, 13}},
        {"Text1(18)", "Frame3", {96, 136, 49, 19}},
        {"Option1(16)", "Frame3", {184, 136, 81, 13}},
        {"Option1(27)", "Frame1", {8, 24, 81, 13}},
        {"Text1(24)", "Frame1", {272, 40, 49, 19}},
        {"Label1(28)", "Frame1", {520, 40, 25, 17}},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        QWidget* widget = control(QString::fromLatin1(e.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), e.container);
        EXPECT_EQ(widget->geometry(), e.geometry);
    }
}

TEST_F(LayoutTest, StartState) {
    EXPECT_EQ(valueBoxes(0)->text(), "");
    for (int c = 1; c < ChannelCount; ++c) EXPECT_EQ(valueBoxes(c)->text(), "invalid") << c;
    for (int c = 0; c < ChannelCount; ++c) {
        const auto& info = ChannelCatalogue[static_cast<std::size_t>(c)];
        EXPECT_EQ(channelButtons(c)->text().toStdString(), info.caption);
        EXPECT_EQ(control<QLabel>(indexed("Label1", c))->text().toStdString(), info.unit);
    }
    EXPECT_TRUE(selectedChannels().empty());
    EXPECT_TRUE(highlightedChannels().empty());
    for (const char* name : {"Label2", "Label3", "Label4"}) EXPECT_EQ(label(name)->text(), "");
    EXPECT_EQ(chartFrame()->title(), "");
    EXPECT_EQ(control<QGroupBox>(QStringLiteral("Frame3"))->title(), "VIDAD Telemetry");
    EXPECT_EQ(control<QGroupBox>(QStringLiteral("Frame1"))->title(), "ZODIR");
    EXPECT_TRUE(recordNavigator()->isEnabled());
    EXPECT_EQ(recordNavigator()->value(), 1);
    auto* screenshotButton = control<QPushButton>(QStringLiteral("Command1"));
    EXPECT_EQ(screenshotButton->text(), "S");
    EXPECT_TRUE(screenshotButton->isVisible());
    EXPECT_EQ(chartPlot()->toolTip(), "graphical value");
    EXPECT_EQ(logInput()->toPlainText(), "");
}

TEST_F(LayoutTest, CaptureBufferIsHiddenAtTheClientAreaSize) {
    QWidget* captureBuffer = control(QStringLiteral("Picture2"));
    EXPECT_FALSE(captureBuffer->isVisible());
    EXPECT_EQ(captureBuffer->geometry(), QRect(0, 0, 615, 696));
}

TEST_F(LayoutTest, OneLogLineFitsOneRowOfTheInputBox) {
    const QString family = QFontInfo(logInput()->font()).family();
    EXPECT_TRUE(family == "Courier New" || family == "Liberation Mono") << family.toStdString();
    paste(WorkedExampleLine);
    const QTextBlock block = logInput()->document()->firstBlock();
    ASSERT_NE(block.layout(), nullptr);
    EXPECT_EQ(block.layout()->lineCount(), 1);
}

TEST_F(LayoutTest, EveryCaptionFitsItsControl) {
    const QString family = QFontInfo(channelButtons(0)->font()).family();
    EXPECT_TRUE(family == "MS Sans Serif" || family == "Liberation Sans") << family.toStdString();
    for (int c = 0; c < ChannelCount; ++c) {
        SCOPED_TRACE(c);
        EXPECT_LE(channelButtons(c)->sizeHint().width(), channelButtons(c)->width());
        QLabel* unit = control<QLabel>(indexed("Label1", c));
        EXPECT_LE(unit->fontMetrics().horizontalAdvance(unit->text()), unit->width());
        EXPECT_FALSE(channelButtons(c)->font().bold());
    }
    paste(logLine(86399, 0xff));
    EXPECT_LE(label("Label4")->fontMetrics().horizontalAdvance(label("Label4")->text()),
              label("Label4")->width());
}

// Columns of a widget's picture that hold text-coloured pixels.
std::pair<int, int> inkColumns(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (qGray(image.pixel(x, y)) < 128) {
                if (first < 0) first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

// An option button's picture: the background everywhere beside the caption and the indicator
// is 0x00F0F0F0, and the round indicator is whole within the 13 pixel rows, so its lowest ring
// row mirrors its highest, selected or not.
TEST_F(LayoutTest, OptionButtonsShowTheirBackgroundAndAWholeIndicator) {
    const QRgb background = qRgb(0xF0, 0xF0, 0xF0);
    for (const bool selected : {false, true}) {
        SCOPED_TRACE(selected);
        channelButtons(3)->setChecked(selected);
        const QImage image = channelButtons(3)->grab().toImage();
        ASSERT_EQ(image.height(), 13);
        EXPECT_EQ(image.pixel(image.width() - 1, 0), background);
        EXPECT_EQ(image.pixel(image.width() - 1, 12), background);
        // The indicator: the leftmost 14 columns, the style's largest.
        std::vector<int> inkRows;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < 14; ++x) {
                if (image.pixel(x, y) != background) {
                    inkRows.push_back(y);
                    break;
                }
            }
        }
        ASSERT_FALSE(inkRows.empty());
        const int top = inkRows.front();
        const int bottom = inkRows.back();
        EXPECT_EQ(inkRows.size(), static_cast<std::size_t>(bottom - top + 1));
        for (int x = 0; x < 14; ++x) {
            EXPECT_NEAR(qGray(image.pixel(x, top)), qGray(image.pixel(x, bottom)), 8) << x;
        }
    }
}

// "#1 / 1000" is wider than the navigator label: it is drawn narrower, not cut off.
TEST_F(LayoutTest, PositionLabelTextWiderThanTheLabelIsDrawnWhole) {
    paste(logText(1000));
    QLabel* navigatorLabel = label("Label2");
    ASSERT_EQ(navigatorLabel->text(), "#1 / 1000");
    ASSERT_GT(navigatorLabel->fontMetrics().horizontalAdvance(navigatorLabel->text()),
              navigatorLabel->width());
    const auto [first, last] = inkColumns(navigatorLabel);
    EXPECT_GE(first, 1);
    EXPECT_LT(last, navigatorLabel->width());
    EXPECT_GT(last - first, navigatorLabel->width() / 2);
}

TEST_F(LayoutTest, NavigatorStepsWithTheArrowKeys) {
    paste(logText(5));
    recordNavigator()->setFocus();
    const struct {
        Qt::Key key;
        int position;
    } steps[] = {{Qt::Key_Right, 2}, {Qt::Key_Right, 3}, {Qt::Key_Left, 2},
                 {Qt::Key_End, 5},   {Qt::Key_Down, 5},  {Qt::Key_Home, 1}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.key);
        QTest::keyClick(recordNavigator(), step.key);
        settle();
        EXPECT_EQ(label("Label2")->text(), QStringLiteral("%1/5").arg(step.position));
        EXPECT_EQ(label("Label4")->text(),
                  QStringLiteral("06.12.2026 ") + timeText(step.position - 1));
    }
}

TEST(LayoutTable, UsesEveryTabIndexFrom0To97Once) {
    std::vector<int> indices;
    for (const ControlLayout& layout : mainWindowLayout()) indices.push_back(layout.tabIndex);
    std::sort(indices.begin(), indices.end());
    std::vector<int> expected(98);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(indices, expected);
}

TEST_F(LayoutTest, TabOrderFollowsTheLayoutTable) {
    QStringList expected;
    for (const ControlLayout& layout : mainWindowLayout()) {
        QWidget* widget = control(layout.name);
        if (widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus)) expected << layout.name;
    }
    ASSERT_EQ(expected.size(), 2 * ChannelCount + 4);  // boxes, buttons, input, chart, navigator, S
    QStringList chain;
    QWidget* widget = control(expected.first());
    do {
        if (expected.contains(widget->objectName())) chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != control(expected.first()) && chain.size() < expected.size());
    EXPECT_EQ(chain, expected);
}

TEST_F(LayoutTest, MenuBarHasItsThreeEntriesAndExitClosesTheWindow) {
    const QList<QAction*> entries = form().menuBar()->actions();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0]->text(), "File");
    EXPECT_EQ(entries[1]->text(), "TLM File");
    EXPECT_EQ(entries[2]->text(), "Info");
    EXPECT_EQ(entries[2]->menu(), nullptr);
    ASSERT_NE(entries[0]->menu(), nullptr);
    ASSERT_NE(entries[1]->menu(), nullptr);
    EXPECT_EQ(entries[0]->menu()->objectName(), "MnuFile");
    EXPECT_EQ(entries[1]->menu()->objectName(), "MnuTLMFile");
    EXPECT_EQ(entries[2]->objectName(), "MnuInfo");
    // The log file entries stand above "Exit" (main_window_log_file_test.cpp).
    QAction* exit = entries[0]->menu()->actions().last();
    EXPECT_EQ(exit->objectName(), "MnuExit");
    EXPECT_EQ(exit->text(), "Exit");
    // Sharing's entries and the history stand below separators (main_window_sharing_test.cpp).
    const QList<QAction*> tlm = entries[1]->menu()->actions();
    ASSERT_EQ(tlm.size(), 6);
    EXPECT_EQ(tlm[0]->objectName(), "WriteCSVFile");
    EXPECT_EQ(tlm[0]->text(), "Write CSV File");
    EXPECT_TRUE(tlm[1]->isSeparator());
    EXPECT_EQ(tlm[2]->text(), "Share Frames");
    EXPECT_TRUE(tlm[2]->isCheckable());
    EXPECT_EQ(tlm[3]->text(), "Sharing Status...");
    EXPECT_EQ(tlm[5]->text(), "Mission History...");

    exit->trigger();
    EXPECT_FALSE(form().isVisible());
}

}  // namespace
}  // namespace orvalin::test
