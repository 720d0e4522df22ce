// The results table's model: cell texts, the append-only growth, row removal and the
// in-place sort of the manager's list.
#include "SearchResultsTableModel.h"

#include "FileAttributes.h"
#include "QtPrinters.h"

#include <QColor>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace lurkel {
namespace {

SearchItemPtr makeItem(const std::string &name, const std::string &folder = "/srv/data", std::int64_t size = 1,
                       const char *type = FileAttributes::kTypeData)
{
    auto item = std::make_shared<SearchItem>();
    item->setFileName(name);
    item->setFilePath(BytePath(folder));
    item->setFileSize(size);
    item->setFileType(QLatin1String(type));
    return item;
}

std::vector<std::string> namesOf(const SearchItemList &list)
{
    std::vector<std::string> names;
    for (const SearchItemPtr &item : list)
        names.push_back(item->fileName());
    return names;
}

TEST(SearchResultsTableModel, CellTextsAndRowStyle)
{
    SearchResultsTableModel model;
    model.setTrashFolder(BytePath("/home/ann/.local/share/Trash"));
    auto list = std::make_shared<SearchItemList>();

    SearchItemPtr plain = makeItem("notes.txt", "/home/ann", 1536);
    // Late December: a week-based year would show 2025 here.
    plain->setLastUsedDate(QDateTime(QDate(2024, 12, 30), QTime(15, 5), Qt::LocalTime).toUTC());
    SearchItemPtr unnamed = makeItem("", "", 0);
    SearchItemPtr folder = makeItem("Music", "//Volumes", -1, FileAttributes::kTypeFolder);
    folder->setLastUsedDate(QDateTime(QDate(2023, 1, 2), QTime(0, 30), Qt::LocalTime).toUTC());
    SearchItemPtr trashed = makeItem("old.txt", "/home/ann/.local/share/Trash/files");
    SearchItemPtr packaged = makeItem("Info.plist", "/opt/Viewer.app/Contents");
    packaged->setFileInPackage(true);
    SearchItemPtr hidden = makeItem(".bashrc", "/home/ann");
    hidden->setFileHidden(true);
    *list = {plain, unnamed, folder, trashed, packaged, hidden};
    model.setList(list);
    model.reload();
    ASSERT_EQ(model.rowCount(), 6);

    const auto text = [&](int row, int column) { return model.index(row, column).data().toString(); };
    EXPECT_EQ(text(0, SearchResultsTableModel::NameColumn), QStringLiteral("notes.txt"));
    EXPECT_EQ(text(0, SearchResultsTableModel::EnclosingFolderColumn), QStringLiteral("ann"));
    EXPECT_EQ(text(0, SearchResultsTableModel::SizeColumn), QStringLiteral("1.5 KB"));
    EXPECT_EQ(text(0, SearchResultsTableModel::DateColumn), QStringLiteral("2024-12-30 03:05 PM"));
    EXPECT_EQ(text(2, SearchResultsTableModel::DateColumn), QStringLiteral("2023-01-02 12:30 AM"));
    EXPECT_EQ(text(1, SearchResultsTableModel::NameColumn), QStringLiteral("noname"));
    EXPECT_EQ(text(1, SearchResultsTableModel::EnclosingFolderColumn), QStringLiteral("Unknown"));
    EXPECT_EQ(text(1, SearchResultsTableModel::DateColumn), QStringLiteral("Unknown"));
    EXPECT_EQ(text(2, SearchResultsTableModel::SizeColumn), QStringLiteral("--"));
    EXPECT_EQ(model.index(2, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("/Volumes"));
    EXPECT_EQ(model.index(0, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("/home/ann"));
    EXPECT_FALSE(model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());

    // Dimmed: in the Trash, in a package, hidden; the others in the ordinary row colour.
    for (int row = 0; row < 6; ++row) {
        const bool dimmed = row >= 3;
        EXPECT_EQ(model.index(row, 0).data(SearchResultsTableModel::HiddenTrashedPackagedRole).toBool(), dimmed) << row;
        const QColor color = model.index(row, 1).data(Qt::ForegroundRole).value<QColor>();
        EXPECT_EQ(color.red(), dimmed ? 168 : 77) << row;
    }
    EXPECT_EQ(SearchResultsTableModel::typeImageName(*plain, false), QStringLiteral("icon_files"));
    EXPECT_EQ(SearchResultsTableModel::typeImageName(*hidden, true), QStringLiteral("icon_hidden_files_w"));
    EXPECT_EQ(SearchResultsTableModel::typeImageName(*packaged, false), QStringLiteral("icon_box"));
    EXPECT_EQ(SearchResultsTableModel::columnIdentifier(3), QStringLiteral("DateCell"));
    EXPECT_EQ(SearchResultsTableModel::sortKey(1), QStringLiteral("KEY_encFolderSort"));
}

TEST(SearchResultsTableModel, GrowsInOneStepPerBatchAndDropsTheRowsOfRemovedItems)
{
    SearchResultsTableModel model;
    auto list = std::make_shared<SearchItemList>();
    model.setList(list);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    for (int i = 0; i < 5; ++i)
        list->push_back(makeItem("a" + std::to_string(i)));
    EXPECT_EQ(model.rowCount(), 0); // nothing shows before the batch is inserted
    EXPECT_EQ(model.appendPendingRows(), 5);
    for (int i = 0; i < 3; ++i)
        list->push_back(makeItem("b" + std::to_string(i)));
    EXPECT_EQ(model.appendPendingRows(), 3);
    EXPECT_EQ(model.appendPendingRows(), 0);
    ASSERT_EQ(inserted.size(), 2);
    EXPECT_EQ(inserted.at(1).at(1).toInt(), 5);
    EXPECT_EQ(inserted.at(1).at(2).toInt(), 7);

    // The manager has taken a1, a2 and b1 out of its list: their rows go, two ranges.
    const SearchItemList gone{(*list)[1], (*list)[2], (*list)[6]};
    std::erase_if(*list,
                  [&](const SearchItemPtr &item) { return std::find(gone.begin(), gone.end(), item) != gone.end(); });
    EXPECT_TRUE(model.removeItems(gone));
    EXPECT_EQ(removed.size(), 2);
    EXPECT_EQ(reset.size(), 0);
    ASSERT_EQ(model.rowCount(), 5);
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(model.itemAt(row), (*list)[static_cast<std::size_t>(row)]);

    // Scattered over very many ranges: one reset instead.
    SearchItemList many;
    for (int i = 0; i < 400; ++i)
        list->push_back(makeItem("c" + std::to_string(i)));
    model.appendPendingRows();
    for (std::size_t i = 5; i < list->size(); i += 2)
        many.push_back((*list)[i]);
    std::erase_if(*list,
                  [&](const SearchItemPtr &item) { return std::find(many.begin(), many.end(), item) != many.end(); });
    EXPECT_FALSE(model.removeItems(many));
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(model.rowCount(), static_cast<int>(list->size()));
}

TEST(SearchResultsTableModel, SortsTheSharedListInPlace)
{
    SearchResultsTableModel model;
    auto list = std::make_shared<SearchItemList>();
    SearchItemPtr big = makeItem("b-big", "/z", 10);
    SearchItemPtr folder = makeItem("folder", "/a", -1, FileAttributes::kTypeFolder);
    SearchItemPtr small = makeItem("a-small", "/m", 5);
    SearchItemPtr big2 = makeItem("B-big-too", "/b", 10);
    big2->setFileHidden(true);
    small->setFileInPackage(true);
    small->setLastUsedDate(QDateTime::fromSecsSinceEpoch(2000, Qt::UTC));
    big->setLastUsedDate(QDateTime::fromSecsSinceEpoch(1000, Qt::UTC));
    *list = {big, folder, small, big2};
    const SearchItemList *object = list.get();
    model.setList(list);

    model.sortList(SearchResultsTableModel::SizeColumn, true);
    EXPECT_EQ(namesOf(*list), (std::vector<std::string>{"a-small", "b-big", "B-big-too", "folder"}));
    model.sortList(SearchResultsTableModel::SizeColumn, false);
    // Equal sizes keep their order, whichever the direction.
    EXPECT_EQ(namesOf(*list), (std::vector<std::string>{"folder", "b-big", "B-big-too", "a-small"}));
    EXPECT_EQ(list.get(), object);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.itemAt(0), folder);

    model.sortList(SearchResultsTableModel::NameColumn, true);
    EXPECT_EQ(namesOf(*list), (std::vector<std::string>{"B-big-too", "a-small", "b-big", "folder"}));
    model.sortList(SearchResultsTableModel::EnclosingFolderColumn, true);
    EXPECT_EQ(namesOf(*list), (std::vector<std::string>{"folder", "B-big-too", "a-small", "b-big"}));
    // Hidden, then package contents, then regular.
    model.sortList(SearchResultsTableModel::TypeColumn, true);
    EXPECT_EQ(namesOf(*list).front(), "B-big-too");
    EXPECT_EQ(namesOf(*list)[1], "a-small");
    // No date first.
    model.sortList(SearchResultsTableModel::DateColumn, true);
    EXPECT_EQ(namesOf(*list), (std::vector<std::string>{"B-big-too", "folder", "b-big", "a-small"}));
}

} // namespace
} // namespace lurkel
