// The station archive: frames kept once, queued only when new, claims that lapse, a restart
// that keeps the outbox, and faults with their reason.
#include "sharing/frame_archive.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>

namespace orvalin {
namespace {

NewFrame frame(int n, const char* time = "12:00:00", bool shareable = true) {
    NewFrame f{.received = QStringLiteral("06.12.2026 ") + QLatin1String(time),
               .bytes = {},
               .timestamp = {}};
    f.bytes.fill(static_cast<std::uint8_t>(n));
    if (shareable) f.timestamp = QStringLiteral("2026-12-06T12:00:00.000Z");
    return f;
}

constexpr qint64 Lapse = 5 * 60 * 1000;
constexpr qint64 T0 = 1'800'000'000'000;
const QString Url = QStringLiteral("http://127.0.0.1:9/submit");

TEST(FrameArchive, KeepsEachFrameOnceAndQueuesOnlyNewShareableOnes) {
    QTemporaryDir dir;
    ArchiveError error;
    auto archive = FrameArchive::open(dir.filePath("a/b/frames.sqlite"), error);
    ASSERT_TRUE(archive) << error.text.toStdString();
    EXPECT_EQ(archive->journalNote(), "");
    // Same bytes at another time are another frame; a frame without a real time is kept only.
    EXPECT_EQ(archive->add({frame(1), frame(1), frame(1, "12:00:01"), frame(2, "12:00:00", false)},
                           Url, T0),
              2);
    EXPECT_EQ(archive->add({frame(1), frame(2), frame(3)}, Url, T0), 1);
    EXPECT_EQ(archive->tally()->waiting, 3);
    EXPECT_EQ(archive->waitingQueuedHere(), 3);
}

TEST(FrameArchive, ClaimsLapseAndTheOutboxSurvivesARestart) {
    QTemporaryDir dir;
    const QString path = dir.filePath("frames.sqlite");
    ArchiveError error;
    auto first = FrameArchive::open(path, error);
    auto second = FrameArchive::open(path, error);
    ASSERT_TRUE(first && second);
    ASSERT_EQ(first->add({frame(1), frame(2), frame(3)}, Url, T0), 3);

    const auto claimed = first->claim(2, T0);
    ASSERT_EQ(claimed->size(), 2);
    EXPECT_EQ(claimed->at(0).timestamp, "2026-12-06T12:00:00.000Z");
    EXPECT_EQ(claimed->at(1).bytes[0], 2);
    // The other program gets only the frame nobody holds, until the claims lapse.
    EXPECT_EQ(second->claim(8, T0 + 1000)->size(), 1);
    EXPECT_EQ(second->claim(8, T0 + Lapse - 1)->size(), 0);
    EXPECT_TRUE(first->markSent(claimed->at(0).id, Url, 201, T0 + 2000));
    EXPECT_TRUE(second->markRejected(claimed->at(0).id, Url, 400, "late", T0 + 2000));

    // The first program dies with frame 2 claimed; the second releases frame 3.
    first.reset();
    EXPECT_TRUE(second->release({3}));
    second.reset();
    auto restarted = FrameArchive::open(path, error);
    const ArchiveTally tally = *restarted->tally();
    EXPECT_EQ(tally.sent, 1);
    EXPECT_EQ(tally.waiting, 2);
    EXPECT_EQ(tally.rejected, 0);
    EXPECT_EQ(restarted->claim(8, T0 + 3000)->size(), 1);
    EXPECT_EQ(restarted->claim(8, T0 + Lapse + 1)->size(), 1);
}

TEST(FrameArchive, FaultsSayWhy) {
    QTemporaryDir dir;
    const QString corrupt = dir.filePath("corrupt.sqlite");
    QFile file(corrupt);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();
    ArchiveError error;
    EXPECT_FALSE(FrameArchive::open(corrupt, error));
    EXPECT_EQ(error.kind, ArchiveError::Kind::Corrupt) << error.text.toStdString();

    const QString lockedPath = dir.filePath("locked.sqlite");
    auto archive = FrameArchive::open(lockedPath, error, {.busyTimeoutMs = 100});
    ASSERT_TRUE(archive);
    sqlite3* other = nullptr;
    sqlite3_open(QFile::encodeName(lockedPath).constData(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_FALSE(archive->add({frame(1)}, Url, T0));
    EXPECT_EQ(archive->error().kind, ArchiveError::Kind::Locked);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(archive->add({frame(1)}, Url, T0), 1);

    if (geteuid() != 0) {
        const QString readOnly = dir.filePath("ro");
        QDir().mkpath(readOnly);
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_FALSE(FrameArchive::open(readOnly + "/frames.sqlite", error));
        EXPECT_EQ(error.kind, ArchiveError::Kind::Unwritable) << error.text.toStdString();
    }
}

}  // namespace
}  // namespace orvalin
