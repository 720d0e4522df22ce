#pragma once

#include "BytePath.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lurkel {

// Result categories, shared by the manager's filterMask and foundItemsMask.
enum SearchCategory : unsigned {
    kSearchCategoryRegular = 1,
    kSearchCategoryHidden = 2,
    kSearchCategoryPackageContents = 4,
    kSearchCategoryAll = 7,
};

// One search result: a file or folder whose name matched. Created and filled on a walker
// thread, then handed to the main thread, which alone changes it afterwards.
//
// The name and the folder are kept as the bytes the kernel gave, so that an item whose
// name is not valid UTF-8 still names the right file; the display strings are derived
// from those bytes and never used as paths.
//
// Items are small: the items found in one folder listing share one FolderBytes (the folder's
// path and their names, one after the other, in one allocation), the type is a code and the
// date an integer. A search makes its items in blocks, one block per walker at a time.
class SearchItem {
public:
    // A counted reference to what the items of one folder listing share: the folder's path,
    // then the items' names. One allocation, never changed, freed with its last reference.
    class FolderBytes {
    public:
        FolderBytes() = default;
        FolderBytes(std::string_view path, std::string_view names);
        FolderBytes(const FolderBytes &other) noexcept;
        FolderBytes(FolderBytes &&other) noexcept : m_block(std::exchange(other.m_block, nullptr)) {}
        FolderBytes &operator=(FolderBytes other) noexcept
        {
            std::swap(m_block, other.m_block);
            return *this;
        }
        ~FolderBytes();
        std::string_view path() const;
        std::string_view names() const;

    private:
        struct Block;
        Block *m_block = nullptr;
    };

    SearchItem() = default;
    // The item named folder.names()[nameOffset, nameOffset + nameLength) in folder.path().
    SearchItem(FolderBytes folder, std::uint32_t nameOffset, std::uint16_t nameLength)
        : m_folder(std::move(folder)), m_nameOffset(nameOffset), m_nameLength(nameLength)
    {}

    bool fileHidden() const { return (m_flags & kHidden) != 0; }
    void setFileHidden(bool value) { setFlag(kHidden, value); }
    bool fileInHiddenFolder() const { return (m_flags & kInHiddenFolder) != 0; }
    void setFileInHiddenFolder(bool value) { setFlag(kInHiddenFolder, value); }
    bool filePackage() const { return (m_flags & kPackage) != 0; }
    void setFilePackage(bool value) { setFlag(kPackage, value); }
    bool fileInPackage() const { return (m_flags & kInPackage) != 0; }
    void setFileInPackage(bool value) { setFlag(kInPackage, value); }

    std::uint64_t itemID() const { return m_itemID; }
    void setItemID(std::uint64_t value) { m_itemID = value; }

    // The name as listed on disk (raw bytes).
    std::string_view fileName() const { return m_folder.names().substr(m_nameOffset, m_nameLength); }
    void setFileName(std::string_view value);
    // The folder that holds the item, as the walker built it (no trailing separator).
    BytePath filePath() const { return BytePath(m_folder.path()); }
    std::string_view filePathBytes() const { return m_folder.path(); }
    void setFilePath(const BytePath &value);
    // The type identifier ("public.folder", "com.apple.package", ...); null when unknown.
    const QString &fileType() const;
    // One of the FileAttributes type identifiers; any other text makes the type unknown.
    void setFileType(const QString &value);
    // Bytes for a file, -1 for a plain folder, 0 for a package until its contents are summed.
    std::int64_t fileSize() const { return m_fileSize; }
    void setFileSize(std::int64_t value) { m_fileSize = value; }
    // Part of the package could not be read: fileSize is what could be summed, a lower bound.
    bool fileSizeIncomplete() const { return (m_flags & kSizeIncomplete) != 0; }
    void setFileSizeIncomplete(bool value) { setFlag(kSizeIncomplete, value); }
    // The modification date (in UTC; toLocalTime() for display); invalid when it could not be read.
    QDateTime lastUsedDate() const;
    void setLastUsedDate(const QDateTime &value);
    // The same in milliseconds since the epoch; kNoDate when it could not be read.
    static constexpr std::int64_t kNoDate = std::numeric_limits<std::int64_t>::min();
    std::int64_t lastUsedMsecs() const { return m_lastUsedMsecs; }
    void setLastUsedMsecs(std::int64_t value) { m_lastUsedMsecs = value; }

    // filePath joined with fileName.
    BytePath fullFileNameWithPath() const { return filePath() / fileName(); }
    // The last component of filePath.
    std::string enclosingFolderName() const { return std::string(filePath().fileName()); }
    std::string_view enclosingFolderForSorting() const { return m_folder.path(); }

    // For display only (invalid UTF-8 shows as U+FFFD).
    QString fileNameForDisplay() const;
    QString fullPathForDisplay() const { return fullFileNameWithPath().displayString(); }
    QString enclosingFolderNameForDisplay() const;

    // Exactly one of the category bits: package contents if fileInPackage, else hidden if
    // fileHidden or fileInHiddenFolder, else regular.
    SearchCategory category() const;
    // The one-letter code of the category: 'p', 'h' or 'r'.
    char categoryCode() const;

    // The type identifier as a code: 0 unknown, then folder, package, symbolic link, data.
    enum TypeCode : std::uint8_t { kTypeUnknown, kTypeFolder, kTypePackage, kTypeSymlink, kTypeData };
    TypeCode typeCode() const { return static_cast<TypeCode>(m_type); }
    void setTypeCode(TypeCode code) { m_type = code; }

private:
    enum Flag : std::uint8_t {
        kHidden = 1,
        kInHiddenFolder = 2,
        kPackage = 4,
        kInPackage = 8,
        kSizeIncomplete = 16,
    };
    void setFlag(Flag flag, bool value)
    {
        m_flags = static_cast<std::uint8_t>(value ? (m_flags | flag) : (m_flags & ~flag));
    }

    FolderBytes m_folder;
    std::int64_t m_fileSize = 0;
    std::int64_t m_lastUsedMsecs = kNoDate;
    std::uint64_t m_itemID = 0;
    std::uint32_t m_nameOffset = 0;
    std::uint16_t m_nameLength = 0;
    std::uint8_t m_flags = 0;
    std::uint8_t m_type = kTypeUnknown;
};

using SearchItemPtr = std::shared_ptr<SearchItem>;
using SearchItemList = std::vector<SearchItemPtr>;

} // namespace lurkel
