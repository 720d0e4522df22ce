#pragma once

#include "BytePath.h"
#include "FinderCommunicator.h"
#include "SearchItem.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class QWidget;

namespace lurkel {

class DesktopWorkspace;
class HiddenFilesState;
class SpawnCancel;
class UrlOpener;
class UserDefaults;

// The action codes passed between the steps of an operation.
enum ResultAction : int {
    ResultActionCopy = 0,
    ResultActionMove = 1,
    ResultActionTrash = 2,
};

// The operations of the results window on the items the user picked: copy or move to a
// folder and move to the Trash (done by the file-manager scripts through the
// FinderCommunicator), show in the file manager (with care for hidden items), the file
// manager's properties, and copying names or paths to the clipboard.
//
// Every path is the item's own bytes (SearchItem::fullFileNameWithPath). Questions are
// sheets over the window; nothing is done before the user has answered. When a copy, move
// or Trash ends, the window is told which items were done (actionSucceeded, also after a
// partial failure), and a sheet names every item that was not, with the reason; a run can be
// stopped (cancelRunningOperation), after which each item is either done or untouched.
// Main thread only.
class ResultFileOperations : public QObject {
    Q_OBJECT

public:
    struct Services {
        FinderCommunicator *communicator = nullptr; // FinderCommunicator::sharedCommunicator()
        // Without one, revealing a hidden item shows the information alert.
        HiddenFilesState *hiddenFiles = nullptr;
        UrlOpener *urlOpener = nullptr;        // DesktopUrlOpener::shared()
        DesktopWorkspace *workspace = nullptr; // DesktopWorkspace::shared()
        UserDefaults *defaults = nullptr;      // the standard defaults
    };

    // window: where the sheets go. Not owned.
    ResultFileOperations(QWidget *window, const Services &services, QObject *parent = nullptr);

    // The destination chooser's prompt: "Copy", "Move", "Remove", otherwise "Ok".
    static QString promptForAction(int action);
    // The into-itself alert's text for the destination.
    static QString intoItselfMessage(int action, const BytePath &destination);

    // Copy (0) or move (1): for a move of package contents the package question first,
    // then the destination chooser, the into-itself check and the script.
    void doCopyOrMoveActionWithPathes(int action, const SearchItemList &items);
    // Trash: the confirmation (unless "KEY_dontShowDeleteAlertDialog"), then
    // doRemoveActionWithPathes().
    void deleteActionButtonPressed(const SearchItemList &items);
    // Trash after the confirmation: the package question, then the script.
    void doRemoveActionWithPathes(const SearchItemList &items);
    // Runs a copy or move to a chosen folder (the into-itself check first).
    void destinationChosen(int action, const SearchItemList &items, const BytePath &destination);

    // Shows the items in the file manager; a hidden item first asks as needed.
    void showInFinder(const SearchItemList &items);
    // The file manager's properties window of the items.
    void getInfo(const SearchItemList &items);

    // The names (or full paths) in the given order, one per line, as the clipboard's text;
    // with the paths also as a URI list made from their bytes.
    static void copyNamesToClipboard(const SearchItemList &items);
    static void copyPathnamesToClipboard(const SearchItemList &items);
    // "text/uri-list" content: one percent-encoded file URI per line, CRLF-terminated.
    static QByteArray uriList(const BytePathList &paths);
    // The items' own paths, in order.
    static BytePathList pathsOf(const SearchItemList &items);

    // Scripts started and not yet ended.
    int runningCount() const { return m_running; }
    // Stops the running copy, move or Trash (its script and what it started).
    void cancelRunningOperation();

    // What became of the items of one operation.
    struct Failure {
        SearchItemPtr item;
        QString reason;
    };
    struct Report {
        int action = ResultActionCopy;
        std::size_t total = 0;
        bool cancelled = false;
        SearchItemList done;
        std::vector<Failure> failed;
        SearchItemList untouched; // not reached before the run was stopped
        // "3 of 5 items could not be moved.", "None of the 2 items could be copied.",
        // "\"a.txt\" could not be moved to the Trash.", "Stopped: ..."
        QString summary() const;
        // "PATH: reason" a line, at most limit lines, then "and N more".
        QString details(std::size_t limit) const;
    };
    // How many failed items the sheet lists before "and N more" (all of them are in its details).
    static inline constexpr std::size_t kShownFailures = 8;
    // The items' fate from the script's outcome.
    static Report reportFor(int action, const SearchItemList &items, const FinderCommunicator::Outcome &outcome);
    // "copied", "moved", "moved to the Trash".
    static QString verbForAction(int action);
    // "Moving 12 of 30,000".
    static QString progressText(int action, std::size_t reported, std::size_t total);
    // The report of the last operation that ended.
    const std::optional<Report> &lastReport() const { return m_lastReport; }

Q_SIGNALS:
    // These items of a copy, move or Trash were done (also when others were not).
    void actionSucceeded(int action, const lurkel::SearchItemList &items, const lurkel::BytePath &destination);
    // A started script has ended; success: every item was done.
    void actionFinished(int action, bool success);
    // Something the user is told once, in the window's status line (an edited older script).
    void notice(const QString &text);
    // A started script has reported this many of its items (0 when it starts).
    void operationProgress(int action, std::size_t reported, std::size_t total);

private:
    void chooseDestination(int action, const SearchItemList &items);
    void runScript(int action, const SearchItemList &items, const BytePath &destination);
    void revealItems(const BytePathList &paths);
    void tryToShowHiddenFile(const BytePathList &paths);
    void showInformationAlert(const BytePathList &paths);
    void showReport(const Report &report);

    QPointer<QWidget> m_window;
    FinderCommunicator *m_communicator;
    HiddenFilesState *m_hiddenFiles;
    UrlOpener *m_urlOpener;
    DesktopWorkspace *m_workspace;
    UserDefaults *m_defaults;
    int m_running = 0;
    std::shared_ptr<SpawnCancel> m_cancel;
    std::optional<Report> m_lastReport;
};

} // namespace lurkel
