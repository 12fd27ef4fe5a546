#pragma once

#include "tavrisharedidentityrealmrequest.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// TavriSharedIdentityRealmOutput: one response or event for the external
// application, as it goes out on the realm's output pipe.
//
// A frame is a little-endian 32-bit body length (the body only) and the body:
// message type (1 response, 2 event), a reserved 0, the response or event
// type, then for a response its status, status text and the type of the
// request it answers, and then the type's own fields. Integers are
// little-endian; a string is its UTF-8 bytes and one 0x00; a wide string its
// UTF-16LE code units and two 0x00 bytes; a list is its elements one after
// the other. The record is built field by field in the order the wire needs;
// the response owns the request record it answers, which is released with
// the output record once written.
class TavriSharedIdentityRealmOutput
{
public:
    enum MessageType { Response = 1, Event = 2 };
    enum ResponseType {
        LoginResponse = 1,
        JoinResponse = 2,
        LeaveResponse = 3,
        TextCommandResponse = 4,
        ChangeContactResponse = 6,
        ConversationListResponse = 7,
        ParticipantListResponse = 8,
        ContactListResponse = 9,
        DeviceListResponse = 10,
        SetDeviceResponse = 11,
        InviteListResponse = 13
    };
    enum EventType {
        ConversationEndedEvent = 1,
        ParticipantAddedEvent = 2,
        ParticipantRemovedEvent = 3,
        TextMessageEvent = 4,
        TransmitChannelChangedEvent = 5,
        ParticipantUpdatedEvent = 6,
        ContactListEvent = 7,
        BlockListEvent = 8,
        InviteReceivedEvent = 10,
        ContactPresenceEvent = 11
    };
    enum Status { StatusOk = 200, StatusFailed = 400, StatusRefused = 403, StatusUnknownCommand = 405 };

    // int16 counts hold this many list elements at most; longer lists are
    // cut so that every count agrees with its elements.
    static constexpr int kMaxInt16Count = 32767;

    // A response answering request, which may be null (no request pending):
    // the request type then reads 0 and the request's fields 0 or empty.
    static TavriSharedIdentityRealmOutput response(int type, int status, const QString &statusText,
                                                   TavriSharedIdentityRealmRequestPtr request);
    static TavriSharedIdentityRealmOutput event(int type);

    TavriSharedIdentityRealmOutput &int32(qint32 value);
    TavriSharedIdentityRealmOutput &int16(qint16 value);
    TavriSharedIdentityRealmOutput &byte(bool value);
    // Text ends at its first NUL character, as the receiver reads it.
    TavriSharedIdentityRealmOutput &string(const QString &text);
    TavriSharedIdentityRealmOutput &string(const QByteArray &utf8);
    TavriSharedIdentityRealmOutput &wideString(const QString &text);
    // The elements only; the caller writes the count where the type wants it.
    TavriSharedIdentityRealmOutput &strings(const QStringList &list);
    // A device block: its size, its kind (0 capture, 1 render), id and name.
    TavriSharedIdentityRealmOutput &deviceBlock(int kind, const QString &id, const QString &name);

    // The answered request's string field, empty without a request.
    QByteArray requestString(int index) const { return m_request ? m_request->strings[index] : QByteArray(); }
    qint32 requestNumber() const { return m_request ? m_request->number : 0; }
    const TavriSharedIdentityRealmRequest *request() const { return m_request.get(); }

    int messageType() const { return m_messageType; }
    int type() const { return m_type; }
    // The body, and the body with its length in front.
    QByteArray body() const { return m_body; }
    QByteArray frame() const;

private:
    TavriSharedIdentityRealmOutput(int messageType, int type);

    int m_messageType;
    int m_type;
    QByteArray m_body;
    TavriSharedIdentityRealmRequestPtr m_request;
};
