#include "PathBreadcrumb.h"

#include "NamedColors.h"
#include "TrackingButton.h"
#include "UiImages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <string_view>

namespace lurkel {

namespace {

// The chevron between two components.
class Separator final : public QWidget {
public:
    explicit Separator(QWidget *parent) : QWidget(parent)
    {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QSize sizeHint() const override { return {10, 16}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QSize image(10, 10);
        const QPixmap pixmap = UiImages::pixmap(QStringLiteral("chevron"), image, devicePixelRatioF(), palette());
        painter.drawPixmap(QPoint((width() - image.width()) / 2, (height() - image.height()) / 2), pixmap);
    }
};

} // namespace

PathBreadcrumb::PathBreadcrumb(QWidget *parent) : QWidget(parent), m_rootTitle(QStringLiteral("/"))
{
    initUiResources();
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PathBreadcrumb::setPath(const BytePath &path)
{
    m_path = path;
    rebuild();
}

void PathBreadcrumb::setRootTitle(const QString &title)
{
    m_rootTitle = title;
    if (!m_components.empty() && m_path.isAbsolute()) {
        m_components.front().title = title;
        m_components.front().button->setText(title);
    }
}

BytePath PathBreadcrumb::pathAt(int index) const
{
    if (index < 0 || index >= count()) return {};
    return m_components[static_cast<std::size_t>(index)].path;
}

QString PathBreadcrumb::titleAt(int index) const
{
    if (index < 0 || index >= count()) return {};
    return m_components[static_cast<std::size_t>(index)].title;
}

TrackingButton *PathBreadcrumb::buttonAt(int index) const
{
    if (index < 0 || index >= count()) return nullptr;
    return m_components[static_cast<std::size_t>(index)].button;
}

void PathBreadcrumb::rebuild()
{
    // Deleted later: the path may change from a component's own click.
    for (Component &component : m_components) {
        component.button->hide();
        component.button->deleteLater();
    }
    for (QWidget *separator : m_separators) {
        separator->hide();
        separator->deleteLater();
    }
    m_components.clear();
    m_separators.clear();
    while (m_layout->count() > 0)
        delete m_layout->takeAt(0);
    if (m_ellipsis == nullptr) {
        auto *ellipsis = new QLabel(QStringLiteral("\u2026"), this);
        ellipsis->setForegroundRole(QPalette::PlaceholderText);
        ellipsis->setContentsMargins(4, 0, 4, 0);
        ellipsis->setAccessibleName(tr("Folders left out"));
        m_ellipsis = ellipsis;
    }
    m_ellipsis->hide();
    m_ellipsis->setToolTip(m_path.displayString());

    // Split on "/" and rebuild every prefix without empty components, so "//home/ann/"
    // gives "/", "/home", "/home/ann".
    const std::string_view bytes = m_path.bytes();
    std::string prefix;
    if (m_path.isAbsolute()) {
        prefix = "/";
        m_components.push_back({BytePath(prefix), m_rootTitle, nullptr});
    }
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = bytes.find('/', start);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view name = bytes.substr(start, end - start);
        if (!name.empty()) {
            if (!prefix.empty() && prefix.back() != '/') prefix += '/';
            prefix.append(name);
            m_components.push_back({BytePath(prefix), BytePath(name).displayString(), nullptr});
        }
        start = end + 1;
    }

    for (std::size_t i = 0; i < m_components.size(); ++i) {
        Component &component = m_components[i];
        if (i > 0) {
            auto *separator = new Separator(this);
            m_separators.push_back(separator);
            m_layout->addWidget(separator);
            // The ellipsis stands after the first component and its chevron.
            if (i == 1) m_layout->addWidget(m_ellipsis);
        }
        const bool root = i == 0 && m_path.isAbsolute();
        auto *button = new TrackingButton(root ? QStringLiteral("disk") : QStringLiteral("folder"), {}, {}, this);
        button->setText(component.title);
        button->setToolTip(component.path.displayString());
        button->setTitleColor(NamedColor::BreadcrumbText);
        button->setDrawsBackground(true);
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        const BytePath target = component.path;
        connect(button, &QAbstractButton::clicked, this, [this, target] { Q_EMIT componentClicked(target); });
        component.button = button;
        m_layout->addWidget(button);
    }
    // The folder shown last keeps a readable title longest; the ones above it give way first.
    if (!m_components.empty()) {
        TrackingButton *last = m_components.back().button;
        last->setMinimumWidth(std::min(last->sizeHint().width(), 160));
    }
    m_layout->addStretch(1);
    fitToWidth();
    updateGeometry();
}

void PathBreadcrumb::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitToWidth();
}

void PathBreadcrumb::fitToWidth()
{
    const int n = count();
    if (n == 0) return;
    const int spacing = m_layout->spacing();
    const auto widthOf = [spacing](const QWidget *widget) { return widget->sizeHint().width() + spacing; };
    const int chevron = m_separators.empty() ? 0 : widthOf(m_separators.front());
    // Components 1..firstShown-1 are left out; the first and the last are always shown.
    int used = widthOf(m_components.front().button);
    int firstShown = 1;
    int all = used;
    for (int i = 1; i < n; ++i)
        all += chevron + widthOf(m_components[static_cast<std::size_t>(i)].button);
    if (all > width() && n > 2) {
        used += chevron + widthOf(m_ellipsis);
        firstShown = n - 1;
        used += chevron + widthOf(m_components.back().button);
        while (firstShown > 1) {
            const int next = chevron + widthOf(m_components[static_cast<std::size_t>(firstShown - 1)].button);
            // Leaving out only one folder saves nothing over the ellipsis: show it instead.
            const int ellipsisCost = firstShown - 1 == 1 ? chevron + widthOf(m_ellipsis) : 0;
            if (used + next - ellipsisCost > width()) break;
            used += next;
            --firstShown;
        }
    }
    for (int i = 1; i < n; ++i) {
        const bool shown = i >= firstShown;
        m_components[static_cast<std::size_t>(i)].button->setVisible(shown);
        // The chevron before a left-out folder goes with it, except the one after the first.
        if (i >= 2) m_separators[static_cast<std::size_t>(i - 1)]->setVisible(shown || i == firstShown);
    }
    m_ellipsis->setVisible(firstShown > 1);
}

} // namespace lurkel
