#pragma once

#include <QString>
#include <QTextBrowser>
#include <QUrl>

#include <functional>

namespace lurkel {

// The view of a promotion page. It shows HTML without scripts and without network access:
// a page may use files of its own folder (the folder of the page loaded with loadPage,
// links resolved, no way out through ".." or a symbolic link) and the program's qrc:
// resources; remote addresses and files elsewhere are refused.
//
// Links do not navigate by themselves: the owner's navigation policy decides for every link
// followed (a link to an anchor of the page itself just scrolls). Load shows the target in
// the view ("about:blank" empties it; a file outside the page's folder is still refused),
// Ignore leaves the view as it is, and the policy does whatever else the link means (open
// the browser, close the window). Without a policy every link is ignored.
class PromoBrowser : public QTextBrowser {
    Q_OBJECT

public:
    enum class Navigation { Load, Ignore };
    using NavigationPolicy = std::function<Navigation(const QUrl &url)>;

    explicit PromoBrowser(QWidget *parent = nullptr);

    void setNavigationPolicy(NavigationPolicy policy) { m_policy = std::move(policy); }

    // Shows an HTML file (file:// or qrc:); its folder becomes the page's folder.
    void loadPage(const QUrl &page);
    // Shows HTML text built into the program; it may use qrc: resources only.
    void showHtml(const QString &html);
    // The page shown now (empty after showHtml or "about:blank").
    QUrl page() const { return m_page; }

    // What a click on a link does: asks the policy about the address (resolved against the
    // page) and acts on the answer.
    void followLink(const QUrl &link);

    // Whether the view would read the address: a qrc: resource, or a file inside the page's
    // folder.
    bool mayLoad(const QUrl &url) const;

    QVariant loadResource(int type, const QUrl &name) override;

protected:
    bool viewportEvent(QEvent *event) override;

private:
    QUrl resolve(const QUrl &url) const;
    void show(const QUrl &url);

    NavigationPolicy m_policy;
    QUrl m_page;
    QString m_root; // canonical folder of the page loaded by loadPage; empty: none
};

} // namespace lurkel
