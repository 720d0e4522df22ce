#include "PrivateBus.h"

#include "SpawnAttributes.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace lurkel::test {
namespace {

constexpr int kStartTimeoutMs = 30000;
constexpr int kStopTimeoutMs = 5000;
constexpr int kAddressFd = 3;
constexpr const char kAddressVariable[] = "DBUS_SESSION_BUS_ADDRESS";

std::string xmlEscaped(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A value inside a D-Bus address: bytes outside the optionally-escaped set become %XX.
std::string addressEscaped(const std::string &text)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '-' || b == '_' ||
            b == '/' || b == '.' || b == '\\' || b == '*') {
            out += c;
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0xf];
        }
    }
    return out;
}

std::string configuration(const std::string &socket, const BytePathList &serviceDirectories)
{
    std::string xml = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                      "<busconfig>\n"
                      "  <type>session</type>\n"
                      "  <keep_umask/>\n"
                      "  <listen>unix:path=" +
                      xmlEscaped(addressEscaped(socket)) +
                      "</listen>\n"
                      "  <auth>EXTERNAL</auth>\n";
    for (const BytePath &dir : serviceDirectories) {
        xml += "  <servicedir>" + xmlEscaped(dir.bytes()) + "</servicedir>\n";
    }
    xml += "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
    return xml;
}

// Waits until pid has ended, at most timeoutMs; true when it was reaped.
bool reapWithin(pid_t pid, int timeoutMs)
{
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) return false;
    pollfd pfd{pidfd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&pfd, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    ::close(pidfd);
    if (rc <= 0) return false;
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid;
}

void stopDaemon(pid_t pid)
{
    ::kill(pid, SIGTERM);
    if (reapWithin(pid, kStopTimeoutMs)) return;
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
}

// A test process that crashes must not leave its daemon behind.
std::atomic<pid_t> g_sharedPid{-1};
constexpr int kFatalSignals[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL};
struct sigaction g_previousActions[std::size(kFatalSignals)];

void onFatalSignal(int sig)
{
    const pid_t pid = g_sharedPid.load();
    if (pid > 0) ::kill(pid, SIGKILL);
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        if (kFatalSignals[i] == sig) ::sigaction(sig, &g_previousActions[i], nullptr);
    }
    ::raise(sig);
}

void installCrashCleanup()
{
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        struct sigaction action {};
        action.sa_handler = onFatalSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(kFatalSignals[i], &action, &g_previousActions[i]);
    }
}

BytePathList &sharedServiceDirectories()
{
    static BytePathList dirs;
    return dirs;
}

// posix_spawn's result: the daemon's pid and the address it printed, or why it failed.
struct Launch {
    pid_t pid = -1;
    std::string address;
    std::string failure;
};

std::string withErrno(const std::string &what, int errnum)
{
    return errnum == 0 ? what : what + ": " + std::strerror(errnum);
}

// Reads the first line the daemon prints on the pipe; empty on EOF or timeout.
std::string readAddress(int fd, std::string &failure)
{
    std::string printed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (printed.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            failure = "no address printed within " + std::to_string(kStartTimeoutMs) + " ms";
            return {};
        }
        pollfd pfd{fd, POLLIN, 0};
        const int rc = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (rc <= 0) continue; // EINTR or the deadline, checked above
        char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failure = "the daemon exited before printing its address";
            return {};
        }
        printed.append(buf, static_cast<std::size_t>(n));
    }
    printed.resize(printed.find('\n'));
    return printed;
}

Launch launchDaemon(const std::string &configPath, const std::string &logPath)
{
    Launch launch;
    const std::string daemon = LURKEL_DBUS_DAEMON;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        launch.failure = withErrno("pipe", errno);
        return launch;
    }
    // Keep the write end clear of the descriptor numbers the child rearranges.
    const int writeEnd = ::fcntl(pipeFds[1], F_DUPFD_CLOEXEC, 10);
    const int dupError = errno;
    ::close(pipeFds[1]);
    if (writeEnd < 0) {
        ::close(pipeFds[0]);
        launch.failure = withErrno("dup", dupError);
        return launch;
    }

    const std::string configArg = "--config-file=" + configPath;
    const std::string addressArg = "--print-address=" + std::to_string(kAddressFd);
    std::vector<char *> argv;
    for (const std::string *arg : {&daemon, &configArg, &addressArg})
        argv.push_back(const_cast<char *>(arg->c_str()));
    for (const char *flag : {"--nofork", "--nopidfile", "--nosyslog"})
        argv.push_back(const_cast<char *>(flag));
    argv.push_back(nullptr);

    // The daemon's output goes to a log file rather than our own standard output, so
    // that a daemon outliving a killed test never holds the test runner's pipe open.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, kAddressFd);
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
    posix_spawn_file_actions_addclosefrom_np(&actions, kAddressFd + 1);
#endif
    const SpawnAttributes attr;

    const int spawnError = ::posix_spawn(&launch.pid, daemon.c_str(), &actions, attr.get(), argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(writeEnd);
    if (spawnError != 0) {
        ::close(pipeFds[0]);
        launch.pid = -1;
        launch.failure = withErrno("cannot start " + daemon, spawnError);
        return launch;
    }
    launch.address = readAddress(pipeFds[0], launch.failure);
    ::close(pipeFds[0]);
    if (!launch.failure.empty()) {
        stopDaemon(launch.pid);
        launch.pid = -1;
        launch.failure = daemon + ": " + launch.failure;
    }
    return launch;
}

} // namespace

PrivateBus::PrivateBus()
{
    start({});
}

PrivateBus::PrivateBus(const BytePathList &extraServiceDirectories)
{
    start(extraServiceDirectories);
}

void PrivateBus::start(const BytePathList &extraServiceDirectories)
{
    BytePath root = TestEnvironment::root();
    if (root.empty()) root = BytePath(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    std::string folder = (root / "bus-XXXXXX").bytes();
    if (::mkdtemp(folder.data()) == nullptr) {
        ADD_FAILURE() << "private bus: " << withErrno("cannot create " + folder, errno);
        return;
    }
    m_folder = BytePath(folder);
    m_serviceDirectory = m_folder / "services";
    const std::string socket = (m_folder / "socket").bytes();
    const BytePath configPath = m_folder / "session.conf";
    const BytePath logPath = m_folder / "dbus-daemon.log";

    if (socket.size() >= sizeof(sockaddr_un::sun_path)) {
        ADD_FAILURE() << "private bus: the socket path is too long for a unix socket: " << socket;
        return;
    }
    if (::mkdir(m_serviceDirectory.c_str(), 0700) != 0) {
        ADD_FAILURE() << "private bus: " << withErrno("cannot create " + m_serviceDirectory.bytes(), errno);
        return;
    }
    BytePathList serviceDirs{m_serviceDirectory};
    serviceDirs.insert(serviceDirs.end(), extraServiceDirectories.begin(), extraServiceDirectories.end());
    writeFile(configPath, configuration(socket, serviceDirs));

    const Launch launch = launchDaemon(configPath.bytes(), logPath.bytes());
    if (!launch.failure.empty()) {
        const std::string log = readFile(logPath);
        std::fprintf(stderr, "private bus: %s\n%s", launch.failure.c_str(), log.c_str());
        ADD_FAILURE() << "private bus: " << launch.failure << (log.empty() ? "" : "\ndaemon output:\n") << log;
        return;
    }
    m_pid = launch.pid;
    m_address = QString::fromUtf8(launch.address.data(), static_cast<qsizetype>(launch.address.size()));
    if (const char *previous = std::getenv(kAddressVariable)) {
        m_hadPreviousAddress = true;
        m_previousAddress = previous;
    }
    ::setenv(kAddressVariable, launch.address.c_str(), 1);
}

PrivateBus::~PrivateBus()
{
    if (m_pid <= 0) return;
    if (g_sharedPid.load() == m_pid) g_sharedPid.store(-1);
    stopDaemon(m_pid);
    m_pid = -1;
    const char *current = std::getenv(kAddressVariable);
    if (current != nullptr && m_address == QString::fromUtf8(current)) {
        if (m_hadPreviousAddress) {
            ::setenv(kAddressVariable, m_previousAddress.constData(), 1);
        } else {
            ::unsetenv(kAddressVariable);
        }
    }
}

PrivateBus &PrivateBus::shared()
{
    static PrivateBus bus(sharedServiceDirectories());
    static const bool cleanupInstalled = [] {
        if (bus.isRunning()) {
            g_sharedPid.store(bus.pid());
            installCrashCleanup();
        }
        return true;
    }();
    (void)cleanupInstalled;
    if (!bus.isRunning()) ADD_FAILURE() << "the shared private bus is not running (see the first failure)";
    return bus;
}

void PrivateBus::setSharedServiceDirectories(const BytePathList &directories)
{
    sharedServiceDirectories() = directories;
}

} // namespace lurkel::test
