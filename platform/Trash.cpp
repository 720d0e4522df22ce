#include "Trash.h"

#include "MountTable.h"
#include "PosixFile.h"
#include "XdgDirs.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";
constexpr int kMaxNameAttempts = 10000;

QString quoted(std::string_view bytes)
{
    return QLatin1Char('"') + QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())) + QLatin1Char('"');
}

std::optional<std::string> realPath(const BytePath &path)
{
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// files/ and info/ in trashDir, made when missing; both must be real folders.
std::optional<Error> ensureTrashFolders(int trashFd)
{
    for (const char *name : {"files", "info"}) {
        if (::mkdirat(trashFd, name, 0700) != 0 && errno != EEXIST) {
            return Error::posix(errno, QStringLiteral("cannot create the trash's %1 folder").arg(QLatin1String(name)));
        }
        struct stat st {};
        if (::fstatat(trashFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) {
            return Error::app(QStringLiteral("the trash's %1 folder is not a folder").arg(QLatin1String(name)));
        }
    }
    return std::nullopt;
}

std::optional<Error> useTrashFolder(const BytePath &trash)
{
    UniqueFd fd(::open(trash.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) return Error::posix(errno, QStringLiteral("cannot open the trash ") + quoted(trash.bytes()));
    return ensureTrashFolders(fd.get());
}

// The top folder of the file system that holds path (a real path) on device dev: the mount
// table's answer when it agrees with the device, else the highest folder above path that is
// still on dev.
std::string topFolderFor(const std::string &path, dev_t dev, const Mount *mount)
{
    if (mount != nullptr) {
        struct stat st {};
        if (::stat(mount->mountPoint.c_str(), &st) == 0 && st.st_dev == dev) return mount->mountPoint;
    }
    BytePath current(path);
    while (current.bytes() != "/") {
        const BytePath up = current.parent();
        struct stat st {};
        if (up.empty() || ::stat(up.c_str(), &st) != 0 || st.st_dev != dev) break;
        current = up;
    }
    return current.bytes();
}

// The nearest folder at or above path that exists.
BytePath nearestExisting(BytePath path)
{
    struct stat st {};
    while (!path.empty() && ::stat(path.c_str(), &st) != 0 && path.bytes() != "/")
        path = path.parent();
    return path;
}

} // namespace

BytePath Trash::homeTrash()
{
    return XdgDirs::dataHome() / "Trash";
}

std::string Trash::percentEncode(std::string_view bytes)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0x0F]);
        }
    }
    return out;
}

std::string Trash::trashInfo(std::string_view originalPath, std::time_t deletionTime)
{
    std::tm local{};
    ::localtime_r(&deletionTime, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + percentEncode(originalPath) + "\nDeletionDate=" + date + "\n";
}

std::variant<BytePath, Error> Trash::trashDirectoryInTopDir(const BytePath &topDir)
{
    UniqueFd top(::open(topDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!top.valid()) return Error::posix(errno, QStringLiteral("cannot open ") + quoted(topDir.bytes()));
    const uid_t uid = ::geteuid();
    const std::string uidName = std::to_string(uid);

    // The administrator's shared trash: only a real sticky folder, and in it only a folder of ours.
    struct stat shared {};
    if (::fstatat(top.get(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX) != 0) {
        UniqueFd sharedFd(::openat(top.get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat own {};
        bool usable = false;
        if (sharedFd.valid()) {
            if (::fstatat(sharedFd.get(), uidName.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0) {
                usable = S_ISDIR(own.st_mode) && own.st_uid == uid;
            } else if (errno == ENOENT) {
                usable = ::mkdirat(sharedFd.get(), uidName.c_str(), 0700) == 0;
            }
        }
        if (usable) {
            const BytePath trash = topDir / ".Trash" / uidName;
            if (!useTrashFolder(trash)) return trash;
        }
    }

    // Our own trash at the top: ".Trash-$uid".
    const std::string ownName = ".Trash-" + uidName;
    struct stat own {};
    if (::fstatat(top.get(), ownName.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISDIR(own.st_mode) || own.st_uid != uid) {
            return Error::app(quoted((topDir / ownName).bytes()) + QStringLiteral(" is not a trash folder of yours"));
        }
    } else if (errno != ENOENT) {
        return Error::posix(errno, QStringLiteral("cannot read ") + quoted((topDir / ownName).bytes()));
    } else if (::mkdirat(top.get(), ownName.c_str(), 0700) != 0) {
        return Error::posix(errno, QStringLiteral("cannot create a trash in ") + quoted(topDir.bytes()));
    }
    const BytePath trash = topDir / ownName;
    if (auto error = useTrashFolder(trash)) return *error;
    return trash;
}

ItemOutcome Trash::moveToTrash(const BytePath &item)
{
    ItemOutcome outcome{item, {}, {}, {}};
    const auto fail = [&outcome](Error error) {
        outcome.error = std::move(error);
        return outcome;
    };
    const auto split = FileOperations::splitItemPath(item);
    if (!split) return fail(Error::app(QStringLiteral("not a name that can be moved to the trash")));
    const std::string &name = split->name;
    UniqueFd parent(::open(split->folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid()) return fail(Error::posix(errno, QStringLiteral("cannot open its folder")));
    struct stat st {};
    if (::fstatat(parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return fail(Error::posix(errno, QStringLiteral("cannot read it")));
    }
    const bool isDirectory = S_ISDIR(st.st_mode);
    const auto parentPath = realPath(split->folder);
    if (!parentPath) return fail(Error::posix(errno, QStringLiteral("cannot resolve its folder")));
    const std::string originalPath = (BytePath(*parentPath) / name).bytes();
    // Everything is on its folder's file system (whose device a non-folder on an overlay may
    // not show itself); a folder on another device is a mount point, which stays where it is.
    struct stat parentSt {};
    if (::fstat(parent.get(), &parentSt) != 0)
        return fail(Error::posix(errno, QStringLiteral("cannot open its folder")));
    if (isDirectory && st.st_dev != parentSt.st_dev) {
        return fail(Error::app(QStringLiteral("a mounted file system cannot be moved to the trash")));
    }
    const dev_t dev = parentSt.st_dev;

    const MountTable mounts = MountTable::read();
    const Mount *itemMount = mounts.mountFor(*parentPath);
    const BytePath home = homeTrash();
    const BytePath homeBase = nearestExisting(home);
    const auto homeBaseReal = realPath(homeBase);
    struct stat homeSt {};
    bool useHome = homeBaseReal && ::stat(homeBaseReal->c_str(), &homeSt) == 0 && homeSt.st_dev == dev;
    if (useHome && itemMount != nullptr) {
        // Same device through another mount (a bind mount): a rename would cross mounts.
        const Mount *homeMount = mounts.mountFor(*homeBaseReal);
        useHome = homeMount != nullptr && homeMount->mountPoint == itemMount->mountPoint;
    }

    BytePath trash;
    std::string recordedPath;
    if (useHome) {
        if (const int err = makePath(home, 0700)) {
            return fail(Error::posix(err, QStringLiteral("cannot create the trash")));
        }
        if (auto error = useTrashFolder(home)) return fail(*error);
        trash = home;
        recordedPath = originalPath;
    } else {
        if (itemMount != nullptr && MountTable::isPseudoFileSystem(itemMount->fsType)) {
            return fail(Error::app(QStringLiteral("items on a %1 file system cannot be moved to the trash")
                                       .arg(QString::fromUtf8(itemMount->fsType.c_str()))));
        }
        const std::string top = topFolderFor(*parentPath, dev, itemMount);
        auto found = trashDirectoryInTopDir(BytePath(top));
        if (auto *error = std::get_if<Error>(&found)) {
            Error refused = *error;
            refused.userInfo[Error::kDescriptionKey] = QStringLiteral("no trash can be used on the file system at ") +
                                                       quoted(top) + QStringLiteral(": ") +
                                                       error->localizedDescription();
            return fail(refused);
        }
        trash = std::get<BytePath>(found);
        recordedPath = top == "/" ? originalPath.substr(1) : originalPath.substr(top.size() + 1);
    }

    UniqueFd trashFd(::open(trash.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    UniqueFd filesFd(::open((trash / "files").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    UniqueFd infoFd(::open((trash / "info").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!trashFd.valid() || !filesFd.valid() || !infoFd.valid()) {
        return fail(Error::posix(errno, QStringLiteral("cannot open the trash ") + quoted(trash.bytes())));
    }
    // Never trash the trash, anything in it, or a folder that holds it.
    if (FileOperations::isAtOrInside(parent.get(), trashFd.get())) {
        return fail(Error::app(QStringLiteral("it is already in the trash")));
    }
    if (isDirectory) {
        UniqueFd itemFd(::openat(parent.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (itemFd.valid() && FileOperations::isAtOrInside(trashFd.get(), itemFd.get())) {
            return fail(Error::app(QStringLiteral("it is or holds the trash")));
        }
    }

    const std::string info = trashInfo(recordedPath, std::time(nullptr));
    const std::size_t maxName = NAME_MAX - kInfoSuffix.size();
    for (int n = 1; n <= kMaxNameAttempts; ++n) {
        const std::string trashName = FileOperations::numberedName(name, n, isDirectory, maxName);
        const std::string infoName = trashName + std::string(kInfoSuffix);
        UniqueFd fd(
            ::openat(infoFd.get(), infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid()) {
            if (errno == EEXIST) continue;
            return fail(Error::posix(errno, QStringLiteral("cannot write in the trash")));
        }
        int writeError = writeAll(fd.get(), info);
        const int closeError = fd.close();
        if (writeError == 0) writeError = closeError;
        if (writeError != 0) {
            ::unlinkat(infoFd.get(), infoName.c_str(), 0);
            return fail(Error::posix(writeError, QStringLiteral("cannot write in the trash")));
        }
        const int rc = renameNoReplace(parent.get(), name.c_str(), filesFd.get(), trashName.c_str());
        if (rc == 0) {
            outcome.destination = trash / "files" / trashName;
            return outcome;
        }
        ::unlinkat(infoFd.get(), infoName.c_str(), 0);
        if (rc == EEXIST || rc == ENOTEMPTY) continue; // an entry without info file holds the name
        if (rc == EXDEV) return fail(Error::app(QStringLiteral("the trash is on another file system")));
        return fail(Error::posix(rc, QStringLiteral("cannot move it to the trash")));
    }
    return fail(Error::app(QStringLiteral("no free name in the trash")));
}

} // namespace lurkel
