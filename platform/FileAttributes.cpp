#include "FileAttributes.h"

#include <climits>
#include <cstring>
#include <fcntl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

// Folders with these extensions are packages (bundles): one entry each, lower case.
constexpr std::array<std::string_view, 21> kPackageExtensions = {
    "app",      "bundle",      "framework",  "plugin", "kext",      "appex",         "xpc",
    "prefpane", "qlgenerator", "mdimporter", "saver",  "wdgt",      "photoslibrary", "musiclibrary",
    "rtfd",     "pages",       "numbers",    "key",    "xcodeproj", "xcworkspace",   "playground",
};

constexpr std::size_t kShortestPackageExtension = 3; // app, key, xpc
constexpr std::size_t kLongestPackageExtension = 13; // photoslibrary

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// lstat on "link/" would follow the link: drop trailing separators (but keep "/").
std::string withoutTrailingSlashes(const BytePath &path)
{
    std::string bytes = path.bytes();
    while (bytes.size() > 1 && bytes.back() == '/')
        bytes.pop_back();
    return bytes;
}

// Calls fn(line) for every line of a ".hidden" file's content: split on "\n", no trimming,
// the final newline optional, empty lines skipped (no name is empty). Stops when fn says so.
template <typename Fn> void forEachHiddenLine(std::string_view content, Fn &&fn)
{
    while (!content.empty()) {
        const auto nl = content.find('\n');
        const std::string_view line = content.substr(0, nl);
        if (!line.empty() && fn(line)) return;
        if (nl == std::string_view::npos) return;
        content.remove_prefix(nl + 1);
    }
}

} // namespace

QDateTime FileStat::modificationDate() const
{
    return QDateTime::fromMSecsSinceEpoch(mtimeSec * 1000 + mtimeNsec / 1000000);
}

namespace {

FileStat fromStat(const struct stat &st)
{
    FileStat result;
    result.isDirectory = S_ISDIR(st.st_mode);
    result.isSymlink = S_ISLNK(st.st_mode);
    result.apparentSize = static_cast<std::int64_t>(st.st_size);
    result.allocatedSize = static_cast<std::int64_t>(st.st_blocks) * 512;
    result.mtimeSec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    result.mtimeNsec = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    return result;
}

} // namespace

std::optional<FileStat> FileAttributes::lstat(const BytePath &path)
{
    if (path.empty()) return std::nullopt;
    struct stat st {};
    if (::lstat(withoutTrailingSlashes(path).c_str(), &st) != 0) return std::nullopt;
    return fromStat(st);
}

std::optional<FileStat> FileAttributes::lstatAt(int directoryFd, std::string_view name)
{
    char buffer[NAME_MAX + 1];
    if (directoryFd < 0 || name.empty() || name.size() > NAME_MAX || name.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
    struct stat st {};
    if (::fstatat(directoryFd, buffer, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) return std::nullopt;
    return fromStat(st);
}

std::span<const std::string_view> FileAttributes::packageExtensions()
{
    return kPackageExtensions;
}

bool FileAttributes::hasPackageExtension(std::string_view name)
{
    const auto dot = name.rfind('.');
    // No dot, or a dot name such as ".app": no extension.
    if (dot == std::string_view::npos || dot == 0) return false;
    const std::string_view ext = name.substr(dot + 1);
    if (ext.size() < kShortestPackageExtension || ext.size() > kLongestPackageExtension) return false;
    char lower[kLongestPackageExtension];
    for (std::size_t i = 0; i < ext.size(); ++i)
        lower[i] = asciiLower(ext[i]);
    const std::string_view folded(lower, ext.size());
    for (const std::string_view candidate : kPackageExtensions) {
        if (candidate == folded) return true;
    }
    return false;
}

bool FileAttributes::isPackage(const BytePath &path)
{
    if (!hasPackageExtension(path.fileName())) return false; // no system call for most folders
    const auto st = lstat(path);
    return st && isPackageEntry(path.fileName(), st->isDirectory, st->isSymlink);
}

const char *FileAttributes::typeIdentifierFor(std::string_view name, bool isDirectory, bool isSymlink)
{
    if (isSymlink) return kTypeSymlink;
    if (isDirectory) return hasPackageExtension(name) ? kTypePackage : kTypeFolder;
    return kTypeData;
}

std::optional<std::string> FileAttributes::typeIdentifier(const BytePath &path)
{
    const auto st = lstat(path);
    if (!st) return std::nullopt;
    return std::string(typeIdentifierFor(path.fileName(), st->isDirectory, st->isSymlink));
}

namespace {

// O_NOFOLLOW: a ".hidden" that is a symbolic link is never followed (open fails with ELOOP).
// O_NONBLOCK: a FIFO or device of that name must not block the open; such entries are
// refused by the regular-file test that follows.
constexpr int kHiddenFileFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

} // namespace

std::optional<std::string> FileAttributes::readHiddenFile(const BytePath &folder)
{
    if (folder.empty()) return std::nullopt;
    const BytePath file = folder / ".hidden";
    int fd;
    do {
        fd = ::open(file.c_str(), kHiddenFileFlags);
    } while (fd < 0 && errno == EINTR);
    return readHiddenContent(fd);
}

std::optional<std::string> FileAttributes::readHiddenFileAt(int directoryFd)
{
    int fd;
    do {
        fd = ::openat(directoryFd, ".hidden", kHiddenFileFlags);
    } while (fd < 0 && errno == EINTR);
    return readHiddenContent(fd);
}

std::optional<std::string> FileAttributes::readHiddenContent(int fd)
{
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<std::size_t>(
        std::clamp<std::int64_t>(static_cast<std::int64_t>(st.st_size), 0, kMaxHiddenFileBytes)));
    bool truncated = false;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > static_cast<std::size_t>(kMaxHiddenFileBytes)) {
            truncated = true;
            break;
        }
    }
    ::close(fd);
    if (truncated) {
        // Past the cap: keep only whole lines, so that a cut name cannot match a shorter one.
        content.resize(static_cast<std::size_t>(kMaxHiddenFileBytes));
        const auto nl = content.rfind('\n');
        content.resize(nl == std::string::npos ? 0 : nl + 1);
    }
    return content;
}

bool FileAttributes::hiddenListContains(std::string_view content, std::string_view name)
{
    if (name.empty()) return false;
    bool found = false;
    forEachHiddenLine(content, [&](std::string_view line) { return found = (line == name); });
    return found;
}

std::vector<std::string> FileAttributes::splitHiddenList(std::string_view content)
{
    std::vector<std::string> names;
    forEachHiddenLine(content, [&](std::string_view line) {
        names.emplace_back(line);
        return false;
    });
    return names;
}

bool FileAttributes::isHidden(const BytePath &path)
{
    const std::string trimmed = withoutTrailingSlashes(path);
    const BytePath entry(trimmed);
    const std::string_view name = entry.fileName();
    if (name.empty() || name == "/") return false;
    if (name.front() == '.') return true;
    const BytePath folder = entry.parent();
    if (folder.empty()) return false;
    const auto content = readHiddenFile(folder);
    return content && hiddenListContains(*content, name);
}

std::vector<std::string> FileAttributes::readHiddenList(const BytePath &folder)
{
    const auto content = readHiddenFile(folder);
    return content ? splitHiddenList(*content) : std::vector<std::string>{};
}

} // namespace lurkel
