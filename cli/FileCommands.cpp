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
#include <cstdlib>
#include <cstring>
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
    if (!parser.parse(args)) return commandLine.usageError(io, command + ": " + parser.error());
    Output output;
    output.print = parser.has("--print");
    if (parser.has("-0")) output.terminator = '\0';
    std::vector<std::string> positional = parser.positional();
    const bool withDestination = kind == Kind::Copy || kind == Kind::Move;
    if (positional.size() < (withDestination ? 2u : 1u)) {
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
                return kExitFailure;
            }
            first = 1;
        }
        FileOperationOptions options;
        options.isCancelled = [] { return Interrupt::requested(); };
        for (std::size_t i = first; i < positional.size(); ++i) {
            if (Interrupt::requested()) {
                reportItem(io, kind, positional[i], QStringLiteral("not done: interrupted"));
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
                reportItem(io, kind, positional[i], outcome.error->localizedDescription());
                allDone = false;
            } else {
                for (const QString &warning : outcome.warnings)
                    reportItem(io, kind, positional[i], warning);
                printPath(io, output, outcome.destination);
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
    add(Kind::Copy, "copy [--print [-0]] DEST PATH...", "copy files and folders into a folder, never overwriting");
    add(Kind::Move, "move [--print [-0]] DEST PATH...", "move files and folders into a folder, never overwriting");
    add(Kind::Trash, "trash [--print [-0]] PATH...", "move files and folders to the trash");
    add(Kind::Hide, "hide [--print [-0]] PATH...", "hide files and folders in the file manager");
    add(Kind::Unhide, "unhide [--print [-0]] PATH...", "show hidden files and folders in the file manager again");
}

} // namespace lurkel::cli
