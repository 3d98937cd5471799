#include "settings/conf_ini.h"

#include <QFile>

#include "files/open_file.h"
#include "files/read_loop.h"

namespace orvalin {

namespace {

// Blanks are spaces only; a tab is part of the text, so "IMAGE_PATH\t=" names no known key.
QStringView trimSpaces(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.sliced(begin, end - begin);
}

}  // namespace

QList<QByteArray> splitConfIniLines(const QByteArray& content) {
    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) line.chop(1);
    }
    return lines;
}

QList<ConfIniEntry> confIniEntries(const QList<QByteArray>& lines) {
    QList<ConfIniEntry> entries;
    for (const QByteArray& raw : lines) {
        if (raw.isEmpty() || raw.front() == '#') continue;
        const QString line = QString::fromUtf8(raw);
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0) continue;
        entries.append({trimSpaces(QStringView(line).first(equals)).toString().toUpper(),
                        trimSpaces(QStringView(line).sliced(equals + 1)).toString()});
    }
    return entries;
}

StartupSettings parseConfIni(const QList<QByteArray>& lines, const QString& defaultImagePath) {
    StartupSettings settings;
    settings.imagePath = defaultImagePath;
    settings.entries = confIniEntries(lines);
    for (const auto& [key, value] : settings.entries) {
        if (key == u"IMAGE_PATH") {
            // Kept as written: file names are case-sensitive here, so upper-casing the value
            // would name another directory.
            settings.imagePath = value;
        } else if (key == u"SCREENSHOT") {
            settings.screenshotVisible = value.toUpper() == u"YES";
        }
    }
    return settings;
}

QList<QByteArray> readConfIniLines(const QString& path) {
    // Opening a pipe would wait for a writer and a device may never end: only a regular file
    // is read.
    const Result<OpenFile> file =
        openToRead(QFile::encodeName(path).toStdString(), FileAccept::RegularOnly);
    if (!file) return {};
    QByteArray content;
    char buffer[4096];
    const Result<> read = readToEnd(
        file->fd(), buffer, sizeof buffer,
        [&content](const char* data, std::size_t size) {
            content.append(data, static_cast<qsizetype>(size));
            return content.size() <= ConfIniReadLimit;
        },
        false);
    if (!read) return {};  // a read error: nothing is applied
    if (content.size() > ConfIniReadLimit) {
        // Keep the complete lines within the bound; the line that runs past it is dropped.
        content.truncate(ConfIniReadLimit);
        content.truncate(content.lastIndexOf('\n') + 1);
    }
    return splitConfIniLines(content);
}

StartupSettings loadConfIni(const QString& confDir, QString defaultImagePath) {
    if (defaultImagePath.isEmpty()) defaultImagePath = confDir + u'/';
    return parseConfIni(readConfIniLines(confDir + u'/' + QLatin1String(ConfIniFileName)),
                        defaultImagePath);
}

}  // namespace orvalin
