#include "ChildProcesses.h"
#include "DistributedNotificationCenter.h"
#include "Fixtures.h"
#include "Identity.h"
#include "MessageNames.h"
#include "PrivateBus.h"
#include "RunningApplications.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "Spawn.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace lurkel::test {
namespace {

const QString kApplication = QString::fromLatin1(Identity::kBundleIdentifier);

int exitCode(const std::optional<int> &status)
{
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

// lurkel-finder-sync with a stand-in lurkel beside it, on the test's private bus; the requests
// it posts, as they arrive.
class FinderSyncTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // What lurkel-finder-sync launches outlives it: it comes to us, to be reaped.
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }

    void SetUp() override
    {
        ASSERT_TRUE(PrivateBus::shared().isRunning());
        static int counter = 0;
        folder =
            installPrograms("finder-sync-" + std::to_string(counter++),
                            {{LURKEL_FINDER_SYNC_PROGRAM, "lurkel-finder-sync"}, {LURKEL_STANDIN_PROGRAM, "lurkel"}});
        auto &center = DistributedNotificationCenter::defaultCenter();
        for (const char *name :
             {MessageNames::kSwitchVisibility, MessageNames::kHideSelectedFiles, MessageNames::kUnhideSelectedFiles}) {
            tokens.push_back(center.addObserver(QString::fromLatin1(name), std::nullopt,
                                                [this](const Notification &note) { received.push_back(note); }));
        }
    }

    void TearDown() override
    {
        for (const auto token : tokens)
            DistributedNotificationCenter::defaultCenter().removeObserver(token);
        RunningApplications::release(kApplication);
        for (const pid_t child : childrenOfThisProcess()) {
            if (child == PrivateBus::shared().pid()) continue;
            ::kill(child, SIGKILL);
            waitForExit(child);
        }
    }

    pid_t start(const std::vector<std::string> &arguments)
    {
        return startProgram((folder / "lurkel-finder-sync").bytes(), folder / "output", arguments);
    }
    int run(const std::vector<std::string> &arguments) { return exitCode(waitForExit(start(arguments))); }

    // The test process is the running Lurkel, answering on its bus object.
    void beTheApplication()
    {
        ASSERT_TRUE(RunningApplications::claim(kApplication));
        ASSERT_TRUE(application.registerOnBus());
    }

    static void openStandInGate()
    {
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(kApplication, QStringLiteral("/com/brendix/LurkelTestGate"),
                                           QStringLiteral("com.brendix.LurkelTestGate"), QStringLiteral("Open")));
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qUtf8Printable(reply.errorMessage());
    }

    BytePath folder;
    std::vector<DistributedNotificationCenter::Token> tokens;
    std::vector<Notification> received;
    ApplicationBusObject application;
};

TEST_F(FinderSyncTest, EachRequestArrivesWithItsNameObjectAndExactPaths)
{
    beTheApplication();
    BytePathList paths;
    QStringList joined;
    for (const std::string &name : hostileNames()) {
        paths.push_back(folder / name);
        joined.append(paths.back().displayString());
    }
    std::vector<std::string> arguments{"--"};
    for (const BytePath &path : paths)
        arguments.push_back(path.bytes());

    for (const std::string command : {"hide", "unhide"}) {
        received.clear();
        arguments.insert(arguments.begin(), command);
        ASSERT_EQ(run(arguments), 0) << readFile(folder / "output");
        arguments.erase(arguments.begin());
        ASSERT_TRUE(waitUntil([&] { return !received.empty(); }));
        ASSERT_EQ(received.size(), 1u);
        const Notification &note = received.front();
        EXPECT_EQ(note.name, QString::fromLatin1(command == "hide" ? MessageNames::kHideSelectedFiles
                                                                   : MessageNames::kUnhideSelectedFiles));
        EXPECT_EQ(note.object.toString(), joined.join(QStringLiteral(", ")));
        // "comma, space" arrives whole, and the name that is not UTF-8 as its bytes
        EXPECT_EQ(DistributedNotificationCenter::pathsFromUserInfo(note.userInfo), paths);
    }

    received.clear();
    ASSERT_EQ(run({"switch"}), 0) << readFile(folder / "output");
    ASSERT_TRUE(waitUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received.front().name, QString::fromLatin1(MessageNames::kSwitchVisibility));
    EXPECT_EQ(received.front().object.toString(), QStringLiteral("n"));
    EXPECT_TRUE(received.front().userInfo.isEmpty());

    // Nothing to hide, or no such command: a usage error, and nothing sent.
    EXPECT_EQ(run({"hide"}), 2);
    EXPECT_EQ(run({"frobnicate"}), 2);
}

TEST_F(FinderSyncTest, TwoCopiesAtOnceBothDeliver)
{
    beTheApplication();
    const pid_t first = start({"hide", (folder / "one").bytes()});
    const pid_t second = start({"hide", (folder / "two").bytes()});
    EXPECT_EQ(exitCode(waitForExit(first)), 0) << readFile(folder / "output");
    EXPECT_EQ(exitCode(waitForExit(second)), 0) << readFile(folder / "output");
    ASSERT_TRUE(waitUntil([&] { return received.size() == 2; }));
    std::set<BytePathList> delivered;
    for (const Notification &note : received)
        delivered.insert(*DistributedNotificationCenter::pathsFromUserInfo(note.userInfo));
    EXPECT_EQ(delivered, (std::set<BytePathList>{{folder / "one"}, {folder / "two"}}));
}

TEST_F(FinderSyncTest, LaunchesLurkelAndSendsOnceItAnswers)
{
    ASSERT_FALSE(RunningApplications::isRunning(kApplication));
    const pid_t finderSync = start({"switch"});
    // The stand-in runs and holds the name, but does not answer yet: nothing may be sent.
    ASSERT_TRUE(pollUntil([] { return RunningApplications::isRunning(kApplication); }));
    drainMainQueue();
    EXPECT_TRUE(received.empty());
    int status = 0;
    EXPECT_EQ(::waitpid(finderSync, &status, WNOHANG), 0) << "still waiting for Lurkel";

    openStandInGate();
    EXPECT_EQ(exitCode(waitForExit(finderSync)), 0) << readFile(folder / "output");
    ASSERT_TRUE(waitUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received.front().name, QString::fromLatin1(MessageNames::kSwitchVisibility));
    EXPECT_TRUE(RunningApplications::quit(kApplication));
}

TEST_F(FinderSyncTest, ALurkelThatNeverAnswersEndsTheRequestWithAnError)
{
    const ScopedEnv never("LURKEL_STANDIN_NEVER", "1");
    EXPECT_EQ(run({"--wait", "0.2", "hide", (folder / "x").bytes()}), 1);
    EXPECT_NE(readFile(folder / "output").find("Lurkel did not answer"), std::string::npos)
        << readFile(folder / "output");
    EXPECT_TRUE(RunningApplications::isRunning(kApplication)) << "it was launched";
    drainMainQueue();
    EXPECT_TRUE(received.empty());
}

TEST_F(FinderSyncTest, MenuAndStateAnswerWithoutTheBus)
{
    const BytePath dir = makeDir(folder / "items");
    writeFile(dir / ".dot", "");
    writeFile(dir / "listed", "");
    writeFile(dir / "plain", "");
    writeFile(dir / ".hidden", "listed\n");
    const auto ask = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), (folder / "lurkel-finder-sync").bytes());
        return Spawn::run({.argv = arguments, .unsetEnvironment = {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY"}});
    };
    const auto menu = [&](const char *option, const std::vector<std::string> &names) {
        std::vector<std::string> arguments{"menu", option, "--"};
        for (const std::string &name : names)
            arguments.push_back((dir / name).bytes());
        const SpawnResult result = ask(arguments);
        EXPECT_EQ(result.standardOutput, result.exitStatus == 0 ? "true\n" : "false\n");
        return result.exitStatus;
    };
    EXPECT_EQ(menu("--has-hidden", {".dot"}), 0);
    EXPECT_EQ(menu("--has-hidden", {"listed"}), 0);
    EXPECT_EQ(menu("--has-visible", {".dot", "listed"}), 1);
    EXPECT_EQ(menu("--has-hidden", {"plain"}), 1);
    EXPECT_EQ(menu("--has-visible", {"plain"}), 0);
    EXPECT_EQ(menu("--has-hidden", {"plain", "listed"}), 0);
    EXPECT_EQ(menu("--has-visible", {"plain", "listed"}), 0);
    EXPECT_EQ(menu("--has-hidden", {}), 1);
    EXPECT_EQ(menu("--has-visible", {}), 1);
    EXPECT_EQ(ask({"menu", "--has-nothing"}).exitStatus, 2);

    // No shared suite yet: hidden files count as hidden.
    EXPECT_EQ(ask({"state"}).standardOutput, "false\n");
    EXPECT_EQ(ask({"state", "--hidden"}).exitStatus, 0);
    UserDefaults &suite = Settings::shfGroup();
    suite.setBool(SettingsKeys::kAreHiddenFilesVisible, true);
    ASSERT_TRUE(suite.synchronize());
    EXPECT_EQ(ask({"state"}).standardOutput, "true\n");
    EXPECT_EQ(ask({"state", "--hidden"}).exitStatus, 1);
    EXPECT_EQ(ask({"state", "--shown"}).exitStatus, 0);
}

} // namespace
} // namespace lurkel::test
