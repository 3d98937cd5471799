// A temporary user for tests of the installed window: HOME points into a temporary folder, and
// XDG_CONFIG_HOME and XDG_DATA_HOME are set or unset as asked; all are restored at the end.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <utility>

namespace orvalin::test {

class TemporaryUser {
public:
    TemporaryUser() {
        QDir(root_.path()).mkpath(QStringLiteral("home"));
        qputenv("HOME", QFile::encodeName(home()));
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
    }
    ~TemporaryUser() {
        restore("HOME", savedHome_);
        restore("XDG_CONFIG_HOME", savedConfigHome_);
        restore("XDG_DATA_HOME", savedDataHome_);
    }
    TemporaryUser(const TemporaryUser&) = delete;
    TemporaryUser& operator=(const TemporaryUser&) = delete;

    QString root() const { return root_.path(); }
    QString home() const { return root_.path() + QStringLiteral("/home"); }
    // Sets XDG_CONFIG_HOME; "<root>" in value stands for root().
    void setConfigHome(QString value) { set("XDG_CONFIG_HOME", std::move(value)); }
    void setDataHome(QString value) { set("XDG_DATA_HOME", std::move(value)); }

private:
    void set(const char* name, QString value) {
        qputenv(name, QFile::encodeName(value.replace(QStringLiteral("<root>"), root())));
    }
    static void restore(const char* name, const std::optional<QByteArray>& value) {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    static std::optional<QByteArray> saved(const char* name) {
        return qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    }

    std::optional<QByteArray> savedHome_ = saved("HOME");
    std::optional<QByteArray> savedConfigHome_ = saved("XDG_CONFIG_HOME");
    std::optional<QByteArray> savedDataHome_ = saved("XDG_DATA_HOME");
    QTemporaryDir root_;
};

}  // namespace orvalin::test
