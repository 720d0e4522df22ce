#pragma once

#include "ApplicationRemoval.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace lurkel {

// The review of the applications the scan counted: each with its size, its kind and the
// command that removes it, which is shown (and can be copied), never run. Reveal shows it in
// the file manager; Move to Trash is offered only for an AppImage that is not in the Trash
// already, after the user's confirmation. Main thread only.
class InstalledApplicationsWindow : public QWidget {
    Q_OBJECT

public:
    // Asked before an AppImage goes to the Trash (default: a question box).
    using Confirm = std::function<bool(const QString &name)>;

    explicit InstalledApplicationsWindow(QWidget *parent = nullptr);

    void setApplications(std::vector<ApplicationRemoval> applications);
    const std::vector<ApplicationRemoval> &applications() const { return m_applications; }
    void setConfirm(Confirm confirm) { m_confirm = std::move(confirm); }
    // What happens after an AppImage was moved to the Trash (the section scans again).
    void setMovedToTrash(std::function<void()> moved) { m_movedToTrash = std::move(moved); }

    void selectRow(int row);
    void revealPressed();
    void copyCommandPressed();
    void moveToTrashPressed();

    QTreeWidget *list() const { return m_list; }
    QPushButton *revealButton() const { return m_reveal; }
    QPushButton *copyButton() const { return m_copy; }
    QPushButton *trashButton() const { return m_trash; }
    QLabel *statusLabel() const { return m_status; }

private:
    void fillList();
    void selectionChanged();
    int currentRow() const;

    std::vector<ApplicationRemoval> m_applications;
    Confirm m_confirm;
    std::function<void()> m_movedToTrash;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_reveal = nullptr;
    QPushButton *m_copy = nullptr;
    QPushButton *m_trash = nullptr;
    QLabel *m_status = nullptr;
};

} // namespace lurkel
