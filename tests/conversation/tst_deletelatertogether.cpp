// Letting many children go with one deferred delete: which objects leave
// their owner, that they live until the event loop's next pass, and that
// the owner may be destroyed first.

#include "deletelatertogether.h"

#include <QPointer>
#include <QtTest>

class TestDeleteLaterTogether : public QObject
{
    Q_OBJECT

private slots:
    void childrenGoAtTheNextPass_data()
    {
        QTest::addColumn<bool>("ownerDeletedFirst");
        QTest::newRow("owner kept") << false;
        QTest::newRow("owner deleted first") << true;
    }

    void childrenGoAtTheNextPass()
    {
        QFETCH(bool, ownerDeletedFirst);
        auto *owner = new QObject;
        QObject other;
        QPointer<QObject> a = new QObject(owner);
        QPointer<QObject> staying = new QObject(owner);
        QPointer<QObject> c = new QObject(owner);
        QPointer<QObject> stranger = new QObject;
        QPointer<QObject> othersChild = new QObject(&other);

        deleteLaterTogether(owner, QList<QObject *>{c, stranger, a, othersChild});
        QVERIFY(a && c && staying && stranger && othersChild);
        QCOMPARE(owner->children(), QObjectList{staying});
        QCOMPARE(othersChild->parent(), &other);
        QCOMPARE(stranger->parent(), nullptr);

        if (ownerDeletedFirst) {
            delete owner;
            owner = nullptr;
            QVERIFY(!staying);
            QVERIFY(a && c);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!a && !c);
        QVERIFY(stranger && othersChild);
        QCOMPARE(bool(staying), !ownerDeletedFirst);
        delete owner;
        delete stranger.data();
    }
};

QTEST_GUILESS_MAIN(TestDeleteLaterTogether)
#include "tst_deletelatertogether.moc"
