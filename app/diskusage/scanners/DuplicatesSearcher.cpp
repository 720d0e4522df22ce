#include "DuplicatesSearcher.h"

#include "ContentHasher.h"
#include "DiskScanTypes.h"
#include "IdlePriority.h"
#include "Log.h"
#include "MainQueue.h"
#include "PromoSettings.h"

namespace lurkel {

// What a worker hands back reaches the searcher only while it exists.
struct DuplicatesSearcher::State {
    DuplicatesSearcher *searcher = nullptr; // main thread only
};

DuplicatesSearcher::DuplicatesSearcher(DiskScanLocations locations, DiskScanStop stop)
    : m_locations(std::move(locations)), m_stop(stop ? std::move(stop) : std::make_shared<std::atomic<bool>>(false)),
      m_state(std::make_shared<State>())
{
    m_state->searcher = this;
}

DuplicatesSearcher::~DuplicatesSearcher()
{
    m_state->searcher = nullptr;
}

void DuplicatesSearcher::findDuplicatesWithDelegate(std::weak_ptr<DuplicatesSearcherDelegate> delegate)
{
    m_pDelegate = std::move(delegate);
    startSearchWithSizeLimil(kFirstPassLimit);
}

void DuplicatesSearcher::startSearchWithSizeLimil(std::uint64_t limit)
{
    ++m_passes;
    m_pMetadataQuery = std::make_unique<MetadataQuery>();
    MetadataQuery::Predicate predicate;
    predicate.sizeAbove = limit;
    if (limit != kFirstPassLimit) predicate.sizeBelow = kFirstPassLimit;
    m_pMetadataQuery->setPredicate(predicate);
    m_pMetadataQuery->setSearchScopes({m_locations.home.bytes()});
    m_pMetadataQuery->setSkipsHiddenNames(true);
    if (!m_pMetadataQuery->startQuery([this]() { endSearching(); })) endSearching();
}

void DuplicatesSearcher::endSearching()
{
    std::vector<MetadataItem> found = m_pMetadataQuery ? m_pMetadataQuery->results() : std::vector<MetadataItem>{};
    if (!m_arrOneMB) {
        m_arrOneMB = found;
        evaluate(std::move(found));
    } else if (m_arrFiftyKB) {
        return; // a late notice
    } else {
        m_arrFiftyKB = *m_arrOneMB;
        m_arrFiftyKB->insert(m_arrFiftyKB->end(), found.begin(), found.end());
        // the second pass's sizes lie below the first's: the groups of the first stay as they were
        evaluate(std::move(found));
    }
}

std::vector<DuplicateGroups::Group> DuplicatesSearcher::findDuplicatesInFiles(const std::vector<MetadataItem> &files,
                                                                              const std::atomic<bool> *stop)
{
    DuplicateGroups groups;
    for (const MetadataItem &item : files)
        groups.addObject(item);
    return ContentHasher::confirm(groups.candidateGroups(), stop);
}

void DuplicatesSearcher::evaluate(std::vector<MetadataItem> files)
{
    IdlePriority::start([files = std::move(files), state = m_state, stop = m_stop]() {
        std::vector<DuplicateGroups::Group> groups = findDuplicatesInFiles(files, stop.get());
        if (stop->load()) return;
        MainQueue::async([state, groups = std::move(groups)]() mutable {
            if (state->searcher != nullptr) state->searcher->evaluated(std::move(groups));
        });
    });
}

void DuplicatesSearcher::evaluated(std::vector<DuplicateGroups::Group> groups)
{
    if (m_arrFiftyKB) {
        groups.insert(groups.begin(), m_firstPassGroups.begin(), m_firstPassGroups.end());
    } else {
        m_firstPassGroups = groups;
    }
    std::uint64_t size = 0;
    std::uint64_t count = 0;
    DuplicateGroups::calculateTotalSizeOfDuplicates(groups, &size, &count);
    if (!m_arrFiftyKB && size < kEnoughDuplicates) {
        startSearchWithSizeLimil(kSecondPassLimit);
        return;
    }
    const bool log = PromoSettings::IS_NEED_SHOW_CALCULATION_LOG();
    QVariantList list;
    for (const DuplicateGroups::Group &group : groups) {
        QVariantList paths;
        QString message = QStringLiteral("D: %1\n").arg(group.size);
        for (const std::string &path : group.paths) {
            paths.append(QByteArray::fromStdString(path));
            if (log) message += BytePath(path).displayString() + QLatin1Char('\n');
        }
        if (log) qCInfo(lcDiskUsage).noquote() << message;
        QVariantMap entry;
        entry.insert(QLatin1StringView(DiskScanKeys::kSize), QVariant::fromValue(group.size));
        entry.insert(QLatin1StringView(DiskScanKeys::kPaths), paths);
        list.append(entry);
    }
    QVariantMap dict;
    dict.insert(QLatin1StringView(DiskScanKeys::kSize), QVariant::fromValue(size));
    dict.insert(QLatin1StringView(DiskScanKeys::kCount), QVariant::fromValue(count));
    dict.insert(QLatin1StringView(DiskScanKeys::kGroups), list);
    if (const auto delegate = m_pDelegate.lock()) delegate->onDuplicatesSearcherDoneWithDict(dict);
}

} // namespace lurkel
