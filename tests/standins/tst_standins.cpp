// Every stand-in that a QML test gives a window in place of one of the
// program's objects offers only what the real object offers: each of its
// invokable methods and slots, signals and properties exists in the real
// class with the same name, argument count and types, and each property with
// the same type. A stand-in that takes a call the
// real object refuses (a default argument the real method lacks, an overload
// it does not have) would let a window test pass on a call that fails in the
// program, so it fails here.
//
// One leniency: where the real class hands out or takes one of its own
// objects (a Conversation*, a ContactGroupList*), a stand-in says QObject*,
// since it hands out stand-ins; QML sees both as objects. Likewise int for
// one of the real class's enumerations, which QML passes as numbers.

#include <QMetaMethod>
#include <QMetaProperty>
#include <QtTest/QtTest>

#include "audiocuesmanager.h"
#include "callsessionstats.h"
#include "cfindusersdialog.h"
#include "contactgroup.h"
#include "contactgrouplist.h"
#include "contactlist.h"
#include "conversation.h"
#include "conversationparticipantlist.h"
#include "devicemodel.h"
#include "findchannels.h"
#include "localuser.h"
#include "notificationlist.h"
#include "permanentconversationlist.h"
#include "realmidentitylist.h"
#include "recentconversations.h"
#include "storagemanager.h"
#include "systeminfo.h"
#include "tavriapplication.h"
#include "tavrifilepicker.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "virtualkeycapturewindow.h"
#include "voicemanager.h"

#include "cuesettingsfakes.h"
#include "mainframefakes.h"
#include "settingsfakes.h"
#include "windowfakes.h"

namespace {

// A pair to check: the stand-in, the Qt class it builds on (whose members it
// inherits and need no check), and the real class.
struct Pair {
    const char *name;
    const QMetaObject *standIn;
    const QMetaObject *standInBase;
    const QMetaObject *real;
};

bool isObjectPointer(const QByteArray &type)
{
    if (!type.endsWith('*'))
        return false;
    const int id = QMetaType::type(type.constData());
    return id == QMetaType::UnknownType || (QMetaType::typeFlags(id) & QMetaType::PointerToQObject);
}

// True when `type` names an enumeration QML passes as a number: one declared
// with Q_ENUM in the real class or in the class the name qualifies.
bool isEnum(const QMetaObject *real, const QByteArray &type)
{
    const int split = type.lastIndexOf("::");
    const QByteArray name = split < 0 ? type : type.mid(split + 2);
    const QByteArray scope = split < 0 ? QByteArray() : type.left(split);
    for (const QMetaObject *m = real; m; m = m->superClass())
        if ((scope.isEmpty() || scope == m->className()) && m->indexOfEnumerator(name.constData()) >= 0)
            return true;
    if (!scope.isEmpty()) {
        const int id = QMetaType::type(type.constData());
        return id != QMetaType::UnknownType && (QMetaType::typeFlags(id) & QMetaType::IsEnumeration);
    }
    return false;
}

// The stand-in's type against the real one: the same, QObject* for an
// object of the real class's own, or int for one of its enumerations.
bool sameType(const QMetaObject *real, const QByteArray &standIn, const QByteArray &realType)
{
    return standIn == realType || (standIn == "QObject*" && isObjectPointer(realType))
           || (standIn == "int" && isEnum(real, realType));
}

QString signature(const QMetaMethod &method)
{
    return QString::fromLatin1(method.methodSignature());
}

// What a QML caller can reach on a class: public invokables, slots and
// signals.
bool reachable(const QMetaMethod &method)
{
    return method.access() == QMetaMethod::Public || method.methodType() == QMetaMethod::Signal;
}

bool realHas(const QMetaObject *real, const QMetaMethod &wanted)
{
    for (int i = 0; i < real->methodCount(); ++i) {
        const QMetaMethod method = real->method(i);
        if (!reachable(method) || method.name() != wanted.name() || method.parameterCount() != wanted.parameterCount())
            continue;
        // A signal stands for a signal, a callable for a callable.
        if ((method.methodType() == QMetaMethod::Signal) != (wanted.methodType() == QMetaMethod::Signal))
            continue;
        bool same = true;
        for (int p = 0; same && p < method.parameterCount(); ++p)
            same = sameType(real, wanted.parameterTypes().at(p), method.parameterTypes().at(p));
        if (same)
            return true;
    }
    return false;
}

// The notify signals of the stand-in's own properties: QML binds through
// them but never names them, so they need no real twin.
QSet<int> notifySignals(const QMetaObject *meta)
{
    QSet<int> found;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        if (meta->property(i).hasNotifySignal())
            found.insert(meta->property(i).notifySignalIndex());
    return found;
}

QStringList mismatches(const Pair &pair)
{
    QStringList faults;
    const QMetaObject *standIn = pair.standIn;
    const QMetaObject *real = pair.real;
    QSet<int> notifiers;
    for (const QMetaObject *m = standIn; m && m != pair.standInBase; m = m->superClass())
        notifiers += notifySignals(m);
    for (int i = pair.standInBase->methodCount(); i < standIn->methodCount(); ++i) {
        const QMetaMethod method = standIn->method(i);
        if (!reachable(method) || method.methodType() == QMetaMethod::Constructor)
            continue;
        if (method.methodType() == QMetaMethod::Signal && notifiers.contains(i))
            continue;
        if (!realHas(real, method))
            faults << QStringLiteral("%1 %2: %3 has none such")
                          .arg(method.methodType() == QMetaMethod::Signal ? "signal" : "method", signature(method),
                               QString::fromLatin1(real->className()));
    }
    for (int i = pair.standInBase->propertyCount(); i < standIn->propertyCount(); ++i) {
        const QMetaProperty property = standIn->property(i);
        const int r = real->indexOfProperty(property.name());
        if (r < 0) {
            faults << QStringLiteral("property %1: %2 has none such")
                          .arg(QString::fromLatin1(property.name()), QString::fromLatin1(real->className()));
            continue;
        }
        const QMetaProperty twin = real->property(r);
        if (!sameType(real, property.typeName(), twin.typeName()))
            faults << QStringLiteral("property %1: %2 here, %3 in %4")
                          .arg(QString::fromLatin1(property.name()), QString::fromLatin1(property.typeName()),
                               QString::fromLatin1(twin.typeName()), QString::fromLatin1(real->className()));
    }
    return faults;
}

} // namespace

class TestStandIns : public QObject
{
    Q_OBJECT

private slots:
    void standInsOfferOnlyWhatTheRealClassesOffer_data();
    void standInsOfferOnlyWhatTheRealClassesOffer();
    void checkRefusesWhatTheRealClassRefuses_data();
    void checkRefusesWhatTheRealClassRefuses();
};

// Each stand-in of the QML tests with the real class it stands for.
const QList<Pair> &pairs()
{
    const QMetaObject *object = &QObject::staticMetaObject;
    const QMetaObject *list = &QAbstractListModel::staticMetaObject;
    static const QList<Pair> all{
        // The settings window, its pages, diagnostics and the presence editor.
        {"settings mainApp", &settingstest::FakeMainApp::staticMetaObject, object, &TavriApplication::staticMetaObject},
        {"settings localUser", &settingstest::FakeLocalUser::staticMetaObject, object, &LocalUser::staticMetaObject},
        {"settings voiceManager", &settingstest::FakeVoiceManager::staticMetaObject, object,
         &VoiceManager::staticMetaObject},
        {"settings filePicker", &settingstest::FakeFilePicker::staticMetaObject, object,
         &TavriFilePicker::staticMetaObject},
        {"settings self", &settingstest::FakeKeySource::staticMetaObject, object,
         &VirtualKeyCaptureWindow::staticMetaObject},
        // The main frame and its menus.
        {"mainframe mainApp", &FakeMainApp::staticMetaObject, object, &TavriApplication::staticMetaObject},
        {"mainframe localUser", &FakeLocalUser::staticMetaObject, object, &LocalUser::staticMetaObject},
        {"mainframe contactGroups", &FakeContactGroupList::staticMetaObject, list, &ContactGroupList::staticMetaObject},
        {"mainframe contact group", &FakeContactGroup::staticMetaObject, object, &ContactGroup::staticMetaObject},
        {"mainframe conversation", &FakeConversation::staticMetaObject, object, &Conversation::staticMetaObject},
        {"mainframe identity", &FakeIdentity::staticMetaObject, object, &TavriIdentityRealmUser::staticMetaObject},
        {"mainframe permanentConversations", &FakeListModel::staticMetaObject, list,
         &PermanentConversationList::staticMetaObject},
        {"mainframe notifications", &FakeListModel::staticMetaObject, list, &NotificationList::staticMetaObject},
        {"mainframe contact list", &FakeCountedList::staticMetaObject, list, &ContactList::staticMetaObject},
        {"mainframe participants", &FakeParticipantList::staticMetaObject, list,
         &ConversationParticipantList::staticMetaObject},
        {"mainframe identities", &FakeCountedList::staticMetaObject, list, &RealmIdentityList::staticMetaObject},
        {"mainframe recentConversations", &FakeRecentConversations::staticMetaObject, list,
         &RecentConversations::staticMetaObject},
        {"mainframe storageManager", &FakeStorageManager::staticMetaObject, object, &StorageManager::staticMetaObject},
        {"mainframe findInstance", &FakeFindUsers::staticMetaObject, object, &CFindUsersDialog::staticMetaObject},
        {"mainframe findChannels", &FakeFindChannels::staticMetaObject, object, &FindChannels::staticMetaObject},
        {"mainframe tavriIdentityRealm", &FakeRealmForGroups::staticMetaObject, object,
         &TavriIdentityRealm::staticMetaObject},
        // The cue and speech settings page.
        {"cues tones", &cuesettingstest::FakeTones::staticMetaObject, object, &AudioCuesManager::staticMetaObject},
        {"cues mainApp", &cuesettingstest::FakeMainApp::staticMetaObject, object, &TavriApplication::staticMetaObject},
        {"cues storageManager", &cuesettingstest::FakeStorageManager::staticMetaObject, object,
         &StorageManager::staticMetaObject},
        {"cues filePicker", &cuesettingstest::FakeFilePicker::staticMetaObject, object,
         &TavriFilePicker::staticMetaObject},
        // The login window and the dialogs.
        {"window mainApp", &windowtest::FakeMainApp::staticMetaObject, object, &TavriApplication::staticMetaObject},
        {"window localUser", &windowtest::FakeLocalUser::staticMetaObject, object, &LocalUser::staticMetaObject},
        {"window voiceManager", &windowtest::FakeVoiceManager::staticMetaObject, object,
         &VoiceManager::staticMetaObject},
        {"window systemInfo", &windowtest::FakeSystemInfo::staticMetaObject, object, &SystemInfo::staticMetaObject},
        {"window device list", &windowtest::FakeDeviceModel::staticMetaObject, object, &DeviceModel::staticMetaObject},
        {"window callStats", &windowtest::FakeCallStats::staticMetaObject, object, &CallSessionStats::staticMetaObject},
        {"window conversation", &windowtest::FakeConversation::staticMetaObject, object,
         &Conversation::staticMetaObject},
    };
    return all;
}

void TestStandIns::standInsOfferOnlyWhatTheRealClassesOffer_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < pairs().size(); ++i)
        QTest::newRow(pairs().at(i).name) << i;
}

void TestStandIns::standInsOfferOnlyWhatTheRealClassesOffer()
{
    QFETCH(int, row);
    const QStringList faults = mismatches(pairs().at(row));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

// The check itself: a stand-in with a default argument the real method
// lacks, or a method of the wrong argument type, or a property of another
// type, is told; one that matches passes.
class ThreeArgumentReal : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(QObject *owner READ owner CONSTANT)
public:
    QString name() const { return {}; }
    QObject *owner() const { return nullptr; }
    Q_INVOKABLE void trackEvent(const QString &, const QString &, const QStringList &) {}
signals:
    void nameChanged();
};

class DefaultArgumentStandIn : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void trackEvent(const QString &, const QString &, const QStringList & = {}) {}
};

class WrongTypeStandIn : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int name MEMBER m_name CONSTANT)
public:
    Q_INVOKABLE void trackEvent(const QString &, const QString &, const QVariantMap &) {}
    int m_name = 0;
};

class MatchingStandIn : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name MEMBER m_name NOTIFY changed)
public:
    Q_INVOKABLE void trackEvent(const QString &, const QString &, const QStringList &) {}
    QString m_name;
signals:
    void changed();
};

void TestStandIns::checkRefusesWhatTheRealClassRefuses_data()
{
    QTest::addColumn<int>("standIn");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("default argument") << 0
                                      << QStringList{"method trackEvent(QString,QString): ThreeArgumentReal has none "
                                                     "such"};
    QTest::newRow("wrong types") << 1
                                 << QStringList{"method trackEvent(QString,QString,QVariantMap): ThreeArgumentReal "
                                                "has none such",
                                                "property name: int here, QString in ThreeArgumentReal"};
    QTest::newRow("matching") << 2 << QStringList();
}

void TestStandIns::checkRefusesWhatTheRealClassRefuses()
{
    QFETCH(int, standIn);
    QFETCH(QStringList, expected);
    const QMetaObject *const standIns[] = {&DefaultArgumentStandIn::staticMetaObject,
                                           &WrongTypeStandIn::staticMetaObject, &MatchingStandIn::staticMetaObject};
    QCOMPARE(mismatches({"", standIns[standIn], &QObject::staticMetaObject, &ThreeArgumentReal::staticMetaObject}),
             expected);
}

QTEST_GUILESS_MAIN(TestStandIns)
#include "tst_standins.moc"
