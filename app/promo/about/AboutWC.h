#pragma once

#include <QDateTime>
#include <QDialog>

class QLabel;

namespace lurkel {

class Clock;
class LinkButton;
class UrlOpener;

// The about box: the program's icon and name, "Version <version> (<build>)", the copyright,
// and two links, to the maker's products page and to the maker's home page. The owner
// keeps one and brings it forward when it is already on screen (showWindow()); closing it
// only hides it.
class AboutWC : public QDialog {
    Q_OBJECT

public:
    static inline constexpr int kFirstCopyrightYear = 2020;

    // The desktop's opener and the process clock.
    explicit AboutWC(QWidget *parent = nullptr);
    // The opener and the clock must outlive the window.
    AboutWC(UrlOpener &opener, Clock &clock, QWidget *parent = nullptr);

    // Shows the window, or brings it to the front when it is already shown.
    void showWindow();

    void moreAppsButtonPressed();
    void brendixLinkButtonPressed();

    // The program's own copyright line when the build has one, otherwise builtInCopyright.
    static QString copyrightText(const QString &buildCopyright, const QDateTime &now);
    // "Copyright © 2020–<year> Brendix. All rights reserved.", the year now's but at least
    // 2020 (a lone 2020 while it is 2020 or earlier).
    static QString builtInCopyright(const QDateTime &now);
    // The maker's products page and home page, with the program's campaign query.
    static QString moreAppsAddress();
    static QString brendixAddress();

    QLabel *logoLabel() const { return m_logoLabel; }
    QLabel *extraProductLabel() const { return m_extraProductLabel; }
    QLabel *versionLabel() const { return m_versionLabel; }
    QLabel *copyrightLabel() const { return m_copyrightLabel; }
    LinkButton *moreAppsButton() const { return m_moreAppsButton; }
    LinkButton *brendixLinkButton() const { return m_brendixLinkButton; }

private:
    UrlOpener &m_opener;
    QLabel *m_iconLabel = nullptr;
    QLabel *m_logoLabel = nullptr;
    QLabel *m_extraProductLabel = nullptr;
    QLabel *m_versionLabel = nullptr;
    QLabel *m_copyrightLabel = nullptr;
    LinkButton *m_moreAppsButton = nullptr;
    LinkButton *m_brendixLinkButton = nullptr;
};

} // namespace lurkel
