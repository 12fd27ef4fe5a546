#include "contact.h"

#include "reportassertionfailure.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealmuser.h"

#include <QDebug>

namespace {

TavriIdentityRealmUser *asBuiltInUser(Tavri::RealmUserInterface *identity)
{
    return identity ? qobject_cast<TavriIdentityRealmUser *>(identity->getQObject()) : nullptr;
}

QString realmIDOf(Tavri::RealmUserInterface *identity)
{
    Tavri::IdentityRealmInterface *realm = identity ? identity->identityRealm() : nullptr;
    return realm ? realm->realmID() : QString();
}

} // namespace

Contact::Contact(Tavri::RealmUserInterface *identity, QObject *parent)
    : QObject(parent)
{
    TAVRI_CHECK(identity);
    m_primaryIdentity = identity;
    if (identity) {
        connectIdentity(identity);
        m_identities.addIdentity(identity);
    }
    connect(&m_identities, &RealmIdentityList::realmIdentityAdded, this, &Contact::onRealmIdentityAdded);
    connect(&m_identities, &RealmIdentityList::realmIdentityRemoved, this, &Contact::onRealmIdentityRemoved);
    m_lastPresenceState = getPresenceState();
    m_lastPresenceMessage = getPresenceMessage();
}

Contact::~Contact()
{
    emit destroying();
    // The identity list goes with this object; it must not report the
    // identities it drops to a contact that is half destroyed.
    disconnect(&m_identities, nullptr, this, nullptr);
}

QString Contact::getDisplayName()
{
    if (!m_displayName.isEmpty())
        return m_displayName;
    Tavri::RealmUserInterface *primary = ensurePrimaryIdentity();
    return primary ? primary->getDisplayName() : QString();
}

void Contact::setDisplayName(const QString &name)
{
    m_displayName = name;
    emit displayNameChanged(getDisplayName());
}

Tavri::RealmUserInterface::PresenceState Contact::getPresenceState() const
{
    // Unknown counts as Offline: the merge starts there.
    Tavri::RealmUserInterface::PresenceState state = Tavri::RealmUserInterface::Offline;
    const QList<Tavri::RealmUserInterface *> identities = m_identities.getIdentityList();
    for (Tavri::RealmUserInterface *identity : identities) {
        const Tavri::RealmUserInterface::PresenceState identityState = identity->getPresenceState();
        if (identityState > state)
            state = identityState;
    }
    return state;
}

QString Contact::getPresenceMessage()
{
    if (m_identities.getIdentityList().isEmpty())
        return QString();
    Tavri::RealmUserInterface *primary = ensurePrimaryIdentity();
    return primary ? primary->getPresenceMessage() : QString();
}

TavriIdentityRealmUser *Contact::getTavriIdentity() const
{
    return asBuiltInUser(m_primaryIdentity);
}

QString Contact::getSipURI() const
{
    if (TavriIdentityRealmUser *user = getTavriIdentity())
        return user->getSipURI();
    // A user of an external application's realm carries the URI that realm
    // knows for it.
    QObject *object = m_primaryIdentity ? m_primaryIdentity->getQObject() : nullptr;
    if (auto *shared = qobject_cast<TavriSharedIdentityRealmUser *>(object))
        return shared->getSipURI();
    return QString();
}

QString Contact::getPrimaryRealmID() const
{
    return realmIDOf(m_primaryIdentity);
}

QString Contact::getPrimaryUserUUID() const
{
    return m_primaryIdentity ? m_primaryIdentity->getUid() : QString();
}

void Contact::onRealmIdentityAdded(Tavri::RealmUserInterface *identity)
{
    if (!identity)
        return;
    // Identities this contact adds itself come back through the list's
    // signal; they are already held.
    if (identity == m_primaryIdentity || m_identities.contains(identity)) {
        qDebug() << "Contact already contains" << realmIDOf(identity) << identity->getUid();
        return;
    }
    connectIdentity(identity);
    m_identities.addIdentity(identity);
    if (identity->identityRealm() == static_cast<Tavri::IdentityRealmInterface *>(TavriIdentityRealm::getInstance())) {
        m_primaryIdentity = identity;
        if (m_displayName.isEmpty())
            emit displayNameChanged(identity->getDisplayName());
    }
    emit identitiesUpdated();
    emitMergedValues();
}

void Contact::onRealmIdentityRemoved(Tavri::RealmUserInterface *identity)
{
    if (!identity)
        return;
    disconnectIdentity(identity);
    if (m_identities.getIdentityList().isEmpty()) {
        // The person is gone from every realm.
        m_primaryIdentity = nullptr;
        deleteLater();
        return;
    }
    if (identity == m_primaryIdentity) {
        m_primaryIdentity = nullptr;
        ensurePrimaryIdentity();
    }
    emit identitiesUpdated();
    emitMergedValues();
}

void Contact::onRealmIdentityDisplayNameUpdated(const QString &displayName)
{
    // Only the shown identity's name matters, and only without an own name.
    if (displayName != getDisplayName())
        return;
    emit displayNameChanged(getDisplayName());
    emit identitiesUpdated();
}

void Contact::onRealmIdentityPresenceUpdated(Tavri::RealmUserInterface::PresenceState presenceState,
                                             const QString &presenceMessage)
{
    const Tavri::RealmUserInterface::PresenceState state = getPresenceState();
    const QString message = getPresenceMessage();
    // Announced when the changed identity decides the merged value, and also
    // when the merged value moved because another identity now decides it.
    const bool stateChanged = presenceState == state || state != m_lastPresenceState;
    const bool messageChanged = presenceMessage == message || message != m_lastPresenceMessage;
    m_lastPresenceState = state;
    m_lastPresenceMessage = message;
    if (stateChanged)
        emit presenceStateChanged(state);
    if (messageChanged)
        emit presenceMessageChanged(message);
    if (stateChanged || messageChanged)
        emit identitiesUpdated();
}

void Contact::onRealmIdentityProfileIconUpdated(const QUrl &)
{
    emit identitiesUpdated();
}

void Contact::onRealmIdentityDestroying()
{
    auto *identity = qobject_cast<Tavri::RealmUserInterface *>(sender());
    if (!identity)
        return;
    // Dropping it from the list reports the removal back to this contact.
    if (m_identities.contains(identity)) {
        m_identities.removeIdentity(identity);
        return;
    }
    disconnectIdentity(identity);
    if (identity == m_primaryIdentity) {
        m_primaryIdentity = nullptr;
        ensurePrimaryIdentity();
    }
}

void Contact::onTavriRealmIdentityLastOnlineChanged(const QDateTime &lastOnline)
{
    emit lastOnlineChanged(lastOnline);
}

void Contact::onTavriRealmIdentitySwapping(Tavri::RealmUserInterface *newReference)
{
    auto *old = qobject_cast<TavriIdentityRealmUser *>(sender());
    if (!old || !newReference)
        return;
    disconnectIdentity(old);
    if (!m_identities.contains(old))
        return;
    if (m_primaryIdentity == old)
        m_primaryIdentity = newReference;
    // The replacement enters before the old object leaves, so the list never
    // runs empty and the contact keeps its row.
    if (!m_identities.contains(newReference)) {
        connectIdentity(newReference);
        m_identities.addIdentity(newReference);
    }
    m_identities.removeIdentity(old);
    emitMergedValues();
}

void Contact::connectIdentity(Tavri::RealmUserInterface *identity)
{
    QObject *object = identity->getQObject();
    connect(object, SIGNAL(displayNameUpdated(QString)), this, SLOT(onRealmIdentityDisplayNameUpdated(QString)),
            Qt::UniqueConnection);
    connect(object, SIGNAL(presenceUpdated(Tavri::RealmUserInterface::PresenceState, QString)), this,
            SLOT(onRealmIdentityPresenceUpdated(Tavri::RealmUserInterface::PresenceState, QString)),
            Qt::UniqueConnection);
    connect(object, SIGNAL(profileIconUpdated(QUrl)), this, SLOT(onRealmIdentityProfileIconUpdated(QUrl)),
            Qt::UniqueConnection);
    connect(object, SIGNAL(destroying()), this, SLOT(onRealmIdentityDestroying()), Qt::UniqueConnection);
    if (TavriIdentityRealmUser *user = asBuiltInUser(identity)) {
        connect(user, &TavriIdentityRealmUser::swapping, this, &Contact::onTavriRealmIdentitySwapping,
                Qt::UniqueConnection);
        connect(user, &TavriIdentityRealmUser::lastOnlineChanged, this, &Contact::onTavriRealmIdentityLastOnlineChanged,
                Qt::UniqueConnection);
    }
}

void Contact::disconnectIdentity(Tavri::RealmUserInterface *identity)
{
    disconnect(identity->getQObject(), nullptr, this, nullptr);
}

Tavri::RealmUserInterface *Contact::ensurePrimaryIdentity()
{
    if (m_primaryIdentity)
        return m_primaryIdentity;
    if (m_identities.rowCount() > 0)
        m_primaryIdentity = qobject_cast<Tavri::RealmUserInterface *>(m_identities.at(0));
    // Identities of realms the list does not show still name the person.
    const QList<Tavri::RealmUserInterface *> identities = m_identities.getIdentityList();
    if (!m_primaryIdentity && !identities.isEmpty())
        m_primaryIdentity = identities.first();
    return m_primaryIdentity;
}

void Contact::emitMergedValues()
{
    m_lastPresenceState = getPresenceState();
    m_lastPresenceMessage = getPresenceMessage();
    emit displayNameChanged(getDisplayName());
    emit presenceStateChanged(m_lastPresenceState);
    emit presenceMessageChanged(m_lastPresenceMessage);
}
