#include "SearchResultsTableModel.h"

#include "FileAttributes.h"
#include "NamedColors.h"
#include "VolumeName.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QLocale>
#include <QMimeDatabase>

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

namespace lurkel {
namespace {

struct ColumnInfo {
    const char *identifier;
    const char *sortKey;
    const char *title;
};

constexpr std::array<ColumnInfo, SearchResultsTableModel::ColumnCount> kColumns{{
    {"NameCell", "KEY_nameSort", "Name"},
    {"EnclosingFolder", "KEY_encFolderSort", "Folder"},
    {"SizeCell", "KEY_sizeSort", "Size"},
    {"DateCell", "KEY_dateSort", "Date Modified"},
    {"TypeCell", "KEY_typeSort", "Type"},
}};

// More separate ranges than this are removed with a reset: each range removal moves the
// rows after it, so many scattered ranges would cost more than drawing the table anew.
constexpr std::size_t kMaxRemovalRanges = 64;

template <typename Key, typename KeyOf> void sortByKeys(SearchItemList &list, bool ascending, KeyOf keyOf)
{
    struct Entry {
        Key key;
        std::uint32_t index;
    };
    std::vector<Entry> entries;
    entries.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        entries.push_back({keyOf(*list[i]), static_cast<std::uint32_t>(i)});
    if (ascending) {
        std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.key < b.key; });
    } else {
        std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return b.key < a.key; });
    }
    SearchItemList sorted;
    sorted.reserve(list.size());
    for (const Entry &entry : entries)
        sorted.push_back(std::move(list[entry.index]));
    // The list object stays the same: the manager and the window share it.
    list.swap(sorted);
}

std::int64_t dateKey(const SearchItem &item)
{
    return item.lastUsedMsecs(); // SearchItem::kNoDate, the lowest, when unknown
}

} // namespace

QString SearchResultsTableModel::columnIdentifier(int column)
{
    if (column < 0 || column >= ColumnCount) return {};
    return QLatin1String(kColumns[static_cast<std::size_t>(column)].identifier);
}

QString SearchResultsTableModel::sortKey(int column)
{
    if (column < 0 || column >= ColumnCount) return {};
    return QLatin1String(kColumns[static_cast<std::size_t>(column)].sortKey);
}

std::optional<int> SearchResultsTableModel::columnForIdentifier(const QString &identifier)
{
    for (int column = 0; column < ColumnCount; ++column) {
        if (identifier == QLatin1String(kColumns[static_cast<std::size_t>(column)].identifier)) return column;
    }
    return std::nullopt;
}

SearchResultsTableModel::SearchResultsTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void SearchResultsTableModel::setList(std::shared_ptr<SearchItemList> list)
{
    beginResetModel();
    m_list = list ? std::move(list) : std::make_shared<SearchItemList>();
    m_rows.clear();
    endResetModel();
}

int SearchResultsTableModel::appendPendingRows()
{
    const std::size_t shown = m_rows.size();
    const std::size_t total = m_list->size();
    if (total < shown) {
        // Someone shortened the list without telling: show it as it is.
        reload();
        return 0;
    }
    if (total == shown) return 0;
    beginInsertRows({}, static_cast<int>(shown), static_cast<int>(total - 1));
    m_rows.insert(m_rows.end(), m_list->begin() + static_cast<std::ptrdiff_t>(shown), m_list->end());
    endInsertRows();
    return static_cast<int>(total - shown);
}

void SearchResultsTableModel::reload()
{
    beginResetModel();
    m_rows = *m_list;
    endResetModel();
}

bool SearchResultsTableModel::removeItems(const SearchItemList &removed)
{
    if (removed.empty() || m_rows.empty()) return true;
    std::unordered_set<const SearchItem *> gone;
    gone.reserve(removed.size());
    for (const SearchItemPtr &item : removed)
        gone.insert(item.get());

    // Contiguous ranges of rows to drop, in ascending order.
    std::vector<std::pair<int, int>> ranges;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (gone.count(m_rows[row].get()) == 0) continue;
        const int r = static_cast<int>(row);
        if (!ranges.empty() && ranges.back().second == r - 1) {
            ranges.back().second = r;
        } else {
            ranges.emplace_back(r, r);
        }
    }
    if (ranges.empty()) return true;
    if (ranges.size() > kMaxRemovalRanges) {
        beginResetModel();
        std::erase_if(m_rows, [&gone](const SearchItemPtr &item) { return gone.count(item.get()) != 0; });
        endResetModel();
        return false;
    }
    for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
        beginRemoveRows({}, it->first, it->second);
        m_rows.erase(m_rows.begin() + it->first, m_rows.begin() + it->second + 1);
        endRemoveRows();
    }
    return true;
}

void SearchResultsTableModel::sortList(int column, bool ascending)
{
    SearchItemList &list = *m_list;
    switch (column) {
    case NameColumn:
        sortByKeys<std::string_view>(list, ascending,
                                     [](const SearchItem &item) { return std::string_view(item.fileName()); });
        break;
    case EnclosingFolderColumn:
        // By the folder's name as the column shows it; folders of the same name by their path.
        sortByKeys<std::pair<std::string_view, std::string_view>>(list, ascending, [](const SearchItem &item) {
            const std::string_view folder = item.enclosingFolderForSorting();
            const std::size_t slash = folder.size() > 1 ? folder.rfind('/') : std::string_view::npos;
            const std::string_view name = slash == std::string_view::npos ? folder : folder.substr(slash + 1);
            return std::pair{name, folder};
        });
        break;
    case SizeColumn:
        sortByKeys<std::uint64_t>(list, ascending,
                                  [](const SearchItem &item) { return static_cast<std::uint64_t>(item.fileSize()); });
        break;
    case DateColumn:
        sortByKeys<std::int64_t>(list, ascending, dateKey);
        break;
    case TypeColumn:
        sortByKeys<char>(list, ascending, [](const SearchItem &item) { return item.categoryCode(); });
        break;
    default:
        return;
    }
    reload();
}

SearchItemPtr SearchResultsTableModel::itemAt(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return nullptr;
    return m_rows[static_cast<std::size_t>(row)];
}

std::vector<int> SearchResultsTableModel::rowsOfItemIDs(const std::unordered_set<std::uint64_t> &ids) const
{
    std::vector<int> rows;
    if (ids.empty()) return rows;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (ids.count(m_rows[row]->itemID()) != 0) rows.push_back(static_cast<int>(row));
    }
    return rows;
}

bool SearchResultsTableModel::isHiddenTrashedPackaged(const SearchItem &item) const
{
    if (item.fileHidden() || item.fileInHiddenFolder() || item.fileInPackage()) return true;
    if (m_trashFolder.empty()) return false;
    return item.fullFileNameWithPath().bytes().find(m_trashFolder.bytes()) != std::string::npos;
}

QString SearchResultsTableModel::nameText(const SearchItem &item)
{
    if (item.fileName().empty()) return QStringLiteral("noname");
    return item.fileNameForDisplay();
}

QString SearchResultsTableModel::folderText(const SearchItem &item)
{
    const QString name = item.enclosingFolderNameForDisplay();
    return name.isEmpty() ? QStringLiteral("Unknown") : name;
}

QString SearchResultsTableModel::sizeText(const SearchItem &item)
{
    // A folder has no size of its own, unless one was summed for it (a review's).
    if (item.fileSize() < 0)
        return item.fileType() == QLatin1String(FileAttributes::kTypeFolder) ? QStringLiteral("--")
                                                                             : QStringLiteral("Unknown");
    return VolumeName::convertToStringFromFileSize(static_cast<std::uint64_t>(item.fileSize()));
}

QString SearchResultsTableModel::dateText(const SearchItem &item)
{
    const QDateTime &date = item.lastUsedDate();
    if (!date.isValid()) return QStringLiteral("Unknown");
    // In the user's own form (the locale of the session: order, separators, 12 or 24 hours).
    return QLocale().toString(date.toLocalTime(), QLocale::ShortFormat);
}

QString SearchResultsTableModel::nameToolTip(const SearchItem &item)
{
    QString folder = item.filePath().displayString();
    if (folder.startsWith(QLatin1String("//"))) folder.remove(0, 1);
    return folder;
}

QString SearchResultsTableModel::typeImageName(const SearchItem &item, bool selected)
{
    QString name;
    switch (item.categoryCode()) {
    case 'p':
        name = QStringLiteral("icon_box");
        break;
    case 'h':
        name = QStringLiteral("icon_hidden_files");
        break;
    default:
        name = QStringLiteral("icon_files");
        break;
    }
    if (selected) name += QLatin1String("_w");
    return name;
}

int SearchResultsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int SearchResultsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SearchResultsTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= m_rows.size()) return {};
    const SearchItemPtr &item = m_rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case NameColumn:
            return nameText(*item);
        case EnclosingFolderColumn:
            if (m_groupLabels) {
                const QString label = m_groupLabels(item->itemID());
                if (!label.isEmpty()) return label + QStringLiteral(" \u00b7 ") + folderText(*item);
            }
            return folderText(*item);
        case SizeColumn:
            return sizeText(*item);
        case DateColumn:
            return dateText(*item);
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (column == NameColumn) return iconFor(*item);
        return {};
    case Qt::ToolTipRole:
        if (column == NameColumn) return nameToolTip(*item);
        if (column == EnclosingFolderColumn) return item->filePath().displayString();
        return {};
    case Qt::ForegroundRole:
        return NamedColors::color(isHiddenTrashedPackaged(*item) ? NamedColor::RowTextDimmed : NamedColor::RowText);
    case Qt::TextAlignmentRole:
        if (column == SizeColumn) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case ItemRole:
        return QVariant::fromValue(item);
    case HiddenTrashedPackagedRole:
        return isHiddenTrashedPackaged(*item);
    case CategoryCodeRole:
        return QChar::fromLatin1(item->categoryCode());
    default:
        return {};
    }
}

QVariant SearchResultsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
    if (role == Qt::DisplayRole) return QLatin1String(kColumns[static_cast<std::size_t>(section)].title);
    if (role == Qt::TextAlignmentRole && section == SizeColumn) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags SearchResultsTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QIcon SearchResultsTableModel::iconFor(const SearchItem &item) const
{
    // By kind and name only: the file is not read, and one icon serves every row of a type.
    const QString &type = item.fileType();
    QString key;
    if (type == QLatin1String(FileAttributes::kTypeFolder)) {
        key = QStringLiteral("t:folder");
    } else if (type == QLatin1String(FileAttributes::kTypePackage)) {
        key = QStringLiteral("t:package");
    } else if (type == QLatin1String(FileAttributes::kTypeSymlink)) {
        key = QStringLiteral("t:symlink");
    } else {
        const std::string_view extension = BytePath(std::string_view(item.fileName())).extension();
        key = extension.empty()
                  ? QStringLiteral("n:") + item.fileNameForDisplay()
                  : QStringLiteral("e:") +
                        QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size())).toLower();
    }
    const auto cached = m_iconCache.constFind(key);
    if (cached != m_iconCache.constEnd()) return *cached;

    QStringList themeNames;
    QAbstractFileIconProvider::IconType fallback = QAbstractFileIconProvider::File;
    if (key == QLatin1String("t:folder")) {
        themeNames = {QStringLiteral("folder")};
        fallback = QAbstractFileIconProvider::Folder;
    } else if (key == QLatin1String("t:package")) {
        themeNames = {QStringLiteral("package-x-generic"), QStringLiteral("folder")};
        fallback = QAbstractFileIconProvider::Folder;
    } else if (key == QLatin1String("t:symlink")) {
        themeNames = {QStringLiteral("inode-symlink"), QStringLiteral("emblem-symbolic-link")};
    } else {
        // The MIME type by name (glob patterns only), looked up for the rows drawn.
        static QMimeDatabase database;
        const QList<QMimeType> types = database.mimeTypesForFileName(item.fileNameForDisplay());
        if (!types.isEmpty()) themeNames = {types.first().iconName(), types.first().genericIconName()};
        themeNames << QStringLiteral("text-x-generic");
    }
    QIcon icon;
    for (const QString &name : std::as_const(themeNames)) {
        if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
            icon = QIcon::fromTheme(name);
            break;
        }
    }
    if (icon.isNull()) {
        static QFileIconProvider provider;
        icon = provider.icon(fallback);
    }
    // Names without an extension are keyed one by one: keep the table from growing forever.
    if (m_iconCache.size() >= 4096) m_iconCache.clear();
    m_iconCache.insert(key, icon);
    return icon;
}

} // namespace lurkel
