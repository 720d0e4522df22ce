#include "MemoryController.h"
#include "ManualClock.h"
#include "MemoryTestSupport.h"
#include "QtPrinters.h"
#include "SettingsKeys.h"

#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>
#include <vector>

using namespace lurkel;
using namespace lurkel::test;
namespace Keys = lurkel::SettingsKeys;

namespace {

struct FakePanel final : MemoryInfoPanel {
    bool showsDetails = false;
    std::vector<UsedMemory> fills;
    std::vector<LastCleaned> lastCleaned;
    int purgedCalls = 0;

    bool shouldUpdateTrackedSystemInfo() const override { return showsDetails; }
    void fillInfoPanelWithUsedMemoryPercent(const UsedMemory &usage) override { fills.push_back(usage); }
    void fillLastCleanedLabelWithSize(const LastCleaned &last) override { lastCleaned.push_back(last); }
    void onPurgedMemory() override { ++purgedCalls; }
};

struct FakeButton final : CleanMemoryButtonInterface {
    int begins = 0;
    int ends = 0;
    bool enabled = true;
    std::vector<QString> titles;
    std::vector<float> progress;

    void beginProgressUpdate() override { ++begins; }
    void endProgressUpdate() override { ++ends; }
    void setProgess(float p) override { progress.push_back(p); }
    void setTitle(const QString &title) override { titles.push_back(title); }
    void setEnabled(bool on) override { enabled = on; }
};

struct FakePreferences final : MemoryPreferencesInterface {
    bool controlsEnabled = false;
    QString description;
    void setAutoFreeControlsEnabled(bool on) override { controlsEnabled = on; }
    void setPrefDescText(const QString &text) override { description = text; }
};

class MemoryControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const BytePath home = TestEnvironment::freshHome();
        domain = QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
        defaults = std::make_unique<UserDefaults>(domain);
        meminfo = home / "meminfo";
        writeMeminfo(meminfo, 16 * kGiB, 8 * kGiB);
        // The manager reads a file of its own and frees through a memory.reclaim that a
        // test fills: writing to it adds to MemFree there, as the kernel would.
        managerMeminfo = home / "manager-meminfo";
        writeMeminfo(managerMeminfo, 512 * kMiB, 256 * kMiB);
        group = home / "cgroup";
        ASSERT_EQ(::mkdir(group.c_str(), 0755), 0);
        writeFile(home / "self-cgroup", "0::/\n");
        writeFile(group / "memory.reclaim", "");
        setInactiveFile(0);
        PurgeManager::Options options;
        options.meminfoPath = managerMeminfo;
        options.cgroupSources = {home / "none", home / "none"};
        options.reclaimSources = {home / "self-cgroup", group};
        options.reclaimWriter = [this](const BytePath &, std::uint64_t bytes) {
            reclaimed += bytes;
            writeMeminfo(managerMeminfo, Meminfo{.total = 512 * kMiB,
                                                 .free = 128 * kMiB + reclaimed,
                                                 .available = 256 * kMiB,
                                                 .cached = 128 * kMiB});
            return 0;
        };
        options.floorBytes = 512 * kMiB;
        options.pause = [](std::chrono::milliseconds) {};
        manager = std::make_unique<PurgeManager>(options);
        controller = makeController(*defaults);
    }

    std::unique_ptr<MemoryController> makeController(UserDefaults &store)
    {
        auto made = std::make_unique<MemoryController>(Settings(store), *manager, clock, meminfo);
        made->setInfoPanel(&panel);
        made->setCleanButton(&button);
        made->setPreferencesView(&preferences);
        return made;
    }

    void purgeAndWait()
    {
        controller->onFreeMemory();
        ASSERT_TRUE(waitUntil([this] { return !controller->isPurging(); }));
    }

    void setInactiveFile(std::uint64_t bytes)
    {
        writeFile(group / "memory.stat", "inactive_file " + std::to_string(bytes) + "\n");
    }

    QString domain;
    std::unique_ptr<UserDefaults> defaults;
    BytePath meminfo;
    BytePath managerMeminfo;
    BytePath group; // the fake cgroup root with its memory.reclaim
    std::uint64_t reclaimed = 0;
    ManualClock clock;
    std::unique_ptr<PurgeManager> manager;
    FakePanel panel;
    FakeButton button;
    FakePreferences preferences;
    std::unique_ptr<MemoryController> controller;
};

TEST_F(MemoryControllerTest, PanelFiguresFromPages)
{
    const std::uint64_t page = MemoryStatistics::pageSize();
    writeMeminfo(meminfo, 4194304 * page, (4194304 - 1048576) * page);
    controller->initValues();
    controller->checkMemory(false);

    ASSERT_EQ(panel.fills.size(), 1u);
    const MemoryInfoPanel::UsedMemory &usage = panel.fills.front();
    EXPECT_EQ(usage.percentText, QStringLiteral("25%"));
    EXPECT_EQ(usage.usedSize, 1048576 * page);
    EXPECT_EQ(usage.totalSize, 4194304 * page);
    EXPECT_DOUBLE_EQ(usage.levelValue, 0.25);
    if (page == 4096) {
        EXPECT_EQ(usage.usedText, QStringLiteral("4.00 GB used of 16.0 GB"));
    }
    EXPECT_EQ(MemoryController::usedPercentText(0.05), QStringLiteral(" 5%"));
}

TEST_F(MemoryControllerTest, OneSecondCheckAndItsEndOnAFailedRead)
{
    int statusItemUpdates = 0;
    controller->setStatusItemUpdate([&statusItemUpdates] { ++statusItemUpdates; });
    controller->initValues();
    controller->scheduleCheckMemory(true, 0);
    clock.advance(0);
    EXPECT_EQ(panel.fills.size(), 1u); // the first read happens with the panel closed too
    EXPECT_TRUE(controller->hasCheckedStatistics());
    clock.advance(3000);
    EXPECT_EQ(panel.fills.size(), 1u); // closed panel: no refresh, but still scheduled
    EXPECT_EQ(clock.pendingCount(), 1u);

    panel.showsDetails = true;
    clock.advance(1000);
    EXPECT_EQ(panel.fills.size(), 2u);
    EXPECT_EQ(statusItemUpdates, 2);

    ASSERT_EQ(std::remove(meminfo.c_str()), 0);
    clock.advance(1000);
    EXPECT_EQ(panel.fills.size(), 2u);
    EXPECT_EQ(clock.pendingCount(), 0u);
    writeMeminfo(meminfo, 16 * kGiB, 8 * kGiB);
    clock.advance(10000);
    EXPECT_EQ(panel.fills.size(), 2u);
}

// Preference actions, the description text, the interval overrides, and what survives a restart.
TEST_F(MemoryControllerTest, PreferencesDescriptionIntervalsAndRestart)
{
    defaults->setInteger(Keys::kPurgeFrequencyRarely, 60);
    defaults->setString(Keys::kPurgeFrequencyOften, QStringLiteral("30")); // not a number: built-in value
    defaults->setBool(Keys::kPurgeFrequencyNormally, true);
    controller->initValues();
    EXPECT_FALSE(controller->autoFree());
    controller->onPrefAutoFree(true);
    EXPECT_TRUE(preferences.controlsEnabled);
    controller->onPrefMemUsage(0.57);
    EXPECT_EQ(preferences.description, QStringLiteral("*Free up automatically every 4 hours if memory is used on 56% "
                                                      "and if CPU usage is less than 20%."));
    EXPECT_DOUBLE_EQ(defaults->doubleForKey(Keys::kUsageLimit), 0.57);
    const struct {
        int index;
        std::int64_t seconds;
        const char *word;
    } table[] = {{0, 60, ""}, {2, 7200, "2 hours"}, {1, 14400, "4 hours"}, {5, 14400, "4 hours"}};
    for (const auto &row : table) {
        controller->onPrefFreq(row.index);
        EXPECT_EQ(controller->purgeFrequency(), row.seconds) << row.index;
        EXPECT_TRUE(preferences.description.contains(QString::fromLatin1(row.word))) << row.index;
    }
    controller->onPrefPurgeAfterHugeApplicationQuit(false);
    defaults->synchronize();
    controller.reset();

    // The next run reads the same domain afresh: "AutoFree" is off again, the rest is kept.
    UserDefaults nextRun(domain);
    ASSERT_TRUE(nextRun.boolForKey(Keys::kAutoFree));
    controller = makeController(nextRun);
    controller->initValues();
    EXPECT_FALSE(controller->autoFree());
    EXPECT_FALSE(UserDefaults(domain).boolForKey(Keys::kAutoFree, true)); // written to disk
    EXPECT_DOUBLE_EQ(controller->usageLimit(), 0.57);
    EXPECT_FALSE(controller->purgeAfterHugeAppQuit());
    EXPECT_EQ(controller->frequencyIndex(), 1) << "a stored 5 shows as the choice it acts as";
    controller->updatePrefDesc();
    EXPECT_EQ(preferences.description, QStringLiteral("*Check on to free up system memory automatically."));
    controller.reset(); // before the store it uses goes away
}

TEST_F(MemoryControllerTest, PurgeSaysWhatItFreedOrThatThereWasNothing)
{
    panel.showsDetails = true;
    controller->initValues();
    ASSERT_EQ(panel.lastCleaned.size(), 1u);
    EXPECT_EQ(panel.lastCleaned.back().size, 0);
    EXPECT_EQ(panel.lastCleaned.back().text, QString());

    // Nothing to take; a second press while purging is ignored, the figures keep coming.
    controller->onFreeMemory();
    controller->onFreeMemory();
    EXPECT_TRUE(controller->isPurging());
    EXPECT_EQ(button.begins, 1);
    EXPECT_EQ(button.titles, std::vector<QString>{QStringLiteral("Cleaning...")});
    EXPECT_FALSE(button.enabled);
    const std::size_t fillsAtStart = panel.fills.size();
    controller->checkMemory(false);
    EXPECT_EQ(panel.fills.size(), fillsAtStart + 1);
    ASSERT_TRUE(waitUntil([this] { return !controller->isPurging(); }));
    EXPECT_EQ(button.ends, 1);
    EXPECT_TRUE(button.enabled);
    EXPECT_EQ(button.titles.back(), QStringLiteral("Cleanup"));
    ASSERT_FALSE(button.progress.empty());
    EXPECT_EQ(button.progress.back(), 1.0f);
    EXPECT_EQ(panel.lastCleaned.back().text,
              QStringLiteral("Nothing to free: the memory in use belongs to running applications"));
    EXPECT_EQ(panel.purgedCalls, 0);
    EXPECT_EQ(controller->lastPurgedSize(), 0);
    EXPECT_EQ(Settings(*defaults).cleanedSize(), 0u);
    controller->checkMemory(false); // the label keeps saying so
    EXPECT_EQ(panel.lastCleaned.back().text, MemoryController::nothingFreedText());

    // 1 GiB of inactive file cache given back.
    Settings(*defaults).setCleanedSize(5000);
    setInactiveFile(kGiB);
    clock.advance(60000);
    purgeAndWait();
    EXPECT_EQ(reclaimed, kGiB);
    EXPECT_EQ(controller->lastPurgedSize(), static_cast<std::int64_t>(kGiB));
    EXPECT_EQ(controller->lastFreeTime(), clock.currentDateTime());
    EXPECT_EQ(panel.lastCleaned.back().text, QStringLiteral("Freed 1.00 GB of cache"));
    EXPECT_EQ(panel.purgedCalls, 1);
    EXPECT_EQ(Settings(*defaults).cleanedSize(), 5000 + kGiB);
}

} // namespace
