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
#include <memory>
#include <optional>

#include "sharing/sids_form.h"

struct sqlite3;

namespace orvalin {

struct ArchiveError {
    enum class Kind { None, Locked, Full, Corrupt, Unwritable, Other };
    Kind kind = Kind::None;
    QString text;  // for "Sharing stopped: <text>"
    explicit operator bool() const { return kind != Kind::None; }
};

// A frame to add; timestamp is the SiDS time, empty when the frame can never be shared.
struct NewFrame {
    QString received;  // "DD.MM.YYYY HH:MM:SS" as logged
    FrameBytes32 bytes{};
    QString timestamp;
};

struct ClaimedFrame {
    qint64 id = 0;
    QString timestamp;
    FrameBytes32 bytes{};
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

class FrameArchive {
public:
    // Opens or makes the archive (and its folder); nothing and `error` set when it cannot.
    static std::unique_ptr<FrameArchive> open(const QString& path, ArchiveError& error,
                                              const ArchiveOptions& options = {});
    ~FrameArchive();
    FrameArchive(const FrameArchive&) = delete;
    FrameArchive& operator=(const FrameArchive&) = delete;

    // Empty when WAL is in use; else why the archive uses a rollback journal.
    const QString& journalNote() const { return journalNote_; }
    const QString& path() const { return path_; }

    // Adds the frames in one transaction. Each frame new to the archive is kept; the new ones
    // with a timestamp are queued for `url`. Returns how many were queued.
    std::optional<int> add(const QList<NewFrame>& frames, const QString& url, qint64 nowMs);

    // Claims up to `count` waiting frames that no live claim holds, oldest first.
    std::optional<QList<ClaimedFrame>> claim(int count, qint64 nowMs);
    // The answer for a claimed frame; a frame another program has answered meanwhile keeps
    // that answer.
    bool markSent(qint64 id, const QString& url, int httpStatus, qint64 nowMs);
    bool markRejected(qint64 id, const QString& url, int httpStatus, const QString& reason,
                      qint64 nowMs);
    // Gives up this program's claims: the frames stay waiting for whoever comes next.
    bool release(const QList<qint64>& ids);

    std::optional<ArchiveTally> tally();
    // Frames still waiting of those this archive connection queued and of those that were
    // waiting when it opened: what a run of the batch decoder waits for.
    std::optional<qint64> waitingQueuedHere();

    // The last error; set whenever a call above returned nothing or false.
    const ArchiveError& error() const { return error_; }

private:
    class Statement;
    FrameArchive(sqlite3* db, QString path);
    bool exec(const char* sql);
    bool fail(int code);
    Statement& statement(int which);

    sqlite3* db_;
    QString path_;
    QString journalNote_;
    ArchiveOptions options_;
    qint64 owner_;           // random: the claims and queued frames of this connection
    qint64 backlogEnd_ = 0;  // the last frame waiting when it opened
    ArchiveError error_;
    std::unique_ptr<Statement> statements_[8];
};

}  // namespace orvalin
