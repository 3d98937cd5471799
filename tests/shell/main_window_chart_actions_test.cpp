// The chart in the window as a user works it: the tool tip over a bar, a click that shows the
// bar's record, the marked bar, and the chart saved to a file or copied.
#include <sys/stat.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMimeData>
#include <QTemporaryDir>
#include <QToolTip>
#include <optional>

#include "export/permission_bits.h"
#include "main_window_harness.h"

namespace orvalin::test {
namespace {

class ChartActionsTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        form().setSaveFileNameAsker([this](const QString& suggested) {
            suggestions_ << suggested;
            return answer_;
        });
    }
    void TearDown() override {
        QToolTip::hideText();
        MainWindowTest::TearDown();
    }

    QPoint barCentre(int row) { return form().chart().barRect(row).center().toPoint(); }
    QString toolTipOver(int row) {
        const QPoint at = barCentre(row);
        QHelpEvent help(QEvent::ToolTip, at, chartPlot()->mapToGlobal(at));
        QCoreApplication::sendEvent(chartPlot(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
    void clickBar(int row) {
        QTest::mouseClick(chartPlot(), Qt::LeftButton, {}, barCentre(row));
        settle();
    }
    // "Save Chart As..." answered with `path`.
    void saveAs(const QString& path) {
        answer_ = path;
        form().chart().saveAction()->trigger();
        settle();
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The directory's files, sorted by code point.
    QStringList entries() const {
        QStringList names =
            QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        names.sort();
        return names;
    }
    QString status() { return form().statusLine()->text(); }

    QTemporaryDir dir_;
    QString answer_;
    QStringList suggestions_;
};

// The tool tip's second line agrees with what the record view shows for that record, in
// both number forms, and the click shows it.
TEST_F(ChartActionsTest, ToolTipAndClickShowTheBarsRecord) {
    const QLocale saved;
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        paste(logText(12) + u'\n' + logLine(12, 0x37));  // record 13: a value with a fraction
        for (int row : {13, 1, 7, 7}) {
            SCOPED_TRACE(row);
            const QString tip = toolTipOver(row);
            clickBar(row);
            EXPECT_EQ(recordNavigator()->value(), row);
            EXPECT_EQ(label("Label2")->text(), QStringLiteral("%1/13").arg(row));
            EXPECT_EQ(label("Label4")->text(), "06.12.2026 " + timeText(row - 1));
            EXPECT_EQ(tip, QStringLiteral("graphical value\nRecord %1 of 13, %2: %3 C")
                               .arg(row)
                               .arg(label("Label4")->text(), valueBoxes(DefaultChannel)->text()));
            EXPECT_EQ(form().chart().drawnMarkedRow(), row);
        }
        EXPECT_TRUE(valueBoxes(DefaultChannel)->text().contains(locale.decimalPoint()));
    }
    QLocale::setDefault(saved);
}

TEST_F(ChartActionsTest, MarkFollowsTheNavigatorAndStaleBarsLeadNowhere) {
    paste(logText(12));
    EXPECT_EQ(form().chart().drawnMarkedRow(), 1);
    for (int position : {5, 12, 2}) {
        recordNavigator()->setValue(position);
        settle();
        EXPECT_EQ(form().chart().drawnMarkedRow(), position);
    }
    QTest::keyClick(recordNavigator(), Qt::Key_Right);
    settle();
    EXPECT_EQ(form().chart().drawnMarkedRow(), 3);

    // Emptied text: the plot stays, but its bars belong to no record any more.
    logInput()->clear();
    settle();
    ASSERT_EQ(form().chart().drawnBars().size(), 12);
    EXPECT_EQ(form().chart().drawnMarkedRow(), 0);
    const int position = recordNavigator()->value();
    clickBar(4);
    EXPECT_EQ(recordNavigator()->value(), position);
    EXPECT_EQ(toolTipOver(4), "graphical value");
}

TEST_F(ChartActionsTest, SavedFileOpensAsTheFormatItsNameAsks) {
    paste(logText(12));
    const struct {
        const char* name;
        const char* saved;  // the file written
        const char* signature;
    } cases[] = {{"chart.png", "chart.png", "\x89PNG\r\n\x1a\n"},
                 {"chart.SVG", "chart.SVG", "<?xml"},
                 {"chart.pdf", "chart.pdf", "%PDF-"},
                 {"chart", "chart.png", "\x89PNG"},
                 {"chart.jpg", "chart.jpg.png", "\x89PNG"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        saveAs(dir_.filePath(QString::fromLatin1(c.name)));
        const QString path = dir_.filePath(QString::fromLatin1(c.saved));
        const QByteArray bytes = readFile(path);
        EXPECT_TRUE(bytes.startsWith(c.signature));
        EXPECT_EQ(status(), path + " saved");
    }
    EXPECT_FALSE(QImage::fromData(readFile(dir_.filePath("chart.png")), "PNG").isNull());
    EXPECT_TRUE(readFile(dir_.filePath("chart.SVG")).contains("<title>Batt Temp  [ C ]</title>"));
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(entries(), (QStringList{"chart.SVG", "chart.jpg.png", "chart.pdf", "chart.png"}));
}

TEST_F(ChartActionsTest, SuggestedNameAndACancelledDialog) {
    paste(logText(3));
    saveAs(QString());
    ASSERT_EQ(suggestions_.size(), 1);
    EXPECT_EQ(suggestions_[0], form().imagePath() + "Batt_Temp_2026-12-06.png");
    EXPECT_EQ(status(), "");
    EXPECT_TRUE(entries().isEmpty());

    QTest::mouseClick(channelButtons(25), Qt::LeftButton);
    saveAs(dir_.filePath("x.pdf"));
    saveAs(QString());
    EXPECT_EQ(suggestions_.last(), dir_.path() + "/3V3_Volts_2026-12-06.png");
}

TEST_F(ChartActionsTest, RefusedSaveLeavesTheEarlierFileAndSaysWhy) {
    paste(logText(12));
    const QString existing = dir_.filePath("chart.png");
    saveAs(existing);
    const QByteArray earlier = readFile(existing);
    ASSERT_FALSE(earlier.isEmpty());
    paste(logText(40));  // a different chart

    const struct {
        const char* name;
        QString path;
        bool readOnlyDirectory = false;
        bool fifo = false;  // a named pipe in the file's place, refused before it is opened
        const char* reason = nullptr;
    } cases[] = {
        {.name = "missing directory", .path = dir_.filePath("missing/chart.png")},
        {.name = "read-only directory",
         .path = dir_.filePath("new.png"),
         .readOnlyDirectory = true},
        {.name = "named pipe",
         .path = dir_.filePath("pipe.png"),
         .fifo = true,
         .reason = "it is a named pipe (FIFO), not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        {
            ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(),
                              c.readOnlyDirectory ? 0555 : 0755),
                      0);
            PermissionBitsEnforced bits;
            std::optional<PlantedFifo> fifo;
            if (c.fifo) fifo.emplace(c.path);
            saveAs(c.path);
        }
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
        EXPECT_EQ(messages_[0].title, "Save Chart As");
        const QString prefix = c.path + " was not saved: ";
        ASSERT_TRUE(status().startsWith(prefix)) << status().toStdString();
        const QString reason = status().mid(prefix.size());
        EXPECT_FALSE(reason.isEmpty());
        if (c.reason) {
            EXPECT_EQ(reason, c.reason);
        }
        EXPECT_TRUE(messages_[0].text.contains(c.path));
        EXPECT_TRUE(messages_[0].text.contains(reason));
        // Only a file that was there is said to be unchanged.
        EXPECT_EQ(messages_[0].text.contains("A previous file of that name is unchanged."), c.fifo);
        EXPECT_EQ(readFile(existing), earlier);
        EXPECT_EQ(entries(), QStringList{"chart.png"});
    }
    // Over the existing file once the directory allows it.
    saveAs(existing);
    EXPECT_NE(readFile(existing), earlier);
    EXPECT_EQ(entries(), QStringList{"chart.png"});
}

TEST_F(ChartActionsTest, ContextMenuOffersSaveAndCopyOnceThereAreBars) {
    const QList<QAction*> actions = chartPlot()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), "Save Chart As...");
    EXPECT_EQ(actions[1]->text(), "Copy Chart");
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_FALSE(actions[1]->isEnabled());
    paste(logText(5));
    ASSERT_TRUE(actions[1]->isEnabled());
    actions[1]->trigger();
    const QImage copied = QApplication::clipboard()->image();
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasImage());
    EXPECT_GE(copied.width(), chartPlot()->width());
    EXPECT_GT(copied.height(), chartPlot()->height());
}

}  // namespace
}  // namespace orvalin::test
