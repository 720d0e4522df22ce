#include "ChildProcesses.h"

#include "Autostart.h"
#include "Identity.h"
#include "Spawn.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel::test {
namespace {

constexpr uid_t kNobody = 65534;

// lurkelctl installed beside lurkel-launcher, as a package installs them.
BytePath installation()
{
    static const BytePath folder =
        installPrograms("cli", {{LURKELCTL_PROGRAM, "lurkelctl"}, {LURKEL_LAUNCHER_PROGRAM, "lurkel-launcher"}});
    return folder;
}

SpawnResult runLurkelctl(const std::vector<std::string> &args,
                         std::vector<std::pair<std::string, std::string>> env = {}, bool unprivileged = false)
{
    SpawnRequest request;
    // As root every folder is writable: the subject runs as an ordinary user instead.
    if (unprivileged && ::geteuid() == 0) {
        request.argv = {"setpriv", "--reuid=" + std::to_string(kNobody), "--regid=" + std::to_string(kNobody),
                        "--clear-groups"};
    }
    request.argv.push_back((installation() / "lurkelctl").bytes());
    request.argv.insert(request.argv.end(), args.begin(), args.end());
    request.environment = std::move(env);
    request.unsetEnvironment = {"DBUS_SESSION_BUS_ADDRESS"};
    return Spawn::run(request);
}

TEST(LoginCommandTest, OnStatusOff)
{
    TestEnvironment::freshHome();
    EXPECT_EQ(runLurkelctl({"login", "status"}).standardOutput, "off\n");
    const SpawnResult on = runLurkelctl({"login", "on"});
    EXPECT_EQ(on.exitStatus, 0) << on.standardError;
    EXPECT_EQ(runLurkelctl({"login", "status"}).standardOutput, "on\n");

    // An entry of the older kind shows, and "off" turns it off as well.
    const BytePath legacy = Autostart::userEntryPath(Identity::kBundleIdentifier);
    writeFile(legacy, "[Desktop Entry]\nType=Application\nName=Lurkel\nExec=/usr/bin/lurkel\n");
    EXPECT_EQ(runLurkelctl({"login", "status"}).standardOutput, "on\nlegacy entry: " + legacy.bytes() + "\n");
    const SpawnResult off = runLurkelctl({"login", "off"});
    EXPECT_EQ(off.exitStatus, 0) << off.standardError;
    EXPECT_EQ(runLurkelctl({"login", "status"}).standardOutput, "off\n");

    EXPECT_EQ(runLurkelctl({"login"}).exitStatus, 2);
    EXPECT_EQ(runLurkelctl({"login", "maybe"}).exitStatus, 2);
}

TEST(LoginCommandTest, AnAutostartFolderTheUserCannotWriteCallsTheFailedBlock)
{
    // Folders under the world-readable test root, owned by root (or read-only when the
    // tests do not run as root).
    const BytePath home = TestEnvironment::root() / "unprivileged";
    const BytePath config = home / "config";
    const BytePath autostart = config / "autostart";
    for (const BytePath &dir : {home, config, autostart, home / "etc", home / "runtime"}) {
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0) << dir.bytes() << ": " << std::strerror(errno);
    }
    const bool root = ::geteuid() == 0;
    auto allowWriting = [&](bool allowed) {
        for (const BytePath &dir : {config, autostart}) {
            if (root) {
                ASSERT_EQ(::chown(dir.c_str(), allowed ? kNobody : 0, allowed ? kNobody : 0), 0);
            } else {
                ASSERT_EQ(::chmod(dir.c_str(), allowed ? 0755 : 0555), 0);
            }
        }
    };
    const std::vector<std::pair<std::string, std::string>> env = {
        {"HOME", home.bytes()},
        {"XDG_CONFIG_HOME", config.bytes()},
        {"XDG_CONFIG_DIRS", (home / "etc").bytes()},
        {"XDG_RUNTIME_DIR", (home / "runtime").bytes()},
    };
    const std::string denied = std::strerror(EACCES);

    allowWriting(false);
    const SpawnResult on = runLurkelctl({"login", "on"}, env, true);
    EXPECT_EQ(on.exitStatus, 1) << on.failureDescription().toStdString();
    EXPECT_NE(on.standardError.find("Couldn't add Helper App to launch at login item list."), std::string::npos);
    EXPECT_NE(on.standardError.find(denied), std::string::npos) << on.standardError;

    // The same child succeeds once the folder is its own: the refusal above was the folder's.
    allowWriting(true);
    const SpawnResult allowed = runLurkelctl({"login", "on"}, env, true);
    ASSERT_EQ(allowed.exitStatus, 0) << allowed.failureDescription().toStdString();
    EXPECT_EQ(runLurkelctl({"login", "status"}, env, true).standardOutput, "on\n");

    allowWriting(false);
    const SpawnResult off = runLurkelctl({"login", "off"}, env, true);
    EXPECT_EQ(off.exitStatus, 1);
    EXPECT_NE(off.standardError.find("Couldn't remove Helper App from launch at login item list."), std::string::npos);
    EXPECT_NE(off.standardError.find(denied), std::string::npos) << off.standardError;
    EXPECT_EQ(runLurkelctl({"login", "status"}, env, true).standardOutput, "on\n");
    allowWriting(true);
}

} // namespace
} // namespace lurkel::test
