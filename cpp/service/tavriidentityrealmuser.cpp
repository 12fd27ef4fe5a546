#include "tavriidentityrealmuser.h"

#include "localuser.h"
#include "socialmanager.h"
#include "tavriapplication.h"
#include "tavriidentityrealm.h"
#include "windowstyle.h"

#include <QDebug>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>

QQuickView *TavriIdentityRealmUser::s_userDetailsView = nullptr;
bool TavriIdentityRealmUser::s_showingUserDetails = false;

namespace {

const QString kPhoneCallerPrefix = QStringLiteral("sip:phone.");
const QUrl kUserDetailsSource(QStringLiteral("qrc:/QML/qml/tavri/UserDetails.qml"));

} // namespace

TavriIdentityRealmUser::TavriIdentityRealmUser(QObject *parent)
    : QObject(parent)
    , sipURI(QLatin1String(""))
    , email(QLatin1String(""))
    , uid(QLatin1String(""))
    , uname(QLatin1String(""))
    , displayName(QLatin1String(""))
    , location(QLatin1String(""))
    , tagline(QLatin1String(""))
    , description(QLatin1String(""))
    , lastOnline(QDateTime::fromMSecsSinceEpoch(0))
    , presenceMessage(QLatin1String(""))
{
    // The realm drops the user from its tables when it goes away.
    if (auto *realm = qobject_cast<TavriIdentityRealm *>(parent))
        connect(this, &TavriIdentityRealmUser::destroying, realm, &TavriIdentityRealm::onUserDestroying);
    // The display name depends on a setting.
    connect(StorageManager::getInstance(), &StorageManager::settingKeyChanged, this,
            &TavriIdentityRealmUser::onStorageManagerSettingKeyChanged);
    setChatColor(QString());
}

TavriIdentityRealmUser::~TavriIdentityRealmUser()
{
    // Holders drop their pointers while the object is still whole.
    emit destroying();
    disconnect(StorageManager::getInstance(), &StorageManager::settingKeyChanged, this,
               &TavriIdentityRealmUser::onStorageManagerSettingKeyChanged);

    // A profile window still showing this user would read a dead object.
    if (s_userDetailsView
        && s_userDetailsView->rootContext()->contextProperty(QStringLiteral("userToShow")).value<QObject *>() == this) {
        QQuickView *view = s_userDetailsView;
        s_userDetailsView = nullptr;
        view->setSource(QUrl());
        view->hide();
        view->deleteLater();
    }
}

QString TavriIdentityRealmUser::getRealmTag()
{
    return QString();
}

Tavri::IdentityRealmInterface *TavriIdentityRealmUser::identityRealm()
{
    return TavriIdentityRealm::getInstance();
}

void TavriIdentityRealmUser::reservedHook(void *) {}

QString TavriIdentityRealmUser::getUid()
{
    return uid;
}

QString TavriIdentityRealmUser::getDisplayName()
{
    if (sipURI.startsWith(kPhoneCallerPrefix)) {
        // "sip:phone.<number>@<domain>": refine step by step, keeping what
        // the last step that applied reached.
        QString number;
        const QStringList atParts = sipURI.split(QLatin1Char('@'), Qt::SkipEmptyParts);
        if (!atParts.isEmpty()) {
            number = atParts.first();
            const QStringList colonParts = number.split(QLatin1Char(':'));
            if (colonParts.size() >= 2) {
                number = colonParts.at(1);
                const QStringList dotParts = number.split(QLatin1Char('.'));
                if (dotParts.size() >= 2)
                    number = dotParts.at(1);
            }
        }
        return tr("Phone Caller %1").arg(number);
    }
    if (!displayName.isEmpty()
        && StorageManager::getInstance()
               ->getSettingsValue(StorageManager::SettingsKeyShowCustomDisplayNames, false)
               .toBool())
        return displayName;
    return uname;
}

void TavriIdentityRealmUser::reservedTextHook(QString) {}

QUrl TavriIdentityRealmUser::getProfileImageURI()
{
    return profileImageURI;
}

Tavri::RealmUserInterface::PresenceState TavriIdentityRealmUser::getPresenceState()
{
    return presenceState;
}

QString TavriIdentityRealmUser::getPresenceMessage()
{
    return presenceMessage;
}

QObject *TavriIdentityRealmUser::getQObject()
{
    return this;
}

void TavriIdentityRealmUser::setSipURI(const QString &value)
{
    sipURI = value;
    emit sipURIChanged(sipURI);
}

void TavriIdentityRealmUser::setEmail(const QString &value)
{
    email = value;
    emit emailChanged(email);
}

void TavriIdentityRealmUser::setUid(const QString &value)
{
    uid = value;
    emit uidChanged(uid);
}

void TavriIdentityRealmUser::setUname(const QString &value)
{
    uname = value;
    emit uNameChanged(uname);
    emit displayNameUpdated(getDisplayName());
}

void TavriIdentityRealmUser::setDisplayName(const QString &value)
{
    displayName = value;
    emit displayNameUpdated(getDisplayName());
}

void TavriIdentityRealmUser::setProfileImageURI(const QString &value)
{
    profileImageURI = QUrl(value, QUrl::TolerantMode);
    emit profileIconUpdated(profileImageURI);
}

void TavriIdentityRealmUser::setLocation(const QString &value)
{
    location = value;
    emit locationChanged(location);
}

void TavriIdentityRealmUser::setTagline(const QString &value)
{
    tagline = value;
    emit taglineChanged(tagline);
}

void TavriIdentityRealmUser::setDescription(const QString &value)
{
    description = value;
    emit descriptionChanged(description);
}

void TavriIdentityRealmUser::requestProfileUpdate(const QString &displayName, const QString &description,
                                                  const QString &tagline, const QString &location)
{
    QSocialManager *socialManager = QSocialManager::getInstance();
    if (!socialManager) {
        qWarning() << "TavriIdentityRealmUser::requestProfileUpdate"
                   << "no web service for" << uid;
        return;
    }
    // The short form: no web link, Twitter name or telephone number, and the
    // stored picture is renamed along.
    socialManager->requestSetUserCustomInfo(displayName, description, tagline, location, QString(), QString(),
                                            QString(), true);
}

void TavriIdentityRealmUser::setLastOnline(const QDateTime &value)
{
    lastOnline = value;
    emit lastOnlineChanged(lastOnline);
}

void TavriIdentityRealmUser::setPresenceState(Tavri::RealmUserInterface::PresenceState state, bool fromRealm)
{
    if (!fromRealm && isLocalUser())
        publishPresence(state, presenceMessage);
    presenceState = state;
    emit presenceUpdated(presenceState, presenceMessage);
}

void TavriIdentityRealmUser::setPresenceMessage(const QString &message, bool fromRealm)
{
    if (!fromRealm && isLocalUser())
        publishPresence(presenceState, message);
    presenceMessage = message;
    emit presenceUpdated(presenceState, presenceMessage);
}

bool TavriIdentityRealmUser::isLocalUser()
{
    return LocalUser::getLocalUser()->isLocalUserIdentity(this);
}

VoiceManager::PresenceStatus
TavriIdentityRealmUser::toVoicePresenceStatus(Tavri::RealmUserInterface::PresenceState state)
{
    switch (state) {
    case Tavri::RealmUserInterface::Offline:
        return VoiceManager::PresenceOffline;
    case Tavri::RealmUserInterface::Away:
    case Tavri::RealmUserInterface::ExtendedAway:
    case Tavri::RealmUserInterface::DoNotDisturb:
        return VoiceManager::PresenceAway;
    case Tavri::RealmUserInterface::Online:
    case Tavri::RealmUserInterface::Chatty:
    case Tavri::RealmUserInterface::InGame:
        return VoiceManager::PresenceOnline;
    case Tavri::RealmUserInterface::PresenceUnknown:
        break;
    }
    // Unknown and out-of-range states are published as "out to lunch" rather
    // than as offline, so that a glitch never makes the user look gone.
    return VoiceManager::PresenceOutToLunch;
}

QQuickView *TavriIdentityRealmUser::userDetailsView()
{
    return s_userDetailsView;
}

void TavriIdentityRealmUser::publishPresence(Tavri::RealmUserInterface::PresenceState state, const QString &message)
{
    VoiceManager *voiceManager = VoiceManager::getInstance();
    if (!voiceManager) {
        qDebug() << "TavriIdentityRealmUser::publishPresence"
                 << "no voice service, presence not published";
        return;
    }
    // An empty account handle means the signed-in user's own account.
    voiceManager->setPresence(toVoicePresenceStatus(state), message, QString());
}

void TavriIdentityRealmUser::showUserDetails()
{
    qDebug() << "TavriIdentityRealmUser::showUserDetails"
             << "requested for" << uid << uname << displayName;
    if (s_showingUserDetails) {
        qWarning() << "TavriIdentityRealmUser::showUserDetails"
                   << "ignored a nested request while the profile window is being set up, for" << uid;
        return;
    }
    s_showingUserDetails = true;

    // Refresh the record; the answer reaches this user through the realm and
    // the setters, and the window follows through the property signals.
    if (QSocialManager *socialManager = QSocialManager::getInstance()) {
        if (getUid().startsWith(QLatin1String("sip:"))) {
            if (!sipURI.isEmpty())
                socialManager->getUserInfoByUri(sipURI);
        } else if (!getUid().isEmpty()) {
            socialManager->getUserInfoByUID(getUid());
        }
    }

    // Inside the program the window shares the application's engine and
    // gets the context properties every window has; alone (in tests of the
    // realm) it has an engine of its own.
    TavriApplication *app = TavriApplication::instance();
    const bool shared = app && app->qmlEngine();
    if (!s_userDetailsView) {
        s_userDetailsView = shared ? new QQuickView(app->qmlEngine(), nullptr) : new QQuickView();
        s_userDetailsView->setFlags(Qt::FramelessWindowHint);
        host::WindowStyle::clearTaskbarStyles(s_userDetailsView);
        s_userDetailsView->setResizeMode(QQuickView::SizeRootObjectToView);
    }
    QQuickView *view = s_userDetailsView;
    QQmlContext *context = shared ? app->windowContext(view) : view->rootContext();
    if (view->source().isEmpty()) {
        if (shared)
            app->setQmlRootContextProperties(context);
        context->setContextProperty(QStringLiteral("mainViewer"), view);
        context->setContextProperty(QStringLiteral("userToShow"), this);
        qDebug() << "TavriIdentityRealmUser::showUserDetails"
                 << "Setting s_userDetailsView source to UserDetails.qml";
        if (shared)
            app->loadWindowQml(view, kUserDetailsSource);
        else
            view->setSource(kUserDetailsSource);
        connect(view, &QQuickWindow::closing, this, &TavriIdentityRealmUser::onUserDetailsWindowClosing);
        connect(view, &QObject::destroyed, this, &TavriIdentityRealmUser::onUserDetailsWindowDestroyed);
    } else {
        context->setContextProperty(QStringLiteral("userToShow"), this);
    }

    view->setTitle(tr("User Profile: %1").arg(getDisplayName()));
    view->resize(360, 270);
    showProfileFrame(view);
    view->showNormal();
    view->requestActivate();
    view->requestActivate();
    if (QQuickItem *root = view->rootObject())
        root->forceActiveFocus();

    s_showingUserDetails = false;
}

void TavriIdentityRealmUser::sendInviteToTavri(const QUrl &) {}

void TavriIdentityRealmUser::onStorageManagerSettingKeyChanged(StorageManager::NamedSettings settingKey,
                                                               const QVariant &)
{
    if (settingKey == StorageManager::SettingsKeyShowCustomDisplayNames)
        emit displayNameUpdated(getDisplayName());
}

void TavriIdentityRealmUser::onUserDetailsWindowClosing(QQuickCloseEvent *)
{
    if (!s_userDetailsView || sender() != s_userDetailsView)
        return;
    // The next showUserDetails builds a fresh window; this one, and its QML
    // with it, goes once the close event has been handled (the close may come
    // from a handler of that QML).
    QQuickView *view = s_userDetailsView;
    s_userDetailsView = nullptr;
    view->deleteLater();
}

void TavriIdentityRealmUser::onUserDetailsWindowDestroyed()
{
    // A window closed earlier may die after a new one was opened: only the
    // current window's end clears the pointer.
    if (sender() == s_userDetailsView)
        s_userDetailsView = nullptr;
}

void TavriIdentityRealmUser::showProfileFrame(QQuickView *view)
{
    // The application places it over the main frame; alone it is centred on
    // its screen and raised here.
    if (TavriApplication *app = TavriApplication::instance()) {
        app->showFrame(*view, TavriApplication::tpMainFrame, true, true);
        return;
    }
    if (QScreen *screen = view->screen() ? view->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        view->setPosition(area.center() - QPoint(view->width() / 2, view->height() / 2));
    }
    view->show();
    view->raise();
}
