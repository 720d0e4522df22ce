#pragma once

// What a keyboard or screen-reader user meets in a window: every control reachable with Tab,
// every control with a name to announce. Header-only: for the widget tests.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QWidget>

#include <set>
#include <string>
#include <vector>

namespace lurkel::test {

// The controls of a window that a user acts on (buttons, fields, pop-ups, sliders, tables)
// that are visible and enabled now; the parts inside another control (a field's clear
// button, a table's header and scroll bars) are the control's business and left out.
inline std::vector<QWidget *> interactiveControls(QWidget *window)
{
    std::vector<QWidget *> controls;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(window) || !widget->isEnabled() || widget->window() != window) continue;
        const bool control = qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget) ||
                             qobject_cast<QComboBox *>(widget) ||
                             (qobject_cast<QAbstractSlider *>(widget) && !qobject_cast<QScrollBar *>(widget)) ||
                             qobject_cast<QAbstractItemView *>(widget);
        if (!control) continue;
        bool inner = false;
        for (QWidget *up = widget->parentWidget(); up != nullptr && up != window; up = up->parentWidget()) {
            if (qobject_cast<QLineEdit *>(up) || qobject_cast<QComboBox *>(up) || qobject_cast<QAbstractItemView *>(up))
                inner = true;
        }
        if (!inner) controls.push_back(widget);
    }
    return controls;
}

inline std::string describe(const QWidget *widget)
{
    std::string text = widget->metaObject()->className();
    if (!widget->objectName().isEmpty()) text += " " + widget->objectName().toStdString();
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        text += " \"" + button->text().toStdString() + "\"";
    if (!widget->toolTip().isEmpty()) text += " tip \"" + widget->toolTip().toStdString() + "\"";
    return text;
}

// The controls of interactiveControls() that Tab never reaches, pressing Tab from the
// window's focus onwards until the focus has gone round.
inline std::vector<std::string> unreachableByTab(QWidget *window)
{
    const std::vector<QWidget *> controls = interactiveControls(window);
    window->activateWindow();
    QApplication::setActiveWindow(window);
    std::set<QWidget *> reached;
    for (std::size_t i = 0; i < 3 * controls.size() + 3; ++i) {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : window, Qt::Key_Tab);
        if (QWidget *now = QApplication::focusWidget()) reached.insert(now);
    }
    std::vector<std::string> missing;
    for (QWidget *control : controls) {
        if (reached.count(control) == 0 &&
            (control->focusProxy() == nullptr || reached.count(control->focusProxy()) == 0))
            missing.push_back(describe(control));
    }
    return missing;
}

// The controls a screen reader would announce without a name.
inline std::vector<std::string> unnamedControls(QWidget *window)
{
    std::vector<std::string> unnamed;
    for (QWidget *control : interactiveControls(window)) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
        if (accessible == nullptr || accessible->text(QAccessible::Name).trimmed().isEmpty())
            unnamed.push_back(describe(control));
    }
    return unnamed;
}

} // namespace lurkel::test
