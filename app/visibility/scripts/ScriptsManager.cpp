#include "ScriptsManager.h"

#include "ProgramPaths.h"

#include "ApplicationActivity.h"
#include "DiskAccessRestoreManager.h"
#include "Identity.h"
#include "Log.h"
#include "MainQueue.h"
#include "PosixFile.h"
#include "Spawn.h"
#include "XdgDirs.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

// Q_INIT_RESOURCE must be used outside of any namespace.
static void initLurkelScriptsResource()
{
    Q_INIT_RESOURCE(LurkelScripts);
}

namespace lurkel {

void initScriptResources()
{
    static std::once_flag once;
    std::call_once(once, initLurkelScriptsResource);
}

namespace {

// An error of the application's own domain, code -1, without user info.
Error bareAppError()
{
    return Error{QString::fromLatin1(Identity::kBundleIdentifier), -1, {}};
}

bool isValidScriptName(const QString &name)
{
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) && !name.contains(QLatin1Char('/')) &&
           !name.contains(QChar(0));
}

QString resourcePathForName(const QString &name)
{
    return QStringLiteral(":/scripts/%1.%2").arg(name, QLatin1String(ScriptsManager::kScriptExtension));
}

// The lurkelctl beside the running program; a developer running from the build tree, where
// the programs live in different folders, names it in the LURKELCTL variable.
BytePath lurkelctlBesideThisProgram()
{
    if (const char *given = std::getenv(ScriptsManager::kLurkelctlVariable); given != nullptr && given[0] == '/') {
        return BytePath(given);
    }
    return ProgramPaths::besideThisProgram("lurkelctl");
}

QString display(const BytePath &path)
{
    return path.displayString();
}

ScriptResult splitLines(const std::string &output)
{
    ScriptResult lines;
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t end = output.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(output.substr(start));
            break;
        }
        lines.push_back(output.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Who may have changed a folder on the way to a script: only we (or root for the system's
// folders above ours); a folder that others may write needs the sticky bit, so that nobody
// can replace what is ours inside it.
std::optional<Error> checkAncestorsCanBeTrusted(const BytePath &resolvedFolder)
{
    BytePath folder = resolvedFolder.parent();
    while (!folder.empty()) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0) return Error::posix(errno, display(folder));
        if (st.st_uid != ::geteuid() && st.st_uid != 0) {
            return Error::app(QStringLiteral("The folder %1 belongs to another user.").arg(display(folder)));
        }
        if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0) {
            return Error::app(QStringLiteral("Other users may write into the folder %1.").arg(display(folder)));
        }
        if (folder.bytes() == "/") break;
        folder = folder.parent();
    }
    return std::nullopt;
}

// The SHA-256 of every script text an earlier Lurkel installed (as installed, with
// FileManagers.sh put in). An installed copy with one of these texts is ours, untouched, and
// is replaced by the current one; any other text is the user's and stays.
struct EarlierScript {
    const char *name;
    const char *sha256;
};
constexpr EarlierScript kEarlierScripts[] = {
    // Before the version lines and the list on standard input.
    {"CheckHiddenFilesFisibilityByAskingFinder", "0febccd910ed3d5e63c3aab7919144dd5cf5aacff386764c12c497634c6b85f3"},
    {"CopyFilesToFolder9a", "91a311860644e9b410c1b938ffdd1f87b62709be70eb4f1af5dee36fad27dccf"},
    {"HideHiddensAndRelaunchFinder", "49b4ed828b7d396a78eac0a6a4595600c052d71633f7e8c243baeb0fad428aca"},
    {"MoveFilesToFolder9a", "55b341fc9db765a7748a2c28f4b788ec618bdcfcc38952f09615199392fc5611"},
    {"RemoveFilesToTrash6", "4b3a3e326f011b1491da2f75d4ecad404c2c9910690990c87226ef7befb6d820"},
    {"ShowHiddensAndRelaunchFinder", "3f76c8c75bd513ffa39dcf4b142902b694053815aa331f4f14e96697df4ed4dc"},
    {"SwitchHiddenFilesVisibility2", "fabace753e32b5540fb51cb2fb7823564580b5518991923128bd21f43faa0d51"},
    {"UpdateFinderFolderRepresentation", "8ba4ff6b1c51911b0c7f839ae7814433c3139b158101397017c74c8a2e6cffc8"},
    {"WriteIntoSystemPreferencesHideHiddens", "78099779d53e0e36bbedf6de3019bf01f4966c36111c7b57983f8d0a53edb38d"},
    {"WriteIntoSystemPreferencesShowHiddens", "be405e624e1482d8eb012475611f34ccdb4bb8a6b039c9bc075cdefcb55bc6d5"},
};

bool isEarlierShippedText(const QString &name, const QByteArray &text)
{
    const QByteArray hash = QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
    for (const EarlierScript &earlier : kEarlierScripts) {
        if (name == QLatin1String(earlier.name) && hash == earlier.sha256) return true;
    }
    return false;
}

// The installed copy's text, or nullopt when it cannot be read (then it is left alone).
std::optional<QByteArray> readInstalled(const BytePath &path)
{
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (1 << 20)) {
        return std::nullopt;
    }
    QByteArray text;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        text.append(buffer, got);
    }
    return text;
}

} // namespace

ScriptUpgrade ScriptsManager::upgradeInstalledScript(const QString &name, const BytePath &path)
{
    initScriptResources();
    QFile resource(resourcePathForName(name));
    if (!isValidScriptName(name) || !resource.open(QIODevice::ReadOnly)) return ScriptUpgrade::Kept;
    const QByteArray current = resource.readAll();
    const std::optional<QByteArray> installed = readInstalled(path);
    if (!installed) return ScriptUpgrade::Kept;
    if (*installed == current) return ScriptUpgrade::Current;
    if (!isEarlierShippedText(name, *installed)) return ScriptUpgrade::Kept;
    // Written beside it and renamed over it: the name always holds a whole script.
    const auto error =
        writeFileAtomically(path, std::string_view(current.constData(), static_cast<std::size_t>(current.size())),
                            {.mode = 0700, .target = AtomicWrite::Replace});
    if (error) {
        logFailure(lcVisibility, "upgradeInstalledScript", *error);
        return ScriptUpgrade::Kept;
    }
    qCInfo(lcVisibility, "the script %s was replaced by the current version", qUtf8Printable(name));
    return ScriptUpgrade::Upgraded;
}

struct ScriptsManager::Shared {
    std::atomic<int> focusCounter{0};
    ApplicationActivity *activity = nullptr; // main thread only
    // The stop switches of the runs under way, so that none outlives the runner.
    std::mutex runsMutex;
    std::vector<std::weak_ptr<SpawnCancel>> runs;
};

ScriptsManager &ScriptsManager::sharedManager()
{
    static ScriptsManager instance(DiskAccessRestoreManager::sharedManager());
    return instance;
}

ScriptsManager::ScriptsManager(DiskAccessRestoreManager &access, BytePath lurkelctl)
    : m_access(&access), m_lurkelctl(lurkelctl.empty() ? lurkelctlBesideThisProgram() : std::move(lurkelctl)),
      m_shared(std::make_shared<Shared>())
{
    initScriptResources();
    // Every run holds a thread while its script runs; refresh and relaunch scripts may
    // overlap with a state read, so leave room for several.
    m_pool.setMaxThreadCount(8);
}

ScriptsManager::~ScriptsManager()
{
    // Whatever still runs is stopped (a copy or move ends with the item at hand done or
    // undone) rather than waited for.
    {
        std::lock_guard lock(m_shared->runsMutex);
        for (const std::weak_ptr<SpawnCancel> &run : m_shared->runs) {
            if (const std::shared_ptr<SpawnCancel> cancel = run.lock()) cancel->cancel();
        }
    }
    m_pool.waitForDone();
}

void ScriptsManager::setApplicationActivity(ApplicationActivity *activity)
{
    m_shared->activity = activity;
}

int ScriptsManager::mightLoseFocusBecauseOfScriptCounter() const
{
    return m_shared->focusCounter.load();
}

bool ScriptsManager::doScriptWithNameChangesFocus(const QString &name)
{
    return name == QLatin1String(kFocusScriptName);
}

BytePath ScriptsManager::scriptFilePathWithNameError(const QString &name, std::optional<Error> &error) const
{
    error.reset();
    if (!isValidScriptName(name)) {
        error = Error::app(QStringLiteral("Not a script name: \"%1\"").arg(name));
        return {};
    }
    const BytePath folder = XdgDirs::appScriptsDir();
    if (const int errnum = makePath(folder, 0700)) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0) {
            error = Error::app(QString::fromLatin1(kNoFolderDescription)); // something else holds its name
        } else {
            error = Error::posix(errnum, display(folder));
        }
        return {};
    }
    return folder / (name + QLatin1Char('.') + QLatin1String(kScriptExtension)).toUtf8().toStdString();
}

bool ScriptsManager::doesScriptWithNameExistInScriptsFolder(const QString &name) const
{
    std::optional<Error> error;
    const BytePath path = scriptFilePathWithNameError(name, error);
    struct stat st {};
    return !error && ::stat(path.c_str(), &st) == 0;
}

bool ScriptsManager::doesScriptWithNameExistInBundle(const QString &name)
{
    initScriptResources();
    return isValidScriptName(name) && QFile::exists(resourcePathForName(name));
}

std::optional<Error> ScriptsManager::installScriptWithName(const QString &name, const BytePath &path)
{
    initScriptResources();
    QFile resource(resourcePathForName(name));
    if (!isValidScriptName(name) || !resource.open(QIODevice::ReadOnly)) return bareAppError();
    const QByteArray text = resource.readAll();

    // Written to a private temporary file beside it, then put into place without replacing:
    // the name is either ours complete or someone else's, never half written and never replaced.
    const auto error =
        writeFileAtomically(path, std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                            {.mode = 0700, .target = AtomicWrite::NoReplace});
    if (!error || error->code == EEXIST) return std::nullopt;
    return Error::posix(error->code, display(path));
}

std::optional<Error> ScriptsManager::checkScriptCanBeTrusted(const BytePath &path)
{
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return Error::posix(errno, display(path));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return Error::posix(errno, display(path));
    if (!S_ISREG(st.st_mode)) return Error::app(QStringLiteral("%1 is not a regular file.").arg(display(path)));
    if (st.st_uid != ::geteuid()) {
        return Error::app(QStringLiteral("The script %1 belongs to another user; it is not run.").arg(display(path)));
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return Error::app(QStringLiteral("Other users may change the script %1 (mode %2); it is not run.")
                              .arg(display(path))
                              .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0')));
    }

    char *resolved = ::realpath(path.parent().c_str(), nullptr);
    if (resolved == nullptr) return Error::posix(errno, display(path.parent()));
    const BytePath folder(resolved);
    std::free(resolved);
    if (::stat(folder.c_str(), &st) != 0) return Error::posix(errno, display(folder));
    if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return Error::app(
            QStringLiteral("Other users may change the scripts in %1; the script is not run.").arg(display(folder)));
    }
    return checkAncestorsCanBeTrusted(folder);
}

void ScriptsManager::executeAppleScriptCompletion(const QString &name, ScriptCompletion completion)
{
    execute(name, {}, std::move(completion));
}

void ScriptsManager::executeAppleScriptHandlerCompletion(const QString &name, const std::string &handler,
                                                         const BytePathList &arguments, ScriptCompletion completion)
{
    std::vector<std::string> argv;
    argv.reserve(arguments.size() + 1);
    argv.push_back(handler);
    for (const BytePath &argument : arguments)
        argv.push_back(argument.bytes());
    execute(name, std::move(argv), std::move(completion));
}

void ScriptsManager::execute(const QString &name, std::vector<std::string> arguments, ScriptCompletion completion)
{
    auto failNow = [&completion](const Error &error) {
        if (completion) completion(std::nullopt, error);
    };
    std::optional<Error> error;
    const BytePath path = scriptFilePathWithNameError(name, error);
    if (error) return failNow(*error);

    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (!m_access->isUserFolderAccessible()) {
            qCWarning(lcVisibility, "script %s is not installed and the user folder is not accessible",
                      qUtf8Printable(name));
            return failNow(bareAppError());
        }
        if (!doesScriptWithNameExistInBundle(name)) {
            qCWarning(lcVisibility, "no script resource %s", qUtf8Printable(name));
            return failNow(bareAppError());
        }
        if (auto installError = installScriptWithName(name, path)) return failNow(*installError);
    } else {
        upgradeInstalledScript(name, path);
    }

    const bool takesFocus = doScriptWithNameChangesFocus(name);
    bool wasActive = false;
    if (takesFocus) {
        m_shared->focusCounter.fetch_add(1);
        wasActive = m_shared->activity != nullptr && m_shared->activity->isActive();
    }
    std::shared_ptr<Shared> shared = m_shared;
    std::function<void()> onEnd;
    if (takesFocus) {
        onEnd = [shared, wasActive]() {
            shared->focusCounter.fetch_sub(1);
            if (wasActive) {
                MainQueue::async([shared]() {
                    if (shared->activity != nullptr) shared->activity->activateIgnoringOtherApps();
                });
            }
        };
    }
    ScriptRunOptions options;
    options.timeLimitMs = kScriptTimeLimitMs;
    runInstalledScript(path, std::move(arguments), std::move(options), std::move(completion), std::move(onEnd));
}

QString ScriptsManager::timeoutDescription(const BytePath &path, const ScriptRunOptions &options)
{
    const QString name = BytePath(path.fileName()).displayString();
    const QString seconds = QString::number(static_cast<double>(options.timeLimitMs) / 1000.0);
    if (options.outputRestartsLimit) {
        return QStringLiteral("The script %1 reported nothing for %2 s and was stopped.").arg(name, seconds);
    }
    return QStringLiteral("The script %1 did not end within %2 s and was stopped.").arg(name, seconds);
}

namespace {

// The time limit of one run: a timer on the clock (main thread) that stops the run through
// its stop switch. Output may start it again.
struct RunWatch {
    Clock *clock = nullptr;
    std::int64_t limitMs = 0;
    std::shared_ptr<SpawnCancel> cancel;
    std::atomic<bool> timedOut{false};
    std::atomic<bool> ended{false};
    std::atomic<bool> restartQueued{false};
    Clock::TimerId timer = 0; // main thread only

    void arm(const std::shared_ptr<RunWatch> &self)
    {
        std::weak_ptr<RunWatch> weak = self;
        timer = clock->schedule(limitMs, [weak]() {
            const std::shared_ptr<RunWatch> due = weak.lock();
            if (!due || due->ended.load()) return;
            due->timer = 0;
            due->timedOut.store(true);
            due->cancel->cancel();
        });
    }
    void disarm()
    {
        if (timer != 0) clock->cancel(timer);
        timer = 0;
    }
};

} // namespace

void ScriptsManager::runInstalledScript(const BytePath &path, std::vector<std::string> arguments,
                                        ScriptRunOptions options, ScriptRunCompletion completion,
                                        std::function<void()> onEnd)
{
    SpawnRequest request;
    request.argv.reserve(arguments.size() + 2);
    request.argv.emplace_back("/bin/sh");
    request.argv.push_back(path.bytes());
    for (std::string &argument : arguments)
        request.argv.push_back(std::move(argument));
    request.environment = m_environment;
    request.environment.emplace_back(kLurkelctlVariable, m_lurkelctl.bytes());
    // Whatever the script starts (a relaunched file manager) must not keep a folder of ours busy.
    request.workingDirectory = std::string("/");
    request.standardInput = std::move(options.standardInput);
    request.terminateGraceMs = options.terminateGraceMs;

    auto watch = std::make_shared<RunWatch>();
    watch->clock = &clock();
    watch->limitMs = options.timeLimitMs;
    watch->cancel = options.cancel ? options.cancel : std::make_shared<SpawnCancel>();
    {
        std::lock_guard lock(m_shared->runsMutex);
        std::erase_if(m_shared->runs, [](const std::weak_ptr<SpawnCancel> &run) { return run.expired(); });
        m_shared->runs.push_back(watch->cancel);
    }
    std::function<void()> restartLimit;
    if (watch->limitMs > 0) {
        watch->arm(watch);
        if (options.outputRestartsLimit) {
            std::weak_ptr<RunWatch> weak = watch;
            restartLimit = [weak]() {
                const std::shared_ptr<RunWatch> running = weak.lock();
                if (!running || running->restartQueued.exchange(true)) return;
                MainQueue::async([weak]() {
                    const std::shared_ptr<RunWatch> reported = weak.lock();
                    if (!reported) return;
                    reported->restartQueued.store(false);
                    if (reported->ended.load() || reported->timedOut.load()) return;
                    reported->disarm();
                    reported->arm(reported);
                });
            };
        }
    }
    if (restartLimit || options.onOutput) {
        request.onOutput = [restartLimit = std::move(restartLimit),
                            onOutput = std::move(options.onOutput)](std::string_view standardOutput) {
            if (restartLimit) restartLimit();
            if (onOutput && !standardOutput.empty()) onOutput(standardOutput);
        };
    }
    const QString timeoutText = timeoutDescription(path, options);

    m_pool.start([path, request = std::move(request), watch, timeoutText, completion = std::move(completion),
                  onEnd = std::move(onEnd)]() {
        ScriptRunEnd end;
        end.error = checkScriptCanBeTrusted(path);
        if (!end.error) {
            SpawnResult run = Spawn::run(request, watch->cancel.get());
            end.standardOutput = std::move(run.standardOutput);
            // A limit that ran out just as the script ended stopped nothing: that run counts.
            if (run.cancelled && watch->timedOut.load()) {
                end.timedOut = true;
                end.error = Error::app(timeoutText);
            } else if (run.cancelled) {
                end.cancelled = true;
                end.error = Error::posix(ECANCELED, BytePath(path.fileName()).displayString());
            } else if (!run.succeeded()) {
                end.error = run.error ? *run.error : Error::app(run.failureDescription());
            }
        }
        watch->ended.store(true);
        if (end.error) logFailure(lcVisibility, std::string(path.fileName()).c_str(), *end.error);
        if (onEnd) onEnd();
        MainQueue::async([watch, completion, end = std::move(end)]() {
            watch->disarm();
            if (completion) completion(end);
        });
    });
}

void ScriptsManager::runInstalledScript(const BytePath &path, std::vector<std::string> arguments,
                                        ScriptRunOptions options, ScriptCompletion completion,
                                        std::function<void()> onEnd)
{
    ScriptRunCompletion lines;
    if (completion) {
        lines = [completion = std::move(completion)](const ScriptRunEnd &end) {
            if (end.error) {
                completion(std::nullopt, end.error);
            } else {
                completion(splitLines(end.standardOutput), std::nullopt);
            }
        };
    }
    runInstalledScript(path, std::move(arguments), std::move(options), std::move(lines), std::move(onEnd));
}

void ScriptsManager::waitForRunningScripts()
{
    m_pool.waitForDone();
}

} // namespace lurkel
