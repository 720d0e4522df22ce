#include "NautilusHost.h"

#include "DistributedNotificationCenter.h"
#include "EventWait.h"
#include "Fixtures.h"
#include "Identity.h"
#include "MessageNames.h"
#include "PluginElection.h"
#include "PrivateBus.h"
#include "RunningApplications.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"

#include <gmodule.h>
#include <gtest/gtest.h>
#include <nautilus-extension.h>

namespace lurkel::test {
namespace {

// What the module offered: each item's name, title and the argument vector it runs.
struct Item {
    std::string name;
    std::string label;
    std::vector<std::string> argv;
    friend bool operator==(const Item &, const Item &) = default;
};

std::ostream &operator<<(std::ostream &out, const Item &item)
{
    out << item.name << " \"" << item.label << "\":";
    for (const std::string &arg : item.argv)
        out << " [" << arg << "]";
    return out;
}

// Loads the module as Nautilus does (its three entry points, a type module) and keeps the
// menu provider it lists.
class NautilusModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        GModule *module = g_module_open(LURKEL_NAUTILUS_TEST_MODULE, G_MODULE_BIND_LOCAL);
        ASSERT_NE(module, nullptr) << g_module_error();
        void (*initialize)(GTypeModule *) = nullptr;
        void (*listTypes)(const GType **, int *) = nullptr;
        ASSERT_TRUE(g_module_symbol(module, "nautilus_module_initialize", reinterpret_cast<gpointer *>(&initialize)));
        ASSERT_TRUE(g_module_symbol(module, "nautilus_module_list_types", reinterpret_cast<gpointer *>(&listTypes)));
        ASSERT_TRUE(g_module_symbol(module, "nautilus_module_shutdown", &shutdownSymbol));
        GTypeModule *typeModule = lurkel_test_type_module_new();
        ASSERT_TRUE(g_type_module_use(typeModule));
        initialize(typeModule);
        const GType *types = nullptr;
        int count = 0;
        listTypes(&types, &count);
        ASSERT_EQ(count, 1);
        ASSERT_TRUE(g_type_is_a(types[0], NAUTILUS_TYPE_MENU_PROVIDER));
        provider = NAUTILUS_MENU_PROVIDER(g_object_new(types[0], nullptr));
    }

    void SetUp() override
    {
        ASSERT_NE(provider, nullptr);
        home = TestEnvironment::freshHome();
        folder = makeDir(home / "files");
    }

    static void elect(PluginElection::Choice choice)
    {
        ASSERT_FALSE(PluginElection::setElection(QString::fromLatin1(Identity::kFinderSyncIdentifier), choice));
    }

    static std::vector<Item> describe(GList *items)
    {
        std::vector<Item> out;
        for (GList *l = items; l != nullptr; l = l->next) {
            char *name = nullptr;
            char *label = nullptr;
            g_object_get(l->data, "name", &name, "label", &label, nullptr);
            Item item{name, label, {}};
            for (auto **arg = static_cast<char **>(g_object_get_data(G_OBJECT(l->data), "lurkel-argv"));
                 arg != nullptr && *arg != nullptr; ++arg)
                item.argv.emplace_back(*arg);
            out.push_back(std::move(item));
            g_free(name);
            g_free(label);
        }
        return out;
    }

    // The file items for a selection of paths; with keep, the items themselves too.
    std::vector<Item> fileItems(const BytePathList &paths, GList **keep = nullptr)
    {
        GList *files = nullptr;
        for (const BytePath &path : paths)
            files = g_list_append(files, lurkel_test_file_info_new(path.c_str()));
        GList *items = nautilus_menu_provider_get_file_items(provider, files);
        g_list_free_full(files, g_object_unref);
        std::vector<Item> out = describe(items);
        if (keep != nullptr)
            *keep = items;
        else
            g_list_free_full(items, g_object_unref);
        return out;
    }

    std::vector<Item> backgroundItems()
    {
        GObject *current = lurkel_test_file_info_new(folder.c_str());
        GList *items = nautilus_menu_provider_get_background_items(provider, NAUTILUS_FILE_INFO(current));
        g_object_unref(current);
        std::vector<Item> out = describe(items);
        g_list_free_full(items, g_object_unref);
        return out;
    }

    static std::vector<std::string> run(const std::string &command, const BytePathList &paths = {})
    {
        std::vector<std::string> argv{LURKEL_BIN_DIR "/lurkel-finder-sync", command};
        if (!paths.empty()) argv.emplace_back("--");
        for (const BytePath &path : paths)
            argv.push_back(path.bytes());
        return argv;
    }

    static inline NautilusMenuProvider *provider = nullptr;
    static inline gpointer shutdownSymbol = nullptr;
    BytePath home;
    BytePath folder;
};

TEST_F(NautilusModuleTest, NothingWhileTheIntegrationIsNotElected)
{
    writeFile(folder / "plain", "");
    EXPECT_EQ(fileItems({folder / "plain"}), std::vector<Item>{}) << "no election recorded";
    EXPECT_EQ(backgroundItems(), std::vector<Item>{});
    elect(PluginElection::Choice::Ignore);
    EXPECT_EQ(fileItems({folder / "plain"}), std::vector<Item>{});
    EXPECT_EQ(backgroundItems(), std::vector<Item>{});
}

TEST_F(NautilusModuleTest, TheSelectionMenuFollowsTheItemsHiddenFlags)
{
    elect(PluginElection::Choice::Use);
    const BytePath plain = folder / "comma, space";
    const BytePath dot = folder / ".dot";
    const BytePath listed = folder / "bad\xff name";
    for (const BytePath &path : {plain, dot, listed})
        writeFile(path, "");
    writeFile(folder / ".hidden", "bad\xff name\n");

    const Item hide{"Lurkel::hide", "Hide with Lurkel", run("hide", {plain})};
    EXPECT_EQ(fileItems({plain}), std::vector<Item>{hide});
    EXPECT_EQ(fileItems({dot, listed}),
              (std::vector<Item>{{"Lurkel::unhide", "Unhide with Lurkel", run("unhide", {dot, listed})}}));
    // Mixed: both, unhide first, and no switch item.
    EXPECT_EQ(fileItems({listed, plain}),
              (std::vector<Item>{{"Lurkel::unhide", "Unhide with Lurkel", run("unhide", {listed, plain})},
                                 {"Lurkel::hide", "Hide with Lurkel", run("hide", {listed, plain})}}));
    EXPECT_EQ(fileItems({}), std::vector<Item>{});
}

TEST_F(NautilusModuleTest, TheBackgroundItemIsTitledByTheSharedState)
{
    elect(PluginElection::Choice::Use);
    // No shared suite: hidden files count as hidden.
    EXPECT_EQ(backgroundItems(), (std::vector<Item>{{"Lurkel::switch", "Show Hidden Files", run("switch")}}));
    UserDefaults &suite = Settings::shfGroup();
    suite.setBool(SettingsKeys::kAreHiddenFilesVisible, true);
    ASSERT_TRUE(suite.synchronize());
    EXPECT_EQ(backgroundItems(), (std::vector<Item>{{"Lurkel::switch", "Hide Hidden Files", run("switch")}}));
}

TEST_F(NautilusModuleTest, AnItemSendsItsExactPathsToLurkel)
{
    ASSERT_TRUE(PrivateBus::shared().isRunning());
    const QString application = QString::fromLatin1(Identity::kBundleIdentifier);
    ASSERT_TRUE(RunningApplications::claim(application));
    ApplicationBusObject answering;
    ASSERT_TRUE(answering.registerOnBus());
    std::optional<BytePathList> received;
    DistributedNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(MessageNames::kHideSelectedFiles), std::nullopt,
        [&](const Notification &note) { received = DistributedNotificationCenter::pathsFromUserInfo(note.userInfo); });

    elect(PluginElection::Choice::Use);
    const BytePath path = folder / "new\nline, and \xfe";
    writeFile(path, "");
    GList *items = nullptr;
    ASSERT_EQ(fileItems({path}, &items).size(), 1u);
    nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(items->data));
    g_list_free_full(items, g_object_unref);
    ASSERT_TRUE(waitUntil([&] { return received.has_value(); }));
    EXPECT_EQ(*received, BytePathList{path});
    RunningApplications::release(application);
}

} // namespace
} // namespace lurkel::test
