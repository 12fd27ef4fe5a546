// Single-instance messages in the running instance: leaving every joined
// conversation or one named conversation, the order in which the commands
// are tried, and "-quit" winning over everything else in the message.
#include <QtTest/QtTest>

#include "../alerts/alertsfixture.h"
#include "conversation.h"
#include "conversationlist.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"
#include "voicemanager.h"
#include "websettle.h"

using alertstest::app;

// The alerts application with the external-application hand-over recorded
// instead of opening pipes.
class ProtocolApplication : public AlertsApplication
{
public:
    using AlertsApplication::AlertsApplication;

protected:
    bool requestSharedRealm(const QString &, const QString &, const QString &, const QString &,
                            const QString &) override
    {
        return true;
    }
};

namespace {

QString channelURI(int number)
{
    return QStringLiteral("sip:confctl-%1@").arg(number) + app()->voiceManager()->domain();
}

// A channel of the local user's conversation list in the given state.
Conversation *listedChannel(int number, Conversation::JoinState state)
{
    Conversation *channel = TavriIdentityRealm::getInstance()->getConversation(channelURI(number));
    if (!channel)
        return nullptr;
    channel->setJoinState(state);
    LocalUser::getLocalUser()->getConversations()->addConversation(channel);
    return channel;
}

} // namespace

class TestProtocolMessages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void exitAllChannelsLeavesEveryJoinedOne();
    void exitChannelLeavesTheNamedOne();
    void exitChannelOfAnUnknownChannel();
    void exitChannelWithoutAddress();
    void ruleOrder_data();
    void ruleOrder();
    // Ends the application's event loop: last.
    void quitWinsOverALink();

private:
    bool settle() { return webtest::settle(*m_web, *app()->socialManager()); }

    FakeWebService *m_web = nullptr;
};

void TestProtocolMessages::initTestCase()
{
    alertstest::recordBalloons();
    m_web = shelltest::start();
    QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
}

void TestProtocolMessages::cleanupTestCase()
{
    delete m_web;
    m_web = nullptr;
}

void TestProtocolMessages::init()
{
    QVERIFY(settle());
    m_web->clear();
    ConversationList *list = LocalUser::getLocalUser()->getConversations();
    for (int i = 0; i < list->count(); ++i)
        list->at(i)->setJoinState(Conversation::NotJoined);
}

void TestProtocolMessages::exitAllChannelsLeavesEveryJoinedOne()
{
    Conversation *first = listedChannel(11, Conversation::Joined);
    Conversation *idle = listedChannel(12, Conversation::NotJoined);
    Conversation *second = listedChannel(13, Conversation::Joined);
    QVERIFY(first && idle && second);

    emit app()->messageReceived(QStringLiteral("-exitAllChannels"));
    QCOMPARE(first->getJoinState(), Conversation::Leaving);
    QCOMPARE(second->getJoinState(), Conversation::Leaving);
    QCOMPARE(idle->getJoinState(), Conversation::NotJoined);
}

void TestProtocolMessages::exitChannelLeavesTheNamedOne()
{
    Conversation *named = listedChannel(21, Conversation::Joined);
    Conversation *other = listedChannel(22, Conversation::Joined);
    QVERIFY(named && other);

    emit app()->messageReceived(QStringLiteral("-exitChannel<!>") + channelURI(21));
    QCOMPARE(named->getJoinState(), Conversation::Leaving);
    QCOMPARE(other->getJoinState(), Conversation::Joined);
}

void TestProtocolMessages::exitChannelOfAnUnknownChannel()
{
    // The realm makes the conversation, which is asked to leave all the same.
    const QString uri = channelURI(23);
    LogCapture capture;
    emit app()->messageReceived(QStringLiteral("-exitChannel<!>") + uri);
    const auto leaves = capture.matching(QStringLiteral("Conversation::requestLeaveConversation"));
    QVERIFY(!leaves.isEmpty());
    QVERIFY(leaves.first().message.contains(uri));
}

void TestProtocolMessages::exitChannelWithoutAddress()
{
    Conversation *joined = listedChannel(24, Conversation::Joined);
    LogCapture capture;
    emit app()->messageReceived(QStringLiteral("tavri:AF-x<!>-exitChannel"));
    QCOMPARE(capture.matching(QStringLiteral("missing arguments when calling exit channel function from win7 taskbar"))
                 .size(),
             1);
    QCOMPARE(joined->getJoinState(), Conversation::Joined);
    QCOMPARE(app()->startupLinks(), QStringList());
    QVERIFY(capture.matching(QStringLiteral("joining channel:")).isEmpty());
}

void TestProtocolMessages::ruleOrder_data()
{
    QTest::addColumn<QString>("message");
    // Which channels end up leaving (of 31 and 32, both joined).
    QTest::addColumn<bool>("leaves31");
    QTest::addColumn<bool>("leaves32");
    // The channel uid of the favourite link that is handled, if any.
    QTest::addColumn<QString>("favourite");
    QTest::addColumn<bool>("headless");

    const QString c31 = channelURI(31);
    QTest::newRow("exit all before exit one")
        << "-exitChannel<!>" + c31 + "<!>-exitAllChannels" << true << true << QString() << false;
    QTest::newRow("exit one before a link")
        << "tavri:AF-a<!>-exitChannel<!>" + c31 << true << false << QString() << false;
    QTest::newRow("exit one before -svc")
        << "-svcR:T:I:O<!>-exitChannel<!>" + c31 << true << false << QString() << false;
    QTest::newRow("-svc only as the first part") << "tavri:AF-b<!>-svcR:T:I:O" << false << false << "b" << false;
    QTest::newRow("-svc with no value") << "-svc" << false << false << QString() << false;
    QTest::newRow("-svc first") << "-svcR:T:I:O<!>tavri:AF-c" << false << false << QString() << true;
    QTest::newRow("only the first part is a link") << "tavri:AF-d<!>tavri:AF-e" << false << false << "d" << false;
    QTest::newRow("empty parts are dropped") << "<!><!>tavri:AF-f<!>" << false << false << "f" << false;
    QTest::newRow("only separators") << "<!><!>" << false << false << QString() << false;
    QTest::newRow("commands are whole parts") << "-exitAllChannelsX" << false << false << QString() << false;
}

void TestProtocolMessages::ruleOrder()
{
    QFETCH(QString, message);
    QFETCH(bool, leaves31);
    QFETCH(bool, leaves32);
    QFETCH(QString, favourite);
    QFETCH(bool, headless);

    Conversation *c31 = listedChannel(31, Conversation::Joined);
    Conversation *c32 = listedChannel(32, Conversation::Joined);
    QVERIFY(c31 && c32);
    LogCapture capture;
    emit app()->messageReceived(message);
    QVERIFY(settle());

    QCOMPARE(c31->getJoinState(), leaves31 ? Conversation::Leaving : Conversation::Joined);
    QCOMPARE(c32->getJoinState(), leaves32 ? Conversation::Leaving : Conversation::Joined);
    QStringList favourites;
    for (const FakeWebService::Request &request : m_web->requestsFor(QStringLiteral("changeChannelFavorite")))
        favourites.append(request.value(QStringLiteral("channelUID")));
    QCOMPARE(favourites, favourite.isEmpty() ? QStringList() : QStringList{favourite});
    QCOMPARE(capture.matching(QStringLiteral("Tavri starting headless...")).size(), headless ? 1 : 0);
    QCOMPARE(app()->startupLinks(), QStringList());
}

void TestProtocolMessages::quitWinsOverALink()
{
    QSignalSpy exiting(app(), &TavriApplication::exiting);
    LogCapture capture;
    emit app()->messageReceived(QStringLiteral("tavri:AF-q<!>-quit"));
    QCOMPARE(exiting.size(), 1);
    QVERIFY(capture.matching(QStringLiteral("handleTavriLinkRequest")).isEmpty());
    QVERIFY(capture.matching(QStringLiteral("joining channel:")).isEmpty());
    QCOMPARE(app()->startupLinks(), QStringList());
}

TAVRI_SHELL_TEST_MAIN_WITH(ProtocolApplication, TestProtocolMessages, "tavri-test-protocolmessages")

#include "tst_protocolmessages.moc"
