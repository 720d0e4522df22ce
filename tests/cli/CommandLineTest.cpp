#include "CommandLine.h"
#include "ArgumentParser.h"
#include "Fixtures.h"
#include "Interrupt.h"
#include "Spawn.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace lurkel;
using namespace lurkel::cli;

namespace {

struct RunOutput {
    int rc;
    std::string out, err;
};

RunOutput runLine(const CommandLine &line, std::vector<std::string> args)
{
    std::ostringstream out, err;
    CommandIO io{out, err};
    const int rc = line.run(args, io);
    return {rc, out.str(), err.str()};
}

CommandLine sampleLine(std::vector<std::string> &received)
{
    CommandLine line;
    line.add(Command{"echo", "echo [-n] ARG...", "print the arguments", "More words.",
                     [&received](const std::vector<std::string> &args, CommandIO &io) {
                         received = args;
                         io.out << args.size();
                         return 0;
                     }});
    return line;
}

} // namespace

TEST(CommandLine, DispatchHelpAndUsageErrors)
{
    std::vector<std::string> received;
    const CommandLine line = sampleLine(received);

    const RunOutput none = runLine(line, {});
    EXPECT_EQ(none.rc, kExitUsage);
    EXPECT_NE(none.err.find("echo"), std::string::npos);

    const RunOutput help = runLine(line, {"--help"});
    EXPECT_EQ(help.rc, kExitSuccess);
    EXPECT_NE(help.out.find("print the arguments"), std::string::npos);

    for (const auto &args : {std::vector<std::string>{"echo", "--help"}, std::vector<std::string>{"help", "echo"}}) {
        const RunOutput r = runLine(line, args);
        EXPECT_EQ(r.rc, kExitSuccess);
        EXPECT_NE(r.out.find("Usage: lurkelctl echo [-n] ARG..."), std::string::npos);
        EXPECT_NE(r.out.find("More words."), std::string::npos);
    }
    EXPECT_TRUE(received.empty()); // help never runs the command

    EXPECT_EQ(runLine(line, {"nope"}).rc, kExitUsage);
    EXPECT_EQ(runLine(line, {"--frobnicate"}).rc, kExitUsage);
    EXPECT_EQ(runLine(line, {"help", "nope"}).rc, kExitUsage);

    // after "--" a file may be called --help; bytes pass through untouched
    const std::string odd("\xff\n--help", 8);
    EXPECT_EQ(runLine(line, {"echo", "--", "--help", odd}).rc, 0);
    EXPECT_EQ(received, (std::vector<std::string>{"--", "--help", odd}));
}

TEST(ArgumentParser, FlagsOptionsAndPositionals)
{
    ArgumentParser p;
    p.flag("-0").flag("--json").option("--filter");
    ASSERT_TRUE(p.parse({"a", "-0", "--filter", "hidden", "--", "-b", "--json"}));
    EXPECT_TRUE(p.has("-0"));
    EXPECT_FALSE(p.has("--json"));
    EXPECT_EQ(p.value("--filter"), "hidden");
    EXPECT_EQ(p.positional(), (std::vector<std::string>{"a", "-b", "--json"}));

    ASSERT_TRUE(p.parse({"--filter=regular,package", "-"}));
    EXPECT_EQ(p.value("--filter"), "regular,package");
    EXPECT_EQ(p.positional(), (std::vector<std::string>{"-"})); // "-" alone is an argument

    EXPECT_FALSE(p.parse({"--filter"}));
    EXPECT_NE(p.error().find("needs a value"), std::string::npos);
    EXPECT_FALSE(p.parse({"--json=1"}));
    EXPECT_FALSE(p.parse({"-x"}));
}

TEST(Interrupt, HooksRunOnceRequested)
{
    Interrupt::resetForTesting();
    int calls = 0;
    const auto token = Interrupt::onInterrupt([&]() { ++calls; });
    EXPECT_FALSE(Interrupt::requested());
    Interrupt::raiseForTesting();
    EXPECT_TRUE(Interrupt::requested());
    EXPECT_EQ(calls, 1);
    Interrupt::remove(token);
    Interrupt::raiseForTesting();
    EXPECT_EQ(calls, 1);
    Interrupt::resetForTesting();
}

TEST(Lurkelctl, ExitStatusOfTheRealProgram)
{
    const test::CtlResult version = test::runLurkelctl({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out.rfind("lurkelctl (Lurkel) ", 0), 0u) << version.out;
    EXPECT_EQ(test::runLurkelctl({}).exitStatus, 2);
    EXPECT_EQ(test::runLurkelctl({"version", "extra"}).exitStatus, 2);
    const test::CtlResult v = test::runLurkelctl({"version"});
    EXPECT_EQ(v.exitStatus, 0);
    EXPECT_NE(v.out.find("Brendix"), std::string::npos);
}
