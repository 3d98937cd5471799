// The installed window keeps each user's files in that user's folders and writes nothing into
// the installation. The installation is a temporary prefix with share/orvalin-decoder, or the
// unpacked package when ORVALIN_INSTALL_ROOT names its root (tools/package-test.sh).
#include <sys/stat.h>

#include <QAction>
#include <QDirIterator>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include "export/permission_bits.h"
#include "main_window_harness.h"
#include "settings/user_folders.h"

namespace orvalin::test {
namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file and folder below root with its size and time of change.
QStringList listing(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries << QStringLiteral("%1 %2 %3")
                       .arg(info.filePath())
                       .arg(info.size())
                       .arg(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

class InstalledWindow : public ::testing::Test {
protected:
    void SetUp() override {
        const QString given = qEnvironmentVariable("ORVALIN_INSTALL_ROOT");
        installRoot_ = given.isEmpty() ? user_.root() + QStringLiteral("/install") : given;
        if (given.isEmpty()) {
            ASSERT_TRUE(QDir().mkpath(installRoot_ + QStringLiteral("/usr/bin")));
            ASSERT_TRUE(QDir().mkpath(installRoot_ + QStringLiteral("/usr/share/orvalin-decoder")));
        }
        ASSERT_TRUE(QFileInfo(installRoot_ + QStringLiteral("/usr/share/orvalin-decoder")).isDir());
        before_ = listing(installRoot_);
        // No converter: the picture is saved and a message says the converter is missing.
        qputenv("PATH", QFile::encodeName(user_.root() + QStringLiteral("/no-programs")));
    }
    void TearDown() override {
        windows_.clear();
        qputenv("PATH", savedPath_);
        EXPECT_EQ(listing(installRoot_), before_) << "something was written into the installation";
    }

    MainWindow& open(const QString& executableDir) {
        auto& window = windows_.emplace_back(std::make_unique<MainWindow>(executableDir));
        recordMessages(*window, messages_);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }
    QString installedBin() const { return installRoot_ + QStringLiteral("/usr/bin"); }
    QString userFolder() const {
        return user_.home() + QStringLiteral("/Documents/Orvalin Telemetry");
    }
    static void paste(MainWindow& window, const QString& text) {
        window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->setPlainText(text);
    }
    static void trigger(MainWindow& window, const char* action) {
        window.findChild<QAction*>(QString::fromLatin1(action))->trigger();
    }
    static QString status(MainWindow& window) { return window.statusLine()->text(); }
    void writeUserConf(const QString& dir, const QByteArray& content) {
        ASSERT_TRUE(QDir().mkpath(dir));
        QFile file(dir + QStringLiteral("/conf.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    TemporaryUser user_;
    QString installRoot_;
    QStringList before_;
    QByteArray savedPath_ = qgetenv("PATH");
    std::vector<std::unique_ptr<MainWindow>> windows_;
    std::vector<ShownMessage> messages_;
};

TEST_F(InstalledWindow, CsvFileAndPictureGoToTheUserFolderByteForByteAsPortable) {
    QTemporaryDir portableDir;
    MainWindow& portable = open(portableDir.path());
    paste(portable, logText(12));
    trigger(portable, "WriteCSVFile");
    const QByteArray portableCsv =
        readFile(portableDir.filePath(QStringLiteral("pellam_telemetry.csv")));
    ASSERT_FALSE(portableCsv.isEmpty());

    MainWindow& installed = open(installedBin());
    ASSERT_EQ(installed.locations().mode, InstallMode::Installed);
    EXPECT_FALSE(QFileInfo::exists(userFolder()));  // made on first use only
    paste(installed, logText(12));
    trigger(installed, "WriteCSVFile");
    const QString csvPath = userFolder() + QStringLiteral("/pellam_telemetry.csv");
    EXPECT_EQ(readFile(csvPath), portableCsv);
    EXPECT_EQ(status(installed), csvPath + QStringLiteral(" has been written"));

    QTest::mouseClick(installed.controls().screenshotButton, Qt::LeftButton);
    const QString picturePath =
        userFolder() + QStringLiteral("/orvalin_") + installed.capture().pictureName();
    EXPECT_EQ(status(installed), picturePath + QStringLiteral(" saved"));
    EXPECT_TRUE(readFile(picturePath).startsWith("BM"));
    ASSERT_EQ(messages_.size(), 1u);  // only that the converter is missing
    EXPECT_EQ(messages_[0].text, QStringLiteral("nconvert.exe not found"));
}

// conf.ini is read from the user's configuration folder, never from the installation; a
// picture folder that it names is used as it is, and the default folder is not made for it.
TEST_F(InstalledWindow, ConfIniInTheUserConfigFolderIsHonoured) {
    for (const bool xdgSet : {false, true}) {
        SCOPED_TRACE(xdgSet ? "XDG_CONFIG_HOME set" : "XDG_CONFIG_HOME unset");
        const QString configHome = xdgSet ? user_.root() + QStringLiteral("/xdg")
                                          : user_.home() + QStringLiteral("/.config");
        if (xdgSet) user_.setConfigHome(configHome);
        const QString pictures = user_.root() + QStringLiteral("/pictures-%1/").arg(xdgSet);
        ASSERT_TRUE(QDir().mkpath(pictures));
        writeUserConf(configHome + QStringLiteral("/orvalin-decoder"),
                      "IMAGE_PATH=" + QFile::encodeName(pictures) + "\nSCREENSHOT=yes\n");

        MainWindow& window = open(installedBin());
        EXPECT_EQ(window.imagePath(), pictures);
        QTest::mouseClick(window.controls().screenshotButton, Qt::LeftButton);
        EXPECT_TRUE(QFileInfo::exists(pictures + QStringLiteral("orvalin_") +
                                      window.capture().pictureName()));
        EXPECT_FALSE(QFileInfo::exists(userFolder()));

        writeUserConf(configHome + QStringLiteral("/orvalin-decoder"), "SCREENSHOT=NO\r\n");
        EXPECT_TRUE(open(installedBin()).controls().screenshotButton->isHidden());
    }
}

TEST_F(InstalledWindow, UnwritableHomeIsReportedAndNothingIsWritten) {
    ASSERT_EQ(::chmod(QFile::encodeName(user_.home()).constData(), 0555), 0);
    MainWindow& window = open(installedBin());
    paste(window, logText(3));
    bool refused = false;
    {
        const PermissionBitsEnforced asUser;  // root, too, is then refused the folder
        refused = !QDir(user_.home()).mkdir(QStringLiteral("probe"));
        if (refused) trigger(window, "WriteCSVFile");
    }
    ::chmod(QFile::encodeName(user_.home()).constData(), 0755);
    if (!refused) GTEST_SKIP() << "this thread writes the folder anyway (capabilities kept)";
    const QString csvPath = userFolder() + QStringLiteral("/pellam_telemetry.csv");
    EXPECT_TRUE(status(window).startsWith(csvPath + QStringLiteral(" was not written: ")))
        << status(window).toStdString();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(messages_[0].text.contains(QStringLiteral("Permission denied")));
}

}  // namespace
}  // namespace orvalin::test
