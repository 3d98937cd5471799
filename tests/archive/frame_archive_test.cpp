// The station archive: frames kept once, queued only when new, claims that lapse, a restart
// that keeps the outbox, and faults with their reason.
#include "archive/frame_archive.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace orvalin {
namespace {

// A frame whose 32 bytes all hold n, logged on 6 December 2026 at `time` (HHMMSS).
NewFrame frame(int n, const char* time = "120000", bool shareable = true,
               const char* frameHex = nullptr) {
    const QString hex = frameHex
                            ? QLatin1String(frameHex)
                            : QStringLiteral("%1").arg(n, 2, 16, QLatin1Char('0')).repeated(32);
    const QString line = QStringLiteral("!06122026@") + QLatin1String(time) + u';' + hex;
    NewFrame f{.frame = receivedFrameOf(line.utf16()), .timestamp = {}};
    if (shareable)
        f.timestamp = QStringLiteral("2026-12-06T%1:%2:%3.000Z")
                          .arg(QLatin1String(time).left(2), QLatin1String(time).mid(2, 2),
                               QLatin1String(time).mid(4));
    return f;
}

constexpr qint64 Lapse = 5 * 60 * 1000;
constexpr qint64 T0 = 1'800'000'000'000;
const QString Url = QStringLiteral("http://127.0.0.1:9/submit");

TEST(FrameArchive, KeepsEachFrameOnceAndQueuesOnlyNewShareableOnes) {
    QTemporaryDir dir;
    auto opened = FrameArchive::open(dir.filePath("a/b/frames.sqlite"));
    ASSERT_TRUE(opened) << opened.failure().text.toStdString();
    FrameArchive& archive = **opened;
    EXPECT_EQ(archive.journalNote(), "");
    // Same bytes at another time are another frame; a frame without a real time is kept only;
    // a frame that is not all hex digits is not kept.
    const char* notHex = "zz0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
    EXPECT_EQ(*archive.add({frame(1), frame(1), frame(1, "120001"), frame(2, "120000", false),
                            frame(4, "115959", true, notHex)},
                           Url, T0),
              2);
    EXPECT_EQ(*archive.add({frame(1), frame(2), frame(3), frame(5, "115959")}, Url, T0), 2);
    EXPECT_EQ(archive.tally()->waiting, 4);
    EXPECT_EQ(*archive.waitingQueuedHere(), 4);

    // Read back by time: frames of one second in the order they were kept.
    QStringList read;
    ASSERT_TRUE(archive.read("2026-12-06T11:59:59.000Z", "2026-12-06T12:00:01.000Z",
                             [&read](const StoredFrame& f) {
                                 read << f.received + u' ' + QString::number(f.bytes[0]);
                             }));
    EXPECT_EQ(read, QStringList({"06.12.2026 11:59:59 5", "06.12.2026 12:00:00 1",
                                 "06.12.2026 12:00:00 3"}));
}

TEST(FrameArchive, ClaimsLapseAndTheOutboxSurvivesARestart) {
    QTemporaryDir dir;
    const QString path = dir.filePath("frames.sqlite");
    auto first = std::move(*FrameArchive::open(path));
    auto second = std::move(*FrameArchive::open(path));
    ASSERT_TRUE(first && second);
    ASSERT_EQ(*first->add({frame(1), frame(2), frame(3)}, Url, T0), 3);

    const auto claimed = first->claim(2, T0);
    ASSERT_TRUE(claimed);
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
    auto restarted = std::move(*FrameArchive::open(path));
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
    const auto damaged = FrameArchive::open(corrupt);
    ASSERT_FALSE(damaged);
    EXPECT_EQ(damaged.failure().kind, FailureKind::Damaged) << damaged.failure().text.toStdString();

    const QString lockedPath = dir.filePath("locked.sqlite");
    auto archive = std::move(*FrameArchive::open(lockedPath, {.busyTimeoutMs = 100}));
    ASSERT_TRUE(archive);
    sqlite3* other = nullptr;
    sqlite3_open(QFile::encodeName(lockedPath).constData(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto locked = archive->add({frame(1)}, Url, T0);
    ASSERT_FALSE(locked);
    EXPECT_EQ(locked.failure().kind, FailureKind::Locked);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(*archive->add({frame(1)}, Url, T0), 1);

    if (geteuid() != 0) {
        const QString readOnly = dir.filePath("ro");
        QDir().mkpath(readOnly);
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
        const auto unwritable = FrameArchive::open(readOnly + "/frames.sqlite");
        ASSERT_FALSE(unwritable);
        EXPECT_EQ(unwritable.failure().kind, FailureKind::Unwritable)
            << unwritable.failure().text.toStdString();
    }
}

}  // namespace
}  // namespace orvalin
