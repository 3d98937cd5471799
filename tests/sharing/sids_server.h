// The local SiDS server of the tests (sids_server.py), started on 127.0.0.1 for one test and
// stopped with it; it stops by itself after a minute in any case.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>

namespace orvalin::test {

class SidsServer {
public:
    // `port` 0 takes a free one.
    explicit SidsServer(const QStringList& arguments = {}, int port = 0) {
        process_.start(QStringLiteral("python3"),
                       QStringList{QStringLiteral(SIDS_SERVER_SCRIPT), QStringLiteral("--log"),
                                   logPath(), QStringLiteral("--lifetime"), QStringLiteral("60"),
                                   QStringLiteral("--port"), QString::number(port)} +
                           arguments);
        while (process_.waitForReadyRead(10000) && !process_.canReadLine()) {
        }
        const QByteArray line = process_.readLine().trimmed();
        EXPECT_TRUE(line.startsWith("PORT ")) << line.toStdString();
        port_ = line.mid(5).toInt();
    }
    ~SidsServer() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    SidsServer(const SidsServer&) = delete;
    SidsServer& operator=(const SidsServer&) = delete;

    QUrl url(bool https = false) const {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2/submit")
                        .arg(https ? QStringLiteral("https") : QStringLiteral("http"))
                        .arg(port_));
    }
    // Every POST so far, in order.
    QList<QJsonObject> posts() const {
        QFile log(logPath());
        QList<QJsonObject> posts;
        if (!log.open(QIODevice::ReadOnly)) return posts;
        while (!log.atEnd()) {
            const QByteArray line = log.readLine().trimmed();
            if (!line.isEmpty()) posts.append(QJsonDocument::fromJson(line).object());
        }
        return posts;
    }

    // A port of 127.0.0.1 that nothing listens on (for a server that is down).
    static int freePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return probe.serverPort();
    }

private:
    QString logPath() const { return dir_.filePath(QStringLiteral("posts.jsonl")); }

    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
};

}  // namespace orvalin::test
