#include "cli/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <ostream>

namespace orvalin::cli {
namespace {

std::string entries(const QTemporaryDir& dir) {
    return QDir(dir.path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)
        .join(u' ')
        .toStdString();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

bool writeAll(const OutputFile& file, const char* text) {
    return ::write(file.fd(), text, std::strlen(text)) == static_cast<ssize_t>(std::strlen(text));
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    ::stat(path.toLocal8Bit().constData(), &info);
    return info.st_mode & 07777;
}

struct CommitCase {
    const char* name;
    bool existing;  // an old, longer file of that name with mode 0640
    mode_t umask;
    mode_t mode;  // of the committed file
};

void PrintTo(const CommitCase& c, std::ostream* os) {
    *os << c.name;
}

class OutputCommit : public ::testing::TestWithParam<CommitCase> {};

// The new content appears only at commit, whole, with the mode a plain create (or the file it
// replaces) gives, and no temporary file stays.
TEST_P(OutputCommit, ReplacesWholeWithTheRightMode) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.csv");
    if (GetParam().existing) {
        writeFile(path, "old and longer content");
        ::chmod(path.toLocal8Bit().constData(), 0640);
    }
    const mode_t oldMask = ::umask(GetParam().umask);
    {
        OutputFile file;
        ASSERT_TRUE(file.open(path.toStdString()));
        ASSERT_TRUE(writeAll(file, "new"));
        EXPECT_EQ(contents(path), GetParam().existing ? "old and longer content" : "<missing>");
        ASSERT_TRUE(file.commit());
    }
    ::umask(oldMask);
    EXPECT_EQ(contents(path), "new");
    EXPECT_EQ(modeOf(path), GetParam().mode);
    EXPECT_EQ(entries(dir), "out.csv");
}

INSTANTIATE_TEST_SUITE_P(Files, OutputCommit,
                         ::testing::Values(CommitCase{"NewFile", false, 022, 0644},
                                           CommitCase{"NewFileUnderUmask077", false, 077, 0600},
                                           CommitCase{"ReplacedFileKeepsItsMode", true, 022, 0640}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OutputFile, LinkStaysAndItsTargetIsReplaced) {
    QTemporaryDir dir;
    const QString target = dir.filePath("real.csv");
    writeFile(target, "old");
    ASSERT_TRUE(QFile::link(target, dir.filePath("link.csv")));
    OutputFile file;
    ASSERT_TRUE(file.open(dir.filePath("link.csv").toStdString()));
    ASSERT_TRUE(writeAll(file, "new"));
    ASSERT_TRUE(file.commit());
    EXPECT_TRUE(QFileInfo(dir.filePath("link.csv")).isSymLink());
    EXPECT_EQ(contents(target), "new");
}

TEST(OutputFile, DeviceIsWrittenDirectly) {
    OutputFile file;
    ASSERT_TRUE(file.open("/dev/null"));
    ASSERT_TRUE(writeAll(file, "gone"));
    ASSERT_TRUE(file.commit());
    struct stat info {};
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

}  // namespace
}  // namespace orvalin::cli
