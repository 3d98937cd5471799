#include "archive/frame_archive.h"

#include <sqlite3.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

#include "decoder/timestamp.h"
#include "settings/log_time.h"

namespace orvalin {

namespace {

constexpr const char* Schema = R"(
CREATE TABLE frames (
  utc INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  offset INTEGER,
  logged TEXT,
  frame BLOB NOT NULL,
  PRIMARY KEY (utc, seq)) WITHOUT ROWID;
CREATE INDEX frames_found ON frames (utc, substr(frame, 1, 4));
CREATE UNIQUE INDEX frames_untimed ON frames (logged, frame) WHERE logged IS NOT NULL;
CREATE TABLE offsets (offset INTEGER PRIMARY KEY);
CREATE TABLE servers (
  id INTEGER PRIMARY KEY,
  url TEXT NOT NULL UNIQUE,
  last_failure TEXT,
  next_try INTEGER);
CREATE TABLE deliveries (
  server INTEGER NOT NULL,
  utc INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  state INTEGER NOT NULL,
  queued_by INTEGER,
  http INTEGER,
  reason TEXT,
  PRIMARY KEY (server, utc, seq)) WITHOUT ROWID;
CREATE INDEX deliveries_waiting ON deliveries (server, utc, seq) WHERE state = 0;
CREATE INDEX deliveries_queued ON deliveries (server, queued_by, utc, seq) WHERE state = 0;
CREATE TABLE claims (
  server INTEGER NOT NULL,
  utc INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  owner INTEGER NOT NULL,
  at INTEGER NOT NULL,
  PRIMARY KEY (server, utc, seq)) WITHOUT ROWID;
CREATE TABLE programs (
  owner INTEGER PRIMARY KEY,
  machine TEXT NOT NULL,
  boot TEXT NOT NULL,
  pid INTEGER NOT NULL,
  started INTEGER NOT NULL);
CREATE TABLE tally (
  server INTEGER NOT NULL,
  state INTEGER NOT NULL,
  frames INTEGER NOT NULL,
  PRIMARY KEY (server, state)) WITHOUT ROWID;
CREATE TRIGGER tally_insert AFTER INSERT ON deliveries
BEGIN UPDATE tally SET frames = frames + 1 WHERE server = new.server AND state = new.state; END;
CREATE TRIGGER tally_update AFTER UPDATE OF state ON deliveries WHEN old.state IS NOT new.state
BEGIN
  UPDATE tally SET frames = frames - 1 WHERE server = old.server AND state = old.state;
  UPDATE tally SET frames = frames + 1 WHERE server = new.server AND state = new.state;
END;
CREATE TRIGGER tally_delete AFTER DELETE ON deliveries
BEGIN UPDATE tally SET frames = frames - 1 WHERE server = old.server AND state = old.state; END;
PRAGMA user_version = 1;
)";

// Version 0 kept one row per frame with its reception text, its SiDS time and one delivery.
constexpr const char* DropVersion0 = R"(
DROP TRIGGER IF EXISTS tally_insert;
DROP TRIGGER IF EXISTS tally_update;
DROP TABLE IF EXISTS tally;
DROP INDEX IF EXISTS frames_waiting;
ALTER TABLE frames RENAME TO frames_v0;
)";

constexpr int Waiting = 0;
constexpr int Sent = 1;
constexpr int Rejected = 2;

enum StatementId {
    FindTimed,
    FindUntimed,
    NextSeq,
    InsertFrame,
    InsertOffset,
    Offsets,
    MaxUtc,
    Offer,
    ClaimOwn,
    ClaimAny,
    InsertClaim,
    DropLapsed,
    DropOwnerClaims,
    Programs,
    DeleteProgram,
    InsertProgram,
    Answer,
    ReleaseClaim,
    Tally,
    QueuedHere,
    Rejections,
    RetryRejected,
    ServerByUrl,
    InsertServer,
    InsertTally,
    NoteFailure,
    DeliveryState,
    ReadTimed,
    ReadUntimed,
    AdoptWaiting,
    DropOthersWaiting,
    OfferRange,
    CountRange,
    StatementCount
};

constexpr const char* StatementSql[] = {
    "SELECT seq FROM frames WHERE utc = ?1 AND substr(frame, 1, 4) = ?2 AND frame = ?3 "
    "AND offset = ?4",
    "SELECT utc, seq FROM frames WHERE logged = ?1 AND frame = ?2",
    "SELECT coalesce(max(seq) + 1, 0) FROM frames WHERE utc = ?1",
    "INSERT INTO frames (utc, seq, offset, logged, frame) VALUES (?1, ?2, ?3, ?4, ?5)",
    "INSERT OR IGNORE INTO offsets VALUES (?1)",
    "SELECT offset FROM offsets",
    "SELECT coalesce(max(utc), -9223372036854775807), "
    "EXISTS (SELECT 1 FROM frames WHERE utc = ?1) FROM frames WHERE utc < ?1",
    "INSERT INTO deliveries (server, utc, seq, state, queued_by) VALUES (?1, ?2, ?3, 0, ?4) "
    "ON CONFLICT (server, utc, seq) DO UPDATE SET queued_by = excluded.queued_by "
    "WHERE state = 0",
    "SELECT d.utc, d.seq, f.frame FROM deliveries d JOIN frames f ON f.utc = d.utc AND "
    "f.seq = d.seq WHERE d.server = ?1 AND d.state = 0 AND d.queued_by = ?2 AND NOT EXISTS "
    "(SELECT 1 FROM claims c WHERE c.server = d.server AND c.utc = d.utc AND c.seq = d.seq) "
    "ORDER BY d.utc, d.seq LIMIT ?3",
    "SELECT d.utc, d.seq, f.frame FROM deliveries d JOIN frames f ON f.utc = d.utc AND "
    "f.seq = d.seq WHERE d.server = ?1 AND d.state = 0 AND NOT EXISTS "
    "(SELECT 1 FROM claims c WHERE c.server = d.server AND c.utc = d.utc AND c.seq = d.seq) "
    "ORDER BY d.utc, d.seq LIMIT ?2",
    "INSERT OR REPLACE INTO claims VALUES (?1, ?2, ?3, ?4, ?5)",
    "DELETE FROM claims WHERE at <= ?1",
    "DELETE FROM claims WHERE owner = ?1",
    "SELECT owner, machine, boot, pid, started FROM programs",
    "DELETE FROM programs WHERE owner = ?1",
    "INSERT OR REPLACE INTO programs VALUES (?1, ?2, ?3, ?4, ?5)",
    "UPDATE deliveries SET state = ?4, http = ?5, reason = ?6, queued_by = NULL "
    "WHERE server = ?1 AND utc = ?2 AND seq = ?3 AND state = 0",
    "DELETE FROM claims WHERE server = ?1 AND utc = ?2 AND seq = ?3 AND owner = ?4",
    "SELECT state, frames FROM tally WHERE server = ?1",
    "SELECT count(*) FROM deliveries WHERE server = ?1 AND state = 0 AND queued_by = ?2",
    "SELECT coalesce(reason, ''), count(*) FROM deliveries WHERE server = ?1 AND state = 2 "
    "GROUP BY reason ORDER BY count(*) DESC LIMIT 20",
    "UPDATE deliveries SET state = 0, http = NULL, reason = NULL, queued_by = NULL "
    "WHERE server = ?1 AND state = 2",
    "SELECT id, url, coalesce(last_failure, ''), coalesce(next_try, 0) FROM servers "
    "WHERE url = ?1",
    "INSERT INTO servers (url) VALUES (?1)",
    "INSERT OR IGNORE INTO tally VALUES (?1, 0, 0), (?1, 1, 0), (?1, 2, 0)",
    "UPDATE servers SET last_failure = ?2, next_try = ?3 WHERE id = ?1",
    "SELECT state FROM deliveries WHERE server = ?1 AND utc = ?2 AND seq = ?3",
    // A timed frame keeps its logged time as an offset, an untimed one as text: each read
    // fetches only the column it uses, which is a good part of the cost of a long read.
    "SELECT utc, seq, offset, frame FROM frames WHERE utc >= ?1 AND utc < ?2 ORDER BY utc, seq",
    "SELECT utc, seq, logged, frame FROM frames WHERE utc = ?1 ORDER BY seq",
    "INSERT INTO deliveries (server, utc, seq, state) SELECT ?1, utc, seq, 0 FROM deliveries "
    "WHERE server != ?1 AND state = 0 ON CONFLICT DO NOTHING",
    "DELETE FROM deliveries WHERE server != ?1 AND state = 0",
    "INSERT INTO deliveries (server, utc, seq, state, queued_by) SELECT ?1, utc, seq, 0, ?4 "
    "FROM frames WHERE utc >= ?2 AND utc < ?3 ON CONFLICT (server, utc, seq) DO UPDATE SET "
    "queued_by = excluded.queued_by WHERE state = 0",
    "SELECT count(*) FROM frames WHERE utc >= ?1 AND utc < ?2",
};
static_assert(std::size(StatementSql) == StatementCount);

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

// A server's address as it is kept and shown: without user information, so that a password
// in SHARE_URL is never stored or shown.
QString serverText(const QString& url) {
    return QUrl(url).toString(QUrl::RemoveUserInfo);
}

// This machine, this boot and this process: what tells whether the program that holds a
// claim is still running here.
struct ProgramIdentity {
    QString machine;
    QString boot;
    qint64 pid = 0;
    qint64 started = 0;  // clock ticks after boot (/proc/PID/stat, field 22)
};

QString firstLineOf(const char* path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readLine(200)).trimmed();
}

// The start time of a process, or -1 when there is none of that id.
qint64 processStart(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold anything; the fields after its last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 19 ? fields[19].toLongLong() : -1;  // field 22 of the whole line
}

const ProgramIdentity& thisProgram() {
    static const ProgramIdentity identity = [] {
        ProgramIdentity p;
        p.machine = firstLineOf("/etc/machine-id");
        if (p.machine.isEmpty()) p.machine = firstLineOf("/var/lib/dbus/machine-id");
        if (p.machine.isEmpty()) p.machine = QString::fromLatin1(qgetenv("HOSTNAME"));
        p.boot = firstLineOf("/proc/sys/kernel/random/boot_id");
        p.pid = ::getpid();
        p.started = processStart(p.pid);
        return p;
    }();
    return identity;
}

// The logged date and time (DDMMYYYYHHMMSS) of frames read in order: from their UTC second
// and offset, the day's characters worked out once a day, or from their kept text.
class LoggedCharacters {
public:
    std::array<char16_t, 14> of(qint64 utc, qint64 offset) {
        const qint64 local = utc + offset;
        qint64 day = local / 86400;
        qint64 second = local % 86400;
        if (second < 0) {
            second += 86400;
            --day;
        }
        if (day != day_) {
            const CalendarTime t = calendarTimeOfSeconds(day * 86400);
            const int parts[3][2] = {{t.day, 2}, {t.month, 2}, {t.year, 4}};
            std::size_t at = 0;
            for (const auto& [value, width] : parts) {
                int v = value;
                for (int i = width - 1; i >= 0; --i, v /= 10)
                    logged_[at + std::size_t(i)] = char16_t(u'0' + v % 10);
                at += std::size_t(width);
            }
            day_ = day;
        }
        const int clock[3] = {int(second / 3600), int(second / 60 % 60), int(second % 60)};
        for (std::size_t i = 0; i < 3; ++i) {
            logged_[8 + 2 * i] = char16_t(u'0' + clock[i] / 10);
            logged_[9 + 2 * i] = char16_t(u'0' + clock[i] % 10);
        }
        return logged_;
    }
    // "DD.MM.YYYY HH:MM:SS" without its separators.
    static std::array<char16_t, 14> of(const char16_t* text, qsizetype size) {
        static constexpr int From[14] = {0, 1, 3, 4, 6, 7, 8, 9, 11, 12, 14, 15, 17, 18};
        std::array<char16_t, 14> logged{};
        for (std::size_t i = 0; i < 14; ++i) logged[i] = From[i] < size ? text[From[i]] : u' ';
        return logged;
    }

private:
    qint64 day_ = std::numeric_limits<qint64>::min();
    std::array<char16_t, 14> logged_{};
};

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
    Statement& bindBlob(int i, const void* data, int size) {
        sqlite3_bind_blob(stmt_, i, data, size, SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindNull(int i) {
        sqlite3_bind_null(stmt_, i);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(stmt_); }
    // Steps once and resets: for a statement that gives no rows.
    int run() {
        const int code = step();
        reset();
        return code;
    }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    bool isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    qint64 integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    const char16_t* text16(int column) const {
        return static_cast<const char16_t*>(sqlite3_column_text16(stmt_, column));
    }
    qsizetype bytes16(int column) const { return sqlite3_column_bytes16(stmt_, column) / 2; }
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

// What a connection remembers between the frames of one write: the offsets in use, the last
// second kept, the next place in the seconds it met.
struct FrameArchive::Cache {
    std::vector<qint64> offsets;
    qint64 maxUtc = std::numeric_limits<qint64>::min();
    bool hasUntimed = false;
    std::unordered_map<qint64, qint64> nextSeq;
};

FrameArchive::FrameArchive(sqlite3* db, QString path, const ArchiveOptions& options)
    : db_(db),
      path_(std::move(path)),
      options_(options),
      owner_(static_cast<qint64>(QRandomGenerator::system()->generate64() >> 1)),
      cache_(std::make_unique<Cache>()) {}

FrameArchive::~FrameArchive() {
    if (!options_.readOnly && statements_.size() == StatementCount) {
        // Its claims go back at once, and the write-ahead log into the archive, so that the
        // file is all there is of it.
        statement(DropOwnerClaims).bind(1, owner_);
        (void)statement(DropOwnerClaims).run();
        statement(DeleteProgram).bind(1, owner_);
        (void)statement(DeleteProgram).run();
    }
    statements_.clear();
    if (!options_.readOnly)
        sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_close_v2(db_);
}

Result<std::unique_ptr<FrameArchive>> FrameArchive::open(const QString& path,
                                                         const ArchiveOptions& options) {
    const QString folder = QFileInfo(path).absolutePath();
    if (options.readOnly && !QFileInfo(path).isFile())
        return Failure{.kind = FailureKind::Missing,
                       .text = QStringLiteral("there is no archive %1").arg(path)};
    if (!options.readOnly && !QDir().mkpath(folder)) {
        return Failure{
            .kind = FailureKind::Unwritable,
            .text = QStringLiteral("cannot make the folder %1 of the archive").arg(folder)};
    }
    sqlite3* db = nullptr;
    const int flags =
        (options.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
        SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    const int code = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (code != SQLITE_OK) {
        const Failure failure = failureOf(db, code, path);
        sqlite3_close_v2(db);
        return failure;
    }
    std::unique_ptr<FrameArchive> archive(new FrameArchive(db, path, options));
    sqlite3_busy_timeout(db, options.busyTimeoutMs);

    if (!options.readOnly) {
        const bool network = isNetworkFileSystem(folder);
        const char* journal =
            network ? "PRAGMA journal_mode = DELETE" : "PRAGMA journal_mode = WAL";
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
                "the archive is on a network file system, where WAL cannot work: it uses a "
                "rollback journal, so programs sharing it at once wait on each other longer");
        } else if (chosen != u"wal") {
            archive->journalNote_ =
                QStringLiteral(
                    "WAL is not available for the archive here: it uses the %1 journal, "
                    "so programs sharing it at once wait on each other longer")
                    .arg(chosen);
        }
        if (Result<> full = archive->exec("PRAGMA synchronous = FULL"); !full)
            return full.failure();
        // Room for the pages an import of many frames touches before it commits a slice: with
        // SQLite's 2 MB by default, every slice wrote and read back the same pages of both
        // trees again and again.
        if (Result<> cache = archive->exec("PRAGMA cache_size = -32768"); !cache)
            return cache.failure();
    }
    if (Result<> ready = archive->prepare(); !ready) return ready.failure();
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

// Makes or migrates the schema, prepares the statements and, for a writer, says that this
// program is here and lets go of the claims of programs that are gone.
Result<> FrameArchive::prepare() {
    int version = 0;
    bool hasFrames = false;
    {
        int code = SQLITE_OK;
        Statement probe(db_, "PRAGMA user_version", code);
        if (code != SQLITE_OK) return fail(code);
        if ((code = probe.step()) != SQLITE_ROW) return fail(code);
        version = static_cast<int>(probe.integer(0));
        Statement tables(db_, "SELECT count(*) FROM sqlite_master WHERE name = 'frames'", code);
        if (code != SQLITE_OK) return fail(code);
        if ((code = tables.step()) != SQLITE_ROW) return fail(code);
        hasFrames = tables.integer(0) > 0;
    }
    if (version > SchemaVersion) {
        return Failure{.kind = FailureKind::Damaged,
                       .text = QStringLiteral("the archive %1 was written by a newer version of "
                                              "the program (schema %2); this one leaves it alone")
                                   .arg(path_)
                                   .arg(version)};
    }
    if (version < SchemaVersion) {
        if (options_.readOnly) {
            if (!hasFrames)
                return Failure{
                    .kind = FailureKind::Missing,
                    .text = QStringLiteral("the archive %1 holds no frames yet").arg(path_)};
            return Failure{.kind = FailureKind::Damaged,
                           .text = QStringLiteral("the archive %1 is of an earlier version; it is "
                                                  "brought up to date the next time it is written")
                                       .arg(path_)};
        }
        if (Result<> made = hasFrames ? migrate() : exec("BEGIN IMMEDIATE"); !made) return made;
        if (!hasFrames) {
            if (Result<> schema = exec(Schema); !schema) return schema;
            if (Result<> done = exec("COMMIT"); !done) return done;
        }
    }
    if (Result<> prepared = prepareStatements(); !prepared) return prepared;
    if (options_.readOnly) return {};
    if (Result<> here = registerProgram(); !here) return here;
    return dropDeadClaims(0);
}

Result<> FrameArchive::prepareStatements() {
    statements_.resize(StatementCount);
    for (int i = 0; i < StatementCount; ++i) {
        int prepared = SQLITE_OK;
        statements_[i] = std::make_unique<Statement>(db_, StatementSql[i], prepared);
        if (prepared != SQLITE_OK) return fail(prepared);
    }
    return {};
}

Result<> FrameArchive::registerProgram() {
    const ProgramIdentity& me = thisProgram();
    statement(InsertProgram).bind(1, owner_).bind(2, me.machine).bind(3, me.boot);
    statement(InsertProgram).bind(4, me.pid).bind(5, me.started);
    if (const int code = statement(InsertProgram).run(); code != SQLITE_DONE) return fail(code);
    return {};
}

// Claims of programs that are gone from this machine (ended, killed, or from before its last
// boot) lapse at once; those of other machines (an archive on a network file system) lapse
// with time. `nowMs` 0: only the programs are looked at.
Result<> FrameArchive::dropDeadClaims(qint64 nowMs) {
    const ProgramIdentity& me = thisProgram();
    std::vector<qint64> gone;
    Statement& programs = statement(Programs);
    int code;
    while ((code = programs.step()) == SQLITE_ROW) {
        if (programs.text(1) != me.machine) continue;
        const qint64 pid = programs.integer(3);
        const bool running =
            programs.text(2) == me.boot && processStart(pid) == programs.integer(4);
        if (!running) gone.push_back(programs.integer(0));
    }
    programs.reset();
    if (code != SQLITE_DONE) return fail(code);
    if (gone.empty() && nowMs == 0) return {};
    if (Result<> begun = exec("BEGIN IMMEDIATE"); !begun) return begun;
    for (const qint64 owner : gone) {
        statement(DropOwnerClaims).bind(1, owner);
        if (const int code = statement(DropOwnerClaims).run(); code != SQLITE_DONE)
            return fail(code);
        statement(DeleteProgram).bind(1, owner);
        if (const int code = statement(DeleteProgram).run(); code != SQLITE_DONE) return fail(code);
    }
    if (nowMs > 0) {
        statement(DropLapsed).bind(1, nowMs - options_.claimLapseMs);
        if (const int code = statement(DropLapsed).run(); code != SQLITE_DONE) return fail(code);
    }
    return exec("COMMIT");
}

// Version 0 to 1: the same frames and deliveries, each frame with its UTC instant in the
// station's zone, the servers' addresses without user information; then the file is written
// anew, so that no freed page keeps what was dropped (a password in an old address).
Result<> FrameArchive::migrate() {
    if (Result<> begun = exec("BEGIN IMMEDIATE"); !begun) return begun;
    if (Result<> old = exec(DropVersion0); !old) return old;
    if (Result<> schema = exec(Schema); !schema) return schema;
    if (Result<> prepared = prepareStatements(); !prepared) return prepared;
    int code = SQLITE_OK;
    Statement rows(db_,
                   "SELECT received, frame, state, url, http_status, reason FROM frames_v0 "
                   "ORDER BY id",
                   code);
    if (code != SQLITE_OK) return fail(code);
    LogTimeConverter zone(options_.logTimeZone);
    cache_ = std::make_unique<Cache>();
    std::unordered_map<QString, int> servers;
    while ((code = rows.step()) == SQLITE_ROW) {
        NewFrame kept;
        kept.frame.logged = LoggedCharacters::of(rows.text16(0), rows.bytes16(0));
        kept.frame.bytes = rows.bytes(1);
        kept.frame.trueHex = true;
        kept.utc = zone.utcSeconds(kept.frame);
        const Result<FrameKey> key = insert(kept, loggedSeconds(kept.frame));
        if (!key) return key.failure();
        if (rows.isNull(2) || rows.isNull(3)) continue;
        const int state = static_cast<int>(rows.integer(2));
        // A frame still waiting whose time does not exist goes nowhere.
        if (state == Waiting && !kept.utc) continue;
        const QString url = serverText(rows.text(3));
        auto known = servers.find(url);
        if (known == servers.end()) {
            const Result<int> id = server(url);
            if (!id) return id.failure();
            known = servers.emplace(url, *id).first;
        }
        Statement& offer = statement(Offer);
        offer.bind(1, known->second).bind(2, key->utc).bind(3, key->seq).bindNull(4);
        if (const int done = offer.run(); done != SQLITE_DONE) return fail(done);
        if (state != Waiting) {
            Statement& answer = statement(Answer);
            answer.bind(1, known->second).bind(2, key->utc).bind(3, key->seq).bind(4, state);
            if (rows.isNull(4))
                answer.bindNull(5);
            else
                answer.bind(5, rows.integer(4));
            if (rows.isNull(5))
                answer.bindNull(6);
            else
                answer.bind(6, rows.text(5));
            if (const int done = answer.run(); done != SQLITE_DONE) return fail(done);
        }
    }
    rows.reset();
    if (code != SQLITE_DONE) return fail(code);
    statements_.clear();
    if (Result<> dropped = exec("DROP TABLE frames_v0; COMMIT"); !dropped) return dropped;
    return exec("VACUUM");
}

Result<int> FrameArchive::server(const QString& url) {
    const QString text = serverText(url);
    Statement& find = statement(ServerByUrl);
    find.bind(1, text);
    int code = find.step();
    const int id = code == SQLITE_ROW ? static_cast<int>(find.integer(0)) : 0;
    find.reset();
    if (code == SQLITE_ROW) return id;
    if (code != SQLITE_DONE) return fail(code);
    statement(InsertServer).bind(1, text);
    if ((code = statement(InsertServer).run()) != SQLITE_DONE) return fail(code);
    const auto made = static_cast<int>(sqlite3_last_insert_rowid(db_));
    statement(InsertTally).bind(1, made);
    if ((code = statement(InsertTally).run()) != SQLITE_DONE) return fail(code);
    return made;
}

Result<std::optional<ServerRecord>> FrameArchive::findServer(const QString& url) {
    Statement& find = statement(ServerByUrl);
    find.bind(1, serverText(url));
    const int code = find.step();
    std::optional<ServerRecord> record;
    if (code == SQLITE_ROW)
        record = ServerRecord{.id = static_cast<int>(find.integer(0)),
                              .url = find.text(1),
                              .lastFailure = find.text(2),
                              .nextTryMs = find.integer(3)};
    find.reset();
    if (code != SQLITE_ROW && code != SQLITE_DONE) return fail(code);
    return record;
}

Result<> FrameArchive::noteFailure(int server, const QString& lastFailure, qint64 nextTryMs) {
    Statement& note = statement(NoteFailure);
    note.bind(1, server);
    if (lastFailure.isEmpty())
        note.bindNull(2);
    else
        note.bind(2, lastFailure);
    if (nextTryMs == 0)
        note.bindNull(3);
    else
        note.bind(3, nextTryMs);
    const int code = note.run();
    return code == SQLITE_DONE ? Result<>() : fail(code);
}

// The kept frame with this logged date and time and these bytes: among the frames of the
// instants that logged time had under every offset in use, and among those without an instant.
Result<std::optional<FrameKey>> FrameArchive::find(const ReceivedFrame& frame,
                                                   std::optional<qint64> logged) {
    if (logged) {
        Statement& timed = statement(FindTimed);
        for (const qint64 offset : cache_->offsets) {
            const qint64 utc = *logged - offset;
            if (utc > cache_->maxUtc) continue;  // nothing kept that late
            timed.bind(1, utc).bindBlob(2, frame.bytes.data(), 4).bind(3, frame.bytes);
            timed.bind(4, offset);
            const int code = timed.step();
            const qint64 seq = code == SQLITE_ROW ? timed.integer(0) : 0;
            timed.reset();
            if (code == SQLITE_ROW) return std::optional(FrameKey{utc, seq});
            if (code != SQLITE_DONE) return fail(code);
        }
    }
    if (!cache_->hasUntimed) return std::optional<FrameKey>();
    Statement& untimed = statement(FindUntimed);
    untimed.bind(1, frame.receivedText()).bind(2, frame.bytes);
    const int code = untimed.step();
    std::optional<FrameKey> key;
    if (code == SQLITE_ROW) key = FrameKey{untimed.integer(0), untimed.integer(1)};
    untimed.reset();
    if (code != SQLITE_ROW && code != SQLITE_DONE) return fail(code);
    return key;
}

Result<FrameKey> FrameArchive::insert(const NewFrame& kept, std::optional<qint64> logged) {
    const qint64 utc = kept.utc.value_or(NoUtc);
    qint64 seq = 0;
    if (auto next = cache_->nextSeq.find(utc); next != cache_->nextSeq.end()) {
        seq = next->second;
    } else if (utc <= cache_->maxUtc || (utc == NoUtc && cache_->hasUntimed)) {
        Statement& last = statement(NextSeq);
        last.bind(1, utc);
        const int code = last.step();
        seq = code == SQLITE_ROW ? last.integer(0) : 0;
        last.reset();
        if (code != SQLITE_ROW) return fail(code);
    }
    Statement& row = statement(InsertFrame);
    row.bind(1, utc).bind(2, seq).bind(5, kept.frame.bytes);
    if (kept.utc) {
        const qint64 offset = *logged - utc;
        row.bind(3, offset).bindNull(4);
        if (std::find(cache_->offsets.begin(), cache_->offsets.end(), offset) ==
            cache_->offsets.end()) {
            statement(InsertOffset).bind(1, offset);
            if (const int code = statement(InsertOffset).run(); code != SQLITE_DONE)
                return fail(code);
            cache_->offsets.push_back(offset);
        }
        cache_->maxUtc = std::max(cache_->maxUtc, utc);
    } else {
        row.bindNull(3).bind(4, kept.frame.receivedText());
        cache_->hasUntimed = true;
    }
    if (const int code = row.run(); code != SQLITE_DONE) return fail(code);
    cache_->nextSeq[utc] = seq + 1;
    return FrameKey{utc, seq};
}

// What the archive holds now, for finding frames: another program may have written since the
// last call.
Result<> FrameArchive::refreshCache() {
    cache_ = std::make_unique<Cache>();
    Statement& offsets = statement(Offsets);
    int code;
    while ((code = offsets.step()) == SQLITE_ROW) cache_->offsets.push_back(offsets.integer(0));
    offsets.reset();
    if (code != SQLITE_DONE) return fail(code);
    Statement& last = statement(MaxUtc);
    last.bind(1, NoUtc);
    code = last.step();
    if (code == SQLITE_ROW) {
        cache_->maxUtc = last.integer(0);
        cache_->hasUntimed = last.integer(1) != 0;
    }
    last.reset();
    if (code != SQLITE_ROW) return fail(code);
    return {};
}

Result<AddResult> FrameArchive::add(const QList<NewFrame>& frames, std::optional<int> offerTo) {
    AddResult result;
    if (frames.isEmpty()) return result;
    if (Result<> begun = exec("BEGIN IMMEDIATE"); !begun) return begun.failure();
    if (Result<> cached = refreshCache(); !cached) return cached.failure();
    for (const NewFrame& kept : frames) {
        if (!kept.frame.trueHex) continue;
        const std::optional<qint64> logged = loggedSeconds(kept.frame);
        Result<std::optional<FrameKey>> found = find(kept.frame, logged);
        if (!found) return found.failure();
        FrameKey key;
        if (*found) {
            key = **found;
            ++result.already;
        } else {
            Result<FrameKey> made = insert(kept, logged);
            if (!made) return made.failure();
            key = *made;
            ++result.added;
            result.newFrames.append(
                {.key = key,
                 .frame = kept.frame,
                 .utc = key.utc == NoUtc ? std::nullopt : std::optional(key.utc)});
        }
        if (!offerTo) continue;
        if (key.utc == NoUtc) {
            ++result.notSendable;
            continue;
        }
        Statement& offer = statement(Offer);
        offer.bind(1, *offerTo).bind(2, key.utc).bind(3, key.seq).bind(4, owner_);
        if (const int code = offer.run(); code != SQLITE_DONE) return fail(code);
        result.offered += sqlite3_changes(db_) > 0 ? 1 : 0;
    }
    if (Result<> committed = exec("COMMIT"); !committed) return committed.failure();
    return result;
}

Result<QList<ClaimedFrame>> FrameArchive::claim(int server, int count, qint64 nowMs) {
    if (Result<> cleared = dropDeadClaims(nowMs); !cleared) return cleared.failure();
    if (Result<> begun = exec("BEGIN IMMEDIATE"); !begun) return begun.failure();
    QList<ClaimedFrame> claimed;
    for (const bool own : {true, false}) {
        Statement& pick = statement(own ? ClaimOwn : ClaimAny);
        pick.bind(1, server);
        if (own)
            pick.bind(2, owner_).bind(3, count - claimed.size());
        else
            pick.bind(2, count - claimed.size());
        const qsizetype before = claimed.size();
        int code;
        while ((code = pick.step()) == SQLITE_ROW) {
            const FrameKey key{pick.integer(0), pick.integer(1)};
            claimed.append({.key = key, .bytes = pick.bytes(2), .own = own});
        }
        pick.reset();
        if (code != SQLITE_DONE) return fail(code);
        // Held at once, so that the backlog's pick passes them by.
        Statement& hold = statement(InsertClaim);
        for (qsizetype i = before; i < claimed.size(); ++i) {
            hold.bind(1, server).bind(2, claimed[i].key.utc).bind(3, claimed[i].key.seq);
            hold.bind(4, owner_).bind(5, nowMs);
            if (const int held = hold.run(); held != SQLITE_DONE) return fail(held);
        }
        if (claimed.size() >= count) break;
    }
    if (Result<> committed = exec("COMMIT"); !committed) return committed.failure();
    return claimed;
}

Result<> FrameArchive::markSent(int server, const FrameKey& key, int httpStatus) {
    return markRejected(server, key, httpStatus, QString());
}

Result<> FrameArchive::markRejected(int server, const FrameKey& key, int httpStatus,
                                    const QString& reason) {
    if (Result<> begun = exec("BEGIN IMMEDIATE"); !begun) return begun;
    Statement& answer = statement(Answer);
    answer.bind(1, server).bind(2, key.utc).bind(3, key.seq);
    answer.bind(4, reason.isNull() ? Sent : Rejected).bind(5, httpStatus);
    answer.bind(6, reason);  // NULL for a sent frame
    if (const int code = answer.run(); code != SQLITE_DONE) return fail(code);
    statement(ReleaseClaim).bind(1, server).bind(2, key.utc).bind(3, key.seq).bind(4, owner_);
    if (const int code = statement(ReleaseClaim).run(); code != SQLITE_DONE) return fail(code);
    return exec("COMMIT");
}

Result<> FrameArchive::release(int server, const QList<FrameKey>& keys) {
    if (keys.isEmpty()) return {};
    if (Result<> begun = exec("BEGIN IMMEDIATE"); !begun) return begun;
    for (const FrameKey& key : keys) {
        statement(ReleaseClaim).bind(1, server).bind(2, key.utc).bind(3, key.seq).bind(4, owner_);
        if (const int code = statement(ReleaseClaim).run(); code != SQLITE_DONE) return fail(code);
    }
    return exec("COMMIT");
}

Result<qint64> FrameArchive::adoptWaiting(int server) {
    if (Result<> begun = exec("BEGIN IMMEDIATE"); !begun) return begun.failure();
    statement(AdoptWaiting).bind(1, server);
    if (const int code = statement(AdoptWaiting).run(); code != SQLITE_DONE) return fail(code);
    const qint64 adopted = sqlite3_changes64(db_);
    statement(DropOthersWaiting).bind(1, server);
    if (const int code = statement(DropOthersWaiting).run(); code != SQLITE_DONE) return fail(code);
    if (Result<> committed = exec("COMMIT"); !committed) return committed.failure();
    return adopted;
}

Result<qint64> FrameArchive::offerRange(int server, qint64 fromUtc, qint64 untilUtc) {
    Statement& offer = statement(OfferRange);
    offer.bind(1, server).bind(2, fromUtc).bind(3, std::min(untilUtc, NoUtc)).bind(4, owner_);
    if (const int code = offer.run(); code != SQLITE_DONE) return fail(code);
    return static_cast<qint64>(sqlite3_changes64(db_));
}

Result<bool> FrameArchive::answered(int server, const FrameKey& key) {
    Statement& state = statement(DeliveryState);
    state.bind(1, server).bind(2, key.utc).bind(3, key.seq);
    const int code = state.step();
    const bool done = code == SQLITE_ROW && state.integer(0) != Waiting;
    state.reset();
    if (code != SQLITE_ROW && code != SQLITE_DONE) return fail(code);
    return done;
}

Result<qint64> FrameArchive::retryRejected(int server) {
    statement(RetryRejected).bind(1, server);
    if (const int code = statement(RetryRejected).run(); code != SQLITE_DONE) return fail(code);
    return static_cast<qint64>(sqlite3_changes64(db_));
}

Result<ArchiveTally> FrameArchive::tally(int server) {
    Statement& tally = statement(Tally);
    tally.bind(1, server);
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

Result<qint64> FrameArchive::waitingQueuedHere(int server) {
    Statement& count = statement(QueuedHere);
    count.bind(1, server).bind(2, owner_);
    const int code = count.step();
    const qint64 waiting = code == SQLITE_ROW ? count.integer(0) : 0;
    count.reset();
    if (code != SQLITE_ROW) return fail(code);
    return waiting;
}

Result<QList<Rejection>> FrameArchive::rejections(int server) {
    Statement& reasons = statement(Rejections);
    reasons.bind(1, server);
    QList<Rejection> out;
    int code;
    while ((code = reasons.step()) == SQLITE_ROW)
        out.append({.reason = reasons.text(0), .frames = reasons.integer(1)});
    reasons.reset();
    if (code != SQLITE_DONE) return fail(code);
    return out;
}

Result<bool> FrameArchive::answered(int server, const ReceivedFrame& frame) {
    if (Result<> cached = refreshCache(); !cached) return cached.failure();
    const Result<std::optional<FrameKey>> found = find(frame, loggedSeconds(frame));
    if (!found) return found.failure();
    if (!*found) return false;
    return answered(server, **found);
}

Result<qint64> FrameArchive::count(qint64 fromUtc, qint64 untilUtc) {
    Statement& count = statement(CountRange);
    count.bind(1, fromUtc).bind(2, std::min(untilUtc, NoUtc));
    const int code = count.step();
    const qint64 frames = code == SQLITE_ROW ? count.integer(0) : 0;
    count.reset();
    if (code != SQLITE_ROW) return fail(code);
    return frames;
}

Result<> FrameArchive::read(qint64 fromUtc, qint64 untilUtc, bool untimed,
                            const std::function<bool(const StoredFrame&)>& take) {
    LoggedCharacters logged;
    for (const bool timed : {true, false}) {
        if (!timed && !untimed) break;
        Statement& rows = statement(timed ? ReadTimed : ReadUntimed);
        if (timed)
            rows.bind(1, fromUtc).bind(2, std::min(untilUtc, NoUtc));
        else
            rows.bind(1, NoUtc);
        int code;
        bool more = true;
        while (more && (code = rows.step()) == SQLITE_ROW) {
            StoredFrame stored;
            stored.key = {rows.integer(0), rows.integer(1)};
            if (timed) {
                stored.utc = stored.key.utc;
                stored.frame.logged = logged.of(stored.key.utc, rows.integer(2));
            } else {
                stored.frame.logged = LoggedCharacters::of(rows.text16(2), rows.bytes16(2));
            }
            stored.frame.bytes = rows.bytes(3);
            stored.frame.trueHex = true;
            more = take(stored);
        }
        rows.reset();
        if (more && code != SQLITE_DONE) return fail(code);
        if (!more) break;
    }
    return {};
}

}  // namespace orvalin
