#include "FileCommands.h"

#include "ArgumentParser.h"
#include "BytePath.h"
#include "FileOperations.h"
#include "HiddenItemsUpdater.h"
#include "Interrupt.h"
#include "PosixFile.h"
#include "TerminalText.h"
#include "Trash.h"

#include <QLoggingCategory>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel::cli {
namespace {

enum class Kind { Copy, Move, Trash, Hide, Unhide };

const char *nameOf(Kind kind)
{
    switch (kind) {
    case Kind::Copy:
        return "copy";
    case Kind::Move:
        return "move";
    case Kind::Trash:
        return "trash";
    case Kind::Hide:
        return "hide";
    case Kind::Unhide:
        return "unhide";
    }
    return "";
}

struct Output {
    bool print = false;
    char terminator = '\n';
};

// The per-item results a caller asked for with --results: three NUL-terminated fields a
// record, "done ITEM WHERE", "failed ITEM REASON", and "working ITEM" (empty third field) at
// most once a second while one item takes long. Each record is written as soon as it is
// known, so that a caller sees the work go on.
class ResultStream {
public:
    ResultStream() = default;
    ResultStream(const ResultStream &) = delete;
    ResultStream &operator=(const ResultStream &) = delete;

    // "-" is standard output; nullopt on success, else why the file could not be opened.
    std::optional<std::string> open(const std::string &where)
    {
        if (where == "-") {
            m_fd = STDOUT_FILENO;
            return std::nullopt;
        }
        m_owned = UniqueFd(::open(where.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600));
        if (!m_owned.valid()) return std::string(std::strerror(errno));
        m_fd = m_owned.get();
        return std::nullopt;
    }
    bool isOpen() const { return m_fd >= 0; }

    void record(std::string_view status, std::string_view item, std::string_view detail)
    {
        if (m_fd < 0) return;
        std::string text;
        text.reserve(status.size() + item.size() + detail.size() + 3);
        text.append(status).push_back('\0');
        text.append(item).push_back('\0');
        text.append(detail).push_back('\0');
        writeAll(text);
        m_lastRecord = std::chrono::steady_clock::now();
    }
    // A sign of life for the item being worked on, at most once a second.
    void working(std::string_view item)
    {
        if (m_fd < 0 || std::chrono::steady_clock::now() - m_lastRecord < std::chrono::seconds(1)) return;
        record("working", item, {});
    }

private:
    void writeAll(std::string_view text)
    {
        while (!text.empty()) {
            const ssize_t put = ::write(m_fd, text.data(), text.size());
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) { // the reader has gone: the work goes on, unreported
                m_fd = -1;
                return;
            }
            text.remove_prefix(static_cast<std::size_t>(put));
        }
    }

    UniqueFd m_owned;
    int m_fd = -1;
    std::chrono::steady_clock::time_point m_lastRecord = std::chrono::steady_clock::now();
};

// The paths of a NUL-separated list (a last path without its NUL counts too); "-" reads
// standard input. False with reason set when it cannot be read or holds an empty path.
bool readPathList(const std::string &from, std::vector<std::string> &paths, std::string &reason)
{
    UniqueFd owned;
    int fd = STDIN_FILENO;
    if (from != "-") {
        owned = UniqueFd(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        if (!owned.valid()) {
            reason = quoteForTerminal(from) + ": " + std::strerror(errno);
            return false;
        }
        fd = owned.get();
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            reason = quoteForTerminal(from) + ": " + std::strerror(errno);
            return false;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        if (end == start) {
            reason = "the list " + quoteForTerminal(from) + " holds an empty path";
            return false;
        }
        paths.emplace_back(text, start, end - start);
        start = end + 1;
    }
    return true;
}

// One line on standard error about an item: why it was not done, or what did not come along.
void reportItem(CommandIO &io, Kind kind, std::string_view path, const QString &reason)
{
    io.err << "lurkelctl: " << nameOf(kind) << ": " << quoteForTerminal(path) << ": "
           << messageForTerminal(reason.toStdString()) << '\n';
}

// Paths for a person are quoted on a terminal; a pipe or a file gets the bytes.
void printPath(CommandIO &io, const Output &output, const BytePath &path)
{
    if (!output.print) return;
    io.out << (io.stdoutIsTerminal && output.terminator == '\n' ? quoteForTerminal(path.bytes()) : path.bytes())
           << output.terminator;
}

std::string help(Kind kind)
{
    std::string text;
    switch (kind) {
    case Kind::Copy:
        text = "Copies each PATH into the folder DEST: files with their bytes, permissions and times,\n"
               "symbolic links as links, folders with everything in them. When DEST already holds the\n"
               "name, the copy gets a numbered name (\"report 2.pdf\"); nothing is overwritten. A copy\n"
               "that fails is removed again.\n";
        break;
    case Kind::Move:
        text = "Moves each PATH into the folder DEST. When DEST already holds the name, the item gets a\n"
               "numbered name (\"report 2.pdf\"); nothing is overwritten. Across file systems the item is\n"
               "copied (with its holes, hard links within it, user extended attributes and access\n"
               "control lists), the copy is compared with it byte for byte, and only then is it removed.\n"
               "When the destination cannot store some of those attributes, the item is still moved and\n"
               "gets one line on standard error naming what it lost.\n";
        break;
    case Kind::Trash:
        text = "Moves each PATH to the trash of its file system (freedesktop Trash: the home trash, or\n"
               ".Trash/UID or .Trash-UID at the top of another file system). Nothing is deleted: an item\n"
               "for which no trash can be used stays where it is and is reported.\n";
        break;
    case Kind::Hide:
        text = "Hides each PATH in the file manager by listing its name in its folder's .hidden.\n";
        break;
    case Kind::Unhide:
        text = "Shows each PATH in the file manager again: its name leaves its folder's .hidden, and a\n"
               "name beginning with \".\" is renamed without that dot (never over an existing item).\n";
        break;
    }
    text += "\nOptions:\n";
    if (kind == Kind::Hide || kind == Kind::Unhide) {
        text += "  --print   write the path of each item whose flag or name changed, where it is now\n";
    } else {
        text += "  --print   write where each item is now, one path per line\n";
    }
    if (kind != Kind::Hide && kind != Kind::Unhide) {
        text += "  --from0 LIST\n"
                "            take the items (after DEST) from the file LIST as well, each path ending\n"
                "            in a NUL byte (\"-\": standard input); no limit but memory\n"
                "  --results FILE\n"
                "            write a record for each item to FILE (\"-\": standard output) as soon as\n"
                "            it is known, three fields each ending in a NUL byte: \"done\", the item\n"
                "            as given, where it is now; or \"failed\", the item, the reason; and while\n"
                "            one item takes long, at most once a second, \"working\", the item, \"\"\n";
    }
    text += "  -0        with --print, end each path with a NUL byte instead of a line feed\n"
            "  --        every argument after it is a path, even one beginning with \"-\"\n"
            "\nPaths are taken as the bytes given. Each item that was not done gets one line on\n"
            "standard error. Exit status: 0 when every item was done, 1 when any was not, 2 on a\n"
            "usage error.\n";
    return text;
}

int run(const CommandLine &commandLine, Kind kind, const std::vector<std::string> &args, CommandIO &io)
{
    const std::string command = nameOf(kind);
    ArgumentParser parser;
    parser.flag("--print").flag("-0");
    const bool fileWork = kind != Kind::Hide && kind != Kind::Unhide;
    if (fileWork) parser.option("--from0").option("--results");
    if (!parser.parse(args)) return commandLine.usageError(io, command + ": " + parser.error());
    Output output;
    output.print = parser.has("--print");
    if (parser.has("-0")) output.terminator = '\0';
    std::vector<std::string> positional = parser.positional();
    const bool withDestination = kind == Kind::Copy || kind == Kind::Move;
    if (const auto list = parser.value("--from0")) {
        std::string reason;
        if (!readPathList(*list, positional, reason)) return commandLine.usageError(io, command + ": " + reason);
    }
    ResultStream results;
    if (const auto where = parser.value("--results")) {
        if (where == "-" && output.print) {
            return commandLine.usageError(io, command + ": --results - and --print cannot share standard output");
        }
        if (const auto failure = results.open(*where)) {
            io.err << "lurkelctl: " << command << ": " << quoteForTerminal(*where) << ": " << *failure << '\n';
            io.err.flush();
            return kExitFailure;
        }
    }
    // A list may well be empty: there is then nothing to do.
    const std::size_t needed = (withDestination ? 1u : 0u) + (parser.value("--from0") ? 0u : 1u);
    if (positional.size() < needed) {
        return commandLine.usageError(io, command + (withDestination ? ": DEST and at least one PATH are needed"
                                                                     : ": at least one PATH is needed"));
    }
    for (const std::string &argument : positional) {
        if (argument.empty()) return commandLine.usageError(io, command + ": an empty path was given");
    }

    bool allDone = true;
    if (kind == Kind::Hide || kind == Kind::Unhide) {
        BytePathList paths;
        for (const std::string &argument : positional)
            paths.push_back(absolutePath(argument));
        // The failures are reported below, one line each; the log would say it twice.
        QLoggingCategory::setFilterRules(QStringLiteral("lurkel.visibility.warning=false"));
        const VisibilityUpdate update =
            HiddenItemsUpdater::performSetVisibilityForFilesArray(kind == Kind::Unhide, paths);
        for (const VisibilityFailure &failure : update.failures) {
            // Show the path the way it was given when the failure is about the given item.
            std::string shown = failure.path.bytes();
            for (std::size_t i = 0; i < paths.size(); ++i) {
                if (paths[i] == failure.path) shown = positional[i];
            }
            reportItem(io, kind, shown, failure.error.localizedDescription());
        }
        for (const BytePath &path : update.changed)
            printPath(io, output, path);
        allDone = update.failures.empty();
    } else {
        BytePath destination;
        std::size_t first = 0;
        if (withDestination) {
            destination = absolutePath(positional[0]);
            struct stat st {};
            QString reason;
            if (::stat(destination.c_str(), &st) != 0) {
                reason = QString::fromLocal8Bit(std::strerror(errno));
            } else if (!S_ISDIR(st.st_mode)) {
                reason = QStringLiteral("not a folder");
            }
            if (!reason.isEmpty()) {
                io.err << "lurkelctl: " << command << ": destination " << quoteForTerminal(positional[0]) << ": "
                       << messageForTerminal(reason.toStdString()) << '\n';
                io.err.flush();
                const std::string why = "destination " + positional[0] + ": " + reason.toStdString();
                for (std::size_t i = 1; i < positional.size(); ++i)
                    results.record("failed", positional[i], why);
                return kExitFailure;
            }
            first = 1;
        }
        std::string_view current;
        FileOperationOptions options;
        options.isCancelled = [&results, &current] {
            results.working(current);
            return Interrupt::requested();
        };
        for (std::size_t i = first; i < positional.size(); ++i) {
            current = positional[i];
            if (Interrupt::requested()) {
                const QString reason = QStringLiteral("not done: interrupted");
                reportItem(io, kind, positional[i], reason);
                results.record("failed", positional[i], reason.toStdString());
                allDone = false;
                continue;
            }
            const BytePath item = absolutePath(positional[i]);
            ItemOutcome outcome;
            if (kind == Kind::Copy) {
                outcome = FileOperations::copyItem(item, destination, options);
            } else if (kind == Kind::Move) {
                outcome = FileOperations::moveItem(item, destination, options);
            } else {
                outcome = Trash::moveToTrash(item);
            }
            if (!outcome.done()) {
                const QString reason = outcome.error->localizedDescription();
                reportItem(io, kind, positional[i], reason);
                results.record("failed", positional[i], reason.toStdString());
                allDone = false;
            } else {
                for (const QString &warning : outcome.warnings)
                    reportItem(io, kind, positional[i], warning);
                printPath(io, output, outcome.destination);
                results.record("done", positional[i], outcome.destination.bytes());
            }
        }
    }
    io.out.flush();
    io.err.flush();
    return allDone ? kExitSuccess : kExitFailure;
}

} // namespace

void FileCommands::registerIn(CommandLine &commandLine)
{
    const CommandLine *line = &commandLine;
    const auto add = [&](Kind kind, const char *synopsis, const char *summary) {
        commandLine.add(Command{
            nameOf(kind), synopsis, summary, help(kind),
            [line, kind](const std::vector<std::string> &args, CommandIO &io) { return run(*line, kind, args, io); }});
    };
    add(Kind::Copy, "copy [--print [-0]] [--from0 LIST] [--results FILE] DEST [PATH...]",
        "copy files and folders into a folder, never overwriting");
    add(Kind::Move, "move [--print [-0]] [--from0 LIST] [--results FILE] DEST [PATH...]",
        "move files and folders into a folder, never overwriting");
    add(Kind::Trash, "trash [--print [-0]] [--from0 LIST] [--results FILE] [PATH...]",
        "move files and folders to the trash");
    add(Kind::Hide, "hide [--print [-0]] PATH...", "hide files and folders in the file manager");
    add(Kind::Unhide, "unhide [--print [-0]] PATH...", "show hidden files and folders in the file manager again");
}

} // namespace lurkel::cli
