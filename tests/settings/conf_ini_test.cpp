#include "settings/conf_ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "export/permission_bits.h"

namespace orvalin {
namespace {

const QString AppDefault = QStringLiteral("/opt/orvalin/");

struct ConfCase {
    const char* name;
    QByteArray content;
    QString imagePath;  // expected; AppDefault when the file leaves it alone
    bool screenshotVisible;
};

void PrintTo(const ConfCase& c, std::ostream* os) {
    *os << c.name;
}

class ConfIniTable : public ::testing::TestWithParam<ConfCase> {};

TEST_P(ConfIniTable, GivesPictureDirectoryAndButtonVisibility) {
    const ConfCase& c = GetParam();
    const StartupSettings settings = parseConfIni(splitConfIniLines(c.content), AppDefault);
    EXPECT_EQ(settings.imagePath, c.imagePath);
    EXPECT_EQ(settings.screenshotVisible, c.screenshotVisible);
}

// clang-format off
const ConfCase ConfCases[] = {
    {"EmptyFile", "", AppDefault, true},
    {"OnlyCommentsAndEmptyLines", "#picture settings\r\n\r\n#SCREENSHOT=NO\r\n\r\n", AppDefault, true},
    {"ScreenshotLowerCase", "screenshot=yes\r\n", AppDefault, true},
    {"ScreenshotMixedCase", "Screenshot=YES\r\n", AppDefault, true},
    {"ScreenshotBlanksAroundBoth", "SCREENSHOT =   yes\r\n", AppDefault, true},
    {"ScreenshotNo", "SCREENSHOT=NO\r\n", AppDefault, false},
    {"ScreenshotEmptyValue", "SCREENSHOT=\r\n", AppDefault, false},
    {"ScreenshotYess", "SCREENSHOT=YESS\r\n", AppDefault, false},
    {"ScreenshotY", "SCREENSHOT=Y\r\n", AppDefault, false},
    {"ScreenshotTabAfterValueIsPartOfIt", "SCREENSHOT=YES\t\r\n", AppDefault, false},
    {"LastScreenshotWins", "SCREENSHOT=YES\r\nIMAGE_PATH=/x/\r\nSCREENSHOT=NO\r\n", "/x/", false},
    {"HiddenThenShownAgain", "SCREENSHOT=NO\r\nscreenshot=yes\r\n", AppDefault, true},
    {"ImagePathKeepsItsCase", "image_path = /home/Ann/Pics/\r\n", "/home/Ann/Pics/", true},
    {"ImagePathSplitsAtFirstEquals", "IMAGE_PATH=a=b\r\n", "a=b", true},
    {"ImagePathEmptyValue", "IMAGE_PATH=\r\n", "", true},
    {"ImagePathBlanksInsideKept", "IMAGE_PATH=  /my pics/  \r\n", "/my pics/", true},
    {"ImagePathWithoutSeparatorKept", "IMAGE_PATH=/data/pics\r\n", "/data/pics", true},
    {"LastImagePathWins", "IMAGE_PATH=/a/\r\nIMAGE_PATH=/b/\r\n", "/b/", true},
    {"TabBeforeEqualsIsNoKey", "IMAGE_PATH\t=/x/\r\nSCREENSHOT\t=NO\r\n", AppDefault, true},
    {"LongerKeyIgnored", "IMAGE_PATH2=/x/\r\nSCREENSHOTS=NO\r\n", AppDefault, true},
    {"BlankBeforeHashIsNoComment", " #SCREENSHOT=NO\r\n", AppDefault, true},
    {"CommentOnlyAtFirstCharacter", "#IMAGE_PATH=/x/\r\n", AppDefault, true},
    {"LineWithoutEqualsIgnored", "SCREENSHOT NO\r\n   \r\nIMAGE_PATH\r\n", AppDefault, true},
    {"LoneLineFeeds", "IMAGE_PATH=/lf/\nSCREENSHOT=no\n", "/lf/", false},
    {"MixedLineEnds", "IMAGE_PATH=/a/\nSCREENSHOT=NO\r\nIMAGE_PATH=/c/\r\n", "/c/", false},
    {"NoLineEndAtEndOfFile", "SCREENSHOT=NO\r\nIMAGE_PATH=/last/", "/last/", false},
    {"LoneCrInsideLineIsText", "IMAGE_PATH=/a\r/\r\n", "/a\r/", true},
    {"UnknownKeysIgnored", "COLOUR=RED\r\nIMAGE_PATH=/p/\r\n", "/p/", true},
    {"Utf8PathKept", "IMAGE_PATH=/home/j\xc3\xbcrgen/Bilder/\n", QString::fromUtf8("/home/j\xc3\xbcrgen/Bilder/"), true},
    {"BinaryBytes", QByteArray("\x00\xff\xfe=\x01\r\n\x80\x81", 9), AppDefault, true},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cases, ConfIniTable, ::testing::ValuesIn(ConfCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The reader on real files: whatever lies at the path, start-up goes on with the defaults for
// what the file did not set.
class ConfIniFile : public ::testing::Test {
protected:
    QString confPath() const { return dir_.path() + QStringLiteral("/conf.ini"); }
    void write(const QByteArray& content) {
        QFile file(confPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    }
    StartupSettings load() const { return loadConfIni(dir_.path()); }
    QString appDefault() const { return dir_.path() + u'/'; }

    QTemporaryDir dir_;
};

TEST_F(ConfIniFile, MissingFileGivesDefaultsUnderTheApplicationDirectory) {
    const StartupSettings settings = load();
    EXPECT_EQ(settings.imagePath, appDefault());
    EXPECT_TRUE(settings.screenshotVisible);
}

TEST_F(ConfIniFile, ReadsTheFileInTheApplicationDirectory) {
    write("#pictures\r\nimage_path = /srv/Pics/\r\nSCREENSHOT = No\r\n");
    const StartupSettings settings = load();
    EXPECT_EQ(settings.imagePath, "/srv/Pics/");
    EXPECT_FALSE(settings.screenshotVisible);
}

TEST_F(ConfIniFile, DirectoryNamedConfIniIsSkipped) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("conf.ini"));
    EXPECT_EQ(load().imagePath, appDefault());
}

TEST_F(ConfIniFile, PipeNamedConfIniIsNotWaitedOn) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(confPath()).constData(), 0600), 0);
    const StartupSettings settings = load();  // would block for ever if the pipe were opened
    EXPECT_EQ(settings.imagePath, appDefault());
    EXPECT_TRUE(settings.screenshotVisible);
}

TEST_F(ConfIniFile, EndlessDeviceBehindALinkIsSkipped) {
    ASSERT_TRUE(QFile::link("/dev/zero", confPath()));
    EXPECT_EQ(load().imagePath, appDefault());
}

TEST_F(ConfIniFile, UnreadableFileGivesDefaults) {
    write("SCREENSHOT=NO\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(confPath()).constData(), 0), 0);
    const PermissionBitsEnforced asUser;  // root, too, is then refused the file
    if (QFile probe(confPath()); probe.open(QIODevice::ReadOnly)) {
        GTEST_SKIP() << "running with rights that read any file (root), so no unreadable file";
    }
    EXPECT_TRUE(load().screenshotVisible);
}

TEST_F(ConfIniFile, HugeSingleLineIsDroppedAndEarlierEntriesHold) {
    QByteArray content = "SCREENSHOT=NO\r\nIMAGE_PATH=";
    content.append(QByteArray(10 * 1024 * 1024, 'a'));
    content.append("\r\nIMAGE_PATH=/after/\r\n");
    write(content);
    const StartupSettings settings = load();
    EXPECT_FALSE(settings.screenshotVisible);
    EXPECT_EQ(settings.imagePath, appDefault());  // neither a cut path nor the entry after it
}

TEST_F(ConfIniFile, EntriesWithinTheReadBoundApply) {
    QByteArray content(ConfIniReadLimit - 64, '#');
    content.append("\nIMAGE_PATH=/in/\n");
    content.append(QByteArray(128, '#'));
    content.append("\nIMAGE_PATH=/beyond/\n");
    write(content);
    EXPECT_EQ(load().imagePath, "/in/");
}

}  // namespace
}  // namespace orvalin
