#include "BusTestSupport.h"
#include "PrivateBus.h"

#include "RunningApplications.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace lurkel::test {
namespace {

using RA = RunningApplications;

const QString kName = QStringLiteral("com.brendix.Lurkel-SII.BusTest");

std::string helper()
{
    return programBesideTest("lurkel_bus_helper");
}

bool exitedNormally(int status)
{
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class RunningApplicationsBusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(PrivateBus::shared().isRunning()); }
};

TEST_F(RunningApplicationsBusTest, OnlyOneProcessHoldsTheNameAndOthersSeeIt)
{
    HelperProcess first(helper(), {"claim", kName.toStdString()});
    ASSERT_EQ(first.readLine(), "claimed");
    EXPECT_FALSE(RA::claim(kName));
    EXPECT_TRUE(RA::isRunning(kName));
    EXPECT_EQ(RA::pidOf(kName), first.pid());

    QDBusServiceWatcher watcher(kName, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForUnregistration);
    bool released = false;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, [&] { released = true; });
    EXPECT_TRUE(exitedNormally(first.finish()));
    ASSERT_TRUE(waitUntil([&] { return released; }));

    EXPECT_FALSE(RA::isRunning(kName));
    EXPECT_EQ(RA::pidOf(kName), std::nullopt);
    ASSERT_TRUE(RA::claim(kName));
    EXPECT_EQ(RA::pidOf(kName), ::getpid());
    HelperProcess second(helper(), {"claim", kName.toStdString()});
    EXPECT_EQ(second.readLine(), "refused running=1 pid=" + std::to_string(::getpid()));

    RA::release(kName);
    EXPECT_FALSE(RA::isRunning(kName));
    EXPECT_FALSE(RA::activate(kName)) << "nobody owns the name";
    HelperProcess third(helper(), {"claim", kName.toStdString()});
    ASSERT_EQ(third.readLine(), "claimed");
    EXPECT_TRUE(RA::activate(kName));
    EXPECT_EQ(third.readLine(), "activated");
}

TEST_F(RunningApplicationsBusTest, WithoutQuitMethodOnlyOwnProgramsGetSigterm)
{
    const QString otherName = kName + QStringLiteral("2");
    HelperProcess stranger(helper(), {"claim", kName.toStdString(), "bare"});
    HelperProcess ours(helper(), {"claim", otherName.toStdString(), "bare"});
    ASSERT_EQ(stranger.readLine(), "claimed");
    ASSERT_EQ(ours.readLine(), "claimed");

    EXPECT_FALSE(RA::activate(kName));
    EXPECT_FALSE(RA::quit(kName));
    EXPECT_TRUE(RA::isRunning(kName));
    EXPECT_TRUE(exitedNormally(stranger.finish())) << "a program not of ours is never killed";

    RA::addOwnProgramPathForTesting(QString::fromStdString(helper()));
    EXPECT_TRUE(RA::quit(otherName));
    const int status = ours.finish();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
}

TEST(ApplicationBusObject, SearchTakesGLibsClosingNulAndRefusesAnyOther)
{
    ApplicationBusObject object;
    std::vector<std::pair<std::string, BytePath>> searches;
    object.onSearch = [&](const std::string &text, const BytePath &folder) { searches.emplace_back(text, folder); };
    object.Search(QByteArray("needle\0", 7), QByteArray("/d\0", 3));
    object.Search(QByteArray("needle"), QByteArray("/d/sub\0/../../outside", 21));
    object.Search(QByteArray("nee\0dle", 7), QByteArray("/d"));
    ASSERT_EQ(searches.size(), 1u);
    EXPECT_EQ(searches[0].first, "needle");
    EXPECT_EQ(searches[0].second, BytePath("/d"));
}

} // namespace
} // namespace lurkel::test
