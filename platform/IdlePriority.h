#pragma once

#include <functional>

namespace lurkel {

// Work that should take only what nothing else wants: the calling thread at idle priority
// for the processor (SCHED_IDLE) and for the disk (IOPRIO_CLASS_IDLE). Linux sets both per
// thread, and an unprivileged thread cannot leave SCHED_IDLE again, so only threads that
// serve such work alone are lowered: start() runs a task on a pool of its own.
//
// LURKEL_TEST_IDLE_CPU=0 in the environment keeps the processor's share (tests set it: on a
// busy machine a SCHED_IDLE thread may wait for minutes); the disk's idle class stays.
class IdlePriority {
public:
    IdlePriority() = delete;

    // Lowers the calling thread (the first call; later ones only answer). False when the
    // system refused either (said once in the log).
    static bool lowerCurrentThread();
    // The calling thread runs at idle priority, processor and disk.
    static bool isCurrentThreadIdle();
    // The calling thread's disk requests are of the idle class.
    static bool isCurrentThreadDiskIdle();
    // Runs the task on the idle pool, whose threads are lowered before any task runs.
    static void start(std::function<void()> task);
};

} // namespace lurkel
