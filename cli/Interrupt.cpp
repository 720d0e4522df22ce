#include "Interrupt.h"

#include "ExitCode.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <map>
#include <mutex>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace lurkel::cli {
namespace {

std::atomic<bool> g_requested{false};
std::atomic<int> g_eventFd{-1};

struct Hooks {
    std::mutex mutex;
    std::map<Interrupt::Token, std::function<void()>> hooks;
    Interrupt::Token next = 1;
};

Hooks &hooks()
{
    static Hooks h;
    return h;
}

void runHooks()
{
    std::map<Interrupt::Token, std::function<void()>> copy;
    {
        std::lock_guard lock(hooks().mutex);
        copy = hooks().hooks;
    }
    for (auto &[token, hook] : copy)
        hook();
}

extern "C" void onSignal(int)
{
    if (g_requested.exchange(true)) ::_exit(kExitInterrupted);
    const int fd = g_eventFd.load();
    const std::uint64_t one = 1;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
    }
}

} // namespace

void Interrupt::install()
{
    static std::once_flag once;
    std::call_once(once, []() {
        g_eventFd.store(::eventfd(0, EFD_CLOEXEC));
        std::thread([]() {
            std::uint64_t value = 0;
            for (;;) {
                const ssize_t n = ::read(g_eventFd.load(), &value, sizeof value);
                if (n == static_cast<ssize_t>(sizeof value)) runHooks();
            }
        }).detach();
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &sa, nullptr);
        ::sigaction(SIGTERM, &sa, nullptr);
    });
}

bool Interrupt::requested()
{
    return g_requested.load();
}

Interrupt::Token Interrupt::onInterrupt(std::function<void()> hook)
{
    std::lock_guard lock(hooks().mutex);
    const Token token = hooks().next++;
    hooks().hooks.emplace(token, std::move(hook));
    return token;
}

void Interrupt::remove(Token token)
{
    std::lock_guard lock(hooks().mutex);
    hooks().hooks.erase(token);
}

void Interrupt::raiseForTesting()
{
    g_requested.store(true);
    runHooks();
}

void Interrupt::resetForTesting()
{
    g_requested.store(false);
}

} // namespace lurkel::cli
