#include "HiddenFlag.h"

#include "FileAttributes.h"
#include "FileOperations.h"
#include "Identity.h"
#include "PosixFile.h"
#include "XdgDirs.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

constexpr char kHiddenFileName[] = ".hidden";
// A list this long is not a list of names: refuse to rewrite it rather than cut it.
constexpr std::size_t kMaxListBytes = 64u << 20;

Error listError(int errnum, const char *what)
{
    return Error::posix(errnum, QString::fromLatin1(what));
}

// The exclusive lock of one folder, held from acquire() until destruction. The lock file is
// named after the folder's device and inode, so every path to the folder finds the same lock.
// The holder removes the file before it lets go; a waiter that then finds its file unlinked
// (or replaced) tries again, so two processes never hold "the" lock on different files.
class FolderLock {
public:
    FolderLock() = default;
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;
    ~FolderLock()
    {
        if (m_fd.valid()) ::unlink(m_path.c_str());
    }

    std::optional<Error> acquire(const struct stat &folder)
    {
        const BytePath dir = HiddenFlag::lockFolder();
        if (const int err = makePath(dir, 0700)) return listError(err, "cannot create the lock folder");
        char name[96];
        std::snprintf(name, sizeof name, "hidden-%" PRIx64 "-%" PRIx64 ".lock",
                      static_cast<std::uint64_t>(folder.st_dev), static_cast<std::uint64_t>(folder.st_ino));
        m_path = (dir / name).bytes();
        for (;;) {
            UniqueFd fd(::open(m_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (!fd.valid()) return listError(errno, "cannot open the lock file");
            int rc;
            do {
                rc = ::flock(fd.get(), LOCK_EX);
            } while (rc != 0 && errno == EINTR);
            if (rc != 0) return listError(errno, "cannot lock the folder's list");
            struct stat held {};
            struct stat named {};
            if (::fstat(fd.get(), &held) == 0 && ::stat(m_path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
                held.st_ino == named.st_ino) {
                m_fd = std::move(fd);
                return std::nullopt;
            }
        }
    }

private:
    UniqueFd m_fd;
    std::string m_path;
};

struct ListFile {
    bool exists = false;
    std::string content;
    struct stat st {};
};

std::optional<Error> readList(int dirFd, ListFile &list)
{
    UniqueFd fd(::openat(dirFd, kHiddenFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT) return std::nullopt;
        if (errno == ELOOP)
            return Error::app(QStringLiteral("the folder's .hidden is a symbolic link; it is left alone"));
        return listError(errno, "cannot read the folder's .hidden");
    }
    if (::fstat(fd.get(), &list.st) != 0) return listError(errno, "cannot read the folder's .hidden");
    if (!S_ISREG(list.st.st_mode)) {
        return Error::app(QStringLiteral("the folder's .hidden is not a regular file; it is left alone"));
    }
    list.exists = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return listError(errno, "cannot read the folder's .hidden");
        if (n == 0) return std::nullopt;
        list.content.append(buffer, static_cast<std::size_t>(n));
        if (list.content.size() > kMaxListBytes) {
            return Error::app(QStringLiteral("the folder's .hidden is too large to be rewritten"));
        }
    }
}

// content without the lines equal to one of the names; every other line (and its line end)
// stays as it is.
std::string withoutLines(std::string_view content, std::string_view name, std::string_view alsoName)
{
    std::string result;
    result.reserve(content.size());
    while (!content.empty()) {
        const auto nl = content.find('\n');
        const std::size_t lineEnd = nl == std::string_view::npos ? content.size() : nl;
        const std::size_t next = nl == std::string_view::npos ? content.size() : nl + 1;
        const std::string_view line = content.substr(0, lineEnd);
        if (line != name && (alsoName.empty() || line != alsoName)) result.append(content.substr(0, next));
        content.remove_prefix(next);
    }
    return result;
}

std::optional<Error> writeList(int dirFd, const ListFile &old, const std::string &content)
{
    AtomicWrite how{.mode = old.exists ? static_cast<mode_t>(old.st.st_mode & 0777) : mode_t{0644}};
    if (old.exists && (old.st.st_uid != ::geteuid() || old.st.st_gid != ::getegid())) {
        how.owner = AtomicWrite::Owner{old.st.st_uid, old.st.st_gid}; // the owner stays where allowed
    }
    if (auto error = writeFileAtomicallyAt(dirFd, kHiddenFileName, content, how)) {
        return listError(error->code, "cannot write the folder's .hidden");
    }
    return std::nullopt;
}

bool hasName(std::string_view content)
{
    return content.find_first_not_of('\n') != std::string_view::npos;
}

} // namespace

BytePath HiddenFlag::lockFolder()
{
    const std::optional<BytePath> runtime = XdgDirs::runtimeDir();
    const BytePath base = runtime && !runtime->empty() ? *runtime : XdgDirs::cacheHome();
    return base / Identity::kBundleIdentifier;
}

std::optional<Error> HiddenFlag::setHidden(const BytePath &path, bool hidden, bool *changed)
{
    if (changed != nullptr) *changed = false;
    if (!path.isAbsolute()) return Error::app(QStringLiteral("not an absolute path"));
    const auto split = FileOperations::splitItemPath(path);
    if (!split) return Error::app(QStringLiteral("not a name that can be hidden"));
    const std::string &name = split->name;
    const bool hasLineFeed = name.find('\n') != std::string::npos;
    if (hasLineFeed && hidden) {
        return Error::app(QStringLiteral("a name with a line break cannot be listed in .hidden"));
    }
    if (name.back() == '\r') {
        return Error::app(QStringLiteral("a name ending in a carriage return cannot be listed in .hidden"));
    }

    UniqueFd dir(::open(split->folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) return listError(errno, "cannot open its folder");
    struct stat itemSt {};
    if (::fstatat(dir.get(), name.c_str(), &itemSt, AT_SYMLINK_NOFOLLOW) != 0)
        return listError(errno, "cannot read it");
    if (hasLineFeed) return std::nullopt; // no line of .hidden can hold it: it is not flagged
    struct stat dirSt {};
    if (::fstat(dir.get(), &dirSt) != 0) return listError(errno, "cannot open its folder");

    FolderLock lock;
    if (auto error = lock.acquire(dirSt)) return error;
    ListFile list;
    if (auto error = readList(dir.get(), list)) return error;

    std::string content;
    if (hidden) {
        if (FileAttributes::hiddenListContains(list.content, name)) return std::nullopt;
        content = list.content;
        if (!content.empty() && content.back() != '\n') content.push_back('\n');
        content.append(name).push_back('\n');
    } else {
        // A CRLF line names the item for KIO; drop it as well, unless it names another entry
        // of the folder (one whose name really ends in a carriage return).
        std::string crlfName = name + '\r';
        struct stat other {};
        if (::fstatat(dir.get(), crlfName.c_str(), &other, AT_SYMLINK_NOFOLLOW) == 0) crlfName.clear();
        content = withoutLines(list.content, name, crlfName);
        if (content.size() == list.content.size()) return std::nullopt;
    }

    if (!hasName(content)) {
        if (::unlinkat(dir.get(), kHiddenFileName, 0) != 0 && errno != ENOENT) {
            return listError(errno, "cannot remove the folder's emptied .hidden");
        }
    } else if (auto error = writeList(dir.get(), list, content)) {
        return error;
    }
    if (changed != nullptr) *changed = true;
    return std::nullopt;
}

} // namespace lurkel
