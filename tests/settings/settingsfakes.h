#pragma once

// Recording stand-ins for the context objects that the settings window and
// its pages, the diagnostics window and the presence editor read: mainApp,
// localUser, voiceManager and the key-capture view "self".

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

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

public:
    Calls calls;
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
    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QStringList &details = {})
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

public:
    Calls calls;
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

} // namespace settingstest
