#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel::test {
namespace {

std::string g_root;
int g_homeCounter = 0;

int removeEntry(const char *path, const struct stat *, int, struct FTW *)
{
    ::chmod(path, 0700);
    return ::remove(path);
}

void makeDir(const std::string &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "test environment: mkdir %s: %s\n", path.c_str(), std::strerror(errno));
        std::abort();
    }
}

} // namespace

BytePath TestEnvironment::root()
{
    return BytePath(g_root);
}

BytePath TestEnvironment::freshHome()
{
    const std::string base = g_root + "/env" + std::to_string(g_homeCounter++);
    makeDir(base);
    const std::string home = base + "/home";
    makeDir(home);
    const std::pair<const char *, std::string> vars[] = {
        {"HOME", home},
        {"LURKEL_TEST_PASSWD_HOME", home}, // the password database's home, for UserInfo
        {"XDG_CONFIG_HOME", home + "/.config"},
        {"XDG_DATA_HOME", home + "/.local/share"},
        {"XDG_CACHE_HOME", home + "/.cache"},
        {"XDG_STATE_HOME", home + "/.local/state"},
        {"XDG_RUNTIME_DIR", base + "/runtime"},
        {"XDG_CONFIG_DIRS", base + "/etc/xdg"},
        {"XDG_DATA_DIRS", base + "/usr/share:/usr/share"},
    };
    for (const auto &[name, value] : vars) {
        if (std::strcmp(name, "XDG_DATA_DIRS") != 0) {
            std::string path = value;
            // create each folder (XDG_CONFIG_DIRS has one entry here)
            std::string partial;
            for (std::size_t i = 1; i <= path.size(); ++i) {
                if (i == path.size() || path[i] == '/') {
                    partial = path.substr(0, i);
                    if (partial.size() > g_root.size()) makeDir(partial);
                }
            }
        }
        ::setenv(name, value.c_str(), 1);
    }
    return BytePath(home);
}

BytePath TestEnvironment::buildDir()
{
    const char *dir = std::getenv("LURKEL_BUILD_DIR");
    return BytePath(dir ? dir : ".");
}

void TestEnvironment::setUpProcess()
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lurkel-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "test environment: mkdtemp: %s\n", std::strerror(errno));
        std::abort();
    }
    g_root = pattern;
    ::chmod(g_root.c_str(), 0755); // children dropped to another user may need to reach it
    freshHome();
    // Never reach the user's session: buses are private and started by the tests.
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("LURKEL_SYSTEM_VERSION");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Background work keeps the processor's normal share: on a busy test machine a thread at
    // SCHED_IDLE may wait for minutes (the disk's idle class stays).
    ::setenv("LURKEL_TEST_IDLE_CPU", "0", 1);
}

void TestEnvironment::tearDownProcess()
{
    if (!g_root.empty() && std::getenv("LURKEL_KEEP_TEST_DIRS") == nullptr) {
        ::nftw(g_root.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
}

void writeFile(const BytePath &path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << "open " << path.bytes() << ": " << std::strerror(errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0) << std::strerror(errno);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

std::string readFile(const BytePath &path)
{
    std::string out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return out;
}

} // namespace lurkel::test
