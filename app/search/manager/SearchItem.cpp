#include "SearchItem.h"

#include "FileAttributes.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

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

struct SearchItem::FolderBytes::Block {
    std::atomic<std::uint32_t> references{1};
    std::uint32_t pathLength = 0;
    std::uint32_t namesLength = 0;
    // the bytes follow the block
    const char *bytes() const { return reinterpret_cast<const char *>(this + 1); }
    char *bytes() { return reinterpret_cast<char *>(this + 1); }
};

SearchItem::FolderBytes::FolderBytes(std::string_view path, std::string_view names)
{
    void *memory = ::operator new(sizeof(Block) + path.size() + names.size());
    m_block = new (memory) Block;
    m_block->pathLength = static_cast<std::uint32_t>(path.size());
    m_block->namesLength = static_cast<std::uint32_t>(names.size());
    if (!path.empty()) std::memcpy(m_block->bytes(), path.data(), path.size());
    if (!names.empty()) std::memcpy(m_block->bytes() + path.size(), names.data(), names.size());
}

SearchItem::FolderBytes::FolderBytes(const FolderBytes &other) noexcept : m_block(other.m_block)
{
    if (m_block != nullptr) m_block->references.fetch_add(1, std::memory_order_relaxed);
}

SearchItem::FolderBytes::~FolderBytes()
{
    if (m_block != nullptr && m_block->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        m_block->~Block();
        ::operator delete(m_block);
    }
}

std::string_view SearchItem::FolderBytes::path() const
{
    return m_block != nullptr ? std::string_view(m_block->bytes(), m_block->pathLength) : std::string_view();
}

std::string_view SearchItem::FolderBytes::names() const
{
    return m_block != nullptr ? std::string_view(m_block->bytes() + m_block->pathLength, m_block->namesLength)
                              : std::string_view();
}

void SearchItem::setFileName(std::string_view value)
{
    m_folder = FolderBytes(m_folder.path(), value);
    m_nameOffset = 0;
    m_nameLength = static_cast<std::uint16_t>(std::min<std::size_t>(value.size(), UINT16_MAX));
}

void SearchItem::setFilePath(const BytePath &value)
{
    m_folder = FolderBytes(value.bytes(), fileName());
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
    const BytePath folder = filePath();
    const std::string_view name = folder.fileName();
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
