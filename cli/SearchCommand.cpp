#include "SearchCommand.h"
#include "PosixFile.h"
#include "SearchFolder.h"

#include "ArgumentParser.h"
#include "BytePath.h"
#include "DirectoryWalker.h"
#include "Interrupt.h"
#include "InterruptGuard.h"
#include "SearchManager.h"
#include "TerminalText.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace lurkel::cli {
namespace {

constexpr int kCounterIntervalMs = 100;

struct Options {
    bool nul = false;
    bool json = false;
    bool count = false;
    unsigned mask = kSearchCategoryAll;
    std::string text;
    std::string pattern; // text as the walker gets it
    BytePath folder;
};

int failure(CommandIO &io, const std::string &message)
{
    io.err << "lurkelctl: search: " << message << '\n';
    io.err.flush();
    return kExitFailure;
}

std::optional<unsigned> parseFilter(const std::string &list, std::string &error)
{
    unsigned mask = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        const std::string word = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (word == "regular") {
            mask |= kSearchCategoryRegular;
        } else if (word == "hidden") {
            mask |= kSearchCategoryHidden;
        } else if (word == "package") {
            mask |= kSearchCategoryPackageContents;
        } else {
            error = "unknown category in --filter: '" + word + "' (use regular, hidden, package)";
            return std::nullopt;
        }
        if (comma == std::string::npos) return mask;
        start = comma + 1;
    }
}

// An absolute path without "." components, repeated or trailing separators. ".." stays as
// it is: resolving it by text would be wrong across symbolic links.
BytePath absoluteFolder(const std::string &argument)
{
    const std::string path = absolutePath(BytePath(argument)).bytes();
    std::string clean;
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/')
            ++i;
        const std::size_t end = std::min(path.find('/', i), path.size());
        const std::string_view part(path.data() + i, end - i);
        if (!part.empty() && part != ".") {
            clean.push_back('/');
            clean.append(part);
        }
        i = end;
    }
    return BytePath(clean.empty() ? std::string("/") : clean);
}

const char *categoryName(SearchCategory category)
{
    switch (category) {
    case kSearchCategoryHidden:
        return "hidden";
    case kSearchCategoryPackageContents:
        return "package";
    default:
        return "regular";
    }
}

void writeJsonItem(std::ostream &out, const SearchItem &item)
{
    const auto boolean = [](bool value) { return value ? "true" : "false"; };
    out << "{\"itemID\":" << item.itemID() << ",\"fileName\":" << SearchCommand::jsonValue(item.fileName())
        << ",\"filePath\":" << SearchCommand::jsonValue(item.filePath().bytes())
        << ",\"fullFileNameWithPath\":" << SearchCommand::jsonValue(item.fullFileNameWithPath().bytes())
        << ",\"enclosingFolderName\":" << SearchCommand::jsonValue(item.enclosingFolderName()) << ",\"fileType\":"
        << (item.fileType().isNull() ? std::string("null") : SearchCommand::jsonValue(item.fileType().toStdString()))
        << ",\"fileSize\":" << item.fileSize() << ",\"fileSizeIncomplete\":" << boolean(item.fileSizeIncomplete())
        << ",\"lastUsedDate\":";
    if (item.lastUsedDate().isValid()) {
        out << '"' << item.lastUsedDate().toUTC().toString(Qt::ISODateWithMs).toStdString() << '"';
    } else {
        out << "null";
    }
    out << ",\"fileHidden\":" << boolean(item.fileHidden())
        << ",\"fileInHiddenFolder\":" << boolean(item.fileInHiddenFolder())
        << ",\"filePackage\":" << boolean(item.filePackage()) << ",\"fileInPackage\":" << boolean(item.fileInPackage())
        << ",\"category\":\"" << categoryName(item.category()) << "\"}";
}

// After the results: one line on standard error for each folder that could not be read, and
// one for those counted beyond the list. Returns whether there were any.
bool reportUnreadable(CommandIO &io, const std::vector<UnreadableFolder> &folders, std::int64_t count)
{
    for (const UnreadableFolder &folder : folders)
        io.err << "lurkelctl: cannot read " << quoteForTerminal(folder.folder.bytes()) << ": "
               << std::strerror(folder.error) << '\n';
    const std::int64_t more = count - static_cast<std::int64_t>(folders.size());
    if (more > 0) io.err << "lurkelctl: " << more << " more folders could not be read\n";
    io.err.flush();
    return count > 0;
}

// The exit status once the results are out.
int finalStatus(CommandIO &io, const std::vector<UnreadableFolder> &folders, std::int64_t count)
{
    const bool unreadable = reportUnreadable(io, folders, count);
    if (Interrupt::requested()) return kExitInterrupted;
    return unreadable ? kExitFailure : kExitSuccess;
}

// "Found N / M" on standard error, only when a person watches it.
class LiveCounter {
public:
    explicit LiveCounter(CommandIO &io) : m_io(io) {}
    void show(std::int64_t found, std::int64_t examined)
    {
        if (!m_io.stderrIsTerminal) return;
        m_io.err << "\rFound " << found << " / " << examined << std::flush;
        m_shown = true;
    }
    void clear()
    {
        if (m_shown) m_io.err << "\r\033[K" << std::flush;
        m_shown = false;
    }

private:
    CommandIO &m_io;
    bool m_shown = false;
};

class CommandListener final : public SearchResultsListener {
public:
    void prepareForNewSearchResults() override {}
    void searchStarted() override {}
    void searchCompleted() override
    {
        completed = true;
        if (changed) changed();
    }
    void packageSizeArrived(const SearchItemPtr &) override
    {
        if (changed) changed();
    }

    bool completed = false;
    std::function<void()> changed;
};

// The search manager's search: classified items, printed as they arrive (paths) or at the
// end once the package sizes are in (JSON).
int runSearch(const Options &options, CommandIO &io)
{
    SearchManager manager;
    manager.setFilterMask(options.mask);
    auto listener = std::make_shared<CommandListener>();
    manager.setSearchResultDialog(listener);

    QEventLoop loop;
    const auto done = [&]() {
        return listener->completed &&
               (!options.json || Interrupt::requested() || manager.pendingPackageSizeCount() == 0);
    };
    listener->changed = [&]() {
        if (done()) loop.quit();
    };

    LiveCounter counter(io);
    std::size_t printed = 0;
    const auto printNewPaths = [&]() {
        const auto list = manager.getFilteredSearchResultArray();
        if (options.json || printed == list->size()) return;
        if (io.stdoutIsTerminal) counter.clear(); // the paths go to the same screen
        // A person reads quoted names; a pipe or a file gets the bytes (-0 always does).
        const bool quoted = io.stdoutIsTerminal && !options.nul;
        const char end = options.nul ? '\0' : '\n';
        for (; printed < list->size(); ++printed) {
            const SearchItem &item = *(*list)[printed];
            if (quoted) {
                io.out << quoteForTerminal(item.fullFileNameWithPath().bytes());
            } else {
                // the folder and the name as they are, without building the joined path
                const std::string_view folder = item.filePathBytes();
                const std::string_view name = item.fileName();
                io.out.write(folder.data(), static_cast<std::streamsize>(folder.size()));
                if (!folder.empty() && folder.back() != '/') io.out.put('/');
                io.out.write(name.data(), static_cast<std::streamsize>(name.size()));
            }
            io.out.put(end);
        }
        io.out.flush();
    };
    QTimer tick;
    tick.setInterval(kCounterIntervalMs);
    QObject::connect(&tick, &QTimer::timeout, [&]() {
        printNewPaths();
        counter.show(static_cast<std::int64_t>(manager.getFilteredSearchResultArray()->size()), manager.totalFiles());
    });

    InterruptGuard guard([&]() {
        manager.cancelSearchByButton();
        QMetaObject::invokeMethod(
            &loop,
            [&]() {
                if (done()) loop.quit();
            },
            Qt::QueuedConnection);
    });

    if (std::optional<Error> error = manager.performSearchWithTemplateBytesAndFolder(options.text, options.folder)) {
        return failure(io, error->localizedDescription().toStdString());
    }
    if (Interrupt::requested()) manager.cancelSearchByButton();
    if (!manager.isSearchRunning()) listener->completed = true;
    tick.start();
    if (!done()) loop.exec();
    tick.stop();
    counter.clear();

    if (options.json) {
        const auto list = manager.getFilteredSearchResultArray();
        io.out << '[';
        for (std::size_t i = 0; i < list->size(); ++i) {
            io.out << (i == 0 ? "\n" : ",\n");
            writeJsonItem(io.out, *(*list)[i]);
        }
        io.out << (list->empty() ? "]\n" : "\n]\n");
    } else {
        printNewPaths();
    }
    io.out.flush();
    return finalStatus(io, manager.unreadableFolders(), manager.unreadableFolderCount());
}

class CountingReceiver final : public walker::WalkerReceiver {
public:
    void fileFound(const walker::FoundEntry &) override { count.fetch_add(1, std::memory_order_relaxed); }
    void directoryUnreadable(std::string_view folder, int error) override
    {
        std::lock_guard lock(mutex);
        ++unreadableCount;
        if (unreadable.size() < SearchManager::kMaxUnreadableFoldersKept)
            unreadable.push_back(UnreadableFolder{BytePath(folder), error});
    }
    std::atomic<std::int64_t> count{0};
    std::mutex mutex;
    std::int64_t unreadableCount = 0; // under mutex, as the list
    std::vector<UnreadableFolder> unreadable;
};

// The walker alone: matches are counted, not classified.
int runCount(const Options &options, CommandIO &io)
{
    CountingReceiver receiver;
    QEventLoop loop;
    QObject context;
    bool finished = false;
    LiveCounter counter(io);
    QTimer tick;
    tick.setInterval(kCounterIntervalMs);
    QObject::connect(&tick, &QTimer::timeout,
                     [&]() { counter.show(receiver.count.load(), walker::scannedEntryCount()); });

    walker::resumeScan();
    InterruptGuard guard([]() { walker::cancelScan(); });
    if (Interrupt::requested()) return kExitInterrupted;

    std::thread scan([&]() {
        walker::runScan(options.folder.bytes(), options.pattern, receiver);
        QMetaObject::invokeMethod(
            &context,
            [&]() {
                finished = true;
                loop.quit();
            },
            Qt::QueuedConnection);
    });
    tick.start();
    while (!finished)
        loop.exec();
    scan.join();
    tick.stop();
    counter.clear();

    if (Interrupt::requested()) return kExitInterrupted;
    io.out << receiver.count.load() << '\n';
    io.out.flush();
    std::lock_guard lock(receiver.mutex);
    return finalStatus(io, receiver.unreadable, receiver.unreadableCount);
}

} // namespace

std::string SearchCommand::help()
{
    return "Prints the full path of every file and folder below FOLDER whose name contains TEXT,\n"
           "one per line, in the order found. TEXT is lower-cased; names are compared with the\n"
           "ASCII letters folded, so \"abc\" finds \"xAbCy.txt\" (other letters of a name match only\n"
           "in lower case). Hidden files, hidden folders and package contents are searched too; symbolic\n"
           "links are reported, never followed.\n"
           "\n"
           "FOLDER defaults to the search location chosen in Lurkel (\"KEY_SearchLocation\"), or\n"
           "the home folder when none is stored or it no longer exists. A TEXT or FOLDER that\n"
           "begins with \"-\" goes after \"--\".\n"
           "\n"
           "Options:\n"
           "  -0             end each path with a NUL byte instead of a line feed (names may\n"
           "                 contain line feeds; for xargs -0)\n"
           "  --json         print a JSON array with every field of each result (see below)\n"
           "  --filter LIST  only these categories, comma-separated: regular, hidden (hidden\n"
           "                 itself or inside a hidden folder), package (inside a package);\n"
           "                 default all three\n"
           "  --count        only count the matches (every category) and print the number\n"
           "\n"
           "JSON: one object per result with itemID, fileName, filePath, fullFileNameWithPath,\n"
           "enclosingFolderName, fileType, fileSize (-1 for a folder, the summed contents for a\n"
           "package), lastUsedDate (UTC, ISO 8601, or null), fileHidden, fileInHiddenFolder,\n"
           "filePackage, fileInPackage and category. File names are bytes: a name or path that\n"
           "is not valid UTF-8 is written as an object {\"bytes_b64\": \"...\"} holding its bytes\n"
           "in base64, instead of a string. fileSizeIncomplete is true when part of a package could\n"
           "not be read: its fileSize is then what could be summed.\n"
           "\n"
           "On a terminal the paths are shown quoted where needed, with control characters and\n"
           "bytes that are not UTF-8 escaped (\\n, \\xHH); to a pipe or a file they are written as\n"
           "their bytes.\n"
           "\n"
           "Each folder that could not be read (FOLDER itself or one below it) is named on standard\n"
           "error after the results (\"lurkelctl: cannot read FOLDER: REASON\"); the exit status\n"
           "is then 1.\n"
           "\n"

           "On a terminal the count so far is shown on standard error as \"Found N / M\" (M =\n"
           "entries examined). Ctrl-C stops the search; what was found until then is printed\n"
           "(--count prints nothing) and the exit status is 130.\n"
           "\n"
           "Exit status: 0 success (also when nothing is found), 1 failure (no such folder,\n"
           "empty or too long text, or a folder below it could not be read), 2 usage error,\n"
           "130 interrupted.\n";
}

std::string SearchCommand::jsonValue(std::string_view bytes)
{
    if (!isValidUtf8(bytes)) {
        const QByteArray encoded = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toBase64();
        return "{\"bytes_b64\":\"" + encoded.toStdString() + "\"}";
    }
    std::string json = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            json += "\\\"";
            break;
        case '\\':
            json += "\\\\";
            break;
        case '\n':
            json += "\\n";
            break;
        case '\r':
            json += "\\r";
            break;
        case '\t':
            json += "\\t";
            break;
        default:
            if (u < 0x20) {
                static const char hex[] = "0123456789abcdef";
                json += "\\u00";
                json.push_back(hex[u >> 4]);
                json.push_back(hex[u & 0xF]);
            } else {
                json.push_back(c);
            }
        }
    }
    json.push_back('"');
    return json;
}

int SearchCommand::run(const CommandLine &commandLine, const std::vector<std::string> &args, CommandIO &io)
{
    ArgumentParser parser;
    parser.flag("-0").flag("--json").flag("--count").option("--filter");
    if (!parser.parse(args)) return commandLine.usageError(io, "search: " + parser.error());
    const std::vector<std::string> &positional = parser.positional();
    if (positional.empty()) return commandLine.usageError(io, "search: TEXT is missing");
    if (positional.size() > 2) return commandLine.usageError(io, "search: too many arguments");

    Options options;
    options.nul = parser.has("-0");
    options.json = parser.has("--json");
    options.count = parser.has("--count");
    if (options.nul && options.json) return commandLine.usageError(io, "search: -0 and --json exclude each other");
    if (options.count && (options.nul || options.json || parser.value("--filter"))) {
        return commandLine.usageError(io, "search: --count takes no -0, --json or --filter");
    }
    if (const std::optional<std::string> filter = parser.value("--filter")) {
        std::string error;
        const std::optional<unsigned> mask = parseFilter(*filter, error);
        if (!mask) return commandLine.usageError(io, "search: " + error);
        options.mask = *mask;
    }

    options.text = positional[0];
    options.pattern = SearchManager::lowerCasedSearchText(options.text);
    if (options.pattern.empty()) return failure(io, "the search text is empty");
    if (options.pattern.size() > walker::kMaxPatternBytes) {
        return failure(io, "the search text is too long (" + std::to_string(options.pattern.size()) +
                               " bytes in UTF-8; at most " + std::to_string(walker::kMaxPatternBytes) + ")");
    }

    if (positional.size() == 2) {
        if (positional[1].empty()) return failure(io, "the folder is empty");
        options.folder = absoluteFolder(positional[1]);
        struct stat st {};
        if (::stat(options.folder.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return failure(io, "no such folder: " + quoteForTerminal(positional[1]));
            return failure(io, "cannot read folder " + quoteForTerminal(positional[1]) + ": " + std::strerror(errno));
        }
        if (!S_ISDIR(st.st_mode)) return failure(io, "not a folder: " + quoteForTerminal(positional[1]));
    } else {
        options.folder = SearchFolder::choose();
        if (!isDirectory(options.folder)) {
            return failure(io, "no such folder: " + quoteForTerminal(options.folder.bytes()));
        }
    }

    return options.count ? runCount(options, io) : runSearch(options, io);
}

void SearchCommand::registerIn(CommandLine &commandLine)
{
    const CommandLine *line = &commandLine;
    commandLine.add(Command{
        "search", "search [-0 | --json] [--filter LIST] [--count] TEXT [FOLDER]", "find files and folders by name",
        help(),
        [line](const std::vector<std::string> &args, CommandIO &io) { return SearchCommand::run(*line, args, io); }});
}

} // namespace lurkel::cli
