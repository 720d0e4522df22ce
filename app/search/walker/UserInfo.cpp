#include "UserInfo.h"

#include "XdgDirs.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace lurkel {
namespace {

constexpr const char kPasswdHomeOverride[] = "LURKEL_TEST_PASSWD_HOME";

struct PasswdEntry {
    std::string home;
};

std::optional<PasswdEntry> lookUpUser(uid_t uid)
{
    if (const char *override = std::getenv(kPasswdHomeOverride)) {
        if (*override == '\0') return std::nullopt;
        return PasswdEntry{override};
    }
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 4096);
    for (;;) {
        struct passwd entry {};
        struct passwd *found = nullptr;
        const int rc = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (std::size_t{1} << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || found == nullptr) return std::nullopt;
        return PasswdEntry{entry.pw_dir != nullptr ? entry.pw_dir : ""};
    }
}

} // namespace

std::string UserInfo::loginNameFromSession()
{
    for (const char *variable : {"LOGNAME", "USER"}) {
        const char *value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return value;
    }
    char name[256] = {};
    if (::getlogin_r(name, sizeof name) == 0 && name[0] != '\0') return name;
    return {};
}

UserInfo::UserInfo()
{
    const uid_t uid = ::getuid();
    const auto entry = lookUpUser(uid);
    if (entry) m_userID = std::to_string(uid);
    if (entry && !entry->home.empty()) {
        m_homePath = BytePath(entry->home);
    } else if (const std::string login = loginNameFromSession(); !login.empty()) {
        m_homePath = BytePath("/home") / login;
    } else {
        // Nobody to name (a container run under an unknown id): the session's own home.
        m_homePath = XdgDirs::home();
    }
}

} // namespace lurkel
