// In-band texts between users ("rv:", "rva:", "rt:", "ri:", "rp:" and their
// acknowledgements, profile and channel pokes) and the server's app data,
// as the local user receives them while logged in.
//
// Input: a first line naming the sender of a user's text, or "S" and the
// content type of the server's data; the rest is the content. "$D" stands
// for the voice domain anywhere.

#include "sessionfixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Session &session = fuzz::Session::get();
    QByteArray head;
    QByteArray body;
    fuzz::split(fuzz::bytes(data, size), '\n', &head, &body);
    const QString domain = session.domain();
    const QString first = QString::fromUtf8(head).replace(QLatin1String("$D"), domain);
    const QString content = QString::fromUtf8(body).replace(QLatin1String("$D"), domain);

    LocalUser *local = LocalUser::getLocalUser();
    if (first.startsWith(QLatin1Char('S')))
        local->onVoiceNetworkAppDataReceived(session.voice()->accountHandle(), first.mid(1), content);
    else
        local->onUserAppDataReceived(first, content);
    session.reset();
    return 0;
}
