#include "MemoryStatistics.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace lurkel {
namespace {

// The value of a "Name:   1234 kB" line in bytes, or false when it is not a number.
bool parseKilobytes(std::string_view rest, std::uint64_t &bytes)
{
    std::size_t i = 0;
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
        ++i;
    if (i == rest.size() || rest[i] < '0' || rest[i] > '9') return false;
    std::uint64_t value = 0;
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(rest[i] - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    const std::string_view unit = rest.substr(i);
    const bool kilobytes = unit.find("kB") != std::string_view::npos;
    if (kilobytes && value > UINT64_MAX / 1024) return false;
    bytes = kilobytes ? value * 1024 : value;
    return true;
}

} // namespace

MemoryStatistics::MemoryStatistics(BytePath path) : m_path(std::move(path)) {}

int MemoryStatistics::read(Record &out)
{
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    ssize_t got = 0;
    do {
        got = ::pread(fd, m_buffer.data(), m_buffer.size(), 0);
    } while (got < 0 && errno == EINTR);
    const int readError = got < 0 ? errno : 0;
    ::close(fd);
    if (readError != 0) return readError;

    Record record;
    bool haveTotal = false;
    bool haveAvailable = false;
    std::string_view text(m_buffer.data(), static_cast<std::size_t>(got));
    // A full buffer may end inside a line: only whole lines count.
    if (static_cast<std::size_t>(got) == m_buffer.size()) {
        const std::size_t lastNewline = text.rfind('\n');
        text = text.substr(0, lastNewline == std::string_view::npos ? 0 : lastNewline + 1);
    }
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = line.substr(0, colon);
        const std::string_view rest = line.substr(colon + 1);
        if (name == "MemTotal") {
            haveTotal = parseKilobytes(rest, record.memTotal);
        } else if (name == "MemFree") {
            parseKilobytes(rest, record.memFree);
        } else if (name == "MemAvailable") {
            haveAvailable = parseKilobytes(rest, record.memAvailable);
        } else if (name == "Cached") {
            parseKilobytes(rest, record.cached);
        } else if (name == "Shmem") {
            parseKilobytes(rest, record.shmem);
        } else if (name == "SReclaimable") {
            parseKilobytes(rest, record.sReclaimable);
        } else if (name == "SwapTotal") {
            parseKilobytes(rest, record.swapTotal);
        } else if (name == "SwapFree") {
            parseKilobytes(rest, record.swapFree);
        }
    }
    if (!haveTotal || !haveAvailable || record.memTotal == 0) return ENODATA;
    out = record;
    return 0;
}

std::uint32_t MemoryStatistics::pageSize()
{
    const long size = ::sysconf(_SC_PAGESIZE);
    if (size <= 0 || size > static_cast<long>(UINT32_MAX)) {
        std::fputs("getting page size\n", stderr);
        return 4096;
    }
    return static_cast<std::uint32_t>(size);
}

} // namespace lurkel
