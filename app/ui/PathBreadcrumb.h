#pragma once

#include "BytePath.h"

#include <QString>
#include <QWidget>

#include <vector>

class QHBoxLayout;

namespace lurkel {

class TrackingButton;

// A path bar: the folders of a path from the root down, each a button, with chevrons in
// between. A click on a component reports that component's full path, as bytes, so a
// folder whose name is not valid UTF-8 still names the right folder. When the bar is
// narrower than the path, the folders in the middle give way to one "…" (its tool tip the
// whole path): the first component and as many of the last ones as fit keep their names,
// and the last one is always shown (its title shortened only when it alone is too wide).
class PathBreadcrumb : public QWidget {
    Q_OBJECT

public:
    explicit PathBreadcrumb(QWidget *parent = nullptr);

    const BytePath &path() const { return m_path; }
    // Empty components (doubled or trailing separators) are skipped; a relative path has no
    // root component.
    void setPath(const BytePath &path);

    // The title of the root component ("/" unless set, e.g. the volume name).
    void setRootTitle(const QString &title);

    int count() const { return static_cast<int>(m_components.size()); }
    // The full path a component stands for; empty past the end.
    BytePath pathAt(int index) const;
    QString titleAt(int index) const;
    TrackingButton *buttonAt(int index) const;
    // The "…" that stands for the folders left out; hidden when none is.
    QWidget *ellipsis() const { return m_ellipsis; }

protected:
    void resizeEvent(QResizeEvent *event) override;

Q_SIGNALS:
    void componentClicked(const lurkel::BytePath &path);

private:
    struct Component {
        BytePath path;
        QString title;
        TrackingButton *button = nullptr;
    };

    void rebuild();
    // Shows the components that fit the width, the rest as the ellipsis.
    void fitToWidth();

    BytePath m_path;
    QString m_rootTitle;
    std::vector<Component> m_components;
    std::vector<QWidget *> m_separators;
    QHBoxLayout *m_layout = nullptr;
    QWidget *m_ellipsis = nullptr;
};

} // namespace lurkel
