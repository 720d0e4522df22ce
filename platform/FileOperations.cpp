#include "FileOperations.h"

#include "FileAttributes.h"
#include "PosixFile.h"

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace lurkel {

namespace {

constexpr int kMaxNameAttempts = 10000;
constexpr std::size_t kBlock = 1 << 20;
constexpr std::size_t kLongestExtension = 16;
// Compression suffixes that belong together with a ".tar" before them.
constexpr std::string_view kTarCompressions[] = {"gz", "bz2", "xz", "zst", "lz", "lzma", "lz4", "z", "br"};

QString shown(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString quoted(std::string_view bytes)
{
    return QLatin1Char('"') + shown(bytes) + QLatin1Char('"');
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The first maxBytes bytes of text, not cutting a UTF-8 sequence in two when text is UTF-8.
std::string_view fitBytes(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes) return text;
    std::size_t cut = maxBytes;
    if (isValidUtf8(text)) {
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
    }
    return text.substr(0, cut);
}

struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    friend bool operator==(const FileId &, const FileId &) = default;
};

struct FileIdHash {
    std::size_t operator()(const FileId &id) const noexcept
    {
        return std::hash<std::uint64_t>{}(static_cast<std::uint64_t>(id.ino) * 1000003u ^
                                          static_cast<std::uint64_t>(id.dev));
    }
};

FileId idOf(const struct stat &st)
{
    return FileId{st.st_dev, st.st_ino};
}

// What tells a changed entry from an unchanged one.
struct Signature {
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
    friend bool operator==(const Signature &a, const Signature &b)
    {
        return a.size == b.size && a.mtime.tv_sec == b.mtime.tv_sec && a.mtime.tv_nsec == b.mtime.tv_nsec &&
               a.ctime.tv_sec == b.ctime.tv_sec && a.ctime.tv_nsec == b.ctime.tv_nsec;
    }
};

Signature signatureOf(const struct stat &st)
{
    return Signature{st.st_size, st.st_mtim, st.st_ctim};
}

int openDirectoryAt(int dirFd, const char *name)
{
    int fd;
    do {
        fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The names in an open directory (without "." and ".."), sorted; errno on failure.
int listNames(int dirFd, std::vector<std::string> &names)
{
    names.clear();
    const int copy = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return errno;
    DIR *dir = ::fdopendir(copy);
    if (dir == nullptr) {
        const int err = errno;
        ::close(copy);
        return err;
    }
    ::rewinddir(dir);
    int err = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (entry == nullptr) {
            err = errno;
            break;
        }
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        names.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return err;
}

std::string joinRelative(const std::string &folder, const std::string &name)
{
    return folder.empty() ? name : folder + "/" + name;
}

// An error about an entry inside the item ("what" alone for the item itself). errnum 0 makes
// an error of the application's own domain.
Error entryError(int errnum, const QString &what, const std::string &relative)
{
    const QString text = relative.empty() ? what : what + QStringLiteral(" (at ") + quoted(relative) + QLatin1Char(')');
    return errnum == 0 ? Error::app(text) : Error::posix(errnum, text);
}

// True when the folder open at folderFd is target or lies somewhere inside it (walks up
// through "..", across mounts, to "/").
bool folderIsAtOrBelow(int folderFd, FileId target)
{
    struct stat st {};
    if (::fstat(folderFd, &st) != 0) return false;
    UniqueFd current(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
    for (int depth = 0; current.valid() && depth < 8192; ++depth) {
        if (idOf(st) == target) return true;
        UniqueFd up(::openat(current.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat upSt {};
        if (!up.valid() || ::fstat(up.get(), &upSt) != 0) return false;
        if (idOf(upSt) == idOf(st)) return false; // reached "/"
        current = std::move(up);
        st = upSt;
    }
    return false;
}

bool isUnsupported(int errnum)
{
    return errnum == EOPNOTSUPP || errnum == ENOTSUP;
}

// The extended attributes a move carries: the user's own and the POSIX access control lists.
bool travelsWithMove(std::string_view name)
{
    return name.starts_with("user.") || name == "system.posix_acl_access" || name == "system.posix_acl_default";
}

// Extended attributes of one entry, through its descriptor, or for a symbolic link (which
// cannot be opened) through /proc/self/fd/<folder>/<name> without following it.
class AttributeAccess {
public:
    explicit AttributeAccess(int fd) : m_fd(fd) {}
    AttributeAccess(int dirFd, const std::string &name) : m_path("/proc/self/fd/" + std::to_string(dirFd) + "/" + name)
    {}

    // The names, NUL-separated; errno on failure (EOPNOTSUPP: the file system keeps none).
    int list(std::string &names) const
    {
        for (;;) {
            const ssize_t size =
                m_path.empty() ? ::flistxattr(m_fd, nullptr, 0) : ::llistxattr(m_path.c_str(), nullptr, 0);
            if (size < 0) return errno;
            names.resize(static_cast<std::size_t>(size));
            const ssize_t n = m_path.empty() ? ::flistxattr(m_fd, names.data(), names.size())
                                             : ::llistxattr(m_path.c_str(), names.data(), names.size());
            if (n >= 0) {
                names.resize(static_cast<std::size_t>(n));
                return 0;
            }
            if (errno != ERANGE) return errno; // ERANGE: one was added meanwhile
        }
    }

    int get(const char *name, std::string &value) const
    {
        for (;;) {
            const ssize_t size =
                m_path.empty() ? ::fgetxattr(m_fd, name, nullptr, 0) : ::lgetxattr(m_path.c_str(), name, nullptr, 0);
            if (size < 0) return errno;
            value.resize(static_cast<std::size_t>(size));
            const ssize_t n = m_path.empty() ? ::fgetxattr(m_fd, name, value.data(), value.size())
                                             : ::lgetxattr(m_path.c_str(), name, value.data(), value.size());
            if (n >= 0) {
                value.resize(static_cast<std::size_t>(n));
                return 0;
            }
            if (errno != ERANGE) return errno;
        }
    }

    int set(const char *name, const std::string &value) const
    {
        const int rc = m_path.empty() ? ::fsetxattr(m_fd, name, value.data(), value.size(), 0)
                                      : ::lsetxattr(m_path.c_str(), name, value.data(), value.size(), 0);
        return rc == 0 ? 0 : errno;
    }

    bool reachedByName() const { return !m_path.empty(); }

    int remove(const char *name) const
    {
        const int rc = m_path.empty() ? ::fremovexattr(m_fd, name) : ::lremovexattr(m_path.c_str(), name);
        return rc == 0 ? 0 : errno;
    }

private:
    int m_fd = -1;
    std::string m_path;
};

// The attributes a move carries, by name (none where the file system keeps none); nullopt when
// they cannot be read.
std::optional<std::map<std::string, std::string>> carriedAttributes(const AttributeAccess &entry)
{
    std::map<std::string, std::string> attributes;
    std::string names;
    if (const int rc = entry.list(names)) {
        if (isUnsupported(rc) || (rc == ENOENT && entry.reachedByName())) return attributes;
        return std::nullopt;
    }
    for (std::size_t start = 0; start < names.size();) {
        std::string name(names.c_str() + start);
        start += name.size() + 1;
        if (!travelsWithMove(name)) continue;
        std::string value;
        if (const int rc = entry.get(name.c_str(), value)) {
            if (rc == ENODATA) continue;
            return std::nullopt;
        }
        attributes.emplace(std::move(name), std::move(value));
    }
    return attributes;
}

// Copies one entry (and for a folder, everything in it) to a name that must not exist yet.
// Everything it creates is remembered, so that a failed copy removes exactly that.
class TreeCopier {
public:
    TreeCopier(const FileOperationOptions &options, bool forMove) : m_options(options), m_forMove(forMove)
    {
        m_buffer.resize(kBlock);
    }

    enum class Status { Copied, NameTaken, Failed };

    // Copies srcDir/srcName (described by st) to dstDir/dstName. NameTaken when dstName exists
    // (nothing was made); Failed with error() set after removing the partial copy.
    Status copy(int srcDir, const std::string &srcName, const struct stat &st, int dstDir, const std::string &dstName)
    {
        m_topDevice = st.st_dev;
        m_topDestination = dstDir;
        m_topName = dstName;
        m_error.reset();
        m_notKept.clear();
        m_firstCopyOf.clear();
        const int rc = copyEntry(srcDir, srcName, st, dstDir, dstName, std::string());
        if (rc == 0) return Status::Copied;
        if (rc == EEXIST && !m_error) return Status::NameTaken;
        removeCreated(dstDir, dstName);
        if (!m_error) m_error = Error::posix(rc, QStringLiteral("cannot copy"));
        return Status::Failed;
    }

    const std::optional<Error> &error() const { return m_error; }

    // What the last copy could not keep because the destination does not store it (one line),
    // empty when it kept everything.
    QString notKept() const
    {
        if (m_notKept.empty()) return {};
        QStringList names;
        for (const std::string &name : m_notKept)
            names.append(shown(name));
        return QStringLiteral("kept without ") + names.join(QStringLiteral(", ")) +
               QStringLiteral(": the destination does not support them");
    }

    // The names of what notKept() tells, which the verification excuses.
    const std::set<std::string> &notKeptNames() const { return m_notKept; }

    // Removes what this copier created at dir/name (and below it); entries made by others stay.
    void removeCreated(int dirFd, const std::string &name)
    {
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
        if (m_created.count(idOf(st)) == 0) return;
        if (S_ISDIR(st.st_mode)) {
            UniqueFd fd(openDirectoryAt(dirFd, name.c_str()));
            if (!fd.valid()) return;
            ::fchmod(fd.get(), S_IRWXU); // a finished folder may have been made read-only
            std::vector<std::string> names;
            listNames(fd.get(), names);
            for (const std::string &child : names)
                removeCreated(fd.get(), child);
            ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(dirFd, name.c_str(), 0);
        }
    }

private:
    bool cancelled() const { return m_options.isCancelled && m_options.isCancelled(); }

    // Records the first error; errnum 0 for one without a system error (returns EIO then).
    int fail(int errnum, const QString &what, const std::string &relative)
    {
        if (!m_error) m_error = entryError(errnum, what, relative);
        return errnum == 0 ? EIO : errnum;
    }

    void remember(int fd)
    {
        struct stat st {};
        if (::fstat(fd, &st) == 0) m_created.insert(idOf(st));
    }

    // Owner (moves only), permission bits and times of a finished entry. A file system that
    // cannot store them (EPERM, EOPNOTSUPP) does not fail the copy.
    int applyMetadata(int fd, const struct stat &src, const std::string &relative)
    {
        if (m_forMove && (src.st_uid != ::geteuid() || src.st_gid != ::getegid())) {
            ::fchown(fd, src.st_uid, src.st_gid); // kept where allowed (root, or a group of ours)
        }
        struct stat now {};
        if (::fstat(fd, &now) != 0) return fail(errno, QStringLiteral("cannot read the copy"), relative);
        mode_t mode = src.st_mode & 07777;
        // Set-id bits only travel with the owner they belong to.
        if (now.st_uid != src.st_uid) mode &= ~static_cast<mode_t>(S_ISUID);
        if (now.st_gid != src.st_gid) mode &= ~static_cast<mode_t>(S_ISGID);
        if (::fchmod(fd, mode) != 0 && errno != EPERM && errno != EOPNOTSUPP) {
            return fail(errno, QStringLiteral("cannot set the permissions of the copy"), relative);
        }
        const timespec times[2] = {src.st_atim, src.st_mtim};
        if (::futimens(fd, times) != 0 && errno != EPERM && errno != EOPNOTSUPP) {
            return fail(errno, QStringLiteral("cannot set the times of the copy"), relative);
        }
        return 0;
    }

    // Copies length bytes at offset from in to out, in the kernel where it can; offset ends
    // where the copy ended (before offset + length when the file ended sooner).
    int copyRange(int in, int out, off_t &offset, off_t length, const std::string &relative)
    {
        bool kernelCopy = true;
        while (length > 0) {
            if (cancelled()) return fail(ECANCELED, QStringLiteral("copy stopped"), relative);
            const std::size_t chunk = static_cast<std::size_t>(std::min<off_t>(length, 8 * kBlock));
            if (kernelCopy) {
                off_t from = offset;
                off_t to = offset;
                const ssize_t n = ::copy_file_range(in, &from, out, &to, chunk, 0);
                if (n > 0) {
                    offset += n;
                    length -= n;
                    continue;
                }
                if (n < 0 && errno == EINTR) continue;
                if (n == 0) return 0; // shorter than it said
                if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EBADF &&
                    errno != EPERM) {
                    return fail(errno, QStringLiteral("cannot copy the data"), relative);
                }
                kernelCopy = false;
            }
            const ssize_t got = ::pread(in, m_buffer.data(), std::min(chunk, m_buffer.size()), offset);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return fail(errno, QStringLiteral("cannot read"), relative);
            if (got == 0) return 0;
            for (ssize_t written = 0; written < got;) {
                const ssize_t n =
                    ::pwrite(out, m_buffer.data() + written, static_cast<std::size_t>(got - written), offset + written);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) return fail(errno, QStringLiteral("cannot write the copy"), relative);
                written += n;
            }
            offset += got;
            length -= got;
        }
        return 0;
    }

    // A file with fewer blocks than its size needs has holes: only its data ranges are copied
    // and the size is set at the end, so that the copy has the same holes. unsupported is set
    // (and nothing written) when the file system cannot tell data from holes.
    int copySparse(int in, int out, const std::string &relative, bool &unsupported)
    {
        off_t position = 0;
        for (;;) {
            const off_t data = ::lseek(in, position, SEEK_DATA);
            if (data < 0 && errno == ENXIO) break; // only a hole is left
            if (data < 0 && errno == EINVAL && position == 0) {
                unsupported = true;
                return 0;
            }
            if (data < 0) return fail(errno, QStringLiteral("cannot read"), relative);
            const off_t hole = ::lseek(in, data, SEEK_HOLE);
            if (hole < 0) return fail(errno, QStringLiteral("cannot read"), relative);
            position = data;
            if (const int rc = copyRange(in, out, position, hole - data, relative)) return rc;
            if (position < hole) return setSize(out, position, relative); // it ended sooner than it said
        }
        struct stat now {};
        if (::fstat(in, &now) != 0) return fail(errno, QStringLiteral("cannot read"), relative);
        return setSize(out, std::max(now.st_size, position), relative);
    }

    int setSize(int out, off_t size, const std::string &relative)
    {
        if (::ftruncate(out, size) != 0) return fail(errno, QStringLiteral("cannot write the copy"), relative);
        return 0;
    }

    int copyData(int in, int out, const std::string &relative)
    {
        bool kernelCopy = true;
        for (;;) {
            if (cancelled()) return fail(ECANCELED, QStringLiteral("copy stopped"), relative);
            if (kernelCopy) {
                const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 8 * kBlock, 0);
                if (n > 0) continue;
                if (n < 0 && errno == EINTR) continue;
                if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
                    errno != EBADF && errno != EPERM) {
                    return fail(errno, QStringLiteral("cannot copy the data"), relative);
                }
                // Not possible here, or at the end: reading confirms the end (a file may be
                // longer than its size says).
                kernelCopy = false;
                continue;
            }
            const ssize_t got = ::read(in, m_buffer.data(), m_buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return fail(errno, QStringLiteral("cannot read"), relative);
            if (got == 0) return 0;
            if (const int err = writeAll(out, std::string_view(m_buffer.data(), static_cast<std::size_t>(got)))) {
                return fail(err, QStringLiteral("cannot write the copy"), relative);
            }
        }
    }

    int copyFile(int srcDir, const std::string &srcName, const struct stat &st, int dstDir, const std::string &dstName,
                 const std::string &relative)
    {
        UniqueFd in(::openat(srcDir, srcName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!in.valid()) return fail(errno, QStringLiteral("cannot read"), relative);
        struct stat inSt {};
        if (::fstat(in.get(), &inSt) != 0) return fail(errno, QStringLiteral("cannot read"), relative);
        if (!S_ISREG(inSt.st_mode) || idOf(inSt) != idOf(st)) {
            return fail(0, QStringLiteral("it changed while it was copied"), relative);
        }
        UniqueFd out(::openat(dstDir, dstName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.valid()) {
            if (errno == EEXIST && relative.empty()) return EEXIST;
            return fail(errno, QStringLiteral("cannot create the copy"), relative);
        }
        remember(out.get());
        bool plain = inSt.st_blocks * 512 >= inSt.st_size;
        if (!plain) {
            if (const int rc = copySparse(in.get(), out.get(), relative, plain)) return rc;
        }
        if (plain) {
            if (const int rc = copyData(in.get(), out.get(), relative)) return rc;
        }
        if (m_forMove) {
            if (const int rc = copyAttributes(AttributeAccess(in.get()), AttributeAccess(out.get()), relative))
                return rc;
        }
        if (m_forMove && inSt.st_nlink > 1) m_firstCopyOf.emplace(idOf(inSt), destinationPath(relative));
        return applyMetadata(out.get(), inSt, relative);
    }

    // The path of the copy of relative, from the destination folder of the whole copy.
    std::string destinationPath(const std::string &relative) const
    {
        return relative.empty() ? m_topName : m_topName + "/" + relative;
    }

    // Another name of a file already copied in this move becomes another name of its copy.
    // Returns -1 when that is not the case (or the destination cannot link: then it is copied).
    int linkToFirstCopy(const struct stat &st, int dstDir, const std::string &dstName, const std::string &relative)
    {
        if (!m_forMove || st.st_nlink < 2 || relative.empty()) return -1;
        const auto first = m_firstCopyOf.find(idOf(st));
        if (first == m_firstCopyOf.end()) return -1;
        if (::linkat(m_topDestination, first->second.c_str(), dstDir, dstName.c_str(), 0) == 0) return 0;
        if (errno == EPERM || errno == EMLINK || isUnsupported(errno)) {
            m_notKept.insert("hard links");
            return -1;
        }
        return fail(errno, QStringLiteral("cannot link the copy"), relative);
    }

    // The user's extended attributes and the access control lists of in, onto out. An
    // attribute the destination does not store is noted (see notKept()); one that it stores
    // but refuses (no space, too large, an I/O error) fails the copy. An access control list
    // out inherited from its new folder but in does not have is removed.
    int copyAttributes(const AttributeAccess &in, const AttributeAccess &out, const std::string &relative)
    {
        std::string names;
        // ENOENT: a link's attributes are reached through /proc, which may not be mounted.
        if (const int rc = in.list(names); rc != 0 && !isUnsupported(rc) && rc != ENOENT) {
            return fail(rc, QStringLiteral("cannot read the extended attributes"), relative);
        }
        bool hasAccessList = false;
        bool hasDefaultList = false;
        std::string value;
        for (std::size_t start = 0; start < names.size();) {
            const std::string name(names.c_str() + start);
            start += name.size() + 1;
            if (!travelsWithMove(name)) continue;
            if (const int rc = in.get(name.c_str(), value)) {
                if (rc == ENODATA) continue; // removed meanwhile
                return fail(rc, QStringLiteral("cannot read the extended attribute ") + shown(name), relative);
            }
            hasAccessList = hasAccessList || name == "system.posix_acl_access";
            hasDefaultList = hasDefaultList || name == "system.posix_acl_default";
            if (const int rc = out.set(name.c_str(), value)) {
                // A link takes no user attributes on Linux (EPERM): as with a file system without them.
                if (isUnsupported(rc) || (rc == EPERM && name.starts_with("user."))) {
                    m_notKept.insert(name);
                    continue;
                }
                return fail(rc, QStringLiteral("cannot copy the extended attribute ") + shown(name), relative);
            }
        }
        for (const auto &[name, kept] : {std::pair{"system.posix_acl_access", hasAccessList},
                                         std::pair{"system.posix_acl_default", hasDefaultList}}) {
            if (kept || out.reachedByName()) continue; // a link, which never inherits one
            if (const int rc = out.remove(name); rc != 0 && rc != ENODATA && !isUnsupported(rc) && rc != EPERM) {
                return fail(rc, QStringLiteral("cannot remove an inherited access control list"), relative);
            }
        }
        return 0;
    }

    int copySymlink(int srcDir, const std::string &srcName, const struct stat &st, int dstDir,
                    const std::string &dstName, const std::string &relative)
    {
        std::string target(static_cast<std::size_t>(std::max<off_t>(st.st_size, 64)) + 1, '\0');
        for (;;) {
            const ssize_t n = ::readlinkat(srcDir, srcName.c_str(), target.data(), target.size());
            if (n < 0) return fail(errno, QStringLiteral("cannot read the link"), relative);
            if (static_cast<std::size_t>(n) < target.size()) {
                target.resize(static_cast<std::size_t>(n));
                break;
            }
            target.resize(target.size() * 2);
        }
        if (::symlinkat(target.c_str(), dstDir, dstName.c_str()) != 0) {
            if (errno == EEXIST && relative.empty()) return EEXIST;
            return fail(errno, QStringLiteral("cannot create the link"), relative);
        }
        struct stat made {};
        if (::fstatat(dstDir, dstName.c_str(), &made, AT_SYMLINK_NOFOLLOW) == 0) m_created.insert(idOf(made));
        if (m_forMove && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
            ::fchownat(dstDir, dstName.c_str(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
        }
        if (m_forMove) {
            if (const int rc =
                    copyAttributes(AttributeAccess(srcDir, srcName), AttributeAccess(dstDir, dstName), relative))
                return rc;
        }
        const timespec times[2] = {st.st_atim, st.st_mtim};
        if (::utimensat(dstDir, dstName.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0 && errno != EPERM &&
            errno != EOPNOTSUPP) {
            return fail(errno, QStringLiteral("cannot set the times of the link"), relative);
        }
        return 0;
    }

    int copyFifo(const struct stat &st, int dstDir, const std::string &dstName, const std::string &relative)
    {
        if (::mkfifoat(dstDir, dstName.c_str(), 0600) != 0) {
            if (errno == EEXIST && relative.empty()) return EEXIST;
            return fail(errno, QStringLiteral("cannot create the pipe"), relative);
        }
        UniqueFd fd(::openat(dstDir, dstName.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat made {};
        if (fd.valid() && ::fstat(fd.get(), &made) == 0) m_created.insert(idOf(made));
        if (::fchmodat(dstDir, dstName.c_str(), st.st_mode & 0777, 0) != 0 && errno != EPERM) {
            return fail(errno, QStringLiteral("cannot set the permissions of the pipe"), relative);
        }
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(dstDir, dstName.c_str(), times, AT_SYMLINK_NOFOLLOW);
        return 0;
    }

    int copyDirectory(int srcDir, const std::string &srcName, const struct stat &st, int dstDir,
                      const std::string &dstName, const std::string &relative)
    {
        UniqueFd in(openDirectoryAt(srcDir, srcName.c_str()));
        if (!in.valid()) return fail(errno, QStringLiteral("cannot open the folder"), relative);
        struct stat inSt {};
        if (::fstat(in.get(), &inSt) != 0 || idOf(inSt) != idOf(st)) {
            return fail(0, QStringLiteral("it changed while it was copied"), relative);
        }
        if (m_forMove && ::faccessat(in.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
            return fail(errno, QStringLiteral("cannot remove the contents of the source folder"), relative);
        }
        if (::mkdirat(dstDir, dstName.c_str(), S_IRWXU) != 0) {
            if (errno == EEXIST && relative.empty()) return EEXIST;
            return fail(errno, QStringLiteral("cannot create the folder"), relative);
        }
        UniqueFd out(openDirectoryAt(dstDir, dstName.c_str()));
        if (!out.valid()) return fail(errno, QStringLiteral("cannot open the new folder"), relative);
        remember(out.get());

        std::vector<std::string> names;
        if (const int rc = listNames(in.get(), names))
            return fail(rc, QStringLiteral("cannot list the folder"), relative);
        for (const std::string &name : names) {
            if (cancelled()) return fail(ECANCELED, QStringLiteral("copy stopped"), relative);
            struct stat child {};
            const std::string childRelative = joinRelative(relative, name);
            if (::fstatat(in.get(), name.c_str(), &child, AT_SYMLINK_NOFOLLOW) != 0) {
                return fail(errno, QStringLiteral("cannot read"), childRelative);
            }
            if (m_created.count(idOf(child)) != 0) continue; // never copy the copy itself
            if (const int rc = copyEntry(in.get(), name, child, out.get(), name, childRelative)) return rc;
        }
        // After the folder's content, so that its default access list is not inherited by copies
        // that did not have it.
        if (m_forMove) {
            if (const int rc = copyAttributes(AttributeAccess(in.get()), AttributeAccess(out.get()), relative))
                return rc;
        }
        return applyMetadata(out.get(), inSt, relative);
    }

    int copyEntry(int srcDir, const std::string &srcName, const struct stat &st, int dstDir, const std::string &dstName,
                  const std::string &relative)
    {
        if (m_forMove && st.st_dev != m_topDevice) {
            return fail(0, QStringLiteral("another file system is mounted inside it"), relative);
        }
        if (S_ISREG(st.st_mode)) {
            if (const int rc = linkToFirstCopy(st, dstDir, dstName, relative); rc >= 0) return rc;
            return copyFile(srcDir, srcName, st, dstDir, dstName, relative);
        }
        if (S_ISLNK(st.st_mode)) return copySymlink(srcDir, srcName, st, dstDir, dstName, relative);
        if (S_ISDIR(st.st_mode)) return copyDirectory(srcDir, srcName, st, dstDir, dstName, relative);
        if (S_ISFIFO(st.st_mode)) return copyFifo(st, dstDir, dstName, relative);
        return fail(0, QStringLiteral("a device or socket cannot be copied"), relative);
    }

    const FileOperationOptions &m_options;
    bool m_forMove;
    dev_t m_topDevice = 0;
    int m_topDestination = -1;
    std::string m_topName;
    // Files with more than one name: where their first copy is, from m_topDestination.
    std::unordered_map<FileId, std::string, FileIdHash> m_firstCopyOf;
    std::set<std::string> m_notKept;
    std::vector<char> m_buffer;
    std::unordered_set<FileId, FileIdHash> m_created;
    std::optional<Error> m_error;
};

// Compares a source tree with its copy: same kinds, same names, same bytes, same link
// targets. Remembers each source entry as it was seen, so that removing the source later
// removes only what was compared and has not changed since.
class TreeVerifier {
public:
    // notKept: attributes the destination does not store, which the copy may lack.
    TreeVerifier(const FileOperationOptions &options, const std::set<std::string> &notKept)
        : m_options(options), m_notKept(notKept)
    {
        m_a.resize(kBlock);
        m_b.resize(kBlock);
    }

    std::optional<Error> verify(int srcDir, const std::string &srcName, int dstDir, const std::string &dstName)
    {
        return verifyEntry(srcDir, srcName, dstDir, dstName, std::string());
    }

    // The source entry was compared and looks as it did then.
    bool unchangedSinceVerified(const struct stat &st) const
    {
        const auto it = m_seen.find(idOf(st));
        if (it == m_seen.end()) return false;
        return S_ISDIR(st.st_mode) || it->second == signatureOf(st);
    }

    // Removing one name of a file with several changes its status time: what the remaining
    // names are then checked against.
    void nameRemoved(const struct stat &now) { m_seen[idOf(now)] = signatureOf(now); }

private:
    static Error differs(const std::string &relative, const char *what)
    {
        const QString text = QStringLiteral("the copy does not match the source (%1)").arg(QLatin1String(what));
        return relative.empty() ? Error::app(text) : Error::app(text + QStringLiteral(" at ") + quoted(relative));
    }

    std::optional<Error> compareFiles(int srcDir, const std::string &srcName, int dstDir, const std::string &dstName,
                                      const std::string &relative)
    {
        UniqueFd a(::openat(srcDir, srcName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!a.valid()) return entryError(errno, QStringLiteral("cannot read the source again"), relative);
        UniqueFd b(::openat(dstDir, dstName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!b.valid()) return entryError(errno, QStringLiteral("cannot read the copy"), relative);
        struct stat before {};
        struct stat copySt {};
        if (::fstat(a.get(), &before) != 0 || ::fstat(b.get(), &copySt) != 0) return differs(relative, "unreadable");
        if (before.st_size != copySt.st_size) return differs(relative, "size");
        for (;;) {
            if (m_options.isCancelled && m_options.isCancelled())
                return Error::posix(ECANCELED, QStringLiteral("move stopped"));
            const ssize_t n = readFull(a.get(), m_a.data(), m_a.size());
            const ssize_t m = readFull(b.get(), m_b.data(), m_b.size());
            if (n < 0 || m < 0) return differs(relative, "unreadable");
            if (n != m || std::memcmp(m_a.data(), m_b.data(), static_cast<std::size_t>(n)) != 0) {
                return differs(relative, "content");
            }
            if (n == 0) break;
        }
        struct stat after {};
        if (::fstat(a.get(), &after) != 0 || signatureOf(after) != signatureOf(before)) {
            return differs(relative, "the source changed while it was moved");
        }
        m_seen[idOf(after)] = signatureOf(after);
        return std::nullopt;
    }

    // A file with several names in the moved tree is one file under as many names in the copy:
    // the first name is compared byte for byte, the others must lead to the same two files.
    std::optional<Error> verifyFile(int srcDir, const std::string &srcName, const struct stat &s, int dstDir,
                                    const std::string &dstName, const struct stat &d, const std::string &relative)
    {
        if (d.st_nlink > 1) {
            const auto [source, fresh] = m_sourceOf.emplace(idOf(d), idOf(s));
            if (!fresh && source->second != idOf(s)) return differs(relative, "hard links");
        }
        if (s.st_nlink > 1) {
            const auto copy = m_copyOf.find(idOf(s));
            if (copy != m_copyOf.end() && copy->second == idOf(d)) {
                const auto seen = m_seen.find(idOf(s));
                if (seen == m_seen.end() || seen->second != signatureOf(s)) {
                    return differs(relative, "the source changed while it was moved");
                }
                return std::nullopt;
            }
        }
        if (auto error = compareFiles(srcDir, srcName, dstDir, dstName, relative)) return error;
        if (s.st_nlink > 1) m_copyOf.emplace(idOf(s), idOf(d));
        return std::nullopt;
    }

    static ssize_t readFull(int fd, char *buffer, std::size_t size)
    {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(fd, buffer + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return -1;
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
        }
        return static_cast<ssize_t>(done);
    }

    static std::optional<std::string> linkTarget(int dirFd, const std::string &name)
    {
        std::string target(256, '\0');
        for (;;) {
            const ssize_t n = ::readlinkat(dirFd, name.c_str(), target.data(), target.size());
            if (n < 0) return std::nullopt;
            if (static_cast<std::size_t>(n) < target.size()) {
                target.resize(static_cast<std::size_t>(n));
                return target;
            }
            target.resize(target.size() * 2);
        }
    }

    std::optional<Error> verifyEntry(int srcDir, const std::string &srcName, int dstDir, const std::string &dstName,
                                     const std::string &relative)
    {
        struct stat s {};
        struct stat d {};
        if (::fstatat(srcDir, srcName.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0) {
            return entryError(errno, QStringLiteral("cannot read the source again"), relative);
        }
        if (::fstatat(dstDir, dstName.c_str(), &d, AT_SYMLINK_NOFOLLOW) != 0) {
            return entryError(errno, QStringLiteral("cannot read the copy"), relative);
        }
        if ((s.st_mode & S_IFMT) != (d.st_mode & S_IFMT)) return differs(relative, "kind");
        if (S_ISREG(s.st_mode) || S_ISDIR(s.st_mode) || S_ISLNK(s.st_mode)) {
            auto source = carriedAttributes(AttributeAccess(srcDir, srcName));
            const auto copy = carriedAttributes(AttributeAccess(dstDir, dstName));
            if (!source || !copy) return differs(relative, "unreadable extended attributes");
            for (const std::string &name : m_notKept)
                source->erase(name);
            if (*source != *copy) return differs(relative, "extended attributes");
        }
        if (S_ISREG(s.st_mode)) return verifyFile(srcDir, srcName, s, dstDir, dstName, d, relative);
        if (S_ISLNK(s.st_mode)) {
            const auto a = linkTarget(srcDir, srcName);
            const auto b = linkTarget(dstDir, dstName);
            if (!a || !b || *a != *b) return differs(relative, "link target");
            m_seen[idOf(s)] = signatureOf(s);
            return std::nullopt;
        }
        if (!S_ISDIR(s.st_mode)) {
            m_seen[idOf(s)] = signatureOf(s);
            return std::nullopt;
        }
        UniqueFd a(openDirectoryAt(srcDir, srcName.c_str()));
        UniqueFd b(openDirectoryAt(dstDir, dstName.c_str()));
        if (!a.valid() || !b.valid()) return differs(relative, "unreadable folder");
        std::vector<std::string> srcNames;
        std::vector<std::string> dstNames;
        if (listNames(a.get(), srcNames) != 0 || listNames(b.get(), dstNames) != 0) {
            return differs(relative, "unreadable folder");
        }
        if (srcNames != dstNames) return differs(relative, "folder contents");
        for (const std::string &name : srcNames) {
            if (auto error = verifyEntry(a.get(), name, b.get(), name, joinRelative(relative, name))) return error;
        }
        m_seen[idOf(s)] = signatureOf(s);
        return std::nullopt;
    }

    const FileOperationOptions &m_options;
    const std::set<std::string> &m_notKept;
    std::vector<char> m_a;
    std::vector<char> m_b;
    std::unordered_map<FileId, Signature, FileIdHash> m_seen;
    std::unordered_map<FileId, FileId, FileIdHash> m_copyOf;   // files with several names: their copy
    std::unordered_map<FileId, FileId, FileIdHash> m_sourceOf; // copies with several names: their source
};

// Removes a verified source tree: only entries that were compared and have not changed
// since; a folder that still holds something else stays.
class SourceRemover {
public:
    explicit SourceRemover(TreeVerifier &verifier) : m_verifier(verifier) {}

    void remove(int dirFd, const std::string &name, const std::string &relative)
    {
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            note(errno, QStringLiteral("cannot read the source"), relative);
            return;
        }
        if (!m_verifier.unchangedSinceVerified(st)) {
            note(0, QStringLiteral("it changed during the move and was left in place"), relative);
            return;
        }
        if (S_ISDIR(st.st_mode)) {
            UniqueFd fd(openDirectoryAt(dirFd, name.c_str()));
            if (!fd.valid()) {
                note(errno, QStringLiteral("cannot open the source folder"), relative);
                return;
            }
            std::vector<std::string> names;
            if (const int rc = listNames(fd.get(), names)) {
                note(rc, QStringLiteral("cannot list the source folder"), relative);
                return;
            }
            for (const std::string &child : names)
                remove(fd.get(), child, joinRelative(relative, child));
            if (m_error) return; // it cannot be empty
        }
        // Held across the unlink to learn how the file's other names look afterwards.
        UniqueFd otherNames;
        if (!S_ISDIR(st.st_mode) && st.st_nlink > 1) {
            otherNames.reset(::openat(dirFd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        }
        if (::unlinkat(dirFd, name.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0) {
            note(errno, QStringLiteral("cannot remove the source"), relative);
            return;
        }
        m_removedAny = true;
        struct stat after {};
        if (otherNames.valid() && ::fstat(otherNames.get(), &after) == 0 && idOf(after) == idOf(st)) {
            m_verifier.nameRemoved(after);
        }
    }

    bool removedAny() const { return m_removedAny; }
    const std::optional<Error> &error() const { return m_error; }

private:
    void note(int errnum, const QString &what, const std::string &relative)
    {
        if (!m_error) m_error = entryError(errnum, what, relative);
    }

    TreeVerifier &m_verifier;
    bool m_removedAny = false;
    std::optional<Error> m_error;
};

// Flushes the file system that holds the folder open at dirFd (all of them when the folder
// cannot be opened for that).
bool syncFileSystemOf(int dirFd)
{
    UniqueFd fd(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        ::sync();
        return true;
    }
    return ::syncfs(fd.get()) == 0;
}

struct OpenedItem {
    FileOperations::SplitPath split;
    UniqueFd parent;
    struct stat st {};
    UniqueFd destination;
    struct stat destinationSt {};
};

// Opens the item's folder and the destination, and reads the item itself (never following it).
std::optional<Error> openItem(const BytePath &item, const BytePath &destinationFolder, OpenedItem &opened)
{
    const auto split = FileOperations::splitItemPath(item);
    if (!split) return Error::app(QStringLiteral("not a name that can be copied or moved"));
    opened.split = *split;
    opened.parent.reset(::open(split->folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!opened.parent.valid()) return Error::posix(errno, QStringLiteral("cannot open its folder"));
    if (::fstatat(opened.parent.get(), split->name.c_str(), &opened.st, AT_SYMLINK_NOFOLLOW) != 0) {
        return Error::posix(errno, QStringLiteral("cannot read it"));
    }
    // O_PATH: a folder we may write into but not list (a drop box) is still a destination.
    opened.destination.reset(::open(destinationFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!opened.destination.valid() || ::fstat(opened.destination.get(), &opened.destinationSt) != 0) {
        return Error::posix(errno, QStringLiteral("cannot open the destination ") + quoted(destinationFolder.bytes()));
    }
    if (S_ISDIR(opened.st.st_mode) && folderIsAtOrBelow(opened.destination.get(), idOf(opened.st))) {
        return Error::app(QStringLiteral("cannot put a folder into itself"));
    }
    return std::nullopt;
}

// The name a sticky folder lets us remove: ours, or in a folder of ours (or we are root).
bool stickyAllows(int parentFd, const struct stat &item)
{
    struct stat parentSt {};
    if (::fstat(parentFd, &parentSt) != 0) return false;
    if ((parentSt.st_mode & S_ISVTX) == 0) return true;
    const uid_t me = ::geteuid();
    return me == 0 || item.st_uid == me || parentSt.st_uid == me;
}

ItemOutcome moveByCopy(OpenedItem &opened, const BytePath &item, const BytePath &destinationFolder,
                       const FileOperationOptions &options)
{
    ItemOutcome outcome{item, {}, {}, {}};
    const std::string &name = opened.split.name;
    // Only start a copy whose source can be removed afterwards.
    if (::faccessat(opened.parent.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        outcome.error = Error::posix(errno, QStringLiteral("cannot remove it from its folder"));
        return outcome;
    }
    if (!stickyAllows(opened.parent.get(), opened.st)) {
        outcome.error = Error::posix(EPERM, QStringLiteral("cannot remove it from its folder"));
        return outcome;
    }

    TreeCopier copier(options, true);
    std::string target;
    for (int n = 1;; ++n) {
        if (n > kMaxNameAttempts) {
            outcome.error = Error::app(QStringLiteral("no free name in the destination"));
            return outcome;
        }
        target = FileOperations::numberedName(name, n, S_ISDIR(opened.st.st_mode));
        const auto status = copier.copy(opened.parent.get(), name, opened.st, opened.destination.get(), target);
        if (status == TreeCopier::Status::Copied) break;
        if (status == TreeCopier::Status::Failed) {
            outcome.error = copier.error();
            return outcome;
        }
    }
    // The copy must be on the disk before the only other copy goes.
    if (!syncFileSystemOf(opened.destination.get())) {
        const int err = errno;
        copier.removeCreated(opened.destination.get(), target);
        outcome.error = Error::posix(err, QStringLiteral("cannot write the copy to the disk"));
        return outcome;
    }
    TreeVerifier verifier(options, copier.notKeptNames());
    if (auto error = verifier.verify(opened.parent.get(), name, opened.destination.get(), target)) {
        copier.removeCreated(opened.destination.get(), target);
        outcome.error = std::move(error);
        return outcome;
    }
    SourceRemover remover(verifier);
    remover.remove(opened.parent.get(), name, std::string());
    if (remover.error() && !remover.removedAny()) {
        // Nothing of the source went: undo the copy, the item stays where it was.
        copier.removeCreated(opened.destination.get(), target);
        outcome.error = remover.error();
        return outcome;
    }
    outcome.destination = destinationFolder / target;
    if (const QString notKept = copier.notKept(); !notKept.isEmpty()) outcome.warnings.push_back(notKept);
    if (remover.error()) {
        Error error = *remover.error();
        error.userInfo[Error::kDescriptionKey] = QStringLiteral("copied to ") + quoted(outcome.destination.bytes()) +
                                                 QStringLiteral(", but part of the source remains: ") +
                                                 error.localizedDescription();
        outcome.error = std::move(error);
    }
    return outcome;
}

} // namespace

bool FileOperations::isAtOrInside(int folderFd, int otherFd)
{
    struct stat other {};
    return ::fstat(otherFd, &other) == 0 && folderIsAtOrBelow(folderFd, idOf(other));
}

std::optional<FileOperations::SplitPath> FileOperations::splitItemPath(const BytePath &path)
{
    std::string bytes = path.bytes();
    while (bytes.size() > 1 && bytes.back() == '/')
        bytes.pop_back();
    if (bytes.empty() || bytes == "/") return std::nullopt;
    const BytePath trimmed(bytes);
    const std::string name(trimmed.fileName());
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    BytePath folder = trimmed.parent();
    if (folder.empty()) folder = BytePath(".");
    return SplitPath{std::move(folder), name};
}

std::string FileOperations::numberedName(std::string_view name, int n, bool isDirectory, std::size_t maxBytes)
{
    // The extension: after the last dot that is not part of a leading run of dots, short and
    // without blanks; "tar.gz" and its kin count as one. Folders have none unless they are
    // packages.
    std::string_view extension;
    const auto lead = name.find_first_not_of('.');
    if (lead != std::string_view::npos && (!isDirectory || FileAttributes::hasPackageExtension(name))) {
        const auto dot = name.rfind('.');
        if (dot != std::string_view::npos && dot > lead && dot + 1 < name.size()) {
            const std::string_view candidate = name.substr(dot);
            if (candidate.size() - 1 <= kLongestExtension && candidate.find(' ') == std::string_view::npos) {
                extension = candidate;
                const std::string_view before = name.substr(0, dot);
                const bool compressed =
                    std::any_of(std::begin(kTarCompressions), std::end(kTarCompressions),
                                [&](std::string_view c) { return equalsIgnoringAsciiCase(c, candidate.substr(1)); });
                if (compressed && before.size() >= 4 && before.size() - 4 > lead &&
                    equalsIgnoringAsciiCase(before.substr(before.size() - 4), ".tar")) {
                    extension = name.substr(dot - 4);
                }
            }
        }
    }
    std::string_view stem = name.substr(0, name.size() - extension.size());
    if (n <= 1) {
        if (name.size() <= maxBytes) return std::string(name);
        std::string shortened(fitBytes(stem, maxBytes - std::min(maxBytes, extension.size())));
        return shortened.append(extension);
    }
    // A name that already carries a number continues from it: "a 2.txt" -> "a 3.txt".
    long number = n;
    const auto blank = stem.rfind(' ');
    if (blank != std::string_view::npos && blank > 0 && blank + 1 < stem.size() && stem.size() - blank - 1 <= 9 &&
        stem[blank + 1] != '0') {
        const std::string_view digits = stem.substr(blank + 1);
        if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            const long existing = std::stol(std::string(digits));
            if (existing >= 2) {
                number = existing + n - 1;
                stem = stem.substr(0, blank);
            }
        }
    }
    const std::string suffix = " " + std::to_string(number) + std::string(extension);
    std::string result(fitBytes(stem, maxBytes - std::min(maxBytes, suffix.size())));
    return result.append(suffix);
}

ItemOutcome FileOperations::copyItem(const BytePath &item, const BytePath &destinationFolder,
                                     const FileOperationOptions &options)
{
    ItemOutcome outcome{item, {}, {}, {}};
    OpenedItem opened;
    if (auto error = openItem(item, destinationFolder, opened)) {
        outcome.error = std::move(error);
        return outcome;
    }
    TreeCopier copier(options, false);
    for (int n = 1; n <= kMaxNameAttempts; ++n) {
        const std::string target = numberedName(opened.split.name, n, S_ISDIR(opened.st.st_mode));
        switch (copier.copy(opened.parent.get(), opened.split.name, opened.st, opened.destination.get(), target)) {
        case TreeCopier::Status::Copied:
            outcome.destination = destinationFolder / target;
            return outcome;
        case TreeCopier::Status::Failed:
            outcome.error = copier.error();
            return outcome;
        case TreeCopier::Status::NameTaken:
            break;
        }
    }
    outcome.error = Error::app(QStringLiteral("no free name in the destination"));
    return outcome;
}

ItemOutcome FileOperations::moveItem(const BytePath &item, const BytePath &destinationFolder,
                                     const FileOperationOptions &options)
{
    ItemOutcome outcome{item, {}, {}, {}};
    OpenedItem opened;
    if (auto error = openItem(item, destinationFolder, opened)) {
        outcome.error = std::move(error);
        return outcome;
    }
    struct stat parentSt {};
    if (::fstat(opened.parent.get(), &parentSt) == 0 && idOf(parentSt) == idOf(opened.destinationSt)) {
        outcome.destination = destinationFolder / opened.split.name; // already there
        return outcome;
    }
    if (!options.forceCopyForMove) {
        for (int n = 1; n <= kMaxNameAttempts; ++n) {
            const std::string target = numberedName(opened.split.name, n, S_ISDIR(opened.st.st_mode));
            const int rc = renameNoReplace(opened.parent.get(), opened.split.name.c_str(), opened.destination.get(),
                                           target.c_str());
            if (rc == 0) {
                outcome.destination = destinationFolder / target;
                return outcome;
            }
            if (rc == EEXIST || rc == ENOTEMPTY) continue;
            if (rc == EXDEV) return moveByCopy(opened, item, destinationFolder, options);
            outcome.error = Error::posix(rc, QStringLiteral("cannot move it"));
            return outcome;
        }
        outcome.error = Error::app(QStringLiteral("no free name in the destination"));
        return outcome;
    }
    return moveByCopy(opened, item, destinationFolder, options);
}

} // namespace lurkel
