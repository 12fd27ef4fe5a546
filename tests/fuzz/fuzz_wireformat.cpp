// The shared voice world's wire format as the voice SDK stand-in reads it:
// a byte stream split into frames (in chunks of any size) and each frame's
// JSON parsed into a flat object, which must frame and parse back the same.

#include "wireformat.h"

#include <cstdlib>
#include <string>

using ostrelsdk::FrameReader;
using ostrelsdk::WireObject;

namespace {

void checkObject(const std::string &json)
{
    WireObject object;
    std::string reason;
    if (!WireObject::fromJson(json, &object, &reason)) {
        if (reason.empty())
            std::abort();
        return;
    }
    // What was read is written back and reads the same.
    WireObject again;
    if (!WireObject::fromJson(object.toJson(), &again, &reason))
        std::abort();
    if (again.texts != object.texts || again.numbers != object.numbers)
        std::abort();
    FrameReader reader;
    const std::string framed = object.frame();
    reader.feed(framed.data(), framed.size());
    std::string payload;
    if (reader.next(&payload) != FrameReader::Frame || payload != object.toJson())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The whole input as one JSON text.
    checkObject(std::string(reinterpret_cast<const char *>(data), size));

    // The input as a stream: the first byte picks the chunk size.
    if (size == 0)
        return 0;
    const size_t chunk = size_t(data[0] % 31) + 1;
    FrameReader reader;
    for (size_t at = 1; at < size; at += chunk) {
        reader.feed(reinterpret_cast<const char *>(data) + at, std::min(chunk, size - at));
        for (;;) {
            std::string payload;
            uint32_t announced = 0;
            const FrameReader::Result result = reader.next(&payload, &announced);
            if (result == FrameReader::Nothing)
                break;
            if (result == FrameReader::Oversized) {
                if (announced <= ostrelsdk::kMaxFrame)
                    std::abort();
                continue;
            }
            if (payload.size() > ostrelsdk::kMaxFrame)
                std::abort();
            checkObject(payload);
        }
    }
    return 0;
}
