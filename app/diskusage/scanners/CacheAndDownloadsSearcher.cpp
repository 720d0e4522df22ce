#include "CacheAndDownloadsSearcher.h"

#include "DiskScanTypes.h"
#include "IdlePriority.h"
#include "MainQueue.h"
#include "SizeCalculation.h"

#include <array>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace lurkel {

struct CacheAndDownloadsSearcher::State {
    std::weak_ptr<CacheAndDownloadsSearcherDelegate> delegate;
    std::array<std::string, 3> folders; // caches, downloads, Trash
    std::mutex mutex;                   // the three slots below
    std::array<std::optional<std::uint64_t>, 3> sizes;
    std::int64_t unreadableFolders = 0;
    DiskScanStop stop;
};

CacheAndDownloadsSearcher::CacheAndDownloadsSearcher(DiskScanLocations locations, Clock &clock, DiskScanStop stop)
    : m_locations(std::move(locations)), m_clock(clock), m_state(std::make_shared<State>())
{
    m_state->stop = stop ? std::move(stop) : std::make_shared<std::atomic<bool>>(false);
}

void CacheAndDownloadsSearcher::findCacheAndDownloadsWithDelegate(
    std::weak_ptr<CacheAndDownloadsSearcherDelegate> delegate)
{
    m_state->delegate = std::move(delegate);
    m_state->folders = {m_locations.caches.bytes(), m_locations.downloads.bytes(), m_locations.trash.bytes()};
    for (int slot = 0; slot < 3; ++slot) {
        MainQueue::after(
            std::int64_t{200} * (slot + 1),
            [state = m_state, slot]() { IdlePriority::start([state, slot]() { measure(state, slot); }); }, m_clock);
    }
}

void CacheAndDownloadsSearcher::measure(const std::shared_ptr<State> &state, int slot)
{
    if (state->stop->load()) return;
    const SizeCalculation::Measurement m = SizeCalculation::sharedInstance().measure(
        state->folders[static_cast<std::size_t>(slot)], true, state->stop.get());
    if (state->stop->load()) return;
    std::lock_guard lock(state->mutex);
    state->sizes[static_cast<std::size_t>(slot)] = m.bytes;
    // a folder that does not exist holds no junk; one that cannot be read is a gap
    if (m.unreadableFolders > 0 && ::access(state->folders[static_cast<std::size_t>(slot)].c_str(), F_OK) == 0)
        state->unreadableFolders += m.unreadableFolders;
    tryToNotifyDelegate(state);
}

void CacheAndDownloadsSearcher::tryToNotifyDelegate(const std::shared_ptr<State> &state)
{
    if (state->delegate.expired()) return;
    for (const auto &size : state->sizes)
        if (!size) return;
    QVariantMap dict;
    dict.insert(QLatin1StringView(DiskScanKeys::kCachesSize), QVariant::fromValue(*state->sizes[0]));
    dict.insert(QLatin1StringView(DiskScanKeys::kDownloadsSize), QVariant::fromValue(*state->sizes[1]));
    dict.insert(QLatin1StringView(DiskScanKeys::kTrashSize), QVariant::fromValue(*state->sizes[2]));
    if (state->unreadableFolders > 0)
        dict.insert(QLatin1StringView(DiskScanKeys::kUnreadableFolders), QVariant::fromValue(state->unreadableFolders));
    MainQueue::async([delegate = state->delegate, dict]() {
        if (const auto alive = delegate.lock()) alive->onCacheAndDownloadsSearcherDoneWithDict(dict);
    });
}

} // namespace lurkel
