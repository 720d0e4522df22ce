#pragma once

#include <functional>

namespace lurkel::test {

// How long a test waits for something that should happen at once: generous, so that a slow
// machine never fails a test, while a real hang still ends.
inline constexpr int kWaitMs = 20000;

// Runs the main thread's event loop until done() holds or timeoutMs pass; false on timeout.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = kWaitMs);

// The same for a condition that no event of this process announces (a file another
// process writes, a bus name another process claims): it is looked at again every few
// milliseconds as well.
bool pollUntil(const std::function<bool()> &done, int timeoutMs = kWaitMs);

// Handles what is already queued on the main thread (callbacks a test expects not to come).
void drainMainQueue();

} // namespace lurkel::test
