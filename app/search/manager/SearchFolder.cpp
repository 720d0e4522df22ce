#include "SearchFolder.h"

#include "PathsGenerator.h"
#include "Settings.h"

#include <optional>
#include <sys/stat.h>

namespace lurkel {

BytePath SearchFolder::choose(const BytePath &requested, const Settings &settings)
{
    if (isFolder(requested)) return requested;
    const std::optional<BytePath> stored = settings.getSearchLocation();
    if (stored && isFolder(*stored)) return *stored;
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

bool SearchFolder::isFolder(const BytePath &path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace lurkel
