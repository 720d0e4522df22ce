#include "PluginElection.h"
#include "Spawn.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace lurkel;

namespace {

SpawnResult pluginkit(std::vector<std::string> args)
{
    args.insert(args.begin(), (test::TestEnvironment::buildDir() / "bin/lurkel-pluginkit").bytes());
    return Spawn::run({args});
}

const std::string kId = "com.brendix.Lurkel-SII.FinderSyncExt";

} // namespace

TEST(PluginKit, ElectionIsRecordedAndReportedLikeThePluginTool)
{
    test::TestEnvironment::freshHome();
    // never elected: ignored
    SpawnResult r = pluginkit({"-m", "-A", "-i", kId});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.standardOutput, "-    " + kId + "(1.0.0)\n");

    EXPECT_EQ(pluginkit({"-e", "use", "-i", kId}).exitStatus, 0);
    r = pluginkit({"-m", "-A", "-i", kId});
    EXPECT_EQ(r.standardOutput.substr(0, 1), "+");
    EXPECT_EQ(PluginElection::electionFor(QString::fromStdString(kId)), PluginElection::Choice::Use);

    EXPECT_EQ(pluginkit({"-e", "ignore", "-i", kId}).exitStatus, 0);
    EXPECT_EQ(pluginkit({"-m", "-i", kId}).standardOutput.substr(0, 1), "-");
    EXPECT_EQ(test::readFile(PluginElection::filePath()).find("\"ignore\"") != std::string::npos, true);
}

TEST(PluginKit, UnknownIdentifiersAndBadArguments)
{
    test::TestEnvironment::freshHome();
    const SpawnResult unknown = pluginkit({"-m", "-A", "-i", "com.example.Other"});
    EXPECT_EQ(unknown.exitStatus, 0);
    EXPECT_TRUE(unknown.standardOutput.empty()); // read as "not enabled"
    EXPECT_EQ(pluginkit({"-e", "use", "-i", "com.example.Other"}).exitStatus, 1);
    EXPECT_EQ(pluginkit({"-e", "maybe", "-i", kId}).exitStatus, 2);
    EXPECT_EQ(pluginkit({"-m", "-e", "use", "-i", kId}).exitStatus, 2);
    EXPECT_EQ(pluginkit({"-m"}).exitStatus, 2);
    EXPECT_EQ(pluginkit({"--frobnicate"}).exitStatus, 2);
}

TEST(PluginKit, AnElectionNeverWritesThroughAFileThatIsNotItsOwn)
{
    test::TestEnvironment::freshHome();
    const QString id = QString::fromStdString(kId);
    ASSERT_FALSE(PluginElection::setElection(id, PluginElection::Choice::Use));
    // A name the writer of this process might have picked for itself is taken by another file.
    const BytePath other(PluginElection::filePath().bytes() + ".tmp-" + std::to_string(::getpid()));
    test::writeFile(other, "not the writer's");

    EXPECT_FALSE(PluginElection::setElection(id, PluginElection::Choice::Ignore));
    EXPECT_EQ(PluginElection::electionFor(id), PluginElection::Choice::Ignore);
    EXPECT_EQ(test::readFile(other), "not the writer's");
}
