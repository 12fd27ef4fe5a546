// Request payloads of the realm's input pipe taken apart into records: any
// bytes, lengths that lie, strings without terminators and every type.

#include "fuzzsupport.h"
#include "tavrisharedidentityrealmrequest.h"

using Request = TavriSharedIdentityRealmRequest;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::application();
    // The pipe reads at most this much of one frame.
    const QByteArray payload = fuzz::bytes(data, qMin<size_t>(size, Request::kMaxPayload));
    const std::unique_ptr<Request> request = Request::parse(payload);
    if (payload.size() < 4) {
        if (request)
            std::abort();
        return 0;
    }
    if (!request)
        std::abort();
    Request::isKnownType(request->type);
    Request::isAnswered(request->type);
    for (int i = 0; i < Request::kMaxStrings; ++i) {
        if (request->strings[i].size() > payload.size())
            std::abort();
        request->text(i);
    }
    return 0;
}
