#include "shell/file_locations.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

namespace orvalin {

namespace {

QString absoluteOr(const QString& path, const QString& fallback) {
    return !path.isEmpty() && QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : fallback;
}

}  // namespace

UserFolders currentUserFolders() {
    return UserFolders{
        .home = QDir::homePath(),
        // Honours XDG_CONFIG_HOME; the documents folder is read from user-dirs.dirs there.
        .configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
        .documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
    };
}

FileLocations chooseFileLocations(const QString& executableDir, const UserFolders& user) {
    if (!QFileInfo(executableDir + u'/' + QLatin1String(InstalledShareDir)).isDir())
        return {
            .mode = InstallMode::Portable, .confIniDir = executableDir, .dataDir = executableDir};
    const QString home = QDir::cleanPath(user.home);
    const QString configHome = absoluteOr(user.configHome, home + QStringLiteral("/.config"));
    const QString documents = absoluteOr(user.documents, home + QStringLiteral("/Documents"));
    return {.mode = InstallMode::Installed,
            .confIniDir = configHome + u'/' + QLatin1String(UserConfigFolderName),
            .dataDir = documents + u'/' + QLatin1String(UserDataFolderName)};
}

QString prepareDataDir(const FileLocations& locations) {
    if (locations.mode == InstallMode::Portable) return {};
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(locations.dataDir).toStdString(), error);
    if (!error && QFileInfo(locations.dataDir).isDir()) return {};
    return QStringLiteral("the folder %1 cannot be made (%2)")
        .arg(locations.dataDir,
             error ? QString::fromLocal8Bit(error.message()) : QStringLiteral("not a folder"));
}

}  // namespace orvalin
