#pragma once

namespace OstrelSystem {
namespace sys {

class HandleRecord;

// The process-wide table behind thread and event handles. A handle is a
// slot number and the slot's generation, never 0, so a closed or invented
// handle is found out by looking it up, never dereferenced.
class HandleTable
{
public:
    // Takes over one reference of `record`; null when the table cannot grow.
    static void *insert(HandleRecord *record);
    // The record with one more reference (release it), or null.
    static HandleRecord *acquire(void *handle);
    // Drops the handle and its reference; false for an unknown handle.
    static bool close(void *handle);
};

} // namespace sys
} // namespace OstrelSystem
