#pragma once

#include <QCoreApplication>
#include <QtTest>

#include "ostrelsdk_control.h"

// Building SDK messages by hand and dispatching them through the voice
// service's pump, for the response and event tests.
namespace voicedispatch {

// A request record of the given type, its texts copied with ox_strdup.
template <typename Request>
Request *newRequest(int (*create)(Request **), const char *cookie = "9001")
{
    Request *request = nullptr;
    create(&request);
    request->base.cookie = ox_strdup(cookie);
    return request;
}

// A response that carries `request` (which it then owns).
template <typename Response = ox_resp_base_t, typename Request = ox_req_base_t>
Response *newResponse(ox_response_type type, Request *request, int returnCode = 0, int statusCode = 0,
                      const char *statusText = nullptr)
{
    ox_resp_base_t *response = oxc_alloc_response(type, reinterpret_cast<ox_req_base_t *>(request));
    response->return_code = returnCode;
    response->status_code = statusCode;
    response->status_string = statusText ? ox_strdup(statusText) : nullptr;
    return reinterpret_cast<Response *>(response);
}

template <typename Event>
Event *newEvent(ox_event_type type)
{
    return reinterpret_cast<Event *>(oxc_alloc_event(type));
}

// Waits until the stand-in has handed every message over and the service has
// dispatched and freed it, including the answers to requests that the
// dispatch itself issued.
inline bool settle()
{
    for (int round = 0; round < 20; ++round) {
        if (oxc_wait_idle(5000) != 0)
            return false;
        int tries = 0;
        while (oxc_pending_messages() != 0 || oxc_live_messages() != 0) {
            if (++tries > 500)
                return false;
            QCoreApplication::processEvents();
            QTest::qWait(5);
        }
        QCoreApplication::processEvents();
        // Nothing new was asked while draining: done.
        if (oxc_wait_idle(5000) == 0 && oxc_pending_messages() == 0 && oxc_live_messages() == 0)
            return true;
    }
    return false;
}

// Queues a message (after everything already queued) and dispatches it.
template <typename Message>
bool dispatch(Message *message)
{
    oxc_inject(reinterpret_cast<ox_message_base_t *>(message));
    return settle();
}

} // namespace voicedispatch
