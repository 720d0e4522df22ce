#pragma once

#include "BytePath.h"
#include "Error.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lurkel {

class DiskAccessRestoreManager;
class ScriptsManager;
class SpawnCancel;

// Copy, move and Trash of the results window, done by the user's file-manager scripts in
// the Application Scripts folder. Each operation calls a handler of its script; the scripts
// hand the work to "lurkelctl copy|move|trash".
//
//   copy   "CopyFilesToFolder9a"  handler "copy_to_folder"  paths: destination folder, items
//   move   "MoveFilesToFolder9a"  handler "move_to_folder"  paths: destination folder, items
//   trash  "RemoveFilesToTrash6"  handler "remove"          paths: items
//
// A script that carries the version line "# lurkel-script-version: 2" (or later) is called
// as "/bin/sh SCRIPT HANDLER --from0 - [DESTINATION]" with the items on standard input, each
// ending in a NUL byte (no limit but memory), and answers with one record per item (done and
// where it is now, or failed and why) as it goes; each record counts as progress, and a run
// stops only when it reports nothing for kHandlerSilenceLimitMs, or when the caller's stop
// switch is used. An older copy the user has edited is called the older way, "/bin/sh
// SCRIPT HANDLER PATH..." on bytes; that is said once per script (noticeHandler), and the
// items' fate is then known only from the script's exit status.
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
    // The first script version that takes its list on standard input.
    static inline constexpr int kListOnStandardInputVersion = 2;
    // How long a handler script may report nothing before it is stopped.
    static inline constexpr std::int64_t kHandlerSilenceLimitMs = 120000;
    // How long a stopped handler script has to finish or undo the item at hand.
    static inline constexpr int kHandlerStopGraceMs = 30000;

    // What became of one item.
    struct ItemResult {
        BytePath item;
        bool done = false;
        BytePath destination; // where it is now (done)
        QString reason;       // why not (failed)
    };
    // How an operation ended.
    struct Outcome {
        bool success = false;       // the script ended with status 0
        std::optional<Error> error; // why not
        bool timedOut = false;      // stopped: it reported nothing for too long
        bool cancelled = false;     // stopped by the caller
        // True when items holds the script's own record of each item it reached (in the
        // order done); false for a script called the older way.
        bool itemized = false;
        std::vector<ItemResult> items;
    };
    using Completion = std::function<void(const Outcome &outcome)>;
    // Items done or failed so far, as the script reports them (main thread).
    using Progress = std::function<void(std::size_t reported)>;

    // The application's communicator (over the shared runner), created on first use.
    static FinderCommunicator &sharedCommunicator();

    FinderCommunicator(ScriptsManager &runner, DiskAccessRestoreManager &access);

    // True when the script is installed (installing it now if it is missing, the user
    // folder is accessible and the resource exists); its path is then cached.
    bool checkCopyFilesScript();
    bool checkMoveFilesScript();
    bool checkRemoveFilesScript();

    // Start the operation; true when the script was started. False (and no completion)
    // when the script is missing and cannot be installed. cancel (may be null) stops it.
    bool doCopyFilesWithCompletion(const BytePathList &paths, Completion completion,
                                   std::shared_ptr<SpawnCancel> cancel = {}, Progress progress = {});
    bool doMoveFilesWithCompletion(const BytePathList &paths, Completion completion,
                                   std::shared_ptr<SpawnCancel> cancel = {}, Progress progress = {});
    bool doRemoveFilesWithCompletion(const BytePathList &paths, Completion completion,
                                     std::shared_ptr<SpawnCancel> cancel = {}, Progress progress = {});

    // The script's arguments for an older handler call: the handler name, then the paths in
    // order (none for an empty list: the handler is still called).
    static std::vector<std::string> createEventDescriptorWithURLsWithActionTag(const BytePathList &paths,
                                                                               const std::string &handler);
    // The version a script's text declares ("# lurkel-script-version: N" among its first
    // lines); 1 when it declares none.
    static int scriptVersion(std::string_view text);
    // The records of "lurkelctl ... --results": "done"/"failed", item, detail; "working"
    // records are skipped. A record cut short at the end is dropped.
    static std::vector<ItemResult> parseResults(std::string_view output);

    // Told once per script when an edited older copy makes the older call form necessary.
    void setNoticeHandler(std::function<void(const QString &notice)> handler) { m_noticeHandler = std::move(handler); }

    const std::optional<BytePath> &copyFilesScriptURL() const { return m_copyFilesScriptURL; }
    const std::optional<BytePath> &moveFilesScriptURL() const { return m_moveFilesScriptURL; }
    const std::optional<BytePath> &removeFilesScriptURL() const { return m_removeFilesScriptURL; }

private:
    bool checkScript(const char *name, std::optional<BytePath> &cached);
    bool run(const char *name, std::optional<BytePath> &cached, const char *handler, const BytePathList &paths,
             Completion completion, std::shared_ptr<SpawnCancel> cancel, Progress progress);
    void noteOlderCallForm(const char *name);

    ScriptsManager *m_runner;
    DiskAccessRestoreManager *m_access;
    std::optional<BytePath> m_copyFilesScriptURL;
    std::optional<BytePath> m_moveFilesScriptURL;
    std::optional<BytePath> m_removeFilesScriptURL;
    std::function<void(const QString &)> m_noticeHandler;
    std::set<std::string> m_announced;
};

} // namespace lurkel
