#include "archive/frame_archive.h"

#include <sqlite3.h>
#include <sys/vfs.h>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cstring>

namespace orvalin {

namespace {

constexpr const char* Schema = R"(
CREATE TABLE IF NOT EXISTS frames (
  id INTEGER PRIMARY KEY,
  received TEXT NOT NULL,
  frame BLOB NOT NULL,
  timestamp TEXT,
  archived_at INTEGER NOT NULL,
  state INTEGER,
  url TEXT,
  queued_by INTEGER,
  claimed_by INTEGER,
  claimed_at INTEGER,
  answered_at INTEGER,
  http_status INTEGER,
  reason TEXT,
  UNIQUE (received, frame));
CREATE INDEX IF NOT EXISTS frames_waiting ON frames (id) WHERE state = 0;
CREATE TABLE IF NOT EXISTS tally (state INTEGER PRIMARY KEY, frames INTEGER NOT NULL);
INSERT OR IGNORE INTO tally VALUES (0, 0), (1, 0), (2, 0);
CREATE TRIGGER IF NOT EXISTS tally_insert AFTER INSERT ON frames WHEN new.state IS NOT NULL
BEGIN UPDATE tally SET frames = frames + 1 WHERE state = new.state; END;
CREATE TRIGGER IF NOT EXISTS tally_update AFTER UPDATE OF state ON frames
WHEN old.state IS NOT new.state
BEGIN
  UPDATE tally SET frames = frames - 1 WHERE state = old.state;
  UPDATE tally SET frames = frames + 1 WHERE state = new.state;
END;
)";

constexpr int Waiting = 0;
constexpr int Sent = 1;
constexpr int Rejected = 2;

enum StatementId { Insert, Claim, Answer, Release, Tally, QueuedHere, Begin, Commit, ReadByTime };

constexpr const char* StatementSql[] = {
    "INSERT INTO frames (received, frame, timestamp, archived_at, state, url, queued_by) "
    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT DO NOTHING",
    "UPDATE frames SET claimed_by = ?1, claimed_at = ?2 WHERE id IN (SELECT id FROM frames "
    "WHERE state = 0 AND (claimed_at IS NULL OR claimed_at <= ?3) ORDER BY id LIMIT ?4) "
    "RETURNING id, timestamp, frame",
    "UPDATE frames SET state = ?2, url = ?3, http_status = ?4, reason = ?5, answered_at = ?6, "
    "claimed_by = NULL, claimed_at = NULL WHERE id = ?1 AND state = 0",
    "UPDATE frames SET claimed_by = NULL, claimed_at = NULL WHERE id = ?1 AND claimed_by = ?2",
    "SELECT state, frames FROM tally",
    "SELECT count(*) FROM frames WHERE state = 0 AND (queued_by = ?1 OR id <= ?2)",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "SELECT received, frame, timestamp FROM frames WHERE timestamp >= ?1 AND timestamp < ?2 "
    "ORDER BY timestamp, id",
};

// File systems on which WAL's shared-memory index cannot work (statfs f_type).
bool isNetworkFileSystem(const QString& folder) {
    struct statfs info {};
    if (statfs(QFile::encodeName(folder).constData(), &info) != 0) return false;
    switch (static_cast<unsigned long>(info.f_type)) {
        case 0x6969UL:      // NFS
        case 0x517BUL:      // SMB
        case 0xFF534D42UL:  // CIFS
        case 0xFE534D42UL:  // SMB2
        case 0x01021997UL:  // 9P
        case 0x5346414FUL:  // AFS
        case 0x00C36400UL:  // Ceph
            return true;
        default:
            return false;
    }
}

Failure failureOf(sqlite3* db, int code, const QString& path) {
    const QString detail =
        db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return {
                .kind = FailureKind::Locked,
                .text =
                    QStringLiteral("the archive %1 stayed locked by another program").arg(path)};
        case SQLITE_FULL:
            return {.kind = FailureKind::DiskFull,
                    .text = QStringLiteral("the disk of the archive %1 is full").arg(path)};
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return {.kind = FailureKind::Damaged,
                    .text = QStringLiteral(
                                "the archive %1 is damaged (%2); move it away to start a new one")
                                .arg(path, detail)};
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
        case SQLITE_IOERR:
            return {.kind = FailureKind::Unwritable,
                    .text = QStringLiteral("cannot write the archive %1 (%2)").arg(path, detail)};
        default:
            return {.kind = FailureKind::Other,
                    .text = QStringLiteral("the archive %1 failed (%2)").arg(path, detail)};
    }
}

}  // namespace

// A prepared statement, reset after each use.
class FrameArchive::Statement {
public:
    Statement(sqlite3* db, const char* sql, int& code) {
        code = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, qint64 v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& bind(int i, const QString& v) {
        if (v.isNull()) {
            sqlite3_bind_null(stmt_, i);
        } else {
            const QByteArray utf8 = v.toUtf8();
            sqlite3_bind_text(stmt_, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        return *this;
    }
    Statement& bind(int i, const FrameBytes32& v) {
        sqlite3_bind_blob(stmt_, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindNull(int i) {
        sqlite3_bind_null(stmt_, i);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(stmt_); }
    // Resets; returns the code of the last step when it failed.
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    qint64 integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    QString text(int column) const {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column)),
                                 sqlite3_column_bytes(stmt_, column));
    }
    FrameBytes32 bytes(int column) const {
        FrameBytes32 out{};
        const void* data = sqlite3_column_blob(stmt_, column);
        const int size = sqlite3_column_bytes(stmt_, column);
        if (data) std::memcpy(out.data(), data, std::min<std::size_t>(out.size(), size));
        return out;
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

FrameArchive::FrameArchive(sqlite3* db, QString path)
    : db_(db),
      path_(std::move(path)),
      owner_(static_cast<qint64>(QRandomGenerator::system()->generate64() >> 1)) {}

FrameArchive::~FrameArchive() {
    for (auto& s : statements_) s.reset();
    sqlite3_close_v2(db_);
}

Result<std::unique_ptr<FrameArchive>> FrameArchive::open(const QString& path,
                                                         const ArchiveOptions& options) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return Failure{
            .kind = FailureKind::Unwritable,
            .text = QStringLiteral("cannot make the folder %1 of the archive").arg(folder)};
    }
    sqlite3* db = nullptr;
    const int code = sqlite3_open_v2(
        QFile::encodeName(path).constData(), &db,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE,
        nullptr);
    if (code != SQLITE_OK) {
        const Failure failure = failureOf(db, code, path);
        sqlite3_close_v2(db);
        return failure;
    }
    std::unique_ptr<FrameArchive> archive(new FrameArchive(db, path));
    archive->options_ = options;
    sqlite3_busy_timeout(db, options.busyTimeoutMs);

    const bool network = isNetworkFileSystem(folder);
    const char* journal = network ? "PRAGMA journal_mode = DELETE" : "PRAGMA journal_mode = WAL";
    sqlite3_stmt* mode = nullptr;
    int step = sqlite3_prepare_v2(db, journal, -1, &mode, nullptr);
    if (step == SQLITE_OK) step = sqlite3_step(mode);
    const QString chosen =
        step == SQLITE_ROW
            ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)))
            : QString();
    sqlite3_finalize(mode);
    if (step != SQLITE_ROW) return failureOf(db, step, path);
    if (network) {
        archive->journalNote_ = QStringLiteral(
            "the archive is on a network file system, where WAL cannot work: it uses a rollback "
            "journal, so programs sharing it at once wait on each other longer");
    } else if (chosen != u"wal") {
        archive->journalNote_ =
            QStringLiteral(
                "WAL is not available for the archive here: it uses the %1 journal, "
                "so programs sharing it at once wait on each other longer")
                .arg(chosen);
    }
    for (const char* sql : {"PRAGMA synchronous = FULL", "BEGIN IMMEDIATE", Schema, "COMMIT"}) {
        if (Result<> done = archive->exec(sql); !done) return done.failure();
    }
    for (int i = 0; i < int(std::size(StatementSql)); ++i) {
        int prepared = SQLITE_OK;
        archive->statements_[i] = std::make_unique<Statement>(db, StatementSql[i], prepared);
        if (prepared != SQLITE_OK) return failureOf(db, prepared, path);
    }
    int prepared = SQLITE_OK;
    Statement backlog(db, "SELECT coalesce(max(id), 0) FROM frames WHERE state = 0", prepared);
    const int counted = prepared == SQLITE_OK ? backlog.step() : prepared;
    if (counted != SQLITE_ROW) return failureOf(db, counted, path);
    archive->backlogEnd_ = backlog.integer(0);
    return archive;
}

Result<> FrameArchive::exec(const char* sql) {
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) return fail(code);
    return {};
}

Failure FrameArchive::fail(int code) {
    const Failure failure = failureOf(db_, code, path_);
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return failure;
}

FrameArchive::Statement& FrameArchive::statement(int which) {
    return *statements_[which];
}

// Runs a statement that gives no rows, its parameters bound before.
Result<> FrameArchive::step(int which) {
    Statement& run = statement(which);
    const int code = run.step();
    run.reset();
    if (code != SQLITE_DONE) return fail(code);
    return {};
}

Result<int> FrameArchive::add(const QList<NewFrame>& frames, const QString& url, qint64 nowMs) {
    if (frames.isEmpty()) return 0;
    if (Result<> begun = step(Begin); !begun) return begun.failure();
    int queued = 0;
    Statement& insert = statement(Insert);
    for (const NewFrame& added : frames) {
        if (!added.frame.trueHex) continue;
        const bool share = !added.timestamp.isEmpty();
        insert.bind(1, added.frame.receivedText()).bind(2, added.frame.bytes).bind(4, nowMs);
        if (share) {
            insert.bind(3, added.timestamp).bind(5, Waiting).bind(6, url).bind(7, owner_);
        } else {
            insert.bindNull(3).bindNull(5).bindNull(6).bindNull(7);
        }
        const int code = insert.step();
        insert.reset();
        if (code != SQLITE_DONE) return fail(code);
        if (share && sqlite3_changes(db_) > 0) ++queued;
    }
    if (Result<> committed = step(Commit); !committed) return committed.failure();
    return queued;
}

Result<QList<ClaimedFrame>> FrameArchive::claim(int count, qint64 nowMs) {
    Statement& claim = statement(Claim);
    claim.bind(1, owner_).bind(2, nowMs).bind(3, nowMs - options_.claimLapseMs).bind(4, count);
    QList<ClaimedFrame> claimed;
    int code;
    while ((code = claim.step()) == SQLITE_ROW)
        claimed.append(
            {.id = claim.integer(0), .timestamp = claim.text(1), .bytes = claim.bytes(2)});
    claim.reset();
    if (code != SQLITE_DONE) return fail(code);
    std::sort(claimed.begin(), claimed.end(),
              [](const ClaimedFrame& a, const ClaimedFrame& b) { return a.id < b.id; });
    return claimed;
}

Result<> FrameArchive::markSent(qint64 id, const QString& url, int httpStatus, qint64 nowMs) {
    statement(Answer).bind(1, id).bind(2, Sent).bind(3, url).bind(4, httpStatus).bindNull(5);
    statement(Answer).bind(6, nowMs);
    return step(Answer);
}

Result<> FrameArchive::markRejected(qint64 id, const QString& url, int httpStatus,
                                    const QString& reason, qint64 nowMs) {
    statement(Answer).bind(1, id).bind(2, Rejected).bind(3, url).bind(4, httpStatus);
    statement(Answer).bind(5, reason).bind(6, nowMs);
    return step(Answer);
}

Result<> FrameArchive::release(const QList<qint64>& ids) {
    if (ids.isEmpty()) return {};
    if (Result<> begun = step(Begin); !begun) return begun;
    for (const qint64 id : ids) {
        statement(Release).bind(1, id).bind(2, owner_);
        if (Result<> released = step(Release); !released) return released;
    }
    return step(Commit);
}

Result<ArchiveTally> FrameArchive::tally() {
    Statement& tally = statement(Tally);
    ArchiveTally counts;
    int code;
    while ((code = tally.step()) == SQLITE_ROW) {
        const qint64 frames = tally.integer(1);
        switch (tally.integer(0)) {
            case Waiting:
                counts.waiting = frames;
                break;
            case Sent:
                counts.sent = frames;
                break;
            case Rejected:
                counts.rejected = frames;
                break;
            default:
                break;
        }
    }
    tally.reset();
    if (code != SQLITE_DONE) return fail(code);
    return counts;
}

Result<qint64> FrameArchive::waitingQueuedHere() {
    Statement& count = statement(QueuedHere);
    count.bind(1, owner_).bind(2, backlogEnd_);
    const int code = count.step();
    const qint64 waiting = code == SQLITE_ROW ? count.integer(0) : 0;
    count.reset();
    if (code != SQLITE_ROW) return fail(code);
    return waiting;
}

Result<> FrameArchive::read(const QString& from, const QString& until,
                            const std::function<void(const StoredFrame&)>& take) {
    Statement& read = statement(ReadByTime);
    read.bind(1, from).bind(2, until);
    int code;
    while ((code = read.step()) == SQLITE_ROW)
        take({.received = read.text(0), .bytes = read.bytes(1), .timestamp = read.text(2)});
    read.reset();
    if (code != SQLITE_DONE) return fail(code);
    return {};
}

}  // namespace orvalin
