#include "BXAppDelegate.h"
#include "MessageNames.h"

#include "AutostartMigration.h"
#include "BXPurgeController.h"
#include "DesktopUrlOpener.h"
#include "DistributedNotificationCenter.h"
#include "FileOperations.h"
#include "HiddenManager.h"
#include "Identity.h"
#include "Log.h"
#include "LurkelProjectRunAtLoginManager.h"
#include "MemoryController.h"
#include "NotificationCenter.h"
#include "ProgramPaths.h"
#include "PromoManager.h"
#include "PromoSettings.h"
#include "RunningApplications.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "Spawn.h"
#include "Trash.h"
#include "UserDefaults.h"
#include "VolumeName.h"
#include "XdgDirs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {

namespace {

namespace Keys = SettingsKeys;

BXPurgeController *g_purgeController = nullptr;

QString bundleIdentifier()
{
    return QString::fromLatin1(Identity::kBundleIdentifier);
}

std::optional<BytePath> environmentPath(const char *name)
{
    const char *value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return BytePath(value);
}

MoveToApplicationsAnswer askToMove(const QString &message, const QString &informative)
{
    QMessageBox alert(QMessageBox::Information, QString::fromLatin1(Identity::kBundleDisplayName), message);
    alert.setInformativeText(informative);
    alert.setIconPixmap(QIcon::fromTheme(bundleIdentifier()).pixmap(64, 64));
    QPushButton *move = alert.addButton(QStringLiteral("Move to Applications Folder"), QMessageBox::AcceptRole);
    alert.addButton(QStringLiteral("Do Not Move"), QMessageBox::RejectRole);
    alert.setDefaultButton(move);
    auto *suppress = new QCheckBox(QStringLiteral("Do not ask again"));
    alert.setCheckBox(suppress);
    alert.exec();
    return {alert.clickedButton() == move, suppress->isChecked()};
}

} // namespace

BXAppDelegate::BXAppDelegate(BXPurgeController &controller, AppDelegateServices services, QObject *parent)
    : QObject(parent), m_controller(controller),
      m_runAtLogin(services.runAtLogin ? *services.runAtLogin : LurkelProjectRunAtLoginManager::shared()),
      m_defaults(services.defaults ? *services.defaults : UserDefaults::standardUserDefaults()),
      m_center(services.notificationCenter ? *services.notificationCenter : NotificationCenter::defaultCenter()),
      m_distributed(services.distributed ? *services.distributed : DistributedNotificationCenter::defaultCenter()),
      m_urlOpener(services.urlOpener ? *services.urlOpener : DesktopUrlOpener::shared()),
      m_services(std::move(services))
{
    g_purgeController = &m_controller;
}

BXAppDelegate::~BXAppDelegate()
{
    if (g_purgeController == &m_controller) g_purgeController = nullptr;
}

BXPurgeController *BXAppDelegate::purgeController()
{
    return g_purgeController;
}

bool BXAppDelegate::handOverToRunningCopy(const QString &identifier, const std::optional<SearchRequest> &search)
{
    const bool activated = RunningApplications::activate(identifier);
    bool searched = true;
    if (search) searched = RunningApplications::search(identifier, search->text, search->folder);
    // Peers that listen for the copy notification (rather than answer Activate) hear it too.
    DistributedNotificationCenter::defaultCenter().post(
        QString::fromLatin1(MessageNames::kAppCopyHaveJustTriedToLaunch), identifier);
    return activated && searched;
}

void BXAppDelegate::applicationDidFinishLaunching(const QStringList &arguments)
{
    // 1, 2: Linux follows the desktop's own light or dark style; the crash handler is
    // installed by main() before anything is built.
    // 3: started by the login launcher? It is told to go away.
    m_runAtLogin.checkWasAutolaunchedWithHelperApp_AutoTerminateHelper(true);
    // 4: a second copy never gets here (main() hands over before building anything).
    crashTheAppIfCopyIsAlreadyLaunched();
    // 5: the updater is the controller's (Check for Updates).
    // 6: the suite edition does not exist here.
    BytePath copied;
    if (copyAppToApplications(copied)) {
        const bool launched = m_services.launchApplication ? m_services.launchApplication(copied) : [&copied] {
            RunningApplications::release(bundleIdentifier());
            if (const std::optional<Error> error = Spawn::launchDetached({copied.bytes()})) {
                logFailure(lcCore, "launchApplication", *error);
                RunningApplications::claim(bundleIdentifier());
                return false;
            }
            return true;
        }();
        if (launched) {
            m_handedOverToCopy = true;
            if (m_services.terminate)
                m_services.terminate();
            else
                QCoreApplication::quit();
        }
        return;
    }
    // 6.2: Linux has no first activation to carry the login rule, so it is decided here:
    // a start by the login launcher, or with "Show panel at start" off, opens nothing.
    if (shouldShowPanelAtStart()) BXPurgeController::ShowMainWindowAndMakeActive(m_center);
    // 7: an older autostart entry becomes the launcher's.
    AutostartMigration::migrateAutostartIfNeeded(m_runAtLogin, m_defaults, [this](const Error &) {
        showErrorAlert(QStringLiteral("An error ocurred"),
                       QStringLiteral("Couldn't add Helper App to launch at login item list."));
    });
    // 8: the promotion manager. A click on a desktop notification reaches only the running
    // process that posted it (PromoSession hands it to processNotification), so no start
    // carries one.
    PromoManager::GetInstance();
    // 9.
    if (arguments.contains(QString::fromLatin1(MessageNames::kShowWindowAfterStart)))
        m_center.post(QString::fromLatin1(MessageNames::kShowWindowAfterStart));
    // 10.
    setSharingButton();
    // A settings file that could not be read is left as it is; say why changes will not last.
    if (m_defaults.isReadOnly()) {
        showErrorAlert(QStringLiteral("Lurkel cannot save its settings"),
                       m_defaults.readOnlyReason() +
                           QStringLiteral("\n\nLurkel starts from its defaults and keeps your changes until it quits; "
                                          "the file is left as it is."));
    }
}

bool BXAppDelegate::shouldShowPanelAtStart() const
{
    if (m_runAtLogin.wasAutolaunchedWithHelperApp()) {
        qCInfo(lcCore, "started at login: the panel stays closed");
        return false;
    }
    return m_controller.memory().showInfo();
}

void BXAppDelegate::crashTheAppIfCopyIsAlreadyLaunched()
{
    m_distributed.addObserver(
        appCopyHaveJustTriedToLaunchNotificatioName(), bundleIdentifier(),
        [this](const Notification &) { appCopyHaveJustTriedToLaunch(); }, this);
}

QString BXAppDelegate::appCopyHaveJustTriedToLaunchNotificatioName() const
{
    return QString::fromLatin1(MessageNames::kAppCopyHaveJustTriedToLaunch);
}

void BXAppDelegate::appCopyHaveJustTriedToLaunch()
{
    BXPurgeController::ShowMainWindowAndMakeActive(m_center);
}

bool BXAppDelegate::applicationShouldHandleReopen()
{
    BXPurgeController::ShowMainWindowAndMakeActive(m_center);
    return true;
}

void BXAppDelegate::applicationDidBecomeActive()
{
    // On Linux a tray application is "active" whenever one of its windows has the focus,
    // which is no request to open the panel (that comes as Activate or a second start);
    // the file manager's setting may have changed meanwhile, so it is read again.
    m_becameActiveOnce = true;
    m_controller.hiddenManager().applicationDidBecomeActiveAction();
}

BytePath BXAppDelegate::home() const
{
    if (!m_services.home.empty()) return m_services.home;
    return XdgDirs::home();
}

std::optional<BytePath> BXAppDelegate::appImage() const
{
    if (m_services.appImage) return m_services.appImage->empty() ? std::nullopt : m_services.appImage;
    return environmentPath("APPIMAGE");
}

BytePath BXAppDelegate::applicationsSystemDirectory() const
{
    return home() / "Applications";
}

bool BXAppDelegate::copyAppToApplications(BytePath &destination)
{
    const std::optional<BytePath> bundle = appImage();
    if (!bundle || !bundle->isAbsolute()) return false;
    for (const BytePath &folder : {applicationsSystemDirectory(), BytePath("/opt")}) {
        if (VolumeName::isParentPathForPath(folder, *bundle)) return false;
    }
    Settings settings(m_defaults);
    if (settings.getBoolValueForKeyWithDefaultValue(Keys::kSuppressAlertMoveToApplications, false)) return false;

    const QString name = QString::fromLatin1(Identity::kBundleName);
    const QString message = QStringLiteral("Move %1 to Applications folder?").arg(name);
    const QString informative = QStringLiteral(
        "The best way to locate the application is the Applications folder. I can move myself if you'd like.");
    const MoveToApplicationsAnswer answer =
        m_services.moveAlert ? m_services.moveAlert(message, informative) : askToMove(message, informative);
    if (answer.suppress) settings.saveBoolValueForKey(true, Keys::kSuppressAlertMoveToApplications);
    if (!answer.move) return false;

    const BytePath folder = applicationsSystemDirectory();
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        showErrorAlert(QStringLiteral("The application could not be copied"),
                       Error::posix(errno, folder.displayString()).localizedDescription());
        return false;
    }
    const BytePath target = folder / bundle->fileName();
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
        // An older copy is in the way: it goes to the Trash, never deleted outright.
        terminateAppByPathIfRunning(target);
        const ItemOutcome trashed = Trash::moveToTrash(target);
        if (!trashed.done()) {
            showErrorAlert(QStringLiteral("The application could not be copied"),
                           trashed.error->localizedDescription());
            return false;
        }
    }
    const ItemOutcome copy = FileOperations::copyItem(*bundle, folder);
    if (!copy.done()) {
        showErrorAlert(QStringLiteral("The application could not be copied"), copy.error->localizedDescription());
        return false;
    }
    destination = copy.destination;
    return true;
}

bool BXAppDelegate::terminateAppByPathIfRunning(const BytePath &path)
{
    const std::optional<pid_t> pid = RunningApplications::pidOf(bundleIdentifier());
    if (!pid || *pid == ::getpid()) return false;
    const std::optional<BytePath> exe = ProgramPaths::executableOf(*pid);
    if (!exe || *exe != path) return false;
    return RunningApplications::quit(bundleIdentifier());
}

void BXAppDelegate::toggleLaunchAtStartup(int value)
{
    setIsEnabledForHelperApp(value == 1);
}

void BXAppDelegate::setIsEnabledForHelperApp(bool enabled)
{
    m_runAtLogin.setIsEnabledForHelperAppFailedBlock(enabled, [this, enabled](const Error &) {
        showErrorAlert(QStringLiteral("An error ocurred"),
                       enabled ? QStringLiteral("Couldn't add Helper App to launch at login item list.")
                               : QStringLiteral("Couldn't remove Helper App from launch at login item list."));
    });
}

void BXAppDelegate::showErrorAlert(const QString &title, const QString &text)
{
    if (m_services.errorAlert) {
        m_services.errorAlert(title, text);
        return;
    }
    QMessageBox alert(QMessageBox::Warning, QString::fromLatin1(Identity::kBundleDisplayName), title, QMessageBox::Ok);
    alert.setInformativeText(text);
    alert.exec();
}

// ---- The recommendation e-mail.

void BXAppDelegate::setSharingButton()
{
    QAction *item = m_controller.emailItem();
    if (item == nullptr) return;
    item->setText(QStringLiteral("Recommend %1 by E-mail...").arg(QString::fromLatin1(Identity::kBundleDisplayName)));
    item->setIcon(QIcon::fromTheme(QStringLiteral("mail-send")));
    disconnect(item, &QAction::triggered, this, nullptr);
    connect(item, &QAction::triggered, this, [this] { emailButtonPressed(); });
}

QString BXAppDelegate::emailBody()
{
    return QStringLiteral("Hi,\n\n"
                          "I use %1 by Brendix: one click in the tray shows or hides hidden files in the file "
                          "manager, and it finds any file by name, hidden ones included. It is worth a try:\n\n%2\n")
        .arg(QString::fromLatin1(Identity::kBundleDisplayName),
             PromoManager::appendUtmSourceAndUtmFromAppTo(PromoSettings::webHost() + QStringLiteral("/lurkel/")));
}

void BXAppDelegate::emailButtonPressed()
{
    sendEmailWithMailAddressSubjectBody(QString(), QString(), QString::fromLatin1(kEmailSubject), emailBody());
}

QUrl BXAppDelegate::mailtoUrl(const QString &address, const QString &subject, const QString &body)
{
    const auto escape = [](const QString &text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
    const QString subjectPart = QStringLiteral("SUBJECT=%1").arg(escape(subject));
    QString bodyPart = QStringLiteral("BODY=%1").arg(escape(body));
    bodyPart.replace(QLatin1Char('&'), QStringLiteral("%26"));
    return QUrl::fromEncoded(QStringLiteral("mailto:%1?%2&%3").arg(escape(address), subjectPart, bodyPart).toLatin1());
}

void BXAppDelegate::sendEmailWithMailAddressSubjectBody(const QString &, const QString &address, const QString &subject,
                                                        const QString &body)
{
    m_urlOpener.openUrl(mailtoUrl(address, subject, body));
}

} // namespace lurkel
