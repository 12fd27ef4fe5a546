#include "fakerealm.h"
#include "realmidentitylist.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

class TestRealmIdentityList : public QObject
{
    Q_OBJECT

private:
    // Users of the built-in realm, owned by the test.
    TavriIdentityRealmUser *user(const QString &uid,
                                 Tavri::RealmUserInterface::PresenceState presence = Tavri::RealmUserInterface::Online)
    {
        auto *created = new TavriIdentityRealmUser(this);
        created->setUid(uid);
        created->setUname(uid + "-name");
        created->setSipURI("sip:" + uid + "@example.test");
        created->setPresenceState(presence, true);
        return created;
    }

    static QStringList rows(RealmIdentityList &list)
    {
        QStringList uids;
        for (int row = 0; row < list.rowCount(); ++row)
            uids.append(list.data(list.index(row), RealmIdentityList::UserUUIDRole).toString());
        return uids;
    }

    static QList<int> changedRoles(const QSignalSpy &spy, int at = 0)
    {
        QList<int> roles;
        for (int role : spy.at(at).at(2).value<QVector<int>>())
            roles.append(role);
        return roles;
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName("Ostrel");
        QCoreApplication::setApplicationName("Tavri");
        qRegisterMetaType<Tavri::RealmUserInterface *>();
        qRegisterMetaType<QVector<int>>();
    }

    void cleanup() { qDeleteAll(findChildren<TavriIdentityRealmUser *>()); }

    void addingTwiceKeepsOneRow()
    {
        RealmIdentityList list;
        QAbstractItemModelTester tester(&list);
        QSignalSpy added(&list, &RealmIdentityList::realmIdentityAdded);
        QSignalSpy count(&list, &RealmIdentityList::visibleCountChanged);
        TavriIdentityRealmUser *alice = user("alice");
        list.addIdentity(alice);
        list.addIdentity(alice);
        QCOMPARE(rows(list), QStringList({"alice"}));
        QCOMPARE(list.getIdentityList().size(), 1);
        QCOMPARE(added.size(), 1);
        QCOMPARE(count.size(), 1);
        QCOMPARE(list.property("visibleCount").toInt(), 1);
    }

    void offlineIdentitiesAreHeldButHidden()
    {
        RealmIdentityList list;
        QAbstractItemModelTester tester(&list);
        list.setShowOfflineIdentities(false);
        TavriIdentityRealmUser *away = user("away", Tavri::RealmUserInterface::Away);
        TavriIdentityRealmUser *offline = user("offline", Tavri::RealmUserInterface::Offline);
        TavriIdentityRealmUser *unknown = user("unknown", Tavri::RealmUserInterface::PresenceUnknown);
        list.addIdentity(away);
        list.addIdentity(offline);
        list.addIdentity(unknown);
        QCOMPARE(rows(list), QStringList({"away"}));
        QVERIFY(list.contains(offline));
        QVERIFY(list.containsIdentity(QStringLiteral("__Tavri"), QStringLiteral("offline")));
        QVERIFY(!list.containsIdentity(QStringLiteral("elsewhere"), QStringLiteral("offline")));

        // Visibility is decided on adding: going online later shows nothing...
        offline->setPresenceState(Tavri::RealmUserInterface::Online, true);
        QCOMPARE(rows(list), QStringList({"away"}));
        // ...until the identity is added afresh.
        list.removeIdentity(offline);
        list.addIdentity(offline);
        QCOMPARE(rows(list), QStringList({"away", "offline"}));
    }

    void identityOfAnotherRealmIsNeverARow()
    {
        RealmIdentityList list;
        FakeRealm external;
        FakeRealmUser stranger(&external, QStringLiteral("stranger"));
        QSignalSpy added(&list, &RealmIdentityList::realmIdentityAdded);
        list.addIdentity(&stranger);
        QCOMPARE(list.rowCount(), 0);
        QCOMPARE(added.size(), 1);
        QVERIFY(list.contains(&stranger));
        QVERIFY(list.containsIdentity(&external, QStringLiteral("stranger")));
        // The external realm is not registered with the manager.
        QVERIFY(!list.containsIdentity(QStringLiteral("fake"), QStringLiteral("stranger")));
        list.removeIdentity(&stranger);
    }

    void swappingPutsTheReplacementLast()
    {
        RealmIdentityList list;
        QAbstractItemModelTester tester(&list);
        TavriIdentityRealmUser *a = user("a");
        TavriIdentityRealmUser *b = user("b");
        TavriIdentityRealmUser *replacement = user("a2");
        list.addIdentity(a);
        list.addIdentity(b);
        emit a->swapping(replacement);
        QCOMPARE(rows(list), QStringList({"b", "a2"}));
        QVERIFY(!list.contains(a));
        // The old object is no longer followed.
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        a->setDisplayName("old");
        QCOMPARE(changed.size(), 0);
    }

    void destroyedIdentityLeaves()
    {
        RealmIdentityList list;
        QAbstractItemModelTester tester(&list);
        TavriIdentityRealmUser *a = user("a");
        list.addIdentity(a);
        list.addIdentity(user("b"));
        QSignalSpy removed(&list, &RealmIdentityList::realmIdentityRemoved);
        delete a;
        QCOMPARE(rows(list), QStringList({"b"}));
        QCOMPARE(removed.size(), 1);
    }

    void atOutsideTheRowsReportsAndReturnsNull()
    {
        RealmIdentityList list;
        TavriIdentityRealmUser *a = user("a");
        list.addIdentity(a);
        QCOMPARE(list.at(0), static_cast<QObject *>(a));
        for (int index : {-1, 1}) {
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Assertion Failure - 'index >= 0 && index < "
                                                                   "m_visibleIdentities.size\\(\\)'"));
            QCOMPARE(list.at(index), nullptr);
        }
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Assertion Failure - 'identity'"));
        list.addIdentity(nullptr);
        QCOMPARE(list.getIdentityList().size(), 1);
    }

    void removingAnUnknownIdentityStillAnnounces()
    {
        RealmIdentityList list;
        QSignalSpy removed(&list, &RealmIdentityList::realmIdentityRemoved);
        QSignalSpy count(&list, &RealmIdentityList::visibleCountChanged);
        list.removeIdentity(user("never"));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(count.size(), 1);
    }

    void changesOfARowAnnounceTheirRoles()
    {
        RealmIdentityList list;
        QAbstractItemModelTester tester(&list);
        list.setShowOfflineIdentities(false);
        TavriIdentityRealmUser *shown = user("shown");
        TavriIdentityRealmUser *hidden = user("hidden", Tavri::RealmUserInterface::Offline);
        list.addIdentity(shown);
        list.addIdentity(hidden);
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);

        hidden->setDisplayName("ignored");
        hidden->setPresenceMessage("ignored", true);
        QCOMPARE(changed.size(), 0);

        shown->setDisplayName("Shown");
        shown->setPresenceMessage("busy", true);
        shown->setProfileImageURI("http://example.test/p.png");
        QCOMPARE(changed.size(), 3);
        QCOMPARE(changedRoles(changed, 0), QList<int>({RealmIdentityList::DisplayNameRole, Qt::DisplayRole}));
        QCOMPARE(changedRoles(changed, 1),
                 QList<int>({RealmIdentityList::PresenceStateRole, RealmIdentityList::PresenceMessageRole}));
        QCOMPARE(changedRoles(changed, 2), QList<int>({RealmIdentityList::ProfileImageURIRole}));
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), 0);
    }

    void rolesOfABuiltInUser()
    {
        RealmIdentityList list;
        TavriIdentityRealmUser *alice = user("alice", Tavri::RealmUserInterface::Away);
        alice->setTagline("<b>tag</b>");
        alice->setLocation("Here");
        alice->setPresenceMessage("brb", true);
        list.addIdentity(alice);
        const QModelIndex row = list.index(0);
        const QHash<int, QByteArray> names = list.roleNames();
        QCOMPARE(names.value(1056), QByteArray("displayName"));
        QCOMPARE(names.value(1069), QByteArray("userIdentityRef"));
        QCOMPARE(list.data(row, Qt::DisplayRole).toString(), QString("alice-name"));
        QCOMPARE(list.data(row, names.key("realmDisplayName")).toString(), QString("Tavri"));
        QCOMPARE(list.data(row, names.key("realmID")).toString(), QString("__Tavri"));
        QCOMPARE(list.data(row, names.key("presenceState")).toInt(), 2);
        QCOMPARE(list.data(row, names.key("presenceMessage")).toString(), QString("brb"));
        QCOMPARE(list.data(row, names.key("sipURI")).toString(), QString("sip:alice@example.test"));
        QCOMPARE(list.data(row, names.key("uname")).toString(), QString("alice-name"));
        QCOMPARE(list.data(row, names.key("tagline")).toString(), QString("<b>tag</b>"));
        QCOMPARE(list.data(row, names.key("location")).toString(), QString("Here"));
        QCOMPARE(list.data(row, names.key("userUUID")).toString(), QString("alice"));
        QCOMPARE(list.data(row, names.key("isInReferenceList")).toBool(), false);
        QCOMPARE(list.data(row, names.key("userIdentityRef")).value<QObject *>(), static_cast<QObject *>(alice));
        QCOMPARE(names.value(1070), QByteArray("taglineText"));
        QVERIFY(!list.data(row, 1071).isValid());
        QVERIFY(!list.data(list.index(1), 1056).isValid());
    }

    // Other users write their taglines: the plain-text role keeps their
    // words and drops markup, pictures and scripts without rendering them.
    void taglineTextIsPlain_data()
    {
        QTest::addColumn<QString>("tagline");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "just words"
                               << "just words";
        QTest::newRow("markup") << "<b>bold</b> and <i>more</i>"
                                << "bold and more";
        QTest::newRow("entities") << "a &lt;tag&gt; &amp; &quot;quotes&quot;"
                                  << "a <tag> & \"quotes\"";
        QTest::newRow("remote picture") << "hi <img src=\"http://example.test/x.png\"> there"
                                        << "hi there";
        QTest::newRow("script and style") << "<style>b{}</style><script>alert(1)</script>ok"
                                          << "ok";
        QTest::newRow("unclosed") << "<b>open <a href=\"javascript:x\">link"
                                  << "open link";
        QTest::newRow("numeric references") << "&#72;&#x69;&#0;!"
                                            << "Hi!";
        QTest::newRow("empty") << ""
                               << "";
    }
    void taglineTextIsPlain()
    {
        QFETCH(QString, tagline);
        QFETCH(QString, text);
        RealmIdentityList list;
        TavriIdentityRealmUser *alice = user("alice");
        alice->setTagline(tagline);
        list.addIdentity(alice);
        QCOMPARE(list.data(list.index(0), RealmIdentityList::TaglineTextRole).toString(), text);
    }

    void referenceListMarksShared()
    {
        RealmIdentityList list;
        TavriIdentityRealmUser *a = user("a");
        TavriIdentityRealmUser *b = user("b");
        list.addIdentity(a);
        list.addIdentity(b);
        auto *reference = new RealmIdentityList;
        reference->addIdentity(b);
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);

        list.setReferenceList(reference);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), 0);
        QCOMPARE(changed.at(0).at(1).value<QModelIndex>().row(), 1);
        QCOMPARE(changedRoles(changed), QList<int>({RealmIdentityList::IsInReferenceListRole}));
        QCOMPARE(list.data(list.index(0), RealmIdentityList::IsInReferenceListRole).toBool(), false);
        QCOMPARE(list.data(list.index(1), RealmIdentityList::IsInReferenceListRole).toBool(), true);

        list.setReferenceList(reference);
        QCOMPARE(changed.size(), 1);

        delete reference;
        QCOMPARE(changed.size(), 2);
        QCOMPARE(list.data(list.index(1), RealmIdentityList::IsInReferenceListRole).toBool(), false);
    }

    void clearDropsRowsCountAndConnections()
    {
        RealmIdentityList list;
        QAbstractItemModelTester tester(&list);
        TavriIdentityRealmUser *a = user("a");
        list.addIdentity(a);
        list.addIdentity(user("b"));
        QSignalSpy count(&list, &RealmIdentityList::visibleCountChanged);
        QSignalSpy removed(&list, &RealmIdentityList::realmIdentityRemoved);
        list.clear();
        QCOMPARE(list.rowCount(), 0);
        QCOMPARE(list.getIdentityList().size(), 0);
        QCOMPARE(count.size(), 1);
        QCOMPARE(count.at(0).at(0).toInt(), 0);
        QCOMPARE(removed.size(), 0);

        // An empty list clears without a count change.
        list.clear();
        QCOMPARE(count.size(), 1);

        // Refilled many times, an identity is still followed once.
        for (int refill = 0; refill < 3; ++refill) {
            list.clear();
            list.addIdentity(a);
        }
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        a->setDisplayName("once");
        QCOMPARE(changed.size(), 1);

        // A cleared identity's end no longer reaches the list.
        TavriIdentityRealmUser *c = user("c");
        list.addIdentity(c);
        list.clear();
        removed.clear();
        delete c;
        QCOMPARE(removed.size(), 0);
    }

    void showOfflineIdentitiesProperty()
    {
        RealmIdentityList list;
        QSignalSpy spy(&list, &RealmIdentityList::showOfflineIdentitiesChanged);
        QVERIFY(list.getShowOfflineIdentities());
        list.setProperty("showOfflineIdentities", true);
        QCOMPARE(spy.size(), 0);
        list.setProperty("showOfflineIdentities", false);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), false);
    }

    // Runs last: it ends the built-in realm of this process.
    void rowsLeaveWithTheirRealm()
    {
        RealmIdentityList list;
        QAbstractItemModelTester tester(&list);
        TavriIdentityRealmUser *a = user("a");
        list.addIdentity(a);
        list.addIdentity(user("b"));
        QSignalSpy count(&list, &RealmIdentityList::visibleCountChanged);
        delete TavriIdentityRealm::getInstance();
        QCOMPARE(list.rowCount(), 0);
        QVERIFY(count.size() > 0);
        QCOMPARE(count.last().at(0).toInt(), 0);
        // Still held, and a later user of a new realm is no row either.
        QVERIFY(list.contains(a));
        list.addIdentity(user("c"));
        QCOMPARE(list.rowCount(), 0);
    }
};

TAVRI_TEST_GUILESS_MAIN(TestRealmIdentityList)
#include "tst_realmidentitylist.moc"
