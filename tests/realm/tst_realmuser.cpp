#include "fakewebservice.h"
#include "localuser.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "voicemanager.h"
#include "voicetestsupport.h"

#include <QPointer>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

using tavritest::flushDeferredDeletes;

class TestRealmUser : public QObject
{
    Q_OBJECT

private:
    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    VoiceManager *m_voice = nullptr;

    TavriIdentityRealmUser *user(const QString &uid, const QString &uname)
    {
        auto *created = new TavriIdentityRealmUser(this);
        created->setUid(uid);
        created->setUname(uname);
        return created;
    }

    void showCustomNames(bool show)
    {
        StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyShowCustomDisplayNames, show);
    }

    // Whether the web service was asked for method with field set to value.
    bool asked(const QString &method, const QString &field, const QString &value) const
    {
        for (const FakeWebService::Request &request : m_web->requestsFor(method)) {
            if (request.value(field) == value)
                return true;
        }
        return false;
    }

    static QString shownText(QQuickView *view, const char *name)
    {
        auto *item = view->rootObject()->findChild<QObject *>(QLatin1String(name));
        return item ? item->property("text").toString() : QStringLiteral("<missing>");
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName("Ostrel");
        QCoreApplication::setApplicationName("Tavri");
        Q_INIT_RESOURCE(tavri);
        qRegisterMetaType<Tavri::RealmUserInterface::PresenceState>();
        m_web = new FakeWebService(this);
        m_web->setDefault("getUserByUserLiveURI", QJsonObject{{"status", "OK"}});
        m_web->setDefault("getUserBySocialUID", QJsonObject{{"status", "OK"}});
        m_web->setLookupDefaults();
        m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
        // Logged in to the voice stand-in, so that presence reaches the SDK.
        m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false, this);
        QVERIFY(voicetest::logIn(*m_voice, QStringLiteral("realmuser")));
        QVERIFY(!m_voice->accountHandle().isEmpty());
    }

    void cleanupTestCase()
    {
        delete m_voice;
        m_voice = nullptr;
        oxc_reset();
    }

    void cleanup()
    {
        qDeleteAll(findChildren<TavriIdentityRealmUser *>());
        if (QQuickView *view = TavriIdentityRealmUser::userDetailsView())
            view->close();
        flushDeferredDeletes();
        showCustomNames(false);
    }

    void displayName_data()
    {
        QTest::addColumn<QString>("sipURI");
        QTest::addColumn<QString>("customName");
        QTest::addColumn<bool>("showCustom");
        QTest::addColumn<QString>("expected");
        QTest::newRow("phone caller") << "sip:phone.5551234@host"
                                      << "Custom" << true << "Phone Caller 5551234";
        QTest::newRow("capital P is no phone") << "sip:Phone.5551234@host"
                                               << "" << false << "uname";
        QTest::newRow("phone without number") << "sip:phone.@host"
                                              << "" << false << "Phone Caller ";
        QTest::newRow("phone with more dots") << "sip:phone.12.34@host"
                                              << "" << false << "Phone Caller 12";
        QTest::newRow("phone without domain") << "sip:phone.777"
                                              << "" << false << "Phone Caller 777";
        QTest::newRow("phone only at signs") << "sip:phone.@@"
                                             << "" << false << "Phone Caller ";
        QTest::newRow("phone placeholder text") << "sip:phone.%1@host"
                                                << "" << false << "Phone Caller %1";
        QTest::newRow("custom name hidden") << "sip:u-a@host"
                                            << "Custom" << false << "uname";
        QTest::newRow("custom name shown") << "sip:u-a@host"
                                           << "Custom" << true << "Custom";
        QTest::newRow("no custom name") << "sip:u-a@host"
                                        << "" << true << "uname";
    }

    void displayName()
    {
        QFETCH(QString, sipURI);
        QFETCH(QString, customName);
        QFETCH(bool, showCustom);
        QFETCH(QString, expected);
        showCustomNames(showCustom);
        TavriIdentityRealmUser *subject = user("id", "uname");
        subject->setSipURI(sipURI);
        subject->setDisplayName(customName);
        QCOMPARE(subject->getDisplayName(), expected);
        QCOMPARE(subject->property("displayName").toString(), expected);
    }

    void customNameFollowsTheSetting()
    {
        TavriIdentityRealmUser *subject = user("id", "plain");
        subject->setDisplayName("Custom");
        QSignalSpy updated(subject, &TavriIdentityRealmUser::displayNameUpdated);
        showCustomNames(true);
        QCOMPARE(updated.size(), 1);
        QCOMPARE(updated.at(0).at(0).toString(), QString("Custom"));
        showCustomNames(false);
        QCOMPARE(updated.size(), 2);
        QCOMPARE(updated.at(1).at(0).toString(), QString("plain"));
        // Other settings are not the display name's business.
        StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, true);
        QCOMPARE(updated.size(), 2);
    }

    void settersAnnounceEveryTime()
    {
        TavriIdentityRealmUser *subject = user("id", "same");
        QSignalSpy uname(subject, &TavriIdentityRealmUser::uNameChanged);
        QSignalSpy display(subject, &TavriIdentityRealmUser::displayNameUpdated);
        QSignalSpy sip(subject, &TavriIdentityRealmUser::sipURIChanged);
        QSignalSpy icon(subject, &TavriIdentityRealmUser::profileIconUpdated);
        subject->setUname("same");
        subject->setSipURI("sip:x@y");
        subject->setSipURI("sip:x@y");
        subject->setProfileImageURI("http://example.test/a b.png");
        QCOMPARE(uname.size(), 1);
        QCOMPARE(display.size(), 1);
        QCOMPARE(display.at(0).at(0).toString(), QString("same"));
        QCOMPARE(sip.size(), 2);
        QCOMPARE(icon.size(), 1);
        QVERIFY(subject->getProfileImageURI().isValid());
    }

    void defaultsAreEmptyButNotNull()
    {
        TavriIdentityRealmUser subject;
        QVERIFY(!subject.getSipURI().isNull() && subject.getSipURI().isEmpty());
        QVERIFY(!subject.getUid().isNull());
        QVERIFY(!subject.getDisplayName().isNull());
        QCOMPARE(subject.getLastOnline().toMSecsSinceEpoch(), 0);
        QCOMPARE(subject.getPresenceState(), Tavri::RealmUserInterface::PresenceUnknown);
        QVERIFY(subject.getRealmTag().isNull());
        QCOMPARE(subject.identityRealm(),
                 static_cast<Tavri::IdentityRealmInterface *>(TavriIdentityRealm::getInstance()));
        QCOMPARE(qobject_cast<Tavri::RealmUserInterface *>(subject.getQObject()),
                 static_cast<Tavri::RealmUserInterface *>(&subject));
        QCOMPARE(subject.metaObject()
                     ->enumerator(subject.metaObject()->indexOfEnumerator("PresenceState"))
                     .keyToValue("Online"),
                 5);
    }

    void voicePresenceStatus_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("status");
        QTest::newRow("unknown") << 0 << 7;
        QTest::newRow("offline") << 1 << 0;
        QTest::newRow("away") << 2 << 5;
        QTest::newRow("extended away") << 3 << 5;
        QTest::newRow("do not disturb") << 4 << 5;
        QTest::newRow("online") << 5 << 2;
        QTest::newRow("chatty") << 6 << 2;
        QTest::newRow("in game") << 7 << 2;
        QTest::newRow("out of range") << 42 << 7;
    }

    void voicePresenceStatus()
    {
        QFETCH(int, state);
        QFETCH(int, status);
        QCOMPARE(int(TavriIdentityRealmUser::toVoicePresenceStatus(
                     static_cast<Tavri::RealmUserInterface::PresenceState>(state))),
                 status);
    }

    void presenceIsAlwaysAnnounced()
    {
        TavriIdentityRealmUser *other = user("other", "other");
        QVERIFY(!other->isLocalUser());
        QSignalSpy presence(other, &TavriIdentityRealmUser::presenceUpdated);
        other->setPresenceState(Tavri::RealmUserInterface::Online, false);
        other->setPresenceState(Tavri::RealmUserInterface::Online, true);
        other->setPresenceMessage("lunch", false);
        QCOMPARE(presence.size(), 3);
        QCOMPARE(presence.at(2).at(0).value<Tavri::RealmUserInterface::PresenceState>(),
                 Tavri::RealmUserInterface::Online);
        QCOMPARE(presence.at(2).at(1).toString(), QString("lunch"));
        QCOMPARE(other->property("presenceState").toInt(), 5);
    }

    void localIdentityIsKnown()
    {
        LocalUser *local = LocalUser::getLocalUser();
        QVERIFY(local->isLocalUserIdentity(nullptr));
        TavriIdentityRealmUser *own = signedin::ownIdentity("sip:me@example.test");
        QVERIFY(own);
        QVERIFY(own->isLocalUser());
        QVERIFY(!local->isLocalUserIdentity(nullptr));
        QCOMPARE(local->getLocalUserIdentity(TavriIdentityRealm::getInstance()),
                 static_cast<Tavri::RealmUserInterface *>(own));
        QTRY_VERIFY(asked("getUserByUserLiveURI", "UserLiveURI", "sip:me@example.test"));

        QSignalSpy presence(own, &TavriIdentityRealmUser::presenceUpdated);
        own->setPresenceMessage("here", true);
        own->setPresenceState(Tavri::RealmUserInterface::Online, false);
        QCOMPARE(presence.size(), 2);
        QCOMPARE(own->getPresenceState(), Tavri::RealmUserInterface::Online);

        // The realm owns the identity; its end signs the identity out.
        delete own;
        QCOMPARE(local->tavriidentity(), nullptr);
    }

    void ownPresenceIsPublished()
    {
        TavriIdentityRealmUser *own = signedin::ownIdentity("sip:own@example.test");
        QVERIFY(own);
        TavriIdentityRealmUser *other = user("other", "other");
        oxc_clear_requests();
        auto published = [] { return oxc_request_count(OX_REQ_ACCOUNT_SET_PRESENCE); };
        auto last = [] {
            return reinterpret_cast<const ox_req_account_set_presence_t *>(
                oxc_find_request(OX_REQ_ACCOUNT_SET_PRESENCE, -1));
        };

        // Presence from the network, and other users' presence, stay local.
        own->setPresenceMessage("here", true);
        own->setPresenceState(Tavri::RealmUserInterface::Away, true);
        other->setPresenceState(Tavri::RealmUserInterface::Online, false);
        other->setPresenceMessage("other", false);
        QCOMPARE(published(), 0);

        // The new state goes out with the current message...
        QSignalSpy presence(own, &TavriIdentityRealmUser::presenceUpdated);
        own->setPresenceState(Tavri::RealmUserInterface::Online, false);
        QCOMPARE(published(), 1);
        QCOMPARE(last()->presence, 2);
        QCOMPARE(QByteArray(last()->custom_message), QByteArray("here"));
        QCOMPARE(QString::fromUtf8(last()->account_handle), m_voice->accountHandle());
        own->setPresenceState(Tavri::RealmUserInterface::PresenceUnknown, false);
        QCOMPARE(published(), 2);
        QCOMPARE(last()->presence, 7);
        // ...and a new message with the current state.
        own->setPresenceMessage("gone fishing", false);
        QCOMPARE(published(), 3);
        QCOMPARE(last()->presence, 7);
        QCOMPARE(QByteArray(last()->custom_message), QByteArray("gone fishing"));
        QCOMPARE(presence.size(), 3);
    }

    void chatColorIsAnnouncedOnChange()
    {
        TavriIdentityRealmUser *subject = user("id", "name");
        QSignalSpy color(subject, &TavriIdentityRealmUser::chatColorChanged);
        subject->setChatColor("#ff0000");
        subject->setChatColor("#ff0000");
        subject->setProperty("chatColor", "#00ff00");
        QCOMPARE(color.size(), 2);
        QCOMPARE(subject->getChatColor(), QString("#00ff00"));
    }

    void destructionIsAnnounced()
    {
        TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
        auto *created = static_cast<TavriIdentityRealmUser *>(
            realm->requestUserInfoUpdateByURI("sip:gone@example.test")->getQObject());
        QCOMPARE(realm->requestUserInfoUpdateByURI("sip:gone@example.test"),
                 static_cast<Tavri::RealmUserInterface *>(created));
        QSignalSpy destroying(created, &TavriIdentityRealmUser::destroying);
        delete created;
        QCOMPARE(destroying.size(), 1);
        // The realm forgot it and makes a new one.
        Tavri::RealmUserInterface *again = realm->requestUserInfoUpdateByURI("sip:gone@example.test");
        QVERIFY(again);
        delete again->getQObject();
    }

    void profileRefreshAsksTheWebService()
    {
        TavriIdentityRealmUser *byUri = user("sip:u-1@example.test", "one");
        byUri->setSipURI("sip:u-1@example.test");
        byUri->showUserDetails();
        QTRY_VERIFY(asked("getUserByUserLiveURI", "UserLiveURI", "sip:u-1@example.test"));

        TavriIdentityRealmUser *byUid = user("4711", "two");
        byUid->showUserDetails();
        QTRY_VERIFY(asked("getUserBySocialUID", "uid", "4711"));
    }

    void oneWindowShowsTheLastUser()
    {
        TavriIdentityRealmUser *first = user("1", "first");
        TavriIdentityRealmUser *second = user("2", "second");
        QQuickView *view = nullptr;
        QList<CapturedLine> qmlWarnings;
        {
            // A clean window writes no warning of the program's QML.
            LogCapture log(LogCapture::ForwardWarnings);
            first->showUserDetails();
            view = TavriIdentityRealmUser::userDetailsView();
            second->showUserDetails();
            qmlWarnings = log.matching(QStringLiteral("qrc:/"));
        }

        QVERIFY(view);
        QCOMPARE(TavriIdentityRealmUser::userDetailsView(), view);
        for (const CapturedLine &line : qmlWarnings)
            QVERIFY2(line.type == QtDebugMsg || line.type == QtInfoMsg, qPrintable(line.message));
        QCOMPARE(view->status(), QQuickView::Ready);
        QCOMPARE(view->source(), QUrl("qrc:/QML/qml/tavri/UserDetails.qml"));
        QCOMPARE(view->rootContext()->contextProperty("userToShow").value<QObject *>(), static_cast<QObject *>(second));
        QCOMPARE(view->rootContext()->contextProperty("mainViewer").value<QObject *>(), static_cast<QObject *>(view));
        QCOMPARE(view->title(), QString("User Profile: second"));
        QCOMPARE(view->size(), QSize(360, 270));
        QVERIFY(view->flags() & Qt::FramelessWindowHint);
        QVERIFY(view->isVisible());
        QCOMPARE(shownText(view, "uname"), QString("second"));
    }

    void profileTextsAreShownAsPlainText()
    {
        TavriIdentityRealmUser *subject = user("3", "<i>name</i>");
        subject->setDescription("<b>bold</b> & <img src=x>");
        subject->setLocation("<a href=\"tavri:x\">here</a>");
        subject->setLastOnline(QDateTime(QDate(2020, 5, 1), QTime(12, 0)));
        subject->showUserDetails();
        QQuickView *view = TavriIdentityRealmUser::userDetailsView();
        QVERIFY(view && view->rootObject());
        QCOMPARE(shownText(view, "description"), QString("<b>bold</b> & <img src=x>"));
        QCOMPARE(shownText(view, "displayName"), QString("<i>name</i>"));
        QVERIFY(shownText(view, "location").contains("<a href=\"tavri:x\">here</a>"));
        QVERIFY(!shownText(view, "lastOnline").isEmpty());
        auto *description = view->rootObject()->findChild<QObject *>("description");
        QCOMPARE(description->property("textFormat").toInt(), 0); // Text.PlainText

        // The window follows the user's fields.
        subject->setDescription("changed");
        QCOMPARE(shownText(view, "description"), QString("changed"));
    }

    void closingBuildsAFreshWindowNextTime()
    {
        TavriIdentityRealmUser *subject = user("4", "name");
        subject->showUserDetails();
        QPointer<QQuickView> first = TavriIdentityRealmUser::userDetailsView();
        QVERIFY(first);
        first->close();
        QCOMPARE(TavriIdentityRealmUser::userDetailsView(), nullptr);

        // Opened again before the closed window is gone: the new window
        // survives the old one's end.
        subject->showUserDetails();
        QPointer<QQuickView> second = TavriIdentityRealmUser::userDetailsView();
        QVERIFY(second && second != first);
        flushDeferredDeletes();
        QVERIFY(!first);
        QCOMPARE(TavriIdentityRealmUser::userDetailsView(), second.data());
        QCOMPARE(second->status(), QQuickView::Ready);
    }

    void nestedRequestIsRefused()
    {
        TavriIdentityRealmUser *first = user("5", "first");
        TavriIdentityRealmUser *second = user("6", "second");
        first->showUserDetails();
        QQuickView *view = TavriIdentityRealmUser::userDetailsView();
        view->hide();
        // Showing the window again asks for another user from inside.
        QMetaObject::Connection nested =
            connect(view, &QWindow::visibleChanged, second, &TavriIdentityRealmUser::showUserDetails);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("ignored a nested request"));
        first->showUserDetails();
        disconnect(nested);
        QCOMPARE(view->rootContext()->contextProperty("userToShow").value<QObject *>(), static_cast<QObject *>(first));
        QCOMPARE(view->title(), QString("User Profile: first"));
        // Once done, requests work again.
        second->showUserDetails();
        QCOMPARE(view->title(), QString("User Profile: second"));
    }

    void windowOfADeletedUserGoes()
    {
        TavriIdentityRealmUser *subject = user("7", "name");
        subject->showUserDetails();
        QPointer<QQuickView> view = TavriIdentityRealmUser::userDetailsView();
        delete subject;
        QCOMPARE(TavriIdentityRealmUser::userDetailsView(), nullptr);
        flushDeferredDeletes();
        QVERIFY(!view);
    }
};

TAVRI_TEST_MAIN(TestRealmUser)
#include "tst_realmuser.moc"
