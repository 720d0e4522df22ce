#include "FinderCommunicator.h"

#include "DiskAccessRestoreManager.h"
#include "ScriptsManager.h"

#include <sys/stat.h>

namespace lurkel {
namespace {

bool exists(const BytePath &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

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
    if (cached && exists(*cached)) return true;

    const QString scriptName = QString::fromLatin1(name);
    std::optional<Error> error;
    const BytePath path = m_runner->scriptFilePathWithNameError(scriptName, error);
    if (error) return false;
    if (exists(path)) {
        cached = path;
        return true;
    }
    if (!m_access->isUserFolderAccessible()) return false;
    if (!ScriptsManager::doesScriptWithNameExistInBundle(scriptName)) return false;
    if (ScriptsManager::installScriptWithName(scriptName, path)) return false;
    cached = path;
    return true;
}

bool FinderCommunicator::doCopyFilesWithCompletion(const BytePathList &paths, Completion completion)
{
    return run(kCopyScriptName, m_copyFilesScriptURL, kCopyHandler, paths, std::move(completion));
}

bool FinderCommunicator::doMoveFilesWithCompletion(const BytePathList &paths, Completion completion)
{
    return run(kMoveScriptName, m_moveFilesScriptURL, kMoveHandler, paths, std::move(completion));
}

bool FinderCommunicator::doRemoveFilesWithCompletion(const BytePathList &paths, Completion completion)
{
    return run(kRemoveScriptName, m_removeFilesScriptURL, kRemoveHandler, paths, std::move(completion));
}

bool FinderCommunicator::run(const char *name, std::optional<BytePath> &cached, const char *handler,
                             const BytePathList &paths, Completion completion)
{
    if (!checkScript(name, cached)) return false;
    m_runner->runInstalledScript(
        *cached, createEventDescriptorWithURLsWithActionTag(paths, handler),
        [completion = std::move(completion)](const std::optional<ScriptResult> &, const std::optional<Error> &error) {
            if (completion) completion(!error, error);
        });
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
