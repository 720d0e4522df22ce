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

// Replaces a meminfo file at once (a reader on another thread never sees half of it).
inline void writeMeminfo(const BytePath &path, std::uint64_t totalBytes, std::uint64_t availableBytes)
{
    char text[512];
    std::snprintf(text, sizeof text,
                  "MemTotal:       %llu kB\nMemFree:        %llu kB\nMemAvailable:   %llu kB\n"
                  "Buffers:          123456 kB\nCached:          4567890 kB\n",
                  static_cast<unsigned long long>(totalBytes / 1024),
                  static_cast<unsigned long long>(availableBytes / 2048),
                  static_cast<unsigned long long>(availableBytes / 1024));
    if (const auto error = writeFileAtomically(path, text, {.mode = 0644, .durable = false})) {
        ADD_FAILURE() << error->localizedDescription().toStdString();
    }
}

} // namespace lurkel::test
