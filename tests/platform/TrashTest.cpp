#include "Trash.h"
#include "Fixtures.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

using namespace lurkel;
using namespace lurkel::test;
using namespace std::string_literals;

namespace {

std::string localNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// Checks the info file of a trashed item as a reader of the freedesktop format would, and
// answers the original path it records.
std::string recordedPath(const ItemOutcome &outcome, const std::string &earliest, const std::string &latest)
{
    const BytePath info =
        outcome.destination.parent().parent() / "info" / (std::string(outcome.destination.fileName()) + ".trashinfo");
    const std::string text = readFile(info);
    std::smatch m;
    const std::regex format(
        "\\[Trash Info\\]\nPath=([A-Za-z0-9._~/%-]+)\nDeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n");
    EXPECT_TRUE(std::regex_match(text, m, format)) << text;
    if (m.size() != 3) return {};
    EXPECT_GE(m[2].str(), earliest);
    EXPECT_LE(m[2].str(), latest);
    return QByteArray::fromPercentEncoding(QByteArray::fromStdString(m[1].str())).toStdString();
}

} // namespace

TEST(Trash, HostileNamesGoToTheHomeTrashWithValidInfoFiles)
{
    const BytePath home = TestEnvironment::freshHome();
    const BytePath dir = makeDir(home / "dir");
    std::vector<std::string> names = hostileNames();
    names.push_back(std::string(250, 'L'));
    for (const std::string &name : names)
        writeFile(dir / name, name + "\0\xff"s);
    makeDir(dir / "folder");
    writeFile(dir / "folder/inner", "inner");
    ASSERT_TRUE(XdgDirs::makePath(Trash::homeTrash() / "files"));
    writeFile(Trash::homeTrash() / "files/with space", "an entry without info file");
    names.push_back("folder");

    const std::string earliest = localNow();
    for (const std::string &name : names) {
        const std::string content = readFile(dir / name);
        const ItemOutcome outcome = Trash::moveToTrash(dir / name);
        ASSERT_TRUE(outcome.done()) << name << ": " << outcome.error->localizedDescription().toStdString();
        EXPECT_EQ(outcome.destination.parent(), Trash::homeTrash() / "files");
        EXPECT_FALSE(exists(dir / name));
        EXPECT_EQ(recordedPath(outcome, earliest, localNow()), (dir / name).bytes());
        EXPECT_LE(outcome.destination.fileName().size() + 10, std::size_t{NAME_MAX});
        if (name != "folder") {
            EXPECT_EQ(readFile(outcome.destination), content);
        }
    }
    EXPECT_EQ(readFile(Trash::homeTrash() / "files/with space"), "an entry without info file");
    EXPECT_TRUE(exists(Trash::homeTrash() / "files/with space 2"));
    EXPECT_EQ(readFile(Trash::homeTrash() / "files/folder/inner"), "inner");

    writeFile(dir / "folder", "a second item of that name");
    const ItemOutcome second = Trash::moveToTrash(dir / "folder");
    EXPECT_EQ(second.destination, Trash::homeTrash() / "files/folder 2");
    EXPECT_EQ(readFile(second.destination), "a second item of that name");

    // The trash itself and what holds it are refused, and so is what is not there.
    const Snapshot before = snapshot(home);
    for (const BytePath &path : {second.destination, Trash::homeTrash() / "files", Trash::homeTrash(),
                                 Trash::homeTrash().parent(), home, home / "missing"}) {
        EXPECT_FALSE(Trash::moveToTrash(path).done()) << path.bytes();
    }
    EXPECT_EQ(snapshot(home), before);
}

TEST(Trash, TopFolderTrashIsChosenAsTheRulesSay)
{
    const BytePath home = TestEnvironment::freshHome();
    const std::string uid = std::to_string(::geteuid()), own = ".Trash-" + uid;
    const auto trashIn = [](const BytePath &top) {
        auto found = Trash::trashDirectoryInTopDir(top);
        return std::holds_alternative<BytePath>(found) ? std::get<BytePath>(found) : BytePath();
    };
    const BytePath plain = makeDir(home / "plain"), sticky = makeDir(home / "sticky"),
                   notSticky = makeDir(home / "not-sticky"), linked = makeDir(home / "linked"),
                   occupied = makeDir(home / "occupied");
    makeDir(sticky / ".Trash", 01777);
    makeDir(notSticky / ".Trash", 0777);
    ASSERT_EQ(::symlink((sticky / ".Trash").c_str(), (linked / ".Trash").c_str()), 0);
    writeFile(occupied / own, "not a folder");
    EXPECT_EQ(trashIn(plain), plain / own);
    EXPECT_EQ(describe(plain / own).rfind(std::to_string(S_IFDIR | 0700) + "|", 0), 0u) << "a private folder";
    EXPECT_TRUE(exists(plain / own / "files") && exists(plain / own / "info"));
    EXPECT_EQ(trashIn(sticky), sticky / ".Trash" / uid);
    EXPECT_EQ(trashIn(notSticky), notSticky / own);
    EXPECT_EQ(trashIn(linked), linked / own);
    EXPECT_EQ(trashIn(occupied), BytePath()) << "never a trash that is not a folder of ours";
}

TEST(Trash, AnotherFileSystemGetsTheTrashAtItsTop)
{
    TestEnvironment::freshHome();
    const OtherFileSystem other;
    if (other.path().empty()) GTEST_SKIP() << "no second file system (tmpfs /dev/shm) to trash on";
    const BytePath own("/dev/shm/.Trash-" + std::to_string(::geteuid()));
    const bool ownExisted = exists(own);
    const std::string name = "a b\xff", earliest = localNow();
    writeFile(other.path() / name, "on tmpfs");
    const ItemOutcome outcome = Trash::moveToTrash(other.path() / name);
    ASSERT_TRUE(outcome.done()) << outcome.error->localizedDescription().toStdString();
    const BytePath trash = outcome.destination.parent().parent();
    EXPECT_TRUE(trash == own || trash.parent() == BytePath("/dev/shm/.Trash")) << trash.bytes();
    EXPECT_EQ(readFile(outcome.destination), "on tmpfs");
    EXPECT_EQ(recordedPath(outcome, earliest, localNow()), std::string(other.path().fileName()) + "/" + name)
        << "relative to the top of the file system";
    EXPECT_FALSE(exists(Trash::homeTrash() / "files")) << "nothing went to the home trash";
    ::unlink(outcome.destination.c_str());
    ::unlink((trash / "info" / (std::string(outcome.destination.fileName()) + ".trashinfo")).c_str());
    if (trash == own && !ownExisted) removeTree(own);
}
