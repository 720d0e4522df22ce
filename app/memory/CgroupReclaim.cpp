#include "CgroupReclaim.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace lurkel {
namespace {

constexpr std::size_t kMaxFileSize = std::size_t{1024} * 1024;

// A small kernel file (memory.stat is a few KB) read whole; nullopt when it cannot be read.
std::optional<std::string> readSmallFile(const BytePath &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > kMaxFileSize) break; // not a kernel file as expected
    }
    ::close(fd);
    return text;
}

// The "0::PATH" group of the v2 hierarchy.
std::optional<std::string> unifiedGroup(const std::string &procCgroup)
{
    std::string_view text = procCgroup;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.substr(0, 3) == "0::" && line.size() > 3 && line[3] == '/') return std::string(line.substr(3));
    }
    return std::nullopt;
}

std::optional<std::uint64_t> statValue(const std::string &stat, std::string_view name)
{
    std::string_view text = stat;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.size() > name.size() && line.substr(0, name.size()) == name && line[name.size()] == ' ') {
            const std::string_view number = line.substr(name.size() + 1);
            std::uint64_t value = 0;
            const auto [next, error] = std::from_chars(number.data(), number.data() + number.size(), value);
            if (error != std::errc() || next == number.data()) return std::nullopt;
            return value;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<CgroupReclaim> CgroupReclaim::find(const Sources &sources)
{
    const std::optional<std::string> cgroups = readSmallFile(sources.procCgroup);
    if (!cgroups) return std::nullopt;
    const std::optional<std::string> group = unifiedGroup(*cgroups);
    if (!group) return std::nullopt;

    // The own group first, then each parent up to the root.
    std::vector<std::string> chain;
    std::string relative = *group;
    while (relative.size() > 1 && relative.back() == '/')
        relative.pop_back();
    for (;;) {
        chain.push_back(relative);
        if (relative == "/" || relative.empty()) break;
        const std::size_t slash = relative.rfind('/');
        relative.resize(slash == 0 ? 1 : slash);
    }

    std::optional<CgroupReclaim> widest;
    for (const std::string &level : chain) {
        if (level.find("/..") != std::string::npos) return std::nullopt; // outside the mount
        CgroupReclaim candidate(level == "/" ? sources.root : BytePath(sources.root.bytes() + level));
        if (::faccessat(AT_FDCWD, candidate.reclaimFile().c_str(), W_OK, AT_EACCESS) != 0) continue;
        if (!candidate.readInactiveFile()) continue;
        widest = std::move(candidate);
    }
    return widest;
}

BytePath CgroupReclaim::reclaimFile() const
{
    return m_folder / "memory.reclaim";
}

std::optional<std::uint64_t> CgroupReclaim::readInactiveFile() const
{
    const std::optional<std::string> stat = readSmallFile(m_folder / "memory.stat");
    if (!stat) return std::nullopt;
    return statValue(*stat, "inactive_file");
}

int CgroupReclaim::writeReclaim(const BytePath &file, std::uint64_t bytes)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    const std::string text = std::to_string(bytes);
    ssize_t written = 0;
    do {
        written = ::write(fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    const int error = written < 0 ? errno : 0;
    ::close(fd);
    return error;
}

} // namespace lurkel
