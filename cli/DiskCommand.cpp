#include "DiskCommand.h"
#include "ProgressLine.h"

#include "ArgumentParser.h"
#include "DiskScanTypes.h"
#include "InterruptGuard.h"
#include "SearchCommand.h"
#include "SearcherManager.h"
#include "SizeCalculationTask.h"
#include "TerminalText.h"
#include "UserDefaults.h"
#include "VolumeName.h"

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace lurkel::cli {
namespace {

constexpr int kProgressIntervalMs = 100;

struct TypeName {
    const char *word;  // on the command line
    const char *label; // in the table
    const char *json;  // the JSON member
};
constexpr std::array<TypeName, 4> kTypes{{
    {"junk", "Junk", "junk"},
    {"apps", "Applications", "applications"},
    {"large", "Large and old", "largeAndOld"},
    {"duplicates", "Duplicates", "duplicates"},
}};

std::string sizeText(std::uint64_t bytes)
{
    return VolumeName::stringFromSize(static_cast<std::int64_t>(bytes)).toStdString();
}

std::string padded(std::string text, std::size_t width)
{
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string isoDate(std::int64_t seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate).toStdString();
}

class Collector final : public SpotlightManagerDelegate {
public:
    void onSpotlightManagerFoundJunkFilesInfo(const JunkFilesViewInfo &) override { arrived(kScanTypeJunk); }
    void onSpotlightManagerFoundDuplicatesInfo(const DuplicateFilesViewInfo &) override
    {
        arrived(kScanTypeDuplicates);
    }
    void onSpotlightManagerFoundLargetAndOldFilesInfo(const LargeAndOldFilesViewInfo &) override
    {
        arrived(kScanTypeLargeAndOld);
    }
    void onSpotlightManagerFoundApplicationsInfo(const ApplicationsUnusedViewInfo &) override
    {
        arrived(kScanTypeApplications);
    }
    std::array<bool, 4> done{};
    std::function<void()> changed;

private:
    void arrived(int type)
    {
        done[static_cast<std::size_t>(type)] = true;
        if (changed) changed();
    }
};

void writeTextLine(CommandIO &io, int type, const QVariantMap &dict)
{
    const TypeName &name = kTypes[static_cast<std::size_t>(type)];
    io.out << padded(std::string(name.label) + ":", 15);
    if (type == kScanTypeJunk) {
        const std::uint64_t caches = diskScanNumber(dict, DiskScanKeys::kCachesSize);
        const std::uint64_t downloads = diskScanNumber(dict, DiskScanKeys::kDownloadsSize);
        const std::uint64_t trash = diskScanNumber(dict, DiskScanKeys::kTrashSize);
        io.out << padded(sizeText(caches + downloads + trash), 11) << "caches " << sizeText(caches) << ", downloads "
               << sizeText(downloads) << ", Trash " << sizeText(trash) << '\n';
        return;
    }
    const std::uint64_t count = diskScanNumber(dict, DiskScanKeys::kCount);
    const char *unit =
        type == kScanTypeApplications ? (count == 1 ? "application" : "applications") : (count == 1 ? "file" : "files");
    io.out << padded(sizeText(diskScanNumber(dict, DiskScanKeys::kSize)), 11) << count << ' ' << unit << '\n';
}

void writeJsonType(CommandIO &io, int type, const QVariantMap &dict)
{
    std::ostream &out = io.out;
    if (type == kScanTypeJunk) {
        const std::uint64_t caches = diskScanNumber(dict, DiskScanKeys::kCachesSize);
        const std::uint64_t downloads = diskScanNumber(dict, DiskScanKeys::kDownloadsSize);
        const std::uint64_t trash = diskScanNumber(dict, DiskScanKeys::kTrashSize);
        out << "{\"cachesSize\":" << caches << ",\"downloadsSize\":" << downloads << ",\"trashSize\":" << trash
            << ",\"size\":" << caches + downloads + trash
            << ",\"unreadableFolders\":" << diskScanNumber(dict, DiskScanKeys::kUnreadableFolders) << '}';
        return;
    }
    out << "{\"size\":" << diskScanNumber(dict, DiskScanKeys::kSize)
        << ",\"count\":" << diskScanNumber(dict, DiskScanKeys::kCount);
    const auto path = [](const QVariant &value) {
        const QByteArray bytes = value.toByteArray();
        return SearchCommand::jsonValue(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    };
    if (type == kScanTypeDuplicates) {
        out << ",\"groups\":[";
        bool firstGroup = true;
        for (const QVariant &groupValue : dict.value(QLatin1StringView(DiskScanKeys::kGroups)).toList()) {
            const QVariantMap group = groupValue.toMap();
            out << (firstGroup ? "" : ",") << "{\"size\":" << diskScanNumber(group, DiskScanKeys::kSize)
                << ",\"paths\":[";
            bool firstPath = true;
            for (const QVariant &p : group.value(QLatin1StringView(DiskScanKeys::kPaths)).toList()) {
                out << (firstPath ? "" : ",") << path(p);
                firstPath = false;
            }
            out << "]}";
            firstGroup = false;
        }
        out << "]}";
        return;
    }
    out << (type == kScanTypeApplications ? ",\"applications\":[" : ",\"files\":[");
    bool first = true;
    for (const QVariant &entryValue : dict.value(QLatin1StringView(DiskScanKeys::kFiles)).toList()) {
        const QVariantMap entry = entryValue.toMap();
        out << (first ? "" : ",") << "{\"path\":" << path(entry.value(QLatin1StringView(DiskScanKeys::kPath)))
            << ",\"size\":" << diskScanNumber(entry, DiskScanKeys::kSize);
        if (entry.contains(QLatin1StringView(DiskScanKeys::kLastUsed)))
            out << ",\"lastUsed\":\"" << isoDate(entry.value(QLatin1StringView(DiskScanKeys::kLastUsed)).toLongLong())
                << '"';
        out << '}';
        first = false;
    }
    out << "]}";
}

int runScans(const std::vector<int> &types, bool json, CommandIO &io)
{
    auto manager = SearcherManager::create(UserDefaults::standardUserDefaults());
    auto collector = std::make_shared<Collector>();
    QEventLoop loop;
    const auto finished = [&]() {
        for (const int type : types)
            if (!collector->done[static_cast<std::size_t>(type)]) return false;
        return true;
    };
    collector->changed = [&]() {
        if (finished()) loop.quit();
    };
    ProgressLine progress(io);
    QTimer tick;
    tick.setInterval(kProgressIntervalMs);
    QObject::connect(&tick, &QTimer::timeout, [&]() {
        std::string text = "Measuring:";
        for (const int type : types)
            text += std::string(" ") + kTypes[static_cast<std::size_t>(type)].word +
                    (collector->done[static_cast<std::size_t>(type)] ? " done" : "...");
        progress.show(text);
    });
    InterruptGuard guard([&loop]() {
        QMetaObject::invokeMethod(
            &loop, [&loop]() { loop.quit(); }, Qt::QueuedConnection);
    });
    if (Interrupt::requested()) return kExitInterrupted;

    if (types.size() == 4) {
        manager->startSearchWithDelegate(collector, true);
    } else {
        manager->setDelegate(collector);
        manager->startSearchForType(types.front());
    }
    tick.start();
    if (!finished()) loop.exec();
    tick.stop();
    progress.clear();
    if (Interrupt::requested()) {
        manager->stopAllScans(); // so that the program ends now, not when the scans would have
        return kExitInterrupted;
    }

    std::uint64_t total = 0;
    if (json) io.out << '{';
    bool first = true;
    for (const int type : types) {
        const QVariantMap dict = manager->resultForType(type).value_or(QVariantMap());
        total += type == kScanTypeJunk ? diskScanNumber(dict, DiskScanKeys::kCachesSize) +
                                             diskScanNumber(dict, DiskScanKeys::kDownloadsSize) +
                                             diskScanNumber(dict, DiskScanKeys::kTrashSize)
                                       : diskScanNumber(dict, DiskScanKeys::kSize);
        if (json) {
            io.out << (first ? "" : ",") << '"' << kTypes[static_cast<std::size_t>(type)].json << "\":";
            writeJsonType(io, type, dict);
        } else {
            writeTextLine(io, type, dict);
        }
        first = false;
    }
    if (json) {
        io.out << ",\"total\":" << total << "}\n";
    } else if (types.size() > 1) {
        io.out << padded("Total:", 15) << sizeText(total) << '\n';
    }
    io.out.flush();
    return kExitSuccess;
}

int runSize(const std::string &folder, bool json, CommandIO &io)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        io.err << "lurkelctl: disk: cannot read " << quoteForTerminal(folder) << ": " << std::strerror(errno) << '\n';
        return kExitFailure;
    }
    if (!S_ISDIR(st.st_mode)) {
        io.err << "lurkelctl: disk: not a folder: " << quoteForTerminal(folder) << '\n';
        return kExitFailure;
    }
    SizeCalculationTask task(folder);
    std::atomic<bool> done{false};
    QEventLoop loop;
    QObject context;
    ProgressLine progress(io);
    QTimer tick;
    tick.setInterval(kProgressIntervalMs);
    QObject::connect(&tick, &QTimer::timeout,
                     [&]() { progress.show("Measured " + std::to_string(task.examinedEntries()) + " entries"); });
    InterruptGuard guard([&task]() { task.cancel(); });
    if (Interrupt::requested()) return kExitInterrupted;
    std::thread worker([&]() {
        task.calculate();
        done = true;
        QMetaObject::invokeMethod(
            &context, [&loop]() { loop.quit(); }, Qt::QueuedConnection);
    });
    tick.start();
    // At least one turn of the loop: the worker's quit always comes, and what was queued before
    // it (a Ctrl-C noticed meanwhile) is handled even when the measurement ends at once.
    do {
        loop.exec();
    } while (!done.load());
    worker.join();
    tick.stop();
    progress.clear();
    if (Interrupt::requested()) return kExitInterrupted;

    const std::uint64_t bytes = task.totalSize();
    if (json) {
        io.out << "{\"path\":" << SearchCommand::jsonValue(folder) << ",\"size\":" << bytes
               << ",\"complete\":" << (task.isComplete() ? "true" : "false")
               << ",\"unreadableFolders\":" << task.unreadableFolders() << "}\n";
    } else {
        io.out << sizeText(bytes) << " (" << bytes << " bytes)  " << quoteForTerminal(folder) << '\n';
    }
    io.out.flush();
    if (!task.isComplete()) {
        io.err << "lurkelctl: disk: " << task.unreadableFolders()
               << " folders could not be read; the size leaves them out\n";
        return kExitFailure;
    }
    return kExitSuccess;
}

} // namespace

std::string DiskCommand::help()
{
    return "Without a WHAT, measures the four disk-usage figures Lurkel's panel shows and prints\n"
           "them with a total; with one, only that one:\n"
           "  junk        the caches ($XDG_CACHE_HOME), the download folder and the Trash\n"
           "  apps        the applications you installed: Flatpak apps, AppImages, folders in\n"
           "              /opt, and Debian packages you asked for (not dependencies) that come\n"
           "              with a desktop entry; the system's own applications are left out\n"
           "  large       files over 20,000,000 bytes in your home folder and on mounted volumes\n"
           "              (/media/$USER, /run/media/$USER, /mnt) not used for 90 days (read or\n"
           "              written); names beginning with \".\" are left out\n"
           "  duplicates  files in your home folder (names beginning with \".\" left out) over\n"
           "              1 MiB, or over 50,000 bytes when those come to less than 100 MiB, whose\n"
           "              extension, size and content are the same; every copy counts\n"
           "  size FOLDER the space FOLDER takes on disk: allocated sizes, each file once however\n"
           "              many hard links it has, mounted file systems below it not entered\n"
           "\n"
           "Sizes are the allocated space on disk (for large and duplicates: the files' sizes).\n"
           "Nothing is deleted or moved.\n"
           "\n"
           "Options:\n"
           "  --json  print the figures as JSON with the exact bytes, and for apps, large and\n"
           "          duplicates the items themselves; a path that is not valid UTF-8 is written\n"
           "          as {\"bytes_b64\": \"...\"}\n"
           "\n"
           "On a terminal the progress is shown on standard error. Ctrl-C stops (exit status 130).\n"
           "Exit status: 0 success, 1 failure (for size: a folder below FOLDER could not be read,\n"
           "and the size leaves it out), 2 usage error, 130 interrupted.\n";
}

int DiskCommand::run(const CommandLine &commandLine, const std::vector<std::string> &args, CommandIO &io)
{
    ArgumentParser parser;
    parser.flag("--json");
    if (!parser.parse(args)) return commandLine.usageError(io, "disk: " + parser.error());
    const bool json = parser.has("--json");
    const std::vector<std::string> &positional = parser.positional();
    if (positional.empty())
        return runScans({kScanTypeJunk, kScanTypeApplications, kScanTypeLargeAndOld, kScanTypeDuplicates}, json, io);
    if (positional[0] == "size") {
        if (positional.size() != 2) return commandLine.usageError(io, "disk: size takes one FOLDER");
        if (positional[1].empty()) return commandLine.usageError(io, "disk: the folder is empty");
        return runSize(positional[1], json, io);
    }
    if (positional.size() != 1) return commandLine.usageError(io, "disk: too many arguments");
    for (std::size_t type = 0; type < kTypes.size(); ++type)
        if (positional[0] == kTypes[type].word) return runScans({static_cast<int>(type)}, json, io);
    return commandLine.usageError(io, "disk: unknown WHAT: " + positional[0] +
                                          " (use junk, apps, large, duplicates or size)");
}

void DiskCommand::registerIn(CommandLine &commandLine)
{
    const CommandLine *line = &commandLine;
    commandLine.add(Command{
        "disk", "disk [--json] [junk | apps | large | duplicates | size FOLDER]",
        "measure junk, applications, large and old files, duplicates, or a folder", help(),
        [line](const std::vector<std::string> &args, CommandIO &io) { return DiskCommand::run(*line, args, io); }});
}

} // namespace lurkel::cli
