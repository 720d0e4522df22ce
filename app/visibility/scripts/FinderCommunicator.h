#pragma once

#include "BytePath.h"
#include "Error.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lurkel {

class DiskAccessRestoreManager;
class ScriptsManager;

// Copy, move and Trash of the results window, done by the user's file-manager scripts in
// the Application Scripts folder. Each operation calls a handler of its script with the
// paths, as "/bin/sh SCRIPT HANDLER PATH..." on bytes; the scripts hand the work to
// "lurkelctl copy|move|trash".
//
//   copy   "CopyFilesToFolder9a"  handler "copy_to_folder"  paths: destination folder, items
//   move   "MoveFilesToFolder9a"  handler "move_to_folder"  paths: destination folder, items
//   trash  "RemoveFilesToTrash6"  handler "remove"          paths: items
//
// Used on the main thread; completions arrive there too.
class FinderCommunicator {
public:
    static inline constexpr const char kCopyScriptName[] = "CopyFilesToFolder9a";
    static inline constexpr const char kMoveScriptName[] = "MoveFilesToFolder9a";
    static inline constexpr const char kRemoveScriptName[] = "RemoveFilesToTrash6";
    static inline constexpr const char kCopyHandler[] = "copy_to_folder";
    static inline constexpr const char kMoveHandler[] = "move_to_folder";
    static inline constexpr const char kRemoveHandler[] = "remove";

    // success is true when the script ended with status 0; otherwise error says why.
    using Completion = std::function<void(bool success, const std::optional<Error> &error)>;

    // The application's communicator (over the shared runner), created on first use.
    static FinderCommunicator &sharedCommunicator();

    FinderCommunicator(ScriptsManager &runner, DiskAccessRestoreManager &access);

    // True when the script is installed (installing it now if it is missing, the user
    // folder is accessible and the resource exists); its path is then cached.
    bool checkCopyFilesScript();
    bool checkMoveFilesScript();
    bool checkRemoveFilesScript();

    // Start the operation; true when the script was started. False (and no completion)
    // when the script is missing and cannot be installed.
    bool doCopyFilesWithCompletion(const BytePathList &paths, Completion completion);
    bool doMoveFilesWithCompletion(const BytePathList &paths, Completion completion);
    bool doRemoveFilesWithCompletion(const BytePathList &paths, Completion completion);

    // The script's arguments for a handler call: the handler name, then the paths in order
    // (none for an empty list: the handler is still called).
    static std::vector<std::string> createEventDescriptorWithURLsWithActionTag(const BytePathList &paths,
                                                                               const std::string &handler);

    const std::optional<BytePath> &copyFilesScriptURL() const { return m_copyFilesScriptURL; }
    const std::optional<BytePath> &moveFilesScriptURL() const { return m_moveFilesScriptURL; }
    const std::optional<BytePath> &removeFilesScriptURL() const { return m_removeFilesScriptURL; }

private:
    bool checkScript(const char *name, std::optional<BytePath> &cached);
    bool run(const char *name, std::optional<BytePath> &cached, const char *handler, const BytePathList &paths,
             Completion completion);

    ScriptsManager *m_runner;
    DiskAccessRestoreManager *m_access;
    std::optional<BytePath> m_copyFilesScriptURL;
    std::optional<BytePath> m_moveFilesScriptURL;
    std::optional<BytePath> m_removeFilesScriptURL;
};

} // namespace lurkel
