#pragma once

// Helpers shared by the test programs.

// Standard library
#include <cstdint>
#include <functional>
#include <vector>

// Qt
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
// System
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testutils {

// A temporary folder removed with everything in it when the sandbox goes.
class Sandbox {
public:
    Sandbox() : dir_(QDir::tempPath() + QStringLiteral("/gavrel-test-XXXXXX")) {}
    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

    // Writes `bytes` to `name` (folders created as needed) and returns the full path.
    QString write(const QString& name, const QByteArray& bytes) const {
        const QString full = filePath(name);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile file(full);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(bytes);
        }
        return full;
    }

    QString mkdir(const QString& name) const {
        QDir().mkpath(filePath(name));
        return filePath(name);
    }

private:
    QTemporaryDir dir_;
};

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#ifdef Q_OS_UNIX
// How a child process of the test ended.
struct ChildResult {
    bool started = false; // false: no child could run as asked
    int signal = 0;       // the signal that ended it, 0 when it exited
    int code = 0;         // what `body` returned, -128 .. 127
};

// Runs `body` in a forked child, as the user `nobody` when `asNobody` (which needs root).
inline ChildResult runInChild(const std::function<int()>& body, bool asNobody = false) {
    const passwd* nobody = asNobody ? ::getpwnam("nobody") : nullptr;
    if (asNobody && (nobody == nullptr || ::geteuid() != 0)) {
        return {};
    }
    const uid_t uid = nobody != nullptr ? nobody->pw_uid : 0;
    const gid_t gid = nobody != nullptr ? nobody->pw_gid : 0;
    const pid_t pid = ::fork();
    if (pid < 0) {
        return {};
    }
    if (pid == 0) {
        if (asNobody &&
            (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
            ::_exit(200);
        }
        ::_exit(body() & 0xFF);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) {
        return {};
    }
    if (WIFSIGNALED(status)) {
        return {true, WTERMSIG(status), 0};
    }
    const int code = WEXITSTATUS(status);
    if (asNobody && code == 200) {
        return {};
    }
    return {true, 0, static_cast<std::int8_t>(code)};
}

inline uid_t nobodyUid() {
    const passwd* nobody = ::getpwnam("nobody");
    return nobody != nullptr ? nobody->pw_uid : 0;
}

inline gid_t nobodyGid() {
    const passwd* nobody = ::getpwnam("nobody");
    return nobody != nullptr ? nobody->pw_gid : 0;
}
#endif

} // namespace testutils
