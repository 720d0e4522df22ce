#include "ChildDefaults.h"

#include <cstdlib>
#include <mutex>

namespace lurkel {
namespace {

struct State {
    std::mutex mutex;
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
    std::optional<rlimit> openFiles;
};

State &state()
{
    static State s;
    return s;
}

} // namespace

void ChildDefaults::rememberEnvironment(const char *name)
{
    State &s = state();
    const std::lock_guard lock(s.mutex);
    for (const auto &[known, value] : s.environment) {
        if (known == name) return;
    }
    const char *value = std::getenv(name);
    s.environment.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
}

void ChildDefaults::rememberOpenFilesLimit()
{
    State &s = state();
    const std::lock_guard lock(s.mutex);
    rlimit limit{};
    if (!s.openFiles && ::getrlimit(RLIMIT_NOFILE, &limit) == 0) s.openFiles = limit;
}

std::vector<std::pair<std::string, std::optional<std::string>>> ChildDefaults::environment()
{
    State &s = state();
    const std::lock_guard lock(s.mutex);
    return s.environment;
}

std::optional<rlimit> ChildDefaults::openFilesLimit()
{
    State &s = state();
    const std::lock_guard lock(s.mutex);
    return s.openFiles;
}

} // namespace lurkel
