#include "ResultSheet.h"

#include "Identity.h"

#include <QCheckBox>
#include <QPushButton>

namespace lurkel {

QString ResultSheet::doNotShowAgainText()
{
    return QStringLiteral("Do not show again");
}

QMessageBox *ResultSheet::show(QWidget *window, const Request &request, Answer answer)
{
    auto *box = new QMessageBox(request.icon, QString::fromLatin1(Identity::kBundleDisplayName), request.text,
                                QMessageBox::NoButton, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(request.modality);
    box->setInformativeText(request.informativeText);
    if (!request.detailedText.isEmpty()) box->setDetailedText(request.detailedText);
    QList<QAbstractButton *> buttons;
    for (int i = 0; i < request.buttons.size(); ++i) {
        QMessageBox::ButtonRole role = QMessageBox::RejectRole;
        if (i == 0) role = QMessageBox::AcceptRole;
        if (i == request.helpButton) role = QMessageBox::HelpRole;
        buttons << box->addButton(request.buttons.at(i), role);
    }
    int escape = static_cast<int>(buttons.size()) - 1;
    if (request.escapeButton >= 0 && request.escapeButton < buttons.size()) escape = request.escapeButton;
    if (!buttons.isEmpty()) {
        box->setDefaultButton(qobject_cast<QPushButton *>(buttons.first()));
        box->setEscapeButton(buttons.at(escape));
    }
    if (!request.suppressionText.isEmpty()) box->setCheckBox(new QCheckBox(request.suppressionText, box));

    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, escape, answer = std::move(answer)](int) {
        const qsizetype index = buttons.indexOf(box->clickedButton());
        const int button = index >= 0 ? static_cast<int>(index) : escape;
        const bool suppress = box->checkBox() != nullptr && box->checkBox()->isChecked();
        if (answer) answer(button, suppress);
    });
    if (request.modality == Qt::WindowModal) {
        box->open();
    } else {
        box->show();
    }
    return box;
}

} // namespace lurkel
