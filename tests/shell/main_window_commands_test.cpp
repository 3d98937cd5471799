// The menu commands and the "S" button in the real window: CSV file, picture, Info dialog,
// Exit, and conf.ini read at start.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include "decoder/csv_text.h"
#include "export/csv_export.h"
#include "main_window_harness.h"

namespace orvalin::test {
namespace {

class MainWindowCommands : public WindowHarness {
protected:
    void TearDown() override {
        WindowHarness::TearDown();
        qputenv("PATH", savedPath_);
    }

    void writeConf(const QByteArray& content) {
        QFile file(appDir_.filePath(QStringLiteral("conf.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    void trigger(const char* action) {
        auto* a = window_->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
    }
    QString status() { return window_->findChild<QLabel*>(QStringLiteral("Label3"))->text(); }
    QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // No converter on PATH: an empty directory only.
    void hideConverter() {
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", emptyDir_.path().toLocal8Bit());
    }

    QTemporaryDir emptyDir_;
    QByteArray savedPath_ = qgetenv("PATH");
};

TEST_F(MainWindowCommands, WriteCsvFileWritesEveryRecordAndSaysSo) {
    open();
    setText(WorkedExampleLine + QStringLiteral("\r\nnoise\r\n") + WorkedExampleLine);
    trigger("WriteCSVFile");
    const QString path = appDir_.path() + QStringLiteral("/pellam_telemetry.csv");
    QByteArray expected = csvHeaderLine();
    const QByteArray record =
        "0.105708;8.5344;-265;0.211416;-261.8;17.0688;-258.6;0.35236;0.387596;-253.8;27.7368;"
        "0.493304;-249;34.1376;136;24.48;-242.6;8.528;168;140.8;184;192;-233;5.9696;5.7456;448;"
        "56.2368;1.05708;82.6666666666667;\r\n";
    expected += record + record;
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(status(), path + QStringLiteral(" has been written"));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowCommands, FailedCsvExportIsReportedAndChangesNothing) {
    open();
    setText(WorkedExampleLine);
    // A directory in the file's place cannot be replaced by the file.
    ASSERT_TRUE(QDir(appDir_.path()).mkdir(QStringLiteral("pellam_telemetry.csv")));
    trigger("WriteCSVFile");
    EXPECT_FALSE(status().contains(QStringLiteral("has been written")));
    EXPECT_TRUE(status().contains(QStringLiteral("was not written")));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
    EXPECT_EQ(window_->records().count(), 1);
    EXPECT_EQ(QDir(appDir_.path()).entryList(QDir::Files), QStringList());  // nothing left behind
    // The window keeps working: the next intake and export go through once the way is clear.
    ASSERT_TRUE(QDir(appDir_.path()).rmdir(QStringLiteral("pellam_telemetry.csv")));
    trigger("WriteCSVFile");
    EXPECT_TRUE(status().endsWith(QStringLiteral(" has been written")));
}

struct ConfCase {
    const char* name;
    QByteArray conf;  // empty: no conf.ini at all
    bool buttonVisible;
    QString imagePath;  // "<app>/" stands for the application directory
};

class MainWindowStartup : public MainWindowCommands,
                          public ::testing::WithParamInterface<ConfCase> {};

TEST_P(MainWindowStartup, FollowsConfIni) {
    if (!GetParam().conf.isNull()) writeConf(GetParam().conf);
    MainWindow& form = open();
    EXPECT_EQ(form.findChild<QPushButton*>(QStringLiteral("Command1"))->isVisible(),
              GetParam().buttonVisible);
    QString expected = GetParam().imagePath;
    expected.replace(QStringLiteral("<app>"), appDir_.path());
    EXPECT_EQ(form.imagePath(), expected);
    EXPECT_TRUE(messages_.empty());  // start-up is silent
}

INSTANTIATE_TEST_SUITE_P(
    Files, MainWindowStartup,
    ::testing::Values(ConfCase{"NoFile", QByteArray(), true, "<app>/"},
                      ConfCase{"Empty", QByteArray(""), true, "<app>/"},
                      ConfCase{"Hidden", "SCREENSHOT=NO\r\n", false, "<app>/"},
                      ConfCase{"PathKeepsCase", "image_path = /Data/Pics/\nscreenshot=yes\n", true,
                               "/Data/Pics/"},
                      ConfCase{"Binary", QByteArray("\0\xff\xfe=\x01\n", 6), true, "<app>/"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowCommands, ScreenshotWithoutConverterKeepsThePictureAndSaysSo) {
    hideConverter();
    writeConf("IMAGE_PATH=" + appDir_.path().toUtf8() + "/pictures with blanks/\n");
    ASSERT_TRUE(QDir(appDir_.path()).mkdir(QStringLiteral("pictures with blanks")));
    open();
    setText(logText(12));
    QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    const QString path = appDir_.path() + QStringLiteral("/pictures with blanks/orvalin_") +
                         QDate::currentDate().toString(QStringLiteral("ddMMyyyy")) +
                         QStringLiteral(".bmp");
    EXPECT_EQ(status(), path + QStringLiteral(" saved"));
    const QImage picture(path);
    EXPECT_EQ(picture.size(), QSize(615, 696));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].icon, QMessageBox::Information);
    EXPECT_EQ(messages_[0].title, QStringLiteral("Error"));
    EXPECT_EQ(messages_[0].text, QStringLiteral("nconvert.exe not found"));
}

TEST_F(MainWindowCommands, ScreenshotIntoMissingDirectoryIsReported) {
    hideConverter();
    writeConf("IMAGE_PATH=" + appDir_.path().toUtf8() + "/no such dir/\n");
    open();
    QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    EXPECT_FALSE(status().endsWith(QStringLiteral(" saved")));
    ASSERT_EQ(messages_.size(), 1u);  // the failure, and no converter start
    EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
}

TEST_F(MainWindowCommands, InfoShowsOneDialogThatOutlivesTheMainWindow) {
    open();
    trigger("MnuInfo");
    trigger("MnuInfo");
    QPointer<InfoDialog> dialog = window_->infoDialog();
    ASSERT_TRUE(dialog);
    int dialogs = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) dialogs += w->objectName() == "Form2";
    EXPECT_EQ(dialogs, 1);
    // Pasting still works with the dialog open.
    setText(WorkedExampleLine);
    EXPECT_EQ(window_->records().count(), 1);

    trigger("MnuExit");
    EXPECT_FALSE(window_->isVisible());
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
}

}  // namespace
}  // namespace orvalin::test
