// Voice SDK events with any field values (null texts, handles that are and
// are not known, any numbers and states) through the voice service's event
// dispatch, after a sign-in whose requests the stand-in answers with any
// result code and status. The stand-in starts afresh for every input.
//
// Input: a count (0 to 3) of scripted answers to sign-in requests, each a
// request type, result code, status and status text; then events, each a
// byte choosing its type and then its fields.

#include "fuzzsupport.h"
#include "ostrelsdk_control.h"
#include "voicemanager.h"
#include "voicesettle.h"

#include <QSignalSpy>

#include <cstddef>
#include <cstring>
#include <vector>

namespace {

enum Kind { Text, Int, Double };
struct Field {
    Kind kind;
    size_t offset;
};
struct EventShape {
    ox_event_type type;
    std::vector<Field> fields;
};

#define TEXT(s, f)                                                                                                     \
    Field                                                                                                              \
    {                                                                                                                  \
        Text, offsetof(s, f)                                                                                           \
    }
#define INT(s, f)                                                                                                      \
    Field                                                                                                              \
    {                                                                                                                  \
        Int, offsetof(s, f)                                                                                            \
    }
#define DOUBLE(s, f)                                                                                                   \
    Field                                                                                                              \
    {                                                                                                                  \
        Double, offsetof(s, f)                                                                                         \
    }

const std::vector<EventShape> &shapes()
{
    static const std::vector<EventShape> all = {
        {OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE,
         {TEXT(ox_evt_account_login_state_change_t, account_handle), INT(ox_evt_account_login_state_change_t, state),
          INT(ox_evt_account_login_state_change_t, status_code),
          TEXT(ox_evt_account_login_state_change_t, status_string)}},
        {OX_EVT_BUDDY_PRESENCE,
         {TEXT(ox_evt_buddy_presence_t, account_handle), TEXT(ox_evt_buddy_presence_t, buddy_uri),
          INT(ox_evt_buddy_presence_t, presence), TEXT(ox_evt_buddy_presence_t, custom_message)}},
        {OX_EVT_SUBSCRIPTION,
         {TEXT(ox_evt_subscription_t, account_handle), TEXT(ox_evt_subscription_t, buddy_uri),
          TEXT(ox_evt_subscription_t, display_name), TEXT(ox_evt_subscription_t, subscription_handle)}},
        {OX_EVT_SESSION_NOTIFICATION,
         {TEXT(ox_evt_session_notification_t, session_handle), TEXT(ox_evt_session_notification_t, participant_uri),
          INT(ox_evt_session_notification_t, notification_type)}},
        {OX_EVT_MESSAGE,
         {TEXT(ox_evt_message_t, session_handle), TEXT(ox_evt_message_t, sender_uri),
          TEXT(ox_evt_message_t, message_body)}},
        {OX_EVT_AUX_AUDIO_PROPERTIES,
         {INT(ox_evt_aux_audio_properties_t, mic_is_active), INT(ox_evt_aux_audio_properties_t, mic_volume),
          DOUBLE(ox_evt_aux_audio_properties_t, mic_energy), INT(ox_evt_aux_audio_properties_t, speaker_volume),
          INT(ox_evt_aux_audio_properties_t, speaker_is_active), DOUBLE(ox_evt_aux_audio_properties_t, speaker_energy),
          DOUBLE(ox_evt_aux_audio_properties_t, noise_floor), DOUBLE(ox_evt_aux_audio_properties_t, speech_threshold)}},
        {OX_EVT_BUDDY_CHANGED,
         {TEXT(ox_evt_buddy_changed_t, account_handle), TEXT(ox_evt_buddy_changed_t, buddy_uri),
          INT(ox_evt_buddy_changed_t, change)}},
        {OX_EVT_KEYBOARD_MOUSE, {TEXT(ox_evt_keyboard_mouse_t, binding_name), INT(ox_evt_keyboard_mouse_t, is_down)}},
        {OX_EVT_MEDIA_STREAM_UPDATED,
         {TEXT(ox_evt_media_stream_updated_t, session_group_handle),
          TEXT(ox_evt_media_stream_updated_t, session_handle), INT(ox_evt_media_stream_updated_t, status_code),
          TEXT(ox_evt_media_stream_updated_t, status_string), INT(ox_evt_media_stream_updated_t, state),
          INT(ox_evt_media_stream_updated_t, incoming)}},
        {OX_EVT_TEXT_STREAM_UPDATED,
         {TEXT(ox_evt_text_stream_updated_t, session_group_handle), TEXT(ox_evt_text_stream_updated_t, session_handle),
          INT(ox_evt_text_stream_updated_t, status_code), TEXT(ox_evt_text_stream_updated_t, status_string),
          INT(ox_evt_text_stream_updated_t, state), INT(ox_evt_text_stream_updated_t, incoming)}},
        {OX_EVT_SESSIONGROUP_ADDED,
         {TEXT(ox_evt_sessiongroup_added_t, account_handle), TEXT(ox_evt_sessiongroup_added_t, session_group_handle)}},
        {OX_EVT_SESSIONGROUP_REMOVED,
         {TEXT(ox_evt_sessiongroup_removed_t, account_handle),
          TEXT(ox_evt_sessiongroup_removed_t, session_group_handle)}},
        {OX_EVT_SESSION_ADDED,
         {TEXT(ox_evt_session_added_t, session_group_handle), TEXT(ox_evt_session_added_t, session_handle),
          TEXT(ox_evt_session_added_t, uri), INT(ox_evt_session_added_t, is_incoming),
          TEXT(ox_evt_session_added_t, display_name)}},
        {OX_EVT_SESSION_REMOVED,
         {TEXT(ox_evt_session_removed_t, session_group_handle), TEXT(ox_evt_session_removed_t, session_handle),
          TEXT(ox_evt_session_removed_t, uri)}},
        {OX_EVT_PARTICIPANT_ADDED,
         {TEXT(ox_evt_participant_added_t, session_group_handle), TEXT(ox_evt_participant_added_t, session_handle),
          TEXT(ox_evt_participant_added_t, participant_uri), TEXT(ox_evt_participant_added_t, display_name),
          TEXT(ox_evt_participant_added_t, participant_tag), INT(ox_evt_participant_added_t, is_current_user)}},
        {OX_EVT_PARTICIPANT_REMOVED,
         {TEXT(ox_evt_participant_removed_t, session_group_handle), TEXT(ox_evt_participant_removed_t, session_handle),
          TEXT(ox_evt_participant_removed_t, participant_uri), TEXT(ox_evt_participant_removed_t, display_name),
          TEXT(ox_evt_participant_removed_t, participant_tag), INT(ox_evt_participant_removed_t, is_current_user),
          INT(ox_evt_participant_removed_t, reason)}},
        {OX_EVT_PARTICIPANT_UPDATED,
         {TEXT(ox_evt_participant_updated_t, session_handle), TEXT(ox_evt_participant_updated_t, participant_uri),
          INT(ox_evt_participant_updated_t, is_muted_globally), INT(ox_evt_participant_updated_t, is_speaking),
          INT(ox_evt_participant_updated_t, volume_adjustment), DOUBLE(ox_evt_participant_updated_t, energy),
          INT(ox_evt_participant_updated_t, active_media), INT(ox_evt_participant_updated_t, is_muted_locally),
          INT(ox_evt_participant_updated_t, is_text_muted_globally),
          INT(ox_evt_participant_updated_t, participant_type), TEXT(ox_evt_participant_updated_t, participant_tag)}},
        {OX_EVT_SERVER_APP_DATA,
         {TEXT(ox_evt_server_app_data_t, account_handle), TEXT(ox_evt_server_app_data_t, content_type),
          TEXT(ox_evt_server_app_data_t, content)}},
        {OX_EVT_USER_APP_DATA,
         {TEXT(ox_evt_user_app_data_t, account_handle), TEXT(ox_evt_user_app_data_t, from_uri),
          TEXT(ox_evt_user_app_data_t, content_type), TEXT(ox_evt_user_app_data_t, content)}},
        {OX_EVT_NETWORK_MESSAGE,
         {TEXT(ox_evt_network_message_t, account_handle), INT(ox_evt_network_message_t, message_type),
          TEXT(ox_evt_network_message_t, sender_uri), TEXT(ox_evt_network_message_t, content_type),
          TEXT(ox_evt_network_message_t, content)}},
        {OX_EVT_AUDIO_DEVICE_HOT_SWAP, {INT(ox_evt_audio_device_hot_swap_t, device_kind)}},
    };
    return all;
}

// Reads the input front to back; past its end every value is 0.
class Reader
{
public:
    Reader(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool atEnd() const { return m_at >= m_size; }
    uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    template <typename T>
    T value()
    {
        T result{};
        const size_t n = std::min(sizeof(T), m_size - std::min(m_at, m_size));
        std::memcpy(&result, m_data + std::min(m_at, m_size), n);
        m_at += sizeof(T);
        return result;
    }
    // A text of up to 255 bytes (its length first).
    QByteArray text()
    {
        const size_t length = std::min<size_t>(byte(), m_size - std::min(m_at, m_size));
        const QByteArray result(reinterpret_cast<const char *>(m_data + m_at), int(length));
        m_at += length;
        return result;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

// A text field: null, one of the handles and addresses the voice service
// knows, or the input's own text.
char *textValue(Reader &in, const QList<QByteArray> &known)
{
    const uint8_t choice = in.byte();
    if (choice == 0)
        return nullptr;
    if (choice <= known.size())
        return ox_strdup(known.at(choice - 1).constData());
    return ox_strdup(in.text().constData());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::application();
    Reader in(data, size);
    oxc_reset();
    oxc_set_meter_interval(0);
    {
        VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
        // Requests of the sign-in may be answered with any result code,
        // status and status text (null included).
        for (uint8_t scripted = in.byte() % 4, i = 0; i < scripted; ++i) {
            const int type = in.byte();
            const int result = in.byte() % 3;
            const int status = in.value<int>();
            const QByteArray text = in.text();
            oxc_script(type, result, status, text.isEmpty() ? nullptr : text.constData(), 1);
        }
        QSignalSpy ready(&voice, &VoiceManager::readyToJoinChannels);
        voice.createConnector();
        fuzz::settleVoice();
        voice.requestLogin(QStringLiteral("fuzz"), QString());
        fuzz::settleVoice();
        const QByteArray account = voice.accountHandle().toUtf8();
        const QByteArray group = voice.channelSessionGroupHandle().toUtf8();
        const QByteArray domain = QByteArray(oxc_domain());
        const QList<QByteArray> known = {account,
                                         group,
                                         "sip:u-fuzz@" + domain,
                                         "sip:u-peer@" + domain,
                                         "sip:confctl-7@" + domain,
                                         "session-1",
                                         "pushtotalk",
                                         "x-ostrel-notification",
                                         ""};

        for (int events = 0; !in.atEnd() && events < 32; ++events) {
            const EventShape &shape = shapes().at(in.byte() % shapes().size());
            auto *event = reinterpret_cast<char *>(oxc_alloc_event(shape.type));
            for (const Field &field : shape.fields) {
                switch (field.kind) {
                case Text:
                    *reinterpret_cast<char **>(event + field.offset) = textValue(in, known);
                    break;
                case Int:
                    *reinterpret_cast<int *>(event + field.offset) = in.value<int>();
                    break;
                case Double:
                    *reinterpret_cast<double *>(event + field.offset) = in.value<double>();
                    break;
                }
            }
            oxc_inject(reinterpret_cast<ox_message_base_t *>(event));
        }
        fuzz::settleVoice();
    }
    fuzz::settleVoice();
    return 0;
}
