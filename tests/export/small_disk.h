// A small file system of its own for one test: a tmpfs of a given size mounted over an
// existing directory, so that writing more than that fails with "No space left on device" as
// on a full disk. The mount lives in a mount namespace that only the calling thread (and
// processes it starts) enters, so nothing outside the test process ever sees it. Mounting
// needs the right to (root, in most containers); mounted() says whether it worked, why() why
// not.
#pragma once

#include <sched.h>
#include <sys/mount.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cerrno>
#include <cstring>

namespace orvalin {

class SmallDisk {
public:
    SmallDisk(const QString& directory, qint64 bytes) : directory_(QFile::encodeName(directory)) {
        static const QString namespaceError = enterPrivateMountNamespace();
        if (!namespaceError.isEmpty()) {
            why_ = namespaceError;
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
        if (::mount("orvalin-test", directory_.constData(), "tmpfs", 0, options.constData()) != 0) {
            why_ =
                QStringLiteral("mount -t tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        mounted_ = true;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(directory_.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    const QString& why() const { return why_; }

private:
    // Once per process: a mount namespace of this thread's own whose mounts do not propagate
    // back to the one it came from. Returns why that failed, or nothing.
    static QString enterPrivateMountNamespace() {
        if (::unshare(CLONE_NEWNS) != 0)
            return QStringLiteral("unshare(CLONE_NEWNS): ") +
                   QString::fromLocal8Bit(std::strerror(errno));
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return QStringLiteral("mount --make-rprivate /: ") +
                   QString::fromLocal8Bit(std::strerror(errno));
        return {};
    }

    QByteArray directory_;
    QString why_;
    bool mounted_ = false;
};

}  // namespace orvalin
