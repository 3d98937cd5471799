// Start-up settings from conf.ini in the application directory, read once when the main window
// loads. Reading is silent: a missing, unreadable, odd or oversized file gives the defaults for
// whatever it did not set.
//
// File format, one entry per line (lines end in CR LF or LF):
//   # comment            only when "#" is the very first character
//   IMAGE_PATH=/pics/    prefix of the window pictures, used exactly as written (case kept)
//   SCREENSHOT=YES       anything else than YES hides the "S" button
// The key is the text before the first "=", the value the text after it; both lose leading and
// trailing spaces (tabs stay). Keys and the SCREENSHOT value are matched without regard to case;
// unknown keys and lines without "=" are ignored; a later entry overrides an earlier one.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

namespace orvalin {

// One KEY=value entry: the key upper-cased, both without their surrounding spaces.
using ConfIniEntry = std::pair<QString, QString>;

struct StartupSettings {
    QString imagePath;              // prefix of the picture path; ends with "/" by default
    bool screenshotVisible = true;  // whether the "S" button is shown
    QList<ConfIniEntry> entries;    // every entry in file order, for the other settings
};

inline constexpr char ConfIniFileName[] = "conf.ini";

// Only the first MiB of conf.ini is read; a line cut by that bound is dropped, as if the read had
// failed there. A real configuration is a few dozen bytes.
inline constexpr qint64 ConfIniReadLimit = qint64(1) << 20;

// Splits file content into lines at LF; a CR right before the LF (or at the very end) belongs
// to the line end. The piece after a final LF is not a line.
QList<QByteArray> splitConfIniLines(const QByteArray& content);

// Applies the lines in order to the defaults (imagePath = defaultImagePath, button shown).
// Lines carry no line end. Text is read as UTF-8, the encoding of file names here.
StartupSettings parseConfIni(const QList<QByteArray>& lines, const QString& defaultImagePath);

// The entries of the lines, in order: comments and lines without "=" are left out.
QList<ConfIniEntry> confIniEntries(const QList<QByteArray>& lines);

// The lines of the file at `path`; nothing when it is not a regular file or cannot be read.
QList<QByteArray> readConfIniLines(const QString& path);

// Reads confDir + "/conf.ini" (a regular file only: a directory, a pipe or a device of that name
// is skipped without waiting on it) and parses it; the default picture prefix is
// defaultImagePath, or confDir + "/" when that is empty.
StartupSettings loadConfIni(const QString& confDir, QString defaultImagePath = QString());

}  // namespace orvalin
