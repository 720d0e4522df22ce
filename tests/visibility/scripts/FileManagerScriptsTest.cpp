// The shipped file-manager scripts against fake file managers and gsettings (keyfile back end).
#include "ScriptTestSupport.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <algorithm>

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel::test {
namespace {

constexpr char kGtk4[] = "org.gtk.gtk4.Settings.FileChooser";
constexpr char kGtk3[] = "org.gtk.Settings.FileChooser";
constexpr char kNemo[] = "org.nemo.preferences";
constexpr char kCaja[] = "org.mate.caja.preferences";

constexpr char kShownLine[] = ".hidden-files-shown";

BytePath dolphinProps()
{
    return XdgDirs::dataHome() / "dolphin/view_properties/global/.directory";
}
BytePath pcmanfmQtConf(const std::string &profile = "default")
{
    return XdgDirs::configHome() / "pcmanfm-qt" / profile / "settings.conf";
}
BytePath pcmanfmConf(const std::string &profile = "default")
{
    return XdgDirs::configHome() / "pcmanfm" / profile / "pcmanfm.conf";
}

bool hasLine(const BytePath &file, const std::string &line)
{
    return ("\n" + readFile(file) + "\n").find("\n" + line + "\n") != std::string::npos;
}

// What the file manager's own setting says now: "shown", "hidden" or "unset".
std::string stored(const FakeDesktop &desktop, const std::string &fm)
{
    std::string value;
    if (fm == "nautilus") value = desktop.gsettingsGet(kGtk4, "show-hidden");
    if (fm == "nemo") value = desktop.gsettingsGet(kNemo, "show-hidden-files");
    if (fm == "caja") value = desktop.gsettingsGet(kCaja, "show-hidden-files");
    if (fm == "thunar") value = desktop.xfconfValue();
    const auto inFile = [&value](const BytePath &file, const std::string &key, const char *yes, const char *no) {
        value = hasLine(file, key + yes) ? "true" : hasLine(file, key + no) ? "false" : "";
    };
    if (fm == "dolphin") inFile(dolphinProps(), "HiddenFilesShown=", "true", "false");
    if (fm == "pcmanfm-qt") inFile(pcmanfmQtConf(), "ShowHidden=", "true", "false");
    if (fm == "pcmanfm") inFile(pcmanfmConf(), "show_hidden=", "1", "0");
    return value == "true" ? "shown" : value == "false" ? "hidden" : "unset: " + value;
}

std::string check(FakeDesktop &desktop)
{
    const RunOutcome outcome =
        runScript(*desktop.scripts.runner, QStringLiteral("CheckHiddenFilesFisibilityByAskingFinder"));
    EXPECT_TRUE(outcome.ok()) << outcome.errorText().toStdString();
    return outcome.output();
}

void run(FakeDesktop &desktop, const char *script)
{
    const RunOutcome outcome = runScript(*desktop.scripts.runner, QString::fromLatin1(script));
    EXPECT_TRUE(outcome.ok()) << script << ": " << outcome.errorText().toStdString();
}

void expectAll(const FakeDesktop &desktop, const std::vector<std::string> &fms, const char *state)
{
    for (const std::string &fm : fms)
        EXPECT_EQ(stored(desktop, fm), state) << fm;
}

constexpr char kSwitch[] = "SwitchHiddenFilesVisibility2";
const std::vector<std::string> kAll = {"nautilus", "nemo", "caja", "thunar", "dolphin", "pcmanfm-qt", "pcmanfm"};

TEST(FileManagerScripts, TheDefaultFileManagerDecidesAndAllAreKeptInStep)
{
    FakeDesktop desktop;
    for (const std::string &fm : kAll)
        desktop.addFileManager(fm);
    desktop.setDefaultFileManager("nemo.desktop");
    // They have drifted apart: Nautilus shows hidden files, the default (Nemo) does not.
    desktop.gsettingsSet(kGtk4, "show-hidden", "true");
    XdgDirs::makePath(dolphinProps().parent());
    writeFile(dolphinProps(), "[Dolphin]\nViewMode=1\n\n[Settings]\nHiddenFilesShown=false\n");
    EXPECT_EQ(check(desktop), "");

    run(desktop, kSwitch);
    expectAll(desktop, kAll, "shown");
    EXPECT_EQ(desktop.gsettingsGet(kGtk3, "show-hidden"), "true");                  // file dialogs follow
    EXPECT_TRUE(hasLine(dolphinProps(), "ViewMode=1")) << readFile(dolphinProps()); // the rest is kept

    // Each one as the default: its own setting decides, whatever the GTK key says.
    bool shown = true;
    for (const std::string &fm : kAll) {
        desktop.setDefaultFileManager(fm + ".desktop");
        run(desktop, kSwitch);
        shown = !shown;
        expectAll(desktop, kAll, shown ? "shown" : "hidden");
        if (fm != "nautilus") desktop.gsettingsSet(kGtk4, "show-hidden", shown ? "false" : "true");
        EXPECT_EQ(check(desktop), shown ? kShownLine : "") << fm;
    }

    // An unknown default: the first present one in the fixed order (Nautilus) counts.
    desktop.setDefaultFileManager("spacefm.desktop");
    desktop.gsettingsSet(kGtk4, "show-hidden", "true");
    EXPECT_EQ(check(desktop), kShownLine);
}

TEST(FileManagerScripts, RelaunchVariantsQuitAndRestartTheFileManagersThatDoNotFollow)
{
    FakeDesktop desktop;
    const std::vector<std::string> present = {"nautilus", "nemo", "pcmanfm", "thunar"};
    for (const std::string &fm : present)
        desktop.addFileManager(fm);
    // PCManFM-Qt runs with a profile of its own (as LXQt starts it): that profile is switched.
    desktop.addFileManager("pcmanfm-qt");
    const BytePath qtConf = pcmanfmQtConf("lx qt");
    XdgDirs::makePath(qtConf.parent());
    writeFile(qtConf, "[FolderView]\nShowHidden=false\n");
    desktop.startFileManager("nautilus", {"--gapplication-service"});
    desktop.startFileManager("nemo", {"--no-default-window"});
    desktop.startFileManager("pcmanfm-qt", {"--desktop", "--profile=lx qt"});
    desktop.startFileManager("pcmanfm", {"--desktop"});
    desktop.startFileManager("thunar", {"--daemon"}, ":another-session");

    // Quit, written while they were gone (PCManFM-Qt saved its old setting on quitting), started again.
    const std::string nemoStart = "start --no-default-window\n", qtStart = "start --desktop --profile=lx qt\n";
    const std::string nemoOnce = nemoStart + "quit\nstopped\n", qtOnce = qtStart + "quit\nstopped\n";
    const std::string pcOnce = "start --desktop\nstopped\n";
    run(desktop, "ShowHiddensAndRelaunchFinder");
    EXPECT_TRUE(desktop.waitForLog("nemo", nemoOnce + nemoStart)) << desktop.log("nemo");
    EXPECT_TRUE(desktop.waitForLog("pcmanfm-qt", qtOnce + qtStart)) << desktop.log("pcmanfm-qt");
    EXPECT_TRUE(desktop.waitForLog("pcmanfm", pcOnce + "start --desktop\n")) << desktop.log("pcmanfm");
    expectAll(desktop, present, "shown");
    EXPECT_TRUE(hasLine(qtConf, "ShowHidden=true")) << readFile(qtConf);
    EXPECT_NE(::access(pcmanfmQtConf().c_str(), F_OK), 0) << "the default profile is not PCManFM-Qt's here";
    // Nautilus follows the setting live; Thunar runs on another display only: both left alone.
    EXPECT_EQ(desktop.log("nautilus"), "start --gapplication-service\n");
    EXPECT_EQ(desktop.log("thunar"), "start --daemon\n");

    run(desktop, "HideHiddensAndRelaunchFinder");
    EXPECT_TRUE(desktop.waitForLog("nemo", nemoOnce + nemoOnce + nemoStart)) << desktop.log("nemo");
    EXPECT_TRUE(desktop.waitForLog("pcmanfm-qt", qtOnce + qtOnce + qtStart)) << desktop.log("pcmanfm-qt");
    EXPECT_TRUE(desktop.waitForLog("pcmanfm", pcOnce + pcOnce + "start --desktop\n")) << desktop.log("pcmanfm");
    expectAll(desktop, present, "hidden");
    EXPECT_TRUE(hasLine(qtConf, "ShowHidden=false")) << readFile(qtConf);
    EXPECT_EQ(check(desktop), "");

    // The plain switch restarts only those that would write their old setting back.
    run(desktop, kSwitch);
    EXPECT_TRUE(desktop.waitForLog("pcmanfm", pcOnce + pcOnce + pcOnce + "start --desktop\n"))
        << desktop.log("pcmanfm");
    EXPECT_TRUE(desktop.waitForLog("pcmanfm-qt", qtOnce + qtOnce + qtOnce + qtStart)) << desktop.log("pcmanfm-qt");
    expectAll(desktop, present, "shown");
    EXPECT_TRUE(hasLine(qtConf, "ShowHidden=true")) << readFile(qtConf);
    EXPECT_EQ(desktop.log("nemo"), nemoOnce + nemoOnce + nemoStart);
}

TEST(FileManagerScripts, WriteIntoScriptsStoreTheStateWithoutTouchingRunningFileManagers)
{
    FakeDesktop desktop;
    const std::vector<std::string> present = {"nemo", "pcmanfm-qt", "pcmanfm"};
    for (const std::string &fm : present)
        desktop.addFileManager(fm);
    desktop.startFileManager("nemo", {});
    desktop.startFileManager("pcmanfm-qt", {});
    // PCManFM has no file of the user's yet: the system's is the starting point, left as it is.
    const BytePath systemConf = BytePath(std::getenv("XDG_CONFIG_DIRS")) / "pcmanfm/default/pcmanfm.conf";
    XdgDirs::makePath(systemConf.parent());
    const std::string systemText = "[config]\nbm_open_method=0\n\n[ui]\nshow_hidden=0\nalways_show_tabs=1\n";
    writeFile(systemConf, systemText);

    run(desktop, "WriteIntoSystemPreferencesShowHiddens");
    expectAll(desktop, present, "shown");
    EXPECT_EQ(readFile(pcmanfmConf()), "[config]\nbm_open_method=0\n\n[ui]\nshow_hidden=1\nalways_show_tabs=1\n");
    EXPECT_EQ(readFile(systemConf), systemText);

    run(desktop, "WriteIntoSystemPreferencesHideHiddens");
    expectAll(desktop, present, "hidden");
    EXPECT_EQ(desktop.log("nemo"), "start\n");
    EXPECT_EQ(desktop.log("pcmanfm-qt"), "start\n");
}

TEST(FileManagerScripts, WithoutAnyFileManagerEveryVisibilityScriptFailsAndWritesNothing)
{
    FakeDesktop desktop; // every schema installed, no file manager
    for (const char *script : {kSwitch, "CheckHiddenFilesFisibilityByAskingFinder", "ShowHiddensAndRelaunchFinder",
                               "HideHiddensAndRelaunchFinder", "WriteIntoSystemPreferencesShowHiddens",
                               "WriteIntoSystemPreferencesHideHiddens"}) {
        const QString text = runScript(*desktop.scripts.runner, QString::fromLatin1(script)).errorText();
        EXPECT_TRUE(text.startsWith(QStringLiteral("%1: no file manager found").arg(QLatin1String(script))))
            << script << ": " << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral("(exit 3)"))) << text.toStdString();
    }
    EXPECT_NE(::access((XdgDirs::configHome() / "glib-2.0/settings/keyfile").c_str(), F_OK), 0);
    EXPECT_EQ(desktop.gsettingsGet(kGtk4, "show-hidden"), "false");
}

TEST(FileManagerScripts, GsettingsIsUsedOnlyWhereTheSchemaIsInstalled)
{
    {
        FakeDesktop desktop(FakeDesktop::Gtk4 | FakeDesktop::Gtk3); // Nemo without its schema: says why
        desktop.addFileManager("nemo");
        const QString text = runScript(*desktop.scripts.runner, QString::fromLatin1(kSwitch)).errorText();
        EXPECT_TRUE(text.contains(QLatin1String(kNemo)) && text.endsWith(QStringLiteral("(exit 1)")))
            << text.toStdString();
    }
    for (const unsigned schemas : {FakeDesktop::Gtk4 | FakeDesktop::Gtk3, unsigned(FakeDesktop::Gtk3)}) {
        // Nautilus reads GTK 4's key from 43.1 on (where that schema is installed) and GTK 3's before.
        FakeDesktop desktop(schemas);
        desktop.addFileManager("nautilus");
        desktop.gsettingsSet(kGtk3, "show-hidden", "true");
        EXPECT_EQ(check(desktop), schemas == FakeDesktop::Gtk3 ? kShownLine : "") << schemas;
        ::setenv("FAKE_NAUTILUS_VERSION", "3.38.2", 1);
        EXPECT_EQ(check(desktop), kShownLine) << schemas;
    }
}

TEST(FileManagerScripts, RefreshSendsAttributeEventsThatKeepTheItemsTimes)
{
    FakeDesktop desktop; // LURKEL_REFRESH_DELAY=0
    const BytePath folder = desktop.scripts.home / "folder";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::symlink("nowhere", (folder / "dangling").c_str()), 0);
    std::set<std::string> expected(kHostileNames.begin(), kHostileNames.end());
    expected.insert("dangling");
    BytePathList items = {folder / "missing", BytePath("relative")};
    for (const std::string &name : expected) {
        if (name != "dangling") writeFile(folder / name, "x");
        ASSERT_EQ(::utimensat(AT_FDCWD, (folder / name).c_str(), old, AT_SYMLINK_NOFOLLOW), 0);
        items.push_back(folder / name);
    }

    const int fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_GE(::inotify_add_watch(fd, folder.c_str(), IN_ATTRIB), 0);
    const RunOutcome outcome =
        runScriptHandler(*desktop.scripts.runner, QStringLiteral("UpdateFinderFolderRepresentation"), "refresh", items);
    ASSERT_TRUE(outcome.ok()) << outcome.errorText().toStdString();
    // Every existing item gets an attribute-change event (until all have, or 20 s).
    std::set<std::string> seen;
    QElapsedTimer clock;
    clock.start();
    while (!std::includes(seen.begin(), seen.end(), expected.begin(), expected.end()) && clock.elapsed() < 20000) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20000 - static_cast<int>(clock.elapsed())) <= 0) break;
        alignas(inotify_event) char buffer[8192];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if ((event->mask & IN_ATTRIB) != 0 && event->len > 0) seen.insert(std::string(event->name));
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::close(fd);
    EXPECT_EQ(seen, expected);
    for (const std::string &name : expected) {
        struct stat st {};
        ASSERT_EQ(::lstat((folder / name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, old[1].tv_sec) << name;
    }
    EXPECT_EQ(::access((folder / "missing").c_str(), F_OK), -1);
    EXPECT_EQ(::access((folder / "pwned").c_str(), F_OK), -1);

    const RunOutcome wrong = runScriptHandler(
        *desktop.scripts.runner, QStringLiteral("UpdateFinderFolderRepresentation"), "copy_to_folder", {folder});
    EXPECT_TRUE(wrong.errorText().endsWith(QStringLiteral("(exit 2)")));
}

} // namespace
} // namespace lurkel::test
