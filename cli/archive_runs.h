// The batch decoder's work with the station archive besides --share:
//
//   --import          the frames of the accepted lines are kept (in slices, each committed
//                     and synced), no records are written; one line of what was kept at the end
//   --from-archive    the kept frames as records, in order of their UTC time, any format
//   --share --dry-run the form --share would post for each frame of the input that the server
//                     has not sent or rejected; nothing is posted or changed
//   --share-status    how sharing with SHARE_URL stands, as the window's Sharing Status shows it
//   --share-retry-rejected  the rejected frames of SHARE_URL wait again
#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <cstdint>
#include <memory>

#include "archive/frame_archive.h"
#include "cli/command_line.h"
#include "export/record_format.h"
#include "files/byte_output.h"
#include "settings/log_time.h"
#include "settings/station_settings.h"

namespace orvalin::cli {

// --archive FILE, or the user's station archive.
QString archivePathOf(const CommandLine& options);

class ArchiveImport {
public:
    // Frames are kept with their instants in `logTimeZone`, the zone of the log's times.
    static Result<std::unique_ptr<ArchiveImport>> open(const CommandLine& options,
                                                       const QTimeZone& logTimeZone);
    // The frame of an accepted line; kept with its slice, which is committed once full.
    void take(const ReceivedFrame& frame);
    // Commits the frames in hand; the first failure of this or of an earlier commit.
    Result<> commit();
    // "imported N new frames, M already in the archive; K lines not taken" (K: rejected
    // non-empty lines, and log lines whose frame is not all hex digits).
    QString summary(std::uint64_t rejectedLines) const;

private:
    ArchiveImport(std::unique_ptr<FrameArchive> archive, const QTimeZone& zone);

    std::unique_ptr<FrameArchive> archive_;
    LogTimeConverter zone_;
    QList<NewFrame> inHand_;
    std::uint64_t added_ = 0;
    std::uint64_t already_ = 0;
    std::uint64_t notHex_ = 0;
    std::optional<Failure> failure_;  // of a commit; nothing more is kept after it
};

class DryRun {
public:
    // Posts as `station` would, to its server.
    static Result<std::unique_ptr<DryRun>> open(const CommandLine& options,
                                                const StationSettings& station);
    // Writes the frame's form, one line, when the server would be sent it.
    void take(const ReceivedFrame& frame, BufferedWriter& out);
    // The first failure of reading the archive, if any.
    const std::optional<Failure>& failure() const { return failure_; }
    // Writes the form of every kept frame of the range the server has not sent or rejected.
    Result<> takeArchived(std::optional<qint64> since, std::optional<qint64> until,
                          BufferedWriter& out);

private:
    DryRun(StationSettings station, std::unique_ptr<FrameArchive> archive,
           std::optional<int> server);
    void write(const FrameBytes32& bytes, qint64 utc, BufferedWriter& out);

    StationSettings station_;
    LogTimeConverter zone_;
    std::unique_ptr<FrameArchive> archive_;  // none: nothing was ever kept
    std::optional<int> server_;              // none: nothing was ever offered to it
    std::optional<Failure> failure_;
    QSet<QByteArray> written_;  // the frames of the input written, each once as it is posted once
};

// Writes the kept frames of the range as records; frames without a UTC time come last, unless
// a range is given.
Result<> writeFromArchive(const CommandLine& options, RecordFormat& format, BufferedWriter& out);

// --share-status and --share-retry-rejected: an exit status; what they say goes to `out`,
// trouble to `err`.
int runShareStatus(const CommandLine& options, BufferedWriter& out, BufferedWriter& err);
int runRetryRejected(const CommandLine& options, BufferedWriter& out, BufferedWriter& err);

}  // namespace orvalin::cli
