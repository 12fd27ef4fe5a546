// Chat text turned into HTML anchors: any text, long runs, nested brackets,
// quotes and markup.

#include "fuzzsupport.h"
#include "linkify.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::application();
    const QString input = fuzz::text(data, size);
    const QString html = linkify(input);
    // Linkify only ever adds markup around what it finds.
    if (html.size() < input.size())
        std::abort();
    return 0;
}
