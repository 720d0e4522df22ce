#include "CgroupMemoryLimit.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace lurkel {
namespace {

struct Hierarchy {
    bool v2 = false;
    std::string root; // the group the mount shows as its top ("/" unless namespaced)
    std::string mountPoint;
};

std::string readWholeFile(const BytePath &path)
{
    std::ifstream in(path.bytes(), std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// Mount-table fields escape blanks, tabs, line feeds and backslashes as \ooo.
std::string unescapeMountField(std::string_view field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view octal = field.substr(i + 1, 3);
            if (octal.size() == 3 && octal.find_first_not_of("01234567") == std::string_view::npos) {
                out.push_back(static_cast<char>((octal[0] - '0') * 64 + (octal[1] - '0') * 8 + (octal[2] - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

// The cgroup2 mount and the v1 mount that carries the memory controller.
void findHierarchies(const std::string &mountInfo, std::optional<Hierarchy> &v2, std::optional<Hierarchy> &v1)
{
    for (std::string_view line : split(mountInfo, '\n')) {
        const std::size_t dash = line.find(" - ");
        if (dash == std::string_view::npos) continue;
        const std::vector<std::string_view> before = split(line.substr(0, dash), ' ');
        const std::vector<std::string_view> after = split(line.substr(dash + 3), ' ');
        if (before.size() < 5 || after.size() < 3) continue;
        Hierarchy hierarchy{false, unescapeMountField(before[3]), unescapeMountField(before[4])};
        if (after[0] == "cgroup2" && !v2) {
            hierarchy.v2 = true;
            v2 = hierarchy;
        } else if (after[0] == "cgroup" && !v1) {
            for (std::string_view option : split(after[2], ',')) {
                if (option == "memory") {
                    v1 = hierarchy;
                    break;
                }
            }
        }
    }
}

// The folder of group path inside the mounted hierarchy, or nullopt when the mount does
// not show that group.
std::optional<std::string> groupFolder(const Hierarchy &hierarchy, const std::string &group)
{
    std::string relative;
    if (hierarchy.root == "/") {
        relative = group;
    } else if (group == hierarchy.root) {
        relative = "/";
    } else if (group.size() > hierarchy.root.size() && group.compare(0, hierarchy.root.size(), hierarchy.root) == 0 &&
               group[hierarchy.root.size()] == '/') {
        relative = group.substr(hierarchy.root.size());
    } else {
        return std::nullopt;
    }
    std::string folder = hierarchy.mountPoint;
    if (relative != "/") {
        if (!folder.empty() && folder.back() == '/') folder.pop_back();
        folder += relative;
    }
    return folder;
}

// A limit or usage file: a decimal number, or "max". Reads into a small stack buffer.
enum class Value { Number, Unlimited, Unreadable };
Value readLimitValue(const BytePath &path, std::uint64_t &number)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Value::Unreadable;
    std::array<char, 64> buffer{};
    ssize_t got = 0;
    do {
        got = ::pread(fd, buffer.data(), buffer.size(), 0);
    } while (got < 0 && errno == EINTR);
    ::close(fd);
    if (got <= 0) return Value::Unreadable;
    const std::string_view text(buffer.data(), static_cast<std::size_t>(got));
    if (text.substr(0, 3) == "max") return Value::Unlimited;
    std::uint64_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (UINT64_MAX - digit) / 10) return Value::Unlimited;
        value = value * 10 + digit;
    }
    if (i == 0) return Value::Unreadable;
    number = value;
    return Value::Number;
}

} // namespace

CgroupMemoryLimit CgroupMemoryLimit::discover()
{
    return discover(Sources{});
}

CgroupMemoryLimit CgroupMemoryLimit::discover(const Sources &sources)
{
    CgroupMemoryLimit result;
    const std::string cgroups = readWholeFile(sources.procCgroup);
    if (cgroups.empty()) return result;
    std::optional<Hierarchy> v2;
    std::optional<Hierarchy> v1;
    findHierarchies(readWholeFile(sources.mountInfo), v2, v1);

    // "ID:CONTROLLERS:PATH": "0::PATH" is the v2 group, a line listing "memory" the v1 one.
    for (std::string_view line : split(cgroups, '\n')) {
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos) continue;
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string group(line.substr(second + 1));
        const Hierarchy *hierarchy = nullptr;
        if (line.substr(0, first) == "0" && controllers.empty()) {
            hierarchy = v2 ? &*v2 : nullptr;
        } else {
            for (std::string_view controller : split(controllers, ',')) {
                if (controller == "memory") hierarchy = v1 ? &*v1 : nullptr;
            }
        }
        if (hierarchy == nullptr || group.empty() || group.front() != '/') continue;
        const std::optional<std::string> folder = groupFolder(*hierarchy, group);
        if (!folder) continue;

        const char *limitName = hierarchy->v2 ? "/memory.max" : "/memory.limit_in_bytes";
        const char *usageName = hierarchy->v2 ? "/memory.current" : "/memory.usage_in_bytes";
        // From the process's group up to the top of the mount.
        std::string current = *folder;
        for (;;) {
            const BytePath limitFile(current + limitName);
            std::uint64_t limit = 0;
            if (readLimitValue(limitFile, limit) == Value::Number && limit < kUnlimitedAtOrAbove)
                result.m_levels.push_back(Level{limitFile, BytePath(current + usageName)});
            if (current.size() <= hierarchy->mountPoint.size()) break;
            const std::size_t slash = current.rfind('/');
            if (slash == std::string::npos || slash < hierarchy->mountPoint.size()) break;
            current.resize(slash == 0 ? 1 : slash);
        }
    }
    return result;
}

std::optional<std::uint64_t> CgroupMemoryLimit::headroom() const
{
    if (m_levels.empty()) return std::nullopt;
    std::optional<std::uint64_t> smallest;
    for (const Level &level : m_levels) {
        std::uint64_t limit = 0;
        std::uint64_t usage = 0;
        const Value limitValue = readLimitValue(level.limitFile, limit);
        if (limitValue == Value::Unlimited) continue; // lifted since
        if (limitValue == Value::Unreadable || readLimitValue(level.usageFile, usage) != Value::Number)
            return std::nullopt;
        if (limit >= kUnlimitedAtOrAbove) continue;
        const std::uint64_t room = usage < limit ? limit - usage : 0;
        if (!smallest || room < *smallest) smallest = room;
    }
    // every limit was lifted: nothing holds the process back but the host
    return smallest ? smallest : std::optional<std::uint64_t>(UINT64_MAX);
}

} // namespace lurkel
