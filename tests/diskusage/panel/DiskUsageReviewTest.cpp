// "Show Files" from a real scan of a generated home: the duplicates go to the results window,
// one copy goes to the Trash through it (lurkelctl does the work), and the next scan of the
// category counts it no more. Also what the applications list offers for each kind.
#include "AdBasedOnSpotlightVC.h"

#include "ApplicationRemoval.h"
#include "ClickableLabel.h"
#include "DiskUsageReview.h"
#include "DuplicateFilesView.h"
#include "EventWait.h"
#include "Fixtures.h"
#include "LinkButton.h"
#include "MyTableView.h"
#include "ResultsWindowTestSupport.h"
#include "SearcherManager.h"
#include "SearcherManagerSource.h"
#include "SearchResultsTableModel.h"
#include "TestEnvironment.h"
#include "TrackingButton.h"
#include "Trash.h"
#include "XdgDirs.h"

#include "QtPrinters.h"

#include <QPropertyAnimation>
#include <QTest>

#include <gtest/gtest.h>

namespace lurkel::test {
namespace {

std::string content(char fill, std::size_t size)
{
    return std::string(size, fill);
}

TEST(DiskUsageReview, TrashingACopyFromTheDuplicatesReviewLowersTheFigureAtTheNextScan)
{
    ResultsHarness h;
    const std::string song = content('s', 2 * 1024 * 1024);
    const BytePath kept = h.makeFile("Music/song.flac", song);
    const BytePath copy = h.makeFile("Backup/song.flac", song);
    h.makeFile("Music/other.flac", content('o', 2 * 1024 * 1024 + 1));

    DiskScanLocations locations = DiskScanLocations::current();
    ASSERT_EQ(locations.home, h.home);
    locations.volumes.clear();
    locations.applicationFolders.clear();
    locations.flatpakInstallations.clear();
    UserDefaults scanDefaults(QStringLiteral("disk-review-scans"));
    auto coordinator = SearcherManager::create(scanDefaults, h.clock, [&] { return locations; });
    SearcherManagerSource source(coordinator);
    AdBasedOnSpotlightVCServices services;
    services.source = &source;
    services.defaults = h.defaults.get();
    services.notificationCenter = &h.center;
    services.urlOpener = &h.urlOpener;
    services.searchManager = &h.manager;
    AdBasedOnSpotlightVC vc(services);
    const auto scanned = [&] {
        return pollUntil([&] {
            h.clock.advance(200); // the junk measurements start on the clock
            return !vc.isScanning();
        });
    };

    vc.sectionDidAppear();
    ASSERT_TRUE(scanned());
    ASSERT_EQ(vc.duplicatesView()->info()->count, 2u);
    EXPECT_EQ(vc.duplicatesView()->info()->size, 2 * song.size());

    vc.showDuplicatesPressed();
    vc.slideAnimation()->setCurrentTime(vc.slideAnimation()->duration());
    QTest::mouseClick(vc.duplicatesView()->showFilesButton(), Qt::LeftButton);
    ASSERT_EQ(h.window->tableModel()->rowCount(), 2);
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Lurkel - Duplicate Files, 2 items"));
    int copyRow = -1;
    for (int row = 0; row < 2; ++row) {
        const QModelIndex folder = h.window->tableModel()->index(row, SearchResultsTableModel::EnclosingFolderColumn);
        const SearchItemPtr item = h.window->tableModel()->itemAt(row);
        EXPECT_EQ(item->fileName(), "song.flac");
        EXPECT_EQ(folder.data().toString(),
                  QStringLiteral("Set 1 of 1 \u00b7 ") + item->enclosingFolderNameForDisplay());
        if (item->filePath() == copy.parent()) copyRow = row;
    }
    ASSERT_GE(copyRow, 0);

    h.window->tableView()->selectRows({copyRow}, copyRow);
    h.window->deleteActionButtonPressed();
    clickButton(waitForMessageBox(h.window.get(), QStringLiteral("Are you sure you want to remove selected files?")),
                QStringLiteral("Yes"));
    ASSERT_TRUE(waitUntil([&] { return h.window->tableModel()->rowCount() == 1; }));
    // The section scans the category again.
    EXPECT_EQ(vc.sizeLabel(2)->text(), QStringLiteral("..."));
    ASSERT_TRUE(scanned());
    EXPECT_EQ(vc.duplicatesView()->info()->count, 0u);
    EXPECT_EQ(vc.duplicatesView()->info()->size, 0u);

    EXPECT_FALSE(exists(copy));
    EXPECT_EQ(readFile(kept), song);
    const BytePath trash = Trash::homeTrash();
    EXPECT_EQ(readFile(trash / "files/song.flac"), song);
    EXPECT_NE(readFile(trash / "info/song.flac.trashinfo").find("Path=" + Trash::percentEncode(copy.bytes())),
              std::string::npos);

    // What is in the Trash is shown, not offered again.
    h.manager.showReviewItems(QStringLiteral("Junk Files"), {DiskUsageReview::itemForPath(trash / "files/song.flac")});
    h.window->tableView()->selectRows({0}, 0);
    h.window->tableViewSelectionChanged();
    EXPECT_FALSE(h.window->deleteActionButton()->isEnabled());
}

TEST(DiskUsageReview, EachKindOfApplicationGetsItsCommandAndOnlyAnAppImageTheTrash)
{
    const BytePath home = TestEnvironment::freshHome();
    DiskScanLocations locations = DiskScanLocations::current();
    locations.flatpakInstallations = {home / ".local/share/flatpak", BytePath("/var/lib/flatpak")};
    locations.optFolder = home / "opt";
    locations.dpkgAdminDir = home / "dpkg";
    XdgDirs::makePath(home / "dpkg/info", 0755);
    XdgDirs::makePath(home / "Applications", 0755);
    writeFile(home / "dpkg/info/gimp:amd64.list", "/usr/bin/gimp\n/usr/share/applications/gimp.desktop\n");
    writeFile(home / "dpkg/info/tool.list", "/opt\n" + (home / "opt/tool").bytes() + "\n");
    writeFile(home / "Applications/Editor.AppImage", "ELF");
    XdgDirs::makePath(home / "opt/tool", 0755);
    XdgDirs::makePath(home / "opt/hand made", 0755);
    XdgDirs::makePath(home / ".local/share/flatpak/app/org.example.Paint", 0755);

    const auto describe = [&](const BytePath &path) { return ApplicationRemoval::describe(path, 1, locations); };
    const ApplicationRemoval flatpak = describe(home / ".local/share/flatpak/app/org.example.Paint");
    EXPECT_EQ(flatpak.command, QStringLiteral("flatpak uninstall --user org.example.Paint"));
    EXPECT_EQ(describe(BytePath("/var/lib/flatpak/app/org.example.Mail")).command,
              QStringLiteral("flatpak uninstall org.example.Mail"));
    const ApplicationRemoval package = describe(BytePath("/usr/share/applications/gimp.desktop"));
    EXPECT_EQ(package.name, QStringLiteral("gimp"));
    EXPECT_EQ(package.command, QStringLiteral("sudo apt remove gimp"));
    EXPECT_EQ(describe(home / "opt/tool").command, QStringLiteral("sudo apt remove tool"));
    const ApplicationRemoval byHand = describe(home / "opt/hand made");
    EXPECT_EQ(byHand.kind, ApplicationRemoval::Kind::OptFolder);
    EXPECT_TRUE(byHand.command.isEmpty());
    const ApplicationRemoval appImage = describe(home / "Applications/Editor.AppImage");
    EXPECT_EQ(appImage.kind, ApplicationRemoval::Kind::AppImage);
    EXPECT_TRUE(appImage.canMoveToTrash);
    for (const ApplicationRemoval &other : {flatpak, package, byHand})
        EXPECT_FALSE(other.canMoveToTrash) << other.name.toStdString();
    EXPECT_EQ(ApplicationRemoval::shellQuoted(QStringLiteral("it's")), QStringLiteral("'it'\\''s'"));
}

} // namespace
} // namespace lurkel::test
