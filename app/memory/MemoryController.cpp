#include "MemoryController.h"

#include "Extra.h"
#include "Localized.h"
#include "Log.h"
#include "SettingsKeys.h"
#include "VolumeName.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace lurkel {
namespace {

namespace Keys = SettingsKeys;

constexpr double kDefaultUsageLimit = 0.8;
constexpr int kDefaultFrequency = 1;
constexpr std::int64_t kCheckIntervalMs = 1000;

// The reference date of m_tLastFreeTime.
QDateTime referenceDate()
{
    return QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
}

// Fills the "%@" placeholders of a template in order.
QString fillTemplate(QString text, std::initializer_list<QString> values)
{
    qsizetype from = 0;
    for (const QString &value : values) {
        const qsizetype at = text.indexOf(QStringLiteral("%@"), from);
        if (at < 0) break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

QString panelText(const char *key, const char *defaultText)
{
    return Localized::string(QStringLiteral("PanelWindow"), QString::fromLatin1(key), QString::fromLatin1(defaultText));
}

QString cleanupTitle()
{
    return panelText("Clean_up_memory_button", "Cleanup");
}

QString cleaningTitle()
{
    return panelText("Clean_up_memory_button_stateCleaning", "Cleaning") + QStringLiteral("...");
}

// A usage limit read from the settings: a fraction 0..1 (anything else falls back).
double usableLimit(double value)
{
    if (!std::isfinite(value)) return kDefaultUsageLimit;
    return std::clamp(value, 0.0, 1.0);
}

int frequencyIndexFrom(std::int64_t value)
{
    return static_cast<int>(
        std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Any index other than 0 and 2 means "normally".
int tableIndex(int index)
{
    return index == 0 || index == 2 ? index : 1;
}

} // namespace

MemoryController::MemoryController(Settings settings, PurgeManager &purgeManager, Clock &clock, BytePath meminfoPath)
    : m_settings(settings), m_purgeManager(purgeManager), m_clock(clock), m_statistics(std::move(meminfoPath)),
      m_npagesize(MemoryStatistics::pageSize())
{}

MemoryController::~MemoryController()
{
    m_checkCall.cancel();
    if (m_purgeManager.delegate() == this) m_purgeManager.setDelegate(nullptr);
}

// ---- start

void MemoryController::initValues()
{
    // Automatic freeing never survives a restart.
    m_settings.saveBoolValueForKey(false, Keys::kAutoFree);
    if (m_settings.getBoolValueForKeyWithDefaultValue(Keys::kInitialized, false)) {
        m_bPrefPurgeAfterHugeAppQuit =
            m_settings.getBoolValueForKeyWithDefaultValue(Keys::kPurgeAfterHugeAppQuit, true);
        m_bShowInfo = m_settings.getBoolValueForKeyWithDefaultValue(Keys::kShowInfo, true);
        m_bAutoFree = m_settings.getBoolValueForKeyWithDefaultValue(Keys::kAutoFree, false);
        m_nFreq =
            frequencyIndexFrom(m_settings.getIntegerValueForKeyWithDefaultValue(Keys::kFrequency, kDefaultFrequency));
        m_dUsageLimit =
            usableLimit(m_settings.getDoubleValueForKeyWithDefaultValue(Keys::kUsageLimit, kDefaultUsageLimit));
    } else {
        m_bPrefPurgeAfterHugeAppQuit = true;
        m_bShowInfo = true;
        m_bAutoFree = false;
        m_nFreq = kDefaultFrequency;
        m_dUsageLimit = kDefaultUsageLimit;
        m_settings.saveBoolValueForKey(m_bPrefPurgeAfterHugeAppQuit, Keys::kPurgeAfterHugeAppQuit);
        m_settings.saveBoolValueForKey(m_bShowInfo, Keys::kShowInfo);
        m_settings.saveBoolValueForKey(m_bAutoFree, Keys::kAutoFree);
        m_settings.saveIntegerValueForKey(m_nFreq, Keys::kFrequency);
        m_settings.saveDoubleValueForKey(m_dUsageLimit, Keys::kUsageLimit);
        m_settings.saveBoolValueForKey(true, Keys::kInitialized);
    }
    m_dCPULimit = 0.2;
    initPurgeFreq();

    m_npagesize = MemoryStatistics::pageSize();
    m_bChecked = false;
    m_tLastFreeTime = static_cast<double>(referenceDate().msecsTo(m_clock.currentDateTime())) / 1000.0;
    updateLastFreeLabel();
}

void MemoryController::setShowInfo(bool show)
{
    m_bShowInfo = show;
    m_settings.saveBoolValueForKey(show, Keys::kShowInfo);
}

QDateTime MemoryController::lastFreeTime() const
{
    return referenceDate().addMSecs(static_cast<qint64>(std::llround(m_tLastFreeTime * 1000.0)));
}

// ---- figures

int MemoryController::updateMemoryStatictics()
{
    return m_statistics.read(m_vmstat64);
}

std::uint64_t MemoryController::calculateTotalSize() const
{
    return m_vmstat64.memTotal;
}

std::uint64_t MemoryController::calculateTotalPages() const
{
    return calculateTotalSize() / m_npagesize;
}

std::uint64_t MemoryController::calculateUsedPages() const
{
    return m_vmstat64.usedBytes() / m_npagesize;
}

std::uint64_t MemoryController::calculateFreePages() const
{
    const std::uint64_t total = calculateTotalPages();
    const std::uint64_t used = calculateUsedPages();
    return used < total ? total - used : 0;
}

std::uint64_t MemoryController::calculateFreeSize() const
{
    return calculateFreePages() * m_npagesize;
}

MemoryInfoPanel::UsedMemory MemoryController::usedMemoryFor(const MemoryStatistics::Record &record,
                                                            std::uint32_t pageSize)
{
    MemoryInfoPanel::UsedMemory usage;
    if (pageSize == 0) return usage;
    const std::uint64_t totalPages = record.memTotal / pageSize;
    const std::uint64_t usedPages = std::min(record.usedBytes() / pageSize, totalPages);
    const std::uint64_t freeSize = (totalPages - usedPages) * pageSize;
    usage.usedSize = usedPages * pageSize;
    usage.totalSize = freeSize + usage.usedSize;
    usage.usedFraction = totalPages > 0 ? static_cast<double>(usedPages) / static_cast<double>(totalPages) : 0.0;
    usage.levelValue =
        usage.totalSize > 0 ? static_cast<double>(usage.usedSize) / static_cast<double>(usage.totalSize) : 0.0;
    usage.percentText = usedPercentText(usage.usedFraction);
    usage.usedText = fillTemplate(panelText("Used_memory_template", "%@ used of %@"),
                                  {VolumeName::stringFromSize(static_cast<std::int64_t>(usage.usedSize)),
                                   VolumeName::stringFromSize(static_cast<std::int64_t>(usage.totalSize))});
    return usage;
}

QString MemoryController::usedPercentText(double fraction)
{
    return QString::asprintf("%2.0f%c", fraction * 100.0, '%');
}

QString MemoryController::cleanedMemoryText(std::int64_t size)
{
    if (size <= 0) return {};
    return fillTemplate(panelText("Freed_memory_template", "Freed %@ of cache"), {VolumeName::stringFromSize(size)});
}

QString MemoryController::nothingFreedText()
{
    return panelText("Nothing_freed_memory", "Nothing to free: the memory in use belongs to running applications");
}

QString MemoryController::purgeOutcomeText(std::uint64_t freed)
{
    return freed > 0 ? cleanedMemoryText(static_cast<std::int64_t>(freed)) : nothingFreedText();
}

// ---- the one-second check

void MemoryController::checkMemory(bool repeat)
{
    // The figures keep moving during a purge too: its work is on the manager's threads.
    if ((m_panel != nullptr && m_panel->shouldUpdateTrackedSystemInfo()) || !m_bChecked) {
        const int result = updateMemoryStatictics();
        if (result != 0) {
            // The figures stay as last shown and the check ends for this run.
            logFailure(lcMemory, "updateMemoryStatictics", Error::posix(result, m_statistics.path().displayString()));
            return;
        }
        fillInfoPanel();
        if (m_statusItemUpdate) m_statusItemUpdate();
        updateLastFreeLabel();
        m_bChecked = true;
        checkAutoPurge();
    }
    if (repeat) scheduleCheckMemory(true, kCheckIntervalMs);
}

void MemoryController::scheduleCheckMemory(bool repeat, std::int64_t delayMs)
{
    m_checkCall.cancel();
    m_checkCall = MainQueue::after(
        delayMs, [this, repeat] { checkMemory(repeat); }, m_clock);
}

void MemoryController::checkAutoPurge()
{
    // Automatic freeing is reset to off at every start and is not acted on.
}

void MemoryController::fillInfoPanel()
{
    if (m_panel == nullptr) return;
    m_panel->fillInfoPanelWithUsedMemoryPercent(usedMemoryFor(m_vmstat64, m_npagesize));
}

void MemoryController::updateLastFreeLabel()
{
    if (m_panel == nullptr) return;
    MemoryInfoPanel::LastCleaned lastCleaned;
    lastCleaned.timeDescription = Extra::timeDescriptionIfSameDay(lastFreeTime(), m_clock.currentDateTime());
    lastCleaned.size = m_tLastFreeTime > 0 ? m_lLastPurgedSize : -1;
    lastCleaned.text = m_bLastPurgeFreedNothing ? nothingFreedText() : cleanedMemoryText(lastCleaned.size);
    m_panel->fillLastCleanedLabelWithSize(lastCleaned);
}

// ---- purge

void MemoryController::onFreeMemory()
{
    if (m_bPurging) return;
    if (m_btnFree != nullptr) m_btnFree->beginProgressUpdate();
    m_bPurging = true;
    if (m_btnFree != nullptr) {
        m_btnFree->setEnabled(false);
        m_btnFree->setTitle(cleaningTitle());
    }
    if (updateMemoryStatictics() == 0) fillInfoPanel();
    // The manager's own threads do the work; starting it takes no time.
    onTaskPurge();
}

void MemoryController::onTaskPurge()
{
    m_purgeManager.setDelegate(this);
    const std::weak_ptr<int> alive = m_alive;
    const bool started = m_purgeManager.purgeWithCompletion([this, alive] {
        MainQueue::async([this, alive] {
            if (alive.lock()) notifyPurged(true);
        });
    });
    if (!started) {
        // Another purge of this process is running: end this one at once, freeing nothing.
        MainQueue::async([this, alive] {
            if (alive.lock()) notifyPurged(false);
        });
    }
}

void MemoryController::notifyPurged(bool success)
{
    m_bPurging = false;
    if (m_btnFree != nullptr) {
        m_btnFree->setEnabled(true);
        m_btnFree->setTitle(cleanupTitle());
        m_btnFree->endProgressUpdate();
    }
    if (success) {
        // The manager measured the pass itself, from its start to its end.
        const PurgeManager::Report report = m_purgeManager.lastReport();
        using Stop = PurgeManager::Report::Stop;
        if (report.freedBytes > 0) {
            m_bLastPurgeFreedNothing = false;
            m_lLastPurgedSize = static_cast<std::int64_t>(report.freedBytes);
            m_tLastFreeTime = static_cast<double>(referenceDate().msecsTo(m_clock.currentDateTime())) / 1000.0;
            updateLastFreeLabel();
            m_settings.setCleanedSize(m_settings.cleanedSize() + report.freedBytes);
            if (m_panel != nullptr) m_panel->onPurgedMemory();
        } else if (report.stop != Stop::StatisticsUnreadable && report.stop != Stop::ReclaimRefused) {
            // Said plainly rather than left blank; no figure or total changes.
            m_bLastPurgeFreedNothing = true;
            updateLastFreeLabel();
        }
    }
    checkMemory(false);
}

void MemoryController::onPurgeManagerPurgingProgress(float progress)
{
    if (m_btnFree != nullptr) m_btnFree->setProgess(progress);
}

// ---- automatic-freeing settings

MemoryController::PurgeInterval MemoryController::builtInPurgeInterval(int index)
{
    switch (tableIndex(index)) {
    case 0:
        return {28800, QStringLiteral("8 hours")};
    case 2:
        return {7200, QStringLiteral("2 hours")};
    default:
        return {14400, QStringLiteral("4 hours")};
    }
}

int MemoryController::frequencyIndex() const
{
    return tableIndex(m_nFreq);
}

void MemoryController::initPurgeFreq()
{
    const QString keys[3] = {Keys::kPurgeFrequencyRarely, Keys::kPurgeFrequencyNormally, Keys::kPurgeFrequencyOften};
    std::int64_t intervals[3] = {};
    for (int i = 0; i < 3; ++i) {
        // An override counts only when it holds a number.
        intervals[i] = m_settings.getIntegerValueForKeyWithDefaultValue(keys[i], builtInPurgeInterval(i).seconds);
    }
    m_lPurgeFreq = intervals[tableIndex(m_nFreq)];
}

void MemoryController::onPrefAutoFree(bool on)
{
    m_bAutoFree = on;
    if (m_preferences != nullptr) m_preferences->setAutoFreeControlsEnabled(on);
    m_settings.saveBoolValueForKey(on, Keys::kAutoFree);
    updatePrefDesc();
}

void MemoryController::onPrefMemUsage(double value)
{
    m_dUsageLimit = usableLimit(value);
    updatePrefDesc();
    m_settings.saveDoubleValueForKey(m_dUsageLimit, Keys::kUsageLimit);
}

void MemoryController::onPrefFreq(int index)
{
    m_nFreq = index;
    initPurgeFreq();
    updatePrefDesc();
    m_settings.saveIntegerValueForKey(m_nFreq, Keys::kFrequency);
}

void MemoryController::onPrefPurgeAfterHugeApplicationQuit(bool on)
{
    m_bPrefPurgeAfterHugeAppQuit = on;
    m_settings.saveBoolValueForKey(on, Keys::kPurgeAfterHugeAppQuit);
}

void MemoryController::updatePrefDesc()
{
    if (m_preferences != nullptr) m_preferences->setPrefDescText(prefDescription());
}

QString MemoryController::prefDescription() const
{
    if (!m_bAutoFree) return QStringLiteral("*Check on to free up system memory automatically.");
    const int percent = static_cast<int>(m_dUsageLimit * 100.0); // truncated: 0.57 reads 56
    return QStringLiteral("*Free up automatically every %1 if memory is used on %2% and if CPU usage is less than 20%.")
        .arg(builtInPurgeInterval(m_nFreq).word, QString::number(percent));
}

} // namespace lurkel
