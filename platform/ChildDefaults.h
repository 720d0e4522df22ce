#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>

namespace lurkel {

// What this process changes for itself alone and the programs it starts must not inherit: a
// raised open-files limit (the walker's), QT_QPA_PLATFORM set for lurkel's own windows.
// Whoever makes such a change first tells this class, which keeps the value from before;
// Spawn gives that value back to every child. Plain C++, safe from any thread.
class ChildDefaults {
public:
    ChildDefaults() = delete;

    // Before this process sets or unsets the environment variable name for itself: children
    // get its present value, or its absence. Only the first call per name counts.
    static void rememberEnvironment(const char *name);
    // Before this process changes its open-files limit: children get the present one. Only
    // the first call counts.
    static void rememberOpenFilesLimit();

    // Variables to give back (nullopt: unset in the child).
    static std::vector<std::pair<std::string, std::optional<std::string>>> environment();
    // The open-files limit to give back, when it was changed.
    static std::optional<rlimit> openFilesLimit();
};

} // namespace lurkel
