#include "SearchFolder.h"
#include "PosixFile.h"

#include "PathsGenerator.h"
#include "Settings.h"

#include <optional>

namespace lurkel {

BytePath SearchFolder::choose(const BytePath &requested, const Settings &settings)
{
    if (!requested.empty() && isDirectory(requested)) return requested;
    const std::optional<BytePath> stored = settings.getSearchLocation();
    if (stored && isDirectory(*stored)) return *stored;
    return home();
}

BytePath SearchFolder::choose(const BytePath &requested)
{
    return choose(requested, Settings());
}

BytePath SearchFolder::home()
{
    return PathsGenerator().getHomeDirectory();
}

} // namespace lurkel
