#pragma once

#include <vector>

#include "ostrelsdk.h"

namespace voicetest {

// A device-list answer of the voice SDK built by hand, to feed the device
// models; the records point into the fixture's own storage. Capture and
// render answers share one layout.
struct DeviceList {
    struct Spec {
        const char *id;
        const char *name;
        int type;
    };

    explicit DeviceList(const std::vector<Spec> &specs, const char *defaultName = "Speakers",
                        const char *currentId = "Default System Device", const char *effectiveId = "dev-a")
    {
        records.reserve(specs.size());
        for (const Spec &spec : specs)
            records.push_back(ox_device_t{const_cast<char *>(spec.id), const_cast<char *>(spec.name), spec.type});
        for (ox_device_t &record : records)
            pointers.push_back(&record);
        defaultDevice = {const_cast<char *>("os-default"), const_cast<char *>(defaultName), 0};
        current = {const_cast<char *>(currentId), const_cast<char *>("current"), 0};
        effective = {const_cast<char *>(effectiveId), const_cast<char *>("Effective"), 0};
        count = int(pointers.size());
    }

    template <typename Response>
    Response response()
    {
        Response r{};
        r.device_count = count;
        r.devices = pointers.empty() ? nullptr : pointers.data();
        r.current_device = &current;
        r.effective_device = &effective;
        r.default_device = &defaultDevice;
        return r;
    }

    std::vector<ox_device_t> records;
    std::vector<ox_device_t *> pointers;
    ox_device_t defaultDevice{};
    ox_device_t current{};
    ox_device_t effective{};
    int count = 0;
};

} // namespace voicetest
