#include "FileQLItem.h"

namespace lurkel {

FileQLItem::FileQLItem(BytePath path)
    : m_filePath(std::move(path)), m_fileURL(QUrl::fromEncoded(m_filePath.toFileUri(), QUrl::StrictMode))
{}

QString FileQLItem::previewItemTitle() const
{
    return BytePath(m_filePath.fileName()).displayString();
}

} // namespace lurkel
