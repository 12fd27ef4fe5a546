#pragma once

// Recording stand-ins for the context objects that the settings window and
// its pages, the diagnostics window and the presence editor read: mainApp,
// localUser, voiceManager and the key-capture view "self".

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QVariantList>

#include <memory>

#include "qmltestview.h"
#include "storagemanager.h"

#include "tavriapplication.h"

namespace settingstest {

// Every call of a recorded operation, as its name followed by its arguments,
// joined with "|".
class Calls
{
public:
    void add(const QString &name, const QVariantList &arguments = QVariantList())
    {
        QStringList parts{name};
        for (const QVariant &argument : arguments)
            parts << text(argument);
        m_calls << parts.join(QLatin1Char('|'));
    }
    QStringList all() const { return m_calls; }
    QStringList matching(const QString &prefix) const
    {
        QStringList found;
        for (const QString &call : m_calls) {
            if (call == prefix || call.startsWith(prefix + QLatin1Char('|')))
                found << call;
        }
        return found;
    }
    int count(const QString &prefix) const { return matching(prefix).size(); }
    void clear() { m_calls.clear(); }

private:
    static QString text(const QVariant &value)
    {
        if (value.canConvert<QVariantList>() && value.type() != QVariant::String) {
            QStringList items;
            for (const QVariant &item : value.value<QVariantList>())
                items << item.toString();
            return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
        }
        return value.toString();
    }
    QStringList m_calls;
};

class FakeMainApp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString languageUpdatedString MEMBER m_languageUpdatedString NOTIFY languageChanged)
    Q_PROPERTY(bool captureTestRunning MEMBER m_captureTestRunning NOTIFY captureTestRunningChanged)
    Q_PROPERTY(bool renderTestRunning MEMBER m_renderTestRunning NOTIFY renderTestRunningChanged)
    Q_PROPERTY(bool micIsActive MEMBER m_micIsActive NOTIFY micIsActiveChanged)
    Q_PROPERTY(bool advancedAgc READ advancedAgc WRITE setAdvancedAgc)
    Q_PROPERTY(int pageId MEMBER m_pageId NOTIFY pageIdChanged)
    Q_PROPERTY(QObject *callStats MEMBER m_callStats CONSTANT)
    Q_PROPERTY(QString imageDirPath MEMBER m_imageDirPath CONSTANT)

public:
    Calls calls;
    QString m_imageDirPath = QStringLiteral("/pictures");
    QStringList m_styles{QStringLiteral("Default"), QStringLiteral("Night")};
    QString m_currentStyle = QStringLiteral("Default");
    QString m_languageUpdatedString;
    bool m_captureTestRunning = false;
    bool m_renderTestRunning = false;
    bool m_micIsActive = false;
    bool m_advancedAgc = false;
    int m_pageId = 0;
    QObject *m_callStats = nullptr;

    bool advancedAgc() const { return m_advancedAgc; }
    void setAdvancedAgc(bool value)
    {
        m_advancedAgc = value;
        calls.add(QStringLiteral("advancedAgc"), {value});
    }
    void setRenderTestRunning(bool running)
    {
        m_renderTestRunning = running;
        emit renderTestRunningChanged(running);
    }
    void setCaptureTestRunning(bool running)
    {
        m_captureTestRunning = running;
        emit captureTestRunningChanged(running);
    }

    Q_INVOKABLE void startRenderTest()
    {
        calls.add(QStringLiteral("startRenderTest"));
        setRenderTestRunning(true);
    }
    Q_INVOKABLE void stopRenderTest()
    {
        calls.add(QStringLiteral("stopRenderTest"));
        setRenderTestRunning(false);
    }
    Q_INVOKABLE void startCaptureTest(bool forHeadphones)
    {
        calls.add(QStringLiteral("startCaptureTest"), {forHeadphones});
        setCaptureTestRunning(true);
    }
    Q_INVOKABLE void stopCaptureTest()
    {
        calls.add(QStringLiteral("stopCaptureTest"));
        setCaptureTestRunning(false);
    }
    Q_INVOKABLE void setRenderDeviceByIndex(int index) { calls.add(QStringLiteral("setRenderDeviceByIndex"), {index}); }
    Q_INVOKABLE void setCaptureDeviceByIndex(int index)
    {
        calls.add(QStringLiteral("setCaptureDeviceByIndex"), {index});
    }
    Q_INVOKABLE void renderFileToSpeaker(const QString &file)
    {
        calls.add(QStringLiteral("renderFileToSpeaker"), {file});
    }
    Q_INVOKABLE void leaveAllVoiceConversations() { calls.add(QStringLiteral("leaveAllVoiceConversations")); }
    // The program's own naming of key combinations.
    Q_INVOKABLE QString getKeySequenceString(QList<int> qtKeyCodes, QList<int> nativeVKeyCodes)
    {
        return TavriApplication::keySequenceText(qtKeyCodes, nativeVKeyCodes);
    }
    Q_INVOKABLE bool isTavriInAccessList() { return true; }
    // Both overloads of the program's, and no default: a call the program
    // refuses ("Unable to determine callable overload") fails here too.
    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QMap<QString, QString> &params)
    {
        QVariantList arguments{category, label};
        for (auto it = params.cbegin(); it != params.cend(); ++it)
            arguments << it.key() + QLatin1Char(':') + it.value();
        calls.add(QStringLiteral("trackEvent"), arguments);
    }
    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QStringList &details)
    {
        QVariantList arguments{category, label};
        for (const QString &detail : details)
            arguments << detail;
        calls.add(QStringLiteral("trackEvent"), arguments);
    }
    Q_INVOKABLE void setAecEnabled(bool value) { calls.add(QStringLiteral("setAecEnabled"), {value}); }
    Q_INVOKABLE void setAgcEnabled(bool value) { calls.add(QStringLiteral("setAgcEnabled"), {value}); }
    Q_INVOKABLE void setVadEnabled(bool value) { calls.add(QStringLiteral("setVadEnabled"), {value}); }
    Q_INVOKABLE void copyCallStatsToClipboard() { calls.add(QStringLiteral("copyCallStatsToClipboard")); }
    Q_INVOKABLE void clearCallStats() { calls.add(QStringLiteral("clearCallStats")); }
    Q_INVOKABLE QStringList getAvailableStyles() const { return m_styles; }
    Q_INVOKABLE QString getCurrentStyleName() const { return m_currentStyle; }
    Q_INVOKABLE void setStyle(const QString &name)
    {
        calls.add(QStringLiteral("setStyle"), {name});
        m_currentStyle = name;
    }
    Q_INVOKABLE void initializeLocalization(const QString &locale)
    {
        calls.add(QStringLiteral("initializeLocalization"), {locale});
    }
    Q_INVOKABLE bool isImageValid(const QUrl &file) const { return !file.toString().contains(QLatin1String("broken")); }

signals:
    void languageChanged();
    void captureTestRunningChanged(bool value);
    void renderTestRunningChanged(bool value);
    void micIsActiveChanged(bool micIsActive);
    void pageIdChanged(int pageId);
};

class FakeLocalUser : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int loginState MEMBER m_loginState NOTIFY loginStateChanged)
    Q_PROPERTY(bool isInChannel MEMBER m_isInChannel NOTIFY isInChannelChanged)
    Q_PROPERTY(QString accessibilityHelpURL MEMBER m_accessibilityHelpURL CONSTANT)
    Q_PROPERTY(
        int speakerVolumeAdjust READ speakerVolumeAdjust WRITE setSpeakerVolumeAdjust NOTIFY speakerVolumeAdjustChanged)
    Q_PROPERTY(int volumeAdjust READ volumeAdjust WRITE setVolumeAdjust NOTIFY volumeAdjustChanged)
    Q_PROPERTY(int vadSensitivity READ vadSensitivity WRITE setVadSensitivity NOTIFY vadSensitivityChanged)
    Q_PROPERTY(QString onlineStatus MEMBER m_onlineStatus NOTIFY onlineStatusChanged)
    Q_PROPERTY(QString awayStatus MEMBER m_awayStatus NOTIFY awayStatusChanged)
    Q_PROPERTY(QUrl profileImageURI MEMBER m_profileImageURI NOTIFY profileImageURIChanged)
    Q_PROPERTY(QString uuid MEMBER m_uuid NOTIFY uuidChanged)
    Q_PROPERTY(QString displayName MEMBER m_displayName NOTIFY displayNameChanged)
    Q_PROPERTY(QString userName MEMBER m_userName NOTIFY displayNameChanged)
    Q_PROPERTY(QString customDisplayName MEMBER m_customDisplayName NOTIFY displayNameChanged)
    Q_PROPERTY(QString email MEMBER m_email NOTIFY emailChanged)
    Q_PROPERTY(QString description MEMBER m_description NOTIFY descriptionChanged)
    Q_PROPERTY(QString tagline MEMBER m_tagline NOTIFY taglineChanged)
    Q_PROPERTY(QString location MEMBER m_location NOTIFY locationChanged)

public:
    Calls calls;
    QString m_onlineStatus = QStringLiteral("online");
    QString m_awayStatus = QStringLiteral("away");
    QUrl m_profileImageURI;
    QString m_uuid = QStringLiteral("u-1234");
    // As the program shows it by default: the user name in place of the
    // chosen name.
    QString m_displayName = QStringLiteral("ann");
    QString m_userName = QStringLiteral("ann");
    QString m_customDisplayName = QStringLiteral("Ann");
    QString m_email = QStringLiteral("ann@example.test");
    QString m_description = QStringLiteral("About Ann");
    QString m_tagline = QStringLiteral("Hello");
    QString m_location = QStringLiteral("Oslo");
    int m_loginState = 3;
    bool m_isInChannel = false;
    QString m_accessibilityHelpURL = QStringLiteral("https://help.example.test/ptt");
    int m_speakerVolumeAdjust = 50;
    int m_volumeAdjust = 50;
    int m_vadSensitivity = 40;

    int speakerVolumeAdjust() const { return m_speakerVolumeAdjust; }
    void setSpeakerVolumeAdjust(int value)
    {
        m_speakerVolumeAdjust = value;
        calls.add(QStringLiteral("speakerVolumeAdjust"), {value});
    }
    int volumeAdjust() const { return m_volumeAdjust; }
    void setVolumeAdjust(int value)
    {
        m_volumeAdjust = value;
        calls.add(QStringLiteral("volumeAdjust"), {value});
    }
    int vadSensitivity() const { return m_vadSensitivity; }
    void setVadSensitivity(int value)
    {
        m_vadSensitivity = value;
        calls.add(QStringLiteral("vadSensitivity"), {value});
    }
    // A value the voice service reports.
    void announceVadSensitivity(int value)
    {
        m_vadSensitivity = value;
        emit vadSensitivityChanged();
    }
    void announceLoginState(int state)
    {
        m_loginState = state;
        emit loginStateChanged(state, QString());
    }

    // As the program: an empty message stands for the presence's own word.
    Q_INVOKABLE void setPresenceMessage(int presence, const QString &message)
    {
        calls.add(QStringLiteral("setPresenceMessage"), {presence, message});
        if (presence == 5) {
            m_onlineStatus = message.isEmpty() ? QStringLiteral("online") : message;
            emit onlineStatusChanged();
        } else if (presence == 2) {
            m_awayStatus = message.isEmpty() ? QStringLiteral("away") : message;
            emit awayStatusChanged();
        }
    }
    Q_INVOKABLE void requestProfilePictureUpdate(const QString &url)
    {
        calls.add(QStringLiteral("requestProfilePictureUpdate"), {url});
    }
    Q_INVOKABLE void requestProfileUpdate(const QString &displayName, const QString &description,
                                          const QString &tagline, const QString &location)
    {
        calls.add(QStringLiteral("requestProfileUpdate"), {displayName, description, tagline, location});
    }
    Q_INVOKABLE void refreshPttSettings() { calls.add(QStringLiteral("refreshPttSettings")); }
    // As the program: a lone left or right mouse button is refused.
    Q_INVOKABLE bool isPttKeyComboValid(const QVariantList &keyCodes) const
    {
        return !(keyCodes.size() == 1 && (keyCodes.first().toInt() == 1 || keyCodes.first().toInt() == 2));
    }
    Q_INVOKABLE void setPttKeyCombo(int mode, const QVariantList &keyCodes)
    {
        calls.add(QStringLiteral("setPttKeyCombo"), {mode, QVariant(keyCodes)});
    }

signals:
    void loginStateChanged(int loginState, QString reason);
    void isInChannelChanged();
    void speakerVolumeAdjustChanged();
    void volumeAdjustChanged();
    void vadSensitivityChanged();
    void onlineStatusChanged();
    void awayStatusChanged();
    void profileImageURIChanged();
    void uuidChanged();
    void displayNameChanged();
    void emailChanged();
    void descriptionChanged();
    void taglineChanged();
    void locationChanged();
};

class FakeVoiceManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int speakerVolume MEMBER m_speakerVolume NOTIFY speakerVolumeChanged)
    Q_PROPERTY(double microphoneVolume MEMBER m_microphoneVolume NOTIFY microphoneVolumeChanged)
    Q_PROPERTY(double microphoneEnergy MEMBER m_microphoneEnergy NOTIFY microphoneEnergyChanged)
    Q_PROPERTY(double speakerEnergy MEMBER m_speakerEnergy NOTIFY speakerEnergyChanged)
    Q_PROPERTY(bool microphoneActive MEMBER m_microphoneActive NOTIFY microphoneActiveChanged)
    Q_PROPERTY(bool speakerActive MEMBER m_speakerActive NOTIFY speakerActiveChanged)
    Q_PROPERTY(double noiseFloor MEMBER m_noiseFloor NOTIFY noiseFloorChanged)
    Q_PROPERTY(double speechThreshold MEMBER m_speechThreshold NOTIFY speechThresholdChanged)
    Q_PROPERTY(double maxNoiseFloor MEMBER m_maxNoiseFloor NOTIFY maxNoiseFloorChanged)

public:
    int m_speakerVolume = 50;
    double m_microphoneVolume = 50;
    double m_microphoneEnergy = 0.3;
    double m_speakerEnergy = 0.2;
    bool m_microphoneActive = false;
    bool m_speakerActive = false;
    double m_noiseFloor = 0.25;
    double m_speechThreshold = 0.5;
    double m_maxNoiseFloor = 1.0;

signals:
    void speakerVolumeChanged();
    void microphoneVolumeChanged();
    void microphoneEnergyChanged();
    void speakerEnergyChanged();
    void microphoneActiveChanged();
    void speakerActiveChanged();
    void noiseFloorChanged();
    void speechThresholdChanged();
    void maxNoiseFloorChanged();
};

// The file chooser: answers every question with the preset file.
class FakeFilePicker : public QObject
{
    Q_OBJECT

public:
    Calls calls;
    QString m_answer;
    Q_INVOKABLE QString getFileUrl(const QString &heading, const QString &folder, const QString &filter, bool save)
    {
        calls.add(QStringLiteral("getFileUrl"), {heading, folder, filter, save});
        return m_answer;
    }
};

// The key-capture view's report of captured keys.
class FakeKeySource : public QObject
{
    Q_OBJECT

public:
    void press(uint nativeVirtualKey, uint key) { emit keyEvent(nativeVirtualKey, QString(), key, false, true); }
    void release(uint nativeVirtualKey, uint key) { emit keyEvent(nativeVirtualKey, QString(), key, false, false); }

signals:
    void keyEvent(uint nativeVirtualKey, const QString &text, uint key, bool isAutoRepeat, bool pressed);
};

// The stand-ins of one test, set as the context of a view that loads one of
// the windows.
struct WindowFixture {
    FakeMainApp app;
    FakeLocalUser user;
    FakeVoiceManager voice;
    FakeKeySource keys;
    FakeFilePicker picker;
    std::unique_ptr<QmlTestView> view;

    // Loads qrc:/QML/qml/tavri/<file> with the stand-ins, the program's
    // settings service and the given device models.
    bool load(const QString &file, QObject *renderDevices = nullptr, QObject *captureDevices = nullptr)
    {
        view.reset();
        view.reset(new QmlTestView);
        view->setContextObject(QStringLiteral("mainApp"), &app);
        view->setContextObject(QStringLiteral("localUser"), &user);
        view->setContextObject(QStringLiteral("voiceManager"), &voice);
        view->setContextObject(QStringLiteral("storageManager"), StorageManager::getInstance());
        view->setContextObject(QStringLiteral("renderDevices"), renderDevices);
        view->setContextObject(QStringLiteral("captureDevices"), captureDevices);
        view->setContextObject(QStringLiteral("self"), &keys);
        view->setContextObject(QStringLiteral("filePicker"), &picker);
        return view->load(QUrl(QStringLiteral("qrc:/QML/qml/tavri/") + file));
    }
    QQuickItem *item(const char *name) const { return view->find(QString::fromLatin1(name)); }
    QString text(const char *name) const { return item(name)->property("text").toString(); }
    // The QML warnings of the view; the view is dropped.
    QStringList finish()
    {
        const QStringList warnings = view ? view->qmlWarnings() : QStringList();
        view.reset();
        return warnings;
    }
};

} // namespace settingstest
