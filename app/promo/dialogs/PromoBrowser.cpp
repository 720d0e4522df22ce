#include "PromoBrowser.h"

#include "Log.h"

#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QTextDocument>

namespace lurkel {

namespace {

const QString kBlank = QStringLiteral("about:blank");

bool isQrc(const QUrl &url)
{
    return url.scheme() == QLatin1String("qrc");
}

QUrl withoutFragment(QUrl url)
{
    url.setFragment(QString());
    return url;
}

} // namespace

PromoBrowser::PromoBrowser(QWidget *parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameShape(QFrame::NoFrame);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(this, &QTextBrowser::anchorClicked, this, &PromoBrowser::followLink);
}

void PromoBrowser::loadPage(const QUrl &page)
{
    m_root.clear();
    if (page.isLocalFile()) m_root = QFileInfo(page.toLocalFile()).dir().canonicalPath();
    show(page);
}

void PromoBrowser::showHtml(const QString &html)
{
    m_root.clear();
    m_page = QUrl();
    document()->setBaseUrl(QUrl());
    setHtml(html);
}

void PromoBrowser::followLink(const QUrl &link)
{
    const QUrl target = resolve(link);
    if (target.isRelative()) return; // a built-in page has nothing to resolve it against
    // The view hands out links resolved against the last file it loaded, which a built-in
    // page does not replace.
    const QUrl page = withoutFragment(target);
    if (target.hasFragment() && (page == withoutFragment(m_page) || page == withoutFragment(source()))) {
        scrollToAnchor(target.fragment());
        return;
    }
    if (!m_policy || m_policy(target) != Navigation::Load) return;
    if (target.toString() == kBlank) {
        m_page = QUrl();
        document()->setBaseUrl(QUrl());
        clear();
        return;
    }
    show(target);
}

void PromoBrowser::show(const QUrl &url)
{
    if (!mayLoad(url)) {
        qCInfo(lcPromo, "promotion page: not loading %s (outside the page's folder)", qUtf8Printable(url.toString()));
        return;
    }
    m_page = url;
    if (withoutFragment(url) == withoutFragment(source()))
        reload();
    else
        setSource(url, QTextDocument::HtmlResource);
}

QUrl PromoBrowser::resolve(const QUrl &url) const
{
    return url.isRelative() ? m_page.resolved(url) : url;
}

bool PromoBrowser::mayLoad(const QUrl &url) const
{
    if (isQrc(url)) return true;
    if (!url.isLocalFile() || m_root.isEmpty()) return false;
    const QString target = QFileInfo(url.toLocalFile()).canonicalFilePath();
    return !target.isEmpty() && target.startsWith(m_root + QLatin1Char('/'));
}

QVariant PromoBrowser::loadResource(int type, const QUrl &name)
{
    const QUrl url = resolve(name);
    if (!mayLoad(url)) return {};
    return QTextBrowser::loadResource(type, url);
}

bool PromoBrowser::viewportEvent(QEvent *event)
{
    // A link under the mouse turns the cursor into a hand; leaving over the link's edge
    // would keep it.
    if (event->type() == QEvent::Leave) viewport()->setCursor(Qt::ArrowCursor);
    return QTextBrowser::viewportEvent(event);
}

} // namespace lurkel
