#include "UserDefaults.h"
#include "Fixtures.h"
#include "Spawn.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace lurkel;
using lurkel::test::TestEnvironment;

namespace {

struct UserDefaultsTest : ::testing::Test {
    void SetUp() override { TestEnvironment::freshHome(); }
};

std::string writerProgram()
{
    return (TestEnvironment::buildDir() / "tests/platform/lurkel_defaults_writer").bytes();
}

BytePath settingsFile(const char *domain)
{
    return XdgDirs::configHome() / (std::string(domain) + ".json");
}

} // namespace

TEST_F(UserDefaultsTest, ValuesKeepTheirKindAcrossProcesses)
{
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(1767225600123, Qt::UTC);
    const QVariantMap dict{{QStringLiteral("$date"), QStringLiteral("not a date")}};
    {
        UserDefaults d(QStringLiteral("kinds"));
        d.setBool(QStringLiteral("b"), true);
        d.setInteger(QStringLiteral("i"), -42);
        d.setDouble(QStringLiteral("whole"), 2.0);
        d.setDouble(QStringLiteral("frac"), 0.8);
        d.setObject(QStringLiteral("u"), QVariant::fromValue(std::numeric_limits<quint64>::max()));
        d.setString(QStringLiteral("s"), QStringLiteral("text"));
        d.setObject(QStringLiteral("date"), date);
        d.setObject(QStringLiteral("data"), QByteArray("\x00\xff", 2));
        d.setObject(QStringLiteral("list"), QVariantList{1, QStringLiteral("x")});
        d.setObject(QStringLiteral("dict"), dict);
        ASSERT_TRUE(d.synchronize());
    }
    UserDefaults r(QStringLiteral("kinds")); // a fresh object reads the file
    EXPECT_EQ(r.objectForKey(QStringLiteral("b")).typeId(), QMetaType::Bool);
    EXPECT_EQ(r.integerForKey(QStringLiteral("i")), -42);
    EXPECT_EQ(r.objectForKey(QStringLiteral("whole")).typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(r.doubleForKey(QStringLiteral("frac")), 0.8);
    EXPECT_EQ(r.objectForKey(QStringLiteral("u")).toULongLong(), std::numeric_limits<quint64>::max());
    EXPECT_EQ(r.objectForKey(QStringLiteral("date")).toDateTime(), date);
    EXPECT_EQ(r.objectForKey(QStringLiteral("data")).toByteArray(), QByteArray("\x00\xff", 2));
    EXPECT_EQ(r.objectForKey(QStringLiteral("list")).toList().size(), 2);
    EXPECT_EQ(r.objectForKey(QStringLiteral("dict")).toMap(), dict);
    EXPECT_TRUE(r.isNumber(QStringLiteral("i")));
    EXPECT_FALSE(r.isNumber(QStringLiteral("b")));
    EXPECT_EQ(r.integerForKey(QStringLiteral("absent"), 7), 7);
}

TEST_F(UserDefaultsTest, DamagedFileIsMovedAsideAndReadsEmpty)
{
    XdgDirs::makePath(XdgDirs::configHome());
    UserDefaults d(QStringLiteral("broken"));
    test::writeFile(d.filePath(), "{ not json");
    EXPECT_FALSE(d.contains(QStringLiteral("x")));
    d.setBool(QStringLiteral("x"), true);
    ASSERT_TRUE(d.synchronize());
    std::vector<std::string> aside;
    DIR *dir = ::opendir(XdgDirs::configHome().c_str());
    while (dirent *e = dir ? ::readdir(dir) : nullptr)
        if (std::string(e->d_name).starts_with("broken.json.corrupt-")) aside.emplace_back(e->d_name);
    if (dir) ::closedir(dir);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(test::readFile(XdgDirs::configHome() / aside.front()), "{ not json"); // never overwritten
    UserDefaults again(QStringLiteral("broken"));
    EXPECT_TRUE(again.boolForKey(QStringLiteral("x")));
}

TEST_F(UserDefaultsTest, ReaderSeesOtherWritersAfterSynchronize)
{
    UserDefaults a(QStringLiteral("shared")), b(QStringLiteral("shared"));
    a.setInteger(QStringLiteral("a"), 1);
    ASSERT_TRUE(a.synchronize());
    EXPECT_EQ(b.integerForKey(QStringLiteral("a")), 1);
    b.setInteger(QStringLiteral("b"), 2);
    a.setInteger(QStringLiteral("a"), 3);
    ASSERT_TRUE(b.synchronize());
    ASSERT_TRUE(a.synchronize()); // merges: b's key survives a's write
    UserDefaults c(QStringLiteral("shared"));
    EXPECT_EQ(c.integerForKey(QStringLiteral("a")), 3);
    EXPECT_EQ(c.integerForKey(QStringLiteral("b")), 2);
    a.removeObject(QStringLiteral("b"));
    ASSERT_TRUE(a.synchronize());
    ASSERT_TRUE(b.synchronize());
    EXPECT_FALSE(b.contains(QStringLiteral("b")));
}

TEST_F(UserDefaultsTest, TwoProcessesWritingAtOnceLoseNothing)
{
    const std::string writer = writerProgram();
    const std::string suite = "4QW7TR2MPL.group.com.brendix.Lurkel-SII";
    SpawnResult first, second;
    std::thread t1([&]() { first = Spawn::run({{writer, suite, "first-", "200"}}); });
    second = Spawn::run({{writer, suite, "second-", "200"}});
    t1.join();
    ASSERT_EQ(first.exitStatus, 0) << first.standardError;
    ASSERT_EQ(second.exitStatus, 0) << second.standardError;
    UserDefaults d(QString::fromStdString(suite));
    EXPECT_EQ(d.dictionaryRepresentation().size(), 400);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(d.integerForKey(QStringLiteral("first-%1").arg(i), -1), i);
        EXPECT_EQ(d.integerForKey(QStringLiteral("second-%1").arg(i), -1), i);
    }
}

TEST_F(UserDefaultsTest, FileItCannotReadIsNeitherWrittenOverNorMoved)
{
    XdgDirs::makePath(XdgDirs::configHome());
    const BytePath elsewhere = test::makeDir(TestEnvironment::root() / "elsewhere");
    const std::vector<std::pair<const char *, std::function<void(const BytePath &)>>> cases = {
        {"fifo", [](const BytePath &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"folder", [](const BytePath &p) { test::makeDir(p, 0700); }},
        {"oversized",
         [](const BytePath &p) {
             test::writeFile(p, "{}");
             ASSERT_EQ(::truncate(p.c_str(), UserDefaults::kMaxFileSize + 1), 0);
         }},
        {"dangling", [&](const BytePath &p) { ASSERT_EQ(::symlink((elsewhere / "gone.json").c_str(), p.c_str()), 0); }},
        {"stuck", // damaged, and every name to move it aside to is taken
         [](const BytePath &p) {
             test::writeFile(p, "{ not json");
             const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
             ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
             const std::string aside =
                 p.bytes() + ".corrupt-" +
                 QDateTime::fromSecsSinceEpoch(1700000000).toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
             test::writeFile(aside, "taken");
             for (int i = 1; i < 100; ++i)
                 test::writeFile(aside + "-" + std::to_string(i), "taken");
         }},
    };
    for (const auto &[domain, make] : cases) {
        SCOPED_TRACE(domain);
        const BytePath path = settingsFile(domain);
        make(path);
        test::writeFile(path.bytes() + ".lock", "");
        const test::Snapshot before = test::snapshot(XdgDirs::configHome());
        UserDefaults(QString::fromLatin1(domain)).removePersistentDomain(); // the reset, first thing in a run
        UserDefaults d(QString::fromLatin1(domain));
        EXPECT_TRUE(d.isReadOnly());
        EXPECT_FALSE(d.readOnlyReason().isEmpty());
        d.setBool(QStringLiteral("changed"), true);
        EXPECT_TRUE(d.boolForKey(QStringLiteral("changed"))); // kept in memory for the run
        EXPECT_FALSE(d.synchronize());
        d.removePersistentDomain();
        EXPECT_EQ(test::snapshot(XdgDirs::configHome()), before);
    }
}

TEST_F(UserDefaultsTest, AnotherUsersUnreadableFileIsLeftAlone)
{
    // what one run with sudo leaves behind, met by the user's own run
    const BytePath home = test::unprivilegedArea() / "home";
    const BytePath config = test::makeDir(home / ".config", 0700);
    test::giveToUnprivileged(config);
    const BytePath path = config / "locked.json";
    test::writeFile(path, "{\"mine\": true}\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    const std::string before = test::describe(path);
    SpawnRequest request;
    request.argv = {writerProgram(), "locked", "changed"};
    if (test::runningAsRoot())
        request.argv.insert(request.argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    request.environment = {{"HOME", home.bytes()}, {"XDG_CONFIG_HOME", config.bytes()}};
    const SpawnResult r = Spawn::run(request);
    ASSERT_EQ(r.exitStatus, 0) << r.standardError;
    EXPECT_EQ(r.standardOutput, "synchronize=0 read-only=1\n");
    EXPECT_NE(r.standardError.find("read-only"), std::string::npos) << r.standardError;
    EXPECT_EQ(test::describe(path), before);
    EXPECT_EQ(test::namesIn(config), (std::set<std::string>{"locked.json", "locked.json.lock"}));
}

TEST_F(UserDefaultsTest, LinkIsWrittenThroughToItsTarget)
{
    XdgDirs::makePath(XdgDirs::configHome());
    const BytePath elsewhere = test::makeDir(TestEnvironment::root() / "dotfiles");
    const BytePath target = elsewhere / "settings.json";
    test::writeFile(target, "{\"old\": 1}");
    const BytePath path = settingsFile("linked");
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    const std::string link = test::describe(path);
    UserDefaults d(QStringLiteral("linked"));
    EXPECT_FALSE(d.isReadOnly());
    d.setBool(QStringLiteral("new"), true);
    ASSERT_TRUE(d.synchronize());
    EXPECT_EQ(test::describe(path), link);
    EXPECT_EQ(test::namesIn(elsewhere), std::set<std::string>{"settings.json"});
    const auto written = UserDefaults::decode(QByteArray::fromStdString(test::readFile(target)));
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, (QVariantMap{{QStringLiteral("old"), 1}, {QStringLiteral("new"), true}}));

    // damaged behind the link: moved aside there, and the link still leads to a file
    test::writeFile(target, "{ not json");
    EXPECT_TRUE(UserDefaults(QStringLiteral("linked")).dictionaryRepresentation().isEmpty());
    EXPECT_EQ(test::describe(path), link);
    EXPECT_EQ(test::namesIn(elsewhere).size(), 2u);
    EXPECT_FALSE(UserDefaults(QStringLiteral("linked")).isReadOnly());
}

TEST_F(UserDefaultsTest, RewriteWithinOneTimestampTickIsSeen)
{
    UserDefaults d(QStringLiteral("tick"));
    d.setInteger(QStringLiteral("k"), 1);
    ASSERT_TRUE(d.synchronize());
    const BytePath path = settingsFile("tick");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    // another program rewrites it in place, same size, within the same tick
    const QByteArray other = UserDefaults::encode({{QStringLiteral("k"), 2}});
    test::writeFile(path, other.toStdString());
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    d.setInteger(QStringLiteral("mine"), 3);
    ASSERT_TRUE(d.synchronize());
    EXPECT_EQ(d.integerForKey(QStringLiteral("k")), 2);
    UserDefaults fresh(QStringLiteral("tick"));
    EXPECT_EQ(fresh.integerForKey(QStringLiteral("k")), 2);
    EXPECT_EQ(fresh.integerForKey(QStringLiteral("mine")), 3);
}
