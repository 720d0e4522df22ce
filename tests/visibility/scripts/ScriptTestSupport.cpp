#include "ScriptTestSupport.h"
#include "Fixtures.h"

#include "EventWait.h"
#include "Spawn.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ; // NOLINT(readability-redundant-declaration)

namespace lurkel::test {
namespace {

// The ordinary tools the scripts (and the fakes) call, linked into a folder of their own.
constexpr const char kFakeFileManager[] = R"FAKE(#!/bin/sh
me=${0##*/}
log="$FAKE_LOG/$me.log"
conf=
profile=default
prev=
for a; do
	case $prev in --profile | -p) profile=$a ;; esac
	case $a in --profile=*) profile=${a#--profile=} ;; esac
	prev=$a
done
case $me in
pcmanfm-qt) conf="$XDG_CONFIG_HOME/pcmanfm-qt/$profile/settings.conf" section=FolderView key=ShowHidden fallback=false ;;
pcmanfm) conf="$XDG_CONFIG_HOME/pcmanfm/$profile/pcmanfm.conf" section=ui key=show_hidden fallback=0 ;;
esac
case ${1-} in
-q | --quit)
	echo quit >>"$log"
	if [ -f "$FAKE_LOG/$me.pid" ]; then kill -TERM "$(cat "$FAKE_LOG/$me.pid")"; fi
	exit 0
	;;
--version)
	echo "GNOME nautilus ${FAKE_NAUTILUS_VERSION:-43.2}"
	exit 0
	;;
esac
saved=
if [ -n "$conf" ]; then
	saved=$(grep "^$key=" "$conf" 2>/dev/null) || saved="$key=$fallback"
fi
child=
quit() {
	if [ -n "$conf" ]; then
		mkdir -p "${conf%/*}"
		printf '[%s]\n%s\n' "$section" "$saved" >"$conf"
	fi
	echo stopped >>"$log"
	if [ -n "$child" ]; then kill "$child" 2>/dev/null; fi
	exit 0
}
trap quit TERM
echo $$ >"$FAKE_LOG/$me.pid"
line=start
for a; do line="$line $a"; done
echo "$line" >>"$log"
# runs until the test that made it ends (the end of "alive" is held open by the test only).
# The wait is done by a forked copy of this program that never execs, as a file manager's
# child is between fork and exec: same name, same command line. It is no instance to restart.
(
	cat "$FAKE_LOG/alive" >/dev/null
	exit 0
) &
child=$!
wait "$child"
)FAKE";

constexpr const char kFakeXfconf[] = R"FAKE(#!/bin/sh
chan= prop= value=
while [ $# -gt 0 ]; do
	case $1 in
	-c) chan=$2; shift ;;
	-p) prop=$2; shift ;;
	-s) value=$2; shift ;;
	-t) shift ;;
	esac
	shift
done
store="$FAKE_LOG/xfconf.$chan$(printf '%s' "$prop" | tr / _)"
if [ -n "$value" ]; then printf '%s\n' "$value" >"$store"; exit 0; fi
if [ -f "$store" ]; then cat "$store"; exit 0; fi
echo "Property \"$prop\" does not exist on channel \"$chan\"." >&2
exit 1
)FAKE";

void makeExecutable(const BytePath &path, std::string_view text)
{
    writeFile(path, text);
    ::chmod(path.c_str(), 0755);
}

BytePath schemaShare(unsigned schemas)
{
    BytePath share = TestEnvironment::root() / ("schemas-" + std::to_string(schemas));
    const BytePath folder = share / "glib-2.0/schemas";
    if (::access((folder / "gschemas.compiled").c_str(), F_OK) == 0) return share;
    XdgDirs::makePath(folder, 0755);
    const std::pair<unsigned, const char *> files[] = {
        {FakeDesktop::Gtk4, "org.gtk.gtk4.Settings.FileChooser.gschema.xml"},
        {FakeDesktop::Gtk3, "org.gtk.Settings.FileChooser.gschema.xml"},
        {FakeDesktop::Nemo, "org.nemo.gschema.xml"},
        {FakeDesktop::Caja, "org.mate.caja.gschema.xml"},
    };
    for (const auto &[bit, file] : files) {
        if ((schemas & bit) == 0) continue;
        const std::string text = readFile(BytePath("/usr/share/glib-2.0/schemas") / file);
        EXPECT_FALSE(text.empty()) << file << " is missing: run scripts/install-deps.sh";
        writeFile(folder / file, text);
    }
    const SpawnResult compiled = Spawn::run({{findTool("glib-compile-schemas").bytes(), folder.bytes()}});
    EXPECT_TRUE(compiled.succeeded()) << compiled.standardError;
    return share;
}

} // namespace

const std::vector<std::string> kHostileNames = {
    "two  spaces",
    "line\nfeed",
    "it's \"quoted\"",
    "$(touch pwned)",
    "`touch pwned`",
    "-rf",
    "\xff\xfe not utf-8",
    "a, b",
    " lead and trail ",
    "*",
    ".dot",
};

std::string RunOutcome::output() const
{
    std::string text;
    if (!result) return text;
    for (const std::string &line : *result) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    return text;
}

namespace {
RunOutcome awaitOutcome(const QString &name, const std::function<void(ScriptCompletion)> &start)
{
    auto outcome = std::make_shared<RunOutcome>();
    start([outcome](const auto &result, const auto &error) {
        outcome->finished = true;
        outcome->result = result;
        outcome->error = error;
    });
    EXPECT_TRUE(waitUntil([&outcome]() { return outcome->finished; }, 60000))
        << "no answer from " << name.toStdString();
    return *outcome;
}
} // namespace

RunOutcome runScript(ScriptsManager &runner, const QString &name)
{
    return awaitOutcome(name, [&](ScriptCompletion c) { runner.executeAppleScriptCompletion(name, std::move(c)); });
}

RunOutcome runScriptHandler(ScriptsManager &runner, const QString &name, const std::string &handler,
                            const BytePathList &arguments)
{
    return awaitOutcome(name, [&](ScriptCompletion c) {
        runner.executeAppleScriptHandlerCompletion(name, handler, arguments, std::move(c));
    });
}

bool waitForFileText(const BytePath &path, const std::string &text, int timeoutMs)
{
    const int fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd < 0) return false;
    ::inotify_add_watch(fd, path.parent().c_str(), IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO);
    QElapsedTimer clock;
    clock.start();
    bool found = false;
    while (!(found = readFile(path).find(text) != std::string::npos)) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) > 0) {
            char buffer[4096];
            while (::read(fd, buffer, sizeof buffer) > 0) {}
        }
    }
    ::close(fd);
    return found;
}

ScriptHome::ScriptHome(const BytePath &userFolder) : home(TestEnvironment::freshHome())
{
    XdgDirs::makePath(home / "bin", 0755);
    defaults = std::make_unique<UserDefaults>(QStringLiteral("lurkel-test-defaults"));
    access = std::make_unique<DiskAccessRestoreManager>(userFolder.empty() ? home : userFolder, *defaults);
    runner = std::make_unique<ScriptsManager>(*access, lurkelctl());
}

BytePath ScriptHome::scriptPath(const char *name) const
{
    return XdgDirs::appScriptsDir() / (std::string(name) + ".scpt");
}

void ScriptHome::installOwnScript(const char *name, const std::string &text) const
{
    XdgDirs::makePath(XdgDirs::appScriptsDir(), 0700);
    const BytePath path = scriptPath(name);
    writeFile(path, text);
    ::chmod(path.c_str(), 0700);
}

FakeDesktop::FakeDesktop(unsigned schemas) : m_root(scripts.home.parent() / "desktop")
{
    for (const char *dir : {"", "/bin", "/log"})
        XdgDirs::makePath(BytePath(m_root.bytes() + dir), 0755);
    makeToolFolder(m_root / "tools");
    ::setenv("PATH", (binDir().bytes() + ":" + (m_root / "tools").bytes()).c_str(), 1);
    ::setenv("FAKE_LOG", logDir().c_str(), 1);
    ::mkfifo((logDir() / "alive").c_str(), 0600);
    m_alive = ::open((logDir() / "alive").c_str(), O_RDWR | O_CLOEXEC);
    ::setenv("GSETTINGS_BACKEND", "keyfile", 1);
    ::setenv("XDG_DATA_DIRS", schemaShare(schemas).c_str(), 1);
    ::setenv("LURKEL_REFRESH_DELAY", "0", 1);
    static int desktops = 0;
    ::setenv("DISPLAY", (":lurkel-test-" + std::to_string(::getpid()) + "-" + std::to_string(++desktops)).c_str(), 1);
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("GSETTINGS_SCHEMA_DIR");
    ::unsetenv("FAKE_NAUTILUS_VERSION");
}

FakeDesktop::~FakeDesktop()
{
    // Ends the fakes by their pid files, and all others by closing "alive".
    if (DIR *dir = ::opendir(logDir().c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() < 5 || name.compare(name.size() - 4, 4, ".pid") != 0) continue;
            const pid_t pid = static_cast<pid_t>(std::atoi(readFile(logDir() / name).c_str()));
            if (pid > 1) ::kill(pid, SIGTERM);
        }
        ::closedir(dir);
    }
    if (m_alive >= 0) ::close(m_alive);
    for (const pid_t child : m_children) {
        ::kill(child, SIGTERM); // a no-op for those that have quit already
        ::waitpid(child, nullptr, 0);
    }
}

void FakeDesktop::addFileManager(const std::string &name)
{
    if (name == "thunar") makeExecutable(binDir() / "xfconf-query", kFakeXfconf);
    makeExecutable(binDir() / name, kFakeFileManager);
}

void FakeDesktop::setDefaultFileManager(const std::string &desktopId)
{
    makeExecutable(binDir() / "xdg-mime",
                   "#!/bin/sh\n[ \"$*\" = 'query default inode/directory' ] && echo '" + desktopId + "'\n");
}

void FakeDesktop::startFileManager(const std::string &name, const std::vector<std::string> &arguments,
                                   const std::string &display)
{
    std::vector<std::string> argv{"env", "DISPLAY=" + (display.empty() ? std::string(std::getenv("DISPLAY")) : display),
                                  name};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char *> args;
    for (std::string &a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, "env", &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ASSERT_EQ(rc, 0) << "cannot start the fake " << name;
    m_children.push_back(pid);
    ASSERT_TRUE(waitForLog(name, "start"));
}

std::string FakeDesktop::log(const std::string &name) const
{
    return readFile(logDir() / (name + ".log"));
}

bool FakeDesktop::waitForLog(const std::string &name, const std::string &text) const
{
    return waitForFileText(logDir() / (name + ".log"), text);
}

std::string FakeDesktop::gsettingsGet(const char *schema, const char *key) const
{
    const SpawnResult got = Spawn::run({{"gsettings", "get", schema, key}});
    return got.succeeded() ? got.standardOutput.substr(0, got.standardOutput.find('\n'))
                           : "error: " + got.standardError;
}

void FakeDesktop::gsettingsSet(const char *schema, const char *key, const char *value) const
{
    const SpawnResult set = Spawn::run({{"gsettings", "set", schema, key, value}});
    ASSERT_TRUE(set.succeeded()) << set.standardError;
}

std::string FakeDesktop::xfconfValue() const
{
    const std::string value = readFile(logDir() / "xfconf.thunar_last-show-hidden");
    return value.substr(0, value.find('\n'));
}

} // namespace lurkel::test
