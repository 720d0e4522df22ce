#include "DesktopEntryLauncher.h"
#include "EventWait.h"
#include "Fixtures.h"
#include "TestEnvironment.h"

#include <QString>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace lurkel::test {
namespace {

// The user's data folder and two system ones, each with an empty "applications" folder.
class DesktopEntryLauncherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = makeDir(TestEnvironment::freshHome() / "entries");
        user = makeDir(makeDir(base / "user") / "applications");
        first = makeDir(makeDir(base / "first") / "applications");
        second = makeDir(makeDir(base / "second") / "applications");
        dataHome.emplace("XDG_DATA_HOME", (base / "user").c_str());
        dataDirs.emplace("XDG_DATA_DIRS", ((base / "first").bytes() + ":" + (base / "second").bytes()).c_str());
    }

    static BytePath entry(const BytePath &path, const std::string &extra = {})
    {
        writeFile(path, "[Desktop Entry]\nType=Application\nName=Tool\nExec=tool\n" + extra);
        return path;
    }
    static std::optional<BytePath> find(const char *id) { return DesktopEntryLauncher::find(QString::fromUtf8(id)); }

    BytePath base, user, first, second;
    std::optional<ScopedEnv> dataHome, dataDirs;
};

TEST_F(DesktopEntryLauncherTest, FindsTheFirstEntryInFolderOrderWithSubfolders)
{
    const BytePath mine = entry(user / "org.example.Tool.desktop");
    entry(first / "org.example.Tool.desktop");
    EXPECT_EQ(find("org.example.Tool"), mine);
    EXPECT_EQ(find("org.example.Tool.desktop"), mine);

    const BytePath nested = entry(makeDir(makeDir(second / "vendor") / "suite") / "tool-pro.desktop");
    EXPECT_EQ(find("vendor-suite-tool-pro.desktop"), nested);
    EXPECT_EQ(find("vendor-suite-tool-other.desktop"), std::nullopt);
    EXPECT_EQ(find("org.example.Missing"), std::nullopt);

    // Removed by the user: the system's entry does not count either.
    entry(user / "vendor-suite-tool-pro.desktop", "Hidden = true\n");
    EXPECT_EQ(find("vendor-suite-tool-pro"), std::nullopt);
    entry(user / "org.example.Other.desktop", "[Desktop Action New]\nHidden=true\n");
    EXPECT_EQ(find("org.example.Other"), user / "org.example.Other.desktop");
}

TEST_F(DesktopEntryLauncherTest, IdsThatReachOutsideTheFoldersFindNothing)
{
    entry(base / "user" / "escape.desktop");
    entry(base / "escape.desktop");
    entry(user / "escape");
    for (const char *id : {"../escape.desktop", "..-escape.desktop", "..-..-escape", "./escape.desktop",
                           "/tmp/escape.desktop", "", ".desktop", "..", "."})
        EXPECT_EQ(find(id), std::nullopt) << id;
    EXPECT_EQ(DesktopEntryLauncher::find(QString::fromUtf8("escape\0.desktop", 15)), std::nullopt);
}

TEST_F(DesktopEntryLauncherTest, LaunchRunsGioOnTheEntryAsOneArgument)
{
    // The stand-in writes its arguments, NUL-terminated, and then moves them into place.
    const BytePath tools = makeDir(base / "bin");
    const BytePath record = base / "gio-argv";
    writeFile(tools / "gio", "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + record.bytes() + ".part'\n" +
                                 findTool("mv").bytes() + " '" + record.bytes() + ".part' '" + record.bytes() + "'\n");
    ASSERT_EQ(::chmod((tools / "gio").c_str(), 0755), 0);
    const ScopedEnv path("PATH", tools.c_str());

    EXPECT_FALSE(DesktopEntryLauncher::launch(QStringLiteral("org.example.Missing")));
    for (const std::string &name : hostileNames()) {
        const QString id = QString::fromUtf8(name);
        if (id.toUtf8() != QByteArray::fromStdString(name) || name.size() > 200) continue; // ids are text
        SCOPED_TRACE(name);
        const BytePath installed = entry(first / (name + ".desktop"));
        ::unlink(record.c_str());
        ASSERT_TRUE(DesktopEntryLauncher::launch(id));
        ASSERT_TRUE(pollUntil([&] { return exists(record); }));
        EXPECT_EQ(readFile(record), std::string("launch") + '\0' + installed.bytes() + '\0');
    }

    const ScopedEnv noGio("PATH", makeDir(base / "empty").c_str());
    EXPECT_FALSE(DesktopEntryLauncher::launch(QStringLiteral("with space")));
}

} // namespace
} // namespace lurkel::test
