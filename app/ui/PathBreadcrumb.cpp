#include "PathBreadcrumb.h"

#include "NamedColors.h"
#include "TrackingButton.h"
#include "UiImages.h"

#include <QHBoxLayout>
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
    updateGeometry();
}

} // namespace lurkel
