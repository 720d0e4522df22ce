#include "RunAtLoginManager.h"
#include "MessageNames.h"

#include "ProgramPaths.h"

#include "Autostart.h"
#include "DistributedNotificationCenter.h"
#include "Identity.h"
#include "Log.h"
#include "RunningApplications.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

std::string utf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A file id that names a file in the autostart folder and nothing else.
bool isUsableFileId(const QString &fileId)
{
    return !fileId.isEmpty() && !fileId.startsWith(QLatin1Char('.')) && !fileId.contains(QLatin1Char('/')) &&
           !fileId.contains(QChar(0));
}

// Desktop entries are UTF-8 text, one value per line.
bool fitsInEntry(const BytePath &path)
{
    if (!path.isValidUtf8()) return false;
    for (const char c : path.bytes()) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    }
    return true;
}

// The entry that starts program at login; with hidden, the one that keeps a system-wide
// entry of the same name from starting.
std::string entryText(const BytePath &program, bool hidden, const std::vector<std::string> &arguments = {})
{
    const std::string name = Identity::kBundleDisplayName;
    std::string text = "[Desktop Entry]\nType=Application\n";
    text += "Name=" + DesktopEntry::escapeValue(name) + "\n";
    if (!hidden) text += "Comment=" + DesktopEntry::escapeValue("Starts " + name + " at login") + "\n";
    std::string exec = DesktopEntry::quoteExecArgument(program.bytes());
    for (const std::string &argument : arguments)
        exec += " " + DesktopEntry::quoteExecArgument(argument);
    text += "Exec=" + DesktopEntry::escapeValue(exec) + "\n";
    if (hidden) {
        text += "Hidden=true\n";
    } else {
        text += "TryExec=" + DesktopEntry::escapeValue(program.bytes()) + "\n";
        text += "X-GNOME-Autostart-enabled=true\n";
    }
    return text;
}

std::optional<Error> checkProgram(const QString &fileId, const std::optional<BytePath> &program, bool mustExist)
{
    if (!program) return Error::app(QStringLiteral("There is no program to start for %1.").arg(fileId));
    if (!program->isAbsolute() || !fitsInEntry(*program)) {
        return Error::app(
            QStringLiteral("The path %1 cannot be written into an autostart entry.").arg(program->displayString()));
    }
    struct stat st {};
    if (mustExist &&
        (::stat(program->c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(program->c_str(), X_OK) != 0)) {
        return Error::app(QStringLiteral("%1 is not installed.").arg(program->displayString()));
    }
    return std::nullopt;
}

bool isSystemEntry(const std::string &fileId)
{
    for (const char *prefix : RunAtLoginManager::kSystemEntryPrefixes) {
        if (fileId.starts_with(prefix)) return true;
    }
    return false;
}

} // namespace

RunAtLoginManager &RunAtLoginManager::shared()
{
    // Never destroyed: it may be asked from anywhere until the process ends.
    static auto *instance = new RunAtLoginManager;
    return *instance;
}

RunAtLoginManager::RunAtLoginManager(BytePath programDirectory)
    : m_programDirectory(programDirectory.empty() ? ProgramPaths::thisProgramFolder() : std::move(programDirectory))
{}

RunAtLoginManager::~RunAtLoginManager() = default;

QString RunAtLoginManager::_launcherAppBundleIdentifier() const
{
    return QStringLiteral("com.brendix.myapp");
}

std::optional<BytePath> RunAtLoginManager::helperProgramPath(const QString &) const
{
    return std::nullopt;
}

std::optional<BytePath> RunAtLoginManager::appImage() const
{
    if (m_appImage) return m_appImage->empty() ? std::nullopt : m_appImage;
    const char *value = std::getenv("APPIMAGE");
    if (value == nullptr || *value == '\0') return std::nullopt;
    return BytePath(value);
}

BytePath RunAtLoginManager::applicationProgramPath() const
{
    return m_programDirectory / "lurkel";
}

bool RunAtLoginManager::isLaunchAtStartup()
{
    return itemRefInLoginItems().has_value();
}

std::optional<BytePath> RunAtLoginManager::itemRefInLoginItems()
{
    const auto entry = Autostart::entry(Identity::kBundleIdentifier);
    if (!entry || !entry->isEnabled()) return std::nullopt;
    return entry->path;
}

std::optional<Error> RunAtLoginManager::toggleLaunchAtLoginValue_WithoutHelperApp()
{
    const QString fileId = QString::fromLatin1(Identity::kBundleIdentifier);
    std::optional<Error> error = isLaunchAtStartup() ? disableEntry(fileId, applicationProgramPath())
                                                     : enableEntry(fileId, applicationProgramPath());
    if (error) logFailure(lcLogin, "toggleLaunchAtLoginValue_WithoutHelperApp", *error);
    return error;
}

std::vector<LoginItem> RunAtLoginManager::loadSandboxedLoginItems()
{
    std::vector<LoginItem> items;
    for (const AutostartEntry &entry : Autostart::entries()) {
        if (isSystemEntry(entry.fileId) || !entry.isEnabled()) continue;
        items.push_back(LoginItem::itemFromAutostartEntry(entry));
    }
    return items;
}

bool RunAtLoginManager::isAppWithBundleIdentifierEnabledForAutolaunch(const QString &bundleIdentifier)
{
    // An entry whose program is gone (a moved or deleted AppImage) starts nothing.
    for (const LoginItem &item : loadSandboxedLoginItems()) {
        if (item.bundleIdentifier() == bundleIdentifier && item.executablePath()) return true;
    }
    return false;
}

bool RunAtLoginManager::isEnabledToAutoLaunchWithHelperApp()
{
    return isAppWithBundleIdentifierEnabledForAutolaunch(_launcherAppBundleIdentifier());
}

void RunAtLoginManager::setIsEnabledForHelperAppBundleIdentifierFailedBlock(bool enabled,
                                                                            const QString &bundleIdentifier,
                                                                            const FailedBlock &failedBlock)
{
    std::optional<BytePath> program = helperProgramPath(bundleIdentifier);
    std::vector<std::string> arguments;
    const std::optional<BytePath> image = appImage();
    if (image && bundleIdentifier == _launcherAppBundleIdentifier()) {
        // The launcher beside this program lies in the AppImage's mount, gone after logout.
        program = image;
        arguments = {kLauncherModeArgument};
    }
    const std::optional<Error> error =
        enabled ? enableEntry(bundleIdentifier, program, arguments) : disableEntry(bundleIdentifier, program);
    if (!error) return;
    logFailure(lcLogin, "setIsEnabledForHelperApp", *error);
    if (failedBlock) failedBlock(*error);
}

void RunAtLoginManager::setIsEnabledForHelperAppFailedBlock(bool enabled, const FailedBlock &failedBlock)
{
    setIsEnabledForHelperAppBundleIdentifierFailedBlock(enabled, _launcherAppBundleIdentifier(), failedBlock);
}

bool RunAtLoginManager::checkWasAutolaunchedWithHelperApp_AutoTerminateHelper(bool terminate)
{
    const bool running = RunningApplications::isRunning(_launcherAppBundleIdentifier());
    m_wasAutolaunchedWithHelperApp = running;
    if (running && terminate) {
        DistributedNotificationCenter::defaultCenter().post(QString::fromLatin1(MessageNames::kTerminateHelper),
                                                            QString::fromLatin1(Identity::kBundleIdentifier));
    }
    return running;
}

std::optional<Error> RunAtLoginManager::enableEntry(const QString &fileId, const std::optional<BytePath> &program,
                                                    const std::vector<std::string> &arguments)
{
    if (!isUsableFileId(fileId)) return Error::app(QStringLiteral("%1 cannot name an autostart entry.").arg(fileId));
    if (auto error = checkProgram(fileId, program, true)) return error;
    return Autostart::writeUserEntry(utf8(fileId), entryText(*program, false, arguments));
}

std::optional<Error> RunAtLoginManager::disableEntry(const QString &fileId, const std::optional<BytePath> &program)
{
    if (!isUsableFileId(fileId)) return Error::app(QStringLiteral("%1 cannot name an autostart entry.").arg(fileId));
    const std::string id = utf8(fileId);
    if (!Autostart::hasSystemEntry(id)) return Autostart::removeUserEntry(id);
    // Only an entry of the user's that says Hidden=true keeps the system's from starting.
    const bool usable = program && !checkProgram(fileId, program, false);
    const BytePath masked = usable ? *program : BytePath("/bin/true");
    return Autostart::writeUserEntry(id, entryText(masked, true));
}

} // namespace lurkel
