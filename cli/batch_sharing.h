// --share: the frames of the accepted lines go into the station archive and from there, one
// post at a time, to the mission's server (sharing/sharing_service.h).
//
//   accepted line --take--> frames in hand --every FramesPerHandOver, and before each wait-->
//        SharingService (archive, queue) --posts while the program waits: between the looks
//        of --follow, or at the end (finish) until the run's frames are all answered
//
// The settings are read and checked before anything else happens; the output of the decoder
// is never touched.
#pragma once

#include <QList>
#include <QStringView>
#include <chrono>
#include <memory>
#include <string>

#include "cli/command_line.h"
#include "files/byte_output.h"
#include "files/failure.h"
#include "sharing/sharing_service.h"

class QCoreApplication;

namespace orvalin::cli {

class BatchSharing {
public:
    // The settings of the command line and conf.ini, or the usage error that names what is
    // missing.
    static Result<SharingOptions> optionsOf(const CommandLine& options);
    static std::unique_ptr<BatchSharing> create(const CommandLine& options, SharingOptions sharing);
    ~BatchSharing();
    BatchSharing(const BatchSharing&) = delete;
    BatchSharing& operator=(const BatchSharing&) = delete;

    // Opens the archive and starts posting what waits there. An archive fault that stops
    // sharing is reported on `err`, once; decoding goes on.
    void start(BufferedWriter& err);
    // The frame of an accepted line: archived and queued when it is a real one.
    void take(const ReceivedFrame& frame);
    // Offers the archived frames of the range the server never had (--from-archive --share).
    void offerArchived(std::optional<qint64> since, std::optional<qint64> until);
    // Runs the posts for about `time` (the waits of --follow).
    void runFor(std::chrono::milliseconds time);
    // With `waitForFrames`, posts until every frame of the run, and then every one others left
    // waiting, is sent or rejected, at most --share-wait seconds or until SIGINT or SIGTERM; a
    // post in flight is then abandoned and its frame stays waiting. Then says in one line what
    // became of the run's frames, and returns whether none was rejected, sharing did not stop,
    // and (when it waited) none is left waiting.
    bool finish(bool waitForFrames);
    // Stops posting; whatever waits stays in the archive.
    void stop();

private:
    BatchSharing(const CommandLine& options, SharingOptions sharing);
    void handOver();
    void onStatus(const SharingStatus& status);
    void say(const QString& text);

    std::unique_ptr<QCoreApplication> application_;  // when the program has none yet
    std::unique_ptr<SharingService> service_;
    QString archivePath_;
    std::chrono::seconds wait_;
    QList<ReceivedFrame> inHand_;
    SharingStatus status_;
    bool statusCurrent_ = false;  // status_ came after the last frames were handed over
    QString stoppedReported_;
    bool noteReported_ = false;
    bool waitReported_ = false;
    BufferedWriter* err_ = nullptr;
};

}  // namespace orvalin::cli
