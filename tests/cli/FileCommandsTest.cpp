#include "FileCommands.h"
#include "FileAttributes.h"
#include "Fixtures.h"
#include "TestEnvironment.h"
#include "Trash.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace lurkel;
using namespace lurkel::test;
using namespace std::string_literals;

namespace {

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every part ends with the separator";
    return parts;
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(FileCommands, HostileNamesThroughEveryCommand)
{
    const BytePath home = TestEnvironment::freshHome();
    const BytePath src = makeDir(home / "src"), dest = makeDir(home / "dest"), moved = makeDir(home / "moved");
    const BytePath bystander = makeDir(home / "bystander");
    writeFile(bystander / "keep", "keep");
    const std::vector<std::string> names = hostileNames();
    std::vector<std::string> args{"copy", "--print", "-0", dest.bytes()};
    for (const std::string &name : names)
        writeFile(src / name, name + "\0payload"s), args.push_back((src / name).bytes());
    writeFile(dest / "with space", "first");
    const Snapshot bystanderBefore = snapshot(bystander), srcBefore = snapshot(src);

    CtlResult r = runLurkelctl(args);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    std::vector<std::string> expected;
    for (const std::string &name : names)
        expected.push_back((dest / (name == "with space" ? "with space 2" : name)).bytes());
    EXPECT_EQ(split(r.out, '\0'), expected);
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(describe(BytePath(expected[i])), describe(src / names[i])) << "bytes, mode, times";
    EXPECT_EQ(snapshot(src), srcBefore);

    // Hide: the two names no ".hidden" line can hold are refused, one line each.
    r = runLurkelctl(concat({"hide"}, expected));
    EXPECT_EQ(r.exitStatus, 1);
    const std::vector<std::string> lines = split(r.err, '\n');
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_EQ(lines[0].rfind("lurkelctl: hide: '" + dest.bytes() + "/new\\nline': ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("lurkelctl: hide: '" + dest.bytes() + "/trailing-cr\\x0d': ", 0), 0u) << lines[1];
    for (const std::string &copy : expected)
        EXPECT_EQ(FileAttributes::isHidden(BytePath(copy)), copy.find_first_of("\r\n") == std::string::npos) << copy;
    r = runLurkelctl(concat({"unhide"}, expected));
    EXPECT_EQ(r.exitStatus, 1) << "only the carriage-return name";
    EXPECT_EQ(split(r.err, '\n').size(), 1u) << r.err;
    EXPECT_FALSE(exists(dest / ".hidden")) << "the emptied list is gone";

    // The items through a NUL-separated list (the last one without its NUL), a result
    // record for each, the failed one with its reason.
    const BytePath list = home / "list", results = home / "results";
    std::string listText;
    for (const std::string &copy : expected)
        listText += copy + '\0';
    writeFile(list, listText + (home / "gone").bytes());
    r = runLurkelctl({"move", "--from0", list.bytes(), "--results", results.bytes(), moved.bytes()});
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_EQ(r.out, "") << "quiet without --print";
    EXPECT_EQ(split(r.err, '\n').size(), 1u) << r.err;
    const std::vector<std::string> records = split(readFile(results), '\0');
    ASSERT_EQ(records.size(), 3 * (names.size() + 1));
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(records[3 * i], "done");
        EXPECT_EQ(records[3 * i + 1], expected[i]);
        EXPECT_EQ(records[3 * i + 2], (moved / BytePath(expected[i]).fileName()).bytes());
    }
    EXPECT_EQ(records[3 * names.size()], "failed");
    EXPECT_EQ(records[3 * names.size() + 1], (home / "gone").bytes());
    EXPECT_NE(records[3 * names.size() + 2].find("No such file"), std::string::npos);
    std::vector<std::string> movedPaths;
    for (std::size_t i = 0; i < names.size(); ++i) {
        movedPaths.push_back((moved / BytePath(expected[i]).fileName()).bytes());
        EXPECT_EQ(readFile(BytePath(movedPaths.back())), names[i] + "\0payload"s);
    }
    EXPECT_EQ(snapshot(dest).size(), 2u) << "the folder and the file that was there first";
    EXPECT_EQ(readFile(dest / "with space"), "first");

    r = runLurkelctl(concat({"trash"}, movedPaths));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(snapshot(moved).size(), 1u) << "only the folder itself is left";
    EXPECT_EQ(snapshot(Trash::homeTrash() / "info").size(), names.size() + 1);
    EXPECT_EQ(snapshot(bystander), bystanderBefore);
    EXPECT_FALSE(exists(TestEnvironment::root() / "pwned") || exists(home / "pwned"));
}

TEST(FileCommands, PermissionFailuresAsAnUnprivilegedUser)
{
    if (runningAsRoot()) {
        ASSERT_EQ(::access("/usr/bin/setpriv", X_OK), 0) << "setpriv is needed to drop root for this test";
    }
    const BytePath area = unprivilegedArea();
    const BytePath home = area / "home";
    const auto own = [](const BytePath &path) { return giveToUnprivileged(path), path; };
    const auto ownedFile = [](const BytePath &path, const std::string &content) {
        writeFile(path, content), giveToUnprivileged(path);
    };
    const BytePath src = own(makeDir(area / "src"));
    for (const char *name : {"f1", "f2", "secret"})
        ownedFile(src / name, name);
    ::chmod((src / "secret").c_str(), 0);
    const BytePath tree = own(makeDir(src / "tree"));
    ownedFile(tree / "ok", "ok");
    ownedFile(tree / "zz-secret", "zz");
    ::chmod((tree / "zz-secret").c_str(), 0);
    const BytePath readOnly = own(makeDir(area / "read-only", 0755));
    ownedFile(readOnly / "stuck", "stuck");
    ::chmod(readOnly.c_str(), 0555);
    const BytePath dest = own(makeDir(area / "dest"));
    const Snapshot srcBefore = snapshot(src), readOnlyBefore = snapshot(readOnly);

    // An unwritable destination: nothing is made, nothing leaves the source.
    for (const char *command : {"copy", "move"}) {
        const CtlResult r = runLurkelctl({command, readOnly.bytes(), (src / "f1").bytes(), (src / "f2").bytes()}, home);
        EXPECT_EQ(r.exitStatus, 1) << command;
        EXPECT_EQ(split(r.err, '\n').size(), 2u) << r.err;
        EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
    }
    EXPECT_EQ(snapshot(readOnly), readOnlyBefore);
    EXPECT_EQ(snapshot(src), srcBefore);

    // Unreadable sources: no partial copy, the readable item still goes.
    CtlResult r =
        runLurkelctl({"copy", dest.bytes(), (src / "secret").bytes(), tree.bytes(), (src / "f1").bytes()}, home);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(split(r.err, '\n').size(), 2u) << r.err;
    EXPECT_EQ(snapshot(dest).size(), 2u) << "the folder and f1 only";
    EXPECT_EQ(readFile(dest / "f1"), "f1");

    // An item in an unwritable folder: not trashed, not hidden, no info file left.
    r = runLurkelctl({"trash", (readOnly / "stuck").bytes()}, home);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
    r = runLurkelctl({"hide", (readOnly / "stuck").bytes()}, home);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(snapshot(readOnly), readOnlyBefore);
    EXPECT_LE(snapshot(home / ".local/share/Trash/info").size(), 1u) << "no .trashinfo is left behind";

    const OtherFileSystem other;
    if (!other.path().empty()) { // across file systems, a source that cannot be removed is not copied
        const BytePath otherDest = own(makeDir(other.path() / "dest"));
        r = runLurkelctl({"move", otherDest.bytes(), (readOnly / "stuck").bytes()}, home);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(snapshot(otherDest).size(), 1u);
        EXPECT_EQ(snapshot(readOnly), readOnlyBefore);
    }
}

TEST(FileCommands, MoveToAFileSystemWithoutAttributesWarnsAndKeepsHardLinks)
{
    const RamFileSystem plain;
    if (plain.path().empty()) GTEST_SKIP() << "no ramfs could be mounted (needs root)";
    const BytePath home = TestEnvironment::freshHome();
    const BytePath tree = makeDir(home / "tree");
    writeFile(tree / "a", "linked");
    ASSERT_EQ(::link((tree / "a").c_str(), (tree / "b").c_str()), 0);
    if (::setxattr((tree / "a").c_str(), "user.origin", "web", 3, 0) != 0)
        GTEST_SKIP() << "the test folder keeps no user attributes";

    const CtlResult r = runLurkelctl({"move", "--print", plain.path().bytes(), tree.bytes()});
    EXPECT_EQ(r.exitStatus, 0) << "a lost attribute is a warning";
    EXPECT_EQ(r.out, (plain.path() / "tree").bytes() + "\n");
    const std::vector<std::string> lines = split(r.err, '\n');
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("lurkelctl: move: " + tree.bytes() + ": ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("user.origin"), std::string::npos) << lines[0];
    EXPECT_FALSE(exists(tree));
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat((plain.path() / "tree/a").c_str(), &a), 0);
    ASSERT_EQ(::stat((plain.path() / "tree/b").c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(readFile(plain.path() / "tree/b"), "linked");
}
