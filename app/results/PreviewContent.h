#pragma once

#include "BytePath.h"

#include <QByteArray>
#include <QDateTime>
#include <QIcon>
#include <QImage>
#include <QMimeType>
#include <QSize>
#include <QString>

#include <cstdint>

namespace lurkel {

// What the file system says about an item to preview. Read on a worker thread with POSIX
// calls on the path's bytes; a link is followed to what it points to.
struct PreviewFacts {
    int error = 0;            // errno when the entry itself cannot be read
    bool isSymlink = false;   // the entry is a link
    bool brokenLink = false;  // ... that points nowhere reachable
    bool isDirectory = false; // the entry (or the link's target) is a folder
    bool isRegular = false;   // the entry (or the link's target) is a regular file
    std::int64_t size = 0;    // bytes of a regular file
    QDateTime modified;
    QDateTime created; // invalid where the file system keeps no birth time
    QDateTime accessed;
    QByteArray head;        // the first bytes of a regular file (up to the limit asked)
    bool truncated = false; // the file goes on past head
    int readError = 0;      // errno when a regular file could not be opened or read
};

// What the preview window shows for one item.
struct PreviewContent {
    enum class Kind { Loading, Image, Text, Info };

    Kind kind = Kind::Loading;
    QString name; // the item's name for display
    // Image
    QImage image;    // decoded at most at the size asked for
    QSize imageSize; // the picture's own size
    // Text
    QString text;
    bool textTruncated = false;
    // Info (also the details of the other kinds)
    QIcon icon;
    QString kindText;
    QString sizeText;
    QString createdText;
    QString modifiedText;
    QString accessedText;
    QString errorText;
};

class PreviewLoader {
public:
    PreviewLoader() = delete;

    // Text files are shown up to this many bytes.
    static constexpr qsizetype kTextLimit = qsizetype{64} * 1024;
    // Image files larger than this are described, not decoded.
    static constexpr std::int64_t kImageByteLimit = std::int64_t{128} * 1024 * 1024;

    // Any thread: lstat/stat of the path and, for a regular file, its first headLimit bytes.
    // Only regular files are opened (never a device or a pipe).
    static PreviewFacts readFacts(const BytePath &path, qsizetype headLimit = kTextLimit);

    // Any thread: the whole file read through a descriptor (or the head already read when
    // it holds the whole file), decoded with QImageReader over a QBuffer, scaled down to fit
    // maxSize when larger. A null image when the bytes are no picture Qt can read.
    static QImage decodeImage(const BytePath &path, const PreviewFacts &facts, const QSize &maxSize,
                              QSize *originalSize = nullptr);
    static QImage decodeImage(const QByteArray &bytes, const QSize &maxSize, QSize *originalSize = nullptr);

    // Text from the first bytes of a file: by its byte-order mark, else UTF-8, else Latin-1
    // when the bytes are no UTF-8. A character cut at the end of the bytes is left out.
    static QString decodeText(const QByteArray &bytes);

    // Main thread: the type from the name and the first bytes.
    static QMimeType mimeType(const QString &displayName, const PreviewFacts &facts);
    static bool isTextType(const QMimeType &type, const QByteArray &head);
    static bool isImageType(const QMimeType &type);

    // Main thread: the info of an item (icon, kind, size, dates, error) for the facts.
    static void describe(PreviewContent &content, const PreviewFacts &facts, const QMimeType &type);

    // Main thread: the icon the desktop shows for the type, or a generic file or folder icon.
    static QIcon iconFor(const QMimeType &type, bool isDirectory);
};

} // namespace lurkel
