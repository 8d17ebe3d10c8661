#pragma once

#include <functional>

namespace platform {

// Calls the handler on the user-interface thread when the system asks the
// program to end (SIGTERM, SIGINT, SIGHUP: a logout, a kill, Ctrl+C), so
// that it closes its windows and files as on a normal exit.
void onTerminationRequest(std::function<void()> handler);

} // namespace platform
