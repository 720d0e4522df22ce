#include "HTMLDownloader.h"
#include "EventWait.h"
#include "FeedServer.h"
#include "Fixtures.h"
#include "ManualClock.h"
#include "NotificationCenter.h"
#include "PackageUnpacker.h"
#include "PosixFile.h"
#include "TestEnvironment.h"
#include "TestPackages.h"
#include "UserDefaults.h"

#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>

using namespace lurkel;
using test::FeedServer;
using test::makePackage;
using test::namesIn;
using test::PackageEntry;
using test::PackageFormat;
using test::TestEnvironment;
using test::waitUntil;
using Result = HTMLDownloader::CheckResult;

namespace {

constexpr std::int64_t kDayMs = std::int64_t{86400} * 1000;
const QByteArray kFeedPath = "/pro-support/lurkel/tools2.xml";

QByteArray toolsFeed(int version, int major, const QString &url, const QString &root = QStringLiteral("mac_tools"))
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="utf-8"?>
<%1><version>%2</version><majorVersion>%3</majorVersion><url>%4</url><width>800</width><height>500</height></%1>)")
        .arg(root)
        .arg(version)
        .arg(major)
        .arg(url)
        .toUtf8();
}

QByteArray toolsPackage(PackageFormat format, const std::string &page)
{
    return makePackage(format,
                       {{"img/", "", PackageEntry::Folder}, {"img/logo.svg", "<svg/>"}, {"mactools.html", page}});
}

class HTMLDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = TestEnvironment::freshHome();
        dataHome = home / ".local/share";
        cache = dataHome / "com.brendix.Lurkel-SII";
        defaults = std::make_unique<UserDefaults>(QStringLiteral("test.promo-feeds"));
        center.addObserver(HTMLDownloaderInitData::macToolsHtmlChangedNotificationName(), {},
                           [this](const Notification &) { ++changes; });
    }

    HTMLDownloaderInitData tools() const
    {
        return HTMLDownloaderInitData::macTools(cache, QUrl(server.host() + QString::fromLatin1(kFeedPath)));
    }
    std::unique_ptr<HTMLDownloader> make(const HTMLDownloaderInitData &data)
    {
        return std::make_unique<HTMLDownloader>(data, *defaults, center, clock);
    }

    // Starts a check (unless one runs already) and waits for its end.
    Result check(HTMLDownloader &downloader)
    {
        std::optional<Result> result;
        const auto connection =
            QObject::connect(&downloader, &HTMLDownloader::checkFinished, [&](Result r) { result = r; });
        downloader.checkNow();
        EXPECT_TRUE(waitUntil([&]() { return result.has_value(); }));
        QObject::disconnect(connection);
        return result.value_or(Result::Failed);
    }

    void serveTools(int version, const QByteArray &package, int major = 0)
    {
        const QByteArray path = "/packages/tools-" + QByteArray::number(version);
        server.routes[kFeedPath] = {toolsFeed(version, major, QStringLiteral("../../packages/tools-%1").arg(version))};
        server.routes[path] = {package};
    }

    // Version 1 of the tools page, in use.
    std::unique_ptr<HTMLDownloader> withVersion1()
    {
        auto downloader = make(tools());
        serveTools(1, toolsPackage(PackageFormat::Zip, "tools one"));
        EXPECT_EQ(check(*downloader), Result::Installed);
        EXPECT_EQ(downloader->buildContentData().version, 1);
        return downloader;
    }

    static std::string pageOf(const HTMLContentData &content)
    {
        return test::readFile(BytePath(content.htmlURL.toLocalFile().toStdString()));
    }

    BytePath home;
    BytePath dataHome;
    BytePath cache;
    FeedServer server;
    ManualClock clock;
    NotificationCenter center;
    std::unique_ptr<UserDefaults> defaults;
    int changes = 0;
};

TEST_F(HTMLDownloaderTest, FirstLoadThenANewerPackageReplacesTheOldOnlyOnceComplete)
{
    // Before any feed: the built-in page (none for advertisements).
    auto downloader = make(tools());
    const HTMLContentData builtIn = downloader->buildContentData();
    EXPECT_TRUE(builtIn.isEmbedded);
    EXPECT_EQ(builtIn.size, QSize(713, 407));
    EXPECT_EQ(builtIn.htmlURL.scheme(), QStringLiteral("qrc"));
    QFile builtInPage(QLatin1Char(':') + builtIn.htmlURL.path());
    ASSERT_TRUE(builtInPage.open(QIODevice::ReadOnly));
    EXPECT_TRUE(builtInPage.readAll().contains("brendix.example/products/"));
    const auto ads =
        make(HTMLDownloaderInitData::advertisement(cache, QUrl(server.host() + QStringLiteral("/ads.xml"))));
    EXPECT_FALSE(ads->buildContentData().hasPage());
    // An advertisement package: its page and its highest application index; the ads' own notification.
    server.routes["/ads.xml"] = {QByteArrayLiteral("<messages><version>3</version><majorVersion>0</majorVersion>"
                                                   "<url>ads-3.zip</url><width>1120</width><height>502</height>"
                                                   "<maxappindex>7</maxappindex></messages>")};
    server.routes["/ads-3.zip"] = {makePackage(PackageFormat::Zip, {{"advertisement.htm", "ad"}})};
    int adChanges = 0;
    center.addObserver(QStringLiteral("adsdialog-html-changed-notification"), {},
                       [&](const Notification &) { ++adChanges; });
    EXPECT_EQ(check(*ads), Result::Installed);
    EXPECT_EQ(pageOf(ads->buildContentData()), "ad");
    EXPECT_EQ(ads->buildContentData().maxAppIndex, 7);
    EXPECT_EQ(namesIn(cache), std::set<std::string>{"Advertisement_v3"});
    EXPECT_EQ(adChanges, 1);
    EXPECT_EQ(changes, 0);

    // First load: a zip named relative to the feed.
    serveTools(1, toolsPackage(PackageFormat::Zip, "tools one"));
    ASSERT_EQ(check(*downloader), Result::Installed);
    HTMLContentData content = downloader->buildContentData();
    EXPECT_FALSE(content.isEmbedded);
    EXPECT_EQ(content.version, 1);
    EXPECT_EQ(content.size, QSize(800, 500));
    EXPECT_EQ(content.htmlURL,
              QUrl::fromLocalFile(QString::fromStdString((cache / "MacTools_v1/mactools.html").bytes())));
    EXPECT_EQ(pageOf(content), "tools one");
    EXPECT_EQ(test::readFile(cache / "MacTools_v1/img/logo.svg"), "<svg/>");
    struct stat info {};
    ASSERT_EQ(::stat((cache / "MacTools_v1/mactools.html").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644U);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(defaults->integerForKey(QStringLiteral("PROMO_MANAGER:mac_tools:version")), 1);
    EXPECT_EQ(defaults->integerForKey(QStringLiteral("PROMO_MANAGER:mac_tools:width")), 800);

    // The same version again: nothing downloaded.
    EXPECT_EQ(check(*downloader), Result::UpToDate);
    EXPECT_EQ(server.requestsFor("/packages/tools-1"), 1);

    // Version 2 (tar.gz, absolute address): while it downloads, version 1 stays in use.
    server.routes[kFeedPath] = {toolsFeed(2, 0, server.host() + QStringLiteral("/packages/tools-2.tar.gz"))};
    server.routes["/packages/tools-2.tar.gz"] = {toolsPackage(PackageFormat::TarGz, "tools two"), "200 OK", false};
    std::optional<Result> result;
    QObject::connect(downloader.get(), &HTMLDownloader::checkFinished, [&](Result r) { result = r; });
    downloader->checkNow();
    ASSERT_TRUE(waitUntil([&]() { return server.requestsFor("/packages/tools-2.tar.gz") == 1; }));
    EXPECT_EQ(pageOf(downloader->buildContentData()), "tools one");
    server.answerHeld();
    ASSERT_TRUE(waitUntil([&]() { return result.has_value(); }));
    EXPECT_EQ(*result, Result::Installed);
    content = downloader->buildContentData();
    EXPECT_EQ(content.version, 2);
    EXPECT_EQ(pageOf(content), "tools two");
    EXPECT_EQ(namesIn(cache), (std::set<std::string>{"Advertisement_v3", "MacTools_v2"}));
    EXPECT_EQ(changes, 2);

    // A package removed behind our back: the built-in page again, and the next feed reloads it.
    ASSERT_EQ(PackageUnpacker::removeTree(AT_FDCWD, cache.c_str()), 0);
    server.routes["/packages/tools-2.tar.gz"].answer = true;
    EXPECT_TRUE(downloader->buildContentData().isEmbedded);
    EXPECT_EQ(check(*downloader), Result::Installed);
    EXPECT_EQ(downloader->buildContentData().version, 2);
}

TEST_F(HTMLDownloaderTest, FeedsThatAreNotAcceptedLeaveThePageAlone)
{
    auto downloader = withVersion1();
    const QString package = server.host() + QStringLiteral("/packages/other");
    server.routes["/packages/other"] = {toolsPackage(PackageFormat::Zip, "other")};
    const struct {
        const char *what;
        QByteArray body;
        QByteArray status;
        Result expected;
    } cases[] = {
        {"major version not understood", toolsFeed(5, 1, package), "200 OK", Result::Rejected},
        {"broken XML", "<mac_tools><version>5</version><url>", "200 OK", Result::Rejected},
        {"not XML", "{\"version\": 5}", "200 OK", Result::Rejected},
        {"wrong root element", toolsFeed(5, 0, package, QStringLiteral("news")), "200 OK", Result::Rejected},
        {"version not an integer", toolsFeed(5, 0, package).replace("<version>5<", "<version>five<"), "200 OK",
         Result::Rejected},
        {"no address", toolsFeed(5, 0, package).replace("<url>", "<link>").replace("</url>", "</link>"), "200 OK",
         Result::Rejected},
        {"no size", toolsFeed(5, 0, package).replace("<width>800</width>", ""), "200 OK", Result::Rejected},
        {"not a web address", toolsFeed(5, 0, QStringLiteral("file:///etc/passwd")), "200 OK", Result::Rejected},
        {"older version", toolsFeed(0, 0, package), "200 OK", Result::UpToDate},
        {"server error", toolsFeed(5, 0, package), "404 Not Found", Result::Failed},
    };
    for (const auto &c : cases) {
        server.routes[kFeedPath] = {c.body, c.status};
        EXPECT_EQ(check(*downloader), c.expected) << c.what;
        EXPECT_EQ(pageOf(downloader->buildContentData()), "tools one") << c.what;
    }
    EXPECT_EQ(server.requestsFor("/packages/other"), 0);
    EXPECT_EQ(namesIn(cache), std::set<std::string>{"MacTools_v1"});
    EXPECT_EQ(changes, 1);
}

TEST_F(HTMLDownloaderTest, HostileOrTruncatedPackagesAreRefusedWholeAndLeaveNothingBehind)
{
    auto downloader = withVersion1();
    const BytePath outside = TestEnvironment::root() / "outside";
    ASSERT_EQ(::mkdir(outside.c_str(), 0755), 0);
    const std::string escaped = (outside / "escaped.html").bytes();
    const PackageEntry page{"mactools.html", "hostile"};
    // Complete but for the end: the page itself is whole, the picture after it is cut off.
    std::string noise(std::size_t{256} * 1024, '\0');
    std::uint32_t seed = 1;
    for (char &c : noise)
        c = static_cast<char>((seed = seed * 1664525U + 1013904223U) >> 24);
    const std::vector<PackageEntry> withPicture = {{"mactools.html", "tools two"}, {"img/photo.jpg", noise}};
    const QByteArray good = makePackage(PackageFormat::Zip, withPicture);
    const QByteArray goodTar = makePackage(PackageFormat::TarGz, withPicture);
    const std::vector<PackageEntry> kinds[] = {
        {page, {"../escaped.html", "x"}},
        {page, {"img/../../../escaped.html", "x"}},
        {page, {escaped, "x"}},
        {{"link", "", PackageEntry::Symlink, outside.bytes()}, {"link/escaped.html", "x"}, page},
        {page, {"hard", "", PackageEntry::Hardlink, "/etc/passwd"}},
        {page, {"pipe", "", PackageEntry::Fifo}},
        {{"other.html", "no page to load"}},
    };
    std::vector<QByteArray> packages;
    for (const auto &entries : kinds)
        packages.push_back(makePackage(PackageFormat::TarGz, entries));
    packages.push_back(makePackage(PackageFormat::Zip, kinds[0]));
    packages.push_back(good.left(good.size() / 2));
    packages.push_back(goodTar.left(goodTar.size() / 2));
    packages.push_back("not an archive at all");
    packages.push_back(makePackage(PackageFormat::Zip, {page, page})); // the same name twice

    const std::set<std::string> aroundCache = namesIn(dataHome);
    int version = 2;
    for (const QByteArray &package : packages) {
        serveTools(version, package);
        EXPECT_EQ(check(*downloader), Result::Rejected) << "package " << version;
        EXPECT_EQ(pageOf(downloader->buildContentData()), "tools one") << "package " << version;
        EXPECT_EQ(namesIn(cache), std::set<std::string>{"MacTools_v1"}) << "package " << version;
        ++version;
    }
    EXPECT_EQ(namesIn(outside), std::set<std::string>{});
    EXPECT_EQ(namesIn(dataHome), aroundCache);
    EXPECT_EQ(changes, 1);
}

TEST_F(HTMLDownloaderTest, AServerThatNeverAnswersEndsAtTheTimeoutsOnTheClock)
{
    auto downloader = withVersion1();
    std::optional<Result> result;
    QObject::connect(downloader.get(), &HTMLDownloader::checkFinished, [&](Result r) { result = r; });

    // The feed never answers.
    server.routes[kFeedPath] = {toolsFeed(2, 0, QStringLiteral("/packages/tools-2")), "200 OK", false};
    downloader->checkNow();
    ASSERT_TRUE(waitUntil([&]() { return server.requestsFor(kFeedPath) == 2; }));
    clock.advance(HTMLDownloader::kFeedTimeoutMs - 1);
    EXPECT_TRUE(downloader->isChecking());
    clock.advance(1);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, Result::Failed);

    // Tried again within the hour; now the package never answers.
    server.routes[kFeedPath].answer = true;
    server.routes["/packages/tools-2"] = {toolsPackage(PackageFormat::Zip, "tools two"), "200 OK", false};
    result.reset();
    clock.advance(HTMLDownloader::kRetryAfterFailureMs - 1);
    EXPECT_FALSE(downloader->isChecking());
    clock.advance(1);
    EXPECT_TRUE(downloader->isChecking());
    ASSERT_TRUE(waitUntil([&]() { return server.requestsFor("/packages/tools-2") == 1; }));
    clock.advance(HTMLDownloader::kPackageTimeoutMs - 1);
    EXPECT_FALSE(result.has_value());
    clock.advance(1);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, Result::Failed);
    EXPECT_EQ(pageOf(downloader->buildContentData()), "tools one");
    EXPECT_EQ(namesIn(cache), std::set<std::string>{"MacTools_v1"});
}

TEST_F(HTMLDownloaderTest, ChecksFollowTheIntervalsOfThePage)
{
    // News: daily. Last checked two days ago: due, so checked soon after creation.
    const QString newsFeed = QStringLiteral("/pro-support/lurkel/news2.xml");
    server.routes[newsFeed.toLatin1()] = {
        QByteArrayLiteral("<news><version>0</version><majorVersion>0</majorVersion>"
                          "<url>n.zip</url><width>1</width><height>1</height></news>")};
    defaults->setObject(QStringLiteral("PROMO_MANAGER:news:last_check_date"), clock.currentDateTime().addDays(-2));
    {
        auto news = make(HTMLDownloaderInitData::news(cache, QUrl(server.host() + newsFeed)));
        std::optional<Result> result;
        QObject::connect(news.get(), &HTMLDownloader::checkFinished, [&](Result r) { result = r; });
        clock.advance(HTMLDownloader::kFirstCheckDelayMs - 1);
        EXPECT_FALSE(news->isChecking());
        clock.advance(1);
        EXPECT_TRUE(news->isChecking());
        ASSERT_TRUE(waitUntil([&]() { return result.has_value(); }));
        EXPECT_EQ(*result, Result::UpToDate);
        clock.advance(kDayMs - 1);
        EXPECT_FALSE(news->isChecking());
        clock.advance(1);
        EXPECT_TRUE(news->isChecking());
    }

    // Tools: weekly. Last checked two days ago (in an earlier run): the next check five days on.
    serveTools(0, {});
    defaults->setObject(QStringLiteral("PROMO_MANAGER:mac_tools:last_check_date"), clock.currentDateTime().addDays(-2));
    auto tools = make(this->tools());
    std::optional<Result> result;
    QObject::connect(tools.get(), &HTMLDownloader::checkFinished, [&](Result r) { result = r; });
    clock.advance(5 * kDayMs - 1);
    EXPECT_FALSE(tools->isChecking());
    clock.advance(1);
    EXPECT_TRUE(tools->isChecking());
    ASSERT_TRUE(waitUntil([&]() { return result.has_value(); }));
    EXPECT_EQ(tools->lastCheckDate(), clock.currentDateTime());
    clock.advance(7 * kDayMs - 1);
    EXPECT_FALSE(tools->isChecking());
    clock.advance(1);
    EXPECT_TRUE(tools->isChecking());

    // Without a cache folder: the built-in page only, and no checks at all.
    HTMLDownloaderInitData noCache = this->tools();
    noCache.cacheFolder = BytePath();
    auto bare = make(noCache);
    clock.advance(8 * kDayMs);
    EXPECT_FALSE(bare->isChecking());
    EXPECT_TRUE(bare->buildContentData().isEmbedded);
}

TEST(PackageUnpacker, PackagesOverTheLimitsAreRefused)
{
    const QByteArray package = makePackage(PackageFormat::TarGz, {{"a.html", "12345"}, {"b.html", "67890"}});
    int folders = 0;
    const auto unpack = [&](PackageUnpacker::Limits limits) {
        const BytePath folder = TestEnvironment::root() / ("unpacked" + std::to_string(++folders));
        EXPECT_EQ(::mkdir(folder.c_str(), 0700), 0);
        const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return PackageUnpacker::unpack(package, fd.get(), limits);
    };
    EXPECT_FALSE(unpack({.maxTotalBytes = 10, .maxEntries = 2}).has_value()); // just fits
    EXPECT_TRUE(unpack({.maxTotalBytes = 9, .maxEntries = 2}).has_value());
    EXPECT_TRUE(unpack({.maxTotalBytes = 10, .maxEntries = 1}).has_value());
}

} // namespace
