#include "LaunchOptions.h"
#include "Fixtures.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

using namespace lurkel;
using namespace lurkel::test;

TEST(LaunchOptions, SearchTextAndFolderAsTheyAreGiven)
{
    const BytePath work = makeDir(TestEnvironment::root() / "launch");
    const BytePath folder = makeDir(work / "-odd, name\n\xff");
    writeFile(work / "file", "");
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::string> text; // nullopt: no search
        BytePath folder;
        std::string error;
        bool help = false;
        bool version = false;
    };
    const Case cases[] = {
        {{}, std::nullopt, {}, ""},
        {{"ShowWindowAfterStart"}, std::nullopt, {}, ""},
        {{"--search"}, std::nullopt, {}, "usage: lurkel --search TEXT [FOLDER]"},
        {{"--search", "needle"}, "needle", {}, ""},
        {{"--search", "needle", folder.bytes()}, "needle", folder, ""},
        {{"--search", "\xfe needle", "-odd, name\n\xff"}, "\xfe needle", folder, ""}, // relative to the working folder
        {{"--search", "needle", "--platform"}, "needle", {}, ""},                     // an option is no folder
        {{"--search", "needle", "file"}, std::nullopt, {}, "lurkel: --search: not a folder: file"},
        {{"--search", "needle", "missing"}, std::nullopt, {}, "lurkel: --search: not a folder: missing"},
        {{"--help", "--search", "needle"}, std::nullopt, {}, "", true},
        {{"-h"}, std::nullopt, {}, "", true},
        {{"--version"}, std::nullopt, {}, "", false, true},
    };
    for (const Case &c : cases) {
        const LaunchOptions options = LaunchOptions::parse(c.arguments, work);
        SCOPED_TRACE(c.arguments.empty() ? std::string("(none)") : c.arguments.back());
        EXPECT_EQ(options.usageError, c.error);
        EXPECT_EQ(options.help, c.help);
        EXPECT_EQ(options.version, c.version);
        ASSERT_EQ(options.search.has_value(), c.text.has_value());
        if (!c.text) continue;
        EXPECT_EQ(options.search->text, *c.text);
        EXPECT_EQ(options.search->folder, c.folder);
    }
}
