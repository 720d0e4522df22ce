#pragma once

#include "BytePath.h"

#include <QString>
#include <QUrl>

#include <memory>

namespace lurkel {

// One file the preview window can show: the path as the kernel knows it (bytes) and the
// file URL made from it at creation.
class FileQLItem {
public:
    explicit FileQLItem(BytePath path);

    // The path, copied.
    const BytePath &mfilePath() const { return m_filePath; }
    // A file URL with every byte outside the unreserved set percent-encoded.
    const QUrl &mfileURL() const { return m_fileURL; }

    const QUrl &previewItemURL() const { return m_fileURL; }
    // The name as the file manager shows it: the last component (bytes that are not UTF-8
    // shown as U+FFFD).
    QString previewItemTitle() const;

private:
    BytePath m_filePath;
    QUrl m_fileURL;
};

using FileQLItemPtr = std::shared_ptr<const FileQLItem>;

} // namespace lurkel
