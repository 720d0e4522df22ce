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
#include "UserDefaults.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <string>

namespace lurkel {
namespace {

BytePathList pathsOf(const SearchItemList &items)
{
    BytePathList paths;
    paths.reserve(items.size());
    for (const SearchItemPtr &item : items)
        paths.push_back(item->fullFileNameWithPath());
    return paths;
}

bool anyInPackage(const SearchItemList &items)
{
    return std::any_of(items.begin(), items.end(), [](const SearchItemPtr &item) { return item->fileInPackage(); });
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
{}

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

void ResultFileOperations::runScript(int action, const SearchItemList &items, const BytePath &destination)
{
    BytePathList arguments;
    if (action != ResultActionTrash) arguments.push_back(destination);
    for (BytePath &path : pathsOf(items))
        arguments.push_back(std::move(path));

    QPointer<ResultFileOperations> self(this);
    auto completion = [self, action, items, destination](bool success, const std::optional<Error> &error) {
        if (!self) return;
        --self->m_running;
        if (!success) {
            // The lists stay as they are: what was done is not known item by item.
            logFailure(lcResults,
                       action == ResultActionTrash  ? "doRemoveFiles"
                       : action == ResultActionMove ? "doMoveFiles"
                                                    : "doCopyFiles",
                       error.value_or(Error::app(QStringLiteral("the file-manager script failed"))));
        } else {
            Q_EMIT self->actionSucceeded(action, items, destination);
        }
        Q_EMIT self->actionFinished(action, success);
    };

    bool started = false;
    ++m_running;
    switch (action) {
    case ResultActionCopy:
        started =
            m_communicator->checkCopyFilesScript() && m_communicator->doCopyFilesWithCompletion(arguments, completion);
        break;
    case ResultActionMove:
        started =
            m_communicator->checkMoveFilesScript() && m_communicator->doMoveFilesWithCompletion(arguments, completion);
        break;
    case ResultActionTrash:
        started = m_communicator->checkRemoveFilesScript() &&
                  m_communicator->doRemoveFilesWithCompletion(arguments, completion);
        break;
    default:
        break;
    }
    if (!started) {
        --m_running;
        qCWarning(lcResults) << "the file-manager script for action" << action << "is not available";
    }
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
