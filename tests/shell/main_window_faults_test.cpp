// Faults around the real window: a conf.ini that cannot be used, a CSV file or picture that
// cannot be written (read-only directory, full disk, missing directory), and a converter that
// ends at once, cannot be started, or never ends. Each gives a clear message, or the silence
// that start-up keeps; no cut file is left behind, and the window goes on working.
#include <signal.h>

#include <QAction>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "export/file_size_limit.h"
#include "export/permission_bits.h"
#include "export/small_disk.h"
#include "main_window_harness.h"

namespace orvalin::test {
namespace {

// A small disk holds a few records' CSV file but neither 1000 records nor a window picture.
constexpr qint64 SmallDiskBytes = 64 * 1024;

const QString FifoReason = QStringLiteral("it is a named pipe (FIFO), not a regular file");

class Faults : public WindowHarness {
protected:
    void SetUp() override {
        ASSERT_TRUE(appDir_.isValid());
        ASSERT_TRUE(binDir_.isValid());
        // Only the fake converters of a test can be found.
        qputenv("PATH", QFile::encodeName(binDir_.path()));
    }
    void TearDown() override {
        WindowHarness::TearDown();
        qputenv("PATH", savedPath_);
        // Converters that never end are ended here, by the process ids they wrote.
        for (const QString& name : QDir(binDir_.path()).entryList({"pid.*"}, QDir::Files)) {
            const pid_t pid = name.section(u'.', 1).toInt();
            if (pid > 1) ::kill(pid, SIGKILL);
        }
    }

    QString app() const { return appDir_.path(); }
    QString csvPath() const { return app() + QStringLiteral("/pellam_telemetry.csv"); }
    void writeFile(const QString& path, const QByteArray& content) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        ASSERT_EQ(file.write(content), content.size());
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    // Puts a converter script on PATH.
    void fakeConverter(const QByteArray& script,
                       QFile::Permissions permissions = QFile::ReadOwner | QFile::ExeOwner) {
        const QString path = binDir_.path() + QStringLiteral("/nconvert");
        writeFile(path, script);
        QFile::setPermissions(path, permissions);
    }

    void writeCsv() { window_->findChild<QAction*>(QStringLiteral("WriteCSVFile"))->trigger(); }
    void clickS() {
        QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
    }
    QString status() const { return window_->statusLine()->text(); }
    QString shownDateTime() const {
        return window_->findChild<QLabel*>(QStringLiteral("Label4"))->text();
    }
    QString picturePath(const QString& prefix) const {
        return prefix + QStringLiteral("orvalin_") +
               QDate::currentDate().toString(QStringLiteral("ddMMyyyy")) + QStringLiteral(".bmp");
    }
    // A new text is decoded and shown: the window still works.
    void expectWindowWorks(int records) {
        setText(logText(records));
        EXPECT_EQ(window_->records().count(), records);
        EXPECT_EQ(shownDateTime(), QStringLiteral("06.12.2026 00:00:00"));
    }

    QTemporaryDir binDir_;
    QByteArray savedPath_ = qgetenv("PATH");
};

// ---- conf.ini: start-up stays silent and takes the defaults for what the file did not set.

struct ConfFault {
    const char* name;
    void (*make)(const QString& confPath);
    bool needsPermissionBits;  // the fault is a file the user may not read
};

void PrintTo(const ConfFault& c, std::ostream* os) {
    *os << c.name;
}

void confIsDirectory(const QString& path) {
    QDir().mkpath(path + QStringLiteral("/SCREENSHOT=NO"));
}
void confUnreadable(const QString& path) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("SCREENSHOT=NO\r\nIMAGE_PATH=/elsewhere/\r\n");
    file.setPermissions({});
}
// A file that opens but fails at the first read (EIO): this process's memory from address 0.
void confReadFails(const QString& path) {
    QFile::link(QStringLiteral("/proc/self/mem"), path);
}
void confBinary(const QString& path) {
    QByteArray bytes(64 * 1024, '\0');
    quint32 state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}
// One line of 10 MiB: read up to the bound, and the cut line is not used.
void confTenMiBLine(const QString& path) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("SCREENSHOT=N" + QByteArray(10 * 1024 * 1024, 'O') + "\r\n");
}

class ConfIniFault : public Faults, public ::testing::WithParamInterface<ConfFault> {};

TEST_P(ConfIniFault, WindowOpensSilentlyWithDefaultsAndWorks) {
    const QString confPath = app() + QStringLiteral("/conf.ini");
    GetParam().make(confPath);
    if (GetParam().needsPermissionBits) {
        PermissionBitsEnforced bits;
        if (QFile(confPath).open(QIODevice::ReadOnly))
            GTEST_SKIP() << "this thread reads the file anyway (capabilities cannot be lowered)";
        open();
    } else {
        open();
    }
    EXPECT_TRUE(window_->findChild<QPushButton*>(QStringLiteral("Command1"))->isVisible());
    EXPECT_EQ(window_->imagePath(), app() + u'/');
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(status(), QString());

    expectWindowWorks(3);
    writeCsv();
    EXPECT_EQ(status(), csvPath() + QStringLiteral(" has been written"));
}

INSTANTIATE_TEST_SUITE_P(Files, ConfIniFault,
                         ::testing::Values(ConfFault{"Directory", confIsDirectory, false},
                                           ConfFault{"Unreadable", confUnreadable, true},
                                           ConfFault{"ReadFails", confReadFails, false},
                                           ConfFault{"Binary", confBinary, false},
                                           ConfFault{"OneLineOfTenMiB", confTenMiBLine, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The CSV file and the picture: a directory that takes no file, a disk that fills, or a
// named pipe in the file's place (which the window must not wait on).

enum class Refusal { MissingDirectory, ReadOnlyDirectory, FullDisk, Fifo };

// Makes `directory` refuse the file `target` in the chosen way while it lives; skipReason() is
// set when this machine cannot make it so.
class RefusingDirectory {
public:
    RefusingDirectory(Refusal refusal, const QString& directory, const QString& target)
        : directory_(directory) {
        switch (refusal) {
            case Refusal::Fifo:
                fifo_.emplace(target);
                break;
            case Refusal::MissingDirectory:
                QDir(directory).removeRecursively();
                break;
            case Refusal::ReadOnlyDirectory:
                QFile::setPermissions(directory, QFile::ReadOwner | QFile::ExeOwner);
                bits_.emplace();
                if (canWriteIn(directory))
                    skipReason_ = "this thread writes into read-only directories anyway";
                break;
            case Refusal::FullDisk:
                // A FullDisk made before the window opened; nothing more to do here.
                break;
        }
    }
    ~RefusingDirectory() {
        bits_.reset();
        QFile::setPermissions(directory_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const char* skipReason() const { return skipReason_; }

    static bool canWriteIn(const QString& directory) {
        QFile probe(directory + QStringLiteral("/probe"));
        if (!probe.open(QIODevice::WriteOnly)) return false;
        probe.remove();
        return true;
    }

private:
    QString directory_;
    std::optional<PermissionBitsEnforced> bits_;
    std::optional<PlantedFifo> fifo_;
    const char* skipReason_ = nullptr;
};

// A full disk: a small tmpfs where this machine lets the test mount one, else files that
// cannot grow past a few kB (the same write error, from the file size limit).
class FullDisk {
public:
    explicit FullDisk(const QString& directory) : disk_(directory, SmallDiskBytes) {
        if (!disk_.mounted()) limit_.emplace(8192);
    }
    bool ok() const { return disk_.mounted() || (limit_ && limit_->active()); }
    QString how() const {
        return disk_.mounted() ? QStringLiteral("tmpfs")
                               : QStringLiteral("file size limit (") + disk_.why() + u')';
    }

private:
    SmallDisk disk_;
    std::optional<FileSizeLimit> limit_;
};

struct RefusalCase {
    const char* name;
    Refusal refusal;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

// A read-only directory that holds the previous CSV file, which may be written, is no refusal:
// the file is written in place there (tests/export).
const RefusalCase CsvRefusals[] = {{"FullDisk", Refusal::FullDisk}, {"Fifo", Refusal::Fifo}};

class CsvExportFault : public Faults, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(CsvExportFault, IsReportedKeepsThePreviousFileAndTheWindowWorks) {
    const Refusal refusal = GetParam().refusal;
    std::optional<FullDisk> disk;
    if (refusal == Refusal::FullDisk) {
        disk.emplace(app());
        ASSERT_TRUE(disk->ok()) << disk->how().toStdString();
        std::printf("full disk: %s\n", qPrintable(disk->how()));
    }
    open();
    expectWindowWorks(3);
    writeCsv();
    ASSERT_EQ(status(), csvPath() + QStringLiteral(" has been written"));
    const QByteArray previous = readFile(csvPath());

    setText(logText(1000));  // a file of about 230 kB
    {
        RefusingDirectory refusing(refusal, app(), csvPath());
        if (refusing.skipReason()) GTEST_SKIP() << refusing.skipReason();
        writeCsv();
    }
    const QString prefix = csvPath() + QStringLiteral(" was not written: ");
    ASSERT_TRUE(status().startsWith(prefix)) << status().toStdString();
    const QString reason = status().mid(prefix.size());
    EXPECT_FALSE(reason.isEmpty());
    if (refusal == Refusal::Fifo) {
        EXPECT_EQ(reason, FifoReason);
    }
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
    EXPECT_EQ(messages_[0].title, QStringLiteral("Write CSV File"));
    EXPECT_TRUE(messages_[0].text.contains(csvPath()));
    EXPECT_TRUE(messages_[0].text.contains(reason));
    // The previous file is whole and nothing else was left beside it.
    EXPECT_EQ(readFile(csvPath()), previous);
    EXPECT_EQ(QDir(app()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"pellam_telemetry.csv"});
    EXPECT_EQ(window_->records().count(), 1000);

    expectWindowWorks(2);
    writeCsv();
    EXPECT_EQ(status(), csvPath() + QStringLiteral(" has been written"));
    EXPECT_EQ(readFile(csvPath()).count('\n'), 3);
}

INSTANTIATE_TEST_SUITE_P(Directories, CsvExportFault, ::testing::ValuesIn(CsvRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

const RefusalCase PictureRefusals[] = {{"MissingDirectory", Refusal::MissingDirectory},
                                       {"ReadOnlyDirectory", Refusal::ReadOnlyDirectory},
                                       {"FullDisk", Refusal::FullDisk},
                                       {"Fifo", Refusal::Fifo}};

class PictureFault : public Faults, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PictureFault, IsReportedStartsNoConverterAndTheWindowWorks) {
    const Refusal refusal = GetParam().refusal;
    const QString pictures = app() + QStringLiteral("/pictures");
    ASSERT_TRUE(QDir().mkpath(pictures));
    writeFile(app() + QStringLiteral("/conf.ini"),
              "IMAGE_PATH=" + QFile::encodeName(pictures) + "/\r\nSCREENSHOT=YES\r\n");
    std::optional<FullDisk> disk;
    if (refusal == Refusal::FullDisk) {
        disk.emplace(pictures);
        ASSERT_TRUE(disk->ok()) << disk->how().toStdString();
        std::printf("full disk: %s\n", qPrintable(disk->how()));
    }
    open();
    expectWindowWorks(12);
    const QString path = picturePath(pictures + u'/');
    {
        RefusingDirectory refusing(refusal, pictures, path);
        if (refusing.skipReason()) GTEST_SKIP() << refusing.skipReason();
        clickS();
    }
    const QString prefix = path + QStringLiteral(" was not saved: ");
    ASSERT_TRUE(status().startsWith(prefix)) << status().toStdString();
    EXPECT_GT(status().size(), prefix.size());
    if (refusal == Refusal::Fifo) {
        EXPECT_EQ(status().mid(prefix.size()), FifoReason);
    }
    // The failure alone: no converter is on PATH, so a start would have added its message.
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].icon, QMessageBox::Warning);
    EXPECT_EQ(messages_[0].title, QStringLiteral("Screenshot"));
    EXPECT_TRUE(messages_[0].text.contains(path));
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(QDir(pictures).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());

    expectWindowWorks(5);
    writeCsv();
    EXPECT_EQ(status(), csvPath() + QStringLiteral(" has been written"));
    EXPECT_EQ(messages_.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Directories, PictureFault, ::testing::ValuesIn(PictureRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The converter: the window starts it and does not wait; only a failed start is reported.

struct ConverterCase {
    const char* name;
    QByteArray script;
    QFile::Permissions permissions;
    bool reportedMissing;
};

void PrintTo(const ConverterCase& c, std::ostream* os) {
    *os << c.name;
}

const QFile::Permissions Runnable = QFile::ReadOwner | QFile::ExeOwner;

// clang-format off
const ConverterCase ConverterCases[] = {
    {"ExitsAtOnceWithAnError", "#!/bin/sh\nexit 3\n", Runnable, false},
    {"CrashesAtOnce", "#!/bin/sh\nulimit -c 0\nkill -SEGV $$\n", Runnable, false},
    {"InterpreterMissing", "#!/nonexistent/interpreter\n", Runnable, true},
    {"NotExecutable", "#!/bin/sh\nexit 0\n", QFile::ReadOwner | QFile::WriteOwner, true},
};
// clang-format on

class ConverterFault : public Faults, public ::testing::WithParamInterface<ConverterCase> {};

TEST_P(ConverterFault, PictureStaysAndOnlyAFailedStartIsReported) {
    const ConverterCase& c = GetParam();
    fakeConverter(c.script, c.permissions);
    open();
    for (int capture = 1; capture <= 2; ++capture) {
        SCOPED_TRACE(capture);
        expectWindowWorks(capture * 10);
        clickS();
        const QString path = picturePath(app() + u'/');
        EXPECT_EQ(status(), path + QStringLiteral(" saved"));
        EXPECT_EQ(QImage(path).size(), QSize(615, 696));
        if (c.reportedMissing) {
            ASSERT_EQ(messages_.size(), static_cast<size_t>(capture));
            EXPECT_EQ(messages_.back().icon, QMessageBox::Information);
            EXPECT_EQ(messages_.back().title, QStringLiteral("Error"));
            EXPECT_EQ(messages_.back().text, QStringLiteral("nconvert.exe not found"));
        } else {
            EXPECT_TRUE(messages_.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ConverterFault, ::testing::ValuesIn(ConverterCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A converter that never ends: each writes its process id and sleeps (ended in TearDown).
TEST_F(Faults, ConverterThatHangsIsNotWaitedFor) {
    fakeConverter("#!/bin/sh\necho $$ > '" + QFile::encodeName(binDir_.path()) +
                  "/pid.'$$\nexec /bin/sleep 300 </dev/null >/dev/null 2>&1\n");
    open();
    // Waits for `expected` converters to have written their ids; returns how many still run.
    const auto runningConverters = [this](int expected) {
        const auto idFiles = [this] {
            return QDir(binDir_.path()).entryList({"pid.*"}, QDir::Files);
        };
        QDeadlineTimer deadline(20000);
        QStringList ids = idFiles();
        while (ids.size() < expected && !deadline.hasExpired()) {
            QTest::qWait(20);
            ids = idFiles();
        }
        int running = 0;
        for (const QString& name : ids) running += ::kill(name.section(u'.', 1).toInt(), 0) == 0;
        return running;
    };

    expectWindowWorks(3);
    clickS();  // returns while the converter runs
    const QString path = picturePath(app() + u'/');
    EXPECT_EQ(status(), path + QStringLiteral(" saved"));
    EXPECT_TRUE(messages_.empty());
    ASSERT_EQ(runningConverters(1), 1);

    // The window goes on while the converter sleeps: it decodes, writes, and captures again.
    expectWindowWorks(7);
    writeCsv();
    EXPECT_EQ(status(), csvPath() + QStringLiteral(" has been written"));
    clickS();
    EXPECT_EQ(status(), path + QStringLiteral(" saved"));
    EXPECT_EQ(QImage(path).size(), QSize(615, 696));
    EXPECT_EQ(runningConverters(2), 2);
    EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace orvalin::test
