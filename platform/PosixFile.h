#pragma once

#include "BytePath.h"
#include "Error.h"

#include <optional>
#include <string_view>

#include <sys/types.h>

namespace lurkel {

// An owned file descriptor, closed when it goes. A close is never retried: Linux releases the
// descriptor even when close() reports EINTR, and by then the number may belong to a file
// another thread just opened.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd &&other) noexcept : m_fd(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    int get() const noexcept { return m_fd; }
    bool valid() const noexcept { return m_fd >= 0; }
    // Gives the descriptor up without closing it.
    int release() noexcept
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes the one held (if any) and takes fd.
    void reset(int fd = -1) noexcept;
    // Closes it now, for writers that must know: 0, or the errno value close() reported
    // (EINTR is not reported: the descriptor is gone either way). Nothing held is 0.
    int close() noexcept;

private:
    int m_fd = -1;
};

// Creates path and whatever is missing above it, each new folder with mode (the umask
// applies). A folder already there is fine; anything else in the way is ENOTDIR.
// 0, or the errno value of the step that failed.
[[nodiscard]] int makePath(const BytePath &path, mode_t mode = 0700);

// Writes all of bytes to fd, through short writes and interrupted calls. 0, or the errno value
// of the write that failed. Async-signal-safe.
[[nodiscard]] int writeAll(int fd, std::string_view bytes);

// Whether path is a folder, following symbolic links; false when it cannot be read.
bool isDirectory(const BytePath &path);

// The working folder, or an empty path when it cannot be told (removed, or too long).
BytePath workingFolder();
// path made absolute against the working folder ("/" when that cannot be told); an absolute
// path as it is.
BytePath absolutePath(const BytePath &path);

// renameat2(RENAME_NOREPLACE). Where the file system does not know the flag (EINVAL), a file
// is moved with linkat + unlinkat, which cannot replace either; a folder is refused (EINVAL).
// 0, or the errno value (EEXIST when the target exists).
[[nodiscard]] int renameNoReplace(int fromDirFd, const char *fromName, int toDirFd, const char *toName);

// How writeFileAtomically() puts the new file in place.
struct AtomicWrite {
    enum Target {
        Replace,   // an existing file is replaced in one step
        NoReplace, // an existing file is kept and the write fails with EEXIST
    };
    struct Owner {
        uid_t uid;
        gid_t gid;
    };

    mode_t mode = 0600; // exactly these bits, whatever the umask
    Target target = Replace;
    // The data reaches the disk before the rename, the rename reaches it before the call
    // returns (the second as far as the folder can be synced: the file is in place by then).
    bool durable = true;
    // Given to the new file where allowed (rewriting a file someone else owns); a refusal is
    // no error.
    std::optional<Owner> owner = std::nullopt;
};

// Writes bytes to path so that readers see the old file or the complete new one, never part
// of it. The data goes to a temporary file of ours in the same folder (a dot name that does
// not end like the target's), which is then renamed over path. On failure the temporary file
// is gone and path is as it was. The error's code is the errno value of the step that failed.
std::optional<Error> writeFileAtomically(const BytePath &path, std::string_view bytes, const AtomicWrite &how);
// The same for the entry name (a single component) in the folder open at dirFd (O_PATH is
// enough).
std::optional<Error> writeFileAtomicallyAt(int dirFd, std::string_view name, std::string_view bytes,
                                           const AtomicWrite &how);

} // namespace lurkel
