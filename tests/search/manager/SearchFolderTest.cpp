// Every way into a search picks its folder by one rule, also when HOME is not the home
// folder of the password database (sudo -E, containers).
#include "SearchFolder.h"
#include "Fixtures.h"
#include "Settings.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"

#include <gtest/gtest.h>

using namespace lurkel;
using namespace lurkel::test;

namespace {

struct SplitHome : ::testing::Test {
    BytePath sessionHome = TestEnvironment::freshHome();
    // beside the session's HOME, in the same fresh folder
    BytePath realHome = makeDir(BytePath(sessionHome.bytes() + "-real"));
    ScopedEnv passwd{"LURKEL_TEST_PASSWD_HOME", realHome.c_str()};
};

} // namespace

TEST_F(SplitHome, TheRequestedFolderThenTheStoredOneThenThePasswordDatabaseHome)
{
    UserDefaults defaults(QStringLiteral("search-folder-test"));
    const Settings settings(defaults);
    const BytePath chosen = makeDir(sessionHome / "chosen");
    const BytePath stored = makeDir(sessionHome / "stored");

    EXPECT_EQ(SearchFolder::choose({}, settings), realHome);
    EXPECT_EQ(SearchFolder::choose(chosen, settings), chosen);
    Settings(defaults).saveSearchLocation(stored);
    EXPECT_EQ(SearchFolder::choose({}, settings), stored);
    EXPECT_EQ(SearchFolder::choose(sessionHome / "missing", settings), stored);
    writeFile(sessionHome / "file", "");
    EXPECT_EQ(SearchFolder::choose(sessionHome / "file", settings), stored);
    removeTree(stored);
    EXPECT_EQ(SearchFolder::choose({}, settings), realHome);
}

TEST_F(SplitHome, LurkelctlSearchesThePasswordDatabaseHome)
{
    writeFile(realHome / "needle-real", "");
    writeFile(sessionHome / "needle-session", "");
    const CtlResult result = runLurkelctl({"search", "needle"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, (realHome / "needle-real").bytes() + "\n");
}
