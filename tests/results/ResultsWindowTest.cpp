// The results window driven as a user drives it: keys, clicks, sheets; real searches of a
// temporary home and the real file-manager scripts.
#include "FakeScripts.h"
#include "Fixtures.h"
#include "FolderGate.h"
#include "KeyboardReach.h"
#include "ResultsWindowTestSupport.h"

#include "DesktopWorkspace.h"
#include "EventWait.h"
#include "FileNameCellView.h"
#include "MyTableView.h"
#include "PathBreadcrumb.h"
#include "PosixFile.h"
#include "ProgressSpinner.h"
#include "QtPrinters.h"
#include "ResultFileOperations.h"
#include "SearchResultsTableModel.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"
#include "TrackingButton.h"
#include "Trash.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>

namespace lurkel::test {
namespace {

using Names = std::vector<std::string>;

QString uri(const BytePath &path)
{
    return QString::fromLatin1(path.toFileUri());
}

void pressKey(ResultsHarness &h, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(h.window->tableView(), key, modifiers);
}

// Clicks a column title of the table.
void clickHeader(ResultsHarness &h, int column)
{
    QHeaderView *header = h.window->tableView()->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// A search started from the field, as the user starts one.
void searchFromTheField(ResultsHarness &h, const QString &text)
{
    QTest::keyClicks(h.window->searchBar(), text);
    QTest::keyClick(h.window->searchBar(), Qt::Key_Return);
    h.clock.advance(100);
    ASSERT_TRUE(h.window->isSearchOn());
    ASSERT_TRUE(h.waitForSearchEnd());
}

// Holds the search manager's completion of a search back until the test has acted: the
// completion is the first call queued to the manager object once the walker has ended.
class CompletionGate : public QObject {
public:
    explicit CompletionGate(SearchManager &manager, std::function<void()> beforeCompletion)
        : m_manager(manager), m_before(std::move(beforeCompletion))
    {
        manager.installEventFilter(this);
    }
    ~CompletionGate() override { m_manager.removeEventFilter(this); }
    bool passed() const { return !m_before; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MetaCall && m_before) {
            auto before = std::move(m_before);
            m_before = nullptr;
            before();
        }
        return false;
    }

private:
    SearchManager &m_manager;
    std::function<void()> m_before;
};

TEST(ResultsWindow, FollowsTheSearchAndGrowsTheTableOnTheSecondTick)
{
    ResultsHarness h;
    for (const char *name : {"tick-1.txt", "tick-2.txt", "tick-3.txt"})
        h.makeFile(std::string("T/") + name);

    h.manager.performSearchWithTemplateAndFolder(QStringLiteral("tick"), h.home / "T");
    EXPECT_FALSE(h.window->stopSearchButton()->isHidden());
    EXPECT_TRUE(h.window->searchIndicator()->isAnimating());
    EXPECT_FALSE(h.window->filterButton(kSearchCategoryRegular)->isEnabled());
    EXPECT_FALSE(h.window->copyActionButton()->isEnabled());

    // Before the search ends: what was found shows only at the next tick.
    CompletionGate gate(h.manager, [&h]() {
        const std::size_t found = h.manager.getFilteredSearchResultArray()->size();
        ASSERT_GT(found, 0u);
        EXPECT_EQ(h.window->rowsAdded(), 0u);
        h.clock.advance(999);
        EXPECT_EQ(h.window->rowsAdded(), 0u);
        h.clock.advance(1);
        EXPECT_EQ(h.window->rowsAdded(), found);
        EXPECT_EQ(h.window->tableView()->selectedRow(), 0);
        EXPECT_FALSE(h.window->copyActionButton()->isEnabled()); // not while searching
    });
    ASSERT_TRUE(h.waitForSearchEnd());
    EXPECT_TRUE(gate.passed());
    EXPECT_EQ(h.shownNames().size(), 3u);
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Lurkel - Search results for \"tick\", found 3"));
    EXPECT_TRUE(h.window->stopSearchButton()->isHidden());
    EXPECT_FALSE(h.window->searchIndicator()->isAnimating());
    EXPECT_FALSE(h.window->isTimerRunning());
    EXPECT_TRUE(h.window->filterButton(kSearchCategoryRegular)->isEnabled());
    EXPECT_TRUE(h.window->copyActionButton()->isEnabled());

    h.search(QStringLiteral("nothing-like-this"), h.home / "T");
    EXPECT_FALSE(h.window->nothingFoundStatLabel()->isHidden());
    EXPECT_FALSE(h.window->copyActionButton()->isEnabled());

    // a folder that cannot be read is counted in the status line
    h.search(QStringLiteral("tick"), h.home / "T" / "gone");
    EXPECT_EQ(h.window->nothingFoundStatLabel()->text(),
              QStringLiteral("Nothing found for \"tick\" \u00b7 1 folder could not be read"));
    h.search(QStringLiteral("tick"), h.home / "T");
    EXPECT_TRUE(h.window->nothingFoundStatLabel()->isHidden());

    // and so is a search left behind in a folder that does not answer, while it is held there
    h.makeFile("Held/tick-4.txt");
    {
        test::FolderGate held((h.home / "Held").bytes());
        h.manager.performSearchWithTemplateAndFolder(QStringLiteral("tick"), h.home / "Held");
        ASSERT_TRUE(held.waitUntilHeld(1));
        h.search(QStringLiteral("tick"), h.home / "T");
        EXPECT_EQ(h.window->nothingFoundStatLabel()->text(),
                  QStringLiteral("A previous search is still waiting for a folder."));
    }
    ASSERT_TRUE(test::waitUntil([&h]() { return h.manager.abandonedScanCount() == 0; }));
    h.search(QStringLiteral("tick"), h.home / "T");
    EXPECT_TRUE(h.window->nothingFoundStatLabel()->isHidden());
}

TEST(ResultsWindow, EveryControlIsNamedAndWithinTabAndEveryKeyReachesItsAction)
{
    FileManagerService fileManager;
    ASSERT_TRUE(fileManager.isRegistered());
    ResultsHarness h;
    h.makeFile("Notes/keys-alpha.txt", "alpha");
    h.makeFile("Notes/keys-beta\xff.txt", "beta");
    h.makeFile("Other/keys-gamma.txt", "gamma");
    h.search(QStringLiteral("keys"), h.home);
    ASSERT_EQ(h.shownNames().size(), 3u);
    const BytePath alpha = h.home / "Notes/keys-alpha.txt";
    const BytePath beta = h.home / "Notes/keys-beta\xff.txt";
    h.selectNames({"keys-alpha.txt"});
    ASSERT_TRUE(QTest::qWaitForWindowActive(h.window.get()));
    EXPECT_EQ(unnamedControls(h.window.get()), std::vector<std::string>{});
    EXPECT_EQ(unreachableByTab(h.window.get()), std::vector<std::string>{});
    h.window->tableView()->setFocus();
    pressKey(h, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), h.window->searchBar());
    h.window->tableView()->setFocus();

    pressKey(h, Qt::Key_Return);
    ASSERT_TRUE(h.waitForOpenedCount(1));
    EXPECT_EQ(h.openedUris().back(), alpha.toFileUri().toStdString());

    pressKey(h, Qt::Key_Space);
    EXPECT_TRUE(h.quickLook.isPreviewPanelVisible());
    ASSERT_EQ(h.quickLook.fileQLItems().size(), 1u);
    EXPECT_EQ(h.quickLook.fileQLItems().front()->mfilePath(), alpha);
    h.selectNames({"keys-beta\xff.txt"}); // the open preview follows the selection
    EXPECT_TRUE(h.quickLook.isPreviewPanelVisible());
    ASSERT_EQ(h.quickLook.fileQLItems().size(), 1u);
    EXPECT_EQ(h.quickLook.fileQLItems().front()->mfilePath(), beta);
    pressKey(h, Qt::Key_Space);
    EXPECT_FALSE(h.quickLook.isPreviewPanelVisible());

    // Ctrl+Return: the file manager shows the items; Ctrl+I: their properties.
    h.selectNames({"keys-alpha.txt", "keys-beta\xff.txt"});
    pressKey(h, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return fileManager.calls.size() == 1; }));
    EXPECT_EQ(fileManager.calls[0].method, QStringLiteral("ShowItems"));
    QStringList expected{uri(alpha), uri(beta)};
    QStringList got = fileManager.calls[0].uris;
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
    pressKey(h, Qt::Key_I, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return fileManager.calls.size() == 2; }));
    EXPECT_EQ(fileManager.calls[1].method, QStringLiteral("ShowItemProperties"));

    // Ctrl+C: the names in row order; Ctrl+Alt+C: the paths, with a URI list from the bytes.
    const bool alphaFirst = h.rowOf("keys-alpha.txt") < h.rowOf("keys-beta\xff.txt");
    const QString betaShown = BytePath("keys-beta\xff.txt").displayString();
    pressKey(h, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), alphaFirst ? QStringLiteral("keys-alpha.txt\n") + betaShown
                                                            : betaShown + QStringLiteral("\nkeys-alpha.txt"));
    pressKey(h, Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    const QMimeData *clip = QApplication::clipboard()->mimeData();
    ASSERT_NE(clip, nullptr);
    EXPECT_TRUE(clip->text().contains(alpha.displayString()));
    const QByteArray uris = clip->data(QStringLiteral("text/uri-list"));
    EXPECT_TRUE(uris.contains(beta.toFileUri() + "\r\n")) << uris.toStdString();
    EXPECT_TRUE(uris.contains("keys-beta%FF.txt"));

    // Ctrl+D and Ctrl+Right ask for the destination with their prompt.
    for (const auto &[key, prompt] : {std::pair{Qt::Key_D, "Copy"}, std::pair{Qt::Key_Right, "Move"}}) {
        pressKey(h, key, Qt::ControlModifier);
        QFileDialog *chooser = waitForFileDialog(h.window.get());
        ASSERT_NE(chooser, nullptr) << prompt;
        EXPECT_EQ(chooser->labelText(QFileDialog::Accept), QLatin1String(prompt));
        chooser->reject();
        ASSERT_TRUE(waitUntil([&] { return !chooser->isVisible(); }));
    }

    // Ctrl+Backspace, like Delete, asks before anything goes to the Trash.
    pressKey(h, Qt::Key_Backspace, Qt::ControlModifier);
    clickButton(waitForMessageBox(h.window.get(), QStringLiteral("Are you sure you want to remove selected files?")),
                QStringLiteral("No"));
    drainMainQueue();
    EXPECT_TRUE(exists(alpha));
    EXPECT_TRUE(exists(beta));
    EXPECT_EQ(h.shownNames().size(), 3u);
}

TEST(ResultsWindow, SortsPerKeyActsOnRightClicksAndFilteringGoesBackToReportOrderKeepingTheSelection)
{
    ResultsHarness h;
    for (const char *name : {"sortme-b.txt", "sortme-C.txt", "sortme-a.txt", ".sortme-hidden"})
        h.makeFile(std::string("S/") + name, name);
    h.makeFolder("S/sortme-folder");
    h.search(QStringLiteral("sortme"), h.home);
    ASSERT_EQ(h.shownNames().size(), 5u);
    EXPECT_FALSE(h.window->emptyTableMessage()->isVisible());

    // Plain byte order: capitals before small letters, dot first.
    clickHeader(h, SearchResultsTableModel::NameColumn);
    EXPECT_EQ(h.shownNames(),
              (Names{".sortme-hidden", "sortme-C.txt", "sortme-a.txt", "sortme-b.txt", "sortme-folder"}));

    // A right click on an unselected row (the press, then the context menu event the window
    // system sends with it) acts on the selection plus that row and leaves the selection alone.
    h.selectNames({"sortme-a.txt"});
    QWidget *viewport = h.window->tableView()->viewport();
    const QPoint firstRow = h.window->tableView()->visualRect(h.window->tableView()->model()->index(0, 0)).center();
    QTest::mouseClick(viewport, Qt::RightButton, {}, firstRow);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, firstRow, viewport->mapToGlobal(firstRow));
    QApplication::sendEvent(viewport, &rightClick);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_EQ(menu, h.window->contextMenu());
    EXPECT_EQ(h.window->selectedItemsIndexSet(), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(h.window->tableView()->selectedRowIndexes(), (std::vector<std::size_t>{2}));
    QAction *copyName = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == QStringLiteral("Copy Name")) copyName = action;
    }
    ASSERT_NE(copyName, nullptr);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(copyName).center());
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral(".sortme-hidden\nsortme-a.txt"));
    drainMainQueue();
    EXPECT_EQ(h.window->selectedItemsIndexSet(), (std::vector<std::size_t>{2})); // the menu has done its work

    clickHeader(h, SearchResultsTableModel::NameColumn);
    EXPECT_EQ(h.shownNames(),
              (Names{"sortme-folder", "sortme-b.txt", "sortme-a.txt", "sortme-C.txt", ".sortme-hidden"}));
    EXPECT_EQ(h.window->tableView()->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);

    // Each key keeps its own direction: the first size sort is ascending, folders last.
    clickHeader(h, SearchResultsTableModel::SizeColumn);
    EXPECT_EQ(h.shownNames().back(), "sortme-folder");
    clickHeader(h, SearchResultsTableModel::SizeColumn);
    EXPECT_EQ(h.shownNames().front(), "sortme-folder");

    h.selectNames({"sortme-a.txt", "sortme-folder"});
    // Hidden items off: the rest in the order the search reported them, same items selected.
    QTest::mouseClick(h.window->filterButton(kSearchCategoryHidden), Qt::LeftButton);
    EXPECT_EQ(h.window->filterMask(), unsigned(kSearchCategoryRegular));
    EXPECT_EQ(h.manager.filterMask(), unsigned(kSearchCategoryRegular));
    Names reportOrder;
    for (const SearchItemPtr &item : *h.manager.getSearchResultArray()) {
        if (item->category() == kSearchCategoryRegular) reportOrder.emplace_back(item->fileName());
    }
    EXPECT_EQ(h.shownNames(), reportOrder);
    Names selected;
    for (const SearchItemPtr &item : h.window->itemsActedOn())
        selected.emplace_back(item->fileName());
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, (Names{"sortme-a.txt", "sortme-folder"}));
    EXPECT_TRUE(h.window->copyActionButton()->isEnabled());

    // The pop-up names and marks the choice in force.
    QToolButton *popup = h.window->filterHiddenPopupButton();
    EXPECT_EQ(popup->text(), QStringLiteral("Regular files only"));
    QStringList checked;
    for (QAction *action : popup->menu()->actions())
        if (action->isChecked()) checked << action->text();
    EXPECT_EQ(checked, QStringList{QStringLiteral("Regular files only")});

    // Everything found, nothing shown: the empty table says why, and the buttons keep their place.
    const QPoint trashAt = h.window->deleteActionButton()->mapTo(h.window.get(), QPoint());
    QTest::mouseClick(h.window->filterButton(kSearchCategoryRegular), Qt::LeftButton);
    EXPECT_EQ(h.window->tableView()->model()->rowCount(), 0);
    EXPECT_TRUE(h.window->emptyTableMessage()->isVisible());
    EXPECT_EQ(h.window->emptyTableMessage()->text(), QStringLiteral("5 items found, all left out by the filter above"));
    EXPECT_EQ(popup->text(), QStringLiteral("Custom filter"));
    QCoreApplication::processEvents();
    EXPECT_EQ(h.window->deleteActionButton()->mapTo(h.window.get(), QPoint()), trashAt);
    QTest::mouseClick(h.window->filterButton(kSearchCategoryRegular), Qt::LeftButton);
    EXPECT_FALSE(h.window->emptyTableMessage()->isVisible());

    // The Folder column sorts by the name it shows, then by the whole path.
    for (const char *path : {"zz/alpha/foldsort-1", "aa/beta/foldsort-2", "mm/alpha/foldsort-3"})
        h.makeFile(path);
    const qint64 march5 = QDateTime(QDate(2024, 3, 5), QTime(14, 7)).toSecsSinceEpoch();
    const timespec times[2] = {{march5, 0}, {march5, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (h.home / "zz/alpha/foldsort-1").c_str(), times, 0), 0);
    h.search(QStringLiteral("foldsort"), h.home);
    // Dates in the user's own form.
    QAbstractItemModel *model = h.window->tableView()->model();
    const QModelIndex date = model->index(h.rowOf("foldsort-1"), SearchResultsTableModel::DateColumn);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(model->data(date).toString(), QStringLiteral("05.03.24 14:07"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString us = model->data(date).toString();
    EXPECT_TRUE(us.startsWith(QStringLiteral("3/5/24 2:07")) && us.endsWith(QStringLiteral("PM"))) << us.toStdString();
    QLocale::setDefault(QLocale::system());
    clickHeader(h, SearchResultsTableModel::EnclosingFolderColumn);
    const Names ascending{"foldsort-3", "foldsort-1", "foldsort-2"};
    const Names descending{ascending.rbegin(), ascending.rend()};
    EXPECT_EQ(h.shownNames(), h.window->tableView()->horizontalHeader()->sortIndicatorOrder() == Qt::AscendingOrder
                                  ? ascending
                                  : descending);
}

TEST(ResultsWindow, NewSearchQuestionHiddenFilesSheetAndTheirSuppression)
{
    ResultsHarness h;
    h.makeFile("H/.zeta-one", "1");
    h.makeFile("H/.zeta-two", "2");
    QTest::mouseClick(h.window->filterButton(kSearchCategoryHidden), Qt::LeftButton);
    ASSERT_EQ(h.window->filterMask(), unsigned(kSearchCategoryRegular));

    // The user starts another search while the first is still on (its completion is held
    // until then): the first one's end asks nothing.
    h.manager.performSearchWithTemplateAndFolder(QStringLiteral("zeta"), h.home);
    ASSERT_TRUE(h.window->isSearchOn());
    CompletionGate gate(h.manager, [&h]() {
        ASSERT_TRUE(h.window->isSearchOn());
        QTest::keyClick(h.window->searchBar(), Qt::Key_Return);
        QMessageBox *confirm =
            waitForMessageBox(h.window.get(), QStringLiteral("Are you sure you want to start new search?"));
        clickButton(confirm, QStringLiteral("Start"));
        EXPECT_TRUE(h.window->lastSearchStoppedForNew());
    });
    ASSERT_TRUE(h.waitForSearchEnd());
    EXPECT_TRUE(gate.passed());
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Lurkel - Search results for \"zeta\", found 2"));
    drainMainQueue();
    EXPECT_FALSE(messageBoxShown(h.window.get(), QStringLiteral("Hidden files found")));

    // The new search, run to its end, asks; "Yes" shows hidden files only.
    h.clock.advance(100);
    ASSERT_TRUE(h.window->isSearchOn());
    ASSERT_TRUE(h.waitForSearchEnd());
    EXPECT_TRUE(h.shownNames().empty());
    QMessageBox *sheet = waitForMessageBox(h.window.get(), QStringLiteral("Hidden files found"));
    clickButton(sheet, QStringLiteral("Yes"));
    EXPECT_EQ(h.window->filterMask(), unsigned(kSearchCategoryHidden));
    EXPECT_EQ(h.manager.filterMask(), unsigned(kSearchCategoryHidden));
    EXPECT_EQ(h.shownNames().size(), 2u);

    // "Do not show again" with Cancel: the running search goes on, and the question is not asked again.
    h.manager.performSearchWithTemplateAndFolder(QStringLiteral("zeta"), h.home);
    ASSERT_TRUE(h.window->isSearchOn());
    h.window->searchBar()->setText(QStringLiteral("other"));
    QTest::keyClick(h.window->searchBar(), Qt::Key_Return);
    QMessageBox *confirm =
        waitForMessageBox(h.window.get(), QStringLiteral("Are you sure you want to start new search?"));
    ASSERT_NE(confirm, nullptr);
    ASSERT_NE(confirm->checkBox(), nullptr);
    QTest::mouseClick(confirm->checkBox(), Qt::LeftButton);
    clickButton(confirm, QStringLiteral("Cancel"));
    EXPECT_EQ(h.window->searchBar()->text(), QStringLiteral("zeta"));
    EXPECT_FALSE(h.window->lastSearchStoppedForNew());
    EXPECT_TRUE(
        Settings(*h.defaults).getBoolValueForKeyWithDefaultValue(SettingsKeys::kDontShowNewSearchAlertDialog, false));
    ASSERT_TRUE(h.waitForSearchEnd());
    h.clock.advance(1000);
    EXPECT_EQ(h.manager.searchTemplate(), QStringLiteral("zeta"));
    EXPECT_FALSE(h.window->isSearchOn());

    h.manager.performSearchWithTemplateAndFolder(QStringLiteral("zeta"), h.home);
    h.window->searchBar()->setText(QStringLiteral("one"));
    QTest::keyClick(h.window->searchBar(), Qt::Key_Return);
    EXPECT_FALSE(messageBoxShown(h.window.get()));
    EXPECT_TRUE(h.window->lastSearchStoppedForNew());
    ASSERT_TRUE(h.waitForSearchEnd());
    h.clock.advance(100);
    EXPECT_EQ(h.manager.searchTemplate(), QStringLiteral("one"));
    ASSERT_TRUE(h.waitForSearchEnd());
    EXPECT_EQ(h.shownNames(), (Names{".zeta-one"}));
}

TEST(ResultsWindow, CopyKeepsTheRowsMoveAndTrashDropThemAndFailedItemsAreNamedWithTheirReason)
{
    ResultsHarness h;
    h.makeFile("From/moving one.txt", "one");
    h.makeFile("From/moving-two.txt", "two");
    h.makeFile("From/moving-stays.txt", "stays");
    const BytePath gone = h.makeFile("From/moving-gone.txt", "gone");
    const BytePath target = h.makeFolder("Target");
    h.makeFile("Target/moving one.txt", "the old one");
    h.search(QStringLiteral("moving"), h.home / "From");
    ASSERT_EQ(h.shownNames().size(), 4u);
    ASSERT_EQ(::unlink(gone.c_str()), 0); // removed after the search
    QSignalSpy finished(h.window->fileOperations(), &ResultFileOperations::actionFinished);

    // A copy keeps the rows, and both files where the name is taken.
    h.selectNames({"moving one.txt", "moving-two.txt"});
    QTest::mouseClick(h.window->copyActionButton(), Qt::LeftButton);
    chooseFolder(waitForFileDialog(h.window.get()), target);
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 1; }));
    EXPECT_TRUE(finished.at(0).at(1).toBool());
    EXPECT_EQ(readFile(target / "moving one.txt"), "the old one");
    EXPECT_EQ(readFile(target / "moving one 2.txt"), "one");
    EXPECT_EQ(readFile(target / "moving-two.txt"), "two");
    EXPECT_TRUE(exists(h.home / "From/moving one.txt"));
    EXPECT_EQ(h.shownNames().size(), 4u);
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Lurkel - Search results for \"moving\", found 4"));

    // A copy that is partly done: the sheet names the missing item and why.
    const BytePath partial = h.makeFolder("Partial");
    h.selectNames({"moving-gone.txt", "moving-stays.txt"});
    QTest::mouseClick(h.window->copyActionButton(), Qt::LeftButton);
    chooseFolder(waitForFileDialog(h.window.get()), partial);
    QMessageBox *sheet = waitForMessageBox(h.window.get(), QStringLiteral("1 of 2 items could not be copied."));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(sheet->informativeText().startsWith(gone.displayString() + QStringLiteral(": ")))
        << sheet->informativeText().toStdString();
    EXPECT_TRUE(sheet->informativeText().contains(QStringLiteral("No such file or directory")));
    clickButton(sheet, QStringLiteral("OK"));
    ASSERT_EQ(finished.size(), 2);
    EXPECT_FALSE(finished.at(1).at(1).toBool());
    EXPECT_EQ(namesIn(partial), (std::set<std::string>{"moving-stays.txt"}));
    EXPECT_EQ(h.shownNames().size(), 4u);

    // A move drops the rows of what moved.
    const BytePath moved = h.makeFolder("Moved");
    h.selectNames({"moving-two.txt"});
    QTest::mouseClick(h.window->moveActionButton(), Qt::LeftButton);
    chooseFolder(waitForFileDialog(h.window.get()), moved);
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 3; }));
    EXPECT_TRUE(finished.at(2).at(1).toBool());
    EXPECT_EQ(readFile(moved / "moving-two.txt"), "two");
    EXPECT_FALSE(exists(h.home / "From/moving-two.txt"));
    EXPECT_EQ(h.manager.getSearchResultArray()->size(), 3u);
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Lurkel - Search results for \"moving\", found 3"));

    // A Trash of the missing item and of one that is there: that row goes, the missing one stays.
    Settings(*h.defaults).saveBoolValueForKey(true, SettingsKeys::kDontShowDeleteAlertDialog);
    h.selectNames({"moving one.txt", "moving-gone.txt"});
    QTest::mouseClick(h.window->deleteActionButton(), Qt::LeftButton);
    sheet = waitForMessageBox(h.window.get(), QStringLiteral("1 of 2 items could not be moved to the Trash."));
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->informativeText().startsWith(gone.displayString() + QStringLiteral(": ")));
    clickButton(sheet, QStringLiteral("OK"));
    Names left = h.shownNames();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Names{"moving-gone.txt", "moving-stays.txt"}));
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Lurkel - Search results for \"moving\", found 2"));
    EXPECT_EQ(readFile(Trash::homeTrash() / "files/moving one.txt"), "one");
}

TEST(ResultsWindow, AMoveIntoAReadOnlyFolderByAnUnprivilegedUserKeepsTheRowsAndSaysWhy)
{
    if (runningAsRoot()) {
        ASSERT_EQ(::access("/usr/bin/setpriv", X_OK), 0) << "setpriv is needed to drop root for this test";
    }
    ResultsHarness h(nullptr, ResultsHarness::FileWork::Unprivileged);
    const BytePath area = unprivilegedArea();
    const BytePath src = makeDir(area / "src");
    giveToUnprivileged(src);
    for (const char *name : {"ro-one.txt", "ro-two.txt"}) {
        writeFile(src / name, name);
        giveToUnprivileged(src / name);
    }
    const BytePath readOnly = makeDir(area / "read-only", 0555);
    giveToUnprivileged(readOnly);
    h.search(QStringLiteral("ro-"), src);
    ASSERT_EQ(h.shownNames().size(), 2u);

    h.selectNames({"ro-one.txt", "ro-two.txt"});
    QTest::mouseClick(h.window->moveActionButton(), Qt::LeftButton);
    chooseFolder(waitForFileDialog(h.window.get()), readOnly);
    QMessageBox *sheet = waitForMessageBox(h.window.get(), QStringLiteral("None of the 2 items could be moved."));
    ASSERT_NE(sheet, nullptr);
    for (const char *name : {"ro-one.txt", "ro-two.txt"})
        EXPECT_TRUE(sheet->informativeText().contains((src / name).displayString())) << name;
    EXPECT_EQ(sheet->informativeText().count(QStringLiteral("Permission denied")), 2)
        << sheet->informativeText().toStdString();
    clickButton(sheet, QStringLiteral("OK"));
    EXPECT_EQ(h.shownNames().size(), 2u);
    EXPECT_TRUE(namesIn(readOnly).empty());
    EXPECT_EQ(namesIn(src).size(), 2u);
}

TEST(ResultsWindow, WithoutAFileManagerServiceTheFolderOpensAndFailuresToOpenAreSaidInTheWindow)
{
    ResultsHarness h;
    h.makeFile("Docs/orphan.unknown-kind", "?");
    h.search(QStringLiteral("orphan"), h.home);
    ASSERT_EQ(h.shownNames().size(), 1u);
    h.selectNames({"orphan.unknown-kind"});
    h.window->getInfoMenuItemPressed();
    ASSERT_TRUE(h.waitForOpenedCount(1));
    EXPECT_EQ(h.openedUris().front(), (h.home / "Docs").toFileUri().toStdString());

    // The path bar shows the selected item's folder; a click on a component opens it.
    PathBreadcrumb *bar = h.window->pathControl();
    ASSERT_EQ(bar->path(), h.home / "Docs");
    QTest::mouseClick(bar->buttonAt(bar->count() - 2), Qt::LeftButton);
    ASSERT_TRUE(h.waitForOpenedCount(2));
    EXPECT_EQ(h.openedUris().back(), h.home.toFileUri().toStdString());

    // A file manager that took the call but answered late opens its own window: no second.
    EXPECT_TRUE(DesktopWorkspace::wasDelivered(QDBusError(QDBusError::NoReply, {})));
    for (const QDBusError::ErrorType notTaken :
         {QDBusError::ServiceUnknown, QDBusError::UnknownMethod, QDBusError::Disconnected, QDBusError::Failed})
        EXPECT_FALSE(DesktopWorkspace::wasDelivered(QDBusError(notTaken, {})));

    h.failOpening(3, "xdg-open: no method available for opening it");
    h.window->tableView()->setFocus();
    pressKey(h, Qt::Key_Return);
    QMessageBox *sheet =
        waitForMessageBox(h.window.get(), QStringLiteral("\"orphan.unknown-kind\" could not be opened."));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->informativeText(), QStringLiteral("No application is set to open it. xdg-open: no method "
                                                       "available for opening it (exit 3)"));
    clickButton(sheet, QStringLiteral("OK"));

    h.window->searchBar()->setText(QString(2000, QLatin1Char('z')));
    EXPECT_FALSE(h.window->performSearchWithSelectedPath(h.home));
    sheet = waitForMessageBox(h.window.get(), QStringLiteral("This search can't be started."));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->informativeText(), SearchManager::textTooLongMessage(2000));
    clickButton(sheet, QStringLiteral("OK"));
    h.clock.advance(1000);
    EXPECT_FALSE(h.window->isSearchOn());
    EXPECT_EQ(h.shownNames().size(), 1u) << "the last results stay";
}

TEST(ResultsWindow, StopEndsATrashUnderWayLeavingEachItemDoneOrUntouched)
{
    ResultsHarness h;
    for (const char *name : {"stop-1.txt", "stop-2.txt", "stop-3.txt"})
        h.makeFile(std::string("Box/") + name, name);
    // A script of the current call form that trashes the first item of its list for real and
    // then hangs, as on a file system that stopped answering.
    const BytePath marker = h.home.parent() / "first-done";
    installFakeScript(FinderCommunicator::kRemoveScriptName, h.home.parent() / "script.log",
                      "# lurkel-script-version: 2\n"
                      "tr '\\000' '\\n' | { read -r first; \"$LURKELCTL\" trash --results - -- \"$first\"; touch '" +
                          marker.bytes() + "'; exec sleep 100000; }\n");
    h.search(QStringLiteral("stop-"), h.home);
    Settings(*h.defaults).saveBoolValueForKey(true, SettingsKeys::kDontShowDeleteAlertDialog);
    QSignalSpy finished(h.window->fileOperations(), &ResultFileOperations::actionFinished);
    QSignalSpy progress(h.window->fileOperations(), &ResultFileOperations::operationProgress);

    h.selectNames({"stop-1.txt", "stop-2.txt", "stop-3.txt"});
    const SearchItemList chosen = h.window->itemsActedOn();
    QTest::mouseClick(h.window->deleteActionButton(), Qt::LeftButton);
    ASSERT_TRUE(pollUntil([&] { return exists(marker) && progress.size() >= 1 && progress.last().at(1) == 1u; }));
    EXPECT_TRUE(h.window->stopSearchButton()->isVisible());
    EXPECT_EQ(h.window->searchStatLabel()->text(), QStringLiteral("Moving to the Trash 1 of 3"));
    QTest::mouseClick(h.window->stopSearchButton(), Qt::LeftButton);
    QMessageBox *sheet = waitForMessageBox(h.window.get());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->text(),
              QStringLiteral("Stopped: 1 of 3 items were moved to the Trash; the other 2 were left as they were."));
    clickButton(sheet, QStringLiteral("OK"));
    ASSERT_EQ(finished.size(), 1);
    EXPECT_FALSE(h.window->stopSearchButton()->isVisible());

    const std::string first(chosen.front()->fileName());
    std::set<std::string> shown;
    for (const std::string &name : h.shownNames())
        shown.insert(name);
    for (const SearchItemPtr &item : chosen) {
        const std::string name(item->fileName());
        const bool trashed = exists(Trash::homeTrash() / "files" / name);
        EXPECT_EQ(trashed, name == first) << name;
        EXPECT_NE(trashed, exists(item->fullFileNameWithPath())) << name << ": done or untouched";
        EXPECT_EQ(shown.count(name), trashed ? 0u : 1u) << name;
    }
}

TEST(ResultsWindow, MovingPackageContentsAsksFirstAndAnItemAsDestinationIsRefused)
{
    ResultsHarness h;
    const BytePath inside = h.makeFile("Apps/Viewer.app/Contents/viewer-notes.txt", "notes");
    const BytePath outside = h.makeFile("Docs/viewer-guide.txt", "guide");
    const BytePath folder = h.makeFolder("Box/viewer-folder");
    h.search(QStringLiteral("viewer"), h.home);
    QTest::mouseClick(h.window->filterButton(kSearchCategoryPackageContents), Qt::LeftButton);
    h.selectNames({"viewer-notes.txt", "viewer-guide.txt"});
    QSignalSpy finished(h.window->fileOperations(), &ResultFileOperations::actionFinished);
    h.window->tableView()->setFocus();

    pressKey(h, Qt::Key_Right, Qt::ControlModifier);
    QMessageBox *sheet =
        waitForMessageBox(h.window.get(), QStringLiteral("Are you sure you want to move files from package contents?"));
    clickButton(sheet, QStringLiteral("Cancel"));
    drainMainQueue();
    EXPECT_TRUE(h.window->findChildren<QFileDialog *>().isEmpty());
    EXPECT_TRUE(exists(inside));
    EXPECT_TRUE(exists(outside));

    // A copy of package contents never asks; a folder chosen as its own destination is refused.
    h.selectNames({"viewer-folder", "viewer-notes.txt", "viewer-guide.txt"});
    pressKey(h, Qt::Key_D, Qt::ControlModifier);
    QFileDialog *chooser = waitForFileDialog(h.window.get());
    EXPECT_FALSE(messageBoxShown(h.window.get()));
    chooseFolder(chooser, folder);
    QMessageBox *alert = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        alert = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        return alert != nullptr;
    }));
    EXPECT_EQ(alert->text(), QStringLiteral("You can't copy \"viewer-folder\" at this location because you can't "
                                            "copy an item into itself."));
    clickButton(alert, QStringLiteral("OK"));
    drainMainQueue();
    EXPECT_EQ(h.window->fileOperations()->runningCount(), 0);
    EXPECT_EQ(finished.size(), 0);
    EXPECT_TRUE(namesIn(folder).empty());
}

TEST(ResultsWindow, RevealingHiddenItemsAsksAsNeededAndNameCellButtonsFollowTheMouseOfTheActiveWindow)
{
    FileManagerService fileManager;
    SwitchableHiddenFiles hidden;
    ResultsHarness h(&hidden);
    h.makeFile("R/.reveal-dot", "h");
    h.makeFile(".cache-x/reveal-inside", "i");
    h.window->performAutomaticSearchResultsFilteringWithFilterMask(kSearchCategoryAll);
    h.search(QStringLiteral("reveal"), h.home);
    h.window->tableView()->setFocus();

    // Inside a hidden folder but not hidden itself: straight to the file manager.
    h.selectNames({"reveal-inside"});
    pressKey(h, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return fileManager.calls.size() == 1; }));
    EXPECT_FALSE(messageBoxShown(h.window.get()));

    // A hidden item while the file manager hides them: "Yes" switches, then reveals.
    h.selectNames({".reveal-dot"});
    pressKey(h, Qt::Key_Return, Qt::ControlModifier);
    const QString question = QStringLiteral("Hidden files are not displayed in the file manager. Would you like "
                                            "to make hidden files visible in the file manager?");
    QMessageBox *ask = waitForMessageBox(h.window.get(), question);
    ASSERT_NE(ask, nullptr);
    EXPECT_TRUE(ask->informativeText().isEmpty()) << "no relaunch is announced where none happens";
    clickButton(ask, QStringLiteral("Yes"));
    ASSERT_TRUE(waitUntil([&] { return fileManager.calls.size() == 2; }));
    EXPECT_EQ(hidden.switches, 1);
    EXPECT_EQ(fileManager.calls[1].uris, QStringList{uri(h.home / "R/.reveal-dot")});

    // Not allowed to switch: the information alert; "Instruction" opens the how-to page.
    hidden.allowed = false;
    pressKey(h, Qt::Key_Return, Qt::ControlModifier);
    QMessageBox *info = waitForMessageBox(h.window.get(), QStringLiteral("You try to reveal a hidden file in the file "
                                                                         "manager"));
    ASSERT_NE(info, nullptr);
    clickButton(info, QStringLiteral("Instruction"));
    ASSERT_EQ(h.urlOpener.opened.size(), 1);
    EXPECT_TRUE(h.urlOpener.opened.front().toString().contains(QStringLiteral("brendix")));
    drainMainQueue();
    EXPECT_EQ(fileManager.calls.size(), 2u);

    // Where the switch restarts the file managers, the question says so.
    hidden.allowed = true;
    hidden.shown = false;
    hidden.relaunches = true;
    pressKey(h, Qt::Key_Return, Qt::ControlModifier);
    QMessageBox *relaunch = waitForMessageBox(h.window.get(), question);
    ASSERT_NE(relaunch, nullptr);
    EXPECT_EQ(relaunch->informativeText(), QStringLiteral("The file manager will be relaunched if so."));
    clickButton(relaunch, QStringLiteral("No"));
    drainMainQueue();
    EXPECT_EQ(hidden.switches, 1);

    // The name cell's buttons show on the row under the mouse while the window is active.
    h.window->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return h.window->isActiveWindow(); }));
    EXPECT_TRUE(h.window->isFloatingLevel());
    MyTableView *table = h.window->tableView();
    h.selectNames({".reveal-dot"});
    const int row = h.rowOf("reveal-inside");
    const BytePath hovered = h.window->tableModel()->itemAt(row)->fullFileNameWithPath();
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    QMouseEvent move(QEvent::MouseMove, QPointF(cell.center()), QPointF(table->viewport()->mapToGlobal(cell.center())),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(table->viewport(), &move);
    EXPECT_TRUE(table->buttonsShownForRow(row));
    EXPECT_FALSE(table->buttonsShownForRow(1 - row));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, FileNameCellView::previewButtonRect(cell).center());
    EXPECT_TRUE(h.quickLook.isPreviewPanelVisible());
    EXPECT_EQ(h.quickLook.fileQLItems().front()->mfilePath(), hovered);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, FileNameCellView::showInFinderButtonRect(cell).center());
    ASSERT_TRUE(waitUntil([&] { return fileManager.calls.size() == 3; }));
    EXPECT_EQ(fileManager.calls[2].uris, QStringList{uri(hovered)});
    EXPECT_EQ(table->selectedRow(), 1 - row) << "the buttons do not select";

    // Another window becomes active: no buttons, normal level.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return other.isActiveWindow(); }));
    EXPECT_FALSE(table->buttonsShownForRow(row));
    EXPECT_FALSE(h.window->isFloatingLevel());
}

TEST(ResultsWindow, LocationButtonsChooseTheFolderAndRefuseAMissingOne)
{
    ResultsHarness h;
    const BytePath projects = h.makeFolder("Projects");
    h.makeFile("Projects/plan-a.txt");
    h.makeFile("plan-b.txt");
    EXPECT_EQ(h.window->activeLocationButton(), SearchResultWC::LocationButton::Home);
    EXPECT_TRUE(h.window->locationButton(SearchResultWC::LocationButton::ChooseCustom)->isHidden());
    {
        // With nothing stored, the field searches the password database's home, not HOME.
        const BytePath realHome = makeDir(BytePath(h.home.bytes() + "-real"));
        const ScopedEnv passwd("LURKEL_TEST_PASSWD_HOME", realHome.c_str());
        searchFromTheField(h, QStringLiteral("plan"));
        EXPECT_EQ(h.manager.searchLocation(), realHome);
    }

    // The custom button without a folder asks for one; the search runs there.
    TrackingButton *custom = h.window->locationButton(SearchResultWC::LocationButton::Custom);
    QTest::mouseClick(custom, Qt::LeftButton);
    chooseFolder(waitForFileDialog(h.window.get()), projects);
    h.clock.advance(100);
    ASSERT_TRUE(h.waitForSearchEnd());
    EXPECT_EQ(h.manager.searchLocation(), projects);
    EXPECT_EQ(h.shownNames(), (Names{"plan-a.txt"}));
    EXPECT_EQ(custom->text(), QStringLiteral("Projects"));
    EXPECT_TRUE(custom->isChecked());
    EXPECT_FALSE(h.window->locationButton(SearchResultWC::LocationButton::ChooseCustom)->isHidden());
    EXPECT_EQ(Settings(*h.defaults).getCustomFolderButtonSearchLocation(), projects);

    QTest::mouseClick(h.window->locationButton(SearchResultWC::LocationButton::Home), Qt::LeftButton);
    h.clock.advance(100);
    ASSERT_TRUE(h.waitForSearchEnd());
    EXPECT_EQ(h.manager.searchLocation(), h.home);
    EXPECT_EQ(h.shownNames().size(), 2u);
    EXPECT_EQ(h.window->activeLocationButton(), SearchResultWC::LocationButton::Home);
    EXPECT_FALSE(custom->isChecked());

    // A folder that is gone is refused with its sheet; Cancel goes back home.
    const BytePath gone = h.home / "Gone away";
    EXPECT_FALSE(h.window->performSearchWithSelectedPath(gone));
    QMessageBox *sheet = waitForMessageBox(h.window.get(), QStringLiteral("Can't search for desired folder"));
    clickButton(sheet, QStringLiteral("Cancel"));
    EXPECT_EQ(h.manager.searchLocation(), h.home);
    EXPECT_EQ(h.window->activeLocationButton(), SearchResultWC::LocationButton::Home);
    h.clock.advance(1000);
    EXPECT_FALSE(h.window->isSearchOn());
}

TEST(ResultsEndToEnd, DeleteKeyMovesThirtyThousandResultsAndHostileNamesToTheTrashOfTheHome)
{
    // 30,000 paths of 75 bytes: well over what one argument vector may hold.
    constexpr std::size_t kCount = 30000;
    ResultsHarness h;
    const BytePath folder = h.makeFolder("Bulk");
    const std::size_t nameLength = 75 - folder.bytes().size() - 1;
    ASSERT_GT(nameLength, 16u);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < kCount; ++i) {
        std::string name = "bulk-" + std::to_string(100000 + i);
        name.resize(nameLength, 'x');
        const UniqueFd fd(::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        ASSERT_TRUE(fd.valid()) << name;
        names.push_back(std::move(name));
    }
    const Names hostile = {"bulk-with spaces.txt", "bulk-\nline feed.txt", "bulk- \xff\xfe not utf-8.bin"};
    for (const std::string &name : hostile)
        h.makeFile("Bulk/" + name, "content of " + name);
    h.makeFile("Bulk/keeper.txt", "stays");
    searchFromTheField(h, QStringLiteral("bulk-"));
    EXPECT_EQ(h.manager.searchLocation(), h.home);
    ASSERT_EQ(h.window->tableModel()->rowCount(), int(kCount + hostile.size()));
    QSignalSpy finished(h.window->fileOperations(), &ResultFileOperations::actionFinished);

    h.window->tableView()->setFocus();
    pressKey(h, Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(h.window->selectedItemsIndexSet().size(), kCount + hostile.size());
    pressKey(h, Qt::Key_Delete);
    clickButton(waitForMessageBox(h.window.get(), QStringLiteral("Are you sure you want to remove selected files?")),
                QStringLiteral("Yes"));
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 1; }, 300000));
    EXPECT_TRUE(finished.at(0).at(1).toBool());
    EXPECT_EQ(h.window->tableModel()->rowCount(), 0);
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Lurkel - Search results for \"bulk-\", found 0"));

    const BytePath trash = Trash::homeTrash();
    EXPECT_EQ(trash, h.home / ".local/share/Trash");
    std::set<std::string> trashed = namesIn(trash / "files"), infos = namesIn(trash / "info");
    EXPECT_EQ(trashed.size(), kCount + hostile.size());
    EXPECT_EQ(infos.size(), kCount + hostile.size());
    for (const std::string &name : names) {
        EXPECT_EQ(trashed.count(name), 1u) << name;
        EXPECT_EQ(infos.count(name + ".trashinfo"), 1u) << name;
    }
    for (const std::string &name : hostile) {
        EXPECT_EQ(readFile(trash / "files" / name), "content of " + name) << name;
        const std::string info = readFile(trash / "info" / (name + ".trashinfo"));
        EXPECT_NE(info.find("Path=" + Trash::percentEncode((folder / name).bytes())), std::string::npos) << info;
    }
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"keeper.txt"}));
}
} // namespace
} // namespace lurkel::test
