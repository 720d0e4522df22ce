#pragma once

#include <cstdint>
#include <functional>

namespace lurkel::cli {

// Ctrl-C for long commands: the first SIGINT (or SIGTERM) marks the run interrupted and
// calls the registered hooks on a watcher thread (hooks may take locks, e.g. to cancel a
// scan); a second one ends the process at once with status 130.
class Interrupt {
public:
    using Token = std::uint64_t;

    static void install();
    static bool requested();
    static Token onInterrupt(std::function<void()> hook);
    static void remove(Token token);
    // Behaves as if Ctrl-C was pressed (for tests).
    static void raiseForTesting();
    static void resetForTesting();
};

} // namespace lurkel::cli
