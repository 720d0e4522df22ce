#pragma once

#include <csignal>
#include <spawn.h>

namespace lurkel {

// Spawn attributes for a child that starts clean: no blocked signals and every signal's
// action at its default, whatever this process set up. Extra flags (POSIX_SPAWN_SETSID,
// ...) are added to those two. For programs started by hand with posix_spawn; Spawn::run
// sets up its own.
class SpawnAttributes {
public:
    explicit SpawnAttributes(short extraFlags = 0)
    {
        posix_spawnattr_init(&m_attr);
        sigset_t signals;
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&m_attr, &signals);
        sigfillset(&signals);
        posix_spawnattr_setsigdefault(&m_attr, &signals);
        posix_spawnattr_setflags(&m_attr,
                                 static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | extraFlags));
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attr); }
    SpawnAttributes(const SpawnAttributes &) = delete;
    SpawnAttributes &operator=(const SpawnAttributes &) = delete;

    const posix_spawnattr_t *get() const { return &m_attr; }

private:
    posix_spawnattr_t m_attr;
};

} // namespace lurkel
