// Sharing in the window, end to end against the local SiDS server: TLM File, Share Frames.
#include <QAction>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QSet>

#include "../sharing/sids_server.h"
#include "main_window_harness.h"
#include "shell/history_window.h"
#include "shell/window_sharing.h"

namespace orvalin::test {
namespace {

QByteArray lines(int first, int count) {
    QByteArray bytes;
    for (int r = first; r < first + count; ++r) bytes += logLine(r, r).toLatin1() + "\n";
    return bytes;
}

class WindowSharingTest : public WindowHarness {
protected:
    void SetUp() override {
        ASSERT_TRUE(data_.isValid());
        qputenv("XDG_DATA_HOME", data_.path().toUtf8());
    }
    void TearDown() override {
        WindowHarness::TearDown();
        qunsetenv("XDG_DATA_HOME");
    }
    void writeFile(const QString& path, const QByteArray& bytes,
                   QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate) {
        QFile out(path);
        ASSERT_TRUE(out.open(mode)) << path.toStdString();
        out.write(bytes);
    }
    void writeConf(const QByteArray& entries, const QString& userInfo = {}) {
        writeFile(appDir_.filePath(QStringLiteral("conf.ini")),
                  "SHARE_URL=" +
                      server_.url()
                          .toString()
                          .replace(QStringLiteral("//"), QStringLiteral("//") + userInfo)
                          .toLatin1() +
                      "\nCALLSIGN=TEST\nLATITUDE=52.52\nLONGITUDE=13.405\n" + entries);
    }
    QAction* share() { return form().sharing().shareAction(); }
    QStringList postedFrames() const {
        QStringList frames;
        for (const QJsonObject& post : server_.posts())
            frames << post.value(QStringLiteral("form"))
                          .toObject()
                          .value(QStringLiteral("frame"))
                          .toString();
        return frames;
    }

    SidsServer server_;
    QTemporaryDir data_;
    QTemporaryDir logs_;
};

// A log followed from the window's start and its new lines are shared once each, also those
// beyond the 1000 lines the box keeps while following; the same text pasted again and a line
// typed key by key are not. The server's password is neither shown nor kept.
TEST_F(WindowSharingTest, FollowedLogWithShareOnPostsEachFrameOnce) {
    writeConf("NORAD_ID=43017\nSHARE=YES\n", QStringLiteral("station:secret@"));
    const QString log = logs_.filePath(QStringLiteral("pass.log"));
    writeFile(log, lines(1, 1003));
    open();
    form().applyCommandLine({.follow = true, .files = {log}});  // as main() does, at once
    EXPECT_TRUE(share()->isChecked());
    writeFile(log, lines(1004, 2) + logLine(1006, 6).toLatin1().left(40),
              QIODevice::WriteOnly | QIODevice::Append);
    form().checkFollowedFile();
    ASSERT_TRUE(QTest::qWaitFor([this] { return server_.posts().size() >= 1005; }, 30000));

    paste(QString::fromLatin1(lines(1, 5)));
    form().setFollowing(false);
    typeText(logLine(1007, 7));
    QTest::qWait(600);
    QStringList expected;
    for (int r = 1; r <= 1005; ++r) expected << logLine(r, r).right(64).toUpper();
    EXPECT_EQ(postedFrames(), expected);

    form().sharing().statusAction()->trigger();
    ASSERT_NE(form().sharing().statusDialog(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor(
        [this] {
            return form().sharing().statusDialog()->valueText(QStringLiteral("Sent")) ==
                   QLocale().toString(1005);
        },
        2000));
    EXPECT_EQ(form().sharing().statusDialog()->valueText(QStringLiteral("Waiting")), u"0");
    EXPECT_EQ(form().sharing().statusDialog()->valueText(QStringLiteral("Server")),
              server_.url().toString());
}

// Every frame the window takes in is kept, whether it shares or not: the Mission History shows
// what was kept before it opened and what comes after, each once, and exports the range as the
// batch decoder writes it. ARCHIVE=NO keeps nothing while sharing is off, and nor does a bad
// LOG_TIME_ZONE, which would give the frames wrong times.
TEST_F(WindowSharingTest, MissionHistoryShowsWhatTheWindowKept) {
    writeConf("NORAD_ID=43017\n");
    open();
    paste(QString::fromLatin1(lines(1, 3)));
    form().menu().missionHistory->trigger();
    HistoryWindow* history = form().historyWindow();
    ASSERT_NE(history, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([history] { return history->series().size() == 3; }, 10000));
    paste(QString::fromLatin1(lines(1, 5)));  // two of them new
    ASSERT_TRUE(QTest::qWaitFor([history] { return history->series().size() == 5; }, 10000));

    const QString csv = logs_.filePath(QStringLiteral("history.csv"));
    form().setHistoryExportAsker([csv](QWidget*) { return csv; });
    auto* exportButton = history->findChild<QPushButton*>(QStringLiteral("HistoryExport"));
    ASSERT_TRUE(QTest::qWaitFor([exportButton] { return exportButton->isEnabled(); }, 2000));
    exportButton->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [history] { return history->statusText().startsWith(u"5 frames written"); }, 10000))
        << history->statusText().toStdString();
    QProcess batch;
    batch.start(QStringLiteral(ORVALIN_DECODE_PROGRAM),
                {QStringLiteral("--from-archive"), QStringLiteral("-t"), QStringLiteral("-i"),
                 QStringLiteral("--archive"), form().locations().archivePath});
    ASSERT_TRUE(batch.waitForFinished(10000));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), batch.readAllStandardOutput());
    window_->close();
    window_.reset();

    for (const QByteArray& setting :
         {QByteArray("ARCHIVE=NO"), QByteArray("LOG_TIME_ZONE=Mars/Olympus")}) {
        writeConf("NORAD_ID=43017\n" + setting + '\n');
        open();
        paste(QString::fromLatin1(lines(20, 2)));
        form().menu().missionHistory->trigger();
        QTest::qWait(300);
        EXPECT_EQ(form().historyWindow()->series().size(), 5u) << setting.constData();
        EXPECT_EQ(form().statusLine()->text().startsWith(u"Frames are not kept: LOG_TIME_ZONE"),
                  setting.startsWith("LOG"));
        window_->close();
        window_.reset();
    }
}

// What keeps sharing from starting is said: a missing setting in a message box, an archive that
// cannot be made on the status line. Decoding goes on and nothing is sent.
TEST_F(WindowSharingTest, ProblemsAreSaidAndDecodingGoesOn) {
    for (const bool archiveUnwritable : {false, true}) {
        SCOPED_TRACE(archiveUnwritable ? "archive unwritable" : "missing key");
        writeConf(archiveUnwritable ? "NORAD_ID=43017\n" : "");
        if (archiveUnwritable) {
            // The data folder is a file: no archive can be made below it.
            writeFile(data_.filePath(QStringLiteral("blocked")), "x");
            qputenv("XDG_DATA_HOME", data_.filePath(QStringLiteral("blocked")).toUtf8());
        }
        open();
        share()->trigger();
        if (archiveUnwritable) {
            EXPECT_TRUE(QTest::qWaitFor(
                [this] { return form().statusLine()->text().startsWith(u"Sharing stopped: "); },
                5000))
                << form().statusLine()->text().toStdString();
        } else {
            ASSERT_EQ(messages_.size(), 1u);
            EXPECT_EQ(messages_[0].title, QStringLiteral("Share Frames"));
            EXPECT_TRUE(messages_[0].text.startsWith(u"Sharing needs NORAD_ID in conf.ini."))
                << messages_[0].text.toStdString();
        }
        EXPECT_FALSE(share()->isChecked());
        paste(QString::fromLatin1(lines(1, 2)));
        EXPECT_EQ(form().records().count(), 2);
        window_->close();
        window_.reset();
    }
    EXPECT_TRUE(server_.posts().isEmpty());
}

}  // namespace
}  // namespace orvalin::test
