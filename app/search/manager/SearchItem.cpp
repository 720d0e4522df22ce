#include "SearchItem.h"

namespace lurkel {

QString SearchItem::fileNameForDisplay() const
{
    return QString::fromUtf8(m_fileName.data(), static_cast<qsizetype>(m_fileName.size()));
}

QString SearchItem::enclosingFolderNameForDisplay() const
{
    const std::string_view name = m_filePath.fileName();
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

SearchCategory SearchItem::category() const
{
    if (m_fileInPackage) return kSearchCategoryPackageContents;
    if (m_fileHidden || m_fileInHiddenFolder) return kSearchCategoryHidden;
    return kSearchCategoryRegular;
}

char SearchItem::categoryCode() const
{
    switch (category()) {
    case kSearchCategoryPackageContents:
        return 'p';
    case kSearchCategoryHidden:
        return 'h';
    default:
        return 'r';
    }
}

} // namespace lurkel
