#include "Spawn.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>

using namespace lurkel;

namespace {

std::vector<std::string> reports()
{
    std::vector<std::string> names;
    const BytePath folder = XdgDirs::appStateDir() / "crashes";
    DIR *d = ::opendir(folder.c_str());
    while (dirent *e = d ? ::readdir(d) : nullptr)
        if (e->d_name[0] != '.') names.push_back(test::readFile(folder / e->d_name));
    if (d) ::closedir(d);
    return names;
}

} // namespace

TEST(CrashReporter, WritesAReportAndStillDiesOfTheSignal)
{
    test::TestEnvironment::freshHome();
    const std::string child = (test::TestEnvironment::buildDir() / "tests/platform/lurkel_crash_child").bytes();
    EXPECT_EQ(Spawn::run({{child, "segv"}}).signal, SIGSEGV);
    EXPECT_EQ(Spawn::run({{child, "abort"}}).signal, SIGABRT);
    EXPECT_EQ(Spawn::run({{child, "fine"}}).exitStatus, 0);
    // A stack overflow leaves no stack for the handler but its own. (AddressSanitizer would
    // report the overflow itself and never let the handler run.)
    const char *asan = std::getenv("ASAN_OPTIONS");
    SpawnRequest overflow{{child, "overflow"}};
    overflow.environment = {{"ASAN_OPTIONS", std::string(asan ? asan : "") + ":handle_segv=0"}};
    EXPECT_EQ(Spawn::run(overflow).signal, SIGSEGV);

    const std::vector<std::string> found = reports();
    ASSERT_EQ(found.size(), 3u);
    int segv = 0, abrt = 0;
    for (const std::string &text : found) {
        EXPECT_EQ(text.rfind("lurkel-crash-child 1.0.0 (build ", 0), 0u) << text;
        EXPECT_NE(text.find("backtrace:\n"), std::string::npos);
        segv += text.find("(SEGV)") != std::string::npos;
        abrt += text.find("(ABRT)") != std::string::npos;
    }
    EXPECT_EQ(segv, 2);
    EXPECT_EQ(abrt, 1);
}
