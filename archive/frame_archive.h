// The station archive: every frame received while sharing is on, kept once, and the outbox of
// the frames still to be posted. One SQLite file per user, used by the window and the batch
// decoder, possibly at the same time.
//
// SQLite is used through Debian's libsqlite3 directly rather than Qt SQL: the archive needs
// explicit control of WAL, synchronous=FULL and the busy timeout, and the exact result codes
// (BUSY, FULL, CORRUPT, READONLY) to say clearly why sharing stopped; and there is no driver
// plugin to install beside the program.
//
// Table frames, one row per frame, keyed by its reception date and time as logged and its
// 32 bytes. Its delivery state:
//   NULL      archived only: its date and time are not real, so it is never shared
//   waiting   queued; a program claims it (claimed_by, claimed_at) before posting it, and a
//             claim older than the lapse (a few minutes) counts as none, so a program that
//             died while posting leaves nothing stuck, and two programs never post it at once
//   sent      answered_at, http_status, url (the address it was posted to)
//   rejected  the server's reason, with the same fields
// A frame is queued only when it is new to the archive; a waiting one is posted to the
// address configured when it is posted. Table tally keeps the count of each state (kept by
// triggers), so the status never counts a million rows.
//
// Durability: WAL and synchronous=FULL, so a recorded frame survives power loss and readers
// never wait on the writer. On a network file system (NFS, SMB/CIFS, 9P, AFS, Ceph), where
// WAL's shared memory cannot work, the archive falls back to a rollback journal, and
// journalNote() says so.
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>

#include "decoder/received_frame.h"
#include "files/failure.h"

struct sqlite3;

namespace orvalin {

// A frame to keep: as the intake found it (only true hex is kept), and its time for the
// server, "YYYY-MM-DDTHH:MM:SS.000Z", empty when its date and time do not exist.
struct NewFrame {
    ReceivedFrame frame;
    QString timestamp;
};

struct ClaimedFrame {
    qint64 id = 0;
    QString timestamp;
    FrameBytes32 bytes{};
};

// A kept frame read back: its date and time as logged ("DD.MM.YYYY HH:MM:SS"), its bytes and
// its time for the server (empty when it has none).
struct StoredFrame {
    QString received;
    FrameBytes32 bytes{};
    QString timestamp;
};

struct ArchiveTally {
    qint64 waiting = 0;
    qint64 sent = 0;
    qint64 rejected = 0;
};

struct ArchiveOptions {
    int busyTimeoutMs = 5000;             // how long a write waits for another program's
    qint64 claimLapseMs = 5 * 60 * 1000;  // a claim older than this counts as none
};

// Every failure names the archive's path and why: Locked (another program held it past the
// busy timeout), DiskFull, Damaged (a file that is no archive, or a damaged one), Unwritable
// (permissions, a read-only disk, an I/O error), Other.
class FrameArchive {
public:
    // Opens or makes the archive (and its folder).
    static Result<std::unique_ptr<FrameArchive>> open(const QString& path,
                                                      const ArchiveOptions& options = {});
    ~FrameArchive();
    FrameArchive(const FrameArchive&) = delete;
    FrameArchive& operator=(const FrameArchive&) = delete;

    // Empty when WAL is in use; else why the archive uses a rollback journal.
    const QString& journalNote() const { return journalNote_; }
    const QString& path() const { return path_; }

    // Adds the frames of true hex in one transaction. Each frame new to the archive is kept;
    // the new ones with a timestamp are queued for `url`. Returns how many were queued.
    Result<int> add(const QList<NewFrame>& frames, const QString& url, qint64 nowMs);

    // Claims up to `count` waiting frames that no live claim holds, oldest first.
    Result<QList<ClaimedFrame>> claim(int count, qint64 nowMs);
    // The answer for a claimed frame; a frame another program has answered meanwhile keeps
    // that answer.
    Result<> markSent(qint64 id, const QString& url, int httpStatus, qint64 nowMs);
    Result<> markRejected(qint64 id, const QString& url, int httpStatus, const QString& reason,
                          qint64 nowMs);
    // Gives up this program's claims: the frames stay waiting for whoever comes next.
    Result<> release(const QList<qint64>& ids);

    Result<ArchiveTally> tally();
    // Frames still waiting of those this archive connection queued and of those that were
    // waiting when it opened: what a run of the batch decoder waits for.
    Result<qint64> waitingQueuedHere();

    // The kept frames with a time for the server from `from` (inclusive) until `until`
    // (exclusive), both "YYYY-MM-DDTHH:MM:SS.000Z", in order of that time and, within one
    // second, in the order they were kept; each is handed to `take`.
    Result<> read(const QString& from, const QString& until,
                  const std::function<void(const StoredFrame&)>& take);

private:
    class Statement;
    FrameArchive(sqlite3* db, QString path);
    Result<> exec(const char* sql);
    Failure fail(int code);
    Result<> step(int which);
    Statement& statement(int which);

    sqlite3* db_;
    QString path_;
    QString journalNote_;
    ArchiveOptions options_;
    qint64 owner_;           // random: the claims and queued frames of this connection
    qint64 backlogEnd_ = 0;  // the last frame waiting when it opened
    std::unique_ptr<Statement> statements_[9];
};

}  // namespace orvalin
