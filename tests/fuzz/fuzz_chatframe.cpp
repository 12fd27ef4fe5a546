// The frame of incoming chat texts (send time and time-zone offset before
// the text): any text, numbers out of range, missing colons.

#include "fuzzsupport.h"
#include "tavriidentityrealm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::application();
    const QString input = fuzz::text(data, size);
    const QString body = TavriIdentityRealm::parseChatTimestampPrefix(input);
    if (body.size() > input.size())
        std::abort();
    // What this client frames reads back as the text it framed.
    if (TavriIdentityRealm::parseChatTimestampPrefix(TavriIdentityRealm::buildChatTimestampPrefix(input)) != input)
        std::abort();
    return 0;
}
