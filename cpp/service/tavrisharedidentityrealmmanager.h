#pragma once

#include "identityrealminterface.h"
#include "tavrisharedidentityrealm.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

// TavriSharedIdentityRealmManager: the realms of external applications that
// drive this program (one per application, started with "-svc").
//
// One instance per process, created on first use by getInstance(). Other parts
// of the program walk its realms when they look a realm up by id, and learn of
// realms coming and going through identityRealmAdded and identityRealmRemoved.
// Realms are created from the application hand-over, which joins this class
// with the external-application realm itself. GUI thread only.
class TavriSharedIdentityRealmManager : public QObject
{
    Q_OBJECT

public:
    // The instance, created with parent on the first call.
    static TavriSharedIdentityRealmManager* getInstance(QObject* parent = nullptr);
    ~TavriSharedIdentityRealmManager() override;

    // The managed realms, in list order.
    QList<Tavri::IdentityRealmInterface*> getRealms() const;

signals:
    void identityRealmAdded(Tavri::IdentityRealmInterface* identityRealm);
    void identityRealmRemoved(Tavri::IdentityRealmInterface* identityRealm);
    // A realm's login progressed or ended.
    void loginStateChange(TavriSharedIdentityRealm* realm, TavriSharedIdentityRealm::LoginState state);
    void conversationListEntryAdded(Tavri::IdentityRealmInterface* identityRealm, const QString& conversationID,
                                    const QString& displayName);
    void conversationListEntryRemoved(Tavri::IdentityRealmInterface* identityRealm, const QString& conversationID);

protected:
    // The first manager constructed becomes the instance.
    explicit TavriSharedIdentityRealmManager(QObject* parent);

    // Realms by requester id.
    QHash<QString, Tavri::IdentityRealmInterface*> m_realms;
};
