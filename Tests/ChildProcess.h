#pragma once

// A program started by a test: a tool of the build, or the test itself in a second process.
//
// QProcess starts its child with clone() sharing the parent's memory until the child execs. The thread
// sanitizer takes that for a fork and runs its bookkeeping for the forked child in the shared memory:
// the parent then counts as a child of a threaded fork, ignores its own main thread from there on and
// dies at its next new thread. posix_spawn() runs nothing of the sanitizer's in the child, so the tests
// stay checked after starting one.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess() { kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with this process's environment and `variables` over it; its standard output
    // and error go to files, read by output() and errors(). False when it could not be started.
    bool start(const QString& program, const QStringList& arguments,
               const QMap<QString, QString>& variables = {})
    {
        if (m_pid > 0 || !m_files.isValid())
            return false;
        std::vector<QByteArray> argumentBytes{QFile::encodeName(program)};
        for (const QString& argument : arguments)
            argumentBytes.push_back(argument.toLocal8Bit());
        std::vector<QByteArray> environmentBytes;
        for (char** variable = environ; *variable; ++variable) {
            const QByteArray entry(*variable);
            if (!variables.contains(QString::fromLocal8Bit(entry.left(entry.indexOf('=')))))
                environmentBytes.push_back(entry);
        }
        for (auto it = variables.begin(); it != variables.end(); ++it)
            environmentBytes.push_back((it.key() + u'=' + it.value()).toLocal8Bit());
        std::vector<char*> argv = pointers(argumentBytes), envp = pointers(environmentBytes);

        const QByteArray out = QFile::encodeName(m_files.filePath(QStringLiteral("out")));
        const QByteArray err = QFile::encodeName(m_files.filePath(QStringLiteral("err")));
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = 0;
        const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (failed)
            return false;
        m_pid = pid;
        m_status.reset();
        return true;
    }

    // True until the child has ended (it is then reaped).
    bool isRunning()
    {
        if (m_pid <= 0)
            return false;
        int status = 0;
        const pid_t reaped = waitpid(m_pid, &status, WNOHANG);
        if (reaped == 0 || (reaped < 0 && errno == EINTR))
            return true;
        m_status = reaped == m_pid ? status : -1;
        m_pid = 0;
        return false;
    }

    // False when the child still runs after `milliseconds`.
    bool waitForFinished(int milliseconds = 30000)
    {
        QElapsedTimer timer;
        timer.start();
        while (isRunning()) {
            if (timer.elapsed() > milliseconds)
                return false;
            QThread::msleep(5);
        }
        return true;
    }

    void kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_status = status;
        m_pid = 0;
    }

    // The code the child exited with; -1 while it runs, or when a signal ended it.
    int exitCode() const { return m_status && WIFEXITED(*m_status) ? WEXITSTATUS(*m_status) : -1; }

    QByteArray output() const { return read(QStringLiteral("out")); }
    QByteArray errors() const { return read(QStringLiteral("err")); }

private:
    static std::vector<char*> pointers(std::vector<QByteArray>& strings)
    {
        std::vector<char*> result;
        for (QByteArray& string : strings)
            result.push_back(string.data());
        result.push_back(nullptr);
        return result;
    }
    QByteArray read(const QString& name) const
    {
        QFile file(m_files.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_files;
    pid_t m_pid = 0;
    std::optional<int> m_status;
};
