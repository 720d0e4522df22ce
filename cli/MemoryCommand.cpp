#include "MemoryCommand.h"

#include "ArgumentParser.h"
#include "Interrupt.h"
#include "MemoryController.h"
#include "MemoryStatistics.h"
#include "PurgeManager.h"
#include "VolumeName.h"

#include <QEventLoop>

#include <cerrno>
#include <cstring>
#include <ostream>

namespace lurkel::cli {
namespace {

struct Figures {
    std::uint64_t used = 0;
    std::uint64_t free = 0;
    std::uint64_t total = 0;
    std::string percent;
};

bool readFigures(MemoryStatistics &statistics, Figures &figures, CommandIO &io)
{
    MemoryStatistics::Record record;
    if (const int result = statistics.read(record); result != 0) {
        io.err << "lurkelctl: cannot read " << statistics.path().bytes() << ": " << std::strerror(result) << "\n";
        return false;
    }
    const MemoryInfoPanel::UsedMemory usage = MemoryController::usedMemoryFor(record, MemoryStatistics::pageSize());
    figures.used = usage.usedSize;
    figures.total = usage.totalSize;
    figures.free = usage.totalSize - usage.usedSize;
    figures.percent = usage.percentText.toStdString();
    return true;
}

std::string sizeText(std::uint64_t bytes)
{
    return VolumeName::stringFromSize(static_cast<std::int64_t>(bytes)).toStdString();
}

void printSize(CommandIO &io, const char *label, std::uint64_t bytes)
{
    io.out << label << sizeText(bytes) << " (" << bytes << " bytes)\n";
}

// Draws the purge's progress on standard error when a person watches it.
class ProgressBar final : public PurgeManagerDelegate {
public:
    explicit ProgressBar(CommandIO &io) : m_io(io) {}

    void onPurgeManagerPurgingProgress(float progress) override
    {
        if (!m_io.stderrIsTerminal) return;
        const int percent = static_cast<int>(progress * 100.0f + 0.5f);
        if (percent == m_lastPercent) return;
        m_lastPercent = percent;
        const int filled = percent * kWidth / 100;
        m_io.err << "\rFreeing memory [" << std::string(static_cast<std::size_t>(filled), '#')
                 << std::string(static_cast<std::size_t>(kWidth - filled), '-') << "] "
                 << (percent < 10    ? "  "
                     : percent < 100 ? " "
                                     : "")
                 << percent << "%" << std::flush;
    }

    void finish()
    {
        if (m_lastPercent >= 0) m_io.err << "\n";
    }

private:
    static constexpr int kWidth = 30;
    CommandIO &m_io;
    int m_lastPercent = -1;
};

// How the pass went about it, in one line after the outcome.
std::string howText(const PurgeManager::Report &report)
{
    using Method = PurgePlan::Method;
    const PurgePlan &plan = report.plan;
    switch (plan.method) {
    case Method::Reclaim: {
        std::string text = "Asked the kernel to reclaim " + sizeText(report.reclaimWritten) + " of " +
                           sizeText(plan.reclaimBytes) + " inactive file cache in " + report.reclaimGroup.bytes();
        if (report.reclaimError == EAGAIN) text += " (it found less to take)";
        return text + "\n";
    }
    case Method::Pressure:
        return "Made memory pressure with " + std::to_string(report.blocksAllocated) + " of " +
               std::to_string(report.blocksRequested) + " blocks of 10 MiB (at most " + sizeText(plan.allocationBound) +
               ")\n";
    case Method::Nothing:
        break;
    }
    if (report.stop != PurgeManager::Report::Stop::NothingToTake) return {};
    return "Free memory " + sizeText(report.memFreeAtStart) + ", reclaimable caches " +
           sizeText(plan.reclaimableCaches) + ": no pressure made, nothing allocated\n";
}

int purge(PurgeManager &manager, CommandIO &io)
{
    if (Interrupt::requested()) return kExitInterrupted;

    ProgressBar bar(io);
    PurgeManagerDelegate *const previousDelegate = manager.delegate();
    manager.setDelegate(&bar);
    // Ctrl-C stops the pass; it still releases everything and ends.
    const Interrupt::Token token = Interrupt::onInterrupt([&manager] { manager.cancel(); });
    QEventLoop loop;
    bool done = false;
    const bool started = manager.purgeWithCompletion([&done, &loop] {
        done = true;
        loop.quit();
    });
    if (started && !done) loop.exec();
    Interrupt::remove(token);
    manager.setDelegate(previousDelegate);
    bar.finish();
    if (!started) {
        io.err << "lurkelctl: a purge is already running\n";
        return kExitFailure;
    }

    const PurgeManager::Report report = manager.lastReport();
    using Stop = PurgeManager::Report::Stop;
    bool failed = false; // the pass could not be made at all
    switch (report.stop) {
    case Stop::StatisticsUnreadable:
        if (report.blocksAllocated == 0) {
            io.err << "lurkelctl: nothing was done: the memory figures could not be read\n";
            failed = true;
        }
        break;
    case Stop::MapFailed:
        if (report.blocksAllocated == 0) {
            io.err << "lurkelctl: nothing was allocated: the system refused to map memory\n";
            failed = true;
        }
        break;
    case Stop::ReclaimRefused:
        io.err << "lurkelctl: " << report.reclaimGroup.bytes()
               << "/memory.reclaim refused the request: " << std::strerror(report.reclaimError) << "\n";
        failed = report.reclaimWritten == 0;
        break;
    default:
        break;
    }

    io.out << MemoryController::purgeOutcomeText(report.freedBytes).toStdString() << "\n";
    io.out << howText(report);
    if (Interrupt::requested()) {
        io.err << "lurkelctl: purge interrupted\n";
        return kExitInterrupted;
    }
    return failed ? kExitFailure : kExitSuccess;
}

} // namespace

std::string MemoryCommand::help()
{
    return "Shows the used, free and total memory and the used percentage, as the panel\n"
           "shows them (free is what the kernel reports as available).\n"
           "\n"
           "  --purge    free memory once, as the panel's Cleanup does, and print what\n"
           "             happened: \"Freed 310 MB of cache\", or that there was nothing to free,\n"
           "             and how. Where a control group above this process has a writable\n"
           "             memory.reclaim, it asks the kernel there for at most the group's\n"
           "             inactive file cache and allocates nothing. Otherwise it makes memory\n"
           "             pressure only when the caches are worth it (free memory below both the\n"
           "             reclaimable caches and a quarter of the memory), mapping at most free\n"
           "             memory plus those caches minus a floor of max(5 % of the memory,\n"
           "             512 MiB), and never leaving less than the floor available, also within\n"
           "             the process's control group. It takes seconds. What was freed is how\n"
           "             much MemFree grew. Ctrl-C stops it cleanly (status 130).\n";
}

void MemoryCommand::registerIn(CommandLine &commandLine)
{
    registerIn(commandLine, Sources{});
}

void MemoryCommand::registerIn(CommandLine &commandLine, Sources sources)
{
    const CommandLine *frame = &commandLine;
    commandLine.add(Command{"memory", "memory [--purge]", "show memory use, or free memory with --purge", help(),
                            [frame, sources](const std::vector<std::string> &args, CommandIO &io) {
                                return run(*frame, args, io, sources);
                            }});
}

int MemoryCommand::run(const CommandLine &commandLine, const std::vector<std::string> &args, CommandIO &io,
                       const Sources &sources)
{
    ArgumentParser parser;
    parser.flag("--purge");
    if (!parser.parse(args)) return commandLine.usageError(io, "memory: " + parser.error());
    if (!parser.positional().empty()) return commandLine.usageError(io, "memory takes no arguments");

    MemoryStatistics statistics(sources.meminfoPath);
    if (parser.has("--purge")) {
        PurgeManager &manager = sources.purgeManager != nullptr ? *sources.purgeManager : PurgeManager::GetInstance();
        return purge(manager, io);
    }

    Figures figures;
    if (!readFigures(statistics, figures, io)) return kExitFailure;
    printSize(io, "Used:  ", figures.used);
    printSize(io, "Free:  ", figures.free);
    printSize(io, "Total: ", figures.total);
    io.out << "Used percentage: " << figures.percent << "\n";
    return kExitSuccess;
}

} // namespace lurkel::cli
