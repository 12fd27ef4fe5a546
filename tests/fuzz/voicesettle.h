#pragma once

// Lets the voice SDK stand-in answer what an input asked of it and the voice
// service dispatch the answers, without the pauses of the tests' own wait:
// a fuzzer runs this for every input.

#include "ostrelsdk_control.h"

#include <QCoreApplication>

namespace fuzz {

inline bool settleVoice()
{
    for (int round = 0; round < 50; ++round) {
        if (oxc_wait_idle(5000) != 0)
            return false;
        QCoreApplication::processEvents();
        if (oxc_pending_messages() == 0 && oxc_live_messages() == 0 && oxc_wait_idle(5000) == 0)
            return true;
    }
    return false;
}

} // namespace fuzz
