#pragma once

#include "BytePath.h"
#include "SearchItem.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace lurkel {

// The results table over the search manager's filtered list (the very list object the
// manager fills). No widget per row: the view asks for the rows it draws.
//
// Append-only while a search runs: the rows shown are a prefix of the list, and items the
// manager appends appear only when appendPendingRows() inserts them, all in one step (one
// beginInsertRows per batch). reload() shows the whole list again after it was refilled
// or reordered; removeItems() drops the rows of items that left the list.
class SearchResultsTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column : int {
        NameColumn = 0,
        EnclosingFolderColumn = 1,
        SizeColumn = 2,
        DateColumn = 3,
        TypeColumn = 4,
        ColumnCount = 5,
    };
    enum Role : int {
        ItemRole = Qt::UserRole + 1, // the SearchItem (a SearchItemPtr)
        HiddenTrashedPackagedRole,   // bool: the row is drawn dimmed
        CategoryCodeRole,            // QChar 'h', 'p' or 'r'
    };

    // The column identifiers ("NameCell", "EnclosingFolder", "SizeCell", "DateCell",
    // "TypeCell") and their sort keys ("KEY_nameSort", ...).
    static QString columnIdentifier(int column);
    static QString sortKey(int column);
    static std::optional<int> columnForIdentifier(const QString &identifier);

    explicit SearchResultsTableModel(QObject *parent = nullptr);

    // The list to show (empty rows until appendPendingRows() or reload()).
    void setList(std::shared_ptr<SearchItemList> list);
    const std::shared_ptr<SearchItemList> &list() const { return m_list; }

    // Rows shown now.
    int rowsAdded() const { return static_cast<int>(m_rows.size()); }
    // Inserts the items appended to the list since the rows were last brought up to date.
    // Returns how many rows were inserted.
    int appendPendingRows();
    // Shows the whole list again, in its current order.
    void reload();
    // Drops the rows of the given items (those that have left the list). Returns true when
    // the rows were removed one range at a time, false when the table was reset instead
    // (for very scattered removals, where a reset is cheaper).
    bool removeItems(const SearchItemList &removed);

    // Sorts the list itself in place with the column's comparison and reloads:
    //   name and folder: plain byte comparison of fileName / filePath;
    //   size: fileSize as an unsigned 64-bit number (folders, -1, after all files);
    //   date: lastUsedDate (items without one first);
    //   type: the category letter ('h' < 'p' < 'r').
    // Items with equal keys keep their order.
    void sortList(int column, bool ascending);

    SearchItemPtr itemAt(int row) const;
    // Rows whose item has one of the IDs, ascending.
    std::vector<int> rowsOfItemIDs(const std::unordered_set<std::uint64_t> &ids) const;

    // Labels of rows that belong together (a review's duplicate sets), by item ID: the
    // folder column shows the label before the folder. Empty: none.
    using GroupLabels = std::function<QString(std::uint64_t itemID)>;
    void setGroupLabels(GroupLabels labels) { m_groupLabels = std::move(labels); }

    // The Trash folder: rows of items in it are dimmed.
    void setTrashFolder(BytePath folder) { m_trashFolder = std::move(folder); }
    const BytePath &trashFolder() const { return m_trashFolder; }
    // Hidden, inside a hidden folder, inside a package, or inside the Trash.
    bool isHiddenTrashedPackaged(const SearchItem &item) const;

    // The cell texts.
    static QString nameText(const SearchItem &item);    // "noname" when empty
    static QString folderText(const SearchItem &item);  // "Unknown" when empty
    static QString sizeText(const SearchItem &item);    // "--" for a plain folder
    static QString dateText(const SearchItem &item);    // "yyyy-MM-dd hh:mm AP" local, "Unknown"
    static QString nameToolTip(const SearchItem &item); // the folder, a leading "//" as "/"
    // The type column's picture: "icon_box", "icon_files" or "icon_hidden_files", with
    // "_w" on a selected row.
    static QString typeImageName(const SearchItem &item, bool selected);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QIcon iconFor(const SearchItem &item) const;

    std::shared_ptr<SearchItemList> m_list = std::make_shared<SearchItemList>();
    // The rows shown: always the first m_rows.size() items of *m_list.
    SearchItemList m_rows;
    BytePath m_trashFolder;
    GroupLabels m_groupLabels;
    mutable QHash<QString, QIcon> m_iconCache;
};

} // namespace lurkel
