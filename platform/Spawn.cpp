#include "Spawn.h"

#include "ChildDefaults.h"
#include "Log.h"
#include "PosixFile.h"
#include "SpawnAttributes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ; // NOLINT(readability-redundant-declaration)

namespace lurkel {
namespace {

std::atomic<std::uint64_t> g_starts{0};

std::int64_t monotonicMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

constexpr char kPrlimit[] = "/usr/bin/prlimit";

// The program's path as execvp would find it in PATH, or "" when there is none.
std::string findProgram(const std::string &name, const std::vector<std::string> &environment)
{
    if (name.find('/') != std::string::npos) return name;
    std::string path = "/usr/local/bin:/usr/bin:/bin";
    for (const std::string &entry : environment) {
        if (entry.rfind("PATH=", 0) == 0) path = entry.substr(5);
    }
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string folder = end > start ? path.substr(start, end - start) : std::string(".");
        std::string candidate = folder + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

// argv, started through prlimit with the open-files limit this process had before it changed
// it for itself (posix_spawn cannot set a limit). Empty when argv[0] cannot be
// found, with error set.
std::vector<std::string> withStartLimits(const std::vector<std::string> &argv,
                                         const std::vector<std::string> &environment, int &error)
{
    error = 0;
    const std::optional<rlimit> start = ChildDefaults::openFilesLimit();
    rlimit now{};
    if (!start || ::getrlimit(RLIMIT_NOFILE, &now) != 0 ||
        (now.rlim_cur == start->rlim_cur && now.rlim_max == start->rlim_max) || ::access(kPrlimit, X_OK) != 0) {
        return argv;
    }
    const std::string program = findProgram(argv.front(), environment);
    if (program.empty()) {
        error = ENOENT;
        return {};
    }
    const auto number = [](rlim_t value) {
        return value == RLIM_INFINITY ? std::string("unlimited") : std::to_string(value);
    };
    std::vector<std::string> wrapped{kPrlimit, "--nofile=" + number(start->rlim_cur) + ":" + number(start->rlim_max),
                                     "--", program};
    wrapped.insert(wrapped.end(), argv.begin() + 1, argv.end());
    return wrapped;
}

// The NULL-terminated array of C strings that exec takes; the strings must outlive it.
std::vector<char *> execArray(const std::vector<std::string> &strings)
{
    std::vector<char *> array;
    array.reserve(strings.size() + 1);
    for (const std::string &string : strings)
        array.push_back(const_cast<char *>(string.c_str()));
    array.push_back(nullptr);
    return array;
}

std::vector<std::string> buildEnvironment(const SpawnRequest &request)
{
    std::vector<std::string> env;
    auto overridden = [&request](std::string_view entry) {
        const auto eq = entry.find('=');
        const std::string_view name = entry.substr(0, eq);
        for (const auto &[n, v] : request.environment) {
            if (n == name) return true;
        }
        for (const auto &n : request.unsetEnvironment) {
            if (n == name) return true;
        }
        return false;
    };
    // What this process changed for itself goes back to what it was, unless the request
    // says otherwise.
    const auto given = ChildDefaults::environment();
    const auto isGivenBack = [&given](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('='));
        for (const auto &[n, v] : given) {
            if (n == name) return true;
        }
        return false;
    };
    for (char **e = environ; e != nullptr && *e != nullptr; ++e) {
        if (!overridden(*e) && !isGivenBack(*e)) env.emplace_back(*e);
    }
    for (const auto &[n, v] : given) {
        if (v && !overridden(n)) env.push_back(n + "=" + *v);
    }
    for (const auto &[n, v] : request.environment)
        env.push_back(n + "=" + v);
    return env;
}

} // namespace

SpawnCancel::SpawnCancel() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void SpawnCancel::cancel()
{
    m_cancelled.store(true);
    const std::uint64_t one = 1;
    if (m_fd.valid()) {
        [[maybe_unused]] const ssize_t n = ::write(m_fd.get(), &one, sizeof one);
    }
}

QString SpawnResult::failureDescription() const
{
    if (error) return error->localizedDescription();
    QString text = QString::fromUtf8(standardError.data(), static_cast<qsizetype>(standardError.size())).trimmed();
    const QString tail =
        signal != 0 ? QStringLiteral("(signal %1)").arg(signal) : QStringLiteral("(exit %1)").arg(exitStatus);
    return text.isEmpty() ? tail : text + QLatin1Char(' ') + tail;
}

SpawnResult Spawn::run(const SpawnRequest &request, SpawnCancel *cancel)
{
    SpawnResult result;
    if (request.argv.empty()) {
        result.error = Error::app(QStringLiteral("nothing to run"));
        return result;
    }
    if (cancel != nullptr && cancel->isCancelled()) {
        result.cancelled = true;
        result.error = Error::posix(ECANCELED, QString::fromUtf8(request.argv[0].c_str()));
        return result;
    }
    const std::vector<std::string> envStrings = buildEnvironment(request);
    int findError = 0;
    const std::vector<std::string> arguments = withStartLimits(request.argv, envStrings, findError);
    if (findError != 0) {
        result.error = Error::posix(findError, QString::fromUtf8(request.argv[0].c_str()));
        return result;
    }

    int inPipe[2], outPipe[2], errPipe[2];
    if (::pipe2(inPipe, O_CLOEXEC) != 0) {
        result.error = Error::posix(errno, QStringLiteral("pipe"));
        return result;
    }
    UniqueFd inRead(inPipe[0]), inWrite(inPipe[1]);
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        result.error = Error::posix(errno, QStringLiteral("pipe"));
        return result;
    }
    UniqueFd outRead(outPipe[0]), outWrite(outPipe[1]);
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        result.error = Error::posix(errno, QStringLiteral("pipe"));
        return result;
    }
    UniqueFd errRead(errPipe[0]), errWrite(errPipe[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inRead.get(), STDIN_FILENO);
    // Standard error into a memory file, which (unlike a pipe) does not keep the run
    // waiting for the programs that inherit it.
    UniqueFd errFile;
    if (request.discardOutput) {
        errFile = UniqueFd(::memfd_create("lurkel-spawn-stderr", MFD_CLOEXEC));
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (errFile.get() >= 0) {
            posix_spawn_file_actions_adddup2(&actions, errFile.get(), STDERR_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        }
    } else {
        posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
    }
    if (request.workingDirectory) {
        posix_spawn_file_actions_addchdir_np(&actions, request.workingDirectory->c_str());
    }

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t noSignals, defaults;
    sigemptyset(&noSignals);
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGPIPE, SIGCHLD, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &noSignals);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    const std::vector<char *> argv = execArray(arguments);
    const std::vector<char *> envp = execArray(envStrings);

    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
    if (rc == 0) g_starts.fetch_add(1, std::memory_order_relaxed);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        result.error = Error::posix(rc, QString::fromUtf8(request.argv[0].c_str()));
        return result;
    }
    result.started = true;
    inRead.reset();
    outWrite.reset();
    errWrite.reset();

    std::size_t inDone = 0;
    if (request.standardInput.empty()) {
        inWrite.reset();
    } else {
        ::fcntl(inWrite.get(), F_SETFL, ::fcntl(inWrite.get(), F_GETFL) | O_NONBLOCK);
    }

    std::int64_t killAt = -1;
    bool terminated = false;
    char buffer[65536];
    while (outRead.get() >= 0 || errRead.get() >= 0) {
        pollfd fds[4];
        int n = 0;
        const int outIdx = outRead.get() >= 0 ? n : -1;
        if (outIdx >= 0) fds[n++] = {outRead.get(), POLLIN, 0};
        const int errIdx = errRead.get() >= 0 ? n : -1;
        if (errIdx >= 0) fds[n++] = {errRead.get(), POLLIN, 0};
        const int inIdx = inWrite.get() >= 0 ? n : -1;
        if (inIdx >= 0) fds[n++] = {inWrite.get(), POLLOUT, 0};
        const int cancelIdx = (cancel != nullptr && !terminated) ? n : -1;
        if (cancelIdx >= 0) fds[n++] = {cancel->fd(), POLLIN, 0};

        int timeout = -1;
        if (killAt >= 0) timeout = static_cast<int>(std::max<std::int64_t>(0, killAt - monotonicMs()));
        const int ready = ::poll(fds, static_cast<nfds_t>(n), timeout);
        if (ready < 0 && errno != EINTR) break;
        if (killAt >= 0 && monotonicMs() >= killAt) {
            ::kill(-pid, SIGKILL);
            killAt = -1;
        }
        if (ready <= 0) continue;

        auto drain = [&buffer](UniqueFd &fd, std::string &into, short revents) {
            if ((revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
            const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
            if (got > 0) {
                into.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                fd.reset();
            }
        };
        const std::size_t outBefore = result.standardOutput.size();
        const std::size_t errBefore = result.standardError.size();
        if (outIdx >= 0) drain(outRead, result.standardOutput, fds[outIdx].revents);
        if (errIdx >= 0) drain(errRead, result.standardError, fds[errIdx].revents);
        if (request.onOutput &&
            (result.standardOutput.size() != outBefore || result.standardError.size() != errBefore)) {
            request.onOutput(std::string_view(result.standardOutput).substr(outBefore));
        }
        if (inIdx >= 0 && (fds[inIdx].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t put =
                ::write(inWrite.get(), request.standardInput.data() + inDone, request.standardInput.size() - inDone);
            if (put > 0) inDone += static_cast<std::size_t>(put);
            if (put < 0 && errno != EAGAIN && errno != EINTR) inDone = request.standardInput.size();
            if (inDone >= request.standardInput.size()) inWrite.reset();
        }
        if (cancelIdx >= 0 && (fds[cancelIdx].revents & POLLIN) != 0) {
            terminated = true;
            result.cancelled = true;
            ::kill(-pid, SIGTERM);
            killAt = monotonicMs() + request.terminateGraceMs;
        }
    }
    inWrite.reset();

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (errFile.get() >= 0) {
        // What it wrote before it ended (its children may write on; that is not read).
        constexpr std::size_t kMaxErrorText = 65536;
        result.standardError.resize(kMaxErrorText);
        const ssize_t got = ::pread(errFile.get(), result.standardError.data(), kMaxErrorText, 0);
        result.standardError.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    if (result.cancelled) {
        // anything it left behind in its group goes too
        ::kill(-pid, SIGKILL);
    }
    return result;
}

} // namespace lurkel

namespace lurkel {

std::uint64_t Spawn::startCount()
{
    return g_starts.load(std::memory_order_relaxed);
}

std::optional<Error> Spawn::launchDetached(const std::vector<std::string> &argv, pid_t *pid)
{
    if (argv.empty() || argv.front().empty()) return Error::app(QStringLiteral("no program to start"));
    std::vector<std::string> envStrings = buildEnvironment(SpawnRequest{});
    int findError = 0;
    const std::vector<std::string> arguments = withStartLimits(argv, envStrings, findError);
    if (findError != 0) return Error::posix(findError, QString::fromLocal8Bit(argv.front().c_str()));
    const std::vector<char *> args = execArray(arguments);
    const std::vector<char *> envp = execArray(envStrings);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const SpawnAttributes attr(POSIX_SPAWN_SETSID);
    pid_t child = -1;
    const int rc = ::posix_spawn(&child, args.front(), &actions, attr.get(), args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return Error::posix(rc, QString::fromLocal8Bit(argv.front().c_str()));
    g_starts.fetch_add(1, std::memory_order_relaxed);
    if (pid != nullptr) *pid = child;
    return std::nullopt;
}

} // namespace lurkel
