#pragma once

// What the end-to-end tests share: the dev gateway with its voice world and
// program processes (each with its own HOME, TMPDIR and XDG folders), driven
// and read over their test control sockets. Every wait is on an answer: a
// process's output line or a control reply.

#include "devgateway.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace e2e {

inline const QString Domain = QStringLiteral("dev.tavri.test");

// One line of the program's log ("date time: category: level: where:
// message", the category and level padded): its parts.
struct LogLine {
    QString category;
    QString level;
    QString message;
};

inline QList<LogLine> readLog(const QString &path, qint64 from = 0)
{
    static const QRegularExpression format(
        QStringLiteral("^\\S+ \\S+: (\\S*) *: (debug|warning|critical|fatal) *: .*?: (.*)$"));
    QList<LogLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text) || !file.seek(from))
        return lines;
    while (!file.atEnd()) {
        const QString text = QString::fromUtf8(file.readLine()).trimmed();
        const QRegularExpressionMatch match = format.match(text);
        if (match.hasMatch())
            lines << LogLine{match.captured(1), match.captured(2), match.captured(3)};
        else if (!lines.isEmpty())
            lines.last().message += QLatin1Char('\n') + text; // a message of several lines
    }
    return lines;
}

// The allowed critical lines: "text | reason" each, '#' starting a comment.
// An entry without a reason is itself a failure, told in `error`.
inline QStringList readAllowList(const QString &path, QString *error)
{
    QStringList allowed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read ") + path;
        return allowed;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int bar = line.indexOf(QLatin1String(" | "));
        if (bar <= 0 || line.mid(bar + 3).trimmed().isEmpty()) {
            *error = QStringLiteral("allow-list entry without a reason: ") + line;
            continue;
        }
        allowed << line.left(bar).trimmed();
    }
    return allowed;
}

// The lines of a log that show a fault: a QML warning or error, a
// connection left unmade, a critical or fatal line not allowed, or an
// AddressSanitizer report.
inline QStringList faults(const QList<LogLine> &log, const QStringList &allowed)
{
    QStringList found;
    for (const LogLine &line : log) {
        const bool qmlWarning = line.level == "warning"
                                && (line.category == "qml" || line.category == "js" || line.message.contains("qrc:/")
                                    || line.message.contains(".qml:"));
        const bool unwired = line.message.contains("not wired");
        const bool critical = line.level == "critical" || line.level == "fatal";
        const bool allowedCritical =
            std::any_of(allowed.cbegin(), allowed.cend(), [&](const QString &a) { return line.message.contains(a); });
        if (qmlWarning || unwired || (critical && !allowedCritical))
            found << line.level + ": " + line.message;
    }
    return found;
}

// A control answer's value as the await answers show it.
inline QString shown(const QJsonValue &value)
{
    return value.toVariant().toString();
}

// Reads the lines that `process` writes to the file `path`, from offset
// `from` on, until one matches; the first capture (or the whole line when
// the pattern has none), empty when none came before the process ended or
// the time ran out.
inline QString awaitLine(QProcess &process, const QString &path, qint64 from, const QRegularExpression &pattern,
                         int timeoutMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        // Whatever the process wrote before it ended is read once more.
        const bool ended = process.state() == QProcess::NotRunning;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.seek(from)) {
            const QByteArray text = file.readAll();
            const int complete = text.lastIndexOf('\n') + 1;
            from += complete;
            for (const QByteArray &raw : text.left(complete).split('\n')) {
                const QString line = QString::fromUtf8(raw).trimmed();
                const QRegularExpressionMatch match = pattern.match(line);
                if (match.hasMatch())
                    return match.captured(1).isNull() ? line : match.captured(1);
            }
        }
        if (ended || clock.elapsed() >= timeoutMs)
            return QString();
        process.waitForFinished(50); // a short pause that also sees the process end
    }
}

// The dev gateway on free ports with its voice world, its store in `store`.
class Gateway
{
public:
    explicit Gateway(const QString &store)
        : m_store(store)
    {
    }
    ~Gateway() { stop(); }
    // Starts it (on the given ports, or free ones) and reads the ports it
    // took; false when it did not come up.
    bool start(quint16 httpPort = 0, quint16 worldPort = 0, const QStringList &extra = {})
    {
        // Its outputs go to files beside its store: it writes a line for every
        // call it answers, and a pipe that nobody reads once it is up would
        // fill and stop it in its next write, and with it every web call and
        // the voice world.
        const QString output = outputPath();
        const qint64 from = QFileInfo(output).size();
        m_process.setStandardOutputFile(output, QIODevice::Append);
        m_process.setStandardErrorFile(m_store + QLatin1String(".stderr.log"), QIODevice::Append);
        m_process.start(QStringLiteral(TAVRI_DEVGATEWAY),
                        QStringList{"--listen", QStringLiteral("127.0.0.1:%1").arg(httpPort), "--db", m_store,
                                    "--voice-world", QString::number(worldPort)}
                            + extra);
        this->httpPort = awaitLine(m_process, output, from,
                                   QRegularExpression(QStringLiteral("listening on http://127.0.0.1:(\\d+)/")))
                             .toUShort();
        this->worldPort =
            awaitLine(m_process, output, from, QRegularExpression(QStringLiteral("voice world on 127.0.0.1:(\\d+)")))
                .toUShort();
        return this->httpPort && this->worldPort;
    }
    // The file that holds its output, a line for each call among it.
    QString outputPath() const { return m_store + QLatin1String(".stdout.log"); }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            kill();
    }
    quint16 httpPort = 0;
    quint16 worldPort = 0;

private:
    QString m_store;
    QProcess m_process;
};

// One program process in its own folders under root/name.
class Client
{
public:
    Client(const QString &name, const QString &root, const Gateway &gateway)
        : m_dir(root + QLatin1Char('/') + name)
    {
        for (const char *sub : {"home", "tmp", "runtime", "data/Ostrel/Tavri", "config", "cache"})
            m_dir.mkpath(QString::fromLatin1(sub));
        QFile::setPermissions(m_dir.filePath("runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        DevGatewayOptions options;
        options.domain = Domain;
        QFile settings(m_dir.filePath("data/Ostrel/Tavri/RuntimeSettings.qml"));
        if (settings.open(QIODevice::WriteOnly))
            settings.write(DevGateway::runtimeSettings(options, gateway.httpPort).toUtf8());
        m_control = m_dir.filePath("runtime/control");
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert("HOME", m_dir.filePath("home"));
        m_environment.insert("TMPDIR", m_dir.filePath("tmp"));
        m_environment.insert("XDG_RUNTIME_DIR", m_dir.filePath("runtime"));
        m_environment.insert("XDG_DATA_HOME", m_dir.filePath("data"));
        m_environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        m_environment.insert("XDG_CACHE_HOME", m_dir.filePath("cache"));
        m_environment.insert("QT_QPA_PLATFORM", "offscreen");
        m_environment.insert("OSTRELSDK_WORLD", QStringLiteral("127.0.0.1:%1").arg(gateway.worldPort));
        m_environment.insert("TAVRI_TEST_CONTROL", m_control);
        m_process.setProcessEnvironment(m_environment);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        // Both outputs go to files: a pipe that nobody reads once the
        // program is up would fill and stop the program in its next write.
        m_process.setStandardOutputFile(m_dir.filePath("stdout.log"));
        m_process.setStandardErrorFile(m_dir.filePath("stderr.log"));
        m_process.start(QStringLiteral(TAVRI_CONTROLLED), QStringList());
    }
    ~Client()
    {
        m_socket.abort();
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(15000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool ready()
    {
        // The program says so on its output once its control socket listens.
        if (awaitLine(m_process, m_dir.filePath("stdout.log"), 0, QRegularExpression(QStringLiteral("^CONTROL READY$")),
                      60000)
                .isEmpty())
            return false;
        m_socket.connectToServer(m_control);
        return m_socket.waitForConnected(5000);
    }
    QJsonObject call(QJsonObject command, int timeoutMs = 30000)
    {
        m_socket.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
        m_socket.flush();
        QElapsedTimer clock;
        clock.start();
        while (!m_socket.canReadLine()) {
            if (clock.elapsed() > timeoutMs || !m_socket.waitForReadyRead(int(timeoutMs - clock.elapsed())))
                return QJsonObject{{"ok", false}, {"error", "no answer"}};
        }
        return QJsonDocument::fromJson(m_socket.readLine()).object();
    }
    bool act(const QJsonObject &command) { return call(command).value("ok").toBool(); }
    QJsonValue get(const QJsonObject &query) { return call(query).value("value"); }
    // Waits in the client until the query gives value; says what it gave last.
    QString await(const QJsonObject &query, const QJsonValue &value, int timeoutMs = 60000, bool contains = false)
    {
        return call(QJsonObject{{"cmd", "await"},
                                {"query", query},
                                {"value", value},
                                {"timeout", timeoutMs},
                                {"contains", contains}},
                    timeoutMs + 10000)
            .value("value")
            .toVariant()
            .toString();
    }
    // Runs the program once more in this client's folders with `arguments`
    // (a single-instance message to the running one) and waits for both to
    // end; true when both ended normally with exit code 0.
    bool sendAndAwaitExit(const QStringList &arguments, int timeoutMs = 60000)
    {
        QProcess second;
        second.setProcessEnvironment(m_environment);
        second.start(QStringLiteral(TAVRI_CONTROLLED), arguments);
        const bool sent =
            second.waitForFinished(timeoutMs) && second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0;
        const bool ended = m_process.waitForFinished(timeoutMs) && m_process.exitStatus() == QProcess::NormalExit
                           && m_process.exitCode() == 0;
        return sent && ended;
    }
    // Starts the program once more in this client's folders, as a person
    // starts it again while it runs (the running one is told and shows its
    // window), and waits for that second start to end; true when it ended
    // normally with exit code 0.
    bool startAgain(const QStringList &arguments = {}, int timeoutMs = 60000)
    {
        QProcess second;
        second.setProcessEnvironment(m_environment);
        second.setProcessChannelMode(QProcess::MergedChannels);
        second.setStandardOutputFile(m_dir.filePath("second.log"), QIODevice::Append);
        second.start(QStringLiteral(TAVRI_CONTROLLED), arguments);
        return second.waitForFinished(timeoutMs) && second.exitStatus() == QProcess::NormalExit
               && second.exitCode() == 0;
    }
    bool running() const { return m_process.state() == QProcess::Running; }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QDir m_dir;
    QProcess m_process;
    QLocalSocket m_socket;
    QString m_control;
    QProcessEnvironment m_environment;
};

} // namespace e2e
