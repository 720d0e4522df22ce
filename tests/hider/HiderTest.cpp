// lurkel-hider started by a private bus from the build tree's activation file, as the session
// bus starts the installed one: its answers, its effects, and how it ends.
#include "HiderRequest.h"
#include "MessageNames.h"
#include "SessionDisplay.h"

#include "ChildProcesses.h"
#include "EventWait.h"
#include "Fixtures.h"
#include "Identity.h"
#include "PrivateBus.h"
#include "ScriptTestSupport.h"
#include "TestEnvironment.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QObject>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lurkel::test {
namespace {

const QString kHider = QString::fromLatin1(Identity::kHiderIdentifier);

// The "xpcNote" posts seen on a bus.
class NoteListener : public QObject {
    Q_OBJECT
public:
    std::vector<std::pair<QString, QVariantMap>> notes; // object, user info

public Q_SLOTS:
    void onPost(const QString &name, const QString &object, const QVariantMap &userInfo)
    {
        if (name == QLatin1String(MessageNames::kXpcNote)) notes.emplace_back(object, userInfo);
    }
};

// A private bus of its own for one test, started with the environment the test has set up
// (which the helper gets when the bus starts it), and a connection of the test to it.
class HiderBus {
public:
    HiderBus()
        : m_bus(BytePathList{TestEnvironment::buildDir() / "share/dbus-1/services"}),
          m_connection(QDBusConnection::connectToBus(m_bus.address(), connectionName()))
    {
        EXPECT_TRUE(m_connection.isConnected()) << m_bus.address().toStdString();
        m_connection.connect({}, QString::fromLatin1(MessageNames::kDistributedPath),
                             QString::fromLatin1(MessageNames::kDistributedInterface), QStringLiteral("Post"),
                             &listener, SLOT(onPost(QString, QString, QVariantMap)));
    }
    ~HiderBus()
    {
        // A helper still running is told to quit before its bus goes.
        if (helperRuns()) call(kHider, "/com/brendix/Application", "com.brendix.Application", "Quit", {});
        EXPECT_TRUE(pollUntil([this] { return !helperRuns(); }));
        QDBusConnection::disconnectFromBus(m_connection.name());
    }
    HiderBus(const HiderBus &) = delete;
    HiderBus &operator=(const HiderBus &) = delete;

    // Request(a{sv}) -> a{sv}, starting the helper when it does not run.
    QVariantMap request(const QVariantMap &request)
    {
        const QDBusMessage reply = call(kHider, MessageNames::kHiderPath, MessageNames::kHiderInterface,
                                        MessageNames::kHiderRequest, {request});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.signature(), QStringLiteral("a{sv}"));
        return qdbus_cast<QVariantMap>(reply.arguments().value(0));
    }
    QVariantMap item(const BytePath &path, bool hide)
    {
        return request({{QStringLiteral("body"), path.toByteArray()}, {QStringLiteral("hide"), hide}});
    }
    QVariantMap showHidden(bool shown)
    {
        return request({{QStringLiteral("body"), QStringLiteral("doShowHidden")}, {QStringLiteral("hide"), shown}});
    }

    QDBusMessage call(const QString &service, const char *path, const char *interface, const char *method,
                      const QVariantList &arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            service, QString::fromLatin1(path), QString::fromLatin1(interface), QString::fromLatin1(method));
        message.setArguments(arguments);
        // A relaunch waits for file managers to quit: ample time, never a threshold.
        return m_connection.call(message, QDBus::BlockWithGui, 60000);
    }
    bool runs(const QString &name) const
    {
        const QDBusReply<bool> reply = m_connection.interface()->isServiceRegistered(name);
        return reply.isValid() && reply.value();
    }
    bool helperRuns() const { return runs(kHider); }

    NoteListener listener;

private:
    static QString connectionName()
    {
        static int count = 0;
        return QStringLiteral("hider-test-%1").arg(++count);
    }
    PrivateBus m_bus;
    QDBusConnection m_connection;
};

bool succeeded(const QVariantMap &answer)
{
    return answer.value(QStringLiteral("success")).toBool() && !answer.contains(QStringLiteral("error"));
}

// Answered false, and said why.
bool failed(const QVariantMap &answer)
{
    return answer.value(QStringLiteral("success")) == QVariant(false) &&
           !answer.value(QStringLiteral("error")).toString().isEmpty();
}

std::string text(const QVariantMap &answer)
{
    return answer.value(QStringLiteral("error")).toString().toStdString();
}

TEST(Hider, ItemRequestsTakeTheSharedRuleAndAnswerTruly)
{
    const ScopedEnv refreshNow("LURKEL_REFRESH_DELAY", "0");
    HiderBus bus;
    const BytePath dir = makeDir(TestEnvironment::root() / "items");

    // Unhiding ".x" gives "x"; a name that ".hidden" cannot hold is refused, and kept.
    for (const std::string &name : hostileNames()) {
        if (name.size() >= 255) continue; // no room for the dot
        SCOPED_TRACE(name);
        writeFile(dir / ("." + name), name);
        const QVariantMap answer = bus.item(dir / ("." + name), false);
        if (name.ends_with('\r')) {
            EXPECT_TRUE(failed(answer));
            EXPECT_TRUE(exists(dir / ("." + name)));
            continue;
        }
        EXPECT_TRUE(succeeded(answer)) << text(answer);
        EXPECT_FALSE(exists(dir / ("." + name)));
        EXPECT_EQ(readFile(dir / name), name);
    }
    // Hiding lists the name and keeps it.
    std::string listed;
    for (const std::string &name : hostileNames()) {
        SCOPED_TRACE(name);
        writeFile(dir / name, name);
        const bool listable = name.find('\n') == std::string::npos && !name.ends_with('\r');
        const QVariantMap answer = bus.item(dir / name, true);
        EXPECT_EQ(succeeded(answer), listable) << text(answer);
        EXPECT_EQ(failed(answer), !listable);
        if (listable) listed += name + "\n";
        EXPECT_EQ(readFile(dir / name), name);
    }
    EXPECT_EQ(readFile(dir / ".hidden"), listed);

    // "x" is never replaced: the unhide fails and says so.
    writeFile(dir / ".taken", "dotted");
    writeFile(dir / "taken", "the other one");
    const QVariantMap clash = bus.item(dir / ".taken", false);
    EXPECT_TRUE(failed(clash));
    EXPECT_NE(text(clash).find("taken"), std::string::npos) << text(clash);
    EXPECT_EQ(readFile(dir / "taken"), "the other one");
    EXPECT_EQ(readFile(dir / ".taken"), "dotted");

    EXPECT_TRUE(failed(bus.item(dir / "missing", true)));
    EXPECT_FALSE(exists(dir / "missing"));
    // GLib's trailing NUL is dropped; a NUL anywhere else refuses the request.
    writeFile(dir / "g", "g");
    EXPECT_TRUE(succeeded(bus.request({{QStringLiteral("body"), (dir / "g").toByteArray() + '\0'}})));
    EXPECT_EQ(readFile(dir / "g"), "g");
    EXPECT_FALSE(exists(dir / ".g")) << "\"hide\" missing reads false: unhide";
    const QByteArray withNul = (dir / "g").toByteArray() + QByteArray("\0/x", 3);
    EXPECT_TRUE(failed(bus.request({{QStringLiteral("body"), withNul}, {QStringLiteral("hide"), true}})));
    EXPECT_EQ(readFile(dir / ".hidden"), listed);
}

TEST(Hider, MalformedRequestsAreAnsweredFalse)
{
    HiderBus bus;
    const BytePath file = TestEnvironment::root() / "f";
    writeFile(file, "f");
    const QVariantMap malformed[] = {
        {},
        {{QStringLiteral("hide"), true}},
        {{QStringLiteral("body"), 42}, {QStringLiteral("hide"), true}},
        {{QStringLiteral("body"), QStringLiteral("f")}, {QStringLiteral("hide"), true}},
        {{QStringLiteral("body"), file.toByteArray()}, {QStringLiteral("hide"), QStringLiteral("yes")}},
        {{QStringLiteral("body"), QStringLiteral("doShowHidden")}, {QStringLiteral("hide"), 1}},
    };
    for (const QVariantMap &request : malformed) {
        const QVariantMap answer = bus.request(request);
        EXPECT_TRUE(failed(answer)) << text(answer);
    }
    EXPECT_FALSE(exists(file.parent() / ".hidden"));
    EXPECT_TRUE(bus.helperRuns()) << "it answered them all and runs on";
}

TEST(Hider, DoShowHiddenRelaunchesOnTheFileManagersDisplayAndNotifies)
{
    FakeDesktop desktop;
    desktop.addFileManager("nemo");
    const std::string display = std::getenv("DISPLAY");
    // The bus, and so the helper, has no display: that of the file manager on the same bus is
    // taken, not one of another session of the user (as the tests running beside this one are).
    const ScopedEnv noDisplay("DISPLAY", nullptr);
    HiderBus bus;
    desktop.startFileManager("nemo", {"--no-default-window"}, display);

    const std::string once = "start --no-default-window\nquit\nstopped\n";
    EXPECT_TRUE(succeeded(bus.showHidden(true)));
    EXPECT_TRUE(desktop.waitForLog("nemo", once + "start --no-default-window\n")) << desktop.log("nemo");
    EXPECT_EQ(desktop.gsettingsGet("org.nemo.preferences", "show-hidden-files"), "true");
    ASSERT_TRUE(waitUntil([&] { return bus.listener.notes.size() == 1; }));
    EXPECT_EQ(bus.listener.notes[0].first, QString::fromLatin1(Identity::kBundleIdentifier));
    EXPECT_EQ(bus.listener.notes[0].second, (QVariantMap{{QStringLiteral("KEY_showHiddenState"), true}}));

    EXPECT_TRUE(succeeded(bus.showHidden(false)));
    EXPECT_TRUE(desktop.waitForLog("nemo", once + once + "start --no-default-window\n")) << desktop.log("nemo");
    EXPECT_EQ(desktop.gsettingsGet("org.nemo.preferences", "show-hidden-files"), "false");
    ASSERT_TRUE(waitUntil([&] { return bus.listener.notes.size() == 2; }));
    EXPECT_EQ(bus.listener.notes[1].second, (QVariantMap{{QStringLiteral("KEY_showHiddenState"), false}}));

    // A failed script is answered as such, and announces no state.
    ASSERT_EQ(::unlink((desktop.binDir() / "nemo").c_str()), 0);
    const QVariantMap answer = bus.showHidden(true);
    EXPECT_TRUE(failed(answer));
    EXPECT_NE(text(answer).find("no file manager found"), std::string::npos) << text(answer);
    drainMainQueue();
    EXPECT_EQ(bus.listener.notes.size(), 2u);
}

TEST(Hider, EndsWhenIdle)
{
    const ScopedEnv shortIdle("LURKEL_HIDER_IDLE_MS", "100");
    HiderBus bus;
    EXPECT_TRUE(failed(bus.item(TestEnvironment::root() / "missing", true)));
    EXPECT_TRUE(pollUntil([&] { return !bus.helperRuns(); }));
    // The next request starts it again.
    EXPECT_TRUE(failed(bus.item(TestEnvironment::root() / "missing", true)));
}

TEST(Hider, TheApplicationsQuitEndsIt)
{
#ifndef LURKEL_APP_PROGRAM
    GTEST_SKIP() << "lurkel is not built here (no widgets)";
#else
    const ScopedEnv neverIdle("LURKEL_HIDER_IDLE_MS", "3600000");
    HiderBus bus;
    EXPECT_TRUE(failed(bus.item(TestEnvironment::root() / "missing", true)));
    ASSERT_TRUE(bus.helperRuns());

    const BytePath log = TestEnvironment::root() / "lurkel.log";
    const pid_t app = startProgram(LURKEL_APP_PROGRAM, log);
    ASSERT_GT(app, 0);
    const QString application = QString::fromLatin1(Identity::kBundleIdentifier);
    ASSERT_TRUE(pollUntil([&] { return bus.runs(application); })) << readFile(log);
    // Quit on the bus is the tray menu's Quit.
    const QDBusMessage quit = bus.call(application, "/com/brendix/Application", "com.brendix.Application", "Quit", {});
    EXPECT_EQ(quit.type(), QDBusMessage::ReplyMessage) << quit.errorMessage().toStdString();
    const std::optional<int> status = waitForExit(app);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << readFile(log);
    EXPECT_TRUE(pollUntil([&] { return !bus.helperRuns(); })) << readFile(log);
#endif
}

TEST(SessionDisplay, AFileManagersDisplayElseTheSessions)
{
    const BytePath proc = makeDir(TestEnvironment::root() / "proc");
    const auto process = [&](const char *pid, const std::string &comm, const std::string &environ) {
        makeDir(proc / pid);
        writeFile(proc / pid / "comm", comm + "\n");
        writeFile(proc / pid / "environ", environ);
    };
    process("10", "bash", std::string("DISPLAY=:1\0", 11));
    process("11", "nemo", std::string("HOME=/h\0DISPLAY=:2\0XAUTHORITY=/a\0", 33));
    process("12", "nautilus", std::string("XAUTHORITY=/b\0DISPLAY=\0", 23)); // no display at all
    process("13", "thunar", std::string("WAYLAND_DISPLAY=wayland-3", 25));
    SessionDisplay::Found found = SessionDisplay::fromFileManagers(proc, ::getuid());
    EXPECT_EQ(found.source, SessionDisplay::Source::FileManager);
    EXPECT_EQ(found.variables, (SessionDisplay::Variables{{"DISPLAY", ":2"}, {"XAUTHORITY", "/a"}}));
    EXPECT_EQ(found.description, QStringLiteral("nemo (pid 11)"));
    EXPECT_EQ(SessionDisplay::fromFileManagers(proc, ::getuid() + 1).source, SessionDisplay::Source::None);

    // Another session's file managers, whatever their order, come after one on this bus.
    process("14", "nautilus", std::string("DISPLAY=:4\0DBUS_SESSION_BUS_ADDRESS=unix:path=/other,guid=2\0", 60));
    process("15", "nemo", std::string("DBUS_SESSION_BUS_ADDRESS=unix:path=/ours,guid=1\0DISPLAY=:5\0", 59));
    found = SessionDisplay::fromFileManagers(proc, ::getuid(), "unix:path=/ours");
    EXPECT_EQ(found.variables, (SessionDisplay::Variables{{"DISPLAY", ":5"}}));
    found = SessionDisplay::fromFileManagers(proc, ::getuid(), "unix:path=/nobody,guid=3");
    EXPECT_EQ(found.variables, (SessionDisplay::Variables{{"DISPLAY", ":4"}}));

    const BytePath bin = makeDir(TestEnvironment::root() / "bin");
    const ScopedEnv path("PATH", bin.c_str());
    EXPECT_EQ(SessionDisplay::fromSessionManager().source, SessionDisplay::Source::None) << "no systemctl";
    writeFile(bin / "systemctl", "#!/bin/sh\n[ \"$*\" = '--user show-environment' ] || exit 1\n"
                                 "printf 'HOME=/h\\nWAYLAND_DISPLAY=wayland-0\\nDISPLAY=:0\\n'\n");
    ASSERT_EQ(::chmod((bin / "systemctl").c_str(), 0755), 0);
    found = SessionDisplay::fromSessionManager();
    EXPECT_EQ(found.source, SessionDisplay::Source::Session);
    EXPECT_EQ(found.variables, (SessionDisplay::Variables{{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}));
}

} // namespace
} // namespace lurkel::test

#include "HiderTest.moc"
