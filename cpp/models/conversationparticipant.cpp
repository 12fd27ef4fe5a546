#include "conversationparticipant.h"

#include "tavriidentityrealmuser.h"

ConversationParticipant::ConversationParticipant(Tavri::RealmUserInterface *identity, QObject *parent,
                                                 InvitedState invitedState,
                                                 TavriIdentityRealmUser *tavriIdentity)
    : QObject(parent), m_identity(identity), m_invitedState(invitedState), m_tavriIdentity(tavriIdentity)
{
    if (m_identity)
        connect(m_identity->getQObject(), SIGNAL(destroying()), this, SLOT(onIdentityDestroying()));
    if (!m_tavriIdentity && m_identity)
        m_tavriIdentity = qobject_cast<TavriIdentityRealmUser *>(m_identity->getQObject());
    if (m_tavriIdentity && (!m_identity || m_tavriIdentity != m_identity->getQObject()))
        connect(m_tavriIdentity, &TavriIdentityRealmUser::destroying, this,
                &ConversationParticipant::onTavriIdentityDestroying);
}

ConversationParticipant::~ConversationParticipant()
{
    emit destroying();
    if (m_identity)
        disconnect(m_identity->getQObject(), nullptr, this, nullptr);
    if (m_tavriIdentity)
        disconnect(m_tavriIdentity, nullptr, this, nullptr);
    m_identity = nullptr;
    m_tavriIdentity = nullptr;
}

QObject *ConversationParticipant::getIdentityObject() const
{
    return m_identity ? m_identity->getQObject() : nullptr;
}

void ConversationParticipant::setInvitedState(InvitedState state)
{
    if (state == m_invitedState)
        return;
    m_invitedState = state;
    emit invitedStateChanged(state);
}

void ConversationParticipant::setVoiceEnabled(bool enabled)
{
    if (enabled == m_voiceEnabled)
        return;
    m_voiceEnabled = enabled;
    emit voiceEnabledChanged(enabled && m_tavriIdentity);
}

void ConversationParticipant::setTavriIdentity(TavriIdentityRealmUser *tavriIdentity)
{
    if (tavriIdentity == m_tavriIdentity)
        return;
    if (m_tavriIdentity)
        disconnect(m_tavriIdentity, &TavriIdentityRealmUser::destroying, this,
                   &ConversationParticipant::onTavriIdentityDestroying);
    m_tavriIdentity = tavriIdentity;
    if (m_tavriIdentity && (!m_identity || m_tavriIdentity != m_identity->getQObject()))
        connect(m_tavriIdentity, &TavriIdentityRealmUser::destroying, this,
                &ConversationParticipant::onTavriIdentityDestroying);
    emit voiceEnabledChanged(m_voiceEnabled && m_tavriIdentity);
}

QString ConversationParticipant::getSipURI() const
{
    return m_tavriIdentity ? m_tavriIdentity->getSipURI() : QString();
}

void ConversationParticipant::onIdentityDestroying()
{
    if (m_tavriIdentity && m_identity && m_identity->getQObject() == m_tavriIdentity)
        m_tavriIdentity = nullptr;
    if (m_identity)
        disconnect(m_identity->getQObject(), nullptr, this, nullptr);
    m_identity = nullptr;
    deleteLater();
}

void ConversationParticipant::onTavriIdentityDestroying()
{
    if (m_tavriIdentity)
        disconnect(m_tavriIdentity, nullptr, this, nullptr);
    m_tavriIdentity = nullptr;
    emit voiceEnabledChanged(false);
}
