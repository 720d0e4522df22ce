#include "CrashReporter.h"

#include "Identity.h"
#include "PosixFile.h"
#include "XdgDirs.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace lurkel {
namespace {

// Everything the handler needs is prepared before a crash: it only formats into fixed
// buffers and calls async-signal-safe functions.
char g_folder[4096];
char g_program[128];
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

std::size_t append(char *buffer, std::size_t at, std::size_t size, const char *text)
{
    while (*text != '\0' && at + 1 < size)
        buffer[at++] = *text++;
    buffer[at] = '\0';
    return at;
}

std::size_t appendNumber(char *buffer, std::size_t at, std::size_t size, long long value)
{
    char digits[24];
    int n = 0;
    const bool negative = value < 0;
    unsigned long long v =
        negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 && n < 23);
    if (negative && at + 1 < size) buffer[at++] = '-';
    while (n > 0 && at + 1 < size)
        buffer[at++] = digits[--n];
    buffer[at] = '\0';
    return at;
}

extern "C" void onCrash(int signalNumber)
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char path[4096 + 256];
    std::size_t at = append(path, 0, sizeof path, g_folder);
    at = append(path, at, sizeof path, "/");
    at = append(path, at, sizeof path, g_program);
    at = append(path, at, sizeof path, "-");
    at = appendNumber(path, at, sizeof path, static_cast<long long>(now.tv_sec));
    at = append(path, at, sizeof path, "-");
    appendNumber(path, at, sizeof path, static_cast<long long>(::getpid()));
    std::size_t end = std::strlen(path);
    append(path, end, sizeof path, ".txt");

    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        char head[512];
        std::size_t n = append(head, 0, sizeof head, g_program);
        n = append(head, n, sizeof head, " ");
        n = append(head, n, sizeof head, Identity::kShortVersion);
        n = append(head, n, sizeof head, " (build ");
        n = append(head, n, sizeof head, Identity::kBuildVersion);
        n = append(head, n, sizeof head, ")\nsignal ");
        n = appendNumber(head, n, sizeof head, signalNumber);
        n = append(head, n, sizeof head, " (");
        n = append(head, n, sizeof head, sigabbrev_np(signalNumber) != nullptr ? sigabbrev_np(signalNumber) : "?");
        n = append(head, n, sizeof head, ")\ntime ");
        n = appendNumber(head, n, sizeof head, static_cast<long long>(now.tv_sec));
        n = append(head, n, sizeof head, "\npid ");
        n = appendNumber(head, n, sizeof head, static_cast<long long>(::getpid()));
        n = append(head, n, sizeof head, "\n\nbacktrace:\n");
        (void)writeAll(fd, std::string_view(head, n)); // nothing to be done about a failure here
        void *frames[64];
        const int count = ::backtrace(frames, 64);
        ::backtrace_symbols_fd(frames, count, fd);
        ::close(fd);
    }
    // End as the signal would have ended us.
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

} // namespace

bool CrashReporter::install(const char *programName)
{
    const BytePath folder = XdgDirs::appStateDir() / "crashes";
    if (makePath(folder, 0700) != 0 || folder.size() >= sizeof g_folder) return false;
    std::memcpy(g_folder, folder.c_str(), folder.size() + 1);
    std::strncpy(g_program, programName, sizeof g_program - 1);
    // backtrace() loads its unwinder on first use: do that now, not inside the handler
    void *warmUp[1];
    ::backtrace(warmUp, 1);
    // A stack overflow leaves no stack to run the handler on: it gets one of its own (for
    // the thread that installs it, the main thread).
    static std::vector<char> alternateStack(std::max<std::size_t>(SIGSTKSZ, std::size_t{64} * 1024));
    stack_t stack{};
    stack.ss_sp = alternateStack.data();
    stack.ss_size = alternateStack.size();
    if (::sigaltstack(&stack, nullptr) != 0) return false;
    struct sigaction action {};
    action.sa_handler = onCrash;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER | SA_ONSTACK;
    for (const int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
    return true;
}

} // namespace lurkel
