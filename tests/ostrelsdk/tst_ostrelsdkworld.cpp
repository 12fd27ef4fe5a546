// The simulated voice network: login, session groups, the join sequence, chat
// with Echo and between accounts, refusals, channel administration, network
// loss, audio devices, levels, meters and statistics.

#include "sdkharness.h"
#include "testenvironment.h"

#include <QObject>
#include <QtTest>

namespace {

const char *const kRoom = "sip:confctl-room@voice.example";
const char *const kEcho = "sip:u-echo@voice.example";

QByteArray b(const QString &s)
{
    return s.toLatin1();
}

} // namespace

class OstrelSdkWorldTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_sdk.start()); }
    void cleanup() { m_sdk.stop(); }

    void loginJoinChatLeave()
    {
        QString connector = m_sdk.connector();
        QCOMPARE(connector, QStringLiteral("connector-1"));
        QCOMPARE(oxc_domain(), "voice.example");

        QString account = m_sdk.login(connector, "Alice");
        QCOMPARE(account, QStringLiteral("account-1"));
        QCOMPARE(m_sdk.tags(), QStringList({"E2", "R132", "E2"}));
        auto states = m_sdk.events<ox_evt_account_login_state_change_t>(OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE);
        QCOMPARE(states[0]->state, 2);
        QCOMPARE(states[1]->state, 1);
        QCOMPARE(states[1]->status_string, "OK");
        auto *login = m_sdk.response<ox_resp_account_authtoken_login_t>(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN);
        QCOMPARE(login->account_uri, "sip:u-alice@voice.example");
        QCOMPARE(login->display_name, "Alice");
        QCOMPARE(login->base.request->cookie, static_cast<char *>(nullptr));

        QString group = m_sdk.group(account);
        QCOMPARE(m_sdk.tags(), QStringList({"E22", "R6"}));

        oxc_channel_configure(kRoom, "The Room", nullptr, 0, 1, 10);
        oxc_channel_join(kRoom, kEcho, "Echo", 0);
        QCOMPARE(m_sdk.join(group, kRoom, 1), QStringList({"E24", "R8", "E21", "E20", "E26", "E26", "E28", "E28"}));
        QString session = m_sdk.joinedSession();
        auto *added = m_sdk.events<ox_evt_session_added_t>(OX_EVT_SESSION_ADDED)[0];
        QCOMPARE(added->display_name, "The Room");
        QCOMPARE(added->uri, kRoom);
        auto participants = m_sdk.events<ox_evt_participant_added_t>(OX_EVT_PARTICIPANT_ADDED);
        QCOMPARE(participants[0]->is_current_user, 1);
        QCOMPARE(participants[0]->participant_uri, "sip:u-alice@voice.example");
        QCOMPARE(participants[1]->participant_uri, kEcho);
        QCOMPARE(participants[1]->is_current_user, 0);
        auto updates = m_sdk.events<ox_evt_participant_updated_t>(OX_EVT_PARTICIPANT_UPDATED);
        QCOMPARE(updates[0]->active_media & 1, 1);
        QCOMPARE(updates[0]->participant_type, 2); // the first joiner owns the channel
        QCOMPARE(oxc_session_handle("sip:u-alice@voice.example", kRoom), b(session).constData());

        QCOMPARE(m_sdk.send(session, "12:00:hello"), QStringList({"R72", "E10"}));
        auto *sent = m_sdk.response<ox_resp_session_send_message_t>(OX_RESP_SESSION_SEND_MESSAGE);
        QCOMPARE(sent->base.status_code, 200);
        QCOMPARE(sent->base.request->cookie, "2001");
        auto *echo = m_sdk.events<ox_evt_message_t>(OX_EVT_MESSAGE)[0];
        QCOMPARE(echo->sender_uri, kEcho);
        QCOMPARE(echo->message_body, "12:00:hello");

        ox_req_session_terminate_t *leave = nullptr;
        ox_req_session_terminate_create(&leave);
        leave->session_handle = ox_strdup(b(session));
        QCOMPARE(m_sdk.run(leave), QStringList({"E27", "E20", "E21", "E25", "R21"}));
        QCOMPARE(m_sdk.events<ox_evt_participant_removed_t>(OX_EVT_PARTICIPANT_REMOVED)[0]->is_current_user, 1);

        ox_req_account_logout_t *logout = nullptr;
        ox_req_account_logout_create(&logout);
        logout->account_handle = ox_strdup(b(account));
        QCOMPARE(m_sdk.run(logout), QStringList({"E23", "E2", "R4"}));
        QCOMPARE(m_sdk.events<ox_evt_account_login_state_change_t>(OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE)[0]->state, 0);
        QCOMPARE(oxc_account_handle("sip:u-alice@voice.example"), static_cast<const char *>(nullptr));
    }

    void loginFailures()
    {
        QString connector = m_sdk.connector();
        QVERIFY(m_sdk.login(connector, "").isEmpty());
        QCOMPARE(m_sdk.tags(), QStringList({"R132!20200"}));
        QVERIFY(m_sdk.login(connector, "rejectme").isEmpty());
        QVERIFY(m_sdk.login("connector-77", "alice").isEmpty());
        QCOMPARE(m_sdk.tags(), QStringList({"R132!1001"}));
        oxc_reject_token("carol", 10077, nullptr);
        QVERIFY(m_sdk.login(connector, "carol").isEmpty());
        QCOMPARE(m_sdk.tags(), QStringList({"R132!10077"}));
        oxc_map_token("tok-1", "sip:u-dave@voice.example", "Dave");
        QCOMPARE(m_sdk.login(connector, "tok-1"), QStringLiteral("account-1"));
        QVERIFY(m_sdk.login(connector, "sip:U-Dave@voice.example").isEmpty());
        QCOMPARE(m_sdk.tags(), QStringList({"R132!1074"}));
    }

    void joinRefusals_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("audio");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("missing") << "missing" << 1 << "" << QStringList({"E24", "R8", "E20", "E25"}) << 404
                                 << "Not Found";
        QTest::newRow("banned") << "banned" << 1 << "" << QStringList({"E24", "R8", "E20", "E25"}) << 403
                                << "Forbidden (494)";
        QTest::newRow("acl") << "acl" << 0 << "" << QStringList({"E24", "R8", "E21", "E25"}) << 403
                             << "Forbidden (494)";
        QTest::newRow("password") << "password" << 1 << "wrong" << QStringList({"E24", "R8", "E20", "E25"}) << 401
                                  << "Password required";
        QTest::newRow("right password") << "password" << 0 << "secret"
                                        << QStringList({"E24", "R8", "E21", "E26", "E28"}) << 0 << "";
        QTest::newRow("full") << "full" << 1 << "" << QStringList({"E24", "R8", "E20", "E25"}) << 403
                              << "Channel full (494)";
    }

    void joinRefusals()
    {
        QFETCH(QString, setup);
        QFETCH(int, audio);
        QFETCH(QString, password);
        QFETCH(QStringList, expected);
        QFETCH(int, status);
        QFETCH(QString, text);
        QString group = m_sdk.group(m_sdk.login(m_sdk.connector(), "alice"));
        const char *alice = "sip:u-alice@voice.example";
        if (setup == "missing")
            oxc_channel_configure(kRoom, "", nullptr, 0, 0, 0);
        if (setup == "acl")
            oxc_channel_configure(kRoom, "", nullptr, 1, 1, 0);
        if (setup == "password")
            oxc_channel_configure(kRoom, "", "secret", 0, 1, 0);
        if (setup == "full") {
            oxc_channel_configure(kRoom, "", nullptr, 0, 1, 1);
            oxc_channel_join(kRoom, "sip:u-zed@voice.example", "Zed", 1);
        }
        if (setup == "banned") {
            ox_req_channel_ban_user_t *ban = nullptr;
            ox_req_channel_ban_user_create(&ban);
            ban->account_handle = ox_strdup("account-1");
            ban->channel_uri = ox_strdup(kRoom);
            ban->participant_uri = ox_strdup(alice);
            ban->ban = 1;
            QCOMPARE(m_sdk.run(ban), QStringList({"R57"}));
        }
        QCOMPARE(m_sdk.join(group, kRoom, audio, 1, password.toLatin1().constData()), expected);
        if (status) {
            auto *stream = reinterpret_cast<ox_evt_media_stream_updated_t *>(m_sdk.messages[2]);
            QCOMPARE(stream->state, 1);
            QCOMPARE(stream->status_code, status);
            QCOMPARE(QString::fromLatin1(stream->status_string), text);
            QVERIFY(!oxc_session_handle(alice, kRoom));
        } else {
            QVERIFY(oxc_session_handle(alice, kRoom));
        }
    }

    void addingTheSameUriTwiceFails()
    {
        QString group = m_sdk.group(m_sdk.login(m_sdk.connector(), "alice"));
        m_sdk.join(group, kRoom, 0);
        QCOMPARE(m_sdk.join(group, "SIP:confctl-ROOM@voice.example", 0), QStringList({"R8!1004"}));
        QCOMPARE(m_sdk.response<ox_resp_base_t>(OX_RESP_SESSIONGROUP_ADD_SESSION)->status_string,
                 "Object already exists.");
        // Failed responses carry "" rather than NULL in their own texts.
        QCOMPARE(m_sdk.response<ox_resp_sessiongroup_add_session_t>(OX_RESP_SESSIONGROUP_ADD_SESSION)->session_handle,
                 "");
    }

    // Two accounts in one process see each other as a server would show them.
    void twoAccountsBuddiesPresenceAndChat()
    {
        QString connector = m_sdk.connector();
        QString alice = m_sdk.login(connector, "alice");
        QString bob = m_sdk.login(connector, "bob");

        ox_req_account_buddy_set_t *add = nullptr;
        ox_req_account_buddy_set_create(&add);
        add->account_handle = ox_strdup(b(bob));
        add->buddy_uri = ox_strdup("sip:u-alice@voice.example");
        QCOMPARE(m_sdk.run(add), QStringList({"R67", "E15", "E7"}));
        QCOMPARE(m_sdk.events<ox_evt_buddy_presence_t>(OX_EVT_BUDDY_PRESENCE)[0]->presence, 2);

        ox_req_account_set_presence_t *away = nullptr;
        ox_req_account_set_presence_create(&away);
        away->account_handle = ox_strdup(b(alice));
        away->presence = 5;
        away->custom_message = ox_strdup("lunch");
        QCOMPARE(m_sdk.run(away), QStringList({"R5", "E7"}));
        auto *presence = m_sdk.events<ox_evt_buddy_presence_t>(OX_EVT_BUDDY_PRESENCE)[0];
        QCOMPARE(presence->account_handle, b(bob).constData());
        QCOMPARE(presence->presence, 5);
        QCOMPARE(presence->custom_message, "<properties><notes />lunch</properties>");

        QString group = m_sdk.group(alice);
        QCOMPARE(m_sdk.join(group, "sip:u-bob@voice.example", 0),
                 QStringList({"E24", "R8", "E21", "E26", "E26", "E28", "E28", "E22", "E24", "E21", "E26", "E26"}));
        QString session = m_sdk.joinedSession();
        auto incoming = m_sdk.events<ox_evt_session_added_t>(OX_EVT_SESSION_ADDED)[1];
        QCOMPARE(incoming->is_incoming, 1);
        QCOMPARE(incoming->uri, "sip:u-alice@voice.example");
        QString bobSession = QString::fromLatin1(incoming->session_handle);

        QCOMPARE(m_sdk.send(session, "hi bob"), QStringList({"R72", "E10"}));
        auto *message = m_sdk.events<ox_evt_message_t>(OX_EVT_MESSAGE)[0];
        QCOMPARE(message->session_handle, b(bobSession).constData());
        QCOMPARE(message->sender_uri, "sip:u-alice@voice.example");

        ox_req_account_send_user_app_data_t *data = nullptr;
        ox_req_account_send_user_app_data_create(&data);
        data->account_handle = ox_strdup(b(bob));
        data->to_uri = ox_strdup("sip:u-alice@voice.example");
        data->content_type = ox_strdup("text/plain");
        data->content = ox_strdup("ping");
        QCOMPARE(m_sdk.run(data), QStringList({"R128", "E36"}));
        data = nullptr;
        ox_req_account_send_user_app_data_create(&data);
        data->account_handle = ox_strdup(b(bob));
        data->to_uri = ox_strdup("sip:u-nobody@voice.example");
        QCOMPARE(m_sdk.run(data), QStringList({"R128!480"}));

        // Losing the network ends both logins, in login order, and blocks new ones.
        m_sdk.clear();
        oxc_set_network(0);
        m_sdk.drain();
        // Alice's P2P session ends (Bob sees her leave his), her group and her
        // login; then the same for Bob.
        QCOMPARE(m_sdk.tags(),
                 QStringList({"E27", "E21", "E25", "E27", "E23", "E2", "E27", "E21", "E25", "E23", "E2"}));
        auto states = m_sdk.events<ox_evt_account_login_state_change_t>(OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE);
        QCOMPARE(states[0]->account_handle, b(alice).constData());
        QCOMPARE(states[0]->status_code, 10007);
        QCOMPARE(states[1]->account_handle, b(bob).constData());
        QVERIFY(m_sdk.login(connector, "alice").isEmpty());
        QCOMPARE(m_sdk.tags(), QStringList({"R132!10007"}));
        oxc_set_network(1);
        QCOMPARE(m_sdk.login(connector, "alice"), QStringLiteral("account-3"));
    }

    void channelAdministration()
    {
        QString account = m_sdk.login(m_sdk.connector(), "alice");
        QByteArray a = b(account);
        oxc_channel_set_owner(kRoom, "sip:u-owner@voice.example");
        auto modify = [&](auto create, auto fill) {
            decltype(fill(nullptr)) dummy{};
            (void)dummy;
        };
        (void)modify;
        ox_req_account_channel_add_moderator_t *mod = nullptr;
        ox_req_account_channel_add_moderator_create(&mod);
        mod->account_handle = ox_strdup(a);
        mod->channel_uri = ox_strdup(kRoom);
        mod->moderator_uri = ox_strdup("sip:u-Mod@voice.example");
        QCOMPARE(m_sdk.run(mod), QStringList({"R50"}));
        ox_req_account_channel_get_moderators_t *mods = nullptr;
        ox_req_account_channel_get_moderators_create(&mods);
        mods->account_handle = ox_strdup(a);
        mods->channel_uri = ox_strdup(kRoom);
        m_sdk.run(mods);
        auto *list = m_sdk.response<ox_resp_account_channel_get_moderators_t>(OX_RESP_ACCOUNT_CHANNEL_GET_MODERATORS);
        QCOMPARE(list->participant_count, 2);
        QCOMPARE(list->participants[0]->uri, "sip:u-owner@voice.example");
        QCOMPARE(list->participants[0]->is_owner, 1);
        QCOMPARE(list->participants[1]->uri, "sip:u-mod@voice.example");
        QCOMPARE(list->participants[1]->is_owner, 0);
        QCOMPARE(list->participants[1]->is_moderator, 1);

        for (int i = 1; i <= 3; ++i)
            oxc_channel_join(kRoom, QByteArray("sip:u-p") + QByteArray::number(i) + "@voice.example", nullptr, 0);
        ox_req_account_channel_get_participants_t *page = nullptr;
        ox_req_account_channel_get_participants_create(&page);
        page->account_handle = ox_strdup(a);
        page->channel_uri = ox_strdup(kRoom);
        page->page = 2;
        page->page_size = 2;
        m_sdk.run(page);
        auto *participants =
            m_sdk.response<ox_resp_account_channel_get_participants_t>(OX_RESP_ACCOUNT_CHANNEL_GET_PARTICIPANTS);
        QCOMPARE(participants->total_participant_count, 3);
        QCOMPARE(participants->participant_count, 1);
        QCOMPARE(participants->participants[0]->uri, "sip:u-p3@voice.example");

        // Alice joins, then a simulated participant is kicked: she sees it leave.
        QString group = m_sdk.group(account);
        m_sdk.join(group, kRoom, 0);
        ox_req_channel_kick_user_t *kick = nullptr;
        ox_req_channel_kick_user_create(&kick);
        kick->account_handle = ox_strdup(a);
        kick->channel_uri = ox_strdup(kRoom);
        kick->participant_uri = ox_strdup("sip:u-p1@voice.example");
        QCOMPARE(m_sdk.run(kick), QStringList({"E27", "R56"}));
        QCOMPARE(m_sdk.events<ox_evt_participant_removed_t>(OX_EVT_PARTICIPANT_REMOVED)[0]->reason, 2);

        ox_req_channel_get_banned_users_t *bans = nullptr;
        ox_req_channel_get_banned_users_create(&bans);
        bans->account_handle = ox_strdup("account-404");
        bans->channel_uri = ox_strdup(kRoom);
        QCOMPARE(m_sdk.run(bans), QStringList({"R58!1008"}));
    }

    // Both accounts in one channel: each sees the other arrive, chat reaches
    // the other but not the sender, and a kick ends the kicked one's session.
    void twoAccountsInAChannel()
    {
        QString connector = m_sdk.connector();
        QString alice = m_sdk.login(connector, "alice");
        QString bob = m_sdk.login(connector, "bob");
        QString aliceGroup = m_sdk.group(alice);
        QString bobGroup = m_sdk.group(bob);
        m_sdk.join(aliceGroup, kRoom, 0);
        QString aliceSession = m_sdk.joinedSession();
        QCOMPARE(m_sdk.join(bobGroup, kRoom, 0),
                 QStringList({"E24", "R8", "E21", "E26", "E26", "E28", "E28", "E26", "E28"}));
        QString bobSession = m_sdk.joinedSession();
        auto arrivals = m_sdk.events<ox_evt_participant_added_t>(OX_EVT_PARTICIPANT_ADDED);
        QCOMPARE(arrivals[1]->participant_uri, "sip:u-alice@voice.example");
        QCOMPARE(arrivals[2]->session_handle, b(aliceSession).constData());
        QCOMPARE(arrivals[2]->participant_uri, "sip:u-bob@voice.example");

        QCOMPARE(m_sdk.send(bobSession, "hello"), QStringList({"R72", "E10"}));
        QCOMPARE(m_sdk.events<ox_evt_message_t>(OX_EVT_MESSAGE)[0]->session_handle, b(aliceSession).constData());

        ox_req_channel_kick_user_t *kick = nullptr;
        ox_req_channel_kick_user_create(&kick);
        kick->account_handle = ox_strdup(b(alice));
        kick->channel_uri = ox_strdup(kRoom);
        kick->participant_uri = ox_strdup("sip:u-bob@voice.example");
        QCOMPARE(m_sdk.run(kick), QStringList({"E27", "E21", "E25", "E27", "R56"}));
        auto removed = m_sdk.events<ox_evt_participant_removed_t>(OX_EVT_PARTICIPANT_REMOVED);
        QCOMPARE(removed[0]->is_current_user, 1);
        QCOMPARE(removed[0]->reason, 2);
        QCOMPARE(removed[1]->session_handle, b(aliceSession).constData());
        QCOMPARE(removed[1]->is_current_user, 0);
        QCOMPARE(m_sdk.events<ox_evt_text_stream_updated_t>(OX_EVT_TEXT_STREAM_UPDATED)[0]->status_string, "Kicked");
        QVERIFY(!oxc_session_handle("sip:u-bob@voice.example", kRoom));
    }

    void devicesLevelsAndMeters()
    {
        ox_req_aux_get_capture_devices_t *get = nullptr;
        ox_req_aux_get_capture_devices_create(&get);
        m_sdk.run(get);
        auto *list = m_sdk.response<ox_resp_aux_get_capture_devices_t>(OX_RESP_AUX_GET_CAPTURE_DEVICES);
        QCOMPARE(list->device_count, 3);
        QCOMPARE(list->devices[0]->device_id, "Default System Device");
        QCOMPARE(list->current_device->device_id, "Default System Device");
        QCOMPARE(list->effective_device->device_id, "standin-capture-1");
        QCOMPARE(list->default_device->device_id, "standin-capture-1");

        ox_req_aux_set_capture_device_t *set = nullptr;
        ox_req_aux_set_capture_device_create(&set);
        set->device_id = ox_strdup("nope");
        QCOMPARE(m_sdk.run(set), QStringList({"R90!1001"}));
        set = nullptr;
        ox_req_aux_set_capture_device_create(&set);
        set->device_id = ox_strdup("standin-capture-2");
        QCOMPARE(m_sdk.run(set), QStringList({"R90"}));
        get = nullptr;
        ox_req_aux_get_capture_devices_create(&get);
        m_sdk.run(get);
        list = m_sdk.response<ox_resp_aux_get_capture_devices_t>(OX_RESP_AUX_GET_CAPTURE_DEVICES);
        QCOMPARE(list->effective_device->device_id, "standin-capture-2");

        ox_req_aux_get_speaker_level_t *level = nullptr;
        ox_req_aux_get_speaker_level_create(&level);
        m_sdk.run(level);
        QCOMPARE(m_sdk.response<ox_resp_aux_get_speaker_level_t>(OX_RESP_AUX_GET_SPEAKER_LEVEL)->level, 50);
        ox_req_aux_get_vad_properties_t *vad = nullptr;
        ox_req_aux_get_vad_properties_create(&vad);
        m_sdk.run(vad);
        auto *props = m_sdk.response<ox_resp_aux_get_vad_properties_t>(OX_RESP_AUX_GET_VAD_PROPERTIES);
        QCOMPARE(props->hangover_ms, 2000);
        QCOMPARE(props->sensitivity, 43);
        QCOMPARE(props->noise_floor, 576);

        ox_req_aux_capture_audio_start_t *start = nullptr;
        ox_req_aux_capture_audio_start_create(&start);
        start->loop_to_render = 1;
        QCOMPARE(m_sdk.run(start), QStringList({"R97"}));
        m_sdk.clear();
        for (int i = 0; i < 4; ++i)
            oxc_meter_tick();
        m_sdk.drain();
        auto meters = m_sdk.events<ox_evt_aux_audio_properties_t>(OX_EVT_AUX_AUDIO_PROPERTIES);
        QCOMPARE(int(meters.size()), 4);
        QCOMPARE(meters[2]->mic_energy, 0.60);
        QCOMPARE(meters[2]->speaker_energy, 0.60);
        QCOMPARE(meters[2]->mic_is_active, 1);
        QCOMPARE(meters[1]->mic_is_active, 0);
        QCOMPARE(meters[0]->mic_volume, 50);
        ox_req_aux_capture_audio_stop_t *stop = nullptr;
        ox_req_aux_capture_audio_stop_create(&stop);
        QCOMPARE(m_sdk.run(stop), QStringList({"R98", "E11"}));
        QCOMPARE(m_sdk.events<ox_evt_aux_audio_properties_t>(OX_EVT_AUX_AUDIO_PROPERTIES)[0]->mic_energy, 0.0);

        // Automatic ticks while a test runs.
        oxc_set_meter_interval(10);
        start = nullptr;
        ox_req_aux_capture_audio_start_create(&start);
        m_sdk.run(start);
        QTRY_VERIFY(oxc_pending_messages() >= 3);
        stop = nullptr;
        ox_req_aux_capture_audio_stop_create(&stop);
        m_sdk.run(stop);
    }

    void statistics()
    {
        QString account = m_sdk.login(m_sdk.connector(), "alice");
        QString group = m_sdk.group(account);
        ox_req_sessiongroup_get_stats_t *stats = nullptr;
        ox_req_sessiongroup_get_stats_create(&stats);
        stats->session_group_handle = ox_strdup(b(group));
        m_sdk.run(stats);
        auto *idle = m_sdk.response<ox_resp_sessiongroup_get_stats_t>(OX_RESP_SESSIONGROUP_GET_STATS);
        QCOMPARE(idle->stats.packets_received, 0);
        QCOMPARE(idle->stats.min_latency, -1.0);
        QCOMPARE(idle->stats.latency_sum, 0.0);

        m_sdk.join(group, kRoom, 1);
        for (int n = 2; n <= 3; ++n) {
            stats = nullptr;
            ox_req_sessiongroup_get_stats_create(&stats);
            stats->session_group_handle = ox_strdup(b(group));
            m_sdk.run(stats);
            auto *st = m_sdk.response<ox_resp_sessiongroup_get_stats_t>(OX_RESP_SESSIONGROUP_GET_STATS);
            QCOMPARE(st->stats.packets_received, 50 * n);
            QCOMPARE(st->stats.latency_count, n);
            QCOMPARE(st->stats.current_bars, 5);
            QCOMPARE(st->stats.codec_name, "standin-pcm16");
            QCOMPARE(QByteArray(st->stats.call_id), "call-" + b(group));
            QVERIFY(st->stats.call_end_time >= st->stats.call_start_time);
            QVERIFY(st->stats.call_start_time > 13.0e9); // seconds since 1601
        }
    }

private:
    SdkHarness m_sdk;
};

TAVRI_TEST_GUILESS_MAIN(OstrelSdkWorldTest)
#include "tst_ostrelsdkworld.moc"
