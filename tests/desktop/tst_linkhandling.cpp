// "tavri:" links: queued until the local user is logged in, handled one per
// call in arrival order, each form turned into its web request, join or
// alert, and links from outside that name another host, another kind of
// address or nothing known end as an unknown format.
#include <QtTest/QtTest>

#include "../alerts/alertsfixture.h"
#include "conversation.h"
#include "ostrelsdk_control.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "voicemanager.h"
#include "websettle.h"

using alertstest::app;
using alertstest::balloons;

namespace {

const QString kOwnUid = QStringLiteral("4711");

QString domain()
{
    return app()->voiceManager()->domain();
}

// The web requests sent since the last clear (LogEvent and the barrier left
// out), each as "method|key=value|..." with the keys that `shape` names, in
// its order; `shape` has the same form.
QStringList sentRequests(FakeWebService &web, const QString &shape = QString())
{
    const QStringList keys = shape.split(QLatin1Char('|')).mid(1);
    QStringList sent;
    for (const FakeWebService::Request &request : web.requests()) {
        QStringList fields{request.method()};
        for (const QString &key : keys) {
            const QString name = key.section(QLatin1Char('='), 0, 0);
            fields.append(name + QLatin1Char('=') + request.value(name));
        }
        sent.append(fields.join(QLatin1Char('|')));
    }
    return sent;
}

// The events of `name` tracked while the capture ran.
QStringList tracked(const LogCapture &capture, const QString &name)
{
    return shelltest::events(capture, name);
}

QStringList joinRequests()
{
    QStringList uris;
    for (int i = 0; i < oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION); ++i) {
        const auto *request = reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(
            oxc_find_request(OX_REQ_SESSIONGROUP_ADD_SESSION, i));
        uris.append(QString::fromUtf8(request->uri));
    }
    return uris;
}

} // namespace

class TestLinkHandling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void linksWaitForTheLoginAndGoOnePerCall();
    void webForms_data();
    void webForms();
    void channelLinkJoinsAndMakesAFavourite();
    void channelLinkBlockedBySetting();
    void addingYourselfIsRefused();
    void ephemeralLinkJoinsOrJoinsAgain();
    void foreignOrUnknownLinks_data();
    void foreignOrUnknownLinks();
    void reenteredCallRunsAfterTheOuterOne();

private:
    // Queues `link` the way a second instance does and settles the web
    // client.
    void send(const QString &link);
    // Generous: the analytics of a hundred links may still be on their way.
    bool settle() { return webtest::settle(*m_web, *app()->socialManager(), 60000); }

    FakeWebService *m_web = nullptr;
};

void TestLinkHandling::initTestCase()
{
    alertstest::recordBalloons();
    m_web = shelltest::start();
    QVERIFY(alertstest::tray());
}

void TestLinkHandling::cleanupTestCase()
{
    delete m_web;
    m_web = nullptr;
}

void TestLinkHandling::init()
{
    balloons().clear();
    // Every function but the first works signed in; the first signs in itself
    // once it has shown what waits for the login. Run alone, a function signs
    // in here.
    if (QByteArray(QTest::currentTestFunction()) != "linksWaitForTheLoginAndGoOnePerCall"
        && LocalUser::getLocalUser()->getLoginState() != LocalUser::LoggedIn) {
        QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
        LocalUser::getLocalUser()->tavriidentity()->setUid(kOwnUid);
        QVERIFY(webtest::settle(*m_web, *app()->socialManager(), 120000));
    }
    QVERIFY(settle());
    m_web->clear();
    oxc_clear_requests();
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsJoinChWithHyperlink"), true);
}

void TestLinkHandling::send(const QString &link)
{
    emit app()->messageReceived(link);
    QVERIFY(settle());
}

void TestLinkHandling::linksWaitForTheLoginAndGoOnePerCall()
{
    // Signed out: both links wait, nothing is sent.
    QVERIFY(LocalUser::getLocalUser()->getLoginState() != LocalUser::LoggedIn);
    send(QStringLiteral("tavri:AF-first"));
    send(QStringLiteral("tavri:AF-second"));
    QCOMPARE(app()->startupLinks(), (QStringList{"tavri:AF-first", "tavri:AF-second"}));
    QCOMPARE(sentRequests(*m_web), QStringList());

    // A flood of links while signed out stops at a hundred waiting; later
    // ones are dropped with a warning.
    const QString filler = QStringLiteral("tavri:EA");
    for (int i = 2; i < 100; ++i)
        emit app()->messageReceived(filler);
    LogCapture capture;
    emit app()->messageReceived(QStringLiteral("tavri:AF-dropped"));
    QCOMPARE(app()->startupLinks().size(), 100);
    QCOMPARE(app()->startupLinks().last(), filler);
    QCOMPARE(capture.find(QtWarningMsg, QStringLiteral("TavriApplication::queueTavriLink - queue full")).size(), 1);

    QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
    LocalUser::getLocalUser()->tavriidentity()->setUid(kOwnUid);
    // Each link of the flood showed the login window, which tracks an
    // analytics event: a hundred of them go out one after another first.
    QVERIFY(webtest::settle(*m_web, *app()->socialManager(), 120000));
    m_web->clear();

    // Each call takes the oldest link, and only one.
    app()->handleTavriLinkRequest();
    QVERIFY(settle());
    const QString first = QStringLiteral("changeChannelFavorite|channelUID=first|isFav=1|inviteUID=");
    QCOMPARE(sentRequests(*m_web, first), QStringList{first});
    QCOMPARE(app()->startupLinks().first(), QStringLiteral("tavri:AF-second"));
    QCOMPARE(app()->startupLinks().size(), 99);
    app()->handleTavriLinkRequest();
    QVERIFY(settle());
    const QString second = QStringLiteral("changeChannelFavorite|channelUID=second|isFav=1|inviteUID=");
    QCOMPARE(sentRequests(*m_web, second), (QStringList{first, second}));
    QCOMPARE(app()->startupLinks().size(), 98);
    while (!app()->startupLinks().isEmpty())
        app()->handleTavriLinkRequest();
    // An empty queue does nothing.
    app()->handleTavriLinkRequest();
    // The flood's links are tracked one by one: their events go out first.
    QVERIFY(webtest::settle(*m_web, *app()->socialManager(), 120000));
    QVERIFY(m_web->requestsFor(QStringLiteral("changeChannelFavorite")).size() == 2);
}

void TestLinkHandling::webForms_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("event");

    QTest::newRow("favourite with invitation") << "tavri:AF-abc?i=42"
                                               << "changeChannelFavorite|channelUID=abc|isFav=1|inviteUID=42"
                                               << "StartupLink.AddFavoriteChannel";
    QTest::newRow("favourite, last invitation wins") << "tavri:AF-abc?i=1&x=y&i=42"
                                                     << "changeChannelFavorite|channelUID=abc|isFav=1|inviteUID=42"
                                                     << "StartupLink.AddFavoriteChannel";
    QTest::newRow("favourite, escaped invitation") << "tavri:AF-abc?i=%34%32%20x"
                                                   << "changeChannelFavorite|channelUID=abc|isFav=1|inviteUID=42 x"
                                                   << "StartupLink.AddFavoriteChannel";
    QTest::newRow("favourite without scheme") << "AF-abc"
                                              << "changeChannelFavorite|channelUID=abc|isFav=1|inviteUID="
                                              << "StartupLink.AddFavoriteChannel";
    QTest::newRow("third-party channel") << "tavri:TP-app_1-chan-user9"
                                         << "GetThirdPartyChannelForUser|app=app_1|channel=chan|user=user9"
                                         << "StartupLink.JoinThirdPartyChannel";
    QTest::newRow("friend") << "tavri:AB-friend1?i=7"
                            << "changeFriend|friendUID=friend1|setIsFriend=1|inviteUID=7"
                            << "StartupLink.AddFriend";
    QTest::newRow("exit all channels is deprecated") << "tavri:EA" << QString() << "StartupLink.ExitChannels";
    QTest::newRow("exit third-party channel is deprecated")
        << "tavri:EC-a-b-c" << QString() << "StartupLink.LeaveThirdPartyChannel";
}

void TestLinkHandling::webForms()
{
    QFETCH(QString, link);
    QFETCH(QString, request);
    QFETCH(QString, event);
    LogCapture capture;
    send(link);
    QCOMPARE(app()->startupLinks(), QStringList());
    QCOMPARE(sentRequests(*m_web, request), request.isEmpty() ? QStringList() : QStringList{request});
    QCOMPARE(tracked(capture, event).size(), 1);
    QCOMPARE(tracked(capture, QStringLiteral("Error.StartupArgUnknownFormat")), QStringList());
    QCOMPARE(joinRequests(), QStringList());
}

void TestLinkHandling::channelLinkJoinsAndMakesAFavourite()
{
    LogCapture capture;
    const QString uri = QStringLiteral("sip:confctl-301@") + domain();
    send(QStringLiteral("tavri:123_") + uri);
    Conversation *channel = TavriIdentityRealm::getInstance()->getConversation(uri);
    QVERIFY(channel);
    QCOMPARE(channel->getJoinState(), Conversation::Joining);
    // The favourite goes to the web service, which answers with the list.
    QCOMPARE(m_web->requestsFor(QStringLiteral("changeChannelFavorite")).size(), 1);
    QCOMPARE(m_web->requestsFor(QStringLiteral("changeChannelFavorite")).first().value("isFav"), QStringLiteral("1"));
    QCOMPARE(tracked(capture, QStringLiteral("StartupLink.JoinChannel")).size(), 1);
    QCOMPARE(balloons().size(), 0);
}

void TestLinkHandling::channelLinkBlockedBySetting()
{
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsJoinChWithHyperlink"), false);
    LogCapture capture;
    const QString uri = QStringLiteral("sip:confctl-302@") + domain();
    send(QStringLiteral("tavri:5_") + uri);
    QCOMPARE(joinRequests(), QStringList());
    QCOMPARE(balloons().size(), 1);
    QCOMPARE(balloons().first().title, QStringLiteral("Error"));
    QCOMPARE(balloons().first().message, QStringLiteral("Join channel via hyperlink is disabled in general settings"));
    QCOMPARE(tracked(capture, QStringLiteral("StartupLink.JoinChannelBlocked")).size(), 1);
    QCOMPARE(tracked(capture, QStringLiteral("StartupLink.JoinChannel")).size(), 0);
}

void TestLinkHandling::addingYourselfIsRefused()
{
    LogCapture capture;
    send(QStringLiteral("tavri:AB-") + kOwnUid + QStringLiteral("?i=3"));
    QCOMPARE(sentRequests(*m_web), QStringList());
    QCOMPARE(balloons().size(), 1);
    QCOMPARE(balloons().first().message, QStringLiteral("Cannot add yourself as a friend"));
    QCOMPARE(tracked(capture, QStringLiteral("StartupLink.AddFriend")).size(), 1);
}

void TestLinkHandling::ephemeralLinkJoinsOrJoinsAgain()
{
    const QString uri = QStringLiteral("sip:confctl-g-5eed@") + domain();
    LogCapture capture;
    send(QStringLiteral("tavri:JT-") + uri);
    QCOMPARE(joinRequests(), QStringList{uri});
    QCOMPARE(capture.matching(QStringLiteral("joining ephemeral channel")).size(), 1);

    // Joined already: the conversation is asked to join again (it brings its
    // window forward), the voice service is not.
    Conversation *group = TavriIdentityRealm::getInstance()->getConversation(uri);
    QVERIFY(group);
    group->setJoinState(Conversation::Joined);
    oxc_clear_requests();
    send(QStringLiteral("tavri:JT-") + uri);
    QCOMPARE(capture.matching(QStringLiteral("already joined to ephemeral")).size(), 1);
    QCOMPARE(joinRequests(), QStringList());
    QCOMPARE(tracked(capture, QStringLiteral("Error.StartupArgUnknownFormat")), QStringList());
    group->setJoinState(Conversation::NotJoined);
}

void TestLinkHandling::foreignOrUnknownLinks_data()
{
    QTest::addColumn<QString>("link");
    const QString own = domain();
    QString lookalike = own;
    lookalike.replace(QLatin1Char('.'), QLatin1Char('x'));

    QTest::newRow("channel on another host") << "tavri:1_sip:confctl-9@evil.test";
    QTest::newRow("channel on a host ending in the domain") << "tavri:1_sip:confctl-9@" + own + ".evil.test";
    QTest::newRow("channel with a second host") << "tavri:1_sip:confctl-9@evil.test@" + own;
    QTest::newRow("domain dots are not wildcards") << "tavri:1_sip:confctl-9@" + lookalike;
    QTest::newRow("channel, then a line break") << "tavri:1_sip:confctl-9@" + own + "\n";
    QTest::newRow("channel with a quote") << "tavri:1_sip:confctl-9\"x@" + own;
    QTest::newRow("channel with no name") << "tavri:1_sip:confctl-@" + own;
    QTest::newRow("channel with no number") << "tavri:_sip:confctl-9@" + own;
    QTest::newRow("user address as channel") << "tavri:1_sip:u-bob@" + own;
    QTest::newRow("ephemeral call to a user") << "tavri:JT-sip:u-bob@" + own;
    QTest::newRow("ephemeral on another host") << "tavri:JT-sip:confctl-g-1@evil.test";
    QTest::newRow("favourite, then a line break") << "tavri:AF-abc\n";
    QTest::newRow("favourite with a space") << "tavri:AF-a b";
    QTest::newRow("third party with two fields") << "tavri:TP-a-b";
    QTest::newRow("friend with a dash") << "tavri:AB-a-b";
    QTest::newRow("exit all with more") << "tavri:EAX";
    QTest::newRow("scheme only") << "tavri:";
    QTest::newRow("plain word") << "hello";
    QTest::newRow("case differs") << "tavri:af-abc";
}

void TestLinkHandling::foreignOrUnknownLinks()
{
    QFETCH(QString, link);
    LogCapture capture;
    send(link);
    QCOMPARE(app()->startupLinks(), QStringList());
    QCOMPARE(sentRequests(*m_web), QStringList());
    QCOMPARE(joinRequests(), QStringList());
    QString stripped = link;
    stripped.remove(QStringLiteral("tavri:"));
    const QStringList unknown = tracked(capture, QStringLiteral("Error.StartupArgUnknownFormat"));
    QCOMPARE(unknown.size(), 1);
    // The parameter as the event's log line shows it.
    QString parameter;
    QDebug(&parameter) << QStringList{QStringLiteral("a:") + stripped};
    QCOMPARE(unknown.first().trimmed(), parameter.trimmed());
}

void TestLinkHandling::reenteredCallRunsAfterTheOuterOne()
{
    // While the first link's alert is up, a nested event loop delivers a
    // second instance's link, whose handler call re-enters: it must neither
    // wait for the outer call (that would never end) nor handle the new link
    // in the middle of the first one; the new link follows right after.
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsJoinChWithHyperlink"), false);
    const QString later = QStringLiteral("tavri:AF-later");
    QStringList queueInside;
    SystemTrayIcon::setBalloonHook([&](const SystemTrayIcon::Balloon &balloon) {
        balloons().append(balloon);
        emit app()->messageReceived(later);
        queueInside = app()->startupLinks();
    });
    LogCapture capture;
    emit app()->messageReceived(QStringLiteral("tavri:7_sip:confctl-303@") + domain());
    alertstest::recordBalloons();
    QCOMPARE(queueInside, QStringList{later});
    QCOMPARE(app()->startupLinks(), QStringList{later});
    QCOMPARE(tracked(capture, QStringLiteral("StartupLink.JoinChannelBlocked")).size(), 1);

    QTRY_COMPARE(app()->startupLinks(), QStringList());
    QVERIFY(settle());
    const QString favourite = QStringLiteral("changeChannelFavorite|channelUID=later|isFav=1|inviteUID=");
    QCOMPARE(sentRequests(*m_web, favourite), QStringList{favourite});
    QCOMPARE(balloons().size(), 1);
}

TAVRI_ALERTS_TEST_MAIN(TestLinkHandling, "tavri-test-linkhandling")

#include "tst_linkhandling.moc"
