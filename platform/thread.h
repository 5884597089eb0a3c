#pragma once
// Starting the worker threads. The priority is a hint: the connection thread
// runs below normal so that reconnect attempts never compete with the receive
// thread; where the system refuses a change the thread simply runs at normal
// priority.

#include <functional>
#include <thread>

namespace kestrova::platform {

enum class ThreadPriority { BelowNormal, Normal, AboveNormal };

// Starts `body` on a new thread named `name` (shown by debuggers; at most 15
// characters are kept). The caller owns the returned thread and joins it.
std::thread startThread(const char* name, ThreadPriority priority, std::function<void()> body);

} // namespace kestrova::platform
