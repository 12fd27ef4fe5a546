#pragma once

// Recording stand-ins for the context objects that the login window and the
// dialogs read and that must emit signals (mainApp, localUser,
// voiceManager, a channel), the capture of opened links, and small helpers
// on top of the shared QML test view.

#include <QDesktopServices>
#include <QDir>
#include <QLocale>
#include <QObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <QtTest/QtTest>

#include <memory>

#include "calllog.h"
#include "qmltestview.h"
#include "testenvironment.h"
#include "windowpicture.h"

namespace windowtest {

using tavritest::CallLog;
using tavritest::findItem;

class FakeSystemInfo : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString systemManufacturer MEMBER m_manufacturer CONSTANT)
    Q_PROPERTY(QString systemModel MEMBER m_model CONSTANT)

public:
    QString m_manufacturer = QStringLiteral("Maker");
    QString m_model = QStringLiteral("Model 7");
};

class FakeDeviceModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString currentDeviceId MEMBER m_current CONSTANT)
    Q_PROPERTY(QString effectiveDeviceId MEMBER m_effective CONSTANT)

public:
    FakeDeviceModel(const QStringList &ids, const QString &current, const QString &effective)
        : m_ids(ids)
        , m_current(current)
        , m_effective(effective)
    {
    }
    Q_INVOKABLE int count() const { return m_ids.size(); }
    Q_INVOKABLE QString getDeviceIdByRow(int row) const { return m_ids.value(row); }

    QStringList m_ids;
    QString m_current;
    QString m_effective;
};

class FakeCallStats : public QObject
{
    Q_OBJECT

public:
    QList<QVariantMap> m_rows;
    Q_INVOKABLE int count() const { return m_rows.size(); }
    Q_INVOKABLE QVariantMap get(int row, bool showFullNames = true) const
    {
        // The report asks for the short names.
        return showFullNames ? QVariantMap() : m_rows.value(row);
    }
};

class FakeMainApp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString languageUpdatedString MEMBER m_languageUpdatedString CONSTANT)
    Q_PROPERTY(QString applicationVersion MEMBER m_applicationVersion CONSTANT)
    Q_PROPERTY(QString connectorErrorMessage MEMBER m_connectorErrorMessage NOTIFY connectorErrorMessageChanged)
    Q_PROPERTY(QString availableUpdateVersion MEMBER m_availableUpdateVersion NOTIFY availableUpdateVersionChanged)
    Q_PROPERTY(QString availableUpdateMessage MEMBER m_availableUpdateMessage NOTIFY availableUpdateMessageChanged)
    Q_PROPERTY(QString availableUpdateLink MEMBER m_availableUpdateLink NOTIFY availableUpdateLinkChanged)
    Q_PROPERTY(QObject *systemInfo MEMBER m_systemInfo CONSTANT)
    Q_PROPERTY(QObject *captureDevices MEMBER m_captureDevices CONSTANT)
    Q_PROPERTY(QObject *renderDevices MEMBER m_renderDevices CONSTANT)
    Q_PROPERTY(QObject *callStats MEMBER m_callStats CONSTANT)

public:
    CallLog log;
    QString m_languageUpdatedString;
    QString m_applicationVersion = QStringLiteral("1.2.3.4");
    QString m_connectorErrorMessage;
    QString m_availableUpdateVersion;
    QString m_availableUpdateMessage;
    QString m_availableUpdateLink;
    QObject *m_systemInfo = nullptr;
    QObject *m_captureDevices = nullptr;
    QObject *m_renderDevices = nullptr;
    QObject *m_callStats = nullptr;

    Q_INVOKABLE void requestLogin(const QString &username, const QString &password)
    {
        log.add({QStringLiteral("requestLogin"), username, password});
    }
    Q_INVOKABLE void createAccount(const QString &username, const QString &email, const QString &password)
    {
        log.add({QStringLiteral("createAccount"), username, email, password});
    }
    Q_INVOKABLE void checkUsernameAvailability(const QString &username)
    {
        log.add({QStringLiteral("checkUsernameAvailability"), username});
    }
    Q_INVOKABLE void checkForUpdates() { log.add({QStringLiteral("checkForUpdates")}); }
    Q_INVOKABLE void showReportIssue(const QString &reason) { log.add({QStringLiteral("showReportIssue"), reason}); }
    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QStringList &params)
    {
        log.add(QStringList{QStringLiteral("trackEvent"), category, label} + params);
    }

    void setUpdate(const QString &version, const QString &link)
    {
        m_availableUpdateVersion = version;
        m_availableUpdateLink = link;
        emit availableUpdateLinkChanged(link);
        emit availableUpdateVersionChanged(version);
    }

signals:
    void connectorErrorMessageChanged(QString connectorErrorMessage);
    void availableUpdateVersionChanged(QString version);
    void availableUpdateMessageChanged(QString message);
    void availableUpdateLinkChanged(QString link);
    void noUpdateAvailable();
    void networkStateChanged(bool networkIsAvailable);
};

// What the issue report and the quality survey read of the machine, its
// audio devices and the calls, with fixed values; the tests set the
// statistics rows.
struct ReportSources {
    FakeSystemInfo systemInfo;
    FakeDeviceModel capture{
        {QStringLiteral("mic-a"), QStringLiteral("mic-b")}, QStringLiteral("mic-b"), QStringLiteral("mic-b")};
    FakeDeviceModel render{{QStringLiteral("spk-a")}, QStringLiteral("Default System Device"), QStringLiteral("spk-a")};
    FakeCallStats stats;

    void attachTo(FakeMainApp &app)
    {
        app.m_systemInfo = &systemInfo;
        app.m_captureDevices = &capture;
        app.m_renderDevices = &render;
        app.m_callStats = &stats;
    }

    // The report lines of these values and of FakeLocalUser's defaults, from
    // the manufacturer to the effective capture device.
    static QStringList machineLines(int pttMode)
    {
        return {QStringLiteral("sys_mfc:Maker"),  QStringLiteral("sys_mdl:Model 7"),
                QStringLiteral("vol_o:50"),       QStringLiteral("vol_i:60"),
                QStringLiteral("vad_s:43"),       QStringLiteral("vad_f:576"),
                QStringLiteral("vad_h:2"),        QStringLiteral("txm:") + QString::number(pttMode),
                QStringLiteral("cdev_0:mic-a"),   QStringLiteral("cdev_1:mic-b"),
                QStringLiteral("rdev_0:spk-a"),   QStringLiteral("rdev_sel:Default System Device"),
                QStringLiteral("cdev_sel:mic-b"), QStringLiteral("rdev_eff:spk-a"),
                QStringLiteral("cdev_eff:mic-b")};
    }

    // The system locale's report lines.
    static QStringList localeLines()
    {
        const QLocale locale = QLocale::system();
        return {QStringLiteral("locale_name:") + locale.name(),
                QStringLiteral("locale_nativeCountryName:") + locale.nativeCountryName(),
                QStringLiteral("locale_nativeLanguageName:") + locale.nativeLanguageName()};
    }
};

class FakeLocalUser : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int loginState MEMBER m_loginState NOTIFY loginStateChanged)
    Q_PROPERTY(QString email MEMBER m_email CONSTANT)
    Q_PROPERTY(QStringList participatingURIs MEMBER m_participatingURIs CONSTANT)
    Q_PROPERTY(QString lastParticipatingURI MEMBER m_lastParticipatingURI CONSTANT)
    Q_PROPERTY(int speakerVolumeAdjust MEMBER m_speakerVolumeAdjust CONSTANT)
    Q_PROPERTY(int volumeAdjust MEMBER m_volumeAdjust CONSTANT)
    Q_PROPERTY(int vadSensitivity MEMBER m_vadSensitivity CONSTANT)
    Q_PROPERTY(int vadNoiseFloor MEMBER m_vadNoiseFloor CONSTANT)
    Q_PROPERTY(int vadHangoverSecs MEMBER m_vadHangoverSecs CONSTANT)
    Q_PROPERTY(QString lastCallId MEMBER m_lastCallId CONSTANT)

public:
    CallLog log;
    int m_loginState = 0;
    QString m_email = QStringLiteral("me@example.test");
    QStringList m_participatingURIs;
    QString m_lastParticipatingURI;
    int m_speakerVolumeAdjust = 50;
    int m_volumeAdjust = 60;
    int m_vadSensitivity = 43;
    int m_vadNoiseFloor = 576;
    int m_vadHangoverSecs = 2;
    QString m_lastCallId = QStringLiteral("call-9");

    void announce(int state, const QString &reason)
    {
        m_loginState = state;
        emit loginStateChanged(state, reason);
    }

    Q_INVOKABLE void requestReportIssue(const QString &comments, const QString &so, const QString &rc, const QString &c,
                                        const QString &cs, const QStringList &params)
    {
        log.add(QStringList{QStringLiteral("requestReportIssue"), comments, so, rc, c, cs} + params);
    }

signals:
    void loginStateChanged(int loginState, QString reason);
};

class FakeVoiceManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString domain MEMBER m_domain CONSTANT)
    Q_PROPERTY(bool isDefaultDomain MEMBER m_isDefaultDomain CONSTANT)
    Q_PROPERTY(QString downloadServer MEMBER m_downloadServer CONSTANT)

public:
    QString m_domain = QStringLiteral("voice.example.test");
    bool m_isDefaultDomain = true;
    QString m_downloadServer = QStringLiteral("https://www.example.test");
};

class FakeConversation : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString displayName MEMBER m_displayName CONSTANT)

public:
    CallLog log;
    QString m_displayName = QStringLiteral("Night <b>owls</b>");
    Q_INVOKABLE void requestDelete(bool confirm = false)
    {
        log.add({QStringLiteral("requestDelete"), confirm ? QStringLiteral("true") : QStringLiteral("false")});
    }
};

// Takes every link the windows ask the desktop to open.
class UrlCapture : public QObject
{
    Q_OBJECT

public:
    UrlCapture()
    {
        for (const char *scheme : {"http", "https", "mailto", "file", "ftp", "javascript", "tavri"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlCapture() override
    {
        for (const char *scheme : {"http", "https", "mailto", "file", "ftp", "javascript", "tavri"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

inline QQuickItem *item(QmlTestView *view, const QString &objectName)
{
    return findItem(view->root(), objectName);
}

// Calls a function of the view's root object with up to two arguments.
inline QVariant call(QmlTestView *view, const char *function, const QVariant &a = QVariant(),
                     const QVariant &b = QVariant())
{
    QVariant result;
    if (!a.isValid())
        QMetaObject::invokeMethod(view->root(), function, Q_RETURN_ARG(QVariant, result));
    else if (!b.isValid())
        QMetaObject::invokeMethod(view->root(), function, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, a));
    else
        QMetaObject::invokeMethod(view->root(), function, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, a),
                                  Q_ARG(QVariant, b));
    return result;
}

// Gives item the focus and types text into it.
inline void typeInto(QmlTestView *view, QQuickItem *item, const QString &text)
{
    item->forceActiveFocus();
    view->type(text);
}

// Shows a view again after the window hid itself.
inline bool showAgain(QmlTestView *view)
{
    view->show();
    view->requestActivate();
    return QTest::qWaitForWindowActive(view);
}

// Pictures of the windows for review: with TAVRI_WINDOW_PICTURES naming a
// folder and the test on an X display (run under xvfb-run), each call saves
// the view as <folder>/<name>.png; otherwise it does nothing.
inline void savePicture(QmlTestView *view, const QString &name)
{
    const QString folder = qEnvironmentVariable("TAVRI_WINDOW_PICTURES");
    if (folder.isEmpty() || !tavritest::TestEnvironment::hasX11Display())
        return;
    QDir().mkpath(folder);
    const QString error = tavritest::saveWindowPicture(view, QDir(folder).filePath(name + QStringLiteral(".png")));
    if (!error.isEmpty())
        qWarning().noquote() << "no picture of" << name << "-" << error;
}

} // namespace windowtest

// As TAVRI_TEST_MAIN, on the X display when pictures are asked for.
#define TAVRI_WINDOW_TEST_MAIN(TestObject)                                                                             \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        tavritest::TestEnvironment testEnvironment(qEnvironmentVariableIsEmpty("TAVRI_WINDOW_PICTURES")                \
                                                       ? tavritest::TestEnvironment::Display::Offscreen                \
                                                       : tavritest::TestEnvironment::Display::X11);                    \
        QTEST_MAIN_IMPL(TestObject)                                                                                    \
    }
