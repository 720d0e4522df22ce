#include "FinderCommunicator.h"

#include "DiskAccessRestoreManager.h"
#include "Log.h"
#include "MainQueue.h"
#include "PosixFile.h"
#include "ScriptsManager.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

bool exists(const BytePath &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The first kilobyte of a script: where its version line is.
std::string readScriptHead(const BytePath &path)
{
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return {};
    std::string head(1024, '\0');
    ssize_t got = -1;
    do {
        got = ::read(fd.get(), head.data(), head.size());
    } while (got < 0 && errno == EINTR);
    head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return head;
}

// Counts the done and failed records as they arrive (pool thread) and tells the main
// thread, one message in flight at a time.
class ProgressCounter : public std::enable_shared_from_this<ProgressCounter> {
public:
    explicit ProgressCounter(FinderCommunicator::Progress progress) : m_progress(std::move(progress)) {}

    void add(std::string_view chunk)
    {
        for (const char c : chunk) {
            if (c != '\0') {
                if (m_field == 0 && m_status.size() < 8) m_status.push_back(c);
                continue;
            }
            if (++m_field < 3) continue;
            if (m_status == "done" || m_status == "failed") m_reported.fetch_add(1);
            m_field = 0;
            m_status.clear();
        }
        if (m_queued.exchange(true)) return;
        MainQueue::async([self = shared_from_this()]() {
            self->m_queued.store(false);
            self->m_progress(self->m_reported.load());
        });
    }

private:
    FinderCommunicator::Progress m_progress;
    int m_field = 0;
    std::string m_status;
    std::atomic<std::size_t> m_reported{0};
    std::atomic<bool> m_queued{false};
};

} // namespace

FinderCommunicator &FinderCommunicator::sharedCommunicator()
{
    static FinderCommunicator instance(ScriptsManager::sharedManager(), DiskAccessRestoreManager::sharedManager());
    return instance;
}

FinderCommunicator::FinderCommunicator(ScriptsManager &runner, DiskAccessRestoreManager &access)
    : m_runner(&runner), m_access(&access)
{}

bool FinderCommunicator::checkCopyFilesScript()
{
    return checkScript(kCopyScriptName, m_copyFilesScriptURL);
}

bool FinderCommunicator::checkMoveFilesScript()
{
    return checkScript(kMoveScriptName, m_moveFilesScriptURL);
}

bool FinderCommunicator::checkRemoveFilesScript()
{
    return checkScript(kRemoveScriptName, m_removeFilesScriptURL);
}

bool FinderCommunicator::checkScript(const char *name, std::optional<BytePath> &cached)
{
    const QString scriptName = QString::fromLatin1(name);
    if (cached && exists(*cached)) {
        ScriptsManager::upgradeInstalledScript(scriptName, *cached);
        return true;
    }

    std::optional<Error> error;
    const BytePath path = m_runner->scriptFilePathWithNameError(scriptName, error);
    if (error) return false;
    if (exists(path)) {
        ScriptsManager::upgradeInstalledScript(scriptName, path);
        cached = path;
        return true;
    }
    if (!m_access->isUserFolderAccessible()) return false;
    if (!ScriptsManager::doesScriptWithNameExistInBundle(scriptName)) return false;
    if (ScriptsManager::installScriptWithName(scriptName, path)) return false;
    cached = path;
    return true;
}

bool FinderCommunicator::doCopyFilesWithCompletion(const BytePathList &paths, Completion completion,
                                                   std::shared_ptr<SpawnCancel> cancel, Progress progress)
{
    return run(kCopyScriptName, m_copyFilesScriptURL, kCopyHandler, paths, std::move(completion), std::move(cancel),
               std::move(progress));
}

bool FinderCommunicator::doMoveFilesWithCompletion(const BytePathList &paths, Completion completion,
                                                   std::shared_ptr<SpawnCancel> cancel, Progress progress)
{
    return run(kMoveScriptName, m_moveFilesScriptURL, kMoveHandler, paths, std::move(completion), std::move(cancel),
               std::move(progress));
}

bool FinderCommunicator::doRemoveFilesWithCompletion(const BytePathList &paths, Completion completion,
                                                     std::shared_ptr<SpawnCancel> cancel, Progress progress)
{
    return run(kRemoveScriptName, m_removeFilesScriptURL, kRemoveHandler, paths, std::move(completion),
               std::move(cancel), std::move(progress));
}

int FinderCommunicator::scriptVersion(std::string_view text)
{
    static constexpr std::string_view kMarker = "# lurkel-script-version:";
    // Only the head of the script counts: a line deep inside may be quoted text.
    text = text.substr(0, 1024);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.substr(0, kMarker.size()) == kMarker) {
            line.remove_prefix(kMarker.size());
            while (!line.empty() && line.front() == ' ')
                line.remove_prefix(1);
            int version = 0;
            for (const char c : line) {
                if (c < '0' || c > '9' || version > 100000) break;
                version = version * 10 + (c - '0');
            }
            return version > 0 ? version : 1;
        }
        start = end + 1;
    }
    return 1;
}

std::vector<FinderCommunicator::ItemResult> FinderCommunicator::parseResults(std::string_view output)
{
    std::vector<ItemResult> results;
    std::string_view fields[3];
    int field = 0;
    std::size_t start = 0;
    for (std::size_t at = output.find('\0'); at != std::string_view::npos; at = output.find('\0', start)) {
        fields[field++] = output.substr(start, at - start);
        start = at + 1;
        if (field < 3) continue;
        field = 0;
        if (fields[0] == "done" || fields[0] == "failed") {
            ItemResult result;
            result.item = BytePath(std::string(fields[1]));
            result.done = fields[0] == "done";
            if (result.done) {
                result.destination = BytePath(std::string(fields[2]));
            } else {
                result.reason = QString::fromUtf8(fields[2].data(), static_cast<qsizetype>(fields[2].size()));
            }
            results.push_back(std::move(result));
        }
    }
    return results;
}

void FinderCommunicator::noteOlderCallForm(const char *name)
{
    if (!m_announced.insert(name).second) return;
    const QString notice =
        QStringLiteral("Your edited copy of the script \"%1\" is older than this version of Lurkel: it is used as it "
                       "is, without per-item results or large selections. Remove it to get the current one.")
            .arg(QString::fromLatin1(name));
    qCWarning(lcVisibility).noquote() << notice;
    if (m_noticeHandler) m_noticeHandler(notice);
}

bool FinderCommunicator::run(const char *name, std::optional<BytePath> &cached, const char *handler,
                             const BytePathList &paths, Completion completion, std::shared_ptr<SpawnCancel> cancel,
                             Progress progress)
{
    if (!checkScript(name, cached)) return false;
    const bool withDestination = std::string_view(handler) != kRemoveHandler;
    const bool listOnInput = scriptVersion(readScriptHead(*cached)) >= kListOnStandardInputVersion;

    ScriptRunOptions options;
    options.cancel = std::move(cancel);
    std::vector<std::string> arguments;
    if (listOnInput) {
        arguments = {handler, "--from0", "-"};
        std::size_t first = 0;
        if (withDestination && !paths.empty()) {
            arguments.push_back(paths.front().bytes());
            first = 1;
        }
        std::size_t size = 0;
        for (std::size_t i = first; i < paths.size(); ++i)
            size += paths[i].bytes().size() + 1;
        options.standardInput.reserve(size);
        for (std::size_t i = first; i < paths.size(); ++i) {
            options.standardInput += paths[i].bytes();
            options.standardInput.push_back('\0');
        }
        // Each record is progress: a long run goes on as long as it keeps reporting.
        options.timeLimitMs = kHandlerSilenceLimitMs;
        options.outputRestartsLimit = true;
        // Stopped, lurkelctl finishes or undoes the item at hand (a partial copy is removed).
        options.terminateGraceMs = kHandlerStopGraceMs;
        if (progress) {
            auto counter = std::make_shared<ProgressCounter>(std::move(progress));
            options.onOutput = [counter](std::string_view chunk) { counter->add(chunk); };
        }
    } else {
        noteOlderCallForm(name);
        arguments = createEventDescriptorWithURLsWithActionTag(paths, handler);
    }
    m_runner->runInstalledScript(
        *cached, std::move(arguments), std::move(options),
        ScriptRunCompletion([completion = std::move(completion), listOnInput](const ScriptRunEnd &end) {
            Outcome outcome;
            outcome.success = !end.error;
            outcome.error = end.error;
            outcome.timedOut = end.timedOut;
            outcome.cancelled = end.cancelled;
            outcome.itemized = listOnInput;
            if (listOnInput) outcome.items = parseResults(end.standardOutput);
            if (completion) completion(outcome);
        }));
    return true;
}

std::vector<std::string> FinderCommunicator::createEventDescriptorWithURLsWithActionTag(const BytePathList &paths,
                                                                                        const std::string &handler)
{
    std::vector<std::string> arguments;
    arguments.reserve(paths.size() + 1);
    arguments.push_back(handler);
    for (const BytePath &path : paths)
        arguments.push_back(path.bytes());
    return arguments;
}

} // namespace lurkel
