#include "settings/file_locations.h"

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
        // Honours XDG_DATA_HOME; the generic folder, not one named after the application, so
        // that both programs find the one archive.
        .dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
    };
}

QString userConfIniDir(const UserFolders& user) {
    const QString configHome =
        absoluteOr(user.configHome, QDir::cleanPath(user.home) + QStringLiteral("/.config"));
    return configHome + u'/' + QLatin1String(UserConfigFolderName);
}

QString stationArchivePath(const UserFolders& user) {
    const QString dataHome =
        absoluteOr(user.dataHome, QDir::cleanPath(user.home) + QStringLiteral("/.local/share"));
    return dataHome + u'/' + QLatin1String(ArchiveFolderName) + u'/' +
           QLatin1String(ArchiveFileName);
}

FileLocations chooseFileLocations(const QString& executableDir, const UserFolders& user) {
    if (!QFileInfo(executableDir + u'/' + QLatin1String(InstalledShareDir)).isDir())
        return {.mode = InstallMode::Portable,
                .confIniDir = executableDir,
                .dataDir = executableDir,
                .archivePath = stationArchivePath(user)};
    const QString documents =
        absoluteOr(user.documents, QDir::cleanPath(user.home) + QStringLiteral("/Documents"));
    return {.mode = InstallMode::Installed,
            .confIniDir = userConfIniDir(user),
            .dataDir = documents + u'/' + QLatin1String(UserDataFolderName),
            .archivePath = stationArchivePath(user)};
}

Result<> prepareDataDir(const FileLocations& locations) {
    if (locations.mode == InstallMode::Portable) return {};
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(locations.dataDir).toStdString(), error);
    if (!error && QFileInfo(locations.dataDir).isDir()) return {};
    return Failure{
        .kind = FailureKind::Unwritable,
        .error = error.value(),
        .text = QStringLiteral("the folder %1 cannot be made (%2)")
                    .arg(locations.dataDir, error ? QString::fromLocal8Bit(error.message())
                                                  : QStringLiteral("not a folder"))};
}

}  // namespace orvalin
