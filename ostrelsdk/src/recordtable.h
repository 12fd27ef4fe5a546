#pragma once

#include "ostrelsdk.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ostrelsdk {

// What one pointer member of a record owns, so that records of every type can
// be freed and copied by one generic routine.
enum class FieldKind { Text, Participants, Buddies, Favorites, Devices, Device, Channel };

struct Field {
    FieldKind kind;
    size_t offset;
    size_t countOffset; // for arrays: the int holding the element count
};

struct RequestInfo {
    int type;
    const char *name;      // "req_session_send_message"
    const char *className; // "SessionSendMessage", for log lines
    size_t requestSize;
    size_t responseSize;
    std::vector<Field> requestFields;
    std::vector<Field> responseFields;
};

struct EventInfo {
    int type;
    const char *className; // "SessionAdded"
    size_t size;
    std::vector<Field> fields;
};

// Layout knowledge of every record: sizes, owned members, names. Also the
// allocation, deep copy and freeing of records, all with malloc/free so that
// texts made with ox_strdup can be placed into them and freed here.
class RecordTable
{
public:
    static const RequestInfo *request(int type);
    static const EventInfo *event(int type);
    static const std::vector<RequestInfo> &requests();

    static char *dup(const std::string &text);
    static char *dup(const char *text);
    // Replaces a text owned by a record.
    static void setText(char *&slot, const std::string &text);

    static ox_req_base_t *allocRequest(int type);
    // Always a response record: of the type's layout, or the base alone.
    static ox_resp_base_t *allocResponse(int type, ox_req_base_t *request);
    // Responses and events allocated and not yet freed.
    static int liveMessages();
    static ox_evt_base_t *allocEvent(int type);

    // Sets every text field of a response that is still NULL to "" (the
    // library's own messages never carry NULL texts).
    static void fillEmptyTexts(ox_resp_base_t *response);

    static ox_req_base_t *copyRequest(const ox_req_base_t *request);
    static void freeRequest(ox_req_base_t *request);
    static void freeResponse(ox_resp_base_t *response);
    static void freeEvent(ox_evt_base_t *event);
    static void freeMessage(ox_message_base_t *message);

    static ox_participant_record_t *participant(const std::string &uri, const std::string &name, int moderator,
                                                int owner);
    static ox_buddy_record_t *buddy(const std::string &uri, const std::string &name, const std::string &data, int id);
    static ox_device_t *device(const std::string &id, const std::string &name, int type);
    static void freeFields(void *record, const std::vector<Field> &fields);
};

} // namespace ostrelsdk
