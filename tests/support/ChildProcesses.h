#pragma once

#include "EventWait.h"

#include "BytePath.h"

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace lurkel::test {

// A new folder (mode 0755, so that a child dropped to another user reaches it) under the
// test root with copies of built programs: {LURKEL_..._PROGRAM, name in the folder}.
// Lurkel's programs find each other side by side, so such a folder is an installation.
BytePath installPrograms(const std::string &folderName,
                         const std::vector<std::pair<std::string, std::string>> &programs);

// Starts a program with this process's environment and the arguments given, its output
// going to logFile; -1 on failure.
pid_t startProgram(const std::string &program, const BytePath &logFile, const std::vector<std::string> &arguments = {});
// Waits, running the event loop, until the child has ended and reaps it; its wait status,
// or nullopt on timeout.
std::optional<int> waitForExit(pid_t pid, int timeoutMs = kWaitMs);
// The processes whose parent is this one.
std::vector<pid_t> childrenOfThisProcess();

} // namespace lurkel::test
