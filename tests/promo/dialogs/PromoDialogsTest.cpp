// The promotion windows: what their pages may read, where their links go, the advertisement
// window's flags, the tools page's reload and the news manager's fresh news and popup.
#include "AbstractNewsManager.h"
#include "AdsDialogWC.h"
#include "EventWait.h"
#include "FeedServer.h"
#include "FreshChecker.h"
#include "MacToolsDialogWC.h"
#include "MacToolsDialogWCDelegate.h"
#include "NewsDialogWC.h"
#include "NewsManagerConfigurator.h"
#include "NewsManagerDelegate.h"
#include "NotificationCenter.h"
#include "PromoBrowser.h"
#include "PromoSettings.h"
#include "RecordingUrlOpener.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"
#include "UiImages.h"
#include "UserDefaults.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace lurkel::test {
namespace {

// A package folder with two pages, a picture, and a way out through a symbolic link; a page
// outside it; the services every window is given.
class PromoDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestEnvironment::freshHome();
        initUiResources();
        defaults = std::make_unique<UserDefaults>(QStringLiteral("promo-dialogs-test"));
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("package")));
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("elsewhere")));
        write(QStringLiteral("package/index.html"), "<h1>Index</h1><a href=\"second.html\">next</a>");
        write(QStringLiteral("package/second.html"), "<h1>Second</h1>");
        write(QStringLiteral("elsewhere/other.html"), "<h1>Other</h1>");
        ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(path(QStringLiteral("package/pic.png"))));
        ASSERT_TRUE(
            QFile::link(path(QStringLiteral("elsewhere/other.html")), path(QStringLiteral("package/way-out.html"))));
        content.htmlURL = url(QStringLiteral("package/index.html"));
        content.isEmbedded = false;
        content.size = QSize(500, 300);
    }

    QString path(const QString &relative) const { return dir.filePath(relative); }
    QUrl url(const QString &relative) const { return QUrl::fromLocalFile(path(relative)); }
    void write(const QString &relative, const QByteArray &html)
    {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(html);
    }
    PromoContentSource source(const QString &notification)
    {
        return {[this]() { return content; }, notification};
    }
    PromoDialogServices services() { return {defaults.get(), &center, &opener}; }
    bool flag(QLatin1StringView key)
    {
        return Settings(*defaults).getBoolValueForKeyWithDefaultValue(QString(key), false);
    }

    QTemporaryDir dir;
    std::unique_ptr<UserDefaults> defaults;
    NotificationCenter center;
    RecordingUrlOpener opener;
    HTMLContentData content;
};

TEST_F(PromoDialogsTest, PageReadsOnlyItsOwnFolderAndQrcAndNeverTheNetwork)
{
    FeedServer server;
    const QUrl remote(server.host() + QStringLiteral("/x.png"));
    write(QStringLiteral("package/remote.html"),
          "<p>remote</p><img src=\"" + remote.toEncoded() + "\"><img src=\"pic.png\">");
    PromoBrowser browser;
    browser.resize(300, 200);
    browser.loadPage(url(QStringLiteral("package/remote.html")));
    ASSERT_TRUE(browser.toPlainText().contains(QStringLiteral("remote")));
    browser.grab(); // lays out and paints: every picture of the page is asked for

    const auto type = QTextDocument::ImageResource;
    EXPECT_TRUE(browser.loadResource(type, QUrl(QStringLiteral("pic.png"))).isValid());
    EXPECT_TRUE(browser.loadResource(type, QUrl(QStringLiteral("qrc:/ui/images/close.svg"))).isValid());
    EXPECT_FALSE(browser.loadResource(type, QUrl(QStringLiteral("../elsewhere/other.html"))).isValid());
    EXPECT_FALSE(browser.loadResource(type, url(QStringLiteral("elsewhere/other.html"))).isValid());
    EXPECT_FALSE(browser.loadResource(type, QUrl(QStringLiteral("way-out.html"))).isValid());
    EXPECT_FALSE(browser.loadResource(type, remote).isValid());

    // A request of our own after everything the page did: the server sees that one only.
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, QUrl(server.host()).port());
    probe.write("GET /probe HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    ASSERT_TRUE(waitUntil([&]() { return server.requests > 0; }));
    EXPECT_EQ(server.requestLines, QList<QByteArray>{"GET /probe HTTP/1.1"});

    // A page shown from text may use the program's resources and nothing of the disk.
    browser.showHtml(QStringLiteral("<p>built in</p>"));
    EXPECT_FALSE(browser.loadResource(type, url(QStringLiteral("package/pic.png"))).isValid());
    EXPECT_TRUE(browser.loadResource(type, QUrl(QStringLiteral("qrc:/ui/images/close.svg"))).isValid());
}

TEST_F(PromoDialogsTest, AdsLinksLoadInsideCloseOrGoToTheBrowser)
{
    AdsDialogWC ads(source(AdsDialogWC::adsDialogHtmlChangedNotificationName()), services());
    int closed = 0;
    QObject::connect(&ads, &AdsDialogWC::closed, [&]() { ++closed; });
    ads.showAt(QPoint(40, 30));
    ASSERT_TRUE(ads.isVisible());
    EXPECT_EQ(ads.window()->pos(), QPoint(40, 30));
    EXPECT_EQ(ads.window()->size(), QSize(502, 302 + AdsDialogWC::kButtonBarHeight));
    ads.moveTo(QPoint(60, 30));
    EXPECT_EQ(ads.window()->pos(), QPoint(60, 30));
    PromoBrowser &view = *ads.browser();
    EXPECT_EQ(view.page(), url(QStringLiteral("package/index.html")));

    view.followLink(QUrl(QStringLiteral("second.html")));
    EXPECT_EQ(view.page(), url(QStringLiteral("package/second.html")));
    EXPECT_TRUE(view.toPlainText().contains(QStringLiteral("Second")));
    // Files outside the package, directly or through a link, stay unread; the window stays.
    view.followLink(url(QStringLiteral("elsewhere/other.html")));
    view.followLink(url(QStringLiteral("package/way-out.html")));
    EXPECT_EQ(view.page(), url(QStringLiteral("package/second.html")));
    view.followLink(QUrl(QStringLiteral("about:blank")));
    EXPECT_TRUE(view.toPlainText().isEmpty());
    EXPECT_TRUE(ads.isVisible());
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_FALSE(flag(SettingsKeys::kAdsDialogBeenClosed));
    EXPECT_EQ(closed, 0);

    view.followLink(QUrl(QStringLiteral("app://close")));
    EXPECT_FALSE(ads.isVisible());
    EXPECT_TRUE(flag(SettingsKeys::kAdsDialogBeenClosed));
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_EQ(closed, 1);

    Settings(*defaults).saveBoolValueForKey(false, QString(SettingsKeys::kAdsDialogBeenClosed));
    ads.showAt(QPoint(40, 30));
    view.followLink(QUrl(QStringLiteral("https://brendix.example/tool?a=1")));
    EXPECT_EQ(opener.openedAddresses(), QStringList{QStringLiteral("https://brendix.example/tool?a=1")});
    EXPECT_FALSE(ads.isVisible());
    EXPECT_TRUE(flag(SettingsKeys::kAdsDialogBeenClosed));
    EXPECT_EQ(closed, 2);

    QTest::mouseClick(ads.adsButton(), Qt::LeftButton);
    EXPECT_EQ(opener.openedAddresses().value(1), PromoSettings::getQuenbyLabProductURLonAppStore());
}

TEST_F(PromoDialogsTest, AdsShowTheBrokenPageUntilAPackageArrivesThenClearTheFlags)
{
    const HTMLContentData page = content;
    content = HTMLContentData{};
    AdsDialogWC ads(source(QString()), services());
    const QString text = ads.browser()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Oops. Something broken...")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("\u25D5\uFE35\u25D5")));

    Settings settings(*defaults);
    settings.saveBoolValueForKey(true, QString(SettingsKeys::kAdsDialogBeenClosed));
    settings.saveBoolValueForKey(true, QString(SettingsKeys::kAdsBannerBeenClosed));
    content = page;
    center.post(AdsDialogWC::adsDialogHtmlChangedNotificationName());
    EXPECT_FALSE(flag(SettingsKeys::kAdsDialogBeenClosed));
    EXPECT_FALSE(flag(SettingsKeys::kAdsBannerBeenClosed));
    EXPECT_EQ(ads.browser()->page(), page.htmlURL);
}

class RecordingToolsDelegate final : public MacToolsDialogWCDelegate {
public:
    explicit RecordingToolsDelegate(PromoContentSource source) : m_source(std::move(source)) {}
    PromoContentSource toolsDialogWCDownloader(MacToolsDialogWC &) override { return m_source; }
    void toolsDialogWCWasPreseted(MacToolsDialogWC &) override { ++presented; }
    void toolsDialogWCWillClose(MacToolsDialogWC &) override { ++willClose; }
    int presented = 0;
    int willClose = 0;

private:
    PromoContentSource m_source;
};

TEST_F(PromoDialogsTest, ToolsPageShowsTheFeedReloadsWhileVisibleAndSendsLinksToTheBrowser)
{
    const QString changed = QStringLiteral("tools-changed");
    RecordingToolsDelegate delegate(source(changed));
    MacToolsDialogWC tools(services());
    tools.setDelegate(&delegate);
    content.size = QSize();
    tools.pleaseShowWindow();
    ASSERT_TRUE(tools.isVisible());
    EXPECT_EQ(delegate.presented, 1);
    EXPECT_EQ(tools.window()->size(), MacToolsDialogWC::kDefaultSize);
    EXPECT_EQ(tools.browser()->page(), url(QStringLiteral("package/index.html")));

    content.htmlURL = url(QStringLiteral("package/second.html"));
    content.size = QSize(640, 380);
    center.post(changed);
    EXPECT_EQ(tools.browser()->page(), content.htmlURL);
    EXPECT_EQ(tools.window()->size(), QSize(640, 380));

    tools.browser()->followLink(QUrl(QStringLiteral("#top"))); // an anchor of the page itself
    tools.browser()->followLink(QUrl(QStringLiteral("https://brendix.example/tools/")));
    EXPECT_EQ(opener.openedAddresses(), QStringList{QStringLiteral("https://brendix.example/tools/")});
    EXPECT_TRUE(tools.isVisible());

    tools.close();
    EXPECT_EQ(delegate.willClose, 1);
    content.htmlURL = url(QStringLiteral("package/index.html"));
    center.post(changed);
    EXPECT_EQ(tools.browser()->page(), url(QStringLiteral("package/second.html")));
}

class NewsRoles final : public NewsManagerConfigurator, public NewsManagerDelegate {
public:
    NewsRoles(PromoContentSource source, UserDefaults &defaults)
        : checker(defaults, QStringLiteral("PROMO_MANAGER:news:last_readed_version")), m_source(std::move(source))
    {}
    PromoContentSource newsManagerCreateDownloder() override
    {
        ++created;
        return m_source;
    }
    FreshChecker &newsManagerFreshChecker() override { return checker; }
    bool canNewsBeAutoShown(AbstractNewsManager &) override { return autoShow; }
    void newsWereShown(AbstractNewsManager &) override { ++shown; }

    FreshChecker checker;
    int created = 0;
    int shown = 0;
    bool autoShow = false;

private:
    PromoContentSource m_source;
};

TEST_F(PromoDialogsTest, NewsAreFreshOnlyForADownloadedPackageNewerThanTheLastRead)
{
    NewsRoles roles(source(NewsManager::NewsHtmlChangedNotificationName()), *defaults);
    AbstractNewsManager news(roles, services());
    news.setDelegate(&roles);
    EXPECT_EQ(roles.created, 0);

    content.isEmbedded = true;
    content.version = 3;
    EXPECT_TRUE(news.isNewsContentEmbedded());
    EXPECT_FALSE(news.hasFreshNews());

    content.isEmbedded = false;
    roles.checker.markAsRead(2);
    EXPECT_TRUE(news.hasFreshNews());
    EXPECT_FALSE(news.canAutoShowNews());
    roles.autoShow = true;
    EXPECT_TRUE(news.canAutoShowNews());
    roles.checker.markAsRead(3);
    EXPECT_FALSE(news.hasFreshNews());
    EXPECT_EQ(roles.created, 1);

    content.size = QSize();
    EXPECT_EQ(news.contentSize(), AbstractNewsManager::kDefaultSize);
}

TEST_F(PromoDialogsTest, NewsPopupMarksReadFollowsThePageAndHides)
{
    NewsRoles roles(source(NewsManager::NewsHtmlChangedNotificationName()), *defaults);
    AbstractNewsManager news(roles, services());
    news.setDelegate(&roles);
    int readPosts = 0;
    center.addObserver(NewsManager::NewsWasReadedNotificationName(), {}, [&](const Notification &) { ++readPosts; });
    content.version = 3;
    roles.checker.markAsRead(2);

    news.showAtPosition(QPoint(200, 150), 0);
    ASSERT_TRUE(news.isNewsDialogVisible());
    EXPECT_EQ(news.dialog()->window()->geometry(), QRect(QPoint(200, 150), content.size));
    EXPECT_EQ(roles.checker.lastReadVersion(), 3);
    EXPECT_FALSE(news.hasFreshNews());
    EXPECT_EQ(readPosts, 1);
    EXPECT_EQ(roles.shown, 1);

    content.htmlURL = url(QStringLiteral("package/second.html"));
    center.post(NewsManager::NewsHtmlChangedNotificationName());
    EXPECT_EQ(news.dialog()->browser()->page(), content.htmlURL);
    EXPECT_EQ(readPosts, 1);

    news.dialog()->browser()->followLink(QUrl(QStringLiteral("https://brendix.example/news/")));
    EXPECT_EQ(opener.openedAddresses(), QStringList{QStringLiteral("https://brendix.example/news/")});
    EXPECT_FALSE(news.isNewsDialogVisible());

    news.showAtPosition(QPoint(200, 150), 0);
    QWidget *popup = news.dialog()->window();
    ASSERT_TRUE(waitUntil([&]() { return popup->isActiveWindow(); }));
    QTest::keyClick(news.dialog()->browser(), Qt::Key_Escape);
    EXPECT_FALSE(news.isNewsDialogVisible());
}

} // namespace
} // namespace lurkel::test
