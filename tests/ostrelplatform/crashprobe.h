#pragma once

// Runs the crash probe in a child process with an environment of its own and
// reads what the crash guard left behind.

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

struct ProbeResult {
    bool started = false;
    int signal = 0;    // the signal the child died of, or 0
    int exitCode = -1; // when it exited
};

class CrashProbe
{
public:
    static constexpr int kCannotTrace = 126; // the exit code when tracing is refused here

    explicit CrashProbe(const QString &program = QStringLiteral(OXCRASHPROBE_PATH))
        : m_program(program)
    {
        m_tmp = QDir(m_dir.path()).canonicalPath();
    }

    QString tmp() const { return m_tmp; }
    void setTmp(const QString &tmp) { m_tmp = tmp; }
    QString programName() const { return QFileInfo(m_program).fileName(); }
    QString dumpsFolder() const
    {
        return QDir(m_tmp).canonicalPath() + QStringLiteral("/ostrel-%1/Ostrel/Dumps/").arg(::geteuid())
               + programName();
    }
    QStringList files(const QString &pattern) const
    {
        return QDir(dumpsFolder()).entryList({pattern}, QDir::Files, QDir::Name);
    }

    ProbeResult run(const QByteArray &mode, const QMap<QByteArray, QByteArray> &extra = {}, bool traced = false)
    {
        std::vector<QByteArray> entries;
        for (char **entry = environ; *entry; ++entry) {
            const QByteArray text(*entry);
            if (!text.startsWith("OSTREL_") && !text.startsWith("TMPDIR=") && !text.startsWith("ASAN_OPTIONS=")
                && !text.startsWith("COMPUTERNAME="))
                entries.push_back(text);
        }
        entries.push_back("TMPDIR=" + m_tmp.toLocal8Bit());
        entries.push_back("ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0:detect_leaks=0");
        for (auto it = extra.begin(); it != extra.end(); ++it)
            entries.push_back(it.key() + '=' + it.value());
        std::vector<char *> envp;
        for (QByteArray &entry : entries)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        QByteArray program = m_program.toLocal8Bit();
        QByteArray modeArgument = mode;
        char *argv[] = {program.data(), modeArgument.data(), nullptr};

        ProbeResult result;
        pid_t child = -1;
        if (traced) {
            child = fork();
            if (child == 0) {
                if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
                    _exit(kCannotTrace);
                execve(argv[0], argv, envp.data());
                _exit(127);
            }
        } else if (posix_spawn(&child, argv[0], nullptr, nullptr, argv, envp.data()) != 0) {
            return result;
        }
        result.started = child > 0;
        int status = 0;
        for (;;) {
            if (waitpid(child, &status, 0) < 0 && errno != EINTR)
                return result;
            if (WIFSTOPPED(status)) {
                // Act as a debugger that passes every signal on, except the
                // stop that exec reports.
                const int stop = WSTOPSIG(status);
                ptrace(PTRACE_CONT, child, nullptr, reinterpret_cast<void *>(long(stop == SIGTRAP ? 0 : stop)));
                continue;
            }
            break;
        }
        if (WIFSIGNALED(status))
            result.signal = WTERMSIG(status);
        else if (WIFEXITED(status))
            result.exitCode = WEXITSTATUS(status);
        return result;
    }

private:
    QTemporaryDir m_dir;
    QString m_program;
    QString m_tmp;
};
