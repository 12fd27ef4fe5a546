// Conversation participants: row order, invitations turning present, chat
// colours, per-role change notices, throttled volume requests, the local
// user's microphone, and rows whose realm user is gone.

#include "conversation.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "fakerealm.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "stylemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "voicemanager.h"
#include "voicetestsupport.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QStringList kChatColors{"#00c4b2", "#162cd2", "#4fda24"};

// A built-in realm user that the test owns, with a name and a URI.
std::unique_ptr<TavriIdentityRealmUser> makeUser(const QString &name, const QString &uri = QString())
{
    auto user = std::make_unique<TavriIdentityRealmUser>();
    user->setUname(name);
    user->setSipURI(uri.isEmpty() ? QStringLiteral("sip:u-") + name.toLower() + QStringLiteral("@d") : uri);
    user->setUid(QStringLiteral("uid-") + name);
    return user;
}

QStringList rowNames(ConversationParticipantList *list)
{
    QStringList names;
    for (int row = 0; row < list->rowCount(); ++row)
        names << list->index(row).data(ConversationParticipantList::DisplayNameRole).toString();
    return names;
}

// The roles of every dataChanged that the spy recorded, in order.
QList<QVector<int>> changedRoles(const QSignalSpy &spy)
{
    QList<QVector<int>> roles;
    for (const QList<QVariant> &arguments : spy)
        roles << arguments.at(2).value<QVector<int>>();
    return roles;
}

// True once the participant's running volume interval has ended and its end
// has been handled: the participant then has no timer left.
bool volumeIntervalEnds(QObject *participant)
{
    return QTest::qWaitFor(
        [participant] { return QAbstractEventDispatcher::instance()->registeredTimers(participant).isEmpty(); }, 10000);
}

int volumeRequestCount()
{
    if (oxc_wait_idle(20000) != 0)
        QTest::qFail("the voice stand-in did not go idle", __FILE__, __LINE__);
    return oxc_request_count(OX_REQ_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME);
}

const ox_req_session_set_participant_volume_for_me_t *volumeRequest(int nth)
{
    return reinterpret_cast<const ox_req_session_set_participant_volume_for_me_t *>(
        oxc_find_request(OX_REQ_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME, nth));
}

} // namespace

class TestParticipants : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void rowOrder_data();
    void rowOrder();
    void invitedTurnsPresent();
    void presentAddedTwiceStaysOneRow();
    void realmUserFoundWhileARow();
    void chatColorGivenOnce();
    void chatColorsRoundRobin();
    void roleChanges_data();
    void roleChanges();
    void identitySignalsMoveAndRefresh();
    void manyRowsKeepOrderRowsAndAddresses();
    void addressesFoundWhileRowsLeave();
    void updateFindsRowAfterListChanged_data();
    void updateFindsRowAfterListChanged();
    void dialInUser_data();
    void dialInUser();
    void volumeRequestsThrottled();
    void volumeIgnoredWithoutVoice();
    void localUserFollowsMicrophone();
    void rowWithoutIdentity();
    void lookUpsAfterRowLeft_data();
    void lookUpsAfterRowLeft();
    void otherRealmUserWithVoiceIdentity();
    void clearDropsRealmUserConnections();
    void invitationWithoutIdentity();
    void friendCountFollowsRowsAndContacts();

private:
    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    VoiceManager *m_voice = nullptr;
    StyleManager *m_style = nullptr;
    QTemporaryDir m_styleDir;
};

void TestParticipants::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    qRegisterMetaType<ConversationParticipant::InvitedState>();
    qRegisterMetaType<QVector<int>>();

    // The style in force, with the chat colours the participants take.
    QVERIFY(m_styleDir.isValid());
    const QString stylePath = m_styleDir.filePath(QStringLiteral("Test.qml"));
    QFile styleFile(stylePath);
    QVERIFY(styleFile.open(QIODevice::WriteOnly));
    styleFile.write("import \"qrc:/QML/qml/tavri/controls\"\nStyleManager {\n    chatColors: [\""
                    + kChatColors.join(QStringLiteral("\", \"")).toUtf8() + "\"]\n}\n");
    styleFile.close();
    m_style = new StyleManager(nullptr, stylePath, this);
    QVERIFY(m_style->isValid());
    QCOMPARE(StyleManager::getInstance(), m_style);
    QCOMPARE(m_style->getChatColors().size(), kChatColors.size());

    // The local user, and with it its contact list, exists before any realm
    // delivers a roster, as in the program: the list follows the built-in
    // realm's roster from the moment it is made.
    QVERIFY(LocalUser::getLocalUser()->getContactList());

    m_web = new FakeWebService(this);
    m_web->setDefault(QStringLiteral("getUserByUserLiveURI"), QJsonObject{{"status", "OK"}});
    m_web->setDefault(QStringLiteral("AddUserStats"), QJsonObject{{"status", "OK"}});
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false, this);
    QVERIFY(voicetest::logIn(*m_voice, QStringLiteral("parts")));
}

void TestParticipants::cleanupTestCase()
{
    delete TavriIdentityRealm::getInstance();
    delete m_voice;
    m_voice = nullptr;
    delete m_social;
    m_social = nullptr;
}

void TestParticipants::rowOrder_data()
{
    // State letter and name, in order of adding: P present, I invited, D
    // invited and then declined (a declined invitee leaves the list).
    QTest::addColumn<QStringList>("adds");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("names ignore case") << QStringList{"P:Carl", "P:bob", "P:amy"} << QStringList{"amy", "bob", "Carl"};
    QTest::newRow("equal names keep insertion order")
        << QStringList{"P:ann", "P:Ann", "P:ANN"} << QStringList{"ann", "Ann", "ANN"};
    QTest::newRow("present before invited")
        << QStringList{"I:bo", "P:cy", "I:ad", "P:Zed"} << QStringList{"cy", "Zed", "ad", "bo"};
    QTest::newRow("declined leaves") << QStringList{"I:al", "D:bo", "P:cy"} << QStringList{"cy", "al"};
    QTest::newRow("empty name first") << QStringList{"P:b", "P:"} << QStringList{"", "b"};
}

void TestParticipants::rowOrder()
{
    QFETCH(QStringList, adds);
    QFETCH(QStringList, expected);

    Conversation chat(QString(), QStringLiteral("sip:confctl-g-order@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    std::vector<std::unique_ptr<TavriIdentityRealmUser>> users;
    int serial = 0;
    for (const QString &add : adds) {
        const QString name = add.mid(2);
        users.push_back(makeUser(name, QStringLiteral("sip:u-order%1@d").arg(++serial)));
        users.back()->setUid(QStringLiteral("order-%1").arg(serial));
        if (add.startsWith('P')) {
            list->addParticipant(users.back().get());
        } else {
            ConversationParticipant *invited = list->addInvitedParticipant(users.back().get());
            if (add.startsWith('D'))
                invited->setInvitedState(ConversationParticipant::Declined);
        }
    }
    QCOMPARE(rowNames(list), expected);
    list->clear();
}

void TestParticipants::invitedTurnsPresent()
{
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-inv@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto amy = makeUser(QStringLiteral("amy"));
    auto bob = makeUser(QStringLiteral("bob"));
    auto zoe = makeUser(QStringLiteral("Zoe"));

    ConversationParticipant *invitedAmy = list->addInvitedParticipant(amy.get());
    ConversationParticipant *invitedBob = list->addInvitedParticipant(bob.get());
    QCOMPARE(list->addInvitedParticipant(amy.get()), invitedAmy);
    list->addParticipant(zoe.get());
    QCOMPARE(rowNames(list), (QStringList{"Zoe", "amy", "bob"}));
    QVERIFY(list->getInvitedIdentities()->contains(amy.get()));

    // A handler of the state change may come back into the list: here it
    // turns the other invitee present as well, while amy's row is still
    // listed.
    QSignalSpy states(invitedAmy, &ConversationParticipant::invitedStateChanged);
    bool rowListedOnChange = false;
    connect(invitedAmy, &ConversationParticipant::invitedStateChanged, this, [&] {
        rowListedOnChange = list->getParticipants().contains(invitedAmy);
        QCOMPARE(list->addParticipant(bob.get()), invitedBob);
    });
    QSignalSpy added(list, &ConversationParticipantList::participantAdded);

    QCOMPARE(list->addParticipant(amy.get()), invitedAmy);
    QCOMPARE(states.count(), 1);
    QCOMPARE(states.first().first().value<ConversationParticipant::InvitedState>(), ConversationParticipant::Present);
    QVERIFY(rowListedOnChange);
    QCOMPARE(added.count(), 2);
    QCOMPARE(rowNames(list), (QStringList{"amy", "bob", "Zoe"}));
    QCOMPARE(list->index(0).data(ConversationParticipantList::InvitationStateRole).toInt(),
             int(ConversationParticipant::Present));
    QVERIFY(!list->getInvitedIdentities()->contains(amy.get()));
    QVERIFY(!list->getInvitedIdentities()->contains(bob.get()));
    list->clear();
}

void TestParticipants::presentAddedTwiceStaysOneRow()
{
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-twice@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    auto ann = makeUser(QStringLiteral("Ann"));
    ConversationParticipant *first = list->addParticipant(ann.get());
    QSignalSpy counts(list, &ConversationParticipantList::participantCountChanged);
    QCOMPARE(list->addParticipant(ann.get()), first);
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(counts.count(), 1);
    QCOMPARE(counts.first().first().toInt(), 1);

    // Followed once, however often it was added.
    QSignalSpy changes(list, &QAbstractItemModel::dataChanged);
    first->setIsSpeaking(true);
    QCOMPARE(changes.count(), 1);
    list->clear();
}

void TestParticipants::realmUserFoundWhileARow()
{
    // Found by realm user while a row, and no more once the row has gone,
    // with rows coming and going around it.
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-found@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    auto ann = makeUser(QStringLiteral("Ann"));
    auto bob = makeUser(QStringLiteral("Bob"));
    auto cy = makeUser(QStringLiteral("Cy"));
    ConversationParticipant *annRow = list->addParticipant(ann.get());
    ConversationParticipant *bobRow = list->addInvitedParticipant(bob.get());
    list->removeParticipant(annRow, true);
    QCOMPARE(list->addInvitedParticipant(bob.get()), bobRow);
    list->addParticipant(cy.get());
    ConversationParticipant *annAgain = list->addInvitedParticipant(ann.get());
    QVERIFY(annAgain != bobRow);
    QCOMPARE(list->addInvitedParticipant(ann.get()), annAgain);
    QCOMPARE(rowNames(list), (QStringList{"Cy", "Ann", "Bob"}));
    list->removeParticipantForIdentity(bob.get());
    QCOMPARE(rowNames(list), (QStringList{"Cy", "Ann"}));
    list->removeParticipantForIdentity(bob.get()); // no row: nothing happens
    QCOMPARE(list->rowCount(), 2);
    list->clear();
}

void TestParticipants::friendCountFollowsRowsAndContacts()
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Tavri::RealmUserInterface *ann = realm->requestUserInfoUpdateByURI(QStringLiteral("sip:u-friend-ann@d"));
    Tavri::RealmUserInterface *bob = realm->requestUserInfoUpdateByURI(QStringLiteral("sip:u-friend-bob@d"));
    Tavri::RealmUserInterface *cat = realm->requestUserInfoUpdateByURI(QStringLiteral("sip:u-friend-cat@d"));
    QVERIFY(ann && bob && cat);
    // The local user's roster, as the built-in realm delivers it.
    const auto deliverRoster = [realm](const QList<Tavri::RealmUserInterface *> &contacts) {
        emit realm->rosterListReceivedBegin(QStringLiteral("me"));
        for (Tavri::RealmUserInterface *contact : contacts)
            emit realm->rosterListEntry(QStringLiteral("me"), contact->getUid());
        emit realm->rosterListReceivedEnd(QStringLiteral("me"));
    };
    deliverRoster({ann, cat});

    Conversation chat(QString(), QStringLiteral("sip:confctl-g-friends@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    QSignalSpy friends(list, &ConversationParticipantList::participantContactCountChanged);
    const auto counts = [&friends] {
        QList<int> values;
        for (const QList<QVariant> &arguments : qAsConst(friends))
            values.append(arguments.first().toInt());
        friends.clear();
        return values;
    };

    list->addParticipant(ann);
    list->addParticipant(bob);
    list->addInvitedParticipant(cat);
    QCOMPARE(counts(), (QList<int>{1, 1, 2}));
    QCOMPARE(list->property("friendCount").toInt(), 2);

    // Bob becomes a contact, then Ann stops being one.
    deliverRoster({ann, bob, cat});
    QCOMPARE(list->property("friendCount").toInt(), 3);
    deliverRoster({bob, cat});
    QCOMPARE(list->property("friendCount").toInt(), 2);
    QCOMPARE(counts(), (QList<int>{3, 2}));

    list->removeParticipantForIdentity(bob);
    QCOMPARE(counts(), QList<int>{1});
    list->clear();
    QCOMPARE(counts(), QList<int>{0});
    deliverRoster({});
}

void TestParticipants::chatColorGivenOnce()
{
    auto ann = makeUser(QStringLiteral("Ann"));
    auto ben = makeUser(QStringLiteral("Ben"));
    auto cat = makeUser(QStringLiteral("Cat"));
    cat->setChatColor(QStringLiteral("#123456"));

    Conversation first(QString(), QStringLiteral("sip:confctl-g-c1@d"), QString());
    first.getParticipants()->addInvitedParticipant(ann.get());
    QVERIFY(ann->getChatColor().isEmpty()); // invitees get no colour

    QSignalSpy annColors(ann.get(), &TavriIdentityRealmUser::chatColorChanged);
    first.getParticipants()->addParticipant(ann.get());
    first.getParticipants()->addParticipant(ben.get());
    first.getParticipants()->addParticipant(cat.get());
    const int annIndex = kChatColors.indexOf(ann->getChatColor());
    QVERIFY2(annIndex >= 0, qPrintable(ann->getChatColor()));
    QCOMPARE(annColors.count(), 1);
    QCOMPARE(ben->getChatColor(), kChatColors.at((annIndex + 1) % kChatColors.size()));
    QCOMPARE(cat->getChatColor(), QStringLiteral("#123456"));

    Conversation second(QString(), QStringLiteral("sip:confctl-g-c2@d"), QString());
    const QString annColor = ann->getChatColor();
    second.getParticipants()->addParticipant(ann.get());
    QCOMPARE(ann->getChatColor(), annColor);
    QCOMPARE(annColors.count(), 1);
    first.getParticipants()->clear();
    second.getParticipants()->clear();
}

void TestParticipants::chatColorsRoundRobin()
{
    const QColor first = m_style->takeChatColor();
    QVERIFY(first.isValid());
    for (int taken = 1; taken < kChatColors.size(); ++taken)
        QVERIFY(m_style->takeChatColor() != first);
    QCOMPARE(m_style->takeChatColor(), first);
}

void TestParticipants::roleChanges_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QVector<int>>("roles");

    using L = ConversationParticipantList;
    QTest::newRow("speaking") << "speaking" << QVector<int>{L::IsSpeakingRole};
    QTest::newRow("muted") << "muted" << QVector<int>{L::IsMutedRole};
    QTest::newRow("muted locally") << "mutedLocally" << QVector<int>{L::IsMutedLocallyRole, L::IsMutedRole};
    QTest::newRow("moderator") << "moderator" << QVector<int>{L::IsModeratorRole};
    QTest::newRow("reported volume") << "volume" << QVector<int>{L::VolumeAdjustmentRole};
    QTest::newRow("voice") << "voice" << QVector<int>{L::VoiceEnabledRole};
}

void TestParticipants::roleChanges()
{
    QFETCH(QString, change);
    QFETCH(QVector<int>, roles);

    Conversation chat(QString(), QStringLiteral("sip:confctl-g-roles@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto ann = makeUser(QStringLiteral("Ann"));
    auto bob = makeUser(QStringLiteral("Bob"));
    list->addParticipant(ann.get());
    ConversationParticipant *p = list->addParticipant(bob.get());

    auto apply = [&] {
        if (change == "speaking")
            p->setIsSpeaking(true);
        else if (change == "muted")
            p->setIsMuted(true);
        else if (change == "mutedLocally")
            p->setIsMutedLocally(true);
        else if (change == "moderator")
            p->setIsModerator(true);
        else if (change == "volume")
            p->setLocalVolumeAdjustment(35, true);
        else if (change == "voice")
            p->setVoiceEnabled(true);
    };
    QSignalSpy changes(list, &QAbstractItemModel::dataChanged);
    apply();
    QCOMPARE(changes.count(), roles.size());
    for (int i = 0; i < changes.count(); ++i) {
        QCOMPARE(changes.at(i).at(0).toModelIndex().row(), 1);
        QCOMPARE(changedRoles(changes).at(i), QVector<int>{roles.at(i)});
    }
    const QModelIndex row = list->index(1);
    QCOMPARE(row.data(roles.first()), change == "volume" ? QVariant(35) : QVariant(true));

    // The same value again changes nothing.
    changes.clear();
    apply();
    QCOMPARE(changes.count(), 0);
    list->clear();
}

void TestParticipants::identitySignalsMoveAndRefresh()
{
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-ident@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto ann = makeUser(QStringLiteral("Ann"));
    auto bob = makeUser(QStringLiteral("Bob"));
    list->addParticipant(ann.get());
    list->addParticipant(bob.get());

    QSignalSpy moves(list, &QAbstractItemModel::rowsMoved);
    QSignalSpy changes(list, &QAbstractItemModel::dataChanged);
    ann->setUname(QStringLiteral("Zara"));
    QCOMPARE(moves.count(), 1);
    QCOMPARE(rowNames(list), (QStringList{"Bob", "Zara"}));
    QCOMPARE(changedRoles(changes),
             (QList<QVector<int>>{{ConversationParticipantList::DisplayNameRole, Qt::DisplayRole}}));
    QCOMPARE(changes.first().at(0).toModelIndex().row(), 1);

    changes.clear();
    emit bob->profileIconUpdated(QUrl(QStringLiteral("http://img/b.png")));
    emit bob->presenceUpdated(Tavri::RealmUserInterface::Away, QStringLiteral("out"));
    QCOMPARE(changedRoles(changes), (QList<QVector<int>>{{ConversationParticipantList::ProfileImageURIRole},
                                                         {ConversationParticipantList::PresenceMessageRole,
                                                          ConversationParticipantList::PresenceStateRole}}));
    QCOMPARE(changes.first().at(0).toModelIndex().row(), 0);
    list->clear();
}

void TestParticipants::manyRowsKeepOrderRowsAndAddresses()
{
    // Enough rows, added out of order with names that repeat in other cases,
    // for every row to be placed among many others.
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-many@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    std::vector<std::unique_ptr<TavriIdentityRealmUser>> users;
    const QStringList stems{"bo", "Al", "cy", "AL", "Bo", "al"};
    QVector<int> reference;
    for (int i = 0; i < 240; ++i) {
        const int shuffled = (i * 97) % 240;
        const QString name = stems.at(shuffled % stems.size()) + QString::number(shuffled / 60);
        users.push_back(makeUser(name, QStringLiteral("sip:u-many%1@d").arg(i)));
        users.back()->setUid(QStringLiteral("many-%1").arg(i));
        if (i % 5 == 0)
            list->addInvitedParticipant(users.back().get());
        else
            list->addParticipant(users.back().get());
        reference.append(i);
    }
    // Present rows first, then names without regard to case, equal ones in
    // the order they came.
    const auto key = [&](int i) {
        return qMakePair(i % 5 == 0 ? 1 : 0, users.at(size_t(i))->getDisplayName().toLower());
    };
    std::stable_sort(reference.begin(), reference.end(), [&](int a, int b) { return key(a) < key(b); });
    QCOMPARE(list->rowCount(), 240);
    for (int row = 0; row < 240; ++row)
        QCOMPARE(list->at(row)->getIdentity(), users.at(size_t(reference.at(row))).get());

    // Renamed rows move; every row still reports its own row and is found by
    // its address.
    users.at(7)->setUname(QStringLiteral("aa"));
    users.at(11)->setUname(QStringLiteral("zz"));
    QCOMPARE(list->at(0)->getIdentity(), users.at(7).get());
    QSignalSpy changes(list, &QAbstractItemModel::dataChanged);
    for (int row = 0; row < list->rowCount(); ++row) {
        ConversationParticipant *participant = list->at(row);
        QCOMPARE(list->getParticipantBySipURI(participant->getSipURI()), participant);
        if (participant->getInvitedState() != ConversationParticipant::Present)
            continue;
        changes.clear();
        participant->setIsModerator(true);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.first().at(0).toModelIndex().row(), row);
    }

    // A changed address is found under its new text only; a row that left is
    // found under none.
    ConversationParticipant *moved = list->getParticipantBySipURI(QStringLiteral("sip:u-many3@d"));
    QVERIFY(moved);
    users.at(3)->setSipURI(QStringLiteral("sip:u-moved@d"));
    QCOMPARE(list->getParticipantBySipURI(QStringLiteral("sip:u-many3@d")), nullptr);
    QCOMPARE(list->getParticipantBySipURI(QStringLiteral("sip:u-moved@d")), moved);
    ConversationParticipant *leaving = list->getParticipantBySipURI(QStringLiteral("sip:u-many4@d"));
    list->removeParticipant(leaving, true);
    QCOMPARE(list->getParticipantBySipURI(QStringLiteral("sip:u-many4@d")), nullptr);
    QCOMPARE(list->rowCount(), 239);
    list->clear();
}

void TestParticipants::addressesFoundWhileRowsLeave()
{
    // Rows leave in a scattered order, some coming back under a new address:
    // after every change each row is found by its own address, and the
    // address of a row that left finds nothing. Enough rows for addresses to
    // share runs of the index and for the index to grow several times.
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-leave@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    std::vector<std::unique_ptr<TavriIdentityRealmUser>> users;
    QSet<TavriIdentityRealmUser *> listed;
    constexpr int kRows = 300;
    for (int i = 0; i < kRows; ++i) {
        users.push_back(makeUser(QStringLiteral("u%1").arg(i), QStringLiteral("sip:u-leave%1@d").arg(i)));
        list->addParticipant(users.back().get());
        listed.insert(users.back().get());
    }
    QStringList oldAddresses;
    const auto check = [&](const char *when) {
        for (const QString &address : qAsConst(oldAddresses))
            QVERIFY2(!list->getParticipantBySipURI(address), when);
        for (const auto &user : users) {
            ConversationParticipant *found = list->getParticipantBySipURI(user->getSipURI());
            if (listed.contains(user.get()))
                QVERIFY2(found && found->getIdentity() == user.get(), when);
            else
                QVERIFY2(!found, when);
        }
    };
    for (int step = 0; step < kRows; ++step) {
        TavriIdentityRealmUser *user = users.at(size_t((step * 113) % kRows)).get();
        if (step % 7 == 3) {
            // Moves to a new address while a row.
            oldAddresses.append(user->getSipURI());
            user->setSipURI(user->getSipURI() + QStringLiteral(";moved"));
        } else {
            list->removeParticipantForIdentity(user);
            listed.remove(user);
        }
        check("after a change");
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(list->rowCount(), listed.size());
    list->clear();
    listed.clear();
    check("after clearing");
}

void TestParticipants::updateFindsRowAfterListChanged_data()
{
    QTest::addColumn<QString>("change");
    // Cat's rows after the change, -1 when it is no row.
    QTest::addColumn<int>("row");

    // Before every change: Ann, Cat, Dan present, Abe invited.
    QTest::newRow("row added before") << "add Bob" << 2;
    QTest::newRow("row before removed") << "remove Ann" << 0;
    QTest::newRow("row before renamed past") << "rename Ann" << 0;
    QTest::newRow("invitee turns present") << "present Abe" << 2;
    QTest::newRow("renamed to the end") << "rename Cat" << 2;
    QTest::newRow("removed, then a row added") << "remove Cat" << -1;
    QTest::newRow("cleared and added again") << "clear" << -1;
}

void TestParticipants::updateFindsRowAfterListChanged()
{
    QFETCH(QString, change);
    QFETCH(int, row);

    Conversation chat(QString(), QStringLiteral("sip:confctl-g-hint@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto abe = makeUser(QStringLiteral("Abe"));
    auto ann = makeUser(QStringLiteral("Ann"));
    auto bob = makeUser(QStringLiteral("Bob"));
    auto cat = makeUser(QStringLiteral("Cat"));
    auto dan = makeUser(QStringLiteral("Dan"));
    list->addParticipant(ann.get());
    list->addParticipant(dan.get());
    ConversationParticipant *p = list->addParticipant(cat.get());
    list->addInvitedParticipant(abe.get());
    QCOMPARE(rowNames(list), (QStringList{"Ann", "Cat", "Dan", "Abe"}));
    // Found once where it is now, so that what follows moves it.
    p->setIsSpeaking(true);
    QCOMPARE(list->getParticipantBySipURI(cat->getSipURI()), p);

    if (change == "add Bob") {
        list->addParticipant(bob.get());
    } else if (change == "remove Ann") {
        list->removeParticipantForIdentity(ann.get());
    } else if (change == "rename Ann") {
        ann->setUname(QStringLiteral("Eve"));
    } else if (change == "present Abe") {
        list->addParticipant(abe.get());
    } else if (change == "rename Cat") {
        cat->setUname(QStringLiteral("Zed"));
    } else if (change == "remove Cat") {
        list->removeParticipant(p, false);
        list->addParticipant(bob.get());
    } else if (change == "clear") {
        list->clear();
        list->addParticipant(ann.get());
        list->addParticipant(cat.get());
    }

    QSignalSpy changes(list, &QAbstractItemModel::dataChanged);
    p->setIsSpeaking(false);
    p->setIsMuted(true);
    if (row < 0) {
        QCOMPARE(changes.count(), 0);
        QVERIFY(list->getParticipantBySipURI(cat->getSipURI()) != p);
        QVERIFY(!list->getParticipants().contains(p));
    } else {
        QCOMPARE(list->at(row), p);
        QCOMPARE(changedRoles(changes), (QList<QVector<int>>{{ConversationParticipantList::IsSpeakingRole},
                                                             {ConversationParticipantList::IsMutedRole}}));
        for (const QList<QVariant> &changed : qAsConst(changes)) {
            QCOMPARE(changed.at(0).toModelIndex().row(), row);
            QCOMPARE(changed.at(1).toModelIndex().row(), row);
        }
        QCOMPARE(list->getParticipantBySipURI(cat->getSipURI()), p);
    }
    if (change == "remove Cat")
        delete p;
    list->clear();
}

void TestParticipants::dialInUser_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<bool>("dialIn");
    QTest::newRow("phone") << "sip:phone.4711@d" << true;
    QTest::newRow("other case") << "sip:PHONE.4711@d" << false;
    QTest::newRow("user") << "sip:u-phone@d" << false;
}

void TestParticipants::dialInUser()
{
    QFETCH(QString, uri);
    QFETCH(bool, dialIn);
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-dial@d"), QString());
    auto caller = makeUser(QStringLiteral("Caller"), uri);
    chat.getParticipants()->addParticipant(caller.get());
    const QModelIndex row = chat.getParticipants()->index(0);
    QCOMPARE(row.data(ConversationParticipantList::IsDialinUserRole).toBool(), dialIn);
    QCOMPARE(row.data(ConversationParticipantList::SipURIRole).toString(), uri);
    chat.getParticipants()->clear();
}

void TestParticipants::volumeRequestsThrottled()
{
    Conversation channel(QStringLiteral("Vol"), QStringLiteral("sip:confctl-vol@d"), QStringLiteral("31"), nullptr,
                         QStringLiteral("vol-handle"));
    QCOMPARE(channel.getVoiceState(), Conversation::VoiceEnabled);
    auto ann = makeUser(QStringLiteral("Ann"), QStringLiteral("sip:u-annvol@d"));
    ConversationParticipant *p = channel.getParticipants()->addParticipant(ann.get());
    p->setVoiceParticipantURI(QStringLiteral("sip:u-annvol@d;voice"));
    p->setLocalVolumeAdjustment(50, true);
    oxc_clear_requests();

    // The slider writes through the property.
    QVERIFY(p->setProperty("localVolumeAdjustment", 60));
    QVERIFY(p->setProperty("localVolumeAdjustment", 70));
    QCOMPARE(volumeRequestCount(), 1);
    QCOMPARE(volumeRequest(0)->volume, 60);
    QCOMPARE(QString::fromUtf8(volumeRequest(0)->participant_uri), QStringLiteral("sip:u-annvol@d;voice"));
    QCOMPARE(QString::fromUtf8(volumeRequest(0)->session_handle), QStringLiteral("vol-handle"));
    // The stored adjustment is the requested one, not the last reported.
    QCOMPARE(StorageManager::getInstance()->getVolumeAdjustForUserUri(QStringLiteral("sip:u-annvol@d")), 60.0);

    // The newest value goes out when the interval ends.
    QTRY_COMPARE_WITH_TIMEOUT(volumeRequestCount(), 2, 5000);
    QCOMPARE(volumeRequest(1)->volume, 70);
    QCOMPARE(StorageManager::getInstance()->getVolumeAdjustForUserUri(QStringLiteral("sip:u-annvol@d")), 70.0);

    // A value already sent is not sent again when the next interval ends,
    // even though the voice service never reported it.
    QVERIFY(volumeIntervalEnds(p));
    QCOMPARE(volumeRequestCount(), 2);
    QCOMPARE(p->getLocalVolumeAdjustment(), 50);
    QCOMPARE(p->getRequestedVolumeAdjustment(), 70);

    // Out of range values are brought into 0..100, with a warning.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("volume 140 outside 0 to 100"));
    p->setLocalVolumeAdjustment(140, false);
    QCOMPARE(volumeRequestCount(), 3);
    QCOMPARE(volumeRequest(2)->volume, 100);
    channel.getParticipants()->clear();
}

void TestParticipants::volumeIgnoredWithoutVoice()
{
    Conversation channel(QStringLiteral("Quiet"), QStringLiteral("sip:confctl-quiet@d"), QStringLiteral("32"));
    QCOMPARE(channel.getVoiceState(), Conversation::VoiceDisabled);
    auto ann = makeUser(QStringLiteral("Ann"), QStringLiteral("sip:u-annquiet@d"));
    ConversationParticipant *p = channel.getParticipants()->addParticipant(ann.get());
    p->setLocalVolumeAdjustment(40, true);
    oxc_clear_requests();
    const int micRequests = oxc_request_count(OX_REQ_AUX_SET_MIC_LEVEL);

    QSignalSpy volumes(p, &ConversationParticipant::localVolumeAdjustmentChanged);
    p->setLocalVolumeAdjustment(80, false);
    QCOMPARE(p->getRequestedVolumeAdjustment(), 40);
    QVERIFY(volumeIntervalEnds(p)); // nothing was pending
    QCOMPARE(volumeRequestCount(), 0);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_SET_MIC_LEVEL), micRequests);
    QCOMPARE(p->getLocalVolumeAdjustment(), 40);
    QCOMPARE(volumes.count(), 0);
    channel.getParticipants()->clear();
}

void TestParticipants::localUserFollowsMicrophone()
{
    LocalUser *localUser = LocalUser::getLocalUser();
    TavriIdentityRealmUser *me = signedin::ownIdentity(QStringLiteral("sip:u-me@d"));
    QVERIFY(me);
    localUser->onLocalMicMuteChanged(false);

    Conversation channel(QStringLiteral("Mine"), QStringLiteral("sip:confctl-mine@d"), QStringLiteral("33"), nullptr,
                         QStringLiteral("mine-handle"));
    ConversationParticipantList *list = channel.getParticipants();
    ConversationParticipant *self = list->addParticipant(me);
    const QModelIndex row = list->index(list->getParticipants().indexOf(self));
    QVERIFY(row.data(ConversationParticipantList::IsSelfRole).toBool());
    self->setIsMuted(false);
    self->setIsMutedLocally(false);
    QVERIFY(!self->getIsMuted());

    QSignalSpy muted(self, &ConversationParticipant::isMutedChanged);
    QSignalSpy mutedLocally(self, &ConversationParticipant::isMutedLocallyChanged);
    QSignalSpy changes(list, &QAbstractItemModel::dataChanged);
    localUser->onLocalMicMuteChanged(true);
    QVERIFY(!localUser->getAudioEnabled());
    QVERIFY(self->getIsMuted());
    QVERIFY(self->getIsMutedLocally());
    QVERIFY(row.data(ConversationParticipantList::IsMutedRole).toBool());
    QVERIFY(row.data(ConversationParticipantList::IsMutedLocallyRole).toBool());
    QCOMPARE(muted.count(), 1);
    QVERIFY(muted.first().first().toBool());
    QCOMPARE(mutedLocally.count(), 1);
    QVERIFY(mutedLocally.first().first().toBool());
    QCOMPARE(changedRoles(changes), (QList<QVector<int>>{{ConversationParticipantList::IsMutedRole},
                                                         {ConversationParticipantList::IsMutedLocallyRole}}));
    // Whatever the voice service reports meanwhile.
    self->setIsMuted(false);
    QVERIFY(self->getIsMuted());

    localUser->onLocalMicMuteChanged(false);
    QVERIFY(!self->getIsMuted());
    QVERIFY(!self->getIsMutedLocally());

    // The own row's volume is the microphone's, and a request sets the
    // microphone level to the requested value.
    localUser->onVoiceVolumeAdjustChanged(30);
    QCOMPARE(self->getLocalVolumeAdjustment(), 30);
    QCOMPARE(row.data(ConversationParticipantList::VolumeAdjustmentRole).toInt(), 30);
    oxc_clear_requests();
    self->setLocalVolumeAdjustment(65, false);
    QCOMPARE(oxc_wait_idle(20000), 0);
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME), 0);
    auto *micLevel =
        reinterpret_cast<const ox_req_aux_set_mic_level_t *>(oxc_find_request(OX_REQ_AUX_SET_MIC_LEVEL, -1));
    QVERIFY(micLevel);
    QCOMPARE(micLevel->level, 65);

    list->clear();
    delete me;
    QVERIFY(!localUser->tavriidentity());
}

void TestParticipants::rowWithoutIdentity()
{
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-gone@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto ann = makeUser(QStringLiteral("Ann"));
    ConversationParticipant *p = list->addParticipant(ann.get());
    QPointer<ConversationParticipant> guard(p);

    ann.reset();
    // The row stays until the participant's deferred deletion; meanwhile its
    // identity roles are empty.
    QCOMPARE(list->rowCount(), 1);
    QVERIFY(!p->getIdentityObject());
    const QModelIndex row = list->index(0);
    for (int role :
         {int(ConversationParticipantList::DisplayNameRole), int(ConversationParticipantList::ProfileImageURIRole),
          int(ConversationParticipantList::PresenceStateRole), int(ConversationParticipantList::UuidRole),
          int(ConversationParticipantList::IsSelfRole)})
        QVERIFY2(!row.data(role).isValid(), qPrintable(QString::number(role)));
    QCOMPARE(row.data(ConversationParticipantList::SipURIRole).toString(), QString());
    QVERIFY(!row.data(ConversationParticipantList::VoiceEnabledRole).toBool());
    QVERIFY(!list->getParticipantByUUID(QStringLiteral("uid-Ann")));

    QTRY_COMPARE(list->rowCount(), 0);
    QVERIFY(!guard);
    QVERIFY(!list->at(0));
    QVERIFY(!list->at(-1));
}

void TestParticipants::lookUpsAfterRowLeft_data()
{
    // What happens to Ann's row once each of her look-ups has found it.
    QTest::addColumn<QString>("change");
    QTest::newRow("address changed, row removed") << "address";
    QTest::newRow("user id changed, row removed") << "uid";
    QTest::newRow("realm user destroyed") << "destroyed";
}

void TestParticipants::lookUpsAfterRowLeft()
{
    // A row that left, however its keys changed on the way, is found under
    // none of them, and a new realm user with Ann's old address and id is
    // found as the row it becomes. The participant is deleted first: a look-up
    // that still reached it would read freed memory.
    QFETCH(QString, change);
    const QString address = QStringLiteral("sip:u-ann@d");
    const QString uid = QStringLiteral("uid-Ann");
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-left@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto ann = makeUser(QStringLiteral("Ann"));
    auto bob = makeUser(QStringLiteral("Bob"));
    list->addParticipant(bob.get());
    QPointer<ConversationParticipant> p = list->addParticipant(ann.get());
    QCOMPARE(list->getParticipantBySipURI(address), p.data());
    QCOMPARE(list->getParticipantByUUID(uid), p.data());

    if (change == "address") {
        ann->setSipURI(QStringLiteral("sip:u-ann-moved@d"));
        list->removeParticipant(p, true);
    } else if (change == "uid") {
        ann->setUid(QStringLiteral("uid-Ann-moved"));
        list->removeParticipant(p, true);
    } else {
        ann.reset();
    }
    QTRY_VERIFY(!p);
    QCOMPARE(list->rowCount(), 1);

    auto again = makeUser(QStringLiteral("Ann"));
    QCOMPARE(list->getParticipantBySipURI(address), nullptr);
    QCOMPARE(list->getParticipantByUUID(uid), nullptr);
    QCOMPARE(list->getParticipantBySipURI(QStringLiteral("sip:u-ann-moved@d")), nullptr);
    QCOMPARE(list->getParticipantByUUID(QStringLiteral("uid-Ann-moved")), nullptr);
    ConversationParticipant *back = list->addParticipant(again.get());
    QCOMPARE(list->rowCount(), 2);
    QCOMPARE(list->getParticipantBySipURI(address), back);
    QCOMPARE(list->getParticipantByUUID(uid), back);
    QCOMPARE(list->getParticipantBySipURI(bob->getSipURI()), list->at(1));
    list->clear();
}

void TestParticipants::otherRealmUserWithVoiceIdentity()
{
    Conversation channel(QStringLiteral("Ext"), QStringLiteral("sip:confctl-ext@d"), QStringLiteral("34"), nullptr,
                         QStringLiteral("ext-handle"));
    ConversationParticipantList *list = channel.getParticipants();
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // A user of another realm, whose voice travels through a built-in realm user.
    auto ext = std::make_unique<FakeRealmUser>(nullptr, QStringLiteral("ext-1"), QStringLiteral("ext-1"));
    ext->setRealmTag(QStringLiteral("other"));
    auto voice = makeUser(QStringLiteral("ExtVoice"), QStringLiteral("sip:u-extvoice@d"));

    // Given a voice identity of its own, the participant starts mid-slider.
    auto *direct = new ConversationParticipant(ext.get(), list, ConversationParticipant::Present, voice.get());
    QCOMPARE(direct->getLocalVolumeAdjustment(), 50);
    QCOMPARE(direct->getSipURI(), QStringLiteral("sip:u-extvoice@d"));
    delete direct;

    ConversationParticipant *p = list->addParticipant(ext.get());
    QVERIFY(!p->getTavriIdentity());
    QCOMPARE(p->getLocalVolumeAdjustment(), 0);
    QVERIFY(!ext->getChatColor().isEmpty());
    p->setVoiceEnabled(true);
    QVERIFY(!p->getVoiceEnabled()); // no voice identity yet

    QSignalSpy changes(list, &QAbstractItemModel::dataChanged);
    p->setTavriIdentity(voice.get());
    QVERIFY(p->getVoiceEnabled());
    QCOMPARE(list->getParticipantBySipURI(QStringLiteral("sip:u-extvoice@d")), p);
    QCOMPARE(changedRoles(changes), (QList<QVector<int>>{{ConversationParticipantList::VoiceEnabledRole}}));

    // The voice identity goes; the row stays, without voice.
    QSignalSpy voiceStates(p, &ConversationParticipant::voiceEnabledChanged);
    voice.reset();
    QCOMPARE(voiceStates.count(), 1);
    QVERIFY(!voiceStates.first().first().toBool());
    const QModelIndex row = list->index(0);
    QVERIFY(!row.data(ConversationParticipantList::VoiceEnabledRole).toBool());
    QCOMPARE(row.data(ConversationParticipantList::SipURIRole).toString(), QString());
    QCOMPARE(row.data(ConversationParticipantList::DisplayNameRole).toString(), QStringLiteral("ext-1"));
    QVERIFY(!list->getParticipantBySipURI(QStringLiteral("sip:u-extvoice@d")));
    list->clear();
}

void TestParticipants::clearDropsRealmUserConnections()
{
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-refresh@d"), QString());
    ConversationParticipantList *list = chat.getParticipants();
    auto ann = makeUser(QStringLiteral("Ann"));
    // A participant refresh clears the list and adds everyone again.
    for (int refresh = 0; refresh < 3; ++refresh) {
        list->clear();
        list->addParticipant(ann.get());
        list->addInvitedParticipant(ann.get());
    }
    QSignalSpy changes(list, &QAbstractItemModel::dataChanged);
    ann->setUname(QStringLiteral("Anna"));
    emit ann->presenceUpdated(Tavri::RealmUserInterface::Online, QString());
    QCOMPARE(changedRoles(changes),
             (QList<QVector<int>>{
                 {ConversationParticipantList::DisplayNameRole, Qt::DisplayRole},
                 {ConversationParticipantList::PresenceMessageRole, ConversationParticipantList::PresenceStateRole}}));
    list->clear();
    changes.clear();
    ann->setUname(QStringLiteral("Annie"));
    QCOMPARE(changes.count(), 0);
}

void TestParticipants::invitationWithoutIdentity()
{
    Conversation chat(QString(), QStringLiteral("sip:confctl-g-null@d"), QString());
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("Assertion Failure - 'invitedIdentity'"));
    QVERIFY(!chat.getParticipants()->addInvitedParticipant(nullptr));
    QCOMPARE(chat.getParticipants()->rowCount(), 0);
}

TAVRI_TEST_MAIN(TestParticipants)
#include "tst_participants.moc"
