#include "files/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <ostream>

#include "export/file_size_limit.h"
#include "export/permission_bits.h"

namespace orvalin {
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

bool writeAll(AtomicFile& file, const char* text) {
    return file.write(text, std::strlen(text)).ok();
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

class AtomicCommit : public ::testing::TestWithParam<CommitCase> {};

// The new content appears only at commit, whole, with the mode a plain create (or the file it
// replaces) gives, and no temporary file stays; an unnamed temporary file is never seen.
TEST_P(AtomicCommit, ReplacesWholeWithTheRightMode) {
    for (const bool unnamedFirst : {true, false}) {
        SCOPED_TRACE(unnamedFirst ? "unnamed temporary file" : "named temporary file");
        QTemporaryDir dir;
        const QString path = dir.filePath("out.csv");
        if (GetParam().existing) {
            writeFile(path, "old and longer content");
            ::chmod(path.toLocal8Bit().constData(), 0640);
        }
        const std::string before = entries(dir);
        const mode_t oldMask = ::umask(GetParam().umask);
        {
            AtomicFile file;
            ASSERT_TRUE(file.open(path.toStdString(), unnamedFirst));
            ASSERT_TRUE(writeAll(file, "new"));
            EXPECT_EQ(contents(path), GetParam().existing ? "old and longer content" : "<missing>");
            if (file.method() == AtomicFile::Method::Unnamed) {
                EXPECT_EQ(entries(dir), before);
            } else {
                EXPECT_EQ(file.method(), AtomicFile::Method::Named);
                EXPECT_NE(entries(dir), before);
            }
            ASSERT_TRUE(file.commit());
        }
        ::umask(oldMask);
        EXPECT_EQ(contents(path), "new");
        EXPECT_EQ(modeOf(path), GetParam().mode);
        EXPECT_EQ(entries(dir), "out.csv");
    }
}

INSTANTIATE_TEST_SUITE_P(Files, AtomicCommit,
                         ::testing::Values(CommitCase{"NewFile", false, 022, 0644},
                                           CommitCase{"NewFileUnderUmask077", false, 077, 0600},
                                           CommitCase{"ReplacedFileKeepsItsMode", true, 022, 0640}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AtomicFile, UnnamedTemporaryWhereTheFileSystemHasThem) {
    QTemporaryDir dir;
    AtomicFile file;
    ASSERT_TRUE(file.open(dir.filePath("out.csv").toStdString()));
    EXPECT_EQ(file.method(), AtomicFile::Method::Unnamed) << "the test directory's file system";
}

TEST(AtomicFile, LinkStaysAndItsTargetIsReplaced) {
    QTemporaryDir dir;
    const QString target = dir.filePath("real.csv");
    writeFile(target, "old");
    ASSERT_TRUE(QFile::link(target, dir.filePath("link.csv")));
    AtomicFile file;
    ASSERT_TRUE(file.open(dir.filePath("link.csv").toStdString()));
    ASSERT_TRUE(writeAll(file, "new"));
    ASSERT_TRUE(file.commit());
    EXPECT_TRUE(QFileInfo(dir.filePath("link.csv")).isSymLink());
    EXPECT_EQ(contents(target), "new");
}

TEST(AtomicFile, DeviceIsWrittenDirectly) {
    AtomicFile file;
    ASSERT_TRUE(file.open("/dev/null"));
    EXPECT_EQ(file.method(), AtomicFile::Method::Direct);
    ASSERT_TRUE(writeAll(file, "gone"));
    ASSERT_TRUE(file.commit());
    struct stat info {};
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

// Files and directories that refuse: what stays, what is written in place.
struct RefusalCase {
    const char* name;
    mode_t directoryMode;
    mode_t fileMode;  // 0: no file there
    bool opens;
    QByteArray after;  // the file's content after writing "new" and committing
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class AtomicRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(AtomicRefusal, KeepsOrWritesInPlace) {
    const RefusalCase& c = GetParam();
    QTemporaryDir dir;
    const QString sub = dir.filePath("sub");
    const QString path = sub + "/out.csv";
    ASSERT_TRUE(QDir().mkdir(sub));
    if (c.fileMode != 0) {
        writeFile(path, "old and longer");
        ::chmod(path.toLocal8Bit().constData(), c.fileMode);
    }
    ::chmod(sub.toLocal8Bit().constData(), c.directoryMode);
    const QString probe = dir.filePath("probe");
    writeFile(probe, "");
    ::chmod(probe.toLocal8Bit().constData(), 0444);
    std::optional<PermissionBitsEnforced> asUser(std::in_place);  // root, too, is then refused
    if (::faccessat(AT_FDCWD, probe.toLocal8Bit().constData(), W_OK, AT_EACCESS) == 0) {
        asUser.reset();
        ::chmod(sub.toLocal8Bit().constData(), 0755);
        GTEST_SKIP() << "this thread writes past permission bits anyway";
    }
    AtomicFile file;
    const Result<> opened = file.open(path.toStdString());
    EXPECT_EQ(opened.ok(), c.opens);
    if (c.opens) {
        EXPECT_EQ(file.method(), AtomicFile::Method::InPlace);
        EXPECT_TRUE(writeAll(file, "new"));
        EXPECT_TRUE(file.commit());
    } else {
        EXPECT_EQ(opened.failure().error, EACCES);
    }
    asUser.reset();
    ::chmod(sub.toLocal8Bit().constData(), 0755);
    EXPECT_EQ(contents(path), c.after);
    EXPECT_EQ(QDir(sub).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              c.fileMode != 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Permissions, AtomicRefusal,
    ::testing::Values(RefusalCase{"WriteProtectedFile", 0755, 0444, false, "old and longer"},
                      RefusalCase{"ReadOnlyDirectoryWithoutTheFile", 0555, 0, false, "<missing>"},
                      RefusalCase{"ReadOnlyDirectoryWithAWritableFile", 0555, 0644, true, "new"},
                      RefusalCase{"ReadOnlyDirectoryWithAProtectedFile", 0555, 0444, false,
                                  "old and longer"}),
    [](const auto& info) { return std::string(info.param.name); });

// Written in place, a file that would not fit is found out before the old content is touched.
TEST(AtomicFile, InPlaceWriteThatCannotFitLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("out.csv");
    writeFile(path, "old");
    ::chmod(dir.path().toLocal8Bit().constData(), 0555);
    std::optional<PermissionBitsEnforced> asUser(std::in_place);
    Result<> written;
    const bool inPlace = !QFile(dir.filePath("probe")).open(QIODevice::WriteOnly);
    if (inPlace) {
        FileSizeLimit limit(8192);
        ASSERT_TRUE(limit.active());
        written = writeFileAtomically(path, QByteArray(100000, 'x'));
    }
    asUser.reset();
    ::chmod(dir.path().toLocal8Bit().constData(), 0755);
    if (!inPlace) GTEST_SKIP() << "this thread writes into read-only directories anyway";
    ASSERT_FALSE(written);
    EXPECT_EQ(written.failure().consequence, "A previous file of that name is unchanged.");
    EXPECT_EQ(written.failure().text, "File too large");
    EXPECT_EQ(contents(path), "old");
}

}  // namespace
}  // namespace orvalin
