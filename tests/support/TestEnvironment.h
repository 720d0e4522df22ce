#pragma once

#include "BytePath.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace lurkel::test {

// Every test process runs with its own temporary HOME and XDG_* folders (set up by the
// test main before anything else runs), so that no test touches the user's files,
// settings or session bus.
class TestEnvironment {
public:
    // The temporary root of this process: HOME is <root>/home.
    static BytePath root();
    // Points HOME and every XDG_* variable at fresh folders under root() and returns the
    // new HOME. For tests that want a clean home of their own within one process.
    static BytePath freshHome();
    // The build folder (for helper programs), from LURKEL_BUILD_DIR.
    static BytePath buildDir();

    // Called once by the test main.
    static void setUpProcess();
    static void tearDownProcess();
};

// Writes bytes to a file (creating it); fails the test on error.
void writeFile(const BytePath &path, std::string_view bytes);
// The whole content of a file; empty when it cannot be read.
std::string readFile(const BytePath &path);

// Sets (or, with nullptr, unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : m_name(name)
    {
        if (const char *old = std::getenv(name)) m_old = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

} // namespace lurkel::test
