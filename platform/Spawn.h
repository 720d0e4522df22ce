#pragma once

#include "Error.h"
#include "PosixFile.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace lurkel {

// A cancellation token for a running program. cancel() is async-signal-safe, so a
// SIGINT handler may call it.
class SpawnCancel {
public:
    SpawnCancel();
    SpawnCancel(const SpawnCancel &) = delete;
    SpawnCancel &operator=(const SpawnCancel &) = delete;

    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }
    int fd() const { return m_fd.get(); }

private:
    UniqueFd m_fd;
    std::atomic<bool> m_cancelled{false};
};

struct SpawnRequest {
    // argv[0] is the program: an absolute path, or a name searched in PATH.
    std::vector<std::string> argv;
    // Set (or replace) these variables in the child's environment.
    std::vector<std::pair<std::string, std::string>> environment{};
    // Remove these variables from the child's environment.
    std::vector<std::string> unsetEnvironment{};
    std::optional<std::string> workingDirectory{};
    // Written to the child's standard input, which is then closed.
    std::string standardInput{};
    // Standard output goes to /dev/null and standard error to a memory file (read when the
    // program has ended) instead of pipes: for a program that starts others which outlive
    // it (xdg-open), whose copies of the pipes would keep the run waiting as long as they live.
    bool discardOutput = false;
    // After a cancel, how long the program has to end by itself (SIGTERM) before its group
    // is killed (SIGKILL): time to finish or undo the item it is working on.
    int terminateGraceMs = 2000;
    // Called on the running thread each time output arrives (a sign that the child works),
    // with what arrived on standard output (empty when it came on standard error).
    std::function<void(std::string_view standardOutput)> onOutput{};
};

struct SpawnResult {
    bool started = false;
    int exitStatus = -1; // the exit code when it exited, else -1
    int signal = 0;      // the signal that ended it, else 0
    bool cancelled = false;
    std::string standardOutput;
    std::string standardError;
    std::optional<Error> error; // set when it could not be started

    bool succeeded() const { return started && exitStatus == 0; }
    // "<standard error, trimmed> (exit N)" or "... (signal N)", for reports of a failed run.
    QString failureDescription() const;
};

// Runs programs with posix_spawn on a byte argument vector (never a shell string),
// capturing standard output and error. The child gets its own process group, so that a
// cancel ends it and everything it started.
class Spawn {
public:
    // Runs to completion (or until cancelled: SIGTERM to the group, SIGKILL terminateGraceMs
    // later).
    static SpawnResult run(const SpawnRequest &request, SpawnCancel *cancel = nullptr);
    // Starts a program that outlives this one and is not waited for: a session of its own,
    // default signal handling, standard input from /dev/null, output where ours goes.
    // argv[0] must be a path. The child's pid, or the error that kept it from starting.
    // (Reaping it is the caller's business: a short-lived caller may leave that to init.)
    static std::optional<Error> launchDetached(const std::vector<std::string> &argv, pid_t *pid = nullptr);
    // How many programs this process has started through Spawn (an idle program starts none).
    static std::uint64_t startCount();
};

} // namespace lurkel
