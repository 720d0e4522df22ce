#pragma once

#include "BytePath.h"
#include "SearchItem.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace lurkel {

class DesktopWorkspace;
class FinderCommunicator;
class HiddenFilesState;
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
// sheets over the window; nothing is done before the user has answered, and the window is
// told of a copy, move or Trash only when the script reported success (actionSucceeded).
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

    // Scripts started and not yet ended.
    int runningCount() const { return m_running; }

Q_SIGNALS:
    // The script of a copy, move or Trash reported success.
    void actionSucceeded(int action, const lurkel::SearchItemList &items, const lurkel::BytePath &destination);
    // A started script has ended (successfully or not).
    void actionFinished(int action, bool success);

private:
    void chooseDestination(int action, const SearchItemList &items);
    void runScript(int action, const SearchItemList &items, const BytePath &destination);
    void revealItems(const BytePathList &paths);
    void tryToShowHiddenFile(const BytePathList &paths);
    void showInformationAlert(const BytePathList &paths);

    QPointer<QWidget> m_window;
    FinderCommunicator *m_communicator;
    HiddenFilesState *m_hiddenFiles;
    UrlOpener *m_urlOpener;
    DesktopWorkspace *m_workspace;
    UserDefaults *m_defaults;
    int m_running = 0;
};

} // namespace lurkel
