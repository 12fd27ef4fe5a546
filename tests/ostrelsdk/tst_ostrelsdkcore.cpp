// The voice SDK's contract with its caller: initialisation, ownership of
// requests and messages, one response per request, ordering, the notification
// thread, and the log line format.

#include "sdkharness.h"
#include "testenvironment.h"

#include "ostreltempfolder.h"

#include <QFile>

#include <QObject>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace {

char *s(const char *text)
{
    return ox_strdup(text);
}

// One filled request of every type the library knows, every text set.
std::vector<ox_req_base_t *> everyRequest()
{
    std::vector<ox_req_base_t *> list;
    auto add = [&](auto *r) { list.push_back(&r->base); };
#define MAKE(name, ...)                                                                                                \
    {                                                                                                                  \
        ox_req_##name##_t *r = nullptr;                                                                                \
        ox_req_##name##_create(&r);                                                                                    \
        __VA_ARGS__;                                                                                                   \
        add(r);                                                                                                        \
    }
    MAKE(connector_create, r->server_url = s("https://voice.example"), r->log_folder = s("/tmp"),
         r->log_prefix = s("ox"), r->log_suffix = s(".txt"), r->user_agent = s("Tavri/1"),
         r->application_name = s("Tavri"), r->client_tag = s(""))
    MAKE(connector_initiate_shutdown, r->connector_handle = s("connector-1"), r->client_name = s(""))
    MAKE(account_login, r->connector_handle = s("connector-1"), r->account_name = s("a"), r->password = s("p"))
    MAKE(account_logout, r->account_handle = s("account-9"))
    MAKE(account_set_presence, r->account_handle = s("account-9"), r->custom_message = s("hi"))
    MAKE(sessiongroup_create, r->account_handle = s("account-9"))
    MAKE(sessiongroup_terminate, r->session_group_handle = s("sessiongroup-9"))
    MAKE(sessiongroup_add_session, r->session_group_handle = s("sessiongroup-9"),
         r->uri = s("sip:confctl-x@voice.example"), r->password = s(""))
    MAKE(sessiongroup_set_tx_session, r->session_handle = s("session-9"), r->session_group_handle = s("sessiongroup-9"))
    MAKE(session_media_connect, r->session_handle = s("session-9"))
    MAKE(session_media_disconnect, r->session_handle = s("session-9"))
    MAKE(session_terminate, r->session_handle = s("session-9"))
    MAKE(session_mute_local_speaker, r->session_handle = s("session-9"))
    MAKE(session_set_local_speaker_volume, r->session_handle = s("session-9"))
    MAKE(session_set_participant_mute_for_me, r->session_handle = s("session-9"), r->participant_uri = s("sip:u-a@x"))
    MAKE(session_set_participant_volume_for_me, r->session_handle = s("session-9"), r->participant_uri = s("sip:u-a@x"))
    MAKE(account_channel_favorites_list, r->account_handle = s("account-9"))
    MAKE(account_channel_favorite_set, r->account_handle = s("account-9"), r->channel_uri = s("sip:confctl-x@x"),
         r->display_name = s("X"))
    MAKE(account_channel_get_info, r->account_handle = s("account-9"), r->channel_uri = s("sip:confctl-x@x"))
    MAKE(account_channel_add_moderator, r->account_handle = s("account-9"), r->channel_uri = s("c"),
         r->moderator_uri = s("m"))
    MAKE(account_channel_remove_moderator, r->account_handle = s("account-9"), r->channel_uri = s("c"),
         r->moderator_uri = s("m"))
    MAKE(account_channel_get_moderators, r->account_handle = s("account-9"), r->channel_uri = s("c"))
    MAKE(account_channel_add_acl, r->account_handle = s("account-9"), r->channel_uri = s("c"), r->user_uri = s("u"))
    MAKE(account_channel_remove_acl, r->account_handle = s("account-9"), r->channel_uri = s("c"), r->user_uri = s("u"))
    MAKE(account_channel_get_acl, r->account_handle = s("account-9"), r->channel_uri = s("c"))
    MAKE(channel_kick_user, r->account_handle = s("account-9"), r->channel_uri = s("c"), r->participant_uri = s("u"))
    MAKE(channel_ban_user, r->account_handle = s("account-9"), r->channel_uri = s("c"), r->participant_uri = s("u"))
    MAKE(channel_get_banned_users, r->account_handle = s("account-9"), r->channel_uri = s("c"))
    MAKE(channel_mute_user, r->account_handle = s("account-9"), r->channel_uri = s("c"), r->participant_uri = s("u"))
    MAKE(connector_mute_local_mic, r->mute = 1)
    MAKE(account_buddy_set, r->account_handle = s("account-9"), r->buddy_uri = s("b"), r->display_name = s(""),
         r->buddy_data = s(""), r->message = s("m"))
    MAKE(account_buddy_delete, r->account_handle = s("account-9"), r->buddy_uri = s("b"))
    MAKE(account_list_buddies_and_groups, r->account_handle = s("account-9"))
    MAKE(session_send_message, r->session_handle = s("session-9"), r->message_header = s(""),
         r->message_body = s("hello"))
    MAKE(session_send_notification, r->session_handle = s("session-9"))
    MAKE(account_blocked_users_list, r->account_handle = s("account-9"))
    MAKE(aux_get_render_devices, (void)0)
    MAKE(aux_get_capture_devices, (void)0)
    MAKE(aux_set_render_device, r->device_id = s("standin-render-2"))
    MAKE(aux_set_capture_device, r->device_id = s("no-such-device"))
    MAKE(aux_get_mic_level, (void)0)
    MAKE(aux_get_speaker_level, (void)0)
    MAKE(aux_set_mic_level, r->level = 70)
    MAKE(aux_set_speaker_level, r->level = 30)
    MAKE(aux_render_audio_start, r->sound_file_path = s("/no/such/file.wav"))
    MAKE(aux_render_audio_stop, (void)0)
    MAKE(aux_capture_audio_start, r->loop_to_render = 1)
    MAKE(aux_capture_audio_stop, (void)0)
    MAKE(aux_get_vad_properties, (void)0)
    MAKE(aux_set_vad_properties, r->hangover_ms = 1500, r->sensitivity = -1, r->noise_floor = 600)
    MAKE(aux_global_monitor_keyboard_mouse, r->binding_name = s("PTT"), r->key_count = 2, r->key_codes[0] = 17,
         r->key_codes[1] = 32)
    MAKE(account_channel_get_participants, r->account_handle = s("account-9"), r->channel_uri = s("c"), r->page = 1,
         r->page_size = 51)
    MAKE(account_send_user_app_data, r->account_handle = s("account-9"), r->to_uri = s("sip:u-x@x"),
         r->content_type = s("text/plain"), r->content = s("data"))
    MAKE(account_authtoken_login, r->connector_handle = s("connector-9"), r->auth_token = s("alice"),
         r->application_name = s("Tavri"))
    MAKE(sessiongroup_get_stats, r->session_group_handle = s("sessiongroup-9"))
#undef MAKE
    return list;
}

std::atomic<int> g_notifications{0};
std::atomic<bool> g_notifiedOffMainThread{false};
std::thread::id g_mainThread;
std::atomic<int> g_slowCallbackRunning{0};
std::atomic<bool> g_slowCallbackDone{false};

void countingHandler()
{
    ++g_notifications;
    if (std::this_thread::get_id() != g_mainThread)
        g_notifiedOffMainThread = true;
}

void slowHandler()
{
    g_slowCallbackRunning = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    g_slowCallbackDone = true;
}

std::mutex g_logMutex;
QStringList g_logLines;
QStringList g_logLevels;

void logSink(const char *source, const char *level, const char *message)
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_logLines << QString::fromLatin1(message) + QStringLiteral(" |") + QString::fromLatin1(source);
    g_logLevels << QString::fromLatin1(level);
}

} // namespace

class OstrelSdkCoreTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { g_mainThread = std::this_thread::get_id(); }
    void cleanup() { m_sdk.stop(); }

    void initialisationRules()
    {
        ox_config_t config;
        QCOMPARE(ox_get_default_config(nullptr), 1001);
        QCOMPARE(ox_get_default_config(&config), 0);
        QCOMPARE(config.advanced_agc_enabled, 1);
        QCOMPARE(config.notification_mode, 0);
        QCOMPARE(ox_initialize3(nullptr, int(sizeof config)), 1001);
        QCOMPARE(ox_initialize3(&config, 12), 1001);
        QCOMPARE(ox_uninitialize(), 1088);
        config.advanced_agc_enabled = 0;
        QCOMPARE(ox_initialize3(&config, 424), 0);
        QCOMPARE(ox_initialize3(&config, 424), 1087);
        QCOMPARE(oxc_audio_switch(OXC_ADVANCED_AGC), 0);
        int size = 0;
        QVERIFY(oxc_init_config(&size));
        QCOMPARE(size, 424);
        QCOMPARE(ox_uninitialize(), 0);
        QCOMPARE(oxc_is_initialized(), 0);
        // Requests issued while not initialised are freed at once and never answered.
        ox_req_aux_get_mic_level_t *r = nullptr;
        ox_req_aux_get_mic_level_create(&r);
        r->base.cookie = ox_strdup("1");
        QCOMPARE(ox_issue_request(&r->base), 1088);
        ox_message_base_t *m = nullptr;
        QCOMPARE(ox_get_message(&m), 1088);
        // Starting again after an uninitialise works.
        QVERIFY(m_sdk.start());
        QCOMPARE(oxc_is_initialized(), 1);
    }

    // Every request type is answered by exactly one response carrying the
    // very record that was issued; ASan checks that nothing leaks or is freed twice.
    void everyRequestIsAnsweredOnce()
    {
        QVERIFY(m_sdk.start());
        std::vector<ox_req_base_t *> requests = everyRequest();
        QCOMPARE(int(requests.size()), 55);
        for (size_t i = 0; i < requests.size(); ++i) {
            requests[i]->cookie = ox_strdup(QByteArray::number(int(1001 + i)).constData());
            QCOMPARE(ox_issue_request(requests[i]), 0);
        }
        m_sdk.drain();
        std::vector<ox_resp_base_t *> responses;
        for (ox_message_base_t *m : m_sdk.messages)
            if (m->type == OX_MSG_RESPONSE)
                responses.push_back(reinterpret_cast<ox_resp_base_t *>(m));
        QCOMPARE(responses.size(), requests.size());
        for (size_t i = 0; i < requests.size(); ++i) {
            QCOMPARE(responses[i]->request, requests[i]);
            QCOMPARE(int(responses[i]->type), int(requests[i]->type));
            QVERIFY(responses[i]->status_string);
        }
        QCOMPARE(oxc_request_count(-1), 55);
        auto *copy =
            reinterpret_cast<const ox_req_session_send_message_t *>(oxc_find_request(OX_REQ_SESSION_SEND_MESSAGE, -1));
        QVERIFY(copy && copy != reinterpret_cast<ox_req_session_send_message_t *>(requests[33]));
        QCOMPARE(copy->message_body, "hello");
        QVERIFY(oxc_find_request_by_cookie("1001"));
        QCOMPARE(int(oxc_find_request_by_cookie("1001")->type), int(OX_REQ_CONNECTOR_CREATE));
        // Unprocessed requests and untaken messages are freed by uninitialise.
        std::vector<ox_req_base_t *> more = everyRequest();
        for (ox_req_base_t *r : more)
            ox_issue_request(r);
        QCOMPARE(ox_uninitialize(), 0);
        QVERIFY(m_sdk.start());
    }

    void badRequestsAreRefused()
    {
        QVERIFY(m_sdk.start());
        QCOMPARE(ox_issue_request(nullptr), 1001);
        auto *bogus = static_cast<ox_req_base_t *>(calloc(1, sizeof(ox_req_base_t)));
        bogus->message.type = OX_MSG_REQUEST;
        bogus->type = static_cast<ox_request_type>(999);
        bogus->cookie = ox_strdup("x");
        QCOMPARE(ox_issue_request(bogus), 1001);
        m_sdk.drain();
        QVERIFY(m_sdk.messages.empty());
        ox_message_base_t *untouched = reinterpret_cast<ox_message_base_t *>(0x1);
        QCOMPARE(ox_get_message(&untouched), OX_E_NO_MESSAGE);
        QCOMPARE(untouched, reinterpret_cast<ox_message_base_t *>(0x1));
        QCOMPARE(ox_destroy_message(nullptr), 0);
    }

    // A thousand requests from the main thread come back in order, and the
    // notification callback runs on the library's own thread.
    void ordersAndNotifiesOffTheMainThread()
    {
        QVERIFY(m_sdk.start());
        g_notifications = 0;
        g_notifiedOffMainThread = false;
        QCOMPARE(ox_register_message_notification_handler(countingHandler, nullptr), 0);
        QCOMPARE(ox_register_message_notification_handler(countingHandler, nullptr), 0);
        QCOMPARE(oxc_handler_count(), 1);
        for (int i = 0; i < 1000; ++i) {
            ox_req_aux_set_mic_level_t *r = nullptr;
            ox_req_aux_set_mic_level_create(&r);
            r->level = i % 100;
            r->base.cookie = ox_strdup(QByteArray::number(i).constData());
            ox_issue_request(&r->base);
        }
        m_sdk.drain();
        QCOMPARE(int(m_sdk.messages.size()), 1000);
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(reinterpret_cast<ox_resp_base_t *>(m_sdk.messages[i])->request->cookie,
                     QByteArray::number(i).constData());
        QVERIFY(g_notifications > 0);
        QVERIFY(g_notifiedOffMainThread);
        QCOMPARE(ox_unregister_message_notification_handler(countingHandler, nullptr), 0);
        QCOMPARE(ox_unregister_message_notification_handler(countingHandler, nullptr), 1001);
    }

    void unregisterWaitsForARunningCallback()
    {
        QVERIFY(m_sdk.start());
        g_slowCallbackRunning = 0;
        g_slowCallbackDone = false;
        QCOMPARE(ox_register_message_notification_handler(slowHandler, nullptr), 0);
        ox_req_aux_get_mic_level_t *r = nullptr;
        ox_req_aux_get_mic_level_create(&r);
        ox_issue_request(&r->base);
        QTRY_VERIFY(g_slowCallbackRunning == 1);
        QCOMPARE(ox_unregister_message_notification_handler(slowHandler, nullptr), 0);
        QVERIFY(g_slowCallbackDone);
        m_sdk.drain();
    }

    // The program's shutdown: unhook the callback, ask the connector to shut
    // down and poll for its answer, then uninitialise; no callback follows.
    void shutdownByPolling()
    {
        QVERIFY(m_sdk.start());
        g_notifications = 0;
        ox_register_message_notification_handler(countingHandler, nullptr);
        QString connector = m_sdk.connector();
        QString group = m_sdk.group(m_sdk.login(connector, "alice"));
        m_sdk.join(group, "sip:confctl-x@voice.example", 1);
        m_sdk.clear();
        QCOMPARE(ox_unregister_message_notification_handler(countingHandler, nullptr), 0);
        const int notifiedBefore = g_notifications;
        ox_req_connector_initiate_shutdown_t *r = nullptr;
        ox_req_connector_initiate_shutdown_create(&r);
        r->connector_handle = ox_strdup(connector.toLatin1().constData());
        ox_issue_request(&r->base);
        bool answered = false;
        QElapsedTimer timer;
        timer.start();
        while (!answered && timer.elapsed() < 3000) {
            ox_message_base_t *m = nullptr;
            if (ox_get_message(&m) != 0) {
                QThread::msleep(5);
                continue;
            }
            answered = m->type == OX_MSG_RESPONSE
                       && reinterpret_cast<ox_resp_base_t *>(m)->type == OX_RESP_CONNECTOR_INITIATE_SHUTDOWN;
            ox_destroy_message(m);
        }
        QVERIFY(answered);
        QCOMPARE(ox_uninitialize(), 0);
        QCOMPARE(int(g_notifications), notifiedBefore);
        QVERIFY(!oxc_account_handle("sip:u-alice@voice.example"));
    }

    void logLinesFollowTheFormatAndLevel()
    {
        QVERIFY(m_sdk.start());
        {
            std::lock_guard<std::mutex> lock(g_logMutex);
            g_logLines.clear();
            g_logLevels.clear();
        }
        QCOMPARE(ox_register_logging_initialization(2, nullptr, nullptr, nullptr, 2, logSink), 0);
        QCOMPARE(oxc_logging_level(), 2);
        oxc_log(OXC_LOG_DEBUG, "ox.core", "not shown at Info");
        oxc_log(OXC_LOG_WARNING, "ox.session", "shown");
        oxc_log_raw("ox.aux", "Weird", "verbatim line");
        m_sdk.join(QString(), "sip:confctl-x@y", 0); // a failed request logs a warning
        m_sdk.drain();
        std::lock_guard<std::mutex> lock(g_logMutex);
        QVERIFY(!g_logLines.filter(QStringLiteral("not shown")).size());
        const QStringList shown = g_logLines.filter(QStringLiteral("shown"));
        QCOMPARE(shown.size(), 1);
        QVERIFY(QRegularExpression(
                    QStringLiteral("^Warning ostrelsdk/\\w+\\.cpp \\d+ ox\\.session: shown \\|ox\\.session$"))
                    .match(shown.first())
                    .hasMatch());
        QVERIFY(g_logLines.contains(QStringLiteral("verbatim line |ox.aux")));
        QVERIFY(g_logLevels.contains(QStringLiteral("Weird")));
        QVERIFY(g_logLines
                    .filter(QRegularExpression(QStringLiteral(
                        "^Info ostrelsdk/sdkcore\\.cpp \\d+ ox\\.session: Request: req_sessiongroup_add_session")))
                    .size()
                == 1);
        QVERIFY(
            g_logLines.filter(QRegularExpression(QStringLiteral("^Warning .* 1001 Invalid argument or handle"))).size()
            == 1);
    }

    void staticTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        QTest::newRow("ok") << 200 << "OK";
        QTest::newRow("exists") << 1004 << "Object already exists.";
        QTest::newRow("file") << 1043 << "File not found";
        QTest::newRow("not initialised") << 1088 << "Not initialized";
        QTest::newRow("network") << 10007 << "Could not connect to server";
        QTest::newRow("unknown") << 123456 << "Unknown error";
    }

    void staticTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, error);
        QCOMPARE(QString::fromLatin1(ox_get_error_string(code)), error);
        QCOMPARE(ox_get_request_type_string(72), "req_session_send_message");
        QCOMPARE(ox_get_request_type_string(-5), "req_unknown");
    }

    void preInitFunctions()
    {
        oxc_reset();
        QCOMPARE(oxc_audio_switch(OXC_AEC), -1);
        QCOMPARE(ox_set_aec_enabled(5), 0);
        QCOMPARE(oxc_audio_switch(OXC_AEC), 1);
        ox_set_application_crash_data("app_at_login");
        ox_set_application_crash_data(nullptr);
        QCOMPARE(oxc_crash_marker_count(), 1);
        QCOMPARE(oxc_crash_marker(0), "app_at_login");
        auto entry = [](void *ctx) { return ++*static_cast<int *>(ctx); };
        int calls = 41;
        QCOMPARE(ox_safe_invoke(entry, &calls, "tavri-test"), 42);
        QCOMPARE(calls, 42);
        QCOMPARE(oxc_safe_invoke_program(), "tavri-test");
        QCOMPARE(ox_safe_invoke(nullptr, nullptr, nullptr), -1);
        oxc_set_crash_dump_count(3);
        QCOMPARE(ox_get_crash_dump_count(), 3);
        oxc_set_crash_dump_count(-1);
        QCOMPARE(ox_get_crash_dump_count(), 0);
        // Without a count from control, the *.xml files of the program's dump folder are counted.
        ox_safe_invoke(entry, &calls, "tavri-dumps");
        const QString dumps = QString::fromStdString(ostrel::temporarySubfolder("Ostrel/Dumps/tavri-dumps"));
        QVERIFY(!dumps.isEmpty());
        for (const char *name : {"/a.xml", "/b.xml", "/notes.txt"}) {
            QFile file(dumps + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(ox_get_crash_dump_count(), 2);
        char *copy = ox_strdup("x");
        ox_free(copy);
        QCOMPARE(ox_strdup(nullptr), static_cast<char *>(nullptr));
    }

private:
    SdkHarness m_sdk;
};

TAVRI_TEST_GUILESS_MAIN(OstrelSdkCoreTest)
#include "tst_ostrelsdkcore.moc"
