#include "ChildProcesses.h"

#include "SpawnAttributes.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace lurkel::test {

BytePath installPrograms(const std::string &folderName,
                         const std::vector<std::pair<std::string, std::string>> &programs)
{
    const BytePath folder = TestEnvironment::root() / folderName;
    EXPECT_EQ(::mkdir(folder.c_str(), 0755), 0) << folder.bytes() << ": " << std::strerror(errno);
    ::chmod(folder.c_str(), 0755);
    for (const auto &[from, name] : programs) {
        const std::string bytes = readFile(BytePath(from));
        EXPECT_FALSE(bytes.empty()) << "cannot read " << from;
        writeFile(folder / name, bytes);
        ::chmod((folder / name).c_str(), 0755);
    }
    return folder;
}

pid_t startProgram(const std::string &program, const BytePath &logFile, const std::vector<std::string> &arguments)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const SpawnAttributes attr;
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, attr.get(), argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << "cannot start " << program << ": " << std::strerror(rc);
    return rc == 0 ? pid : -1;
}

std::optional<int> waitForExit(pid_t pid, int timeoutMs)
{
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) {
        ADD_FAILURE() << "pidfd_open " << pid << ": " << std::strerror(errno);
        return std::nullopt;
    }
    bool ended = false;
    {
        QSocketNotifier notifier(pidfd, QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, [&ended] { ended = true; });
        waitUntil([&ended] { return ended; }, timeoutMs);
    }
    ::close(pidfd);
    int status = 0;
    if (!ended || ::waitpid(pid, &status, 0) != pid) return std::nullopt;
    return status;
}

std::vector<pid_t> childrenOfThisProcess()
{
    std::vector<pid_t> children;
    DIR *proc = ::opendir("/proc");
    if (proc == nullptr) return children;
    while (const dirent *d = ::readdir(proc)) {
        const std::string name = d->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = readFile(BytePath("/proc/" + name + "/stat"));
        // "pid (comm) state ppid ...": comm may hold anything, so read after its last ')'
        const auto close = stat.rfind(')');
        int ppid = 0;
        char state = 0;
        if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 &&
            ppid == ::getpid()) {
            children.push_back(static_cast<pid_t>(std::stol(name)));
        }
    }
    ::closedir(proc);
    return children;
}

} // namespace lurkel::test
