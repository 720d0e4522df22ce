#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace lurkel {

// The results window's questions and alerts: message boxes that do not block the event
// loop. A sheet is window-modal over the results window; an alert is application-modal.
// The answer is the index of the button pressed in the order given (closing the box
// without a button counts as the escape button) and whether the "Do not show again" box was
// ticked. The box deletes itself when it closes.
class ResultSheet {
public:
    using Answer = std::function<void(int button, bool suppress)>;

    struct Request {
        QMessageBox::Icon icon = QMessageBox::Information;
        QString text;
        QString informativeText;
        // Behind a "Show Details..." button when not empty.
        QString detailedText;
        QStringList buttons;
        // Shown as a check box under the text when not empty.
        QString suppressionText;
        // Index of a button that only helps (it goes to the side, like a help button).
        int helpButton = -1;
        // Index of the button Escape (or closing the box) stands for; -1: the last one.
        int escapeButton = -1;
        Qt::WindowModality modality = Qt::WindowModal;
    };

    static QString doNotShowAgainText(); // "Do not show again"

    static QMessageBox *show(QWidget *window, const Request &request, Answer answer);
};

} // namespace lurkel
