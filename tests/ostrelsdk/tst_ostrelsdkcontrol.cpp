// The control interface that tests use to steer the voice SDK: scripted,
// silenced and held responses, injected messages and log lines, and the
// world actions that raise what a real network would.

#include "sdkharness.h"
#include "testenvironment.h"

#include <QObject>
#include <QTemporaryFile>
#include <QtTest>

namespace {

const char *const kRoom = "sip:confctl-room@voice.example";

ox_req_aux_set_mic_level_t *micLevel(int level)
{
    ox_req_aux_set_mic_level_t *r = nullptr;
    ox_req_aux_set_mic_level_create(&r);
    r->level = level;
    return r;
}

} // namespace

class OstrelSdkControlTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_sdk.start()); }
    void cleanup() { m_sdk.stop(); }

    void scriptedResponses()
    {
        QString connector = m_sdk.connector();
        QCOMPARE(oxc_script(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 1, 10006, nullptr, 1), 0);
        QVERIFY(m_sdk.login(connector, "alice").isEmpty());
        QCOMPARE(m_sdk.tags(), QStringList({"R132!10006"}));
        QCOMPARE(m_sdk.response<ox_resp_base_t>(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN)->status_string,
                 "Could not resolve host");
        // The script is used up: the next login goes through.
        QString account = m_sdk.login(connector, "alice");
        QVERIFY(!account.isEmpty());

        // A status-only script keeps the normal effects.
        QString session;
        {
            QString group = m_sdk.group(account);
            m_sdk.join(group, "sip:u-offline@voice.example", 0);
            session = m_sdk.joinedSession();
        }
        oxc_script(OX_REQ_SESSION_SEND_MESSAGE, 0, 480, "Temporarily unavailable", 1);
        QCOMPARE(m_sdk.send(session, "x"), QStringList({"R72"}));
        auto *sent = m_sdk.response<ox_resp_base_t>(OX_RESP_SESSION_SEND_MESSAGE);
        QCOMPARE(sent->return_code, 0);
        QCOMPARE(sent->status_code, 480);
        QCOMPARE(m_sdk.send(session, "y"), QStringList({"R72"}));
        QCOMPARE(m_sdk.response<ox_resp_base_t>(OX_RESP_SESSION_SEND_MESSAGE)->status_code, 202);
        QCOMPARE(oxc_script(4242, 1, 1, nullptr, 1), 1001);
    }

    void silencedAndHeldRequests()
    {
        oxc_silence(OX_REQ_AUX_SET_MIC_LEVEL, 1);
        QCOMPARE(m_sdk.run(micLevel(1)), QStringList());
        QCOMPARE(m_sdk.run(micLevel(2)), QStringList({"R93"}));
        QCOMPARE(oxc_request_count(OX_REQ_AUX_SET_MIC_LEVEL), 2);

        oxc_hold(OX_REQ_AUX_SET_MIC_LEVEL, 1);
        m_sdk.clear();
        for (int level = 10; level < 13; ++level)
            ox_issue_request(&micLevel(level)->base);
        m_sdk.drain();
        QCOMPARE(m_sdk.tags(), QStringList());
        QCOMPARE(oxc_release(OX_REQ_AUX_SET_MIC_LEVEL, 2), 2);
        m_sdk.drain();
        QCOMPARE(m_sdk.tags(), QStringList({"R93", "R93"}));
        auto level = [&](int i) {
            return reinterpret_cast<ox_req_aux_set_mic_level_t *>(
                       reinterpret_cast<ox_resp_base_t *>(m_sdk.messages[i])->request)
                ->level;
        };
        QCOMPARE(level(0), 10);
        QCOMPARE(level(1), 11);
        oxc_hold(OX_REQ_AUX_SET_MIC_LEVEL, 0);
        QCOMPARE(oxc_release(OX_REQ_AUX_SET_MIC_LEVEL, -1), 1);
        m_sdk.drain();
        QCOMPARE(level(2), 12);
        // Parked requests are freed by a reset.
        oxc_hold(OX_REQ_AUX_GET_MIC_LEVEL, 1);
        ox_req_aux_get_mic_level_t *parked = nullptr;
        ox_req_aux_get_mic_level_create(&parked);
        ox_issue_request(&parked->base);
        oxc_reset();
        QCOMPARE(oxc_request_count(-1), 0);
    }

    void injectedMessagesKeepTheirPlace()
    {
        m_sdk.clear();
        ox_issue_request(&micLevel(5)->base);
        auto *message = reinterpret_cast<ox_evt_message_t *>(oxc_alloc_event(OX_EVT_MESSAGE));
        message->session_handle = ox_strdup("session-42");
        message->sender_uri = ox_strdup("sip:u-x@y");
        message->message_body = nullptr; // injected texts may be NULL
        QCOMPARE(oxc_inject(&message->base.message), 0);
        oxc_inject(&oxc_alloc_event(static_cast<ox_event_type>(99))->message);
        ox_req_account_login_t *login = nullptr;
        ox_req_account_login_create(&login);
        login->account_name = ox_strdup("a");
        auto *resp =
            reinterpret_cast<ox_resp_account_login_t *>(oxc_alloc_response(OX_RESP_ACCOUNT_LOGIN, &login->base));
        resp->base.return_code = 1;
        resp->base.status_code = 1008;
        resp->account_uri = ox_strdup("sip:u-a@y");
        oxc_inject(&resp->base.message);
        m_sdk.drain();
        QCOMPARE(m_sdk.tags(), QStringList({"R93", "E10", "E99", "R3!1008"}));
    }

    void liveMessagesCountUntilDestroyed()
    {
        m_sdk.drain();
        m_sdk.clear();
        const int before = oxc_live_messages();
        ox_evt_base_t *event = oxc_alloc_event(OX_EVT_MESSAGE);
        ox_resp_base_t *response = oxc_alloc_response(OX_RESP_AUX_GET_MIC_LEVEL, nullptr);
        QCOMPARE(oxc_live_messages(), before + 2);
        ox_destroy_evt(event);
        QCOMPARE(oxc_live_messages(), before + 1);
        ox_destroy_message(&response->message);
        QCOMPARE(oxc_live_messages(), before);
        // Answers count from creation until the caller destroys them.
        ox_issue_request(&micLevel(5)->base);
        m_sdk.drain();
        QCOMPARE(oxc_live_messages(), before + 1);
        m_sdk.clear();
        QCOMPARE(oxc_live_messages(), before);
    }

    void worldActions()
    {
        QString connector = m_sdk.connector();
        QString account = m_sdk.login(connector, "alice");
        const char *alice = "sip:u-alice@voice.example";

        ox_req_aux_global_monitor_keyboard_mouse_t *bind = nullptr;
        ox_req_aux_global_monitor_keyboard_mouse_create(&bind);
        bind->binding_name = ox_strdup("PTT");
        bind->key_count = 17;
        QCOMPARE(m_sdk.run(bind), QStringList({"R123!1001"}));
        bind = nullptr;
        ox_req_aux_global_monitor_keyboard_mouse_create(&bind);
        bind->binding_name = ox_strdup("PTT");
        bind->key_count = 1;
        bind->key_codes[0] = 32;
        m_sdk.run(bind);
        m_sdk.clear();
        QCOMPARE(oxc_key_event("PTT", 1), 1);
        QCOMPARE(oxc_key_event("other", 0), 0);
        oxc_send_server_app_data(alice, "notice", "say \"hi\"");
        oxc_subscription(alice, "sip:u-fan@voice.example", "Fan");
        oxc_send_app_data(alice, "sip:u-app@voice.example", "payload");
        oxc_say(alice, "sip:u-stranger@voice.example", "hello there");
        m_sdk.drain();
        QCOMPARE(m_sdk.tags(),
                 QStringList({"E18", "E18", "E35", "E8", "E36", "E22", "E24", "E21", "E26", "E26", "E10"}));
        QCOMPARE(m_sdk.events<ox_evt_keyboard_mouse_t>(OX_EVT_KEYBOARD_MOUSE)[0]->is_down, 1);
        QCOMPARE(m_sdk.events<ox_evt_server_app_data_t>(OX_EVT_SERVER_APP_DATA)[0]->content,
                 "{\"ctype\":\"notice\",\"content\":\"say \\\"hi\\\"\"}");
        QCOMPARE(m_sdk.events<ox_evt_subscription_t>(OX_EVT_SUBSCRIPTION)[0]->subscription_handle, "subscription-1");
        QCOMPARE(m_sdk.events<ox_evt_session_added_t>(OX_EVT_SESSION_ADDED)[0]->is_incoming, 1);

        // A capture failure turns an audio join into a text-only one.
        QString group = m_sdk.group(account);
        oxc_set_capture_failure(7009);
        QCOMPARE(m_sdk.join(group, kRoom, 1), QStringList({"E24", "R8", "E21", "E20", "E26", "E28"}));
        auto *media = m_sdk.events<ox_evt_media_stream_updated_t>(OX_EVT_MEDIA_STREAM_UPDATED)[0];
        QCOMPARE(media->state, 1);
        QCOMPARE(media->status_code, 7009);
        m_sdk.clear();
        oxc_channel_join(kRoom, "sip:u-bo@voice.example", "Bo", 1);
        oxc_participant_update(kRoom, "sip:u-bo@voice.example", 1, 1, 0.5);
        oxc_typing(kRoom, "sip:u-bo@voice.example", 1);
        oxc_say(kRoom, "sip:u-bo@voice.example", "hi all");
        oxc_channel_leave(kRoom, "sip:u-bo@voice.example", 1);
        m_sdk.drain();
        QCOMPARE(m_sdk.tags(), QStringList({"E26", "E28", "E28", "E9", "E10", "E27"}));
        auto *update = m_sdk.events<ox_evt_participant_updated_t>(OX_EVT_PARTICIPANT_UPDATED)[1];
        QCOMPARE(update->is_speaking, 1);
        QCOMPARE(update->is_muted_globally, 1);
        QCOMPARE(update->active_media, 3);

        oxc_device_spec_t devices[] = {
            {"Default System Device", "Default System Device", 0}, {"usb-9", "USB Mic", 0}, {"gone", "Unplugged", 2}};
        m_sdk.clear();
        oxc_set_devices(0, devices, 3, "usb-9");
        m_sdk.drain();
        QCOMPARE(m_sdk.tags(), QStringList({"E41"}));
        ox_req_aux_get_capture_devices_t *get = nullptr;
        ox_req_aux_get_capture_devices_create(&get);
        m_sdk.run(get);
        auto *list = m_sdk.response<ox_resp_aux_get_capture_devices_t>(OX_RESP_AUX_GET_CAPTURE_DEVICES);
        QCOMPARE(list->device_count, 3);
        QCOMPARE(list->devices[2]->device_type, 2);
        QCOMPARE(list->effective_device->device_id, "usb-9");
    }

    void renderNeedsAnExistingFile()
    {
        QTemporaryFile sound;
        QVERIFY(sound.open());
        ox_req_aux_render_audio_start_t *start = nullptr;
        ox_req_aux_render_audio_start_create(&start);
        start->sound_file_path = ox_strdup(sound.fileName().toLocal8Bit().constData());
        QCOMPARE(m_sdk.run(start), QStringList({"R95"}));
        start = nullptr;
        ox_req_aux_render_audio_start_create(&start);
        start->sound_file_path = ox_strdup("/no/such/rendertest.wav");
        QCOMPARE(m_sdk.run(start), QStringList({"R95!1043"}));
    }

private:
    SdkHarness m_sdk;
};

TAVRI_TEST_GUILESS_MAIN(OstrelSdkControlTest)
#include "tst_ostrelsdkcontrol.moc"
