#include "IntegrationFiles.h"
#include "ChildProcesses.h"
#include "Fixtures.h"
#include "Spawn.h"
#include "TestEnvironment.h"

#include <QXmlStreamReader>

#include <glib.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace lurkel::test {
namespace {

const std::string kId = "com.brendix.Lurkel-SII.FinderSyncExt";

// The words GLib's parser (which Nemo, Caja, Thunar and the FileManager-Actions readers run
// their commands through) makes of a command line.
std::vector<std::string> words(const std::string &command)
{
    int argc = 0;
    char **argv = nullptr;
    if (!g_shell_parse_argv(command.c_str(), &argc, &argv, nullptr)) return {"<unparsable: " + command + ">"};
    std::vector<std::string> out(argv, argv + argc);
    g_strfreev(argv);
    return out;
}

// One key file, read as the file managers read it.
class KeyFile {
public:
    explicit KeyFile(const BytePath &path) : m_file(g_key_file_new())
    {
        GError *error = nullptr;
        m_loaded = g_key_file_load_from_file(m_file, path.c_str(), G_KEY_FILE_NONE, &error);
        if (error != nullptr) {
            ADD_FAILURE() << path.bytes() << ": " << error->message;
            g_error_free(error);
        }
    }
    ~KeyFile() { g_key_file_free(m_file); }
    KeyFile(const KeyFile &) = delete;
    KeyFile &operator=(const KeyFile &) = delete;

    bool loaded() const { return m_loaded; }
    std::string value(const char *group, const char *key) const
    {
        char *v = g_key_file_get_string(m_file, group, key, nullptr);
        std::string out = v != nullptr ? v : "<missing " + std::string(group) + "/" + key + ">";
        g_free(v);
        return out;
    }
    std::vector<std::string> groups() const
    {
        gsize n = 0;
        char **g = g_key_file_get_groups(m_file, &n);
        std::vector<std::string> out(g, g + n);
        g_strfreev(g);
        return out;
    }

private:
    GKeyFile *m_file;
    bool m_loaded = false;
};

struct ThunarAction {
    std::string uniqueId;
    std::string command;
};

// uca.xml as an XML reader sees it; a parse error fails the test.
std::vector<ThunarAction> thunarActions(const std::string &content)
{
    QXmlStreamReader xml(QByteArray::fromStdString(content));
    std::vector<ThunarAction> actions;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("action")) actions.emplace_back();
        if (xml.name() == QLatin1String("unique-id")) actions.back().uniqueId = xml.readElementText().toStdString();
        if (xml.name() == QLatin1String("command")) actions.back().command = xml.readElementText().toStdString();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << "\n" << content;
    return actions;
}

// Only the files: the folders the entries went into may stay.
Snapshot filesUnder(const BytePath &root)
{
    Snapshot files = snapshot(root);
    std::erase_if(files, [](const auto &entry) { return entry.second.find("file:") == std::string::npos; });
    return files;
}

class IntegrationFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = TestEnvironment::freshHome();
        // An installation in a folder whose name needs quoting in every command line.
        static int counter = 0;
        programs = installPrograms(
            "programs $HOME 'q' \"d\" " + std::to_string(counter++),
            {{LURKEL_PLUGINKIT_PROGRAM, "lurkel-pluginkit"}, {LURKEL_FINDER_SYNC_PROGRAM, "lurkel-finder-sync"}});
        finderSync = (programs / "lurkel-finder-sync").bytes();
        // The system's Thunar defaults, which a new uca.xml of the user starts from.
        systemConfig = makeDir(home / "etc-xdg");
        makeDir(systemConfig / "Thunar");
        writeFile(systemConfig / "Thunar/uca.xml", kDefaults);
        ::setenv("XDG_CONFIG_DIRS", systemConfig.c_str(), 1);
    }

    int elect(const char *choice)
    {
        const SpawnResult r = Spawn::run({{(programs / "lurkel-pluginkit").bytes(), "-e", choice, "-i", kId}});
        EXPECT_EQ(r.standardError, "");
        return r.exitStatus;
    }

    static constexpr std::string_view kDefaults = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n"
                                                  "<action><name>Open Terminal Here</name>"
                                                  "<unique-id>1-1</unique-id><command>t %f</command></action>\n"
                                                  "</actions>\n";
    BytePath home;
    BytePath programs;
    BytePath systemConfig;
    std::string finderSync;
};

TEST_F(IntegrationFilesTest, ElectingWritesEntriesTheirReadersAcceptAndIgnoringTakesThemAway)
{
    const Snapshot before = filesUnder(home);
    ASSERT_EQ(elect("use"), 0);

    // Nemo: the keys its reader requires; the commands name the program whole.
    struct Item {
        std::string name;
        std::vector<std::string> command;
    };
    const std::map<std::string, Item> nemo{{"hide", {"Hide with Lurkel", {"hide", "--", "%F"}}},
                                           {"unhide", {"Unhide with Lurkel", {"unhide", "--", "%F"}}},
                                           {"show-hidden-files", {"Show Hidden Files", {"switch"}}},
                                           {"hide-hidden-files", {"Hide Hidden Files", {"switch"}}}};
    for (const auto &[key, item] : nemo) {
        const KeyFile file(IntegrationFiles::nemoActionsFolder() / ("com.brendix.Lurkel-SII." + key + ".nemo_action"));
        ASSERT_TRUE(file.loaded()) << key;
        const char *group = "Nemo Action";
        EXPECT_EQ(file.value(group, "Name"), item.name);
        EXPECT_EQ(file.value(group, "Extensions"), "any;");
        EXPECT_EQ(file.value(group, "Selection"), key.find("hidden") != std::string::npos ? "none" : "notnone");
        std::vector<std::string> expected{finderSync};
        expected.insert(expected.end(), item.command.begin(), item.command.end());
        EXPECT_EQ(words(file.value(group, "Exec")), expected) << key;
        EXPECT_EQ(file.value(group, "Dependencies"), finderSync + ";");
        // Nemo runs a condition's program from the actions folder, without the selection: only
        // the background entries have one, the script that asks for the state.
        if (item.command.front() != "switch") {
            EXPECT_EQ(file.value(group, "Conditions"), "<missing Nemo Action/Conditions>");
            continue;
        }
        const std::string condition = file.value(group, "Conditions");
        ASSERT_TRUE(condition.starts_with("exec <") && condition.ends_with(">;")) << condition;
        const BytePath script = IntegrationFiles::nemoActionsFolder() / condition.substr(6, condition.size() - 8);
        // No shared suite: hidden files are hidden, so only "Show Hidden Files" is offered.
        EXPECT_EQ(Spawn::run({{script.bytes()}}).exitStatus, key == "show-hidden-files" ? 0 : 1) << key;
    }

    // Caja's own reader lists the FileManager-Actions items.
    if (!CAJA_ACTIONS_PRINT[0]) GTEST_SKIP() << "caja-actions-print (package caja-actions) is not installed";
    for (const auto &[key, item] : nemo) {
        const SpawnResult r = Spawn::run({{CAJA_ACTIONS_PRINT, "-i", "com.brendix.Lurkel-SII." + key}});
        EXPECT_EQ(r.exitStatus, 0) << key << ": " << r.standardError;
        EXPECT_NE(r.standardOutput.find("Name[C]=" + item.name + "\n"), std::string::npos) << r.standardOutput;
        EXPECT_EQ(r.standardOutput.find("TargetLocation=true") != std::string::npos,
                  key.find("hidden") != std::string::npos)
            << r.standardOutput;
    }

    // KIO: a service with one action group per action, executable as KIO requires.
    for (const auto &[name, actions] :
         std::map<std::string, std::vector<std::string>>{{"com.brendix.Lurkel-SII.desktop", {"hide", "unhide"}},
                                                         {"com.brendix.Lurkel-SII.switch.desktop", {"switch"}}}) {
        const BytePath path = IntegrationFiles::serviceMenusFolder() / name;
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_TRUE(st.st_mode & S_IXUSR) << name;
        const KeyFile file(path);
        EXPECT_EQ(file.value("Desktop Entry", "Type"), "Service");
        EXPECT_NE(file.value("Desktop Entry", "MimeType"), "");
        std::string list;
        std::vector<std::string> groups{"Desktop Entry"};
        for (const std::string &action : actions) {
            list += action + ";";
            groups.push_back("Desktop Action " + action);
            EXPECT_EQ(words(file.value(groups.back().c_str(), "Exec")).at(1), action);
        }
        EXPECT_EQ(file.value("Desktop Entry", "Actions"), list);
        EXPECT_EQ(file.groups(), groups);
    }

    // Thunar: the defaults kept, ours added, the program whole in each command.
    const std::vector<ThunarAction> actions = thunarActions(readFile(IntegrationFiles::thunarActionsFile()));
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_EQ(actions[0].uniqueId, "1-1");
    for (std::size_t i = 1; i < actions.size(); ++i)
        EXPECT_EQ(words(actions[i].command).front(), finderSync) << actions[i].command;

    // Nautilus cannot load the module from here: its scripts stand in.
    EXPECT_EQ(::access((IntegrationFiles::nautilusScriptsFolder() / "Hide with Lurkel").c_str(), X_OK), 0);

    ASSERT_EQ(elect("ignore"), 0);
    Snapshot after = filesUnder(home);
    after.erase(".local/share/com.brendix.Lurkel-SII/plugins.json");
    after.erase(".config/caja-actions/caja-actions.conf"); // Caja's reader keeps its own order of items
    after.erase(".config/4QW7TR2MPL.group.com.brendix.Lurkel-SII.json.lock"); // the state's reader
    EXPECT_EQ(after, before) << "only the election stays";
}

TEST_F(IntegrationFilesTest, TheUsersOwnThunarActionsStayByteForByte)
{
    const std::string mine = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n"
                             "  <action>\n    <name>Mine &amp; only mine</name>\n"
                             "    <unique-id>42-7</unique-id>\n    <command>x %F</command>\n  </action>\n"
                             "<!-- a comment -->\n</actions>\n";
    makeDir(home / ".config/Thunar");
    writeFile(IntegrationFiles::thunarActionsFile(), mine);

    ASSERT_EQ(elect("use"), 0);
    ASSERT_EQ(elect("use"), 0); // again: ours replaced, not repeated
    const std::vector<ThunarAction> actions = thunarActions(readFile(IntegrationFiles::thunarActionsFile()));
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_EQ(actions[0].uniqueId, "42-7");

    ASSERT_EQ(elect("ignore"), 0);
    EXPECT_EQ(readFile(IntegrationFiles::thunarActionsFile()), mine);
    // Cutting a file that has none of ours changes nothing.
    EXPECT_EQ(IntegrationFiles::withoutOurThunarActions(mine), mine);
    EXPECT_EQ(IntegrationFiles::withOurThunarActions("<nothing/>", BytePath("/p")), std::nullopt);
}

} // namespace
} // namespace lurkel::test
