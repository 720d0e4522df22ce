#include "ContentHasher.h"

#include "IdlePriority.h"

#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace lurkel {
namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 20;

ContentHasher::Digest digestOf(const XXH128_hash_t &hash)
{
    return {hash.high64, hash.low64};
}

// An open file that still is the regular file of the given size.
class OpenFile {
public:
    OpenFile(const std::string &path, std::uint64_t size) : m_fd(ContentHasher::openForReading(path))
    {
        struct stat st {};
        if (m_fd >= 0 &&
            (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) != size)) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~OpenFile()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

bool readFully(int fd, char *buffer, std::size_t length, off_t offset)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, buffer + done, length - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Splits items by a digest; keeps the parts of two or more.
template <typename DigestFn>
std::vector<std::vector<MetadataItem>> splitBy(const std::vector<MetadataItem> &items, DigestFn digest)
{
    std::map<ContentHasher::Digest, std::vector<MetadataItem>> parts;
    for (const MetadataItem &item : items)
        if (const auto d = digest(item)) parts[*d].push_back(item);
    std::vector<std::vector<MetadataItem>> kept;
    for (auto &[d, part] : parts)
        if (part.size() >= 2) kept.push_back(std::move(part));
    return kept;
}

} // namespace

int ContentHasher::openForReading(const std::string &path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NOATIME | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == EPERM) fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    return fd;
}

std::optional<ContentHasher::Digest> ContentHasher::edgesDigest(const std::string &path, std::uint64_t size)
{
    OpenFile file(path, size);
    if (file.fd() < 0) return std::nullopt;
    char buffer[2 * kEdgeBytes];
    std::size_t length = 0;
    if (size <= 2 * kEdgeBytes) {
        length = static_cast<std::size_t>(size);
        if (!readFully(file.fd(), buffer, length, 0)) return std::nullopt;
    } else {
        length = 2 * kEdgeBytes;
        if (!readFully(file.fd(), buffer, kEdgeBytes, 0) ||
            !readFully(file.fd(), buffer + kEdgeBytes, kEdgeBytes, static_cast<off_t>(size - kEdgeBytes))) {
            return std::nullopt;
        }
    }
    return digestOf(XXH3_128bits(buffer, length));
}

std::optional<ContentHasher::Digest> ContentHasher::fullDigest(const std::string &path, std::uint64_t size)
{
    OpenFile file(path, size);
    if (file.fd() < 0) return std::nullopt;
    ::posix_fadvise(file.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(), &XXH3_freeState);
    if (!state || XXH3_128bits_reset(state.get()) != XXH_OK) return std::nullopt;
    std::unique_ptr<char[]> buffer(new char[kReadBlock]);
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t got = ::read(file.fd(), buffer.get(), kReadBlock);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        total += static_cast<std::uint64_t>(got);
        XXH3_128bits_update(state.get(), buffer.get(), static_cast<std::size_t>(got));
    }
    if (total != size) return std::nullopt; // changed while read
    return digestOf(XXH3_128bits_digest(state.get()));
}

std::vector<DuplicateGroups::Group> ContentHasher::confirm(const std::vector<std::vector<MetadataItem>> &candidates,
                                                           const std::atomic<bool> *stop)
{
    std::vector<DuplicateGroups::Group> confirmed;
    std::mutex mutex;
    std::atomic<std::size_t> next{0};
    const auto work = [&]() {
        // Helpers of an idle scan are idle too (the calling thread is already).
        IdlePriority::lowerCurrentThread();
        for (std::size_t i = next.fetch_add(1); i < candidates.size(); i = next.fetch_add(1)) {
            if (stop != nullptr && stop->load(std::memory_order_relaxed)) return;
            const std::vector<MetadataItem> &group = candidates[i];
            const std::uint64_t size = group.front().size;
            std::vector<std::vector<MetadataItem>> same =
                splitBy(group, [size](const MetadataItem &item) { return edgesDigest(item.path, size); });
            if (size > 2 * kEdgeBytes) {
                std::vector<std::vector<MetadataItem>> full;
                for (const std::vector<MetadataItem> &part : same) {
                    auto split =
                        splitBy(part, [size](const MetadataItem &item) { return fullDigest(item.path, size); });
                    full.insert(full.end(), std::make_move_iterator(split.begin()),
                                std::make_move_iterator(split.end()));
                }
                same = std::move(full);
            }
            std::lock_guard lock(mutex);
            for (const std::vector<MetadataItem> &part : same) {
                DuplicateGroups::Group g;
                g.size = size;
                for (const MetadataItem &item : part)
                    g.paths.push_back(item.path);
                std::sort(g.paths.begin(), g.paths.end());
                confirmed.push_back(std::move(g));
            }
        }
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 2U, 4U);
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads && t < candidates.size(); ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread &t : helpers)
        t.join();
    // the same answer whatever the threads' order
    std::sort(confirmed.begin(), confirmed.end(), [](const DuplicateGroups::Group &a, const DuplicateGroups::Group &b) {
        return a.paths.front() < b.paths.front();
    });
    return confirmed;
}

} // namespace lurkel
