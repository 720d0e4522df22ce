#include "BytePath.h"
#include "EventWait.h"
#include "PrivateBus.h"
#include "Spawn.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace lurkel;

namespace {

const std::string kId = "com.brendix.Lurkel-SII";
const char *const kPrograms[] = {"lurkel",           "lurkel-launcher",    "lurkelctl",
                                 "lurkel-pluginkit", "lurkel-finder-sync", "lurkel-hider"};

bool isFile(const BytePath &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Installed programs must be runnable by every user (a system-wide install is made by root).
bool isProgram(const BytePath &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0755) == 0755;
}

SpawnResult install(const std::string &prefix, std::vector<std::pair<std::string, std::string>> environment = {})
{
    SpawnRequest request;
    request.argv = {LURKEL_CMAKE_COMMAND, "--install", test::TestEnvironment::buildDir().bytes(), "--prefix", prefix};
    request.environment = std::move(environment);
    return Spawn::run(request);
}

// The value of KEY in the [Desktop Entry] group, as written in the file.
std::string desktopValue(const std::string &entry, std::string_view key)
{
    bool inGroup = false;
    std::size_t at = 0;
    while (at < entry.size()) {
        std::size_t end = entry.find('\n', at);
        if (end == std::string::npos) end = entry.size();
        const std::string_view line(entry.data() + at, end - at);
        at = end + 1;
        if (line.starts_with('[')) {
            inGroup = line == "[Desktop Entry]";
        } else if (inGroup && line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=') {
            return std::string(line.substr(key.size() + 1));
        }
    }
    return {};
}

// The program an Exec value starts, decoded the way launchers do: the string escapes
// first, then the quoting of the first argument.
std::string execProgram(const std::string &value)
{
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char c = value[++i];
            unescaped += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        } else {
            unescaped += value[i];
        }
    }
    std::string program;
    if (unescaped.starts_with('"')) {
        std::size_t i = 1;
        for (; i < unescaped.size() && unescaped[i] != '"'; ++i) {
            if (unescaped[i] == '\\' && i + 1 < unescaped.size() &&
                std::string_view("\"`$\\").find(unescaped[i + 1]) != std::string_view::npos)
                ++i;
            program += unescaped[i];
        }
        if (i == unescaped.size()) return {}; // no closing quote
    } else {
        program = unescaped.substr(0, unescaped.find(' '));
    }
    return program;
}

std::string readLink(const std::string &path)
{
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

} // namespace

// One install into a prefix whose name needs every kind of quoting in a desktop entry, and
// everything that should be under it afterwards.
TEST(Install, PutsTheProgramsIconsAndMenuEntryUnderThePrefix)
{
    const BytePath build = test::TestEnvironment::buildDir();
    const BytePath prefix = test::TestEnvironment::root() / "it's a \"pre fix\" for $HOME (x)";
    const SpawnResult installed = install(prefix.bytes());
    ASSERT_TRUE(installed.succeeded()) << installed.standardOutput << installed.failureDescription().toStdString();

    for (const char *name : kPrograms) {
        const bool built = isFile(build / "bin" / name);
        EXPECT_EQ(isFile(prefix / "bin" / name), built) << name << (built ? " was built" : " was not built");
        if (built) {
            EXPECT_TRUE(isProgram(prefix / "bin" / name)) << name;
        }
    }
    EXPECT_TRUE(isProgram(prefix / "bin/lurkelctl"));
    EXPECT_TRUE(isFile(prefix / "share/doc/lurkel/README.md"));

    // The installed copy runs on its own, away from the build tree.
    const SpawnResult pluginkit =
        Spawn::run({{(prefix / "bin/lurkel-pluginkit").bytes(), "-m", "-A", "-i", kId + ".FinderSyncExt"}});
    EXPECT_EQ(pluginkit.exitStatus, 0) << pluginkit.failureDescription().toStdString();
    EXPECT_NE(pluginkit.standardOutput.find(kId + ".FinderSyncExt"), std::string::npos) << pluginkit.standardOutput;

    // A bus reading the installed activation file starts the installed helper service (its
    // Exec line quoted for the bus) on a request to its name.
    const std::string hider = kId + ".hiderXPC";
    ASSERT_TRUE(isFile(prefix / "share/dbus-1/services" / (hider + ".service")));
    {
        test::PrivateBus bus({prefix / "share/dbus-1/services"});
        QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), QStringLiteral("install-test"));
        QDBusMessage request = QDBusMessage::createMethodCall(
            QString::fromStdString(hider), QStringLiteral("/com/brendix/Lurkel_SII/hiderXPC"),
            QStringLiteral("com.brendix.Lurkel_SII.hiderXPC"), QStringLiteral("Request"));
        request.setArguments({QVariantMap{{QStringLiteral("body"), QByteArray("/nowhere")}}});
        const QDBusMessage reply = connection.call(request, QDBus::Block, test::kWaitMs);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        const uint pid = connection.interface()->servicePid(QString::fromStdString(hider)).value();
        EXPECT_EQ(readLink("/proc/" + std::to_string(pid) + "/exe"), (prefix / "bin/lurkel-hider").bytes());
        QDBusMessage quit =
            QDBusMessage::createMethodCall(QString::fromStdString(hider), QStringLiteral("/com/brendix/Application"),
                                           QStringLiteral("com.brendix.Application"), QStringLiteral("Quit"));
        connection.call(quit, QDBus::Block, test::kWaitMs);
        EXPECT_TRUE(test::pollUntil(
            [&] { return !connection.interface()->isServiceRegistered(QString::fromStdString(hider)).value(); }));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("install-test"));

    const BytePath icons = prefix / "share/icons/hicolor/scalable";
    if (LURKEL_INSTALLS_TRAY_APP) {
        EXPECT_TRUE(isFile(icons / "status/offon_91-symbolic.svg"));
        EXPECT_TRUE(isFile(icons / "status/offon_90-symbolic.svg"));
        EXPECT_TRUE(isFile(icons / "apps" / (kId + ".svg")));
    }

    // The menu entry comes with lurkel, and names it where it was installed.
    const BytePath entryPath = prefix / "share/applications" / (kId + ".desktop");
    if (!isFile(prefix / "bin/lurkel")) {
        EXPECT_FALSE(isFile(entryPath)) << "a menu entry for a program that is not installed";
        return;
    }
    ASSERT_TRUE(isFile(entryPath));
    const SpawnResult validated = Spawn::run({{"desktop-file-validate", entryPath.bytes()}});
    EXPECT_TRUE(validated.succeeded()) << validated.standardOutput << validated.failureDescription().toStdString();
    const std::string entry = test::readFile(entryPath);
    const std::string exec = desktopValue(entry, "Exec");
    EXPECT_EQ(execProgram(exec), (prefix / "bin/lurkel").bytes()) << "Exec=" << exec;
    EXPECT_TRUE(isFile(icons / "apps" / (desktopValue(entry, "Icon") + ".svg")));
}

// A staged install (DESTDIR, as packages are made) writes under the stage but names the
// final place in the menu entry.
TEST(Install, StagedInstallNamesTheFinalPlace)
{
    if (!isFile(test::TestEnvironment::buildDir() / "bin/lurkel")) GTEST_SKIP() << "lurkel was not built";
    const BytePath stage = test::TestEnvironment::root() / "stage";
    const SpawnResult installed = install("/opt/lurkel test", {{"DESTDIR", stage.bytes()}});
    ASSERT_TRUE(installed.succeeded()) << installed.standardOutput << installed.failureDescription().toStdString();

    EXPECT_TRUE(isProgram(stage / "opt/lurkel test/bin/lurkel"));
    const std::string exec =
        desktopValue(test::readFile(stage / "opt/lurkel test/share/applications" / (kId + ".desktop")), "Exec");
    EXPECT_EQ(execProgram(exec), "/opt/lurkel test/bin/lurkel") << "Exec=" << exec;
    const std::string service =
        test::readFile(stage / "opt/lurkel test/share/dbus-1/services" / (kId + ".hiderXPC.service"));
    EXPECT_NE(service.find("\nExec='/opt/lurkel test/bin/lurkel-hider'\n"), std::string::npos) << service;
}

// Nautilus loads modules only from its own folder: a system-wide install puts Lurkel's there
// (listed, as every installed file, for `make uninstall`), a per-user one leaves it out.
TEST(Install, TheNautilusModuleGoesWhereNautilusLoadsItOnlyForASystemPrefix)
{
    if (std::string_view(LURKEL_NAUTILUS_EXTENSION_DIR).empty()) GTEST_SKIP() << "the Nautilus module was not built";
    const BytePath module = BytePath(LURKEL_NAUTILUS_EXTENSION_DIR) / "lurkel-nautilus.so";
    for (const std::string prefix : {"/usr", "/usr/local", "/opt/lurkel"}) {
        const BytePath stage = test::TestEnvironment::root() / ("stage-nautilus" + prefix);
        const SpawnResult installed = install(prefix, {{"DESTDIR", stage.bytes()}});
        ASSERT_TRUE(installed.succeeded()) << installed.standardOutput << installed.failureDescription().toStdString();
        const bool system = prefix != "/opt/lurkel";
        EXPECT_EQ(isFile(BytePath(stage.bytes() + module.bytes())), system) << prefix;
    }
}
