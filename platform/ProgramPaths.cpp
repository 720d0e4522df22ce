#include "ProgramPaths.h"

#include <climits>
#include <string>
#include <unistd.h>

namespace lurkel {

namespace {

std::optional<BytePath> linkTarget(const std::string &link)
{
    std::string buf(PATH_MAX, '\0');
    for (;;) {
        const ssize_t n = ::readlink(link.c_str(), buf.data(), buf.size());
        if (n < 0) return std::nullopt;
        if (static_cast<std::size_t>(n) < buf.size()) {
            buf.resize(static_cast<std::size_t>(n));
            break;
        }
        buf.resize(buf.size() * 2);
    }
    constexpr std::string_view deleted = " (deleted)";
    if (buf.size() > deleted.size() && buf.ends_with(deleted)) buf.resize(buf.size() - deleted.size());
    return BytePath(std::move(buf));
}

} // namespace

std::optional<BytePath> ProgramPaths::executableOf(pid_t pid)
{
    return linkTarget("/proc/" + std::to_string(pid) + "/exe");
}

std::optional<BytePath> ProgramPaths::thisProgram()
{
    return linkTarget("/proc/self/exe");
}

BytePath ProgramPaths::thisProgramFolder()
{
    const std::optional<BytePath> self = thisProgram();
    return self ? self->parent() : BytePath();
}

BytePath ProgramPaths::besideThisProgram(std::string_view name)
{
    const BytePath folder = thisProgramFolder();
    return folder.empty() ? BytePath(std::string(name)) : folder / std::string(name);
}

} // namespace lurkel
