#include "cli/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <functional>
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

TEST(OutputFile, NewFileAppearsOnlyAtCommitWithThePlainCreateMode) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.csv");
    const mode_t oldMask = ::umask(022);
    {
        OutputFile file;
        ASSERT_TRUE(file.open(path.toStdString()));
        ASSERT_TRUE(writeAll(file, "new"));
        EXPECT_FALSE(QFile::exists(path));
        ASSERT_TRUE(file.commit());
    }
    ::umask(oldMask);
    EXPECT_EQ(contents(path), "new");
    EXPECT_EQ(modeOf(path), 0644u);
    EXPECT_EQ(entries(dir), "out.csv");
}

TEST(OutputFile, ReplacingKeepsTheModeAndDropsEveryOldByte) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.csv");
    writeFile(path, "old and longer content");
    ::chmod(path.toLocal8Bit().constData(), 0640);
    OutputFile file;
    ASSERT_TRUE(file.open(path.toStdString()));
    ASSERT_TRUE(writeAll(file, "new"));
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(contents(path), "new");
    EXPECT_EQ(modeOf(path), 0640u);
    EXPECT_EQ(entries(dir), "out.csv");
}

TEST(OutputFile, UncommittedOutputLeavesTheOldFileAndNothingElse) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.csv");
    writeFile(path, "old");
    {
        OutputFile file;
        ASSERT_TRUE(file.open(path.toStdString()));
        ASSERT_TRUE(writeAll(file, "half a file"));
    }
    EXPECT_EQ(contents(path), "old");
    EXPECT_EQ(entries(dir), "out.csv");
}

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

struct RefusedCase {
    const char* name;
    std::function<QString(const QTemporaryDir&)> path;
    int error;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusedOutput : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedOutput, FailsWithTheReasonAndCreatesNothing) {
    QTemporaryDir dir;
    writeFile(dir.filePath("plain"), "x");
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    const std::string before = entries(dir);
    OutputFile file;
    EXPECT_FALSE(file.open(GetParam().path(dir).toStdString()));
    EXPECT_EQ(file.error(), GetParam().error);
    EXPECT_EQ(entries(dir), before);
    EXPECT_TRUE(
        QDir(dir.filePath("sub")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RefusedOutput,
    ::testing::Values(
        RefusedCase{"Directory", [](const QTemporaryDir& d) { return d.filePath("sub"); }, EISDIR},
        RefusedCase{"UnderARegularFile",
                    [](const QTemporaryDir& d) { return d.filePath("plain/out.csv"); }, ENOTDIR},
        RefusedCase{"MissingDirectory",
                    [](const QTemporaryDir& d) { return d.filePath("none/out.csv"); }, ENOENT}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalin::cli
