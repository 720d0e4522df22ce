#include "SessionDisplay.h"

#include "PosixFile.h"
#include "Spawn.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

// The file managers the scripts switch, in the order they prefer them.
constexpr std::array<std::string_view, 7> kFileManagers = {"nautilus", "nemo",       "caja",   "thunar",
                                                           "dolphin",  "pcmanfm-qt", "pcmanfm"};
// A process's environment is rarely more than a few pages; a huge one is read in part.
constexpr std::size_t kMaxEnvironmentBytes = 1U << 20;

std::string readSmallFile(int dirFd, const char *name)
{
    UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    std::string text;
    if (!fd.valid()) return text;
    char buffer[4096];
    while (text.size() < kMaxEnvironmentBytes) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(separator, at);
        if (end == std::string::npos) end = text.size();
        if (end > at) pieces.emplace_back(text, at, end - at);
        at = end + 1;
    }
    return pieces;
}

// A bus address without its guid: the session's own processes and a service the bus started
// may name the same bus with and without it.
std::string withoutGuid(const std::string &address)
{
    std::string out;
    for (const std::string &part : split(address, ',')) {
        if (part.starts_with("guid=")) continue;
        if (!out.empty()) out += ',';
        out += part;
    }
    return out;
}

// The value of NAME=VALUE among entries (the last one counts), or empty.
std::string valueOf(const std::vector<std::string> &entries, std::string_view name)
{
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        if (entry->size() > name.size() && entry->starts_with(name) && (*entry)[name.size()] == '=') {
            return entry->substr(name.size() + 1);
        }
    }
    return {};
}

bool hasDisplay(const SessionDisplay::Variables &variables)
{
    return std::any_of(variables.begin(), variables.end(),
                       [](const auto &variable) { return variable.first != "XAUTHORITY"; });
}

} // namespace

const std::vector<std::string> &SessionDisplay::displayVariableNames()
{
    static const std::vector<std::string> names = {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"};
    return names;
}

SessionDisplay::Variables SessionDisplay::displayOf(const std::vector<std::string> &entries)
{
    Variables variables;
    for (const std::string &name : displayVariableNames()) {
        // The last assignment counts, as getenv would see it.
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            if (entry->size() > name.size() + 1 && entry->starts_with(name) && (*entry)[name.size()] == '=') {
                variables.emplace_back(name, entry->substr(name.size() + 1));
                break;
            }
        }
    }
    if (!hasDisplay(variables)) variables.clear(); // an X authority alone places nothing
    return variables;
}

SessionDisplay::Found SessionDisplay::fromFileManagers(const BytePath &procRoot, uid_t uid,
                                                       const std::string &sessionBus)
{
    const std::string ownBus = withoutGuid(sessionBus);
    Found best;
    // Those on this program's bus rank before all others, then the scripts' order.
    const std::size_t otherSession = kFileManagers.size();
    std::size_t bestRank = 2 * otherSession;
    DIR *dir = ::opendir(procRoot.c_str());
    if (dir == nullptr) return best;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view pid = entry->d_name;
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        UniqueFd process(::openat(::dirfd(dir), entry->d_name, O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat st {};
        if (!process.valid() || ::fstat(process.get(), &st) != 0 || st.st_uid != uid) continue;
        std::string comm = readSmallFile(process.get(), "comm");
        if (!comm.empty() && comm.back() == '\n') comm.pop_back();
        const auto known = std::find(kFileManagers.begin(), kFileManagers.end(), comm);
        if (known == kFileManagers.end()) continue;
        const auto order = static_cast<std::size_t>(known - kFileManagers.begin());
        if (order >= bestRank) continue;
        const std::vector<std::string> environment = split(readSmallFile(process.get(), "environ"), '\0');
        const bool sameSession =
            !ownBus.empty() && withoutGuid(valueOf(environment, "DBUS_SESSION_BUS_ADDRESS")) == ownBus;
        const std::size_t rank = sameSession ? order : otherSession + order;
        if (rank >= bestRank) continue;
        Variables variables = displayOf(environment);
        if (variables.empty()) continue;
        bestRank = rank;
        best.source = Source::FileManager;
        best.variables = std::move(variables);
        best.description = QStringLiteral("%1 (pid %2)")
                               .arg(QString::fromUtf8(comm.data(), qsizetype(comm.size())),
                                    QString::fromUtf8(pid.data(), qsizetype(pid.size())));
    }
    ::closedir(dir);
    return best;
}

SessionDisplay::Found SessionDisplay::fromSessionManager()
{
    Found found;
    SpawnRequest request;
    request.argv = {"systemctl", "--user", "show-environment"};
    const SpawnResult shown = Spawn::run(request);
    if (!shown.succeeded()) return found;
    found.variables = displayOf(split(shown.standardOutput, '\n'));
    if (!found.variables.empty()) {
        found.source = Source::Session;
        found.description = QStringLiteral("the session manager");
    }
    return found;
}

SessionDisplay::Found SessionDisplay::find(const BytePath &procRoot)
{
    std::vector<std::string> own;
    for (const std::string &name : displayVariableNames()) {
        if (const char *value = std::getenv(name.c_str())) own.push_back(name + "=" + value);
    }
    Found found;
    found.variables = displayOf(own);
    if (!found.variables.empty()) {
        found.source = Source::OwnEnvironment;
        found.description = QStringLiteral("this program's environment");
        return found;
    }
    const char *bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    found = fromFileManagers(procRoot, ::getuid(), bus != nullptr ? bus : "");
    if (found.source != Source::None) return found;
    return fromSessionManager();
}

} // namespace lurkel
