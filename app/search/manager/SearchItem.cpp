#include "SearchItem.h"

#include "FileAttributes.h"

#include <algorithm>
#include <cstdint>

namespace lurkel {

namespace {

const QString &typeText(SearchItem::TypeCode code)
{
    static const QString unknown;
    static const QString texts[] = {
        unknown, QString::fromLatin1(FileAttributes::kTypeFolder), QString::fromLatin1(FileAttributes::kTypePackage),
        QString::fromLatin1(FileAttributes::kTypeSymlink), QString::fromLatin1(FileAttributes::kTypeData)};
    return code <= SearchItem::kTypeData ? texts[code] : unknown;
}

} // namespace

void SearchItem::setFileName(std::string_view value)
{
    auto folder = std::make_shared<Folder>();
    folder->path = filePath();
    folder->names.assign(value);
    m_folder = std::move(folder);
    m_nameOffset = 0;
    m_nameLength = static_cast<std::uint16_t>(std::min<std::size_t>(value.size(), UINT16_MAX));
}

const BytePath &SearchItem::filePath() const
{
    static const BytePath none;
    return m_folder ? m_folder->path : none;
}

void SearchItem::setFilePath(BytePath value)
{
    auto folder = std::make_shared<Folder>();
    folder->path = std::move(value);
    folder->names.assign(fileName());
    m_folder = std::move(folder);
    m_nameOffset = 0;
}

const QString &SearchItem::fileType() const
{
    return typeText(typeCode());
}

void SearchItem::setFileType(const QString &value)
{
    m_type = kTypeUnknown;
    for (const TypeCode code : {kTypeFolder, kTypePackage, kTypeSymlink, kTypeData})
        if (value == typeText(code)) m_type = code;
}

QDateTime SearchItem::lastUsedDate() const
{
    if (m_lastUsedMsecs == kNoDate) return {};
    return QDateTime::fromMSecsSinceEpoch(m_lastUsedMsecs, Qt::UTC);
}

void SearchItem::setLastUsedDate(const QDateTime &value)
{
    m_lastUsedMsecs = value.isValid() ? value.toMSecsSinceEpoch() : kNoDate;
}

QString SearchItem::fileNameForDisplay() const
{
    const std::string_view name = fileName();
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QString SearchItem::enclosingFolderNameForDisplay() const
{
    const std::string_view name = filePath().fileName();
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

SearchCategory SearchItem::category() const
{
    if (fileInPackage()) return kSearchCategoryPackageContents;
    if (fileHidden() || fileInHiddenFolder()) return kSearchCategoryHidden;
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
