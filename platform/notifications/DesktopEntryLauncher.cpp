#include "DesktopEntryLauncher.h"

#include "Log.h"
#include "Spawn.h"
#include "XdgDirs.h"

#include <QStandardPaths>

#include <cerrno>
#include <fstream>

#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace lurkel {
namespace {

constexpr std::string_view kSuffix = ".desktop";

bool isKind(const BytePath &path, mode_t kind)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
}

bool isPlainPart(std::string_view part)
{
    return !part.empty() && part != "." && part != "..";
}

// name below folder, where each "-" of name may also be a subfolder's end.
std::optional<BytePath> lookUp(const BytePath &folder, std::string_view name)
{
    if (isKind(folder / std::string(name), S_IFREG)) return folder / std::string(name);
    for (std::size_t dash = name.find('-'); dash != std::string_view::npos; dash = name.find('-', dash + 1)) {
        const std::string_view sub = name.substr(0, dash);
        if (!isPlainPart(sub)) continue;
        const BytePath subfolder = folder / std::string(sub);
        if (!isKind(subfolder, S_IFDIR)) continue;
        if (auto found = lookUp(subfolder, name.substr(dash + 1))) return found;
    }
    return std::nullopt;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// "Hidden=true" in the [Desktop Entry] group.
bool isRemoved(const BytePath &entry)
{
    std::ifstream in(entry.c_str(), std::ios::binary);
    bool inMainGroup = false;
    for (std::string text; std::getline(in, text);) {
        const std::string_view line = trimmed(text);
        if (line.starts_with('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (inMainGroup && equals != std::string_view::npos && trimmed(line.substr(0, equals)) == "Hidden") {
            return trimmed(line.substr(equals + 1)) == "true";
        }
    }
    return false;
}

} // namespace

std::optional<BytePath> DesktopEntryLauncher::find(const QString &desktopId)
{
    const QByteArray encoded = desktopId.toUtf8();
    std::string name(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    if (!name.ends_with(kSuffix)) name += kSuffix;
    if (name.size() == kSuffix.size() || name.find('/') != std::string::npos || name.find('\0') != std::string::npos ||
        !isPlainPart(name)) {
        return std::nullopt;
    }
    BytePathList folders{XdgDirs::dataHome() / "applications"};
    for (const BytePath &data : XdgDirs::dataDirs())
        folders.push_back(data / "applications");
    for (const BytePath &folder : folders) {
        if (auto entry = lookUp(folder, name)) {
            if (isRemoved(*entry)) return std::nullopt;
            return entry;
        }
    }
    return std::nullopt;
}

bool DesktopEntryLauncher::launch(const QString &desktopId)
{
    const std::optional<BytePath> entry = find(desktopId);
    if (!entry) {
        qCInfo(lcPlatform, "no installed application has the desktop entry %s", qUtf8Printable(desktopId));
        return false;
    }
    return launchEntry(*entry);
}

bool DesktopEntryLauncher::launchEntry(const BytePath &entry)
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) {
        qCWarning(lcPlatform, "gio is not installed: cannot start %s", qUtf8Printable(entry.displayString()));
        return false;
    }
    pid_t pid = -1;
    if (const std::optional<Error> error = Spawn::launchDetached({gio.toStdString(), "launch", entry.bytes()}, &pid)) {
        qCWarning(lcPlatform, "gio launch %s: %s", qUtf8Printable(entry.displayString()),
                  qUtf8Printable(error->localizedDescription()));
        return false;
    }
    // gio ends once the application has started; it is reaped here so that no zombie stays.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }).detach();
    return true;
}

} // namespace lurkel
