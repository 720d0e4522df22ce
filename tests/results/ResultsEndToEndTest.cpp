// From the search field to the disk: a real search of a temporary home, the keys and the
// sheets of the window, and the file-manager scripts with lurkelctl doing the work.
#include "ResultsWindowTestSupport.h"

#include "EventWait.h"
#include "MyTableView.h"
#include "QtPrinters.h"
#include "ResultFileOperations.h"
#include "SearchResultsTableModel.h"
#include "TestEnvironment.h"
#include "Trash.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace lurkel::test {
namespace {

bool exists(const BytePath &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Types the text into the window's search field and presses Return; the search starts a
// moment later and runs to its end.
void searchFromTheField(ResultsHarness &h, const QString &text)
{
    QLineEdit *field = h.window->searchBar();
    field->clear();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
    h.clock.advance(100);
    ASSERT_TRUE(h.window->isSearchOn());
    ASSERT_TRUE(h.waitForSearchEnd());
}

TEST(ResultsEndToEnd, DeleteKeyMovesTheSelectedFilesToTheTrashOfTheHome)
{
    ResultsHarness h;
    const std::vector<std::string> names = {"doomed with spaces.txt", "doomed\nline feed.txt",
                                            "doomed \xff\xfe not utf-8.bin"};
    for (const std::string &name : names)
        h.makeFile("Documents/" + name, "content of " + name);
    h.makeFile("Documents/keeper.txt", "stays");

    searchFromTheField(h, QStringLiteral("doomed"));
    EXPECT_EQ(h.manager.searchLocation(), h.home);
    ASSERT_EQ(h.shownNames().size(), 3u);
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Lurkel - Search results for \"doomed\", found 3"));

    MyTableView *table = h.window->tableView();
    table->setFocus();
    QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(h.window->selectedItemsIndexSet().size(), 3u);
    QTest::keyClick(table, Qt::Key_Delete);
    QMessageBox *sheet =
        waitForMessageBox(h.window.get(), QStringLiteral("Are you sure you want to remove selected files?"));
    clickButton(sheet, QStringLiteral("Yes"));
    ASSERT_TRUE(waitUntil([&] { return h.window->tableModel()->rowCount() == 0; }));

    const BytePath trash = Trash::homeTrash();
    EXPECT_EQ(trash, h.home / ".local/share/Trash");
    for (const std::string &name : names) {
        const BytePath original = h.home / "Documents" / name;
        EXPECT_FALSE(exists(original)) << name;
        EXPECT_EQ(readFile(trash / "files" / name), "content of " + name) << name;
        const std::string info = readFile(trash / "info" / (name + ".trashinfo"));
        EXPECT_NE(info.find("[Trash Info]"), std::string::npos) << name;
        EXPECT_NE(info.find("Path=" + Trash::percentEncode(original.bytes())), std::string::npos) << info;
    }
    EXPECT_TRUE(exists(h.home / "Documents/keeper.txt"));
    EXPECT_TRUE(h.manager.getSearchResultArray()->empty());
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Lurkel - Search results for \"doomed\", found 0"));
}

TEST(ResultsEndToEnd, CopyIntoAFolderHoldingTheSameNameKeepsBothFiles)
{
    ResultsHarness h;
    h.makeFile("Drafts/quarterly report.txt", "the new draft");
    const BytePath archive = h.makeFolder("Archive");
    h.makeFile("Archive/quarterly report.txt", "the old one");

    searchFromTheField(h, QStringLiteral("quarterly"));
    ASSERT_EQ(h.shownNames().size(), 2u);
    const SearchItemList items = *h.manager.getFilteredSearchResultArray();
    std::vector<int> draftRow;
    for (std::size_t row = 0; row < items.size(); ++row) {
        if (items[row]->filePath() == h.home / "Drafts") draftRow.push_back(static_cast<int>(row));
    }
    ASSERT_EQ(draftRow.size(), 1u);
    h.window->tableView()->selectRows(draftRow, draftRow.front());
    QSignalSpy finished(h.window->fileOperations(), &ResultFileOperations::actionFinished);

    h.window->tableView()->setFocus();
    QTest::keyClick(h.window->tableView(), Qt::Key_D, Qt::ControlModifier);
    chooseFolder(waitForFileDialog(h.window.get()), archive);
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 1; }));
    EXPECT_TRUE(finished.at(0).at(1).toBool());

    EXPECT_EQ(readFile(archive / "quarterly report.txt"), "the old one");
    EXPECT_EQ(readFile(archive / "quarterly report 2.txt"), "the new draft");
    EXPECT_EQ(readFile(h.home / "Drafts/quarterly report.txt"), "the new draft");
    EXPECT_EQ(h.shownNames().size(), 2u);
}

} // namespace
} // namespace lurkel::test
