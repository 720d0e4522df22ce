#include "ResultsWindowTestSupport.h"

#include "EventWait.h"
#include "Fixtures.h"
#include "MainQueue.h"
#include "MyTableView.h"
#include "PrivateBus.h"
#include "SearchResultsTableModel.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <QAbstractButton>
#include <QDBusConnectionInterface>
#include <QFileDialog>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace lurkel::test {
namespace {
constexpr const char kFakeXdgOpen[] = "#!/bin/sh\nprintf '%s\\n' \"$1\" >>\"$LURKEL_TEST_OPEN_LOG\"\n";
int g_serviceCounter = 0;
} // namespace

void SwitchableHiddenFiles::switchHiddenFilesVisibilityWithCompletion(SwitchCompletion completion)
{
    ++switches;
    shown = !shown;
    MainQueue::async([completion = std::move(completion)]() {
        if (completion) completion(std::nullopt);
    });
}

FileManagerService::FileManagerService()
    : m_connectionName(QStringLiteral("lurkel-test-file-manager-%1").arg(++g_serviceCounter))
{
    QDBusConnection bus = QDBusConnection::connectToBus(PrivateBus::shared().address(), m_connectionName);
    m_registered =
        bus.isConnected() &&
        bus.registerObject(QLatin1String(DesktopWorkspace::kFileManagerPath), this, QDBusConnection::ExportAllSlots) &&
        bus.registerService(QLatin1String(DesktopWorkspace::kFileManagerService));
}

FileManagerService::~FileManagerService()
{
    QDBusConnection bus(m_connectionName);
    bus.unregisterService(QLatin1String(DesktopWorkspace::kFileManagerService));
    bus.unregisterObject(QLatin1String(DesktopWorkspace::kFileManagerPath));
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void FileManagerService::ShowItems(const QStringList &uris, const QString &)
{
    calls.push_back({QStringLiteral("ShowItems"), uris});
}

void FileManagerService::ShowItemProperties(const QStringList &uris, const QString &)
{
    calls.push_back({QStringLiteral("ShowItemProperties"), uris});
}

void FileManagerService::ShowFolders(const QStringList &uris, const QString &)
{
    calls.push_back({QStringLiteral("ShowFolders"), uris});
}

ResultsHarness::ResultsHarness(HiddenFilesState *hiddenFiles, FileWork fileWork)
{
    EXPECT_TRUE(PrivateBus::shared().isRunning());
    home = TestEnvironment::freshHome();
    defaults = std::make_unique<UserDefaults>(QStringLiteral("com.brendix.Lurkel-SII"));
    access = std::make_unique<DiskAccessRestoreManager>(home, *defaults);
    const BytePath bin = home.parent() / "bin";
    XdgDirs::makePath(bin, 0755);
    BytePath lurkelctl(LURKELCTL_PROGRAM);
    if (fileWork == FileWork::Unprivileged && runningAsRoot()) {
        lurkelctl = bin / "lurkelctl-unprivileged";
        writeFile(lurkelctl, "#!/bin/sh\nexec setpriv --reuid=65534 --regid=65534 --clear-groups '" +
                                 std::string(LURKELCTL_PROGRAM) + "' \"$@\"\n");
        ::chmod(lurkelctl.c_str(), 0755);
    }
    scripts = std::make_unique<ScriptsManager>(*access, lurkelctl);
    scripts->setClock(&clock);
    communicator = std::make_unique<FinderCommunicator>(*scripts, *access);

    writeFile(bin / "xdg-open", kFakeXdgOpen);
    ::chmod((bin / "xdg-open").c_str(), 0755);
    m_openerLog = home.parent() / "xdg-open.log";
    ::setenv("LURKEL_TEST_OPEN_LOG", m_openerLog.c_str(), 1);
    const char *path = std::getenv("PATH");
    m_oldPath = path != nullptr ? QByteArray(path) : QByteArray("/usr/bin:/bin");
    ::setenv("PATH", (bin.toByteArray() + ':' + m_oldPath).constData(), 1);

    SearchResultServices services;
    services.searchManager = &manager;
    services.finderCommunicator = communicator.get();
    services.hiddenFiles = hiddenFiles;
    services.urlOpener = &urlOpener;
    services.workspace = &workspace;
    services.quickLook = &quickLook;
    services.defaults = defaults.get();
    services.clock = &clock;
    services.notificationCenter = &center;
    window = std::make_unique<SearchResultWC>(services);
    window->show();
}

ResultsHarness::~ResultsHarness()
{
    window.reset();
    scripts->waitForRunningScripts();
    drainMainQueue();
    ::setenv("PATH", m_oldPath.constData(), 1);
}

BytePath ResultsHarness::makeFolder(const std::string &relative)
{
    const BytePath folder = home / relative;
    XdgDirs::makePath(folder, 0755);
    return folder;
}

BytePath ResultsHarness::makeFile(const std::string &relative, const std::string &content)
{
    const BytePath path = home / relative;
    XdgDirs::makePath(path.parent(), 0755);
    writeFile(path, content);
    return path;
}

void ResultsHarness::search(const QString &text, const BytePath &folder)
{
    manager.performSearchWithTemplateAndFolder(text, folder);
    ASSERT_TRUE(window->isSearchOn());
    ASSERT_TRUE(waitForSearchEnd());
}

bool ResultsHarness::waitForSearchEnd()
{
    return waitUntil([this]() { return !window->isSearchOn(); });
}

std::vector<std::string> ResultsHarness::shownNames() const
{
    std::vector<std::string> names;
    const SearchResultsTableModel *model = window->tableModel();
    for (int row = 0; row < model->rowCount(); ++row)
        names.emplace_back(model->itemAt(row)->fileName());
    return names;
}

int ResultsHarness::rowOf(const std::string &name) const
{
    const std::vector<std::string> names = shownNames();
    const auto at = std::find(names.begin(), names.end(), name);
    return at == names.end() ? -1 : static_cast<int>(at - names.begin());
}

void ResultsHarness::selectNames(const std::vector<std::string> &names)
{
    std::vector<int> rows;
    for (const std::string &name : names) {
        const int row = rowOf(name);
        ASSERT_GE(row, 0) << name << " is not in the table";
        rows.push_back(row);
    }
    const int current = rows.empty() ? -1 : rows.front();
    std::sort(rows.begin(), rows.end());
    window->tableView()->selectRows(rows, current);
}

void ResultsHarness::failOpening(int status, const std::string &message)
{
    const BytePath opener = home.parent() / "bin/xdg-open";
    writeFile(opener, std::string(kFakeXdgOpen) + "echo '" + message + "' >&2\nexit " + std::to_string(status) + "\n");
    ::chmod(opener.c_str(), 0755);
}

std::vector<std::string> ResultsHarness::openedUris() const
{
    std::vector<std::string> uris;
    for (const QByteArray &line : QByteArray::fromStdString(readFile(m_openerLog)).split('\n')) {
        if (!line.isEmpty()) uris.push_back(line.toStdString());
    }
    return uris;
}

bool ResultsHarness::waitForOpenedCount(std::size_t count)
{
    return waitUntil([this, count]() { return openedUris().size() >= count; });
}

namespace {
QMessageBox *visibleBox(QWidget *window, const QString &text)
{
    for (QMessageBox *box : window->findChildren<QMessageBox *>()) {
        if (box->isVisible() && (text.isEmpty() || box->text() == text)) return box;
    }
    return nullptr;
}
} // namespace

QMessageBox *waitForMessageBox(QWidget *window, const QString &text)
{
    QMessageBox *found = nullptr;
    waitUntil([&]() { return (found = visibleBox(window, text)) != nullptr; });
    return found;
}

bool messageBoxShown(QWidget *window, const QString &text)
{
    return visibleBox(window, text) != nullptr;
}

void clickButton(QMessageBox *box, const QString &title)
{
    ASSERT_NE(box, nullptr);
    const QList<QAbstractButton *> buttons = box->buttons();
    for (QAbstractButton *button : buttons) {
        if (button->text() == title) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    FAIL() << "no button " << title.toStdString() << " in the box " << box->text().toStdString();
}

QFileDialog *waitForFileDialog(QWidget *window)
{
    QFileDialog *found = nullptr;
    waitUntil([&]() {
        for (QFileDialog *dialog : window->findChildren<QFileDialog *>()) {
            if (dialog->isVisible()) found = dialog;
        }
        return found != nullptr;
    });
    return found;
}

void chooseFolder(QFileDialog *dialog, const BytePath &folder)
{
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(folder.displayString());
    dialog->selectFile(folder.displayString());
    static_cast<QDialog *>(dialog)->accept(); // the chooser's own Choose button
}

} // namespace lurkel::test
