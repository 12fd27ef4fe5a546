// The voice SDK's log lines as the voice service files them: any source,
// level and message text (each may be missing), with paths, line numbers
// and blanks anywhere.

#include "fuzzsupport.h"
#include "voicemanager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::application();
    // Three texts separated by NUL bytes; a missing one is a null pointer.
    const QByteArray input = fuzz::bytes(data, size);
    const QList<QByteArray> parts = input.split('\0');
    auto part = [&](int index) -> const char * { return index < parts.size() ? parts.at(index).constData() : nullptr; };
    VoiceManager::onSdkLogMessage(part(0), part(1), part(2));
    return 0;
}
