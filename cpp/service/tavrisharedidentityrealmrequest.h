#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>

// TavriSharedIdentityRealmRequest: one request of an external application,
// as it arrived on the realm's input pipe.
//
// A request payload is a little-endian 32-bit request type followed by the
// type's fields: 4-byte integers, 1-byte flags and UTF-8 strings ended by one
// 0x00 byte (a string without a terminator takes the rest of the payload).
// parse() takes a payload apart into one record; the realm queues the record
// until the response that answers it is written, and whoever holds the
// unique_ptr last releases it. The record keeps the request's fields in
// payload order: number holds the 4-byte field, flag the 1-byte field,
// strings[0..2] the strings.
class TavriSharedIdentityRealmRequest
{
public:
    enum Type {
        LoginRequest = 1,
        JoinRequest = 2,
        LeaveRequest = 3,
        TextCommandRequest = 4,
        SendMessageRequest = 5,
        MuteRequest = 6,
        SetTransmitRequest = 7,
        ChangeContactRequest = 8,
        ConversationListRequest = 9,
        ParticipantListRequest = 10,
        ContactListRequest = 11,
        DeviceListRequest = 12,
        SetDeviceRequest = 13,
        SetTalkModeRequest = 14,
        InviteRequest = 15,
        InviteListRequest = 16,
        InviteAnswerRequest = 17,
        SetPresenceRequest = 18,
        RealmMessageRequest = 19
    };

    // The payload bytes read of one frame at most; the rest is dropped.
    static constexpr int kMaxPayload = 5000;
    static constexpr int kMaxStrings = 3;

    // Takes a payload apart. Null when it holds fewer than 4 bytes (no
    // type); otherwise a record with the type and, for a known type, its
    // fields. Fields past the end of the payload read as 0 or empty; no
    // string runs past its end. Invalid UTF-8 is kept as bytes and decoded
    // with replacement characters by text().
    static std::unique_ptr<TavriSharedIdentityRealmRequest> parse(const QByteArray &payload);
    // Types 1 to 19.
    static bool isKnownType(qint32 type);
    // Whether a request of the type waits in the realm for its response;
    // the others (mute, invite, invite answer, presence, realm message) are
    // done once dispatched.
    static bool isAnswered(qint32 type);

    QString text(int index) const { return QString::fromUtf8(strings[index]); }

    qint32 type = 0;
    qint32 number = 0;
    bool flag = false;
    QByteArray strings[kMaxStrings];
};

using TavriSharedIdentityRealmRequestPtr = std::unique_ptr<TavriSharedIdentityRealmRequest>;
