#include "BusTestSupport.h"

#include "DistributedNotificationCenter.h"
#include "SpawnAttributes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace lurkel::test {

void waitForBusDelivery()
{
    DistributedNotificationCenter center;
    bool back = false;
    const QString probe = QStringLiteral("BusTestProbe");
    center.addObserver(probe, std::nullopt, [&back](const Notification &) { back = true; });
    ASSERT_TRUE(center.post(probe, QString()));
    ASSERT_TRUE(waitUntil([&back] { return back; }));
}

std::string programBesideTest(std::string_view relativePath)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string("./x");
    dir.resize(dir.rfind('/'));
    return dir + "/" + std::string(relativePath);
}

HelperProcess::HelperProcess(const std::string &program, const std::vector<std::string> &args)
{
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return;
    }
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const SpawnAttributes attr;
    const int rc = ::posix_spawn(&m_pid, program.c_str(), &actions, attr.get(), argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    m_in = in[1];
    m_out = out[0];
    ::fcntl(m_out, F_SETFL, ::fcntl(m_out, F_GETFL) | O_NONBLOCK);
    if (rc != 0) {
        m_pid = -1;
        m_eof = true;
        ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(rc);
    }
}

HelperProcess::~HelperProcess()
{
    if (m_in >= 0) ::close(m_in);
    if (m_out >= 0) ::close(m_out);
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

void HelperProcess::drain()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_out, buf, sizeof buf);
        if (n > 0) {
            m_buffer.append(buf, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n == 0 || errno != EAGAIN) m_eof = true;
            return;
        }
    }
}

std::optional<std::string> HelperProcess::readLine(int timeoutMs)
{
    if (m_out < 0) return std::nullopt;
    QSocketNotifier notifier(m_out, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [this, &notifier] {
        drain();
        if (m_eof) notifier.setEnabled(false);
    });
    drain();
    waitUntil([this] { return m_eof || m_buffer.find('\n') != std::string::npos; }, timeoutMs);
    const std::size_t nl = m_buffer.find('\n');
    if (nl == std::string::npos) return std::nullopt;
    std::string line = m_buffer.substr(0, nl);
    m_buffer.erase(0, nl + 1);
    return line;
}

int HelperProcess::finish(std::vector<std::string> *remainingLines)
{
    if (m_in >= 0) ::close(m_in);
    m_in = -1;
    while (const auto line = readLine()) {
        if (remainingLines) remainingLines->push_back(*line);
    }
    EXPECT_TRUE(m_eof) << "the helper did not end";
    int status = -1;
    if (m_pid > 0 && m_eof && ::waitpid(m_pid, &status, 0) == m_pid) m_pid = -1;
    return status;
}

} // namespace lurkel::test
