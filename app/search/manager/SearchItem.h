#pragma once

#include "BytePath.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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
class SearchItem {
public:
    bool fileHidden() const { return m_fileHidden; }
    void setFileHidden(bool value) { m_fileHidden = value; }
    bool fileInHiddenFolder() const { return m_fileInHiddenFolder; }
    void setFileInHiddenFolder(bool value) { m_fileInHiddenFolder = value; }
    bool filePackage() const { return m_filePackage; }
    void setFilePackage(bool value) { m_filePackage = value; }
    bool fileInPackage() const { return m_fileInPackage; }
    void setFileInPackage(bool value) { m_fileInPackage = value; }

    std::uint64_t itemID() const { return m_itemID; }
    void setItemID(std::uint64_t value) { m_itemID = value; }

    // The name as listed on disk (raw bytes).
    const std::string &fileName() const { return m_fileName; }
    void setFileName(std::string value) { m_fileName = std::move(value); }
    // The folder that holds the item, as the walker built it (no trailing separator).
    const BytePath &filePath() const { return m_filePath; }
    void setFilePath(BytePath value) { m_filePath = std::move(value); }
    // The type identifier ("public.folder", "com.apple.package", ...); null when unknown.
    const QString &fileType() const { return m_fileType; }
    void setFileType(QString value) { m_fileType = std::move(value); }
    // Bytes for a file, -1 for a plain folder, 0 for a package until its contents are summed.
    std::int64_t fileSize() const { return m_fileSize; }
    void setFileSize(std::int64_t value) { m_fileSize = value; }
    // Part of the package could not be read: fileSize is what could be summed, a lower bound.
    bool fileSizeIncomplete() const { return m_fileSizeIncomplete; }
    void setFileSizeIncomplete(bool value) { m_fileSizeIncomplete = value; }
    // The modification date (in UTC; toLocalTime() for display); invalid when it could not be read.
    const QDateTime &lastUsedDate() const { return m_lastUsedDate; }
    void setLastUsedDate(QDateTime value) { m_lastUsedDate = std::move(value); }

    // filePath joined with fileName.
    BytePath fullFileNameWithPath() const { return m_filePath / m_fileName; }
    // The last component of filePath.
    std::string enclosingFolderName() const { return std::string(m_filePath.fileName()); }
    const BytePath &enclosingFolderForSorting() const { return m_filePath; }

    // For display only (invalid UTF-8 shows as U+FFFD).
    QString fileNameForDisplay() const;
    QString fullPathForDisplay() const { return fullFileNameWithPath().displayString(); }
    QString enclosingFolderNameForDisplay() const;

    // Exactly one of the category bits: package contents if fileInPackage, else hidden if
    // fileHidden or fileInHiddenFolder, else regular.
    SearchCategory category() const;
    // The one-letter code of the category: 'p', 'h' or 'r'.
    char categoryCode() const;

private:
    bool m_fileHidden = false;
    bool m_fileInHiddenFolder = false;
    bool m_filePackage = false;
    bool m_fileInPackage = false;
    bool m_fileSizeIncomplete = false;
    std::uint64_t m_itemID = 0;
    std::string m_fileName;
    BytePath m_filePath;
    QString m_fileType;
    std::int64_t m_fileSize = 0;
    QDateTime m_lastUsedDate;
};

using SearchItemPtr = std::shared_ptr<SearchItem>;
using SearchItemList = std::vector<SearchItemPtr>;

} // namespace lurkel
