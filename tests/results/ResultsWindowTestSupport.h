#pragma once

#include "BytePath.h"
#include "DesktopWorkspace.h"
#include "DiskAccessRestoreManager.h"
#include "FinderCommunicator.h"
#include "HiddenFilesState.h"
#include "ManualClock.h"
#include "NotificationCenter.h"
#include "PreviewWindow.h"
#include "QuickLookController.h"
#include "ScriptsManager.h"
#include "SearchManager.h"
#include "SearchResultWC.h"
#include "UrlOpener.h"
#include "UserDefaults.h"

#include <QMessageBox>
#include <QStringList>

#include <memory>
#include <vector>

class QFileDialog;

namespace lurkel::test {

// Records the addresses it is asked to open.
class RecordingUrlOpener final : public UrlOpener {
public:
    bool openUrl(const QUrl &url) override
    {
        opened << url;
        return true;
    }
    QList<QUrl> opened;
};

// Hidden-file visibility as a value; a switch completes on the main thread.
class SwitchableHiddenFiles final : public HiddenFilesState {
public:
    bool isAllowedToWorkWithHiddenFiles() const override { return allowed; }
    bool isHiddenShown() const override { return shown; }
    bool switchRelaunchesFileManager() const override { return relaunches; }
    void switchHiddenFilesVisibilityWithCompletion(SwitchCompletion completion) override;

    bool allowed = true;
    bool shown = false;
    bool relaunches = false;
    int switches = 0;
};

// org.freedesktop.FileManager1 on the private session bus, recording its calls.
class FileManagerService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    FileManagerService();
    ~FileManagerService() override;
    bool isRegistered() const { return m_registered; }

    struct Call {
        QString method;
        QStringList uris;
    };
    std::vector<Call> calls;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &startupId);
    void ShowItemProperties(const QStringList &uris, const QString &startupId);
    void ShowFolders(const QStringList &uris, const QString &startupId);

private:
    QString m_connectionName;
    bool m_registered = false;
};

// A results window over a fresh home with its own services and a manual clock; the real
// file-manager scripts run through lurkelctl, and xdg-open on PATH logs its argument.
class ResultsHarness {
public:
    // Who does the file work of copy, move and Trash: this process's user, or (when it is
    // root) an unprivileged one (lurkelctl started through setpriv).
    enum class FileWork { Ours, Unprivileged };
    explicit ResultsHarness(HiddenFilesState *hiddenFiles = nullptr, FileWork fileWork = FileWork::Ours);
    ~ResultsHarness();
    ResultsHarness(const ResultsHarness &) = delete;
    ResultsHarness &operator=(const ResultsHarness &) = delete;

    BytePath makeFile(const std::string &relative, const std::string &content = "x");
    BytePath makeFolder(const std::string &relative);

    // Runs a search as the panel starts it and waits for its end.
    void search(const QString &text, const BytePath &folder);
    bool waitForSearchEnd();

    std::vector<std::string> shownNames() const; // in row order
    int rowOf(const std::string &name) const;
    // Selects exactly these rows, the first one current.
    void selectNames(const std::vector<std::string> &names);

    std::vector<std::string> openedUris() const; // what xdg-open was given
    // From now on xdg-open fails with this status and message.
    void failOpening(int status, const std::string &message);
    bool waitForOpenedCount(std::size_t count);

    BytePath home;
    std::unique_ptr<UserDefaults> defaults;
    ManualClock clock;
    NotificationCenter center;
    SearchManager manager;
    QuickLookController quickLook;
    DesktopWorkspace workspace;
    RecordingUrlOpener urlOpener;
    std::unique_ptr<DiskAccessRestoreManager> access;
    std::unique_ptr<ScriptsManager> scripts;
    std::unique_ptr<FinderCommunicator> communicator;
    std::unique_ptr<SearchResultWC> window;

private:
    BytePath m_openerLog;
    QByteArray m_oldPath;
};

// Message boxes and folder choosers over the window (any text when empty); the waits give
// nullptr when none comes.
QMessageBox *waitForMessageBox(QWidget *window, const QString &text = {});
bool messageBoxShown(QWidget *window, const QString &text = {});
void clickButton(QMessageBox *box, const QString &title);
QFileDialog *waitForFileDialog(QWidget *window);
void chooseFolder(QFileDialog *dialog, const BytePath &folder);

} // namespace lurkel::test
