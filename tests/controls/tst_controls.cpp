#include "fakecontextobject.h"
#include "qmltestview.h"
#include "storagemanager.h"
#include "testenvironment.h"

#include <QQmlProperty>
#include <QSignalSpy>
#include <QtTest/QtTest>

// The controls library: every control loads without a QML warning, and the
// behaviours windows rely on hold.
class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void galleryLoadsWithoutWarnings();

private:
    QUrl galleryUrl() const { return QUrl::fromLocalFile(QFINDTESTDATA("Gallery.qml")); }
};

void TestControls::galleryLoadsWithoutWarnings()
{
    QmlTestView view;
    view.setContextObject(QStringLiteral("storageManager"), StorageManager::getInstance());
    view.addFake(QStringLiteral("mainApp"))->addMethod(QStringLiteral("trackEvent"));
    QVERIFY(view.load(galleryUrl()));
    QVERIFY(view.find(QStringLiteral("gallery")) || view.root()->objectName() == QLatin1String("gallery"));
    QVERIFY_NO_QML_WARNINGS(view);
}

TAVRI_TEST_MAIN(TestControls)
#include "tst_controls.moc"
