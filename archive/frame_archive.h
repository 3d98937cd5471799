// The station archive: every frame the station took in, kept once, in order of its UTC time;
// and the outbox of the frames offered to a server. One SQLite file per user, used by the
// window and the batch decoder, possibly at the same time.
//
// SQLite is used through Debian's libsqlite3 directly rather than Qt SQL: the archive needs
// explicit control of WAL, synchronous=FULL and the busy timeout, and the exact result codes
// (BUSY, FULL, CORRUPT, READONLY) to say clearly why sharing stopped; and there is no driver
// plugin to install beside the program.
//
// Schema (user_version 1; an archive of version 0 is migrated when first opened to write):
//   frames      one row per frame, keyed by (utc, seq): its UTC second, and the order in which
//               frames of that second were first kept. The logged date and time is utc + offset;
//               a frame whose logged date and time have no UTC instant (not a real date, or a
//               local time the zone skips) has utc = NoUtc and keeps them as the text `logged`.
//               A frame is kept once: the same logged date and time with the same 32 bytes is
//               the same frame, whatever zone its instant was worked out in.
//   servers     one row per server address, without its user information (a password is
//               only ever read from conf.ini): the last failure and the next try.
//   deliveries  per server and frame offered to it: waiting (with the program that queued it),
//               sent or rejected (with the server's status and reason).
//   claims      the frames programs are posting now; a claim lapses after a few minutes, and
//               at once when its program is gone from this machine (programs: process id and
//               start time, machine and boot).
//   tally       the deliveries of each server by state, kept by triggers, so the status never
//               counts a million rows.
// Each frame costs about 70 bytes on disk, 95 with its delivery.
//
// Durability: WAL and synchronous=FULL, so a kept frame survives power loss and readers never
// wait on the writer; the write-ahead log is checkpointed when the archive is closed. On a
// network file system (NFS, SMB/CIFS, 9P, AFS, Ceph), where WAL's shared memory cannot work, the
// archive falls back to a rollback journal, and journalNote() says so.
#pragma once

#include <QList>
#include <QString>
#include <QTimeZone>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "decoder/received_frame.h"
#include "files/failure.h"

struct sqlite3;

namespace orvalin {

// Where a kept frame stands: its UTC second (NoUtc without one) and its place in that second.
struct FrameKey {
    qint64 utc = 0;
    qint64 seq = 0;
    friend bool operator==(const FrameKey&, const FrameKey&) = default;
};

// Frames without a UTC instant come after every real second.
inline constexpr qint64 NoUtc = qint64(1) << 42;

// A frame to keep: as the intake found it (only true hex is kept), and its UTC instant in the
// station's zone at intake, none when its date and time do not exist there.
struct NewFrame {
    ReceivedFrame frame;
    std::optional<qint64> utc;
};

// A kept frame read back: its key, its logged date and time (DDMMYYYYHHMMSS as logged) and
// bytes, and its UTC instant when it has one.
struct StoredFrame {
    FrameKey key;
    ReceivedFrame frame;
    std::optional<qint64> utc;
};

struct AddResult {
    int added = 0;        // new to the archive
    int already = 0;      // kept before
    int offered = 0;      // queued for the server (new to it, or waiting and now this run's)
    int notSendable = 0;  // with no UTC instant: kept, never offered
    QList<StoredFrame> newFrames;  // the new ones, for a view of the history that grows
};

struct ClaimedFrame {
    FrameKey key;  // its utc is the frame's instant: only frames with one are offered
    FrameBytes32 bytes{};
    bool own = false;  // queued by this connection
};

struct ArchiveTally {
    qint64 waiting = 0;
    qint64 sent = 0;
    qint64 rejected = 0;
};

// A server's reasons for rejecting frames, each with how many frames it gave it for.
struct Rejection {
    QString reason;
    qint64 frames = 0;
};

struct ServerRecord {
    int id = 0;
    QString url;           // without user information
    QString lastFailure;   // of the last failed post, with its time; empty when none
    qint64 nextTryMs = 0;  // when the next post comes after a failure; 0 when none
};

struct ArchiveOptions {
    int busyTimeoutMs = 5000;             // how long a write waits for another program's
    qint64 claimLapseMs = 5 * 60 * 1000;  // a claim older than this counts as none
    // The station's zone, for the UTC instants of an archive of version 0, which kept none.
    QTimeZone logTimeZone = QTimeZone::utc();
    bool readOnly = false;  // reads only: never migrates, writes or checkpoints
};

// Every failure names the archive's path and why: Locked (another program held it past the
// busy timeout), DiskFull, Damaged (a file that is no archive, a damaged one, or one of a newer
// version, which is left alone), Unwritable (permissions, a read-only disk, an I/O error), Other.
class FrameArchive {
public:
    static constexpr int SchemaVersion = 1;

    // Opens or makes the archive (and its folder); an archive of version 0 is brought up to
    // date in place. Read-only: opens an existing archive of this version only.
    static Result<std::unique_ptr<FrameArchive>> open(const QString& path,
                                                      const ArchiveOptions& options = {});
    ~FrameArchive();
    FrameArchive(const FrameArchive&) = delete;
    FrameArchive& operator=(const FrameArchive&) = delete;

    // Empty when WAL is in use; else why the archive uses a rollback journal.
    const QString& journalNote() const { return journalNote_; }
    const QString& path() const { return path_; }

    // The server of an address (its user information left out), made when new.
    Result<int> server(const QString& url);
    // A server known to the archive; nothing when it never was offered a frame.
    Result<std::optional<ServerRecord>> findServer(const QString& url);
    Result<> noteFailure(int server, const QString& lastFailure, qint64 nextTryMs);

    // Keeps the frames of true hex in one transaction; with `offerTo`, offers every one with a
    // UTC instant to that server unless it sent or rejected it already.
    Result<AddResult> add(const QList<NewFrame>& frames, std::optional<int> offerTo);

    // Claims up to `count` waiting frames of the server that no live claim holds: those this
    // program queued first, in the order they were kept, then the others, oldest first.
    Result<QList<ClaimedFrame>> claim(int server, int count, qint64 nowMs);
    // The answer for a claimed frame; a frame another program has answered meanwhile keeps
    // that answer.
    Result<> markSent(int server, const FrameKey& key, int httpStatus);
    Result<> markRejected(int server, const FrameKey& key, int httpStatus, const QString& reason);
    // Gives up this program's claims: the frames stay waiting for whoever comes next.
    Result<> release(int server, const QList<FrameKey>& keys);
    // Puts the rejected frames of the server back to waiting; how many.
    Result<qint64> retryRejected(int server);
    // The frames still waiting for other servers wait for this one from now on, unless it has
    // sent or rejected them: the station shares with one server at a time, and a waiting frame
    // is the station's, not the old address's (a corrected SHARE_URL takes the outbox along).
    // How many were new to it.
    Result<qint64> adoptWaiting(int server);

    Result<ArchiveTally> tally(int server);
    // Frames of the server still waiting that this archive connection queued.
    Result<qint64> waitingQueuedHere(int server);
    Result<QList<Rejection>> rejections(int server);
    // Whether the server has sent or rejected the frame already (or it is not kept at all:
    // false).
    Result<bool> answered(int server, const ReceivedFrame& frame);
    Result<bool> answered(int server, const FrameKey& key);
    // Offers the kept frames of UTC instants from `fromUtc` (inclusive) until `untilUtc`
    // (exclusive) to the server, as this connection's, unless it sent or rejected them; how
    // many were offered.
    Result<qint64> offerRange(int server, qint64 fromUtc, qint64 untilUtc);

    // How many kept frames have a UTC instant from `fromUtc` (inclusive) until `untilUtc`
    // (exclusive): what read() hands on without `untimed`, counted on the index alone.
    Result<qint64> count(qint64 fromUtc, qint64 untilUtc);

    // The kept frames with a UTC instant from `fromUtc` (inclusive) until `untilUtc`
    // (exclusive), in order of that instant and, within one second, in the order they were
    // kept; with `untimed`, the frames without a UTC instant after them. Each is handed to
    // `take`, which may return false to stop.
    Result<> read(qint64 fromUtc, qint64 untilUtc, bool untimed,
                  const std::function<bool(const StoredFrame&)>& take);

private:
    class Statement;
    struct Cache;
    FrameArchive(sqlite3* db, QString path, const ArchiveOptions& options);
    Result<> exec(const char* sql);
    Failure fail(int code);
    Result<> prepare();
    Result<> prepareStatements();
    Result<> migrate();
    Result<> registerProgram();
    Result<> dropDeadClaims(qint64 nowMs);
    Result<> refreshCache();
    Result<std::optional<FrameKey>> find(const ReceivedFrame& frame, std::optional<qint64> logged);
    Result<FrameKey> insert(const NewFrame& frame, std::optional<qint64> logged);
    Statement& statement(int which);

    sqlite3* db_;
    QString path_;
    QString journalNote_;
    ArchiveOptions options_;
    qint64 owner_;  // random: the claims and queued frames of this connection
    std::unique_ptr<Cache> cache_;
    std::vector<std::unique_ptr<Statement>> statements_;  // by the statement ids of the .cpp
};

}  // namespace orvalin
