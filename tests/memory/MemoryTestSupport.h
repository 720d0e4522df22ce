#pragma once

#include "EventWait.h"

#include "BytePath.h"
#include "PosixFile.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace lurkel::test {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kGiB = 1024 * kMiB;

// The figures of a fake meminfo, in bytes.
struct Meminfo {
    std::uint64_t total = 0, free = 0, available = 0, cached = 0, shmem = 0, sReclaimable = 0;
    std::uint64_t swapTotal = 0, swapFree = 0;
};

// Replaces a meminfo file at once (a reader on another thread never sees half of it).
inline void writeMeminfo(const BytePath &path, const Meminfo &m)
{
    char text[1024];
    const auto kB = [](std::uint64_t bytes) { return static_cast<unsigned long long>(bytes / 1024); };
    std::snprintf(text, sizeof text,
                  "MemTotal:       %llu kB\nMemFree:        %llu kB\nMemAvailable:   %llu kB\n"
                  "Buffers:          123456 kB\nCached:         %llu kB\nSwapCached:            0 kB\n"
                  "SwapTotal:      %llu kB\nSwapFree:       %llu kB\nShmem:          %llu kB\n"
                  "KReclaimable:   %llu kB\nSlab:           %llu kB\nSReclaimable:   %llu kB\n",
                  kB(m.total), kB(m.free), kB(m.available), kB(m.cached), kB(m.swapTotal), kB(m.swapFree), kB(m.shmem),
                  kB(m.sReclaimable), kB(m.sReclaimable * 2), kB(m.sReclaimable));
    if (const auto error = writeFileAtomically(path, text, {.mode = 0644, .durable = false})) {
        ADD_FAILURE() << error->localizedDescription().toStdString();
    }
}

// Half of what is available free, the other half page cache.
inline void writeMeminfo(const BytePath &path, std::uint64_t totalBytes, std::uint64_t availableBytes)
{
    writeMeminfo(path, Meminfo{.total = totalBytes,
                               .free = availableBytes / 2,
                               .available = availableBytes,
                               .cached = availableBytes - availableBytes / 2});
}

} // namespace lurkel::test
