// The one follower, as the window and the batch decoder use it: a file written, cut, replaced
// and turned into other things between two checks.
#include "files/log_follower.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <vector>

#include "decoder/line_rule.h"

namespace orvalin {
namespace {

// How following stands: going on, or the kind of failure that ended it.
using State = std::optional<FailureKind>;
constexpr State Following = std::nullopt;

State stateOf(const LogFollower::Update& update) {
    return update.ended ? State(update.ended->kind) : Following;
}

// The longest unfinished line held before it is handed on in pieces.
constexpr qsizetype Bound = 64 * 1024;

// ReplaceAfterAppend: the bytes before a '|' are appended to the file, the rest make the new
// file that replaces it.
enum class Change {
    None,
    Append,
    Rewrite,
    Replace,
    ReplaceAfterAppend,
    Remove,
    Fifo,
    DevZero,
    Folder
};

struct Step {
    Change change;
    QByteArray bytes;
    QByteArray lines;  // what the checks until no more bytes wait hand on
    bool restarted = false;
    State state = Following;
    qsizetype overlongLine = 0;
    bool counted = true;  // the check counts a missing file (no change notice prompted it)
};

struct FollowCase {
    const char* name;
    QByteArray initial;
    std::vector<Step> steps;
};

const QByteArray Bom(Utf8ByteOrderMark.data(), 3);
const QByteArray Overlong(Bound + 1, 'a');

class FollowerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path(const char* name = "pass.log") const { return dir_.filePath(name); }
    static void write(const QString& file, const QByteArray& bytes, bool append = false) {
        QFile out(file);
        ASSERT_TRUE(out.open(append ? QIODevice::Append : QIODevice::WriteOnly));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }
    void change(Change c, const QByteArray& bytes) {
        const QByteArray name = QFile::encodeName(path());
        if (c >= Change::Remove) QFile::remove(path());
        switch (c) {
            case Change::None:
            case Change::Remove:
                break;
            case Change::Append:
                write(path(), bytes, true);
                break;
            case Change::Rewrite:  // the same file, cut and written again
                write(path(), bytes);
                break;
            case Change::ReplaceAfterAppend:
                write(path(), bytes.first(bytes.indexOf('|')), true);
                write(path("pass.new"), bytes.sliced(bytes.indexOf('|') + 1));
                ASSERT_EQ(::rename(QFile::encodeName(path("pass.new")), name), 0);
                break;
            case Change::Replace:
                write(path("pass.new"), bytes);
                ASSERT_EQ(::rename(QFile::encodeName(path("pass.new")), name), 0);
                break;
            case Change::Fifo:
                ASSERT_EQ(::mkfifo(name, 0600), 0);
                break;
            case Change::DevZero:
                ASSERT_EQ(::symlink("/dev/zero", name), 0);
                break;
            case Change::Folder:
                ASSERT_EQ(::mkdir(name, 0700), 0);
                break;
        }
    }

    QTemporaryDir dir_;
};

TEST_F(FollowerTest, HandsOnEveryCompleteLineOnce) {
    const FollowCase cases[] = {
        {"appended lines, a half line finished later",
         "1\n",
         {{Change::None, {}, "1\n"},
          {Change::Append, "2\n3", "2\n"},
          {Change::Append, "a\r\n", "3a\n"},
          {Change::Append, {}, {}}}},
        {"a lone CR, and a CR LF split across two checks",
         "1\r",
         {{Change::None, {}, "1\n"},
          {Change::Append, "\n2\r3\r", "2\n3\n"},
          {Change::Append, "\n\n4\n", "\n4\n"}}},
        {"every break of the rule, a U+2028 split across reads",
         {},
         {{Change::Append, "1\xE2\x80", {}},
          {Change::Append,
           "\xA8"
           "2\xE2\x80\xA9"
           "3\xEF\xB7\x90"
           "4\xEF\xB7\x91",
           "1\n2\n3\n4\n"},
          {Change::Append,
           "5\xC2\x85\x0B\x0C"
           "5\n",
           "5\xC2\x85\x0B\x0C"
           "5\n"}}},
        {"truncated",
         "1\n2\n",
         {{Change::None, {}, "1\n2\n"}, {Change::Rewrite, "3\n", "3\n", true}}},
        {"truncated and written again past its old size within one check",
         "1\n2\n3\n",
         {{Change::None, {}, "1\n2\n3\n"},
          {Change::Rewrite, "4\n5\n6\n7\n8\n", "4\n5\n6\n7\n8\n", true}}},
        {"replaced, after what was still written to the old file",
         "1\n",
         {{Change::None, {}, "1\n"}, {Change::ReplaceAfterAppend, "2\n3|4\n", "2\n4\n", true}}},
        {"a byte-order mark at the start, and again after rotation",
         Bom + "1\n",
         {{Change::None, {}, "1\n"},
          {Change::Append, Bom + "2\n", Bom + "2\n"},
          {Change::Replace, Bom + Bom + "3\n", Bom + "3\n", true},
          {Change::Rewrite, Bom, {}, true},
          {Change::Append, "4\n", "4\n"}}},
        {"missing for a moment, then gone",
         "1\n",
         {{Change::None, {}, "1\n"},
          {Change::Remove, {}, {}},
          {Change::None, {}, {}, false, Following, 0, false},
          {Change::Append, "2\n", "2\n", true},
          {Change::Remove, {}, {}},
          {Change::None, {}, {}, false, FailureKind::Missing}}},
        {"turned into a FIFO", "1\n", {{Change::Fifo, {}, {}, false, FailureKind::NotAFile}}},
        {"turned into a link to /dev/zero",
         "1\n",
         {{Change::DevZero, {}, {}, false, FailureKind::NotAFile},
          {Change::Rewrite, "2\n", {}, false, FailureKind::NotAFile}}},
        {"turned into a folder", "1\n", {{Change::Folder, {}, {}, false, FailureKind::Folder}}},
        {"an overlong unfinished line is handed on as it comes",
         "1\n",
         {{Change::Append, Overlong, "1\n" + Overlong, false, Following, Bound + 1},
          {Change::Append, "aa", "aa", false, Following, Bound + 3},
          {Change::Append, "\n2\n", "\n2\n"}}},
    };
    for (const FollowCase& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path());
        ::rmdir(QFile::encodeName(path()));
        write(path(), c.initial);
        LogFollower follower(QFile::encodeName(path()).toStdString(), Bound);
        ASSERT_EQ(stateOf(follower.start()), Following);
        int n = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE(n++);
            change(step.change, step.bytes);
            LogFollower::Update all;
            State state = Following;
            for (LogFollower::Update update; state == Following;) {
                update = follower.check(step.counted);
                all.lines += update.lines;
                all.restarted = all.restarted || update.restarted;
                all.overlongLine = std::max(all.overlongLine, update.overlongLine);
                state = stateOf(update);
                if (!update.more) break;
            }
            EXPECT_EQ(all.lines, step.lines);
            EXPECT_EQ(all.restarted, step.restarted);
            EXPECT_EQ(state, step.state);
            EXPECT_EQ(all.overlongLine, step.overlongLine);
        }
    }
}

// A path that is no regular file is refused before anything is read from it.
TEST_F(FollowerTest, RefusesWhatIsNoFile) {
    const struct {
        Change make;
        State state;
        int error;
    } cases[] = {{Change::Fifo, FailureKind::NotAFile, 0},
                 {Change::DevZero, FailureKind::NotAFile, 0},
                 {Change::Folder, FailureKind::Folder, EISDIR},
                 {Change::Remove, FailureKind::Missing, ENOENT}};
    for (const auto& c : cases) {
        change(c.make, {});
        LogFollower follower(QFile::encodeName(path()).toStdString(), Bound);
        const LogFollower::Update started = follower.start();
        EXPECT_EQ(stateOf(started), c.state);
        EXPECT_EQ(started.ended ? started.ended->error : 0, c.error);
        EXPECT_EQ(stateOf(follower.check()), c.state);
        ::rmdir(QFile::encodeName(path()));
    }
}

}  // namespace
}  // namespace orvalin
