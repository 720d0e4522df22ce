#include "PosixFile.h"
#include "Fixtures.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace lurkel;
using namespace lurkel::test;

namespace {

struct stat statOf(const BytePath &path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path.bytes();
    return st;
}

int errorCode(const std::optional<Error> &error)
{
    return error ? error->code : 0;
}

class PosixFileTest : public ::testing::Test {
protected:
    const BytePath dir = makeDir(TestEnvironment::freshHome() / "w");
};

} // namespace

TEST_F(PosixFileTest, AtomicWritesReplaceOrKeepAndLeaveNoTemporaryFile)
{
    const mode_t oldMask = ::umask(0277);
    EXPECT_FALSE(writeFileAtomically(dir / "a", "one", {.mode = 0640}));
    const struct stat first = statOf(dir / "a");
    EXPECT_EQ(first.st_mode & 07777, 0640u) << "the mode whatever the umask";

    EXPECT_FALSE(writeFileAtomically(dir / "a", "two", {.mode = 0600, .durable = false}));
    EXPECT_EQ(readFile(dir / "a"), "two");
    EXPECT_NE(statOf(dir / "a").st_ino, first.st_ino) << "a new file renamed over the old, not rewritten";

    EXPECT_EQ(errorCode(writeFileAtomically(dir / "a", "three", {.target = AtomicWrite::NoReplace})), EEXIST);
    EXPECT_EQ(readFile(dir / "a"), "two");
    EXPECT_FALSE(writeFileAtomically(dir / "b", "script", {.mode = 0700, .target = AtomicWrite::NoReplace}));
    EXPECT_EQ(statOf(dir / "b").st_mode & 07777, 0700u);
    ::umask(oldMask);

    if (runningAsRoot()) {
        EXPECT_FALSE(
            writeFileAtomically(dir / "a", "theirs", {.mode = 0644, .owner = AtomicWrite::Owner{65534, 65534}}));
        EXPECT_EQ(statOf(dir / "a").st_uid, 65534u);
        EXPECT_EQ(statOf(dir / "a").st_gid, 65534u);
    }
    EXPECT_EQ(namesIn(dir), (std::set<std::string>{"a", "b"}));
}

TEST_F(PosixFileTest, AFailedWriteLeavesTheTargetAsItWasAndNoTemporaryFile)
{
    makeDir(dir / "sub");
    writeFile(dir / "sub/kept", "kept");
    writeFile(dir / "file", "a file");

    EXPECT_EQ(errorCode(writeFileAtomically(dir / "missing/x", "data", {})), ENOENT);
    EXPECT_EQ(errorCode(writeFileAtomically(dir / "file/x", "data", {})), ENOTDIR);
    EXPECT_TRUE(writeFileAtomically(dir / "file/", "data", {}));
    // The temporary file is made and written before the rename refuses to put it over a folder.
    EXPECT_EQ(errorCode(writeFileAtomically(dir / "sub", "data", {})), EISDIR);
    const UniqueFd folder(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    EXPECT_EQ(errorCode(writeFileAtomicallyAt(folder.get(), "sub", "data", {.target = AtomicWrite::NoReplace})),
              EEXIST);
    EXPECT_TRUE(writeFileAtomicallyAt(folder.get(), "sub/kept", "data", {}));

    EXPECT_EQ(namesIn(dir), (std::set<std::string>{"file", "sub"}));
    EXPECT_EQ(namesIn(dir / "sub"), std::set<std::string>{"kept"});
    EXPECT_EQ(readFile(dir / "file"), "a file");
    EXPECT_EQ(readFile(dir / "sub/kept"), "kept");
}

TEST_F(PosixFileTest, HostileAndLongestNamesRoundTrip)
{
    std::vector<std::string> names = hostileNames();
    names.push_back(std::string(NAME_MAX, 'n')); // the temporary name must still fit
    const UniqueFd folder(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const std::string &name : names) {
        EXPECT_FALSE(writeFileAtomically(dir / name, name, {})) << name;
        EXPECT_FALSE(writeFileAtomicallyAt(folder.get(), "at-" + name.substr(0, NAME_MAX - 3), name,
                                           {.target = AtomicWrite::NoReplace}))
            << name;
        EXPECT_EQ(readFile(dir / name), name);
        EXPECT_EQ(readFile(dir / ("at-" + name.substr(0, NAME_MAX - 3))), name);
    }
    EXPECT_EQ(namesIn(dir).size(), 2 * names.size()) << "nothing but the targets";
}

TEST_F(PosixFileTest, MakePathCreatesWhatIsMissingAndRefusesAFileInTheWay)
{
    EXPECT_EQ(makePath(dir / "a/b/c", 0750), 0);
    EXPECT_TRUE(isDirectory(dir / "a/b/c"));
    EXPECT_EQ(statOf(dir / "a/b").st_mode & 0777, 0750u);
    EXPECT_EQ(makePath(dir / "a/b/c/", 0700), 0) << "a folder already there is fine";

    writeFile(dir / "f", "content");
    EXPECT_EQ(makePath(dir / "f"), ENOTDIR);
    EXPECT_EQ(makePath(dir / "f/g"), ENOTDIR);
    EXPECT_EQ(readFile(dir / "f"), "content");

    ASSERT_EQ(::symlink("a", (dir / "to-a").c_str()), 0);
    ASSERT_EQ(::symlink("f", (dir / "to-f").c_str()), 0);
    EXPECT_TRUE(isDirectory(dir / "to-a")) << "links are followed";
    EXPECT_FALSE(isDirectory(dir / "to-f"));
    EXPECT_FALSE(isDirectory(dir / "nothing"));
    EXPECT_FALSE(isDirectory(BytePath()));
}

TEST_F(PosixFileTest, DescriptorsAreClosedOnceAndShortWritesAreFollowedUp)
{
    writeFile(dir / "f", "");
    const struct stat file = statOf(dir / "f");
    // Still the same open file: a descriptor closed by mistake fails, or names another file.
    const auto isOurs = [&file](int fd) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 && st.st_ino == file.st_ino && st.st_dev == file.st_dev;
    };
    const int raw = ::open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC);
    UniqueFd owner;
    {
        UniqueFd first(raw);
        UniqueFd second(std::move(first));
        owner = std::move(second);
    }
    EXPECT_TRUE(isOurs(raw)) << "a moved-from owner closed it";
    EXPECT_EQ(owner.close(), 0);
    EXPECT_FALSE(owner.valid());
    EXPECT_FALSE(isOurs(raw));

    // At the file size limit a write is cut short and the next one fails: the second write
    // must be made, and its error reported.
    const UniqueFd out(::open((dir / "limited").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit small{10, old.rlim_max};
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int err = writeAll(out.get(), "0123456789abcdef");
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(err, EFBIG);
    EXPECT_EQ(readFile(dir / "limited"), "0123456789");
}
