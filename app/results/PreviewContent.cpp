#include "PreviewContent.h"

#include "Localized.h"
#include "VolumeName.h"

#include <QBuffer>
#include <QFileIconProvider>
#include <QImageReader>
#include <QLocale>
#include <QMimeDatabase>
#include <QSet>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {

namespace {

QString text(const char *key, const char *english)
{
    return Localized::string(QStringLiteral("QuickLook"), QString::fromLatin1(key), QString::fromUtf8(english));
}

QDateTime dateFrom(const struct statx_timestamp &stamp)
{
    return QDateTime::fromMSecsSinceEpoch(stamp.tv_sec * 1000 + stamp.tv_nsec / 1000000, Qt::UTC);
}

void takeStat(PreviewFacts &facts, const struct statx &sx)
{
    facts.isDirectory = S_ISDIR(sx.stx_mode);
    facts.isRegular = S_ISREG(sx.stx_mode);
    facts.size = facts.isRegular ? static_cast<std::int64_t>(sx.stx_size) : 0;
    facts.modified = (sx.stx_mask & STATX_MTIME) ? dateFrom(sx.stx_mtime) : QDateTime();
    facts.accessed = (sx.stx_mask & STATX_ATIME) ? dateFrom(sx.stx_atime) : QDateTime();
    facts.created = (sx.stx_mask & STATX_BTIME) ? dateFrom(sx.stx_btime) : QDateTime();
}

constexpr unsigned kStatxMask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME;

// Up to limit bytes from the descriptor; false (errno set) on a read error.
bool readUpTo(int fd, qsizetype limit, QByteArray &out)
{
    out.resize(limit);
    qsizetype filled = 0;
    while (filled < limit) {
        const ssize_t n = ::read(fd, out.data() + filled, static_cast<size_t>(limit - filled));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            out.clear();
            return false;
        }
        if (n == 0) break;
        filled += n;
    }
    out.truncate(filled);
    return true;
}

// Opens a regular file (never a device or a pipe: those are not opened at all, and a
// file swapped for one between the stat and the open is refused). -1 with errno set.
int openRegular(const BytePath &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    const bool statFailed = ::fstat(fd, &st) != 0;
    if (statFailed || !S_ISREG(st.st_mode)) {
        const int saved = statFailed ? errno : EINVAL;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

QString capitalized(QString value)
{
    if (!value.isEmpty()) value[0] = value[0].toUpper();
    return value;
}

QString sizeText(std::int64_t size)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    if (size == 1) return QStringLiteral("1 byte");
    if (size < 1024) return QStringLiteral("%1 bytes").arg(size);
    return QStringLiteral("%1 (%2 bytes)")
        .arg(VolumeName::formatMemoryStringDot1(static_cast<std::uint64_t>(size)), english.toString(qint64(size)));
}

QString dateText(const QDateTime &date)
{
    if (!date.isValid()) return {};
    return QLocale::c().toString(date.toLocalTime(), QStringLiteral("yyyy-MM-dd hh:mm AP"));
}

} // namespace

PreviewFacts PreviewLoader::readFacts(const BytePath &path, qsizetype headLimit)
{
    PreviewFacts facts;
    struct statx sx {};
    if (path.empty() || ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatxMask, &sx) != 0) {
        facts.error = path.empty() ? ENOENT : errno;
        return facts;
    }
    takeStat(facts, sx);
    if (S_ISLNK(sx.stx_mode)) {
        facts.isSymlink = true;
        struct statx target {};
        if (::statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, kStatxMask, &target) == 0) {
            takeStat(facts, target);
        } else {
            facts.brokenLink = true;
        }
    }
    if (!facts.isRegular) return facts;

    const int fd = openRegular(path);
    if (fd < 0) {
        facts.readError = errno;
        return facts;
    }
    QByteArray head;
    if (readUpTo(fd, headLimit + 1, head)) {
        facts.truncated = head.size() > headLimit;
        if (facts.truncated) head.truncate(headLimit);
        facts.head = std::move(head);
    } else {
        facts.readError = errno;
    }
    ::close(fd);
    return facts;
}

QImage PreviewLoader::decodeImage(const BytePath &path, const PreviewFacts &facts, const QSize &maxSize,
                                  QSize *originalSize)
{
    if (!facts.isRegular || facts.readError != 0) return {};
    if (!facts.truncated) return decodeImage(facts.head, maxSize, originalSize);
    if (facts.size > kImageByteLimit) return {};
    const int fd = openRegular(path);
    if (fd < 0) return {};
    QByteArray bytes;
    const bool ok = readUpTo(fd, static_cast<qsizetype>(kImageByteLimit) + 1, bytes);
    ::close(fd);
    if (!ok || bytes.size() > kImageByteLimit) return {};
    return decodeImage(bytes, maxSize, originalSize);
}

QImage PreviewLoader::decodeImage(const QByteArray &bytes, const QSize &maxSize, QSize *originalSize)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);

    // Formats that can decode straight to a smaller size (JPEG, SVG) do; the size asked
    // for is that of the stored picture, before any rotation it carries.
    const QSize stored = reader.size();
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    if (stored.isValid() && maxSize.isValid() && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        const QSize bound = turned ? maxSize.transposed() : maxSize;
        if (stored.width() > bound.width() || stored.height() > bound.height())
            reader.setScaledSize(stored.scaled(bound, Qt::KeepAspectRatio));
    }
    QImage image = reader.read();
    if (image.isNull()) return {};
    if (originalSize) *originalSize = stored.isValid() ? (turned ? stored.transposed() : stored) : image.size();
    if (maxSize.isValid() && (image.width() > maxSize.width() || image.height() > maxSize.height()))
        image = image.scaled(maxSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

QString PreviewLoader::decodeText(const QByteArray &bytes)
{
    // Stateful decoding keeps a character cut at the end of the bytes back instead of
    // showing it as a replacement character.
    if (const auto encoding = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*encoding);
        return decoder.decode(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString result = utf8.decode(bytes);
    if (!utf8.hasError()) return result;
    return QString::fromLatin1(bytes);
}

QMimeType PreviewLoader::mimeType(const QString &displayName, const PreviewFacts &facts)
{
    const QMimeDatabase db;
    if (facts.error != 0) return db.mimeTypeForFile(displayName, QMimeDatabase::MatchExtension);
    if (facts.brokenLink) return db.mimeTypeForName(QStringLiteral("inode/symlink"));
    if (facts.isDirectory) return db.mimeTypeForName(QStringLiteral("inode/directory"));
    if (!facts.isRegular) return db.mimeTypeForName(QStringLiteral("application/octet-stream"));
    if (facts.readError != 0) return db.mimeTypeForFile(displayName, QMimeDatabase::MatchExtension);
    return db.mimeTypeForFileNameAndData(displayName, facts.head);
}

bool PreviewLoader::isTextType(const QMimeType &type, const QByteArray &head)
{
    if (!type.inherits(QStringLiteral("text/plain"))) return false;
    // A NUL byte means a binary file with a misleading name, unless the text is UTF-16 or
    // UTF-32 (announced by a byte-order mark).
    if (head.contains('\0')) {
        const auto encoding = QStringConverter::encodingForData(head);
        return encoding && *encoding != QStringConverter::Utf8;
    }
    return true;
}

bool PreviewLoader::isImageType(const QMimeType &type)
{
    static const QSet<QByteArray> readable = [] {
        const QList<QByteArray> list = QImageReader::supportedMimeTypes();
        return QSet<QByteArray>(list.begin(), list.end());
    }();
    if (readable.contains(type.name().toLatin1())) return true;
    for (const QString &alias : type.aliases()) {
        if (readable.contains(alias.toLatin1())) return true;
    }
    return false;
}

void PreviewLoader::describe(PreviewContent &content, const PreviewFacts &facts, const QMimeType &type)
{
    content.icon = iconFor(type, facts.isDirectory);
    if (facts.error != 0) {
        content.errorText = text("itemUnreadable", "The item cannot be read: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(facts.error)));
        return;
    }
    if (facts.brokenLink) {
        content.kindText = text("brokenLink", "Link to an item that does not exist");
    } else if (facts.isSymlink) {
        content.kindText = text("linkTo", "Link to %1").arg(type.comment());
    } else {
        content.kindText = capitalized(type.comment());
    }
    content.sizeText = facts.isRegular ? sizeText(facts.size) : QStringLiteral("--");
    content.createdText = dateText(facts.created);
    content.modifiedText = dateText(facts.modified);
    content.accessedText = dateText(facts.accessed);
    if (facts.readError != 0) {
        content.errorText = text("fileUnreadable", "The file cannot be opened: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(facts.readError)));
    }
}

QIcon PreviewLoader::iconFor(const QMimeType &type, bool isDirectory)
{
    QIcon icon;
    if (type.isValid()) {
        icon = QIcon::fromTheme(type.iconName());
        if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    }
    if (icon.isNull()) {
        const QFileIconProvider provider;
        icon = provider.icon(isDirectory ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File);
    }
    return icon;
}

} // namespace lurkel
