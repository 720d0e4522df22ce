#include "FileOperations.h"
#include "Fixtures.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <tuple>
#include <unistd.h>

using namespace lurkel;
using namespace lurkel::test;
using namespace std::string_literals;

namespace {

void setTimes(const BytePath &path, long sec, long nsec)
{
    const timespec times[2] = {{sec, nsec}, {sec + 7, nsec + 1}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path.bytes();
}

// A folder with a bit of everything: modes, exact times, links (one dangling), a pipe.
BytePath makeTree(const BytePath &at)
{
    const BytePath tree = makeDir(at);
    const BytePath sub = makeDir(tree / "sub", 0750);
    writeFile(sub / "data", "\0binary\xff"s + std::string(3 << 20, 'z')); // crosses the block size
    ::chmod((sub / "data").c_str(), 0640);
    writeFile(tree / "tool", "#!/bin/sh\n");
    ::chmod((tree / "tool").c_str(), 0755);
    EXPECT_EQ(::symlink("../nowhere", (tree / "dangling").c_str()), 0);
    EXPECT_EQ(::symlink("sub", (tree / "to-sub").c_str()), 0);
    EXPECT_EQ(::mkfifo((tree / "pipe").c_str(), 0620), 0);
    setTimes(sub / "data", 1000000000, 123456789);
    setTimes(tree / "dangling", 1100000000, 5);
    return tree;
}

// Moves tree into dest and checks it arrived as expected, intact, and left the source.
void expectMoved(const BytePath &tree, const BytePath &dest, const BytePath &expected,
                 FileOperationOptions options = {})
{
    const Snapshot before = snapshot(tree);
    const ItemOutcome outcome = FileOperations::moveItem(tree, dest, options);
    ASSERT_TRUE(outcome.done()) << outcome.error->localizedDescription().toStdString();
    EXPECT_EQ(outcome.destination, expected);
    EXPECT_FALSE(exists(tree));
    EXPECT_EQ(snapshot(expected), before);
}

// The value of an extended attribute, nullopt when the entry has none by that name.
std::optional<std::string> attribute(const BytePath &path, const char *name)
{
    std::string value(1 << 16, '\0');
    const ssize_t n = ::lgetxattr(path.c_str(), name, value.data(), value.size());
    if (n < 0) return std::nullopt;
    value.resize(static_cast<std::size_t>(n));
    return value;
}

bool setAttribute(const BytePath &path, const char *name, std::string_view value)
{
    return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

// A POSIX access control list as the kernel stores it: owner rw, user nobody r, group r, mask
// r, others nothing.
std::string aclGivingNobodyRead()
{
    std::string acl;
    const auto add = [&acl](std::uint16_t tag, std::uint16_t perm, std::uint32_t id) {
        acl.append(reinterpret_cast<const char *>(&tag), 2).append(reinterpret_cast<const char *>(&perm), 2);
        acl.append(reinterpret_cast<const char *>(&id), 4);
    };
    const std::uint32_t version = 2, none = 0xffffffff;
    acl.append(reinterpret_cast<const char *>(&version), 4);
    add(0x01, 6, none), add(0x02, 4, 65534), add(0x04, 4, none), add(0x10, 4, none), add(0x20, 0, none);
    return acl;
}

// A folder whose file and the folder itself carry user attributes, the file an access list and
// the folder a default one. False when the file system at `at` keeps none of that.
bool makeAttributedTree(const BytePath &tree)
{
    makeDir(tree);
    writeFile(tree / "file", "attributed");
    return setAttribute(tree / "file", "user.origin", "downloads") && setAttribute(tree, "user.colour", "red") &&
           setAttribute(tree / "file", "system.posix_acl_access", aclGivingNobodyRead()) &&
           setAttribute(tree, "system.posix_acl_default", aclGivingNobodyRead());
}

constexpr const char *kTreeAttributes[][2] = {{"file", "user.origin"},
                                              {"", "user.colour"},
                                              {"file", "system.posix_acl_access"},
                                              {"", "system.posix_acl_default"}};

} // namespace

TEST(FileOperations, NumberedNamesKeepTheExtension)
{
    using Case = std::tuple<const char *, bool, const char *>;
    for (const auto &[name, folder, expected] :
         {Case{"archive.tar.gz", false, "archive 2.tar.gz"}, Case{".bashrc", false, ".bashrc 2"},
          Case{"report 2.pdf", false, "report 3.pdf"}, Case{"photos.2020", true, "photos.2020 2"},
          Case{"Tool.app", true, "Tool 2.app"}, Case{"notes.final draft", false, "notes.final draft 2"}})
        EXPECT_EQ(FileOperations::numberedName(name, 2, folder), expected) << name;
    std::string longName;
    for (int i = 0; i < 125; ++i)
        longName += "\xc3\xa9";
    const std::string numbered = FileOperations::numberedName(longName + ".txt", 12, false, 245);
    EXPECT_LE(numbered.size(), 245u);
    EXPECT_TRUE(isValidUtf8(numbered)) << "never cut inside a character";
    EXPECT_EQ(numbered.substr(numbered.size() - 7), " 12.txt");
}

TEST(FileOperations, CopyAndMoveKeepEverythingNeverOverwriteAndLeaveNothingWhenCancelled)
{
    const BytePath home = TestEnvironment::freshHome();
    const BytePath src = makeDir(home / "src");
    const BytePath dest = makeDir(home / "dest");
    makeTree(src / "tree");
    writeFile(dest / "tree", "was here first");
    const Snapshot sourceBefore = snapshot(src);

    const ItemOutcome tree = FileOperations::copyItem(src / "tree/", dest);
    ASSERT_TRUE(tree.done()) << tree.error->localizedDescription().toStdString();
    EXPECT_EQ(tree.destination, dest / "tree 2");
    EXPECT_EQ(snapshot(dest / "tree 2"), snapshot(src / "tree")) << "kinds, bytes, modes, times, link targets";
    EXPECT_EQ(readFile(dest / "tree"), "was here first");
    removeTree(dest / "tree 2");
    EXPECT_FALSE(FileOperations::copyItem(src / "tree", src / "tree/sub").done()) << "not into itself";
    EXPECT_FALSE(FileOperations::moveItem(src / "tree", src / "tree/sub").done()) << "not into itself";
    EXPECT_EQ(FileOperations::moveItem(src / "tree", src).destination, src / "tree") << "a move to where it is";
    EXPECT_EQ(snapshot(src), sourceBefore);

    // Cancelled part-way: nothing in the destination, the source as it was.
    const Snapshot destBefore = snapshot(dest);
    int calls = 0;
    const auto cancelSoon = [&calls] { return ++calls > 4; };
    EXPECT_FALSE(FileOperations::copyItem(src / "tree", dest, {cancelSoon}).done());
    EXPECT_FALSE(FileOperations::moveItem(src / "tree", dest, {cancelSoon, true}).done());
    EXPECT_EQ(snapshot(dest), destBefore);
    EXPECT_EQ(snapshot(src), sourceBefore);

    // A move takes the next free number; what is there stays.
    for (const char *name : {"a.txt", "a 2.txt"})
        writeFile(src / name, name), writeFile(dest / name, "already there");
    const std::string before = describe(src / "a.txt");
    EXPECT_EQ(FileOperations::moveItem(src / "a.txt", dest).destination, dest / "a 3.txt");
    EXPECT_EQ(describe(dest / "a 3.txt"), before);
    EXPECT_EQ(FileOperations::moveItem(src / "a 2.txt", dest).destination, dest / "a 4.txt");
    for (const char *name : {"a.txt", "a 2.txt"})
        EXPECT_EQ(readFile(dest / name), "already there");
}

TEST(FileOperations, MoveAcrossFileSystemsCopiesVerifiesThenRemoves)
{
    const BytePath home = TestEnvironment::freshHome();
    const OtherFileSystem other; // without one (tmpfs /dev/shm), only the forced copy path below runs
    if (!other.path().empty()) expectMoved(makeTree(home / "tree \xff"), other.path(), other.path() / "tree \xff");
    const BytePath dest = makeDir(home / "dest");
    writeFile(dest / "forced", "taken");
    expectMoved(makeTree(home / "forced"), dest, dest / "forced 2", {{}, true});

    // Once "a" has been copied, someone writes to the source: the copy cannot be verified.
    const BytePath tree = makeDir(home / "tree");
    writeFile(tree / "a", "first version");
    writeFile(tree / "b", "b");
    FileOperationOptions options;
    options.forceCopyForMove = true;
    options.isCancelled = [&, done = false]() mutable {
        if (!done && readFile(dest / "tree/a") == "first version") {
            writeFile(tree / "a", "second version");
            done = true;
        }
        return false;
    };
    EXPECT_FALSE(FileOperations::moveItem(tree, dest, options).done());
    EXPECT_FALSE(exists(dest / "tree")) << "the unverifiable copy is removed";
    EXPECT_EQ(readFile(tree / "a"), "second version");
    EXPECT_EQ(readFile(tree / "b"), "b");
}

TEST(FileOperations, MoveAcrossFileSystemsKeepsHolesAndHardLinks)
{
    const OtherFileSystem other;
    if (other.path().empty()) GTEST_SKIP() << "no tmpfs at /dev/shm apart from the test folder";
    const BytePath home = TestEnvironment::freshHome();
    const BytePath tree = makeDir(home / "tree");
    const int fd = ::open((tree / "sparse").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const std::string data(4096, 'd');
    EXPECT_EQ(::pwrite(fd, data.data(), data.size(), 32 << 20), 4096);
    EXPECT_EQ(::ftruncate(fd, 64 << 20), 0);
    ::close(fd);
    writeFile(tree / "a", "linked");
    ASSERT_EQ(::link((tree / "a").c_str(), (tree / "b").c_str()), 0);
    ASSERT_EQ(::link((tree / "a").c_str(), (home / "outside").c_str()), 0);

    expectMoved(tree, other.path(), other.path() / "tree");
    struct stat sparse {
    }, a{}, b{}, outside{};
    ASSERT_EQ(::stat((other.path() / "tree/sparse").c_str(), &sparse), 0);
    EXPECT_EQ(sparse.st_size, 64 << 20);
    EXPECT_LT(sparse.st_blocks * 512, 1 << 20) << "the holes stay holes";
    ASSERT_EQ(::stat((other.path() / "tree/a").c_str(), &a), 0);
    ASSERT_EQ(::stat((other.path() / "tree/b").c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino) << "still one file under two names";
    EXPECT_EQ(a.st_nlink, 2u);
    ASSERT_EQ(::stat((home / "outside").c_str(), &outside), 0);
    EXPECT_EQ(outside.st_nlink, 1u) << "the name outside the moved folder stays";
    EXPECT_EQ(readFile(home / "outside"), "linked");
}

TEST(FileOperations, MoveAcrossFileSystemsKeepsExtendedAttributesAndAccessLists)
{
    const BytePath home = TestEnvironment::freshHome();
    const OtherFileSystem other;
    if (other.path().empty()) GTEST_SKIP() << "no tmpfs at /dev/shm apart from the test folder";
    if (!makeAttributedTree(home / "tree")) GTEST_SKIP() << "the test folder keeps no user attributes or ACLs";
    if (!makeAttributedTree(other.path() / "probe"))
        GTEST_SKIP() << "this kernel's tmpfs keeps no user attributes (before Linux 6.6)";
    removeTree(other.path() / "probe");
    std::vector<std::optional<std::string>> before;
    for (const auto &[entry, name] : kTreeAttributes)
        before.push_back(attribute(home / "tree" / entry, name));

    const ItemOutcome moved = FileOperations::moveItem(home / "tree", other.path());
    ASSERT_TRUE(moved.done()) << moved.error->localizedDescription().toStdString();
    EXPECT_TRUE(moved.warnings.empty());
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(attribute(moved.destination / kTreeAttributes[i][0], kTreeAttributes[i][1]), before[i])
            << kTreeAttributes[i][1];

    // An attribute given to the source once its copy was made: the copy cannot be verified.
    ASSERT_TRUE(makeAttributedTree(home / "late"));
    writeFile(home / "late/later", "copied after file");
    FileOperationOptions options;
    options.isCancelled = [&, done = false]() mutable {
        if (!done && attribute(other.path() / "late/file", "user.origin")) {
            done = setAttribute(home / "late/file", "user.late", "added");
        }
        return false;
    };
    EXPECT_FALSE(FileOperations::moveItem(home / "late", other.path(), options).done());
    EXPECT_FALSE(exists(other.path() / "late"));
    EXPECT_EQ(attribute(home / "late/file", "user.late"), "added");

    // One the destination could take but refuses (too large for an ext4 block): the item stays.
    ASSERT_TRUE(setAttribute(moved.destination / "file", "user.large", std::string(16384, 'x')));
    const ItemOutcome back = FileOperations::moveItem(moved.destination, home);
    if (back.done()) GTEST_SKIP() << "the test folder takes 16 KiB attributes";
    EXPECT_TRUE(exists(moved.destination / "file")) << "nothing of the source removed";
    EXPECT_FALSE(exists(home / "tree")) << "the incomplete copy is removed";
}

TEST(FileOperations, MoveToAFileSystemWithoutAttributesSaysWhatWasNotKept)
{
    const BytePath home = TestEnvironment::freshHome();
    const RamFileSystem plain;
    if (plain.path().empty()) GTEST_SKIP() << "no ramfs could be mounted (needs root)";
    if (!makeAttributedTree(home / "tree")) GTEST_SKIP() << "the test folder keeps no user attributes or ACLs";
    writeFile(home / "none", "nothing to lose");
    const Snapshot before = snapshot(home / "tree");

    const ItemOutcome moved = FileOperations::moveItem(home / "tree", plain.path());
    ASSERT_TRUE(moved.done()) << moved.error->localizedDescription().toStdString();
    EXPECT_FALSE(exists(home / "tree"));
    EXPECT_EQ(snapshot(moved.destination), before);
    ASSERT_EQ(moved.warnings.size(), 1u) << "one line for the item";
    for (const auto &[entry, name] : kTreeAttributes)
        EXPECT_TRUE(moved.warnings[0].contains(QLatin1String(name))) << moved.warnings[0].toStdString();
    EXPECT_TRUE(FileOperations::moveItem(home / "none", plain.path()).warnings.empty());
}
