#include "PosixFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

constexpr int kMaxNameAttempts = 100;
constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr std::size_t kTokenDigits = 16;

// A name for the temporary file of name: ".NAME.tmp-<16 hex digits>", NAME shortened so that
// the whole stays within NAME_MAX. Hidden from listings, and never with the target's ending.
std::string temporaryName(std::string_view name)
{
    static std::atomic<std::uint64_t> serial{0};
    std::uint64_t token = 0;
    if (::getrandom(&token, sizeof token, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof token)) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        token = (static_cast<std::uint64_t>(::getpid()) << 40) ^ static_cast<std::uint64_t>(now.tv_nsec);
    }
    token ^= serial.fetch_add(1, std::memory_order_relaxed) << 48;
    char digits[kTokenDigits + 1];
    std::snprintf(digits, sizeof digits, "%016" PRIx64, token);
    const std::size_t room = NAME_MAX - 1 - kTemporaryInfix.size() - kTokenDigits;
    std::string result(".");
    result.append(name.substr(0, std::min(name.size(), room)));
    result.append(kTemporaryInfix);
    return result.append(digits, kTokenDigits);
}

// Syncs the folder open at dirFd (which may be an O_PATH descriptor), as far as it can be
// opened for that.
void syncFolder(int dirFd)
{
    UniqueFd folder(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
}

struct WriteFailure {
    int errnum;
    bool inPlacing; // the data was complete, the rename failed
};

std::optional<WriteFailure> writeAt(int dirFd, const std::string &name, std::string_view bytes, const AtomicWrite &how)
{
    std::string temporary;
    UniqueFd fd;
    for (int attempt = 0; attempt < kMaxNameAttempts && !fd.valid(); ++attempt) {
        temporary = temporaryName(name);
        fd.reset(::openat(dirFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid() && errno != EEXIST && errno != EINTR) return WriteFailure{errno, false};
    }
    if (!fd.valid()) return WriteFailure{EEXIST, false};

    const auto fail = [&](int errnum, bool inPlacing) {
        fd.reset();
        ::unlinkat(dirFd, temporary.c_str(), 0);
        return WriteFailure{errnum, inPlacing};
    };
    if (const int err = writeAll(fd.get(), bytes)) return fail(err, false);
    // The owner first: changing it may clear set-id bits of the mode.
    if (how.owner) ::fchown(fd.get(), how.owner->uid, how.owner->gid);
    if (::fchmod(fd.get(), how.mode) != 0) return fail(errno, false);
    if (how.durable && ::fsync(fd.get()) != 0) return fail(errno, false);
    if (const int err = fd.close()) return fail(err, false);

    if (how.target == AtomicWrite::Replace) {
        if (::renameat(dirFd, temporary.c_str(), dirFd, name.c_str()) != 0) return fail(errno, true);
    } else if (const int err = renameNoReplace(dirFd, temporary.c_str(), dirFd, name.c_str())) {
        return fail(err, true);
    }
    if (how.durable) syncFolder(dirFd);
    return std::nullopt;
}

Error writeError(const WriteFailure &failure, const AtomicWrite &how, const QString &shown)
{
    const QString what = !failure.inPlacing                   ? QStringLiteral("cannot write ")
                         : how.target == AtomicWrite::Replace ? QStringLiteral("cannot replace ")
                                                              : QStringLiteral("cannot create ");
    return Error::posix(failure.errnum, what + shown);
}

QString shownName(std::string_view name)
{
    return BytePath(name).displayString();
}

} // namespace

void UniqueFd::reset(int fd) noexcept
{
    if (m_fd >= 0 && m_fd != fd) {
        const int saved = errno; // a guard going out of scope must not change what a caller reports
        ::close(m_fd);
        errno = saved;
    }
    m_fd = fd;
}

int UniqueFd::close() noexcept
{
    if (m_fd < 0) return 0;
    if (::close(release()) == 0 || errno == EINTR) return 0;
    return errno;
}

int makePath(const BytePath &path, mode_t mode)
{
    if (path.empty()) return ENOENT;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    const BytePath up = path.parent();
    if (!up.empty() && up != path) {
        if (const int err = makePath(up, mode)) return err;
    }
    if (::mkdir(path.c_str(), mode) == 0) return 0;
    const int err = errno;
    if (err != EEXIST) return err;
    return isDirectory(path) ? 0 : ENOTDIR; // made by someone else meanwhile, or not a folder
}

int writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO; // not a regular answer for a non-empty write: never spin on it
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

BytePath workingFolder()
{
    char *cwd = ::getcwd(nullptr, 0);
    BytePath folder(cwd != nullptr ? cwd : "");
    std::free(cwd);
    return folder;
}

BytePath absolutePath(const BytePath &path)
{
    if (path.isAbsolute()) return path;
    const BytePath base = workingFolder();
    return (base.empty() ? BytePath("/") : base) / path.bytes();
}

bool isDirectory(const BytePath &path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int renameNoReplace(int fromDirFd, const char *fromName, int toDirFd, const char *toName)
{
    if (::renameat2(fromDirFd, fromName, toDirFd, toName, RENAME_NOREPLACE) == 0) return 0;
    const int err = errno;
    if (err != EINVAL) return err;
    // EINVAL: the file system may not know the flag (or a folder was to go into itself).
    // A hard link cannot replace anything either; folders cannot be linked and are refused.
    struct stat st {};
    if (::fstatat(fromDirFd, fromName, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return EINVAL;
    if (::linkat(fromDirFd, fromName, toDirFd, toName, 0) != 0) return errno;
    if (::unlinkat(fromDirFd, fromName, 0) != 0) {
        const int unlinkErr = errno;
        ::unlinkat(toDirFd, toName, 0); // back to the way it was
        return unlinkErr;
    }
    return 0;
}

std::optional<Error> writeFileAtomically(const BytePath &path, std::string_view bytes, const AtomicWrite &how)
{
    const std::string &whole = path.bytes();
    const std::string_view name = path.fileName();
    if (whole.empty() || whole.back() == '/' || name == "." || name == "..") {
        return Error::posix(whole.empty() ? ENOENT : EISDIR, QStringLiteral("cannot write ") + path.displayString());
    }
    const BytePath parent = path.parent();
    const UniqueFd folder(::open(parent.empty() ? "." : parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) return Error::posix(errno, QStringLiteral("cannot write ") + path.displayString());
    if (const auto failure = writeAt(folder.get(), std::string(name), bytes, how)) {
        return writeError(*failure, how, path.displayString());
    }
    return std::nullopt;
}

std::optional<Error> writeFileAtomicallyAt(int dirFd, std::string_view name, std::string_view bytes,
                                           const AtomicWrite &how)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) {
        return Error::posix(EINVAL, QStringLiteral("cannot write ") + shownName(name));
    }
    if (const auto failure = writeAt(dirFd, std::string(name), bytes, how)) {
        return writeError(*failure, how, shownName(name));
    }
    return std::nullopt;
}

} // namespace lurkel
