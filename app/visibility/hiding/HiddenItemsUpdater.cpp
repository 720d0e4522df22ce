#include "HiddenItemsUpdater.h"

#include "FileOperations.h"
#include "HiddenFlag.h"
#include "Log.h"
#include "PosixFile.h"

#include <cerrno>
#include <fcntl.h>

namespace lurkel {
namespace {

void recordFailure(VisibilityUpdate &update, const BytePath &path, Error error)
{
    Error logged = error;
    logged.userInfo[Error::kDescriptionKey] =
        path.displayString() + QStringLiteral(": ") + error.localizedDescription();
    logFailure(lcVisibility, "performSetVisibilityForFilesArray", logged);
    update.failures.push_back(VisibilityFailure{path, std::move(error)});
}

// ".x" -> "x" in the same folder, never over an existing "x". The new path, or the error.
std::optional<Error> renameWithoutDot(const FileOperations::SplitPath &split, BytePath &renamed)
{
    const std::string newName = split.name.substr(1);
    UniqueFd dir(::open(split.folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) return Error::posix(errno, QStringLiteral("cannot open its folder"));
    const int rc = renameNoReplace(dir.get(), split.name.c_str(), dir.get(), newName.c_str());
    if (rc != 0) {
        return Error::posix(rc, QStringLiteral("cannot rename it to \"%1\"")
                                    .arg(QString::fromUtf8(newName.data(), static_cast<qsizetype>(newName.size()))));
    }
    renamed = split.folder / newName;
    return std::nullopt;
}

} // namespace

VisibilityUpdate HiddenItemsUpdater::performSetVisibilityForFilesArray(bool visible, const BytePathList &paths)
{
    VisibilityUpdate update;
    for (const BytePath &path : paths) {
        bool flagChanged = false;
        if (auto error = HiddenFlag::setHidden(path, !visible, &flagChanged)) {
            recordFailure(update, path, std::move(*error));
            continue;
        }
        const auto split = FileOperations::splitItemPath(path);
        // Hiding never renames; unhiding renames only a dot name (and "." alone is no name).
        if (!visible || !split || split->name.size() < 2 || split->name.front() != '.') {
            if (flagChanged) update.changed.push_back(path);
            continue;
        }
        BytePath renamed;
        if (auto error = renameWithoutDot(*split, renamed)) {
            if (flagChanged) update.changed.push_back(path);
            recordFailure(update, path, std::move(*error));
            continue;
        }
        update.changed.push_back(renamed);
        // The user asked for a visible item: a line that hid the new name goes too.
        if (auto error = HiddenFlag::setHidden(renamed, false)) recordFailure(update, renamed, std::move(*error));
    }
    return update;
}

} // namespace lurkel
