// The end of the program with a channel still being left: the built-in
// realm's end reaches the conversation, which must not bring a new local user
// or realm manager to life in the middle of the teardown.

#include "conversation.h"
#include "identityrealmmanager.h"
#include "localuser.h"
#include "tavriidentityrealm.h"

#include <QPointer>
#include <QtTest>

class TestRealmShutdown : public QObject
{
    Q_OBJECT

private slots:
    void channelLeavingAtExitBuildsNothingNew();
};

void TestRealmShutdown::channelLeavingAtExitBuildsNothingNew()
{
    // The order of the application's destructor: the local user first, then
    // the realm manager with the built-in realm as its child.
    auto *manager = IdentityRealmManager::getInstance();
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    QCOMPARE(manager->getIdentityRealm(QStringLiteral("__Tavri")), static_cast<Tavri::IdentityRealmInterface *>(realm));
    LocalUser *user = LocalUser::getLocalUser();

    Conversation *channel = realm->getConversation(QStringLiteral("sip:confctl-4711@voice.example"));
    QVERIFY(channel);
    channel->setJoinState(Conversation::Joined);
    // What signing out leaves behind when the voice service never confirms.
    channel->setJoinState(Conversation::Leaving);

    bool realmInstanceSeenWhileEnding = true;
    connect(realm, &TavriIdentityRealm::destroying, this,
            [&] { realmInstanceSeenWhileEnding = TavriIdentityRealm::isEnding(); });

    delete user;
    delete manager;
    QVERIFY(realmInstanceSeenWhileEnding);
    QVERIFY(!TavriIdentityRealm::isEnding());

    // Nothing was made during the teardown: each accessor builds its
    // instance now, under the parent it is given, and the new manager holds
    // the new realm, not the one that was destroyed.
    QObject owner;
    auto *freshManager = IdentityRealmManager::getInstance(&owner);
    QCOMPARE(freshManager->parent(), &owner);
    auto *freshRealm = TavriIdentityRealm::getInstance();
    QCOMPARE(freshRealm->parent(), freshManager);
    QCOMPARE(freshManager->getIdentityRealm(QStringLiteral("__Tavri")),
             static_cast<Tavri::IdentityRealmInterface *>(freshRealm));
    LocalUser *freshUser = LocalUser::getLocalUser(&owner);
    QCOMPARE(freshUser->parent(), &owner);
    delete freshUser;
    delete freshManager;
}

QTEST_MAIN(TestRealmShutdown)
#include "tst_realmshutdown.moc"
