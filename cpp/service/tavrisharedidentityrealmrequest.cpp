#include "tavrisharedidentityrealmrequest.h"

#include <QtEndian>

#include <cstring>

namespace {

// Field kinds after the type, in payload order: 'i' a 4-byte integer, 'b' a
// 1-byte flag, 's' a string.
const char *layoutOf(qint32 type)
{
    switch (type) {
    case TavriSharedIdentityRealmRequest::LoginRequest:
    case TavriSharedIdentityRealmRequest::SetDeviceRequest:
    case TavriSharedIdentityRealmRequest::InviteRequest:
    case TavriSharedIdentityRealmRequest::RealmMessageRequest:
        return "ss";
    case TavriSharedIdentityRealmRequest::JoinRequest:
        return "sss";
    case TavriSharedIdentityRealmRequest::LeaveRequest:
    case TavriSharedIdentityRealmRequest::TextCommandRequest:
    case TavriSharedIdentityRealmRequest::SendMessageRequest:
    case TavriSharedIdentityRealmRequest::SetTransmitRequest:
    case TavriSharedIdentityRealmRequest::ParticipantListRequest:
        return "s";
    case TavriSharedIdentityRealmRequest::MuteRequest:
        return "bs";
    case TavriSharedIdentityRealmRequest::ChangeContactRequest:
    case TavriSharedIdentityRealmRequest::SetTalkModeRequest:
    case TavriSharedIdentityRealmRequest::SetPresenceRequest:
        return "is";
    default:
        // No fields, or an invitation answer, whose fields are not read.
        return "";
    }
}

} // namespace

std::unique_ptr<TavriSharedIdentityRealmRequest> TavriSharedIdentityRealmRequest::parse(const QByteArray &payload)
{
    const int size = payload.size();
    if (size < 4)
        return nullptr;
    const char *bytes = payload.constData();
    auto record = std::make_unique<TavriSharedIdentityRealmRequest>();
    record->type = qFromLittleEndian<qint32>(bytes);

    int offset = 4;
    int nextString = 0;
    for (const char *kind = layoutOf(record->type); *kind; ++kind) {
        switch (*kind) {
        case 'i':
            if (offset + 4 <= size)
                record->number = qFromLittleEndian<qint32>(bytes + offset);
            offset += 4;
            break;
        case 'b':
            if (offset < size)
                record->flag = bytes[offset] != 0;
            offset += 1;
            break;
        case 's': {
            QByteArray &text = record->strings[nextString++];
            if (offset >= size)
                break;
            const void *end = std::memchr(bytes + offset, 0, size_t(size - offset));
            const int length = end ? int(static_cast<const char *>(end) - (bytes + offset)) : size - offset;
            text = QByteArray(bytes + offset, length);
            offset += length + 1;
            break;
        }
        }
    }
    return record;
}

bool TavriSharedIdentityRealmRequest::isKnownType(qint32 type)
{
    return type >= LoginRequest && type <= RealmMessageRequest;
}

bool TavriSharedIdentityRealmRequest::isAnswered(qint32 type)
{
    switch (type) {
    case MuteRequest:
    case InviteRequest:
    case InviteAnswerRequest:
    case SetPresenceRequest:
    case RealmMessageRequest:
        return false;
    default:
        return isKnownType(type);
    }
}
