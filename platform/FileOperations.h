#pragma once

#include "BytePath.h"
#include "Error.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lurkel {

// What happened to one item of a copy, move or trash.
struct ItemOutcome {
    BytePath source;               // the item as it was given
    BytePath destination;          // where the item (or its copy) is now; empty when nothing was made
    std::optional<Error> error;    // why the item was not done (may come with a destination, see below)
    std::vector<QString> warnings; // done, but not everything came along (one line each)
    bool done() const { return !error.has_value(); }
};

struct FileOperationOptions {
    // Asked between entries and between blocks of data; true stops the item, whose partial
    // copy is removed.
    std::function<bool()> isCancelled{};
    // Moves only: copy, verify and remove even when a rename would do (the path a move across
    // file systems takes, for tests on a machine with only one file system).
    bool forceCopyForMove = false;
};

// Copy and move on byte paths with POSIX calls only. Nothing is ever overwritten: a name that
// is taken gets a numbered name ("name 2.ext", "name 3.ext", ...), reserved with O_EXCL,
// mkdirat, symlinkat or a no-replace rename, so that a file appearing at the same moment is
// never replaced either.
class FileOperations {
public:
    // Copies item (a file, a symbolic link as a link, a folder with everything in it) into
    // destinationFolder, keeping bytes, permission bits and times. On failure nothing that
    // this copy created is left behind.
    static ItemOutcome copyItem(const BytePath &item, const BytePath &destinationFolder,
                                const FileOperationOptions &options = {});

    // Moves item into destinationFolder: a no-replace rename on the same file system; across
    // file systems a copy (owner kept where allowed; holes, hard links within the item, user.*
    // extended attributes and POSIX access control lists kept), checked entry by entry and byte
    // for byte, after which the source is removed. Attributes the destination cannot store do
    // not stop the move: the outcome names them in one warning. One it can store but refuses
    // (no space, too large) fails the item, and nothing of the source is removed. An item
    // already in destinationFolder stays where it is (done, destination == its path).
    // When the copy was complete but some of the source could not be removed, the outcome has
    // both an error and the destination (both copies are kept: nothing is lost).
    static ItemOutcome moveItem(const BytePath &item, const BytePath &destinationFolder,
                                const FileOperationOptions &options = {});

    // The n-th name to try for name in a folder: n == 1 is name itself, n >= 2 inserts " n"
    // before the extension ("report.pdf" -> "report 2.pdf", "archive.tar.gz" ->
    // "archive 2.tar.gz", ".bashrc" -> ".bashrc 2"; a folder's name is numbered at its end
    // unless it is a package, "Tool.app" -> "Tool 2.app"). A name already ending in " N"
    // continues from there: the second candidate of "report 2.pdf" is "report 3.pdf". The
    // result is shortened (at a character boundary) to fit maxBytes.
    static std::string numberedName(std::string_view name, int n, bool isDirectory, std::size_t maxBytes = 255);

    // True when the folder open at folderFd is the entry open at otherFd or lies somewhere
    // inside it (followed up through "..", across mounts).
    static bool isAtOrInside(int folderFd, int otherFd);

    // Removes trailing separators and refuses names that cannot be acted on ("", "/", ".", "..").
    // On success, the folder part and the last component of path.
    struct SplitPath {
        BytePath folder;
        std::string name;
    };
    static std::optional<SplitPath> splitItemPath(const BytePath &path);
};

} // namespace lurkel
