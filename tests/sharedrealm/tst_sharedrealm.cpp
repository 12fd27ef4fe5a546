// The external-application realm's set-up and life: the manager's hand-over
// keyed by requester id, the two pipes, verification at the web service, the
// controlling application's death, the program's exit, and the realm's users.

#include "contact.h"
#include "fakecontroller.h"
#include "fakewebservice.h"
#include "localpipe.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "sharedrealmtestsupport.h"
#include "socialmanager.h"
#include "tavrisharedidentityrealm.h"
#include "tavrisharedidentityrealmmanager.h"
#include "tavrisharedidentityrealmuser.h"
#include "testenvironment.h"
#include "voicemanager.h"

#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A realm whose joined channels a test records by hand.
class JoinedRealm : public TavriSharedIdentityRealm
{
public:
    JoinedRealm(const FakeController &controller, const QString &id)
        : TavriSharedIdentityRealm(controller.inputPipeName(), controller.outputPipeName(), id,
                                   QStringLiteral("secret-token"), QStringLiteral("1.0"), nullptr)
    {
    }
    using TavriSharedIdentityRealm::setSessionHandleForChannel;
};

// The codes of the last key-binding request, with its name.
QPair<QByteArray, QList<int>> lastBinding()
{
    const auto *binding = reinterpret_cast<const ox_req_aux_global_monitor_keyboard_mouse_t *>(
        oxc_find_request(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE, -1));
    if (!binding)
        return {};
    QList<int> codes;
    for (int i = 0; i < binding->key_count; ++i)
        codes.append(binding->key_codes[i]);
    return {QByteArray(binding->binding_name), codes};
}

} // namespace

class TestSharedRealm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void handOverKeysRealmsByRequester();
    void pipesAndVerification();
    void noApplicationListening();
    void refusedPipeNames_data();
    void refusedPipeNames();
    void applicationDeathReleasesTheRealmOnce();
    void exitEndsEveryRealmAtOnce();
    void destructionUndoesTheRealm();
    void usersAreCachedAndOffline();

private:
    TavriSharedIdentityRealmManager *manager() { return TavriSharedIdentityRealmManager::instance(); }
    // The RealmVerify requests that named rid.
    QList<FakeWebService::Request> verifications(const QString &rid) const;

    FakeWebService *m_web = nullptr;
    VoiceManager *m_voice = nullptr;
    LogCapture *m_log = nullptr;
};

void TestSharedRealm::initTestCase()
{
    m_log = sharedrealmtest::beginRealmTest();
    QVERIFY(sharedrealmtest::startVoice(m_voice, false));
    m_web = sharedrealmtest::startWeb(this, {"RealmVerify"});
}

void TestSharedRealm::cleanupTestCase()
{
    delete manager();
    delete m_voice;
    // The requester token never reached the log, on any path.
    QVERIFY(!m_log->text().contains(QLatin1String("secret-token")));
    delete m_log;
}

void TestSharedRealm::cleanup()
{
    manager()->onTavriApplicationExiting();
    QVERIFY(manager()->getRealms().isEmpty());
}

QList<FakeWebService::Request> TestSharedRealm::verifications(const QString &rid) const
{
    QList<FakeWebService::Request> found;
    for (const FakeWebService::Request &request : m_web->requestsFor(QStringLiteral("RealmVerify"))) {
        if (request.value(QStringLiteral("rid")) == rid)
            found.append(request);
    }
    return found;
}

void TestSharedRealm::handOverKeysRealmsByRequester()
{
    FakeController first(QStringLiteral("first"));
    FakeController second(QStringLiteral("second"));

    TavriSharedIdentityRealm *realm =
        manager()->createRealm(QStringLiteral("app-1"), QStringLiteral("secret-token"), first.outputPipeName(),
                               first.inputPipeName(), QStringLiteral("1.0"));
    QVERIFY(realm);
    QVERIFY(first.waitForRealm());

    // The same requester again: the same realm, with the new library version
    // only; the pipes named this time are not opened.
    FakeController other(QStringLiteral("other"));
    QCOMPARE(manager()->createRealm(QStringLiteral("app-1"), QStringLiteral("secret-token"), other.outputPipeName(),
                                    other.inputPipeName(), QStringLiteral("2.0")),
             realm);
    QCOMPARE(realm->getClientLibVersion(), QStringLiteral("2.0"));
    QVERIFY(!other.send(FakeController::Payload(99)).has_value());
    QCOMPARE(other.connectionCount(), 0);
    QCOMPARE(first.connectionCount(), 1);

    TavriSharedIdentityRealm *another =
        manager()->createRealm(QStringLiteral("app-2"), QStringLiteral("secret-token"), second.outputPipeName(),
                               second.inputPipeName(), QString());
    QVERIFY(another && another != realm);
    QCOMPARE(manager()->getRealms().size(), 2);
    QCOMPARE(another->realmID(), QStringLiteral("app-2"));
    QVERIFY(manager()->getRealms().contains(realm));
}

void TestSharedRealm::pipesAndVerification()
{
    FakeController controller(QStringLiteral("verify"));
    TavriSharedIdentityRealm *realm =
        manager()->createRealm(QStringLiteral("app-v"), QStringLiteral("secret-token"), controller.outputPipeName(),
                               controller.inputPipeName(), QStringLiteral("3.1"));
    QVERIFY(!realm->isInert());
    QVERIFY(controller.waitForRealm());

    // A client reaches the input pipe: the realm answers an unknown type.
    QCOMPARE(controller.send(FakeController::Payload(0)), std::optional<qint32>(-1));

    QTRY_COMPARE(verifications(QStringLiteral("app-v")).size(), 1);
    const FakeWebService::Request verify = verifications(QStringLiteral("app-v")).first();
    QCOMPARE(verify.value(QStringLiteral("token")), QStringLiteral("secret-token"));
    QCOMPARE(verify.value(QStringLiteral("clientlib_version")), QStringLiteral("3.1"));
    QCOMPARE(realm->getLoginState(), TavriSharedIdentityRealm::LoggedOut);
}

void TestSharedRealm::noApplicationListening()
{
    const QString missing = QDir(QDir::tempPath()).filePath(QStringLiteral("nobody-out"));
    m_log->clear();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unable to open output pipe for request:.*nobody-out"));
    QTest::ignoreMessage(QtWarningMsg, "... will be unable to communicate");
    TavriSharedIdentityRealm *inert = manager()->createRealm(QStringLiteral("app-x"), QStringLiteral("secret-token"),
                                                             missing, QStringLiteral("nobody-in"), QString());
    QVERIFY(inert->isInert());
    // The second try comes from the event loop after a pause: creating the
    // realm did not sleep through it.
    QVERIFY(!m_log->text().contains(QLatin1String("will be unable to communicate")));
    QTRY_VERIFY_WITH_TIMEOUT(m_log->text().contains(QLatin1String("will be unable to communicate")), 20000);
    QVERIFY(inert->isInert());
    QCOMPARE(manager()->getRealms().size(), 1);
    // An inert realm listens nowhere.
    QVERIFY(!QFileInfo::exists(host::LocalPipe::inputSocketPath(QStringLiteral("nobody-in"))));

    // A realm made afterwards is verified; the inert one never was.
    FakeController marker(QStringLiteral("marker"));
    manager()->createRealm(QStringLiteral("app-m"), QStringLiteral("secret-token"), marker.outputPipeName(),
                           marker.inputPipeName(), QString());
    QVERIFY(m_web->waitForRequest(QStringLiteral("RealmVerify")));
    QTRY_COMPARE(verifications(QStringLiteral("app-m")).size(), 1);
    QCOMPARE(verifications(QStringLiteral("app-x")).size(), 0);
}

void TestSharedRealm::refusedPipeNames_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("outputRefused");
    QTest::addColumn<bool>("inputRefused");
    QTest::newRow("all fields empty") << QString() << true << false;
    QTest::newRow("output name too long") << QStringLiteral("long-out") << true << false;
    QTest::newRow("input name too long") << QStringLiteral("long-in") << false << true;
    QTest::newRow("input name empty") << QStringLiteral("empty-in") << false << true;
}

void TestSharedRealm::refusedPipeNames()
{
    QFETCH(QString, id);
    QFETCH(bool, outputRefused);
    QFETCH(bool, inputRefused);
    FakeController controller(QStringLiteral("refused"));
    const QString tooLong(host::LocalPipe::kMaxSocketPath + 1, QLatin1Char('n'));
    QString output = controller.outputPipeName();
    QString input = controller.inputPipeName();
    if (id.isEmpty())
        output = input = QString();
    else if (outputRefused)
        output = tooLong;
    else if (id == QLatin1String("long-in"))
        input = tooLong;
    else
        input = QString();

    if (outputRefused) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refusing to connect"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unable to open output pipe for request:"));
        QTest::ignoreMessage(QtWarningMsg, "... will be unable to communicate");
    }
    if (inputRefused) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refusing to listen"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unable to create dedicated input pipe for requester:"));
    }
    TavriSharedIdentityRealm *realm =
        manager()->createRealm(id, QStringLiteral("secret-token"), output, input, QString());
    QCOMPARE(manager()->getRealms(), QList<Tavri::IdentityRealmInterface *>{realm});
    QCOMPARE(realm->realmID(), id);
    QCOMPARE(realm->isInert(), outputRefused);
    if (!outputRefused) {
        // Without an input pipe the realm still verifies and can send events.
        QVERIFY(controller.waitForRealm());
        QTRY_COMPARE(verifications(id).size(), 1);
    }
}

void TestSharedRealm::applicationDeathReleasesTheRealmOnce()
{
    FakeController controller(QStringLiteral("dies"));
    QPointer<TavriSharedIdentityRealm> realm =
        manager()->createRealm(QStringLiteral("app-d"), QStringLiteral("secret-token"), controller.outputPipeName(),
                               controller.inputPipeName(), QString());
    QVERIFY(controller.waitForRealm());
    realm->onRealmVerified(QStringLiteral("Game"));

    QStringList order;
    connect(manager(), &TavriSharedIdentityRealmManager::loginStateChange, this,
            [&](TavriSharedIdentityRealm *, TavriSharedIdentityRealm::LoginState state) {
                order << QStringLiteral("state %1").arg(state);
            });
    connect(realm, &TavriSharedIdentityRealm::controllerDied, this, [&] { order << QStringLiteral("died"); });
    connect(manager(), &TavriSharedIdentityRealmManager::identityRealmRemoved, this,
            [&] { order << QStringLiteral("removed"); });
    QSignalSpy released(manager(), &TavriSharedIdentityRealmManager::externalAppRelease);
    QSignalSpy destroyed(realm.data(), &QObject::destroyed);

    controller.closeOutput();
    QVERIFY(destroyed.wait());
    QCOMPARE(order, (QStringList{"state 0", "died", "removed"}));
    QCOMPARE(released.size(), 1);
    QCOMPARE(released.first().first().toString(), QStringLiteral("Game"));
    QVERIFY(manager()->getRealms().isEmpty());
    disconnect(manager(), nullptr, this, nullptr);
}

void TestSharedRealm::exitEndsEveryRealmAtOnce()
{
    FakeController one(QStringLiteral("exit-1"));
    FakeController two(QStringLiteral("exit-2"));
    QPointer<TavriSharedIdentityRealm> first = manager()->createRealm(
        QStringLiteral("e1"), QStringLiteral("secret-token"), one.outputPipeName(), one.inputPipeName(), QString());
    QPointer<TavriSharedIdentityRealm> second = manager()->createRealm(
        QStringLiteral("e2"), QStringLiteral("secret-token"), two.outputPipeName(), two.inputPipeName(), QString());
    QSignalSpy released(manager(), &TavriSharedIdentityRealmManager::externalAppRelease);

    manager()->onTavriApplicationExiting();
    QVERIFY(first.isNull());
    QVERIFY(second.isNull());
    QVERIFY(manager()->getRealms().isEmpty());
    QCOMPARE(released.size(), 0);
}

void TestSharedRealm::destructionUndoesTheRealm()
{
    FakeController controller(QStringLiteral("undo"));
    auto *realm = new JoinedRealm(controller, QStringLiteral("undo-app"));
    realm->setSessionHandleForChannel(QStringLiteral("sip:b@x"), QStringLiteral("s-b"));
    realm->setSessionHandleForChannel(QStringLiteral("sip:a@x"), QStringLiteral("s-a"));
    Tavri::RealmUserInterface *user = realm->getUser(QStringLiteral("sip:u@x"));

    QStringList order;
    connect(realm, &TavriSharedIdentityRealm::conversationDisconnected, this,
            [&](const QString &channel, const QString &,
                Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode code, const QString &reason) {
                order << QStringLiteral("%1 %2 %3").arg(channel).arg(int(code)).arg(reason);
            });
    connect(realm, &TavriSharedIdentityRealm::destroying, this, [&] { order << QStringLiteral("destroying"); });
    QSignalSpy userEnds(user->getQObject(), SIGNAL(destroying()));
    oxc_clear_requests();

    delete realm;
    QCOMPARE(userEnds.size(), 1);
    QCOMPARE(order, (QStringList{"sip:a@x 0 ", "sip:b@x 0 ", "destroying"}));
    QCOMPARE(lastBinding(), (qMakePair(QByteArray("undo-app_PTT"), QList<int>())));
}

void TestSharedRealm::usersAreCachedAndOffline()
{
    FakeController controller(QStringLiteral("users"));
    TavriSharedIdentityRealm *realm =
        manager()->createRealm(QStringLiteral("app-u"), QStringLiteral("secret-token"), controller.outputPipeName(),
                               controller.inputPipeName(), QString());
    realm->onNameUriMapped(QStringLiteral("Bob"), QStringLiteral("sip:bob@x"));

    struct Case {
        QString key, name, uri;
    };
    const QList<Case> cases{{"sip:bob@x", "Bob", "sip:bob@x"},
                            {"sip:nobody@x", "sip:nobody@x", "sip:nobody@x"},
                            {"Bob", "Bob", "sip:bob@x"},
                            {"Carol", "Carol", "Carol"}};
    for (const Case &c : cases) {
        TavriSharedIdentityRealmUser *user = realm->getUser(c.key);
        QVERIFY(user);
        QCOMPARE(realm->getUser(c.key), user);
        QCOMPARE(realm->getRealmUser(c.key), static_cast<Tavri::RealmUserInterface *>(user));
        QCOMPARE(user->getUid(), c.key);
        QCOMPARE(user->getDisplayName(), c.name);
        QCOMPARE(user->getSipURI(), c.uri);
        QCOMPARE(user->getPresenceState(), Tavri::RealmUserInterface::Offline);
        QCOMPARE(user->getPresenceMessage(), QString());
        QCOMPARE(user->getProfileImageURI(), QUrl());
        QCOMPARE(user->identityRealm(), static_cast<Tavri::IdentityRealmInterface *>(realm));
        QCOMPARE(user->getRealmTag(), QString());
    }

    // A contact of the realm carries the user's URI.
    Contact contact(realm->getUser(QStringLiteral("Bob")), nullptr);
    QCOMPARE(contact.getSipURI(), QStringLiteral("sip:bob@x"));

    m_log->clear();
    realm->getUser(QStringLiteral("Bob"))->showUserDetails();
    QCOMPARE(m_log->find(QtDebugMsg, QStringLiteral("TavriSharedIdentityRealmUser::showUserDetails")).size(), 1);
    QVERIFY(m_log->text().contains(QLatin1String("sip:bob@x")));
}

TAVRI_TEST_GUILESS_MAIN(TestSharedRealm)
#include "tst_sharedrealm.moc"
