// Sharing end to end against the local SiDS server: what arrives, and what a failing server
// leads to. Waits are short: the first retry comes after 50 ms here.
#include "sharing/sharing_service.h"

#include <gtest/gtest.h>

#include <QTest>

#include "decoder/test_lines.h"
#include "sids_server.h"

namespace orvalin {
namespace {

using test::SidsServer;

QList<ReceivedFrame> frames(int count) {
    QList<ReceivedFrame> out;
    for (int n = 0; n < count; ++n) {
        const QString frame64 = QStringLiteral("%1").arg(n, 2, 16, QLatin1Char('0')).repeated(32);
        out.append(receivedFrameOf(test::lineWithFrame(frame64).utf16()));
    }
    return out;
}

class Sharing {
public:
    explicit Sharing(const QUrl& url, const QString& archive = {}, int timeoutMs = 2000) {
        SharingOptions options;
        options.archivePath = archive.isEmpty() ? dir_.filePath("frames.sqlite") : archive;
        options.station = stationSettingsFrom({{"SHARE_URL", url.toString()},
                                               {"NORAD_ID", "43017"},
                                               {"CALLSIGN", "DL0 abc&x"},
                                               {"LATITUDE", "52.52"},
                                               {"LONGITUDE", "-0.5"},
                                               {"LOG_TIME_ZONE", "+01:00"}});
        options.version = QStringLiteral("0.2");
        options.retry.firstWait = std::chrono::milliseconds(50);
        options.timeoutMs = timeoutMs;
        service_ = std::make_unique<SharingService>(options);
        QObject::connect(service_.get(), &SharingService::statusChanged,
                         [this](const SharingStatus& status) { status_ = status; });
        service_->start();
    }
    SharingService& service() { return *service_; }
    const SharingStatus& status() const { return status_; }
    bool waitFor(const std::function<bool(const SharingStatus&)>& done, int ms = 10000) {
        return QTest::qWaitFor([&] { return done(status_); }, ms);
    }

private:
    QTemporaryDir dir_;
    SharingStatus status_;  // before the service, whose destructor still reports to it
    std::unique_ptr<SharingService> service_;
};

QStringList postedFrames(const QList<QJsonObject>& posts) {
    QStringList posted;
    for (const QJsonObject& post : posts) posted << post["form"].toObject()["frame"].toString();
    return posted;
}

TEST(SharingService, ServerDownThenUpSendsEachFrameOnceWithExactlyTheFields) {
    const int port = SidsServer::freePort();
    Sharing sharing(QUrl(QStringLiteral("http://127.0.0.1:%1/submit").arg(port)));
    sharing.service().addFrames(frames(5));
    sharing.service().addFrames(frames(5));  // the same frames again: nothing new
    ASSERT_TRUE(sharing.waitFor([](auto& s) { return !s.lastFailure.isEmpty(); }));
    EXPECT_EQ(sharing.status().waiting, 5);

    SidsServer server({}, port);
    ASSERT_TRUE(sharing.waitFor([](auto& s) { return s.sent == 5 && s.waiting == 0; }));
    const QList<QJsonObject> posts = server.posts();
    ASSERT_EQ(posts.size(), 5);
    EXPECT_EQ(postedFrames(posts).removeDuplicates(), 0);
    EXPECT_EQ(posts[0]["content_type"].toString(), "application/x-www-form-urlencoded");
    EXPECT_EQ(posts[0]["body"].toString(),
              "noradID=43017&source=DL0%20abc%26x&timestamp=2026-12-06T11%3A34%3A56.000Z"
              "&frame=" +
                  QStringLiteral("00").repeated(32) +
                  "&locator=longLat&longitude=0.5W&latitude=52.52N&version=0.2");
}

TEST(SharingService, RejectedFramesAreKeptAndNeverRetried) {
    SidsServer server({"--answer", "400", "--reason", "unknown satellite"});
    Sharing sharing(server.url());
    sharing.service().addFrames(frames(2));
    ASSERT_TRUE(sharing.waitFor([](auto& s) { return s.rejected == 2; }));
    QTest::qWait(300);
    EXPECT_EQ(server.posts().size(), 2);
    EXPECT_EQ(sharing.status().lastFailure, "");
}

TEST(SharingService, FailedPostsAreRetriedUntilSentOnce) {
    struct Row {
        QStringList server;
        double shortestGap;  // seconds between the two posts
        const char* failure;
    };
    const Row rows[] = {
        {{"--answer", "429", "--retry-after", "1", "--times", "1"}, 0.9, "HTTP 429: slow down"},
        {{"--answer", "500", "--times", "1"}, 0.04, "HTTP 500"},
        // The server has the POST, then closes the connection before the answer.
        {{"--answer", "drop", "--times", "1"}, 0.04, "closed"},
        {{"--answer", "stall", "--stall", "3", "--times", "1"}, 0.5, "no answer within 0.5 s"},
    };
    for (const Row& row : rows) {
        SidsServer server(row.server);
        Sharing sharing(server.url(), {}, 500);
        sharing.service().addFrames(frames(1));
        ASSERT_TRUE(sharing.waitFor([](auto& s) { return s.sent == 1; })) << row.failure;
        const QList<QJsonObject> posts = server.posts();
        ASSERT_EQ(posts.size(), 2) << row.failure;
        EXPECT_EQ(posts.last()["answer"].toString(), "201") << row.failure;
        EXPECT_GE(posts.last()["time"].toDouble() - posts.at(posts.size() - 2)["time"].toDouble(),
                  row.shortestGap)
            << row.failure;
        EXPECT_TRUE(sharing.status().lastFailure.contains(QLatin1String(row.failure)))
            << sharing.status().lastFailure.toStdString();
    }
}

// The status line decides; a body longer than the 64 KiB kept is cut there, and the next post
// goes on a new connection.
TEST(SharingService, LongAnswersAreJudgedByTheirStatus) {
    struct Row {
        const char* name;
        QStringList server;  // for the first answer
        qint64 sent;
        bool newConnection;
    };
    const Row rows[] = {
        {"201 with 500 MB", {"--body-bytes", "500000000"}, 2, true},
        {"201 with 500 MB, chunked", {"--body-bytes", "500000000", "--chunked"}, 2, true},
        {"400 with 500 MB", {"--answer", "400", "--body-bytes", "500000000"}, 1, true},
        {"201 with the 64 KiB kept", {"--body-bytes", "65536"}, 2, false},
    };
    for (const Row& row : rows) {
        SidsServer server(row.server + QStringList{"--times", "1"});
        Sharing sharing(server.url());
        sharing.service().addFrames(frames(2));
        ASSERT_TRUE(sharing.waitFor([](auto& s) { return s.sent + s.rejected == 2; })) << row.name;
        EXPECT_EQ(sharing.status().sent, row.sent) << row.name;
        const QList<QJsonObject> posts = server.posts();
        ASSERT_EQ(posts.size(), 2) << row.name;
        EXPECT_EQ(posts[1]["port"] != posts[0]["port"], row.newConnection) << row.name;
    }
}

TEST(SharingService, AMovedServerStopsSharingWithItsNewAddress) {
    SidsServer server({"--answer", "301", "--location", "/v2/submit", "--times", "1"});
    Sharing sharing(server.url());
    sharing.service().addFrames(frames(3));
    ASSERT_TRUE(sharing.waitFor([](auto& s) { return !s.stopped.isEmpty(); }));
    EXPECT_EQ(sharing.status().stopped.toStdString(),
              QStringLiteral("Sharing stopped: the server answered 301 and moved to "
                             "http://127.0.0.1:%1/v2/submit; fix SHARE_URL in conf.ini.")
                  .arg(server.url().port())
                  .toStdString());
    EXPECT_FALSE(sharing.status().on);
    QTest::qWait(300);
    EXPECT_EQ(server.posts().size(), 1);
    // Turned on again, it sends every frame, the one that met the 301 too.
    sharing.service().start();
    ASSERT_TRUE(sharing.waitFor([](auto& s) { return s.sent == 3; }));
    EXPECT_EQ(server.posts().size(), 4);
}

TEST(SharingService, TwoProgramsOnOneArchivePostEachFrameOnce) {
    SidsServer server;
    QTemporaryDir dir;
    Sharing window(server.url(), dir.filePath("frames.sqlite"));
    Sharing batch(server.url(), dir.filePath("frames.sqlite"));
    for (int round = 0; round < 4; ++round) {
        window.service().addFrames(frames(10 * round + 10));
        batch.service().addFrames(frames(10 * round + 10));
    }
    ASSERT_TRUE(window.waitFor([](auto& s) { return s.sent == 40 && s.waiting == 0; }));
    QTest::qWait(100);
    const QStringList posted = postedFrames(server.posts());
    EXPECT_EQ(posted.size(), 40);
    EXPECT_EQ(QStringList(posted).removeDuplicates(), 0);
}

TEST(SharingService, SelfSignedCertificateIsAFailureAndNothingIsPosted) {
    SidsServer server({"--https"});
    Sharing sharing(server.url(true));
    sharing.service().addFrames(frames(1));
    ASSERT_TRUE(sharing.waitFor([](auto& s) { return !s.lastFailure.isEmpty(); }));
    EXPECT_TRUE(sharing.status().lastFailure.contains(QLatin1String("SSL")))
        << sharing.status().lastFailure.toStdString();
    EXPECT_TRUE(sharing.status().nextTry.isValid());
    EXPECT_EQ(sharing.status().waiting, 1);
    EXPECT_EQ(server.posts().size(), 0);
}

}  // namespace
}  // namespace orvalin
