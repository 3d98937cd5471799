// Following a log file that another program writes: the one follower of the window and of the
// batch decoder.
//
//   LogFollower(path).start() --> check() --> the new complete lines
//                                         |-> read again from its start (truncated, replaced,
//                                         |   or written anew in place)
//                                         \-> the end: gone, not a file any more, unreadable
//
// It never waits. check() looks at the file once, reads at most ReadSize bytes, and says when
// more are waiting; the caller checks every FollowPollInterval and whenever it hears of a
// change. Lines end at every break of the line rule (decoder/line_rule.h): a CR that ends what
// was read ends its line at once, and an LF that comes next belongs to it. A byte-order mark
// at the start of the file is dropped, after every start again too. Memory stays one read
// and the unfinished line, which is handed on once it is longer than the caller's bound.
#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "decoder/line_rule.h"
#include "files/failure.h"

namespace orvalin {

// How often both programs look at a followed file: within a second of a line's arrival, even
// where the file system sends no change notices.
inline constexpr std::chrono::milliseconds FollowPollInterval{250};

class LogFollower {
public:
    struct Update {
        // The new complete lines, each ended by an LF whatever break ended it in the file.
        // After an overlong line has begun (below), the bytes may end inside that line.
        QByteArray lines;
        bool restarted = false;  // the file is read again from its start: `lines` begin there
        bool more = false;       // more bytes are waiting: check again at once
        // Above 0: the line being written is longer than the bound, this many characters so
        // far. Its bytes so far end `lines`, and the next updates bring the rest of it.
        qsizetype overlongLine = 0;
        // Set once following has ended: Missing (gone on two counted checks in a row, or
        // missing at the start), Folder, NotAFile (a device, pipe or socket: reading it may
        // never end) or Unreadable (the errno says why). Every later check says the same.
        std::optional<Failure> ended;
    };

    // `longestLine`: the unfinished line is handed on once it has more characters than this.
    LogFollower(std::string path, qsizetype longestLine);
    ~LogFollower();
    LogFollower(const LogFollower&) = delete;
    LogFollower& operator=(const LogFollower&) = delete;

    // Opens the file, to be read from `from`, the start of a line. Following, or why not.
    Update start(off_t from = 0);
    // A rotated log is renamed and then created anew, and a change notice may come in between:
    // checks after such notices pass countAbsence = false, and only the others count a missing
    // file.
    Update check(bool countAbsence = true);

    const std::string& path() const { return path_; }
    // The size of the file as last seen.
    off_t fileSize() const { return size_; }

private:
    Update open();
    Update end(Failure failure);
    void restartAt(off_t from);
    bool rewritten();
    void readMore(Update& update);
    void cutLines(Update& update, QByteArrayView read);
    void handOn(Update& update, QByteArrayView line, bool lineEnds);

    std::string path_;
    qsizetype longestLine_;
    std::unique_ptr<char[]> buffer_;
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    off_t size_ = 0;
    off_t offset_ = 0;         // the bytes of the file read
    QByteArray lastBytes_;     // the bytes just before offset_, to notice a file rewritten in place
    Utf8LineCutter cutter_;    // holds the unfinished line
    bool atFileStart_ = true;  // nothing of the first line handed on yet
    bool inOverlongLine_ = false;
    qsizetype overlongCharacters_ = 0;
    int missingChecks_ = 0;
    std::optional<Failure> ended_;
};

}  // namespace orvalin
