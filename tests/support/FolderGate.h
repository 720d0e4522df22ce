#pragma once

#include "DirectoryWalker.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

namespace lurkel::test {

// Stands in for a folder on a mount that never answers: every walker that is about to list
// the folder is held there until the gate opens (at the latest when it is destroyed). One
// gate at a time in a process.
class FolderGate {
public:
    explicit FolderGate(std::string folder)
    {
        {
            std::lock_guard lock(state().mutex);
            state().folder = std::move(folder);
            state().open = false;
            state().held = 0;
        }
        walker::setFolderListingHook(&hold);
    }
    ~FolderGate()
    {
        open();
        walker::setFolderListingHook(nullptr);
    }
    FolderGate(const FolderGate &) = delete;
    FolderGate &operator=(const FolderGate &) = delete;

    void open()
    {
        std::lock_guard lock(state().mutex);
        state().open = true;
        state().changed.notify_all();
    }
    // Waits until count walkers in all have reached the folder; false when none came for
    // a long while (the wait only bounds a hang).
    bool waitUntilHeld(int count)
    {
        std::unique_lock lock(state().mutex);
        return state().changed.wait_for(lock, std::chrono::seconds(60), [&]() { return state().held >= count; });
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::string folder;
        bool open = true;
        int held = 0;
    };
    static State &state()
    {
        static State shared;
        return shared;
    }
    static void hold(std::string_view folder)
    {
        std::unique_lock lock(state().mutex);
        if (state().open || folder != state().folder) return;
        ++state().held;
        state().changed.notify_all();
        state().changed.wait(lock, []() { return state().open; });
    }
};

} // namespace lurkel::test
