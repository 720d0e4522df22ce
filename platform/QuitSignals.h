#pragma once

#include <functional>

namespace lurkel {

// SIGTERM (the session ending, a service manager stopping the program) and SIGINT as
// ordinary events of the main thread: the signal handler only writes a byte into a pipe,
// and a socket notifier on the other end calls onSignal in the event loop, where quitting
// it cleanly (and saving what has to be saved) is safe. Install once, from the main
// thread, after the application object exists.
class QuitSignals {
public:
    static void install(std::function<void()> onSignal);
};

} // namespace lurkel
