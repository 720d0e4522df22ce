#include "InstalledApplicationsWindow.h"

#include "DesktopWorkspace.h"
#include "Identity.h"
#include "PathsGenerator.h"
#include "Trash.h"
#include "VolumeName.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lurkel {

InstalledApplicationsWindow::InstalledApplicationsWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("%1 - Applications").arg(QString::fromLatin1(Identity::kBundleDisplayName)));
    resize(760, 420);
    auto *layout = new QVBoxLayout(this);
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels(
        {QStringLiteral("Application"), QStringLiteral("Size"), QStringLiteral("Kind"), QStringLiteral("Removed by")});
    for (int column = 0; column < 3; ++column)
        m_list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(true);
    m_list->setTextElideMode(Qt::ElideMiddle);
    layout->addWidget(m_list);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto *buttons = new QHBoxLayout;
    m_reveal = new QPushButton(QStringLiteral("Reveal"), this);
    m_copy = new QPushButton(QStringLiteral("Copy Command"), this);
    m_trash = new QPushButton(QStringLiteral("Move to Trash"), this);
    buttons->addWidget(m_reveal);
    buttons->addWidget(m_copy);
    buttons->addStretch();
    buttons->addWidget(m_trash);
    layout->addLayout(buttons);
    connect(m_reveal, &QPushButton::clicked, this, &InstalledApplicationsWindow::revealPressed);
    connect(m_copy, &QPushButton::clicked, this, &InstalledApplicationsWindow::copyCommandPressed);
    connect(m_trash, &QPushButton::clicked, this, &InstalledApplicationsWindow::moveToTrashPressed);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &InstalledApplicationsWindow::selectionChanged);
    m_confirm = [this](const QString &name) {
        return QMessageBox::question(this, windowTitle(),
                                     QStringLiteral("Move \u201c%1\u201d to the Trash?").arg(name)) == QMessageBox::Yes;
    };
    selectionChanged();
}

void InstalledApplicationsWindow::setApplications(std::vector<ApplicationRemoval> applications)
{
    m_applications = std::move(applications);
    std::stable_sort(m_applications.begin(), m_applications.end(),
                     [](const ApplicationRemoval &a, const ApplicationRemoval &b) { return a.size > b.size; });
    fillList();
}

void InstalledApplicationsWindow::fillList()
{
    m_list->clear();
    for (const ApplicationRemoval &app : m_applications) {
        auto *row = new QTreeWidgetItem(m_list);
        row->setText(0, app.name);
        row->setToolTip(0, app.path.displayString());
        row->setText(1, VolumeName::stringFromSize(static_cast<std::int64_t>(app.size)));
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        row->setText(2, app.kindText());
        row->setText(3, !app.command.isEmpty() ? app.command
                        : app.canMoveToTrash   ? QStringLiteral("Move to Trash (a file of your own)")
                                               : QStringLiteral("No removal command known"));
    }
    m_status->setText(m_applications.empty() ? QStringLiteral("No application found.")
                                             : QStringLiteral("The commands are shown, not run: copy one into a "
                                                              "terminal to remove the application."));
    if (!m_applications.empty()) m_list->setCurrentItem(m_list->topLevelItem(0));
    selectionChanged();
}

void InstalledApplicationsWindow::selectRow(int row)
{
    if (QTreeWidgetItem *item = m_list->topLevelItem(row)) m_list->setCurrentItem(item);
}

int InstalledApplicationsWindow::currentRow() const
{
    QTreeWidgetItem *item = m_list->currentItem();
    return item != nullptr ? m_list->indexOfTopLevelItem(item) : -1;
}

void InstalledApplicationsWindow::selectionChanged()
{
    const int row = currentRow();
    const ApplicationRemoval *app = row >= 0 ? &m_applications[static_cast<std::size_t>(row)] : nullptr;
    m_reveal->setEnabled(app != nullptr);
    m_copy->setEnabled(app != nullptr && !app->command.isEmpty());
    const BytePath trash = PathsGenerator::GetInstance().buildTrashDirectory();
    m_trash->setEnabled(app != nullptr && app->canMoveToTrash && !VolumeName::isParentPathForPath(trash, app->path));
}

void InstalledApplicationsWindow::revealPressed()
{
    const int row = currentRow();
    if (row < 0) return;
    DesktopWorkspace::shared().activateFileViewerSelectingURLs({m_applications[static_cast<std::size_t>(row)].path});
}

void InstalledApplicationsWindow::copyCommandPressed()
{
    const int row = currentRow();
    if (row < 0 || m_applications[static_cast<std::size_t>(row)].command.isEmpty()) return;
    QApplication::clipboard()->setText(m_applications[static_cast<std::size_t>(row)].command);
    m_status->setText(QStringLiteral("Command copied."));
}

void InstalledApplicationsWindow::moveToTrashPressed()
{
    const int row = currentRow();
    if (row < 0 || !m_trash->isEnabled()) return;
    const ApplicationRemoval app = m_applications[static_cast<std::size_t>(row)];
    if (!m_confirm(app.name)) return;
    const auto outcome = Trash::moveToTrash(app.path);
    if (outcome.error) {
        m_status->setText(QStringLiteral("\u201c%1\u201d could not be moved to the Trash: %2")
                              .arg(app.name, outcome.error->localizedDescription()));
        return;
    }
    m_applications.erase(m_applications.begin() + row);
    fillList();
    m_status->setText(QStringLiteral("\u201c%1\u201d was moved to the Trash.").arg(app.name));
    if (m_movedToTrash) m_movedToTrash();
}

} // namespace lurkel
