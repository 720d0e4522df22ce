#pragma once

namespace lurkel {

// Writes a short report when the program crashes (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT):
// program, version, signal and a backtrace, in
// $XDG_STATE_HOME/com.brendix.Lurkel-SII/crashes/<program>-<seconds>-<pid>.txt. The
// program then ends the way it would have without the handler.
class CrashReporter {
public:
    // Prepares the folder and installs the handlers; false when the folder cannot be made.
    static bool install(const char *programName);
};

} // namespace lurkel
