// Where the window reads conf.ini and writes the CSV file and, by default, its pictures, and
// where the station archive is.
//
//   portable   the executable's directory has no ../share/orvalin-decoder beside it (a build
//              tree, a copied folder): conf.ini, the CSV file and the pictures all live in the
//              executable's directory.
//   installed  ../share/orvalin-decoder exists (any prefix: /usr, /usr/local, a folder given to
//              cmake --install, an unpacked package). Nothing is written into the installation:
//              conf.ini is read from <config home>/orvalin-decoder/, and the CSV file and the
//              pictures go to <documents>/Orvalin Telemetry/, made when first written to.
//
// The station archive is one file per user for both programs, whatever their application
// names: <data home>/orvalin-decoder/frames.sqlite (XDG_DATA_HOME, ~/.local/share by default).
// The batch decoder reads the per-user conf.ini, <config home>/orvalin-decoder/conf.ini.
//
// The choice is a function of the executable's directory and the user's folders, so every case
// can be tried with a temporary tree and temporary folders.
#pragma once

#include <QString>

#include "files/failure.h"

namespace orvalin {

enum class InstallMode { Portable, Installed };

// Beside the executable's directory in an installation; holds the example conf.ini.
inline constexpr char InstalledShareDir[] = "../share/orvalin-decoder";
// Below the user's configuration folder (XDG_CONFIG_HOME, ~/.config by default).
inline constexpr char UserConfigFolderName[] = "orvalin-decoder";
// Below the user's documents folder.
inline constexpr char UserDataFolderName[] = "Orvalin Telemetry";
// Below the user's data folder (XDG_DATA_HOME, ~/.local/share by default).
inline constexpr char ArchiveFolderName[] = "orvalin-decoder";
inline constexpr char ArchiveFileName[] = "frames.sqlite";

// The user's folders as the session names them.
struct UserFolders {
    QString home;
    QString configHome;  // XDG_CONFIG_HOME, else ~/.config
    QString documents;   // XDG_DOCUMENTS_DIR of user-dirs.dirs, else ~/Documents
    QString dataHome;    // XDG_DATA_HOME, else ~/.local/share
};

// Read from QStandardPaths and the environment at the time of the call.
UserFolders currentUserFolders();

struct FileLocations {
    InstallMode mode = InstallMode::Portable;
    QString confIniDir;   // holds conf.ini
    QString dataDir;      // holds the CSV file; the default picture prefix is dataDir + "/"
    QString archivePath;  // the station archive
};

// executableDir without a trailing "/". A relative configuration or documents folder (the XDG
// base directory rules call it invalid) is replaced by its default under home, so the files
// never depend on the working directory.
FileLocations chooseFileLocations(const QString& executableDir, const UserFolders& user);

// The per-user folder of conf.ini, <config home>/orvalin-decoder, for either mode.
QString userConfIniDir(const UserFolders& user);
// The station archive, <data home>/orvalin-decoder/frames.sqlite, for either mode.
QString stationArchivePath(const UserFolders& user);

// Makes dataDir and its missing parents when the mode keeps files per user. Portable mode makes
// nothing: the executable's directory exists.
Result<> prepareDataDir(const FileLocations& locations);

}  // namespace orvalin
