#include "Autostart.h"

#include "Log.h"
#include "PosixFile.h"
#include "XdgDirs.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

constexpr std::string_view kSuffix = ".desktop";
// Anything larger is not a desktop entry.
constexpr off_t kMaxEntryBytes = 1 << 20;

bool isEntryName(std::string_view name)
{
    return name.size() > kSuffix.size() && name.ends_with(kSuffix) && name.front() != '.';
}

// Reads an entry file; nullopt when it is not a readable regular file of sensible size.
std::optional<std::string> readEntryFile(const BytePath &path)
{
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) return std::nullopt;
    struct stat st {};
    std::optional<std::string> text;
    if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxEntryBytes) {
        std::string bytes;
        char buffer[8192];
        ssize_t n = 0;
        while ((n = ::read(fd.get(), buffer, sizeof buffer)) != 0) {
            if (n < 0) {
                if (errno == EINTR) continue;
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        if (n == 0) text = std::move(bytes);
    }
    return text;
}

// Whether the folder holds something under that name (a dangling link counts as nothing).
bool present(const BytePath &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

AutostartEntry load(std::string fileId, BytePath path, bool inUserFolder)
{
    AutostartEntry e{std::move(fileId), std::move(path), inUserFolder, false, {}};
    if (const auto text = readEntryFile(e.path)) {
        e.readable = true;
        e.entry = DesktopEntry::parse(*text);
    } else {
        qCInfo(lcLogin, "autostart entry %s cannot be read", qUtf8Printable(e.path.displayString()));
    }
    return e;
}

// The entry names of one folder; an absent or unreadable folder has none.
std::vector<std::string> entryNames(const BytePath &folder)
{
    std::vector<std::string> names;
    DIR *dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent *d = ::readdir(dir)) {
        const std::string_view name(d->d_name);
        if (isEntryName(name) && present(folder / name)) names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

Error fileError(int err, const char *what, const BytePath &path)
{
    return Error::posix(err, QString::fromLatin1(what) + QLatin1Char(' ') + path.displayString());
}

} // namespace

bool AutostartEntry::isEnabled() const
{
    return readable && entry.value("Type") == "Application" && !entry.boolValue("Hidden", false) &&
           entry.boolValue("X-GNOME-Autostart-enabled", true);
}

BytePath Autostart::userFolder()
{
    return XdgDirs::configHome() / "autostart";
}

BytePathList Autostart::systemFolders()
{
    BytePathList folders;
    for (const BytePath &dir : XdgDirs::configDirs())
        folders.push_back(dir / "autostart");
    return folders;
}

BytePath Autostart::userEntryPath(std::string_view fileId)
{
    return userFolder() / (std::string(fileId) + std::string(kSuffix));
}

std::optional<AutostartEntry> Autostart::entry(std::string_view fileId)
{
    const std::string name = std::string(fileId) + std::string(kSuffix);
    if (!isEntryName(name) || fileId.find('/') != std::string_view::npos) return std::nullopt;
    if (const BytePath user = userFolder() / name; present(user)) return load(std::string(fileId), user, true);
    for (const BytePath &folder : systemFolders()) {
        if (const BytePath path = folder / name; present(path)) return load(std::string(fileId), path, false);
    }
    return std::nullopt;
}

std::vector<AutostartEntry> Autostart::entries()
{
    // file id -> (path, in the user's folder); the first folder that has a name keeps it
    std::map<std::string, std::pair<BytePath, bool>> found;
    const BytePath user = userFolder();
    BytePathList folders{user};
    const BytePathList system = systemFolders();
    folders.insert(folders.end(), system.begin(), system.end());
    for (const BytePath &folder : folders) {
        for (const std::string &name : entryNames(folder)) {
            std::string fileId = name.substr(0, name.size() - kSuffix.size());
            found.try_emplace(std::move(fileId), folder / name, folder == user);
        }
    }
    std::vector<AutostartEntry> result;
    result.reserve(found.size());
    for (auto &[fileId, where] : found)
        result.push_back(load(fileId, where.first, where.second));
    return result;
}

bool Autostart::hasSystemEntry(std::string_view fileId)
{
    const std::string name = std::string(fileId) + std::string(kSuffix);
    for (const BytePath &folder : systemFolders()) {
        if (present(folder / name)) return true;
    }
    return false;
}

std::optional<Error> Autostart::writeUserEntry(std::string_view fileId, std::string_view text)
{
    const BytePath folder = userFolder();
    const BytePath path = userEntryPath(fileId);
    if (const int err = makePath(folder, 0700)) return fileError(err, "cannot create", folder);
    // The temporary file is a dot name without the .desktop ending: no session ever reads a
    // half-written entry. 0644 whatever the umask, so that the session can read it.
    return writeFileAtomically(path, text, {.mode = 0644});
}

std::optional<Error> Autostart::removeUserEntry(std::string_view fileId)
{
    const BytePath path = userEntryPath(fileId);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return fileError(errno, "cannot remove", path);
    if (const UniqueFd folder(::open(userFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); folder.valid()) {
        ::fsync(folder.get());
    }
    return std::nullopt;
}

} // namespace lurkel
