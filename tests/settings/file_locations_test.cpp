// Where conf.ini, the CSV file and the pictures are, for portable and installed trees and the
// user's folders as the session names them.
#include "settings/file_locations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "export/permission_bits.h"
#include "settings/user_folders.h"

namespace orvalin::test {
namespace {

enum class Tree { Portable, Installed, ShareIsAFile };

constexpr char UserConfig[] = "<home>/.config/orvalin-decoder";
constexpr char UserData[] = "<home>/Documents/Orvalin Telemetry";
constexpr char UserArchive[] = "<home>/.local/share/orvalin-decoder/frames.sqlite";

struct LocationCase {
    const char* name;
    Tree tree;
    InstallMode mode;
    const char* confIniDir;  // "<exe>", "<home>" and "<root>" stand for the test's folders
    const char* dataDir;
    const char* configHome = nullptr;   // XDG_CONFIG_HOME; nullptr: unset
    const char* userDirs = nullptr;     // user-dirs.dirs in the configuration folder
    const char* dataHome = nullptr;     // XDG_DATA_HOME; nullptr: unset
    const char* archive = UserArchive;  // the station archive, for either mode
};

// clang-format off
const LocationCase LocationCases[] = {
    {.name = "portable_tree", .tree = Tree::Portable, .mode = InstallMode::Portable,
     .confIniDir = "<exe>", .dataDir = "<exe>"},
    {.name = "portable_tree_ignores_xdg", .tree = Tree::Portable, .mode = InstallMode::Portable,
     .confIniDir = "<exe>", .dataDir = "<exe>", .configHome = "<root>/xdg"},
    {.name = "share_entry_that_is_a_file", .tree = Tree::ShareIsAFile,
     .mode = InstallMode::Portable, .confIniDir = "<exe>", .dataDir = "<exe>"},
    {.name = "installed_defaults", .tree = Tree::Installed, .mode = InstallMode::Installed,
     .confIniDir = UserConfig, .dataDir = UserData},
    {.name = "installed_xdg_config_home", .tree = Tree::Installed, .mode = InstallMode::Installed,
     .confIniDir = "<root>/xdg/orvalin-decoder", .dataDir = UserData, .configHome = "<root>/xdg"},
    {.name = "installed_relative_xdg_is_ignored", .tree = Tree::Installed,
     .mode = InstallMode::Installed, .confIniDir = UserConfig, .dataDir = UserData,
     .configHome = "relative/config"},
    {.name = "installed_documents_from_user_dirs", .tree = Tree::Installed,
     .mode = InstallMode::Installed, .confIniDir = UserConfig,
     .dataDir = "<home>/Dokumente/Orvalin Telemetry",
     .userDirs = "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"},
    {.name = "installed_documents_folder_turned_off", .tree = Tree::Installed,
     .mode = InstallMode::Installed, .confIniDir = UserConfig,
     .dataDir = "<home>/Orvalin Telemetry", .userDirs = "XDG_DOCUMENTS_DIR=\"$HOME/\"\n"},
    {.name = "portable_archive_in_xdg_data_home", .tree = Tree::Portable,
     .mode = InstallMode::Portable, .confIniDir = "<exe>", .dataDir = "<exe>",
     .dataHome = "<root>/data", .archive = "<root>/data/orvalin-decoder/frames.sqlite"},
    {.name = "installed_relative_xdg_data_is_ignored", .tree = Tree::Installed,
     .mode = InstallMode::Installed, .confIniDir = UserConfig, .dataDir = UserData,
     .dataHome = "relative/data"},
};
// clang-format on

class FileLocationsTable : public ::testing::TestWithParam<LocationCase> {
protected:
    QString expand(QString text) const {
        return text.replace(QStringLiteral("<exe>"), exeDir())
            .replace(QStringLiteral("<home>"), user_.home())
            .replace(QStringLiteral("<root>"), user_.root());
    }
    QString exeDir() const { return user_.root() + QStringLiteral("/prefix/bin"); }

    TemporaryUser user_;
};

TEST_P(FileLocationsTable, ChoosesTheFolders) {
    const LocationCase& c = GetParam();
    QDir root(user_.root());
    ASSERT_TRUE(root.mkpath(exeDir()));
    if (c.tree == Tree::Installed) {
        ASSERT_TRUE(root.mkpath("prefix/share/orvalin-decoder"));
    }
    if (c.tree == Tree::ShareIsAFile) {
        ASSERT_TRUE(root.mkpath("prefix/share"));
        QFile file(root.filePath("prefix/share/orvalin-decoder"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    if (c.configHome) user_.setConfigHome(QString::fromUtf8(c.configHome));
    if (c.dataHome) user_.setDataHome(QString::fromUtf8(c.dataHome));
    if (c.userDirs) {
        const QString configHome =
            c.configHome ? expand(QString::fromUtf8(c.configHome)) : user_.home() + "/.config";
        ASSERT_TRUE(QDir().mkpath(configHome));
        QFile file(configHome + QStringLiteral("/user-dirs.dirs"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.userDirs);
    }

    const FileLocations locations = chooseFileLocations(exeDir(), currentUserFolders());
    EXPECT_EQ(locations.mode, c.mode);
    EXPECT_EQ(locations.confIniDir, expand(QString::fromUtf8(c.confIniDir)));
    EXPECT_EQ(locations.dataDir, expand(QString::fromUtf8(c.dataDir)));
    EXPECT_EQ(locations.archivePath, expand(QString::fromUtf8(c.archive)));
}

INSTANTIATE_TEST_SUITE_P(Trees, FileLocationsTable, ::testing::ValuesIn(LocationCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The per-user data folder is made on first use, with a missing documents folder too; a home
// that cannot take it, or a file in its place, gives a reason instead.
TEST(PrepareDataDir, MakesTheFolderOrSaysWhyNot) {
    TemporaryUser user;
    const QString documents = user.home() + QStringLiteral("/Documents");
    const FileLocations installed{.mode = InstallMode::Installed,
                                  .confIniDir = user.home() + QStringLiteral("/.config/x"),
                                  .dataDir = documents + QStringLiteral("/Orvalin Telemetry"),
                                  .archivePath = {}};

    EXPECT_TRUE(prepareDataDir(installed));  // Documents is missing as well
    EXPECT_TRUE(QFileInfo(installed.dataDir).isDir());
    EXPECT_TRUE(prepareDataDir(installed));  // already there

    const FileLocations portable{.mode = InstallMode::Portable,
                                 .confIniDir = user.root() + QStringLiteral("/gone"),
                                 .dataDir = user.root() + QStringLiteral("/gone"),
                                 .archivePath = {}};
    EXPECT_TRUE(prepareDataDir(portable));
    EXPECT_FALSE(QFileInfo::exists(portable.dataDir));  // portable mode makes nothing

    ASSERT_TRUE(QDir(installed.dataDir).removeRecursively());
    QFile blocker(installed.dataDir);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const Result<> blocked = prepareDataDir(installed);
    ASSERT_FALSE(blocked);
    EXPECT_TRUE(blocked.failure().text.contains(installed.dataDir));
}

TEST(PrepareDataDir, UnwritableHomeGivesTheReason) {
    TemporaryUser user;
    const QString dataDir = user.home() + QStringLiteral("/Documents/Orvalin Telemetry");
    ASSERT_EQ(::chmod(QFile::encodeName(user.home()).constData(), 0555), 0);
    QString why;
    bool refused = false;
    {
        const PermissionBitsEnforced asUser;  // root, too, is then refused the folder
        refused = !QDir(user.home()).mkdir(QStringLiteral("probe"));
        if (refused) {
            const Result<> made = prepareDataDir({.mode = InstallMode::Installed,
                                                  .confIniDir = dataDir,
                                                  .dataDir = dataDir,
                                                  .archivePath = {}});
            if (!made) why = made.failure().text;
        }
    }
    ::chmod(QFile::encodeName(user.home()).constData(), 0755);
    if (!refused) GTEST_SKIP() << "this thread writes the folder anyway (capabilities kept)";
    EXPECT_TRUE(why.contains(dataDir)) << why.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("Permission denied"))) << why.toStdString();
}

}  // namespace
}  // namespace orvalin::test
