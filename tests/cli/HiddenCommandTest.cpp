// "lurkelctl hidden" as a program: the shipped scripts against a fake nautilus and gsettings
// (keyfile back end), and scripts of the test's own for failures and the note to Lurkel.
#include "DistributedNotificationCenter.h"
#include "EventWait.h"
#include "FakeScripts.h"
#include "Fixtures.h"
#include "Identity.h"
#include "PrivateBus.h"
#include "RunningApplications.h"
#include "Spawn.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace lurkel::test {
namespace {

class HiddenCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = TestEnvironment::freshHome();
        const BytePath bin = home / "bin";
        ASSERT_TRUE(XdgDirs::makePath(bin, 0700));
        // Present; asked only for its version, since it follows the setting live.
        writeFile(bin / "nautilus", "#!/bin/sh\n[ \"${1-}\" = --version ] && echo 'GNOME nautilus 43.2'\nexit 0\n");
        ASSERT_EQ(::chmod((bin / "nautilus").c_str(), 0700), 0);
        // Only the fake nautilus: the machine's own file managers stay out of the test.
        const BytePath tools = makeToolFolder(home / "tools");
        environment = {{"GSETTINGS_BACKEND", "keyfile"}, {"PATH", bin.bytes() + ":" + tools.bytes()}};
    }
    SpawnResult run(std::vector<std::string> argv, std::vector<std::pair<std::string, std::string>> extra = {})
    {
        SpawnRequest request{std::move(argv), environment};
        request.environment.insert(request.environment.end(), extra.begin(), extra.end());
        return Spawn::run(request);
    }
    SpawnResult hidden(const std::string &what, std::vector<std::pair<std::string, std::string>> extra = {})
    {
        return run({lurkelctlProgram().bytes(), "hidden", what}, std::move(extra));
    }
    std::string fileChooserShowsHidden()
    {
        return run({"gsettings", "get", "org.gtk.gtk4.Settings.FileChooser", "show-hidden"}).standardOutput;
    }
    // The state lives in a file; switchBody may flip it.
    void installStateScripts(const std::string &switchBody)
    {
        const std::string state = "'" + (home / "state").bytes() + "'";
        installFakeScript("CheckHiddenFilesFisibilityByAskingFinder", home / "log",
                          "[ -f " + state + " ] && echo .shown\nexit 0\n");
        installFakeScript("SwitchHiddenFilesVisibility2", home / "log", switchBody);
        installFakeScript("WriteIntoSystemPreferencesShowHiddens", home / "log");
        installFakeScript("WriteIntoSystemPreferencesHideHiddens", home / "log");
    }

    BytePath home;
    std::vector<std::pair<std::string, std::string>> environment;
};

TEST_F(HiddenCommandTest, TheShippedScriptsSwitchAndReadTheGtkFileChooserKey)
{
    ASSERT_EQ(fileChooserShowsHidden(), "false\n") << "the GTK 4 schemas are installed by scripts/install-deps.sh";
    SpawnResult result = hidden("toggle");
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "shown\n");
    EXPECT_EQ(fileChooserShowsHidden(), "true\n");
    EXPECT_EQ(readFile(XdgDirs::appScriptsDir() / "SwitchHiddenFilesVisibility2.scpt").substr(0, 10), "#!/bin/sh\n");

    result = hidden("status");
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "shown\n");
    for (int i = 0; i < 2; ++i) { // the second finds nothing to do
        result = hidden("hide");
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        EXPECT_EQ(result.standardOutput, "hidden\n");
    }
    EXPECT_EQ(fileChooserShowsHidden(), "false\n");
}

TEST_F(HiddenCommandTest, AFailedSwitchOrANeededPermissionSheetEndsWithTheReason)
{
    installStateScripts("echo 'nemo: the gsettings schema is not installed' >&2\nexit 3\n");
    SpawnResult result = hidden("show");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_NE(result.standardError.find("nemo: the gsettings schema is not installed (exit 3)"), std::string::npos)
        << result.standardError;

    result = hidden("toggle", {{"LURKEL_SYSTEM_VERSION", "10.14"}});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("permission sheet"), std::string::npos) << result.standardError;
    // the failed switch, what the restorer wrote after it, and nothing for the refused one
    EXPECT_EQ(fileLines(home / "log"),
              (std::vector<std::string>{"CheckHiddenFilesFisibilityByAskingFinder", "SwitchHiddenFilesVisibility2",
                                        "WriteIntoSystemPreferencesHideHiddens"}));
}

TEST_F(HiddenCommandTest, ARunningLurkelIsToldTheConfirmedState)
{
    ASSERT_TRUE(PrivateBus::shared().isRunning());
    const QString app = QString::fromLatin1(Identity::kBundleIdentifier);
    ASSERT_TRUE(RunningApplications::claim(app));
    std::vector<QVariantMap> notes;
    DistributedNotificationCenter::defaultCenter().addObserver(
        QStringLiteral("xpcNote"), app, [&](const Notification &note) { notes.push_back(note.userInfo); });
    installStateScripts("if [ -f '" + (home / "state").bytes() + "' ]; then rm '" + (home / "state").bytes() +
                        "'; else : > '" + (home / "state").bytes() + "'; fi\n");

    const SpawnResult result = hidden("toggle");
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "shown\n");
    ASSERT_TRUE(waitUntil([&] { return !notes.empty(); }));
    EXPECT_EQ(notes[0].value(QStringLiteral("KEY_showHiddenState")), QVariant(true));
    EXPECT_EQ(hidden("status").standardOutput, "shown\n"); // nothing switched: nothing told
    drainMainQueue();
    EXPECT_EQ(notes.size(), 1u);
    const std::vector<std::string> ran = fileLines(home / "log");
    EXPECT_NE(std::find(ran.begin(), ran.end(), "WriteIntoSystemPreferencesShowHiddens"), ran.end());
}

} // namespace
} // namespace lurkel::test
