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

#include <QDBusConnection>
#include <QMessageBox>
#include <QObject>
#include <QStringList>

#include <memory>
#include <string>
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

// The file manager's hidden-file visibility as a value: a switch flips it and completes on
// the main thread, as the hidden manager does when its script has ended.
class SwitchableHiddenFiles final : public HiddenFilesState {
public:
    bool isAllowedToWorkWithHiddenFiles() const override { return allowed; }
    bool isHiddenShown() const override { return shown; }
    void switchHiddenFilesVisibilityWithCompletion(SwitchCompletion completion) override;

    bool allowed = true;
    bool shown = false;
    int switches = 0;
};

// A file manager on the private session bus: org.freedesktop.FileManager1 on a connection
// of its own, recording the calls it gets.
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

// Everything a results window needs, over a fresh home of its own: its own search manager,
// clock (the table's timers move only when the test says so), notification centre,
// preview, desktop workspace and settings, and the real file-manager scripts run through
// lurkelctl. xdg-open is a small program on PATH that writes its argument to a log.
class ResultsHarness {
public:
    explicit ResultsHarness(HiddenFilesState *hiddenFiles = nullptr);
    ~ResultsHarness();
    ResultsHarness(const ResultsHarness &) = delete;
    ResultsHarness &operator=(const ResultsHarness &) = delete;

    // Creates the file (and its folders) under home.
    BytePath makeFile(const std::string &relative, const std::string &content = "x");
    BytePath makeFolder(const std::string &relative);

    // Runs a search of folder for text as the panel starts it, and waits for its end.
    void search(const QString &text, const BytePath &folder);
    bool waitForSearchEnd();

    // The names in the table, in row order.
    std::vector<std::string> shownNames() const;
    int rowOf(const std::string &name) const;
    // Selects exactly the rows of these names (with the current row at the first).
    void selectNames(const std::vector<std::string> &names);

    // What xdg-open was given, one entry per run.
    std::vector<std::string> openedUris() const;
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

// The visible message box over the window whose text is text (any text when empty); waits
// for it to appear. nullptr when none comes.
QMessageBox *waitForMessageBox(QWidget *window, const QString &text = {});
// A message box with that text is visible now.
bool messageBoxShown(QWidget *window, const QString &text = {});
// Clicks the box's button with the title.
void clickButton(QMessageBox *box, const QString &title);
// The folder chooser open over the window (waits for it); nullptr when none comes.
QFileDialog *waitForFileDialog(QWidget *window);
// Chooses folder in the chooser and confirms.
void chooseFolder(QFileDialog *dialog, const BytePath &folder);

} // namespace lurkel::test
