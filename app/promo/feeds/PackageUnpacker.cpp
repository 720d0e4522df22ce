#include "PackageUnpacker.h"

#include "PosixFile.h"

#include <archive.h>
#include <archive_entry.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

namespace lurkel {
namespace {

constexpr int kMaxDepth = 64;

struct ArchiveFree {
    void operator()(archive *a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

Error refused(const QString &why)
{
    return Error::app(QStringLiteral("The package was refused: %1").arg(why));
}

QString nameForMessage(const char *name)
{
    return QString::fromUtf8(name).toHtmlEscaped();
}

// The components of an entry name that stays inside the folder ("." and empty ones dropped),
// or nothing when it would not.
std::optional<std::vector<std::string>> safeComponents(std::string_view name)
{
    if (name.empty() || name.front() == '/') return std::nullopt;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part == "..") return std::nullopt;
        if (part.size() > NAME_MAX) return std::nullopt;
        if (!part.empty() && part != ".") parts.emplace_back(part);
        start = end + 1;
    }
    return parts;
}

// Opens the sub-folder name of parentFd, creating it (0755) when it is not there. A file or a
// link in the way fails.
UniqueFd openFolder(int parentFd, const std::string &name, int &error)
{
    if (::mkdirat(parentFd, name.c_str(), 0755) != 0 && errno != EEXIST) {
        error = errno;
        return {};
    }
    UniqueFd fd(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        error = errno;
        return {};
    }
    if (::fchmod(fd.get(), 0755) != 0) {
        error = errno;
        return {};
    }
    return fd;
}

} // namespace

std::optional<Error> PackageUnpacker::unpack(const QByteArray &bytes, int folderFd, const Limits &limits)
{
    ArchivePtr reader(archive_read_new());
    if (!reader) return Error::app(QStringLiteral("The package reader could not be created."));
    // Zip through its central directory, so that a cut-off archive is refused rather than read in part.
    archive_read_support_format_zip_seekable(reader.get());
    archive_read_support_format_tar(reader.get());
    archive_read_support_filter_gzip(reader.get());
    if (archive_read_open_memory(reader.get(), bytes.constData(), static_cast<std::size_t>(bytes.size())) !=
        ARCHIVE_OK) {
        return refused(QStringLiteral("not a readable zip or tar archive (%1)")
                           .arg(QString::fromUtf8(archive_error_string(reader.get()))));
    }

    int entries = 0;
    std::int64_t total = 0;
    std::array<char, 65536> buffer{};
    for (;;) {
        archive_entry *entry = nullptr;
        const int header = archive_read_next_header(reader.get(), &entry);
        if (header == ARCHIVE_EOF) break;
        if (header < ARCHIVE_WARN)
            return refused(QStringLiteral("damaged (%1)").arg(QString::fromUtf8(archive_error_string(reader.get()))));
        if (++entries > limits.maxEntries)
            return refused(QStringLiteral("more than %1 entries").arg(limits.maxEntries));

        const char *name = archive_entry_pathname(entry);
        if (name == nullptr) return refused(QStringLiteral("an entry without a name"));
        const std::optional<std::vector<std::string>> parts = safeComponents(name);
        if (!parts)
            return refused(QStringLiteral("the entry \"%1\" lies outside the package").arg(nameForMessage(name)));
        if (archive_entry_hardlink(entry) != nullptr || archive_entry_symlink(entry) != nullptr)
            return refused(QStringLiteral("the entry \"%1\" is a link").arg(nameForMessage(name)));
        const unsigned type = archive_entry_filetype(entry);
        if (type != AE_IFDIR && type != AE_IFREG)
            return refused(QStringLiteral("the entry \"%1\" is not a file or folder").arg(nameForMessage(name)));
        if (parts->empty()) {
            if (type == AE_IFDIR) continue; // "./"
            return refused(QStringLiteral("a file without a name"));
        }
        if (parts->size() > kMaxDepth) return refused(QStringLiteral("folders nested too deep"));
        if (archive_entry_size_is_set(entry) != 0 && archive_entry_size(entry) > limits.maxTotalBytes - total)
            return refused(QStringLiteral("larger than %1 bytes unpacked").arg(limits.maxTotalBytes));

        // The folders above the entry (and the entry itself when it is a folder).
        const std::size_t folders = type == AE_IFDIR ? parts->size() : parts->size() - 1;
        UniqueFd current;
        int parent = folderFd;
        for (std::size_t i = 0; i < folders; ++i) {
            int error = 0;
            UniqueFd next = openFolder(parent, (*parts)[i], error);
            if (!next.valid()) return Error::posix(error, QStringLiteral("unpack %1").arg(nameForMessage(name)));
            current = std::move(next);
            parent = current.get();
        }
        if (type == AE_IFDIR) continue;

        UniqueFd file(
            ::openat(parent, parts->back().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!file.valid()) return Error::posix(errno, QStringLiteral("unpack %1").arg(nameForMessage(name)));
        if (::fchmod(file.get(), 0644) != 0)
            return Error::posix(errno, QStringLiteral("unpack %1").arg(nameForMessage(name)));
        for (;;) {
            const la_ssize_t n = archive_read_data(reader.get(), buffer.data(), buffer.size());
            if (n == 0) break;
            if (n < 0)
                return refused(
                    QStringLiteral("damaged (%1)").arg(QString::fromUtf8(archive_error_string(reader.get()))));
            total += n;
            if (total > limits.maxTotalBytes)
                return refused(QStringLiteral("larger than %1 bytes unpacked").arg(limits.maxTotalBytes));
            if (const int error = writeAll(file.get(), std::string_view(buffer.data(), static_cast<std::size_t>(n))))
                return Error::posix(error, QStringLiteral("unpack %1").arg(nameForMessage(name)));
        }
        if (const int error = file.close())
            return Error::posix(error, QStringLiteral("unpack %1").arg(nameForMessage(name)));
    }
    return std::nullopt;
}

int PackageUnpacker::removeTree(int dirFd, const char *name)
{
    struct Remover {
        static int remove(int parent, const char *entry, int depth)
        {
            UniqueFd folder(::openat(parent, entry, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!folder.valid()) {
                if (errno != ENOTDIR && errno != ELOOP) return errno;
                return ::unlinkat(parent, entry, 0) == 0 ? 0 : errno;
            }
            if (depth > kMaxDepth) return ELOOP;
            const int listFd = ::dup(folder.get());
            if (listFd < 0) return errno;
            DIR *listing = ::fdopendir(listFd);
            if (listing == nullptr) {
                const int error = errno;
                ::close(listFd);
                return error;
            }
            std::vector<std::string> names;
            while (const dirent *item = ::readdir(listing)) {
                const std::string_view itemName(item->d_name);
                if (itemName != "." && itemName != "..") names.emplace_back(itemName);
            }
            ::closedir(listing);
            int first = 0;
            for (const std::string &child : names) {
                const int error = remove(folder.get(), child.c_str(), depth + 1);
                if (first == 0) first = error;
            }
            if (first != 0) return first;
            return ::unlinkat(parent, entry, AT_REMOVEDIR) == 0 ? 0 : errno;
        }
    };
    return Remover::remove(dirFd, name, 0);
}

} // namespace lurkel
