#include "speechbackend.h"

namespace QtSpeech_v1 {

SpeechBackend::~SpeechBackend() = default;

} // namespace QtSpeech_v1
