#include "platform/worker.h"

namespace kestrova::platform {

bool stopWorker(WorkerEvents& events, std::thread& thread, MessageQueue& queue) {
    if (!thread.joinable()) return true;
    events.run.reset();
    events.quit.set();
    bool acknowledged = waitPumpingMessages(events.exitAck, queue);
    thread.join();
    return acknowledged;
}

} // namespace kestrova::platform
