// Fuzz target: the conf.ini reader.
//
// Input: the bytes of a conf.ini file, any bytes at all.
//
// Properties: reading is deterministic; the file read from disk gives what its bytes give;
// the same lines give the same settings whether they end in LF or CR LF, with or without a
// line end after the last; comment and empty lines change nothing; a later entry wins over
// every earlier one; a picture prefix read from the file has no leading or trailing blanks.
#include <QFile>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include "fuzz_support.h"
#include "settings/conf_ini.h"

namespace orvalin::fuzz {
namespace {

const QString DefaultPrefix = QStringLiteral("/opt/orvalin/");

bool operator==(const StartupSettings& a, const StartupSettings& b) {
    return a.imagePath == b.imagePath && a.screenshotVisible == b.screenshotVisible;
}

StartupSettings settingsOf(const QByteArray& content) {
    return parseConfIni(splitConfIniLines(content), DefaultPrefix);
}

QByteArray joined(const QList<QByteArray>& lines, const QByteArray& end, bool endAfterLast) {
    QByteArray content = lines.join(end);
    if (endAfterLast && !lines.isEmpty()) content += end;
    return content;
}

// loadConfIni on a directory that holds `content` as conf.ini, against the bytes' own
// settings with that directory's default prefix.
void checkFile(const QByteArray& content) {
    static const QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    QFile file(dir.filePath(QString::fromLatin1(ConfIniFileName)));
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(content) == content.size());
    file.close();
    const StartupSettings expected = parseConfIni(splitConfIniLines(content), dir.path() + u'/');
    FUZZ_CHECK(loadConfIni(dir.path()) == expected);
}

}  // namespace
}  // namespace orvalin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvalin;
    using namespace orvalin::fuzz;
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QList<QByteArray> lines = splitConfIniLines(content);
    const StartupSettings settings = parseConfIni(lines, DefaultPrefix);
    FUZZ_CHECK(parseConfIni(splitConfIniLines(content), DefaultPrefix) == settings);
    for (const QByteArray& line : lines) FUZZ_CHECK(!line.contains('\n'));
    // Reading a file costs far more than the rest (the reader sets aside room for its whole
    // size limit), so while fuzzing one input in eight, chosen by its bytes, also goes through a
    // file; a replay takes every input through one.
    if (content.size() <= ConfIniReadLimit && (Replaying || qHash(content) % 8 == 0)) {
        checkFile(content);
    }

    if (settings.imagePath != DefaultPrefix) {
        FUZZ_CHECK(!settings.imagePath.startsWith(u' ') && !settings.imagePath.endsWith(u' '));
    }

    // The same lines with other line ends. A CR at the end of a line would be read as part of
    // a CR LF line end, so such CRs are taken off first.
    QList<QByteArray> bare = lines;
    for (QByteArray& line : bare) {
        while (line.endsWith('\r')) line.chop(1);
    }
    const StartupSettings bareSettings = parseConfIni(bare, DefaultPrefix);
    for (const char* end : {"\n", "\r\n"}) {
        for (const bool endAfterLast : {false, true}) {
            FUZZ_CHECK(settingsOf(joined(bare, end, endAfterLast)) == bareSettings);
        }
    }

    // Comments and empty lines are nothing.
    QList<QByteArray> entries;
    for (const QByteArray& line : bare) {
        if (!line.isEmpty() && !line.startsWith('#')) entries.append(line);
    }
    FUZZ_CHECK(parseConfIni(entries, DefaultPrefix) == bareSettings);
    QList<QByteArray> commented = bare;
    commented.append("#IMAGE_PATH=/commented/");
    commented.append("");
    commented.append("#SCREENSHOT=NO");
    FUZZ_CHECK(parseConfIni(commented, DefaultPrefix) == bareSettings);

    // A later entry wins, whatever came before it.
    QList<QByteArray> overridden = bare;
    overridden.append("  image_Path =  /last/word/ ");
    overridden.append("screenshot=yes");
    const StartupSettings last = parseConfIni(overridden, DefaultPrefix);
    FUZZ_CHECK(last.imagePath == QStringLiteral("/last/word/") && last.screenshotVisible);
    overridden.append("SCREENSHOT = No");
    FUZZ_CHECK(!parseConfIni(overridden, DefaultPrefix).screenshotVisible);
    return 0;
}
