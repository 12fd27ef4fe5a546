#include "nativemessage.h"
#include "powerevents.h"

#include "testenvironment.h"

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVector>
#include <QWindow>

using host::NativeMessage;

namespace {

// Stands in for the application's filter: records every power broadcast.
class BroadcastRecorder : public QAbstractNativeEventFilter
{
public:
    struct Entry {
        void *hwnd;
        quint32 message;
        quintptr wParam;
    };
    QVector<Entry> entries;
    QVector<QByteArray> otherTypes;

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *) override
    {
        if (eventType != NativeMessage::eventType()) {
            otherTypes << eventType;
            return false;
        }
        const auto *msg = static_cast<const NativeMessage *>(message);
        entries.append({msg->hwnd, msg->message, msg->wParam});
        return true; // consuming must not stop delivery to other windows
    }
};

// Counts the marker signals a test sends behind the messages it checks.
class MarkerSink : public QObject
{
    Q_OBJECT
public:
    int count = 0;
public slots:
    void arrived() { ++count; }
};

} // namespace

class TestPowerEvents : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void deliverBroadcastsToEveryCreatedWindow();
    void prepareForSleepFromLogind();
    void noBusStaysSilent();

private:
    BroadcastRecorder *m_recorder = nullptr;
};

void TestPowerEvents::init()
{
    m_recorder = new BroadcastRecorder;
    qApp->installNativeEventFilter(m_recorder);
}

void TestPowerEvents::cleanup()
{
    qApp->removeNativeEventFilter(m_recorder);
    delete m_recorder;
    m_recorder = nullptr;
}

void TestPowerEvents::deliverBroadcastsToEveryCreatedWindow()
{
    QWindow mainFrame;
    mainFrame.show();
    QWindow other;
    other.create();
    QWindow neverCreated;

    host::PowerEvents::deliver(true);
    QCOMPARE(m_recorder->entries.size(), 2);
    QVector<void *> windows;
    for (const auto &e : qAsConst(m_recorder->entries)) {
        QCOMPARE(e.message, quint32(536));
        QCOMPARE(e.wParam, quintptr(4));
        windows << e.hwnd;
    }
    QVERIFY(windows.contains(reinterpret_cast<void *>(mainFrame.winId())));
    QVERIFY(windows.contains(reinterpret_cast<void *>(other.winId())));
    QVERIFY(!neverCreated.handle());

    m_recorder->entries.clear();
    host::PowerEvents::deliver(false);
    QCOMPARE(m_recorder->entries.size(), 2);
    QCOMPARE(m_recorder->entries.at(0).wParam, quintptr(18));
    QCOMPARE(m_recorder->entries.at(1).wParam, quintptr(18));
}

void TestPowerEvents::prepareForSleepFromLogind()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    QVERIFY2(!daemon.isEmpty(), "dbus-daemon is not installed (scripts/install-deps installs it)");
    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    QVERIFY(bus.waitForStarted(5000));
    QByteArray address;
    while (!address.contains('\n')) {
        QVERIFY2(bus.waitForReadyRead(5000), "dbus-daemon printed no address");
        address += bus.readAllStandardOutput();
    }
    const QString busAddress = QString::fromUtf8(address.trimmed());

    {
        // A fake logind owning its well-known name on the private bus.
        QDBusConnection logind = QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-logind"));
        QVERIFY(logind.isConnected());
        QVERIFY(logind.registerService(QStringLiteral("org.freedesktop.login1")));

        QDBusConnection client = QDBusConnection::connectToBus(busAddress, QStringLiteral("client"));
        QVERIFY(client.isConnected());
        QWindow mainFrame;
        mainFrame.show();
        host::PowerEvents power(client);

        for (const bool start : {true, false}) {
            QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                             QStringLiteral("org.freedesktop.login1.Manager"),
                                                             QStringLiteral("PrepareForSleep"));
            signal << start;
            QVERIFY(logind.send(signal));
            QTRY_COMPARE(m_recorder->entries.size(), 1);
            QCOMPARE(m_recorder->entries.at(0).hwnd, reinterpret_cast<void *>(mainFrame.winId()));
            QCOMPARE(m_recorder->entries.at(0).wParam, quintptr(start ? 4 : 18));
            m_recorder->entries.clear();
        }

        // The same signal from a sender that is not logind is ignored. The
        // bus keeps one sender's messages in order and the client handles
        // them in order: once a marker sent after the forged signal has
        // arrived, the forged one has been dealt with.
        MarkerSink marker;
        QVERIFY(client.connect(QString(), QStringLiteral("/test"), QStringLiteral("net.tavri.Test"),
                               QStringLiteral("Marker"), &marker, SLOT(arrived())));
        QDBusConnection impostor = QDBusConnection::connectToBus(busAddress, QStringLiteral("impostor"));
        QDBusMessage forged = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        forged << true;
        QVERIFY(impostor.send(forged));
        QVERIFY(impostor.send(QDBusMessage::createSignal(QStringLiteral("/test"), QStringLiteral("net.tavri.Test"),
                                                         QStringLiteral("Marker"))));
        QTRY_COMPARE_WITH_TIMEOUT(marker.count, 1, 10000);
        QCOMPARE(m_recorder->entries.size(), 0);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("impostor"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-logind"));
    bus.terminate();
    QVERIFY(bus.waitForFinished(5000));
}

void TestPowerEvents::noBusStaysSilent()
{
    QDBusConnection none =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none"));
    QVERIFY(!none.isConnected());
    host::PowerEvents power(none);
    QCOMPARE(m_recorder->entries.size(), 0);
    QDBusConnection::disconnectFromBus(QStringLiteral("none"));
}

TAVRI_TEST_MAIN(TestPowerEvents)
#include "tst_powerevents.moc"
