// The script runner's rules and the folder-access manager behind them.
#include "ScriptsManager.h"
#include "ApplicationActivity.h"
#include "DiskAccessRestoreManager.h"
#include "EventWait.h"
#include "Fixtures.h"
#include "Identity.h"
#include "ScriptTestSupport.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel::test {
namespace {

constexpr char kSwitch[] = "SwitchHiddenFilesVisibility2";
constexpr char kCheck[] = "CheckHiddenFilesFisibilityByAskingFinder";

std::string resourceText(const char *name)
{
    initScriptResources();
    QFile file(QStringLiteral(":/scripts/%1.scpt").arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

// Runs name and returns the error its completion got, which must come before the call returns.
std::optional<Error> immediateError(ScriptsManager &runner, const char *name)
{
    bool called = false;
    std::optional<Error> error;
    runner.executeAppleScriptCompletion(QString::fromLatin1(name), [&](const auto &result, const auto &e) {
        called = true;
        EXPECT_FALSE(result);
        error = e;
    });
    EXPECT_TRUE(called) << name;
    return error;
}

TEST(ScriptsManager, InstallsAMissingScriptOnceRunsTheUsersCopyAndReportsItsOutput)
{
    ScriptHome env;
    const BytePath path = env.scriptPath(kCheck);
    ASSERT_FALSE(exists(path));

    // No file manager on this PATH: the check itself fails, but it was installed and run.
    const std::string path0 = std::getenv("PATH");
    ::setenv("PATH", (env.home / "bin").c_str(), 1);
    const RunOutcome first = runScript(*env.runner, QString::fromLatin1(kCheck));
    ::setenv("PATH", path0.c_str(), 1);
    EXPECT_TRUE(first.errorText().contains(QStringLiteral("no file manager found"))) << first.errorText().toStdString();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(readFile(path), resourceText(kCheck));
    ASSERT_EQ(::stat(XdgDirs::appScriptsDir().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    // The user's own version stays and is what runs; its lines come back as bytes.
    const std::string own = "#!/bin/sh\nprintf '%s\\n' \"$LURKELCTL\" \"$#\"\nprintf 'a b\\n\\377\\376\\n\\nlast'\n";
    env.installOwnScript(kCheck, own);
    const RunOutcome second = runScript(*env.runner, QString::fromLatin1(kCheck));
    ASSERT_TRUE(second.ok()) << second.errorText().toStdString();
    EXPECT_EQ(*second.result, (ScriptResult{env.lurkelctl().bytes(), "0", "a b", "\xff\xfe", "", "last"}));
    EXPECT_EQ(readFile(path), own);

    env.installOwnScript(kCheck, "#!/bin/sh\necho '  cannot read the setting  ' >&2\nexit 4\n");
    const RunOutcome failed = runScript(*env.runner, QString::fromLatin1(kCheck));
    ASSERT_TRUE(failed.error);
    EXPECT_FALSE(failed.result);
    EXPECT_EQ(failed.error->code, -1);
    EXPECT_EQ(failed.error->domain, QLatin1String(Identity::kBundleIdentifier));
    EXPECT_EQ(failed.errorText(), QStringLiteral("cannot read the setting (exit 4)"));

    for (const char *name : {"NoSuchScript", "../CheckHiddenFilesFisibilityByAskingFinder", ""}) {
        const std::optional<Error> error = immediateError(*env.runner, name);
        EXPECT_TRUE(error && error->code == -1) << name;
    }
    EXPECT_FALSE(exists(env.scriptPath("NoSuchScript")));
}

TEST(ScriptsManager, WithoutAccessToTheUserFolderOnlyInstalledScriptsRun)
{
    // A user folder that does not exist: not even root can read it.
    ScriptHome env(BytePath("/nonexistent/lurkel-test-home"));
    ASSERT_FALSE(env.access->isUserFolderAccessible());

    env.installOwnScript(kCheck, "#!/bin/sh\necho installed\n");
    const RunOutcome installed = runScript(*env.runner, QString::fromLatin1(kCheck));
    ASSERT_TRUE(installed.ok()) << installed.errorText().toStdString();
    EXPECT_EQ(installed.output(), "installed");

    // The completion comes before the call returns, and nothing is copied.
    const std::optional<Error> error = immediateError(*env.runner, kSwitch);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1);
    EXPECT_EQ(error->domain, QLatin1String(Identity::kBundleIdentifier));
    EXPECT_TRUE(error->userInfo.isEmpty());
    EXPECT_FALSE(exists(env.scriptPath(kSwitch)));
    EXPECT_EQ(env.runner->mightLoseFocusBecauseOfScriptCounter(), 0);
}

TEST(ScriptsManager, RefusesScriptsThatOtherUsersCouldHaveWritten)
{
    ScriptHome env;
    const BytePath marker = env.home / "ran";
    env.installOwnScript(kCheck, "#!/bin/sh\n: > '" + marker.bytes() + "'\n");
    const BytePath path = env.scriptPath(kCheck);
    const auto mode = [](const BytePath &p, mode_t m) { return [p, m] { ASSERT_EQ(::chmod(p.c_str(), m), 0); }; };
    const auto owner = [&path](uid_t u, gid_t g) {
        return [&path, u, g] { ASSERT_EQ(::chown(path.c_str(), u, g), 0); };
    };

    struct Case {
        const char *what;
        std::function<void()> spoil, repair;
    };
    const Case cases[] = {
        {"group-writable script", mode(path, 0770), mode(path, 0700)},
        {"script of another user", owner(65534, 65534), owner(::geteuid(), ::getegid())},
        {"group-writable folder", mode(XdgDirs::appScriptsDir(), 0770), mode(XdgDirs::appScriptsDir(), 0700)},
        {"other-writable folder above", mode(XdgDirs::appDataDir(), 0777), mode(XdgDirs::appDataDir(), 0700)},
    };
    for (const Case &c : cases) {
        c.spoil();
        const RunOutcome refused = runScript(*env.runner, QString::fromLatin1(kCheck));
        c.repair();
        EXPECT_TRUE(refused.finished && refused.error) << c.what;
        EXPECT_FALSE(exists(marker)) << c.what;
    }
    const RunOutcome fine = runScript(*env.runner, QString::fromLatin1(kCheck));
    EXPECT_TRUE(fine.ok()) << fine.errorText().toStdString();
    EXPECT_TRUE(exists(marker));
}

class FakeActivity : public ApplicationActivity {
public:
    bool active = true;
    int activations = 0;
    bool isActive() const override { return active; }
    void activateIgnoringOtherApps() override { ++activations; }
};

TEST(ScriptsManager, OverlappingFocusScriptsKeepTheCounterUpUntilBothHaveEnded)
{
    FakeActivity activity;
    ScriptHome env;
    env.runner->setApplicationActivity(&activity);
    // Each run takes the first free gate, logs it, and waits until the test opens it.
    const BytePath gates = env.home / "gates";
    ASSERT_EQ(::mkdir(gates.c_str(), 0700), 0);
    for (const char *fifo : {"fifo1", "fifo2"})
        ASSERT_EQ(::mkfifo((gates / fifo).c_str(), 0600), 0);
    // Whatever happens, no script is left waiting and nothing calls the activity later.
    const auto open = [&gates](int n, int flags) {
        const int fd = ::open((gates / ("fifo" + std::to_string(n))).c_str(), O_WRONLY | O_CLOEXEC | flags);
        const bool written = fd >= 0 && ::write(fd, "go\n", 3) == 3;
        if (fd >= 0) ::close(fd);
        return written;
    };
    const std::shared_ptr<void> cleanup(nullptr, [&](void *) {
        for (const int n : {1, 2})
            open(n, O_NONBLOCK);
        env.runner->waitForRunningScripts();
        env.runner->setApplicationActivity(nullptr);
    });
    env.installOwnScript(kSwitch, "#!/bin/sh\ncd '" + gates.bytes() +
                                      "' || exit 1\n"
                                      "if mkdir taken1 2>/dev/null; then n=1; else mkdir taken2 || exit 1; n=2; fi\n"
                                      "echo $n >> waiting\nread line < fifo$n\necho run$n\n");

    auto ended = std::make_shared<std::vector<std::string>>();
    auto record = [ended](const auto &result, const auto &error) {
        ASSERT_FALSE(error);
        ended->push_back(result->front());
    };
    EXPECT_FALSE(env.runner->mightLoseFocusBecauseOfScript());
    env.runner->executeAppleScriptCompletion(QString::fromLatin1(kSwitch), record);
    ASSERT_TRUE(waitForFileText(gates / "waiting", "1\n"));
    activity.active = false; // the second starts while another application has the focus
    env.runner->executeAppleScriptCompletion(QString::fromLatin1(kSwitch), record);
    EXPECT_EQ(env.runner->mightLoseFocusBecauseOfScriptCounter(), 2);
    ASSERT_TRUE(waitForFileText(gates / "waiting", "1\n2\n"));

    ASSERT_TRUE(open(1, 0));
    ASSERT_TRUE(waitUntil([ended] { return ended->size() == 1; }));
    EXPECT_EQ(ended->front(), "run1");
    EXPECT_TRUE(env.runner->mightLoseFocusBecauseOfScript());
    EXPECT_EQ(activity.activations, 1);

    ASSERT_TRUE(open(2, 0));
    ASSERT_TRUE(waitUntil([ended] { return ended->size() == 2; }));
    EXPECT_FALSE(env.runner->mightLoseFocusBecauseOfScript());
    // only the run that started while the application was active gives the focus back
    EXPECT_EQ(activity.activations, 1);

    // Other scripts never count.
    activity.active = true;
    env.installOwnScript(kCheck, "#!/bin/sh\n");
    env.runner->executeAppleScriptCompletion(QString::fromLatin1(kCheck), {});
    EXPECT_EQ(env.runner->mightLoseFocusBecauseOfScriptCounter(), 0);
    env.runner->waitForRunningScripts();
    QCoreApplication::processEvents();
    EXPECT_EQ(activity.activations, 1);
}

TEST(DiskAccessRestoreManager, BookmarksStandInOnlyForUnreadableFolders)
{
    ScriptHome env;
    DiskAccessRestoreManager &access = *env.access;
    EXPECT_TRUE(access.isUserFolderAccessible());
    EXPECT_EQ(access.restoreAccessToPathIfNeeded(env.home), env.home);

    const BytePath gone("/nonexistent/lurkel-folder");
    EXPECT_FALSE(access.isPathAccessible(gone));
    access.saveAccessToPath(gone); // a bookmark needs something to point at
    EXPECT_FALSE(env.defaults->contains(QString::fromUtf8(gone.toByteArray())));

    // A bookmark stored for the unreadable path resolves to the readable folder it names.
    env.defaults->setObject(QString::fromUtf8(gone.toByteArray()), QVariant(env.home.toByteArray()));
    EXPECT_EQ(access.restoreAccessToPathIfNeeded(gone), env.home);
    EXPECT_TRUE(access.isPathAccessible(gone));
    env.defaults->setObject(QString::fromUtf8(gone.toByteArray()), QVariant(QStringLiteral("not data")));
    EXPECT_FALSE(access.isPathAccessible(gone));

    EXPECT_FALSE(access.restoreAccessToDiskIfNeeded());
    access.saveAccessToDisk();
    EXPECT_EQ(access.restoreAccessToDiskIfNeeded(), BytePath("/"));
    EXPECT_EQ(env.defaults->objectForKey(QString::fromLatin1(DiskAccessRestoreManager::kDiskAccessDataKey)),
              QVariant(QByteArray("/")));
}

} // namespace
} // namespace lurkel::test
