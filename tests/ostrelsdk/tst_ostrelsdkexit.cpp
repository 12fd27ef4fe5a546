#include "testenvironment.h"
#include <QtTest>

#include "sdkharness.h"

// The library keeps a log of issued requests and may hold injected messages
// when the process ends; both must be freed safely by its own static state at
// exit (AddressSanitizer and LeakSanitizer watch this test's exit).
class tst_OstrelSdkExit : public QObject
{
    Q_OBJECT

private slots:
    void stateLeftForProcessExit()
    {
        ox_config_t config;
        QCOMPARE(ox_get_default_config(&config), 0);
        QCOMPARE(ox_initialize3(&config, int(sizeof(config))), 0);
        ox_req_aux_get_render_devices_t *request = nullptr;
        QCOMPARE(ox_req_aux_get_render_devices_create(&request), 0);
        QCOMPARE(ox_issue_request(&request->base), 0);
        QVERIFY(oxc_request_count(-1) >= 1);

        // Injected events that nobody takes before the library stops.
        for (int i = 0; i < 50; ++i) {
            auto *event =
                static_cast<ox_evt_aux_audio_properties_t *>(calloc(1, sizeof(ox_evt_aux_audio_properties_t)));
            event->base.message.type = OX_MSG_EVENT;
            event->base.type = OX_EVT_AUX_AUDIO_PROPERTIES;
            QCOMPARE(oxc_inject(&event->base.message), 0);
        }
        QCOMPARE(ox_uninitialize(), 0);
        // No oxc_reset(): the request log is left for the exit.
    }
};

TAVRI_TEST_GUILESS_MAIN(tst_OstrelSdkExit)
#include "tst_ostrelsdkexit.moc"
