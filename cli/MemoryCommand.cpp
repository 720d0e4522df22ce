#include "MemoryCommand.h"

#include "ArgumentParser.h"
#include "Interrupt.h"
#include "MemoryController.h"
#include "MemoryStatistics.h"
#include "PurgeManager.h"
#include "VolumeName.h"

#include <QEventLoop>

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

int purge(PurgeManager &manager, MemoryStatistics &statistics, CommandIO &io)
{
    Figures before;
    if (!readFigures(statistics, before, io)) return kExitFailure;
    if (Interrupt::requested()) return kExitInterrupted;

    ProgressBar bar(io);
    PurgeManagerDelegate *const previousDelegate = manager.delegate();
    manager.setDelegate(&bar);
    // Ctrl-C stops the allocation; the purge still releases everything and ends.
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
    bool failed = false; // no pressure could be made at all
    if (report.blocksAllocated == 0) {
        using Stop = PurgeManager::Report::Stop;
        switch (report.stop) {
        case Stop::Budget:
        case Stop::Floor:
        case Stop::CgroupFloor:
            io.err << "lurkelctl: nothing was allocated: less than " << sizeText(report.floorBytes)
                   << " would have stayed available\n";
            break;
        case Stop::StatisticsUnreadable:
            io.err << "lurkelctl: nothing was allocated: the memory figures could not be read\n";
            failed = true;
            break;
        case Stop::MapFailed:
            io.err << "lurkelctl: nothing was allocated: the system refused to map memory\n";
            failed = true;
            break;
        case Stop::Completed:
        case Stop::Cancelled:
            break;
        }
    }

    Figures after;
    if (!readFigures(statistics, after, io)) return kExitFailure;
    // Only memory that became free counts; less free memory afterwards means nothing freed.
    const std::uint64_t freed = after.free > before.free ? after.free - before.free : 0;
    io.out << "Freed: " << sizeText(freed) << " (" << freed << " bytes)\n";
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
           "  --purge    free memory once: map and touch memory in 10 MiB blocks until the\n"
           "             system has given up caches and idle pages, then release them, and\n"
           "             print how much more memory is available than before (\"0 bytes\"\n"
           "             when nothing measurable was freed). The purge never leaves less\n"
           "             than max(5 % of the memory, 512 MiB) available, also within the\n"
           "             process's control group. Ctrl-C stops it cleanly (status 130).\n";
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
        return purge(manager, statistics, io);
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
