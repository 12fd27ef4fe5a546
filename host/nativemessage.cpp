#include "nativemessage.h"

namespace host {

QByteArray NativeMessage::eventType()
{
    return QByteArrayLiteral("windows_generic_MSG");
}

} // namespace host
