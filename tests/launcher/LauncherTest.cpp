#include "ChildProcesses.h"
#include "MessageNames.h"

#include "DistributedNotificationCenter.h"
#include "Identity.h"
#include "PrivateBus.h"
#include "RunAtLoginManager.h"
#include "RunningApplications.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lurkel::test {
namespace {

const QString kApplication = QString::fromLatin1(Identity::kBundleIdentifier);
const QString kLauncher = QString::fromLatin1(Identity::kLauncherIdentifier);

bool exitedNormally(const std::optional<int> &status)
{
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

class LauncherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // What the launcher starts is orphaned when it quits: it comes to us, to be seen and reaped.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }

    void SetUp() override
    {
        ASSERT_TRUE(PrivateBus::shared().isRunning());
        static int counter = 0;
        // lurkel-launcher with the stand-in application beside it under the name lurkel
        folder = installPrograms("launcher-" + std::to_string(counter++),
                                 {{LURKEL_LAUNCHER_PROGRAM, "lurkel-launcher"}, {LURKEL_STANDIN_PROGRAM, "lurkel"}});
        ::setenv("LURKEL_STANDIN_MARKER", (folder / "started").c_str(), 1);
    }

    // A failed test must not leave a launcher or stand-in behind holding a name.
    void TearDown() override
    {
        for (const pid_t child : adoptedChildren()) {
            ::kill(child, SIGKILL);
            waitForExit(child);
        }
    }

    // The session starts the launcher; its wait status once it ended.
    std::optional<int> runLauncher()
    {
        const pid_t pid = startProgram((folder / "lurkel-launcher").bytes(), folder / "output");
        return pid > 0 ? waitForExit(pid) : std::nullopt;
    }

    // Children of ours apart from the bus daemon: what the launcher left behind.
    static std::vector<pid_t> adoptedChildren()
    {
        std::vector<pid_t> children = childrenOfThisProcess();
        std::erase(children, PrivateBus::shared().pid());
        return children;
    }

    BytePath folder;
};

TEST_F(LauncherTest, FullLoginSequence)
{
    auto &center = DistributedNotificationCenter::defaultCenter();
    bool terminateSeen = false;
    center.addObserver(QString::fromLatin1(MessageNames::kTerminateHelper), kApplication,
                       [&](const Notification &) { terminateSeen = true; });
    std::optional<bool> autolaunched;
    pid_t standIn = -1;
    center.addObserver(QStringLiteral("LoginTestStandInStarted"), std::nullopt, [&](const Notification &note) {
        autolaunched = note.userInfo.value(QStringLiteral("autolaunched")).toBool();
        standIn = static_cast<pid_t>(note.userInfo.value(QStringLiteral("pid")).toLongLong());
    });

    EXPECT_TRUE(exitedNormally(runLauncher())) << readFile(folder / "output");
    ASSERT_TRUE(waitUntil([&] { return terminateSeen && autolaunched.has_value(); })) << readFile(folder / "output");
    EXPECT_TRUE(*autolaunched) << "the application saw the launcher that started it";
    EXPECT_FALSE(RunningApplications::isRunning(kLauncher));
    EXPECT_EQ(RunningApplications::pidOf(kApplication), standIn);
    EXPECT_EQ(adoptedChildren(), std::vector<pid_t>{standIn}) << "the application outlives the launcher";
    EXPECT_EQ(::getsid(standIn), standIn) << "in a session of its own";

    ASSERT_TRUE(RunningApplications::quit(kApplication));
    EXPECT_TRUE(exitedNormally(waitForExit(standIn)));
}

TEST_F(LauncherTest, ALauncherStartedWhileTheApplicationRunsQuitsWithoutLaunchingAnything)
{
    ASSERT_TRUE(RunningApplications::claim(kApplication));
    EXPECT_TRUE(exitedNormally(runLauncher())) << readFile(folder / "output");
    RunningApplications::release(kApplication);
    // Whatever it had started would be running under us now, or have left its mark.
    EXPECT_EQ(adoptedChildren(), std::vector<pid_t>{});
    EXPECT_EQ(readFile(folder / "started"), "");
}

TEST_F(LauncherTest, WithoutASessionBusTheLauncherStartsTheApplicationAndQuits)
{
    const std::string address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("DISPLAY"); // no X11 autolaunch of a bus either
    const auto status = runLauncher();
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    EXPECT_TRUE(exitedNormally(status)) << readFile(folder / "output");
    // The stand-in finds no bus either and ends, perhaps before the launcher did.
    for (const pid_t child : adoptedChildren())
        EXPECT_TRUE(exitedNormally(waitForExit(child)));
    EXPECT_EQ(readFile(folder / "started").substr(0, 8), "started ");
}

} // namespace
} // namespace lurkel::test
