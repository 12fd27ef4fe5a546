#include "fakerealm.h"
#include "identityrealmmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "testenvironment.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

// Records the manager's list announcements in order, as "+id:name" and "-id",
// with the realm id in front when it is not the built-in realm.
class ListEvents : public QObject
{
public:
    explicit ListEvents(IdentityRealmManager *manager)
    {
        connect(manager, &IdentityRealmManager::conversationListEntryAdded, this,
                [this](Tavri::IdentityRealmInterface *realm, const QString &id, const QString &name) {
                    events.append(prefix(realm) + "+" + id + ":" + name);
                });
        connect(manager, &IdentityRealmManager::conversationListEntryRemoved, this,
                [this](Tavri::IdentityRealmInterface *realm, const QString &id) {
                    events.append(prefix(realm) + "-" + id);
                });
    }
    QStringList take()
    {
        const QStringList result = events;
        events.clear();
        return result;
    }

private:
    static QString prefix(Tavri::IdentityRealmInterface *realm)
    {
        if (!realm)
            return QStringLiteral("null");
        return realm->realmID() == QLatin1String("__Tavri") ? QString() : realm->realmID();
    }
    QStringList events;
};

// Sends realm signals from an object that is not a realm.
class NotARealm : public QObject
{
    Q_OBJECT
signals:
    void conversationJoined(const QString &conversationID, const QString &participantUUID);
    void conversationListEntry(const QString &subscriberUUID, const QString &conversationID,
                               const QString &conversationDisplayName);
};

class TestIdentityRealmManager : public QObject
{
    Q_OBJECT

private:
    IdentityRealmManager *manager() { return IdentityRealmManager::getInstance(); }
    TavriIdentityRealm *builtIn() { return TavriIdentityRealm::getInstance(); }

    void transfer(const QString &subscriber, const QStringList &ids)
    {
        emit builtIn()->conversationListReceivedBegin(subscriber);
        for (const QString &id : ids)
            emit builtIn()->conversationListEntry(subscriber, id, id.toLower());
        emit builtIn()->conversationListReceivedEnd(subscriber);
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName("Ostrel");
        QCoreApplication::setApplicationName("Tavri");
        qRegisterMetaType<Tavri::IdentityRealmInterface *>();
        qRegisterMetaType<Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode>();
        QVERIFY(manager());
    }

    void firstTransferAnnouncesEveryEntryAndARepeatNothing()
    {
        ListEvents events(manager());
        transfer("first", {"P", "Q"});
        QCOMPARE(events.take(), QStringList({"+P:p", "+Q:q"}));
        transfer("first", {"P", "Q"});
        QCOMPARE(events.take(), QStringList());
    }

    void transferAnnouncesAddedBeforeRemoved()
    {
        ListEvents events(manager());
        transfer("diff", {"P", "Q"});
        events.take();
        transfer("diff", {"Q", "R"});
        QCOMPARE(events.take(), QStringList({"+R:r", "-P"}));
        // What was announced is now Q and R: dropping both removes both.
        transfer("diff", {});
        QCOMPARE(events.take(), QStringList({"-Q", "-R"}));
    }

    void entryOutsideTransferIsAnnouncedAtOnce()
    {
        ListEvents events(manager());
        emit builtIn()->conversationListEntry("loose", "C", "c");
        emit builtIn()->conversationListEntry("loose", "C", "again");
        emit builtIn()->conversationListEntry("loose", "c", "lower");
        QCOMPARE(events.take(), QStringList({"+C:c", "+c:lower"}));

        // The next transfer starts from both; dropping c removes it.
        transfer("loose", {"C"});
        QCOMPARE(events.take(), QStringList({"-c"}));
        transfer("loose", {"C"});
        QCOMPARE(events.take(), QStringList());
    }

    void wholeListActsAsTransfer_data()
    {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("matching") << QStringList{"X", "Y"} << QStringList{"x", "y"} << QStringList{"+X:x", "+Y:y"};
        QTest::newRow("fewer names") << QStringList{"X", "Y", "Z"} << QStringList{"x"}
                                     << QStringList{"+X:x", "+Y:", "+Z:"};
        QTest::newRow("more names") << QStringList{"X"} << QStringList{"x", "y"} << QStringList{"+X:x"};
        QTest::newRow("duplicate id") << QStringList{"X", "X", "Y"} << QStringList{"x", "x2", "y"}
                                      << QStringList{"+X:x", "+Y:y"};
        QTest::newRow("empty id") << QStringList{"X", "", "Y"} << QStringList{"x", "blank", "y"}
                                  << QStringList{"+X:x", "+Y:y"};
    }

    void wholeListActsAsTransfer()
    {
        QFETCH(QStringList, ids);
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        if (ids.size() != names.size())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("conversation ids with"));
        if (ids.contains(QString()))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("without conversation id"));
        ListEvents events(manager());
        const QString subscriber = QStringLiteral("whole-") + QTest::currentDataTag();
        emit builtIn()->conversationListReceived(subscriber, ids, names);
        QCOMPARE(events.take(), expected);
        // The same list again announces nothing.
        if (ids.size() != names.size())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("conversation ids with"));
        if (ids.contains(QString()))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("without conversation id"));
        emit builtIn()->conversationListReceived(subscriber, ids, names);
        QCOMPARE(events.take(), QStringList());
    }

    void endWithoutBeginDoesNothing()
    {
        ListEvents events(manager());
        emit builtIn()->conversationListReceivedEnd("never");
        QCOMPARE(events.take(), QStringList());
    }

    void removedEntryIsAnnouncedOnlyWhenHeld()
    {
        ListEvents events(manager());
        transfer("removal", {"A", "B"});
        events.take();
        // The manager does not follow the realms' entry-removed signal; its
        // slot is connected here by hand.
        QVERIFY(connect(builtIn(), SIGNAL(conversationListEntryRemoved(QString, QString)), manager(),
                        SLOT(onIdentityRealmConversationListEntryRemoved(QString, QString))));
        emit builtIn()->conversationListEntryRemoved("removal", "A");
        emit builtIn()->conversationListEntryRemoved("removal", "unknown");
        emit builtIn()->conversationListEntryRemoved("nobody", "A");
        QVERIFY(disconnect(builtIn(), SIGNAL(conversationListEntryRemoved(QString, QString)), manager(),
                           SLOT(onIdentityRealmConversationListEntryRemoved(QString, QString))));
        QCOMPARE(events.take(), QStringList({"-A"}));
        // The next transfer starts from the list as it is now, without A.
        transfer("removal", {"B"});
        QCOMPARE(events.take(), QStringList());
    }

    void relaysConversationSignalsWithTheRealmFirst()
    {
        QSignalSpy text(manager(), &IdentityRealmManager::conversationTextMessageReceived);
        QSignalSpy added(manager(), &IdentityRealmManager::conversationParticipantAdded);
        QSignalSpy removed(manager(), &IdentityRealmManager::conversationParticipantRemoved);
        QSignalSpy joined(manager(), &IdentityRealmManager::conversationJoined);
        QSignalSpy password(manager(), &IdentityRealmManager::conversationPasswordRequired);
        QSignalSpy disconnected(manager(), &IdentityRealmManager::conversationDisconnected);
        QSignalSpy typing(manager(), &IdentityRealmManager::conversationParticipantIsTypingChanged);
        QSignalSpy joinRequested(manager(), &IdentityRealmManager::conversationJoinRequested);

        const QDateTime sentAt = QDateTime::fromMSecsSinceEpoch(1000, Qt::UTC);
        emit builtIn()->textMessageReceived("conv", "from", "to", "hello", sentAt);
        emit builtIn()->conversationParticipantAdded("conv", "bob");
        emit builtIn()->conversationParticipantRemoved("conv", "bob",
                                                       Tavri::IdentityRealmInterface::DisconnectReasonKicked, "kicked");
        emit builtIn()->conversationJoined("conv", "me");
        emit builtIn()->conversationPasswordRequired("conv", "me");
        emit builtIn()->conversationDisconnected("conv", "me", Tavri::IdentityRealmInterface::DisconnectReasonBanned,
                                                 "banned");
        emit builtIn()->conversationParticipantIsTypingChanged("conv", "bob", true);
        emit builtIn()->conversationJoinRequested("conv", "Conversation", "bob");

        Tavri::IdentityRealmInterface *realm = builtIn();
        QCOMPARE(text.size(), 1);
        QCOMPARE(text.at(0), QVariantList({QVariant::fromValue(realm), "conv", "from", "to", "hello", sentAt}));
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.at(0).at(2).toString(), QString("bob"));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.at(0).at(3).value<Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode>(),
                 Tavri::IdentityRealmInterface::DisconnectReasonKicked);
        QCOMPARE(joined.size(), 1);
        QCOMPARE(joined.at(0), QVariantList({QVariant::fromValue(realm), "conv"}));
        QCOMPARE(password.size(), 1);
        QCOMPARE(password.at(0).size(), 2);
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(disconnected.at(0).at(3).toString(), QString("banned"));
        QCOMPARE(typing.size(), 1);
        QCOMPARE(typing.at(0).at(3).toBool(), true);
        QCOMPARE(joinRequested.size(), 1);
        QCOMPARE(joinRequested.at(0).at(0).value<Tavri::IdentityRealmInterface *>(), realm);
    }

    void senderThatIsNotARealm()
    {
        NotARealm stranger;
        QVERIFY(connect(&stranger, SIGNAL(conversationJoined(QString, QString)), manager(),
                        SLOT(onIdentityRealmConversationJoined(QString, QString))));
        QVERIFY(connect(&stranger, SIGNAL(conversationListEntry(QString, QString, QString)), manager(),
                        SLOT(onIdentityRealmConversationListEntry(QString, QString, QString))));
        QSignalSpy joined(manager(), &IdentityRealmManager::conversationJoined);
        ListEvents events(manager());
        emit stranger.conversationJoined("conv", "me");
        emit stranger.conversationListEntry("s", "conv", "name");
        QCOMPARE(joined.size(), 1);
        QCOMPARE(joined.at(0).at(0).value<Tavri::IdentityRealmInterface *>(), nullptr);
        QCOMPARE(events.take(), QStringList());
    }

    void getIdentityRealm()
    {
        QCOMPARE(manager()->getIdentityRealm("__Tavri"), static_cast<Tavri::IdentityRealmInterface *>(builtIn()));
        QCOMPARE(manager()->getIdentityRealm("unknown"), nullptr);
        QCOMPARE(manager()->getIdentityRealm(QString()), nullptr);
        QCOMPARE(manager()->getIdentityRealm("__tavri"), nullptr);
    }

    void pluginRealmIsRegisteredAndKeptApart()
    {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Loaded plugin for \"Fake fake\" from"));
        manager()->loadIdentityRealm(FAKE_REALM_PLUGIN);
        Tavri::IdentityRealmInterface *plugin = manager()->getIdentityRealm("fake");
        QVERIFY(plugin);
        QVERIFY(plugin != static_cast<Tavri::IdentityRealmInterface *>(builtIn()));

        // One subscriber in two realms: two lists.
        ListEvents events(manager());
        transfer("shared", {"A"});
        const QStringList ids{"A", "B"};
        const QStringList names{"a", "b"};
        QMetaObject::invokeMethod(plugin->realmObject(), "conversationListReceived", Q_ARG(QString, "shared"),
                                  Q_ARG(QStringList, ids), Q_ARG(QStringList, names));
        transfer("shared", {"A"});
        QCOMPARE(events.take(), QStringList({"+A:a", "fake+A:a", "fake+B:b"}));

        // Relays name the plug-in realm.
        QSignalSpy joined(manager(), &IdentityRealmManager::conversationJoined);
        QMetaObject::invokeMethod(plugin->realmObject(), "conversationJoined", Q_ARG(QString, "conv"),
                                  Q_ARG(QString, "me"));
        QCOMPARE(joined.size(), 1);
        QCOMPARE(joined.at(0).at(0).value<Tavri::IdentityRealmInterface *>(), plugin);

        // Loading the same file again is refused and keeps the first.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Failed to load plugin .* ...already loaded plugin for"));
        manager()->loadIdentityRealm(FAKE_REALM_PLUGIN);
        QCOMPARE(manager()->getIdentityRealm("fake"), plugin);

        manager()->unloadIdentityRealm(plugin);
        QCOMPARE(manager()->getIdentityRealm("fake"), nullptr);
        QCOMPARE(joined.size(), 1);
    }

    void refusedPlugins()
    {
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("^Failed to load plugin .* ...already loaded plugin for \"__Tavri\""));
        manager()->loadIdentityRealm(DUPLICATE_REALM_PLUGIN);
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("^Failed to find appropriate interface for IdentityRealm in"));
        manager()->loadIdentityRealm(NOT_A_REALM_PLUGIN);
        manager()->loadIdentityRealm(QStringLiteral("/nonexistent/realm.so"));
        manager()->loadIdentityRealm(QString());

        // The built-in realm is still registered and followed.
        QCOMPARE(manager()->getIdentityRealm("__Tavri"), static_cast<Tavri::IdentityRealmInterface *>(builtIn()));
        QSignalSpy joined(manager(), &IdentityRealmManager::conversationJoined);
        emit builtIn()->conversationJoined("conv", "me");
        QCOMPARE(joined.size(), 1);
        manager()->unloadIdentityRealm(nullptr);
    }

    void joinWithStoredPassword()
    {
        StorageManager *storage = StorageManager::getInstance();
        FakeRealm other(QStringLiteral("ext"));

        // Another realm: the realm id stands between conversation and suffix.
        storage->setSettingsValue("roomext_password", "stored");
        manager()->joinConversationWithStoredPassword(&other, "room", "me", QString(), false);
        QCOMPARE(other.property("lastJoin").toStringList(), QStringList({"room", "me", "stored"}));

        // A given password is used as given; not kept unless asked.
        manager()->joinConversationWithStoredPassword(&other, "fresh", "me", "given", false);
        QCOMPARE(other.property("lastJoin").toStringList(), QStringList({"fresh", "me", "given"}));
        QVERIFY(!storage->getSettingsValue("freshext_password").isValid());
        manager()->joinConversationWithStoredPassword(&other, "fresh", "me", "kept", true);
        QCOMPARE(storage->getSettingsValue("freshext_password").toString(), QString("kept"));

        // Nothing stored and nothing given: an empty password.
        manager()->joinConversationWithStoredPassword(&other, "none", "me", QString(), false);
        QCOMPARE(other.property("lastJoin").toStringList(), QStringList({"none", "me", QString()}));

        // The built-in realm keeps the conversation's own password key.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("getConversation.*not a channel or user URI"));
        manager()->joinConversationWithStoredPassword(builtIn(), "chan", "me", "secret", true);
        QCOMPARE(storage->getSettingsValue("chan_password").toString(), QString("secret"));
        QVERIFY(!storage->getSettingsValue("chan__Tavri_password").isValid());

        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Assertion Failure - 'realm'"));
        manager()->joinConversationWithStoredPassword(nullptr, "chan", "me", QString(), false);
    }
};

TAVRI_TEST_GUILESS_MAIN(TestIdentityRealmManager)
#include "tst_identityrealmmanager.moc"
