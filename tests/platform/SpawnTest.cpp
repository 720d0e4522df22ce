#include "Spawn.h"
#include "ChildDefaults.h"
#include "Fixtures.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <thread>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>

using namespace lurkel;
using namespace std::string_literals;

TEST(Spawn, PrintfRoundTripKeepsHostileBytesAndMissingProgramFails)
{
    for (const std::string &name : test::hostileNames()) {
        const SpawnResult r = Spawn::run({{"printf", "%s", name}});
        ASSERT_TRUE(r.started);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.standardOutput, name);
    }

    const SpawnResult missing = Spawn::run({{"/nonexistent/program"}}); // an error, not a crash
    EXPECT_FALSE(missing.started);
    ASSERT_TRUE(missing.error.has_value());
    EXPECT_EQ(missing.error->code, ENOENT);
}

TEST(Spawn, EnvironmentInputAndFailureText)
{
    SpawnRequest request{{"/bin/sh", "-c", "printf '%s|' \"$LURKEL_T\" \"${HOME-unset}\"; cat; echo oops >&2; exit 3"}};
    request.environment = {{"LURKEL_T", "v a l"}};
    request.unsetEnvironment = {"HOME"};
    request.standardInput = std::string(200000, 'x'); // more than a pipe holds
    const SpawnResult r = Spawn::run(request);
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_FALSE(r.succeeded());
    EXPECT_EQ(r.standardOutput, "v a l|unset|" + std::string(200000, 'x'));
    EXPECT_EQ(r.failureDescription(), QStringLiteral("oops (exit 3)"));
}

TEST(Spawn, CancelEndsTheProgramAndItsChildren)
{
    SpawnCancel cancel;
    // the shell starts a child that would hold the pipes open for a minute
    std::thread canceller([&cancel]() { cancel.cancel(); });
    const SpawnResult r = Spawn::run({{"/bin/sh", "-c", "sleep 60 & sleep 60; wait"}}, &cancel);
    canceller.join();
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(r.succeeded());
}

// A program that leaves a long-lived child behind (as xdg-open leaves the viewer it
// started) ends the run when it exits itself, once its output is not captured.
TEST(Spawn, DiscardedOutputDoesNotWaitForWhatTheProgramLeftRunning)
{
    const BytePath pidFile = test::TestEnvironment::root() / "left-running.pid";
    SpawnRequest request{
        {"/bin/sh", "-c", "sleep 600 & echo $! > \"$1\"; echo gone; echo why >&2", "sh", pidFile.bytes()}};
    request.discardOutput = true;
    const SpawnResult r = Spawn::run(request);
    EXPECT_TRUE(r.succeeded());
    EXPECT_TRUE(r.standardOutput.empty());
    EXPECT_EQ(r.standardError, "why\n"); // the reason of a failure is still there
    const pid_t leftRunning = std::atoi(test::readFile(pidFile).c_str());
    ASSERT_GT(leftRunning, 0);
    EXPECT_EQ(::kill(leftRunning, SIGKILL), 0) << "the child outlived the run, as it should";
}

// What lurkel changes for itself (a raised open-files limit, QT_QPA_PLATFORM under Wayland)
// never reaches the programs it starts.
TEST(Spawn, ChildrenGetBackWhatThisProcessChangedForItself)
{
    rlimit start{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &start), 0);
    ASSERT_GT(start.rlim_cur, 64u);
    const char *startPlatform = std::getenv("QT_QPA_PLATFORM");
    const std::string expectedPlatform = startPlatform ? startPlatform : "unset";

    // As the walker and lurkel's start do: say so, then change them.
    ChildDefaults::rememberOpenFilesLimit();
    ChildDefaults::rememberEnvironment("QT_QPA_PLATFORM");
    rlimit changed = start;
    changed.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &changed), 0);
    const test::ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
    const SpawnResult r = Spawn::run({{"sh", "-c", "ulimit -Sn; printf %s \"${QT_QPA_PLATFORM-unset}\""}});
    const SpawnResult missing = Spawn::run({{"no-such-program-anywhere"}});
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &start), 0);

    EXPECT_EQ(r.exitStatus, 0) << r.standardError;
    EXPECT_EQ(r.standardOutput, std::to_string(start.rlim_cur) + "\n" + expectedPlatform);
    EXPECT_FALSE(missing.started) << "a missing program is still said as such";
    ASSERT_TRUE(missing.error.has_value());
    EXPECT_EQ(missing.error->code, ENOENT);
}
