#include "QuitSignals.h"

#include "Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace lurkel {
namespace {

int g_writeEnd = -1;

extern "C" void onQuitSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    if (g_writeEnd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(g_writeEnd, &byte, 1);
    }
    errno = saved;
}

} // namespace

void QuitSignals::install(std::function<void()> onSignal)
{
    int ends[2] = {-1, -1};
    if (g_writeEnd >= 0 || ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_writeEnd = ends[1];
    auto *notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [readEnd = ends[0], onSignal = std::move(onSignal)] {
                         char buffer[64];
                         while (::read(readEnd, buffer, sizeof buffer) > 0) {}
                         qCInfo(lcPlatform, "asked to quit by a signal");
                         if (onSignal) onSignal();
                     });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

} // namespace lurkel
