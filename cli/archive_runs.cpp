#include "cli/archive_runs.h"

#include <QDateTime>
#include <QLocale>

#include "archive/read_ahead.h"
#include "cli/batch_decoder.h"
#include "cli/station_conf.h"
#include "settings/file_locations.h"
#include "settings/program_version.h"
#include "sharing/sids_form.h"

namespace orvalin::cli {

namespace {

void say(BufferedWriter& to, const QString& text) {
    to.append(text.toLocal8Bit().toStdString());
    to.append('\n');
}

void sayError(BufferedWriter& err, const QString& text) {
    err.append(ProgramName);
    err.append(": ");
    say(err, text);
    err.flush();
}

QString count(qint64 n) {
    return QLocale::c().toString(n);
}

// The station settings with the zone of the log's times; a bad LOG_TIME_ZONE is a failure.
Result<StationSettings> stationOf(const CommandLine& options) {
    const Result<StationConf> conf = readStationConf(options);
    if (!conf) return conf.failure();
    if (const QString bad = badLogTimeZone(conf->settings); !bad.isEmpty())
        return Failure{.kind = FailureKind::Other,
                       .text = QStringLiteral("%1 in %2").arg(bad, conf->path)};
    return conf->settings;
}

}  // namespace

QString archivePathOf(const CommandLine& options) {
    return options.archivePath.empty() ? stationArchivePath(currentUserFolders())
                                       : pathText(options.archivePath);
}

// Frames kept in one transaction: few enough that a window writing to the same archive waits
// a moment at most, many enough that the synced commits do not set the pace.
constexpr qsizetype ImportSlice = 20000;

Result<std::unique_ptr<ArchiveImport>> ArchiveImport::open(const CommandLine& options,
                                                           const QTimeZone& logTimeZone) {
    auto archive = FrameArchive::open(archivePathOf(options), {.logTimeZone = logTimeZone});
    if (!archive) return archive.failure();
    return std::unique_ptr<ArchiveImport>(new ArchiveImport(std::move(*archive), logTimeZone));
}

ArchiveImport::ArchiveImport(std::unique_ptr<FrameArchive> archive, const QTimeZone& zone)
    : archive_(std::move(archive)), zone_(zone) {}

void ArchiveImport::take(const ReceivedFrame& frame) {
    if (!frame.trueHex) {
        ++notHex_;
        return;
    }
    if (failure_) return;
    inHand_.append({.frame = frame, .utc = zone_.utcSeconds(frame)});
    if (inHand_.size() >= ImportSlice) (void)commit();
}

Result<> ArchiveImport::commit() {
    if (failure_) return *failure_;
    if (inHand_.isEmpty()) return {};
    const Result<AddResult> kept = archive_->add(inHand_, std::nullopt);
    inHand_.clear();
    if (!kept) {
        failure_ = kept.failure();
        return *failure_;
    }
    added_ += static_cast<std::uint64_t>(kept->added);
    already_ += static_cast<std::uint64_t>(kept->already);
    return {};
}

QString ArchiveImport::summary(std::uint64_t rejectedLines) const {
    return QStringLiteral("imported %1 new %2, %3 already in the archive; %4 %5 not taken")
        .arg(count(qint64(added_)),
             added_ == 1 ? QStringLiteral("frame") : QStringLiteral("frames"),
             count(qint64(already_)), count(qint64(rejectedLines + notHex_)),
             rejectedLines + notHex_ == 1 ? QStringLiteral("line") : QStringLiteral("lines"));
}

Result<std::unique_ptr<DryRun>> DryRun::open(const CommandLine& options,
                                             const StationSettings& station) {
    // Read-only: a dry run changes nothing. An archive that is not there has sent nothing.
    auto opened = FrameArchive::open(archivePathOf(options), {.readOnly = true});
    std::unique_ptr<FrameArchive> archive;
    std::optional<int> server;
    if (opened) {
        archive = std::move(*opened);
        const auto known = archive->findServer(station.shareUrl.toString());
        if (!known) return known.failure();
        if (*known) server = (*known)->id;
    } else if (opened.failure().kind != FailureKind::Missing) {
        return opened.failure();
    }
    return std::unique_ptr<DryRun>(new DryRun(station, std::move(archive), server));
}

DryRun::DryRun(StationSettings station, std::unique_ptr<FrameArchive> archive,
               std::optional<int> server)
    : station_(std::move(station)),
      zone_(station_.logTimeZone),
      archive_(std::move(archive)),
      server_(server) {}

void DryRun::write(const FrameBytes32& bytes, qint64 utc, BufferedWriter& out) {
    const QByteArray form =
        sidsForm(station_, sidsTimestamp(utc), bytes, QString::fromLatin1(ProgramVersion));
    out.append(std::string_view(form.constData(), static_cast<std::size_t>(form.size())));
    out.append('\n');
}

void DryRun::take(const ReceivedFrame& frame, BufferedWriter& out) {
    if (!frame.trueHex || failure_) return;
    const std::optional<qint64> utc = zone_.utcSeconds(frame);
    if (!utc) return;  // a time that does not exist is never sent
    // A frame is kept, and posted, once: its logged time and bytes.
    QByteArray key(reinterpret_cast<const char*>(frame.logged.data()), 2 * 14);
    key.append(reinterpret_cast<const char*>(frame.bytes.data()), FrameBytes);
    if (written_.contains(key)) return;
    if (archive_ && server_) {
        const Result<bool> answered = archive_->answered(*server_, frame);
        if (!answered) failure_ = answered.failure();
        if (!answered || *answered) return;
    }
    written_.insert(key);
    write(frame.bytes, *utc, out);
}

Result<> DryRun::takeArchived(std::optional<qint64> since, std::optional<qint64> until,
                              BufferedWriter& out) {
    if (!archive_) return {};
    Result<> answerFailure;
    const Result<> read = archive_->read(
        since.value_or(std::numeric_limits<qint64>::min()), until.value_or(NoUtc), false,
        [&](const StoredFrame& stored) {
            if (server_) {
                const Result<bool> answered = archive_->answered(*server_, stored.key);
                if (!answered) {
                    answerFailure = answered.failure();
                    return false;
                }
                if (*answered) return true;
            }
            write(stored.frame.bytes, *stored.utc, out);
            return true;
        });
    if (!read) return read;
    return answerFailure;
}

Result<> writeFromArchive(const CommandLine& options, RecordFormat& format, BufferedWriter& out) {
    // Read only, unless an archive of an earlier version must be brought up to date first,
    // which needs the zone of its logged times.
    auto archive = FrameArchive::open(archivePathOf(options), {.readOnly = true});
    if (!archive && archive.failure().kind == FailureKind::Damaged) {
        const Result<StationSettings> station = stationOf(options);
        if (!station) return station.failure();
        archive = FrameArchive::open(archivePathOf(options), {.logTimeZone = station->logTimeZone});
    }
    if (!archive) return archive.failure();
    format.writeHeader(out);
    const bool range = options.since || options.until;
    // SQLite reads the next frames while the records of those before are written.
    return readAhead(**archive, options.since.value_or(std::numeric_limits<qint64>::min()),
                     options.until.value_or(NoUtc), !range, [&](const StoredFrame& stored) {
                         format.writeFrame(out, stored.frame, stored.utc);
                         return !out.failed();
                     });
}

int runShareStatus(const CommandLine& options, BufferedWriter& out, BufferedWriter& err) {
    const Result<StationConf> conf = readStationConf(options);
    if (!conf) return sayError(err, conf.failure().text), ExitUsage;
    const QUrl& url = conf->settings.shareUrl;
    if (url.isEmpty()) {
        sayError(err, QStringLiteral("--share-status: no SHARE_URL in %1").arg(conf->path));
        return ExitUsage;
    }
    const QString path = archivePathOf(options);
    say(out, QStringLiteral("Server: %1").arg(url.toString(QUrl::RemoveUserInfo)));
    auto opened = FrameArchive::open(path, {.readOnly = true});
    std::optional<ServerRecord> server;
    ArchiveTally tally;
    QList<Rejection> reasons;
    if (opened) {
        const auto known = (*opened)->findServer(url.toString());
        if (!known) return sayError(err, known.failure().text), ExitFailure;
        server = *known;
        if (server) {
            const auto counted = (*opened)->tally(server->id);
            const auto rejected = (*opened)->rejections(server->id);
            if (!counted) return sayError(err, counted.failure().text), ExitFailure;
            if (!rejected) return sayError(err, rejected.failure().text), ExitFailure;
            tally = *counted;
            reasons = *rejected;
        }
    } else if (opened.failure().kind != FailureKind::Missing) {
        sayError(err, opened.failure().text);
        return ExitFailure;
    }
    say(out, QStringLiteral("Sent: %1").arg(count(tally.sent)));
    say(out, QStringLiteral("Waiting: %1").arg(count(tally.waiting)));
    say(out, QStringLiteral("Rejected: %1").arg(count(tally.rejected)));
    for (const Rejection& rejection : reasons)
        say(out, QStringLiteral("  %1 (%2)").arg(rejection.reason, count(rejection.frames)));
    say(out, QStringLiteral("Last failure: %1")
                 .arg(server && !server->lastFailure.isEmpty() ? server->lastFailure
                                                               : QStringLiteral("None")));
    const bool nextTry = server && server->nextTryMs > QDateTime::currentMSecsSinceEpoch();
    say(out, QStringLiteral("Next try: %1")
                 .arg(nextTry ? QDateTime::fromMSecsSinceEpoch(server->nextTryMs)
                                    .toLocalTime()
                                    .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                              : QStringLiteral("-")));
    say(out, QStringLiteral("Archive: %1").arg(path));
    return ExitSuccess;
}

int runRetryRejected(const CommandLine& options, BufferedWriter& out, BufferedWriter& err) {
    const Result<StationConf> conf = readStationConf(options);
    if (!conf) return sayError(err, conf.failure().text), ExitUsage;
    if (conf->settings.shareUrl.isEmpty()) {
        sayError(err, QStringLiteral("--share-retry-rejected: no SHARE_URL in %1").arg(conf->path));
        return ExitUsage;
    }
    auto opened =
        FrameArchive::open(archivePathOf(options), {.logTimeZone = conf->settings.logTimeZone});
    if (!opened) return sayError(err, opened.failure().text), ExitFailure;
    const auto known = (*opened)->findServer(conf->settings.shareUrl.toString());
    if (!known) return sayError(err, known.failure().text), ExitFailure;
    qint64 again = 0;
    if (*known) {
        const Result<qint64> retried = (*opened)->retryRejected((*known)->id);
        if (!retried) return sayError(err, retried.failure().text), ExitFailure;
        again = *retried;
    }
    say(out, QStringLiteral("%1 rejected %2 waiting again for %3")
                 .arg(count(again),
                      again == 1 ? QStringLiteral("frame is") : QStringLiteral("frames are"),
                      conf->settings.shareUrl.toString(QUrl::RemoveUserInfo)));
    return ExitSuccess;
}

}  // namespace orvalin::cli
