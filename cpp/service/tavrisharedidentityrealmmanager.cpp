#include "tavrisharedidentityrealmmanager.h"

namespace {

TavriSharedIdentityRealmManager* s_instance = nullptr;

} // namespace

TavriSharedIdentityRealmManager* TavriSharedIdentityRealmManager::getInstance(QObject* parent)
{
    if (!s_instance)
        new TavriSharedIdentityRealmManager(parent);
    return s_instance;
}

TavriSharedIdentityRealmManager::TavriSharedIdentityRealmManager(QObject* parent)
    : QObject(parent)
{
    if (!s_instance)
        s_instance = this;
}

TavriSharedIdentityRealmManager::~TavriSharedIdentityRealmManager()
{
    if (s_instance == this)
        s_instance = nullptr;
}

QList<Tavri::IdentityRealmInterface*> TavriSharedIdentityRealmManager::getRealms() const
{
    return m_realms.values();
}
