// The dev gateway as the end-to-end tests run it: it logs a line for every
// call it answers, and goes on answering however much it has logged, on a
// port it says when it comes up, both after a first start and after a
// restart on the same ports.

#include "e2eclient.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// One form POST on a connection of its own: the status line of the answer,
// empty when none came within the deadline.
QByteArray post(quint16 port, const QByteArray &body)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(30000))
        return QByteArray();
    socket.write("POST /gateway.php HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                 "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
                 + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    QByteArray answer;
    while (!answer.contains("\r\n") && socket.waitForReadyRead(30000))
        answer += socket.readAll();
    return answer.left(answer.indexOf("\r\n"));
}

} // namespace

class E2eGatewayTest : public QObject
{
    Q_OBJECT
private slots:
    void answersHoweverMuchItLogs();
};

void E2eGatewayTest::answersHoweverMuchItLogs()
{
    QTemporaryDir root;
    const QString store = root.filePath("gateway.sqlite");
    e2e::Gateway gateway(store);
    QVERIFY(gateway.start());
    QVERIFY(gateway.httpPort && gateway.worldPort);

    // Analytics events with many long fields: a few kilobytes of log lines
    // each, some hundreds of kilobytes in all.
    QByteArray event = "method=LogEvent&cat=Test&lbl=Logged";
    for (int field = 0; field < 24; ++field)
        event += "&ext%5Bf" + QByteArray::number(field) + "%5D=" + QByteArray(80, 'x');
    for (int i = 0; i < 200; ++i)
        QCOMPARE(post(gateway.httpPort, event + "&idx=" + QByteArray::number(i)), QByteArray("HTTP/1.1 200 OK"));

    // Its lines are kept, and a restart on the same ports comes up as well.
    const quint16 httpPort = gateway.httpPort;
    const quint16 worldPort = gateway.worldPort;
    gateway.kill();
    QVERIFY(gateway.start(httpPort, worldPort));
    QCOMPARE(gateway.httpPort, httpPort);
    QCOMPARE(gateway.worldPort, worldPort);
    QCOMPARE(post(gateway.httpPort, event + "&idx=last"), QByteArray("HTTP/1.1 200 OK"));
    gateway.stop();
    QFile log(gateway.outputPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray lines = log.readAll();
    QCOMPARE(lines.count(" LogEvent "), 201);
    QCOMPARE(lines.count("voice world on 127.0.0.1:"), 2);
}

QTEST_GUILESS_MAIN(E2eGatewayTest)
#include "tst_e2egateway.moc"
