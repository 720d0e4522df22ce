#include "ResultFileOperations.h"

#include "DesktopUrlOpener.h"
#include "DesktopWorkspace.h"
#include "FinderCommunicator.h"
#include "HiddenFilesState.h"
#include "Log.h"
#include "PathsGenerator.h"
#include "PosixFile.h"
#include "PromoSettings.h"
#include "ResultSheet.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "Spawn.h"
#include "UserDefaults.h"
#include "XdgDirs.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMimeData>

#include <sys/stat.h>

#include <QLocale>

#include <algorithm>
#include <string>
#include <unordered_map>

namespace lurkel {
namespace {

bool anyInPackage(const SearchItemList &items)
{
    return std::any_of(items.begin(), items.end(), [](const SearchItemPtr &item) { return item->fileInPackage(); });
}

bool pathExists(const BytePath &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

QString joinedLines(const SearchItemList &items, bool fullPaths)
{
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(items.size()));
    for (const SearchItemPtr &item : items)
        lines << (fullPaths ? item->fullPathForDisplay() : item->fileNameForDisplay());
    return lines.join(QLatin1Char('\n'));
}

} // namespace

ResultFileOperations::ResultFileOperations(QWidget *window, const Services &services, QObject *parent)
    : QObject(parent), m_window(window),
      m_communicator(services.communicator != nullptr ? services.communicator
                                                      : &FinderCommunicator::sharedCommunicator()),
      m_hiddenFiles(services.hiddenFiles),
      m_urlOpener(services.urlOpener != nullptr ? services.urlOpener : &DesktopUrlOpener::shared()),
      m_workspace(services.workspace != nullptr ? services.workspace : &DesktopWorkspace::shared()),
      m_defaults(services.defaults != nullptr ? services.defaults : &UserDefaults::standardUserDefaults())
{
    QPointer<ResultFileOperations> self(this);
    m_communicator->setNoticeHandler([self](const QString &notice) {
        if (self) Q_EMIT self->notice(notice);
    });
}

QString ResultFileOperations::promptForAction(int action)
{
    switch (action) {
    case ResultActionCopy:
        return QStringLiteral("Copy");
    case ResultActionMove:
        return QStringLiteral("Move");
    case ResultActionTrash:
        return QStringLiteral("Remove");
    default:
        return QStringLiteral("Ok");
    }
}

QString ResultFileOperations::intoItselfMessage(int action, const BytePath &destination)
{
    const QString verb = action == ResultActionMove ? QStringLiteral("move") : QStringLiteral("copy");
    return QStringLiteral("You can't %1 \"%2\" at this location because you can't %1 an item into itself.")
        .arg(verb, BytePath(destination.fileName()).displayString());
}

void ResultFileOperations::doCopyOrMoveActionWithPathes(int action, const SearchItemList &items)
{
    if (items.empty()) return;
    if (action == ResultActionMove && anyInPackage(items)) {
        ResultSheet::Request request;
        request.icon = QMessageBox::Warning;
        request.text = QStringLiteral("Are you sure you want to move files from package contents?");
        request.informativeText = QStringLiteral("Changing package contents may corrupt the packages.");
        request.buttons = {QStringLiteral("Move"), QStringLiteral("Cancel")};
        QPointer<ResultFileOperations> self(this);
        ResultSheet::show(m_window, request, [self, action, items](int button, bool) {
            if (self && button == 0) self->chooseDestination(action, items);
        });
        return;
    }
    chooseDestination(action, items);
}

void ResultFileOperations::chooseDestination(int action, const SearchItemList &items)
{
    auto *chooser = new QFileDialog(m_window);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setOption(QFileDialog::DontUseNativeDialog);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setAcceptMode(QFileDialog::AcceptOpen);
    chooser->setWindowTitle(QStringLiteral("Select Destination Folder"));
    chooser->setLabelText(QFileDialog::Accept, promptForAction(action));
    chooser->setDirectory(PathsGenerator().getHomeDirectory().displayString());
    QPointer<ResultFileOperations> self(this);
    connect(chooser, &QFileDialog::accepted, this, [self, chooser, action, items]() {
        const QStringList chosen = chooser->selectedFiles();
        if (!self || chosen.isEmpty()) return;
        std::string folder = BytePath::fromText(chosen.first()).bytes();
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        self->destinationChosen(action, items, BytePath(std::move(folder)));
    });
    chooser->open();
}

void ResultFileOperations::destinationChosen(int action, const SearchItemList &items, const BytePath &destination)
{
    if (items.empty()) return;
    const BytePathList paths = pathsOf(items);
    if (std::find(paths.begin(), paths.end(), destination) != paths.end()) {
        ResultSheet::Request request;
        request.icon = QMessageBox::Warning;
        request.text = intoItselfMessage(action, destination);
        request.buttons = {QStringLiteral("OK")};
        request.modality = Qt::ApplicationModal;
        ResultSheet::show(m_window, request, {});
        return;
    }
    // The chooser hands back text: a folder whose name is not valid UTF-8 does not come back
    // as itself. Nothing is copied or moved to a folder that is not there as named.
    if (!isDirectory(destination)) {
        ResultSheet::Request request;
        request.icon = QMessageBox::Warning;
        request.text = QStringLiteral("The folder \"%1\" can't be used as destination.")
                           .arg(BytePath(destination.fileName()).displayString());
        request.informativeText = QStringLiteral("Choose another folder.");
        request.buttons = {QStringLiteral("OK")};
        ResultSheet::show(m_window, request, {});
        return;
    }
    runScript(action, items, destination);
}

void ResultFileOperations::deleteActionButtonPressed(const SearchItemList &items)
{
    if (items.empty()) return;
    Settings settings(*m_defaults);
    if (settings.getBoolValueForKeyWithDefaultValue(SettingsKeys::kDontShowDeleteAlertDialog, false)) {
        doRemoveActionWithPathes(items);
        return;
    }
    ResultSheet::Request request;
    request.icon = QMessageBox::Warning;
    request.text = QStringLiteral("Are you sure you want to remove selected files?");
    request.informativeText = QStringLiteral("All selected files will be removed to Trash.");
    request.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    request.suppressionText = ResultSheet::doNotShowAgainText();
    QPointer<ResultFileOperations> self(this);
    ResultSheet::show(m_window, request, [self, items](int button, bool suppress) {
        if (!self || button != 0) return;
        if (suppress) Settings(*self->m_defaults).saveBoolValueForKey(true, SettingsKeys::kDontShowDeleteAlertDialog);
        self->doRemoveActionWithPathes(items);
    });
}

void ResultFileOperations::doRemoveActionWithPathes(const SearchItemList &items)
{
    if (items.empty()) return;
    if (anyInPackage(items)) {
        ResultSheet::Request request;
        request.icon = QMessageBox::Warning;
        request.text = QStringLiteral("Are you sure you want to remove files from package contents?");
        request.informativeText = QStringLiteral("Changing package contents may corrupt the packages.");
        request.buttons = {QStringLiteral("Remove"), QStringLiteral("Cancel")};
        QPointer<ResultFileOperations> self(this);
        ResultSheet::show(m_window, request, [self, items](int button, bool) {
            if (self && button == 0) self->runScript(ResultActionTrash, items, {});
        });
        return;
    }
    runScript(ResultActionTrash, items, {});
}

QString ResultFileOperations::verbForAction(int action)
{
    switch (action) {
    case ResultActionCopy:
        return QStringLiteral("copied");
    case ResultActionMove:
        return QStringLiteral("moved");
    default:
        return QStringLiteral("moved to the Trash");
    }
}

QString ResultFileOperations::progressText(int action, std::size_t reported, std::size_t total)
{
    const QString doing = action == ResultActionCopy   ? QStringLiteral("Copying")
                          : action == ResultActionMove ? QStringLiteral("Moving")
                                                       : QStringLiteral("Moving to the Trash");
    return QStringLiteral("%1 %2 of %3")
        .arg(doing, QLocale().toString(qulonglong(reported)), QLocale().toString(qulonglong(total)));
}

ResultFileOperations::Report ResultFileOperations::reportFor(int action, const SearchItemList &items,
                                                             const FinderCommunicator::Outcome &outcome)
{
    Report report;
    report.action = action;
    report.total = items.size();
    report.cancelled = outcome.cancelled;
    const QString whole = outcome.error ? outcome.error->localizedDescription() : QString();
    if (outcome.itemized) {
        std::unordered_map<std::string, const FinderCommunicator::ItemResult *> byPath;
        byPath.reserve(outcome.items.size());
        for (const FinderCommunicator::ItemResult &result : outcome.items)
            byPath.emplace(result.item.bytes(), &result);
        for (const SearchItemPtr &item : items) {
            const auto found = byPath.find(item->fullFileNameWithPath().bytes());
            const bool recorded = found != byPath.end();
            // Without its record (lost with a stopped script) a moved item is known by its
            // absence.
            if (recorded ? found->second->done
                         : action != ResultActionCopy && !pathExists(item->fullFileNameWithPath())) {
                report.done.push_back(item);
            } else if (recorded) {
                report.failed.push_back({item, found->second->reason});
            } else if (outcome.cancelled) {
                report.untouched.push_back(item);
            } else {
                // The script ended (or was stopped) before it reached the item.
                report.failed.push_back(
                    {item, whole.isEmpty() ? QStringLiteral("the script did not report it") : whole});
            }
        }
    } else if (outcome.success) {
        report.done = items;
    } else {
        // A script called the older way says nothing item by item: an item that moved has
        // left its place, one that did not is still there.
        for (const SearchItemPtr &item : items) {
            if (action != ResultActionCopy && !pathExists(item->fullFileNameWithPath())) {
                report.done.push_back(item);
            } else {
                report.failed.push_back({item, whole});
            }
        }
    }
    return report;
}

QString ResultFileOperations::Report::summary() const
{
    const QString verb = verbForAction(action);
    if (cancelled) {
        return QStringLiteral("Stopped: %1 of %2 items were %3; the other %4 were left as they were.")
            .arg(done.size())
            .arg(total)
            .arg(verb)
            .arg(total - done.size());
    }
    if (failed.size() == 1 && total == 1) {
        return QStringLiteral("\"%1\" could not be %2.").arg(failed.front().item->fileNameForDisplay(), verb);
    }
    if (failed.size() == total) return QStringLiteral("None of the %1 items could be %2.").arg(total).arg(verb);
    return QStringLiteral("%1 of %2 items could not be %3.").arg(failed.size()).arg(total).arg(verb);
}

QString ResultFileOperations::Report::details(std::size_t limit) const
{
    QStringList lines;
    for (std::size_t i = 0; i < failed.size() && i < limit; ++i)
        lines << QStringLiteral("%1: %2").arg(failed[i].item->fullPathForDisplay(), failed[i].reason);
    if (failed.size() > limit) lines << QStringLiteral("and %1 more").arg(failed.size() - limit);
    return lines.join(QLatin1Char('\n'));
}

void ResultFileOperations::runScript(int action, const SearchItemList &items, const BytePath &destination)
{
    BytePathList arguments;
    if (action != ResultActionTrash) arguments.push_back(destination);
    for (BytePath &path : pathsOf(items))
        arguments.push_back(std::move(path));

    QPointer<ResultFileOperations> self(this);
    auto cancel = std::make_shared<SpawnCancel>();
    auto completion = [self, action, items, destination, cancel](const FinderCommunicator::Outcome &outcome) {
        if (!self) return;
        --self->m_running;
        if (self->m_cancel == cancel) self->m_cancel.reset();
        const Report report = reportFor(action, items, outcome);
        if (outcome.error) {
            logFailure(lcResults,
                       action == ResultActionTrash  ? "doRemoveFiles"
                       : action == ResultActionMove ? "doMoveFiles"
                                                    : "doCopyFiles",
                       *outcome.error);
        }
        // The rows follow what was done, whatever happened to the rest.
        if (!report.done.empty()) Q_EMIT self->actionSucceeded(action, report.done, destination);
        self->m_lastReport = report;
        if (!report.failed.empty() || report.cancelled) self->showReport(report);
        Q_EMIT self->actionFinished(action, report.failed.empty() && !report.cancelled);
    };
    auto progress = [self, action, total = items.size()](std::size_t reported) {
        if (self) Q_EMIT self->operationProgress(action, reported, total);
    };

    bool started = false;
    ++m_running;
    m_cancel = cancel;
    switch (action) {
    case ResultActionCopy:
        started = m_communicator->checkCopyFilesScript() &&
                  m_communicator->doCopyFilesWithCompletion(arguments, completion, cancel, progress);
        break;
    case ResultActionMove:
        started = m_communicator->checkMoveFilesScript() &&
                  m_communicator->doMoveFilesWithCompletion(arguments, completion, cancel, progress);
        break;
    case ResultActionTrash:
        started = m_communicator->checkRemoveFilesScript() &&
                  m_communicator->doRemoveFilesWithCompletion(arguments, completion, cancel, progress);
        break;
    default:
        break;
    }
    if (!started) {
        --m_running;
        m_cancel.reset();
        qCWarning(lcResults) << "the file-manager script for action" << action << "is not available";
        ResultSheet::Request request;
        request.icon = QMessageBox::Warning;
        request.text = QStringLiteral("The items could not be %1.").arg(verbForAction(action));
        request.informativeText = QStringLiteral("The file-manager script for this is missing from %1 and could not "
                                                 "be installed there.")
                                      .arg(XdgDirs::appScriptsDir().displayString());
        request.buttons = {QStringLiteral("OK")};
        ResultSheet::show(m_window, request, {});
        return;
    }
    Q_EMIT operationProgress(action, 0, items.size());
}

void ResultFileOperations::cancelRunningOperation()
{
    if (m_cancel) m_cancel->cancel();
}

void ResultFileOperations::showReport(const Report &report)
{
    ResultSheet::Request request;
    request.icon = report.cancelled && report.failed.empty() ? QMessageBox::Information : QMessageBox::Warning;
    request.text = report.summary();
    if (report.cancelled && !report.failed.empty()) {
        request.text +=
            QLatin1Char('\n') +
            QStringLiteral("%1 could not be %2.").arg(report.failed.size()).arg(verbForAction(report.action));
    }
    request.informativeText = report.details(kShownFailures);
    if (report.failed.size() > kShownFailures) request.detailedText = report.details(report.failed.size());
    request.buttons = {QStringLiteral("OK")};
    ResultSheet::show(m_window, request, {});
}

void ResultFileOperations::showInFinder(const SearchItemList &items)
{
    if (items.empty()) return;
    const BytePathList paths = pathsOf(items);
    // Being inside a hidden folder does not count: the file manager shows such a folder's
    // contents once it is open.
    const bool anyHidden =
        std::any_of(items.begin(), items.end(), [](const SearchItemPtr &item) { return item->fileHidden(); });
    if (!anyHidden) {
        revealItems(paths);
    } else if (m_hiddenFiles != nullptr && m_hiddenFiles->isAllowedToWorkWithHiddenFiles()) {
        tryToShowHiddenFile(paths);
    } else {
        showInformationAlert(paths);
    }
}

void ResultFileOperations::revealItems(const BytePathList &paths)
{
    m_workspace->activateFileViewerSelectingURLs(paths);
}

void ResultFileOperations::tryToShowHiddenFile(const BytePathList &paths)
{
    if (m_hiddenFiles->isHiddenShown()) {
        revealItems(paths);
        return;
    }
    ResultSheet::Request request;
    request.text = QStringLiteral(
        "Hidden files are not displayed in the file manager. Would you like to make hidden files visible in "
        "the file manager?");
    if (m_hiddenFiles->switchRelaunchesFileManager()) {
        request.informativeText = QStringLiteral("The file manager will be relaunched if so.");
    }
    request.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    QPointer<ResultFileOperations> self(this);
    ResultSheet::show(m_window, request, [self, paths](int button, bool) {
        if (!self || button != 0) return;
        self->m_hiddenFiles->switchHiddenFilesVisibilityWithCompletion([self, paths](const std::optional<Error> &) {
            if (self) self->revealItems(paths);
        });
    });
}

void ResultFileOperations::showInformationAlert(const BytePathList &paths)
{
    ResultSheet::Request request;
    request.text = QStringLiteral("You try to reveal a hidden file in the file manager");
    request.informativeText =
        QStringLiteral("If hidden files are displayed in the file manager click the Show button.\n"
                       "If not, click the Instruction button to read how to display hidden "
                       "files in the file manager.");
    request.buttons = {QStringLiteral("Show"), QStringLiteral("Cancel"), QStringLiteral("Instruction")};
    request.helpButton = 2;
    request.escapeButton = 1;
    QPointer<ResultFileOperations> self(this);
    ResultSheet::show(m_window, request, [self, paths](int button, bool) {
        if (!self) return;
        if (button == 0) self->revealItems(paths);
        if (button == 2) self->m_urlOpener->openAddress(PromoSettings::getShowHiddenInFinderInstructionURLonBrendix());
    });
}

void ResultFileOperations::getInfo(const SearchItemList &items)
{
    if (items.empty()) return;
    m_workspace->showItemProperties(pathsOf(items));
}

BytePathList ResultFileOperations::pathsOf(const SearchItemList &items)
{
    BytePathList paths;
    paths.reserve(items.size());
    for (const SearchItemPtr &item : items)
        paths.push_back(item->fullFileNameWithPath());
    return paths;
}

QByteArray ResultFileOperations::uriList(const BytePathList &paths)
{
    QByteArray list;
    for (const BytePath &path : paths) {
        list += path.toFileUri();
        list += "\r\n";
    }
    return list;
}

void ResultFileOperations::copyNamesToClipboard(const SearchItemList &items)
{
    if (items.empty()) return;
    QGuiApplication::clipboard()->setText(joinedLines(items, false));
}

void ResultFileOperations::copyPathnamesToClipboard(const SearchItemList &items)
{
    if (items.empty()) return;
    auto *data = new QMimeData();
    data->setText(joinedLines(items, true));
    data->setData(QStringLiteral("text/uri-list"), uriList(pathsOf(items)));
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace lurkel
