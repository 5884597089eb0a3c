#pragma once
// The three events that drive every worker thread and its orderly stop:
// a manual-reset run event (initially set), an auto-reset quit event and an
// auto-reset exit acknowledgement the thread sets as it leaves.

#include "platform/event.h"
#include "platform/messages.h"

#include <thread>

namespace kestrova::platform {

struct WorkerEvents {
    Event run{Event::Reset::Manual, true};
    Event quit{Event::Reset::Auto, false};
    Event exitAck{Event::Reset::Auto, false};
};

// Stops a worker from the interface thread: clears run, sets quit, waits for
// the acknowledgement while dispatching messages (see waitPumpingMessages),
// then joins the thread so that nothing it uses is torn down under it.
// Returns whether the acknowledgement came before the pump gave up.
bool stopWorker(WorkerEvents& events, std::thread& thread, MessageQueue& queue);

} // namespace kestrova::platform
