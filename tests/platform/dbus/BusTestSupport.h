#pragma once

#include "EventWait.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace lurkel::test {

// Bytes as lower-case hex: how arbitrary names and paths cross the helper's command line
// and output lines intact.
inline std::string toHex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        out += digits[static_cast<unsigned char>(c) >> 4];
        out += digits[static_cast<unsigned char>(c) & 0xf];
    }
    return out;
}

inline std::string fromHex(std::string_view hex)
{
    auto value = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(value(hex[i]) * 16 + value(hex[i + 1]));
    return out;
}

// Qt holds back what a new session connection receives until the event loop has run once,
// and may then deliver the held messages after newer ones. Tests that check the order of
// notifications call this first: it returns once a notification posted to ourselves came
// back, when delivery is running in order.
void waitForBusDelivery();

// A program beside the test executable (the helper and its copies are built there).
std::string programBesideTest(std::string_view relativePath);

// A helper process with pipes on its standard input and output. It is killed and reaped
// when the object goes, if it still runs.
class HelperProcess {
public:
    HelperProcess(const std::string &program, const std::vector<std::string> &args);
    ~HelperProcess();
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;

    pid_t pid() const { return m_pid; }
    // Its next output line, read while the event loop runs; nullopt at its end or on timeout.
    std::optional<std::string> readLine(int timeoutMs = kWaitMs);
    // Closes its standard input (which ends a waiting helper), collects the lines it still
    // writes, and returns its wait status.
    int finish(std::vector<std::string> *remainingLines = nullptr);

private:
    void drain();

    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
    bool m_eof = false;
};

} // namespace lurkel::test
