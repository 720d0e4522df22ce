#pragma once

#include <QWidget>

#include <functional>

namespace lurkel {

// Where sheets find the main controller's window. The controller provides its window; a
// provider that answers nullptr means there is none, and sheets are then not shown.
class MainWindowProvider {
public:
    virtual ~MainWindowProvider() = default;
    virtual QWidget *mainWindow() const = 0;
};

// A provider over a function (the controller's accessor, or a test's window).
class FunctionMainWindowProvider final : public MainWindowProvider {
public:
    explicit FunctionMainWindowProvider(std::function<QWidget *()> window) : m_window(std::move(window)) {}
    QWidget *mainWindow() const override { return m_window ? m_window() : nullptr; }

private:
    std::function<QWidget *()> m_window;
};

} // namespace lurkel
