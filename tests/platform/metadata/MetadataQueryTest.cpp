#include "MetadataQuery.h"
#include "EventWait.h"
#include "Fixtures.h"
#include "MainQueue.h"
#include "MountTable.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <set>
#include <sys/stat.h>

using namespace lurkel;
using test::TestEnvironment;

namespace {

void writeSized(const BytePath &path, std::size_t bytes)
{
    test::writeFile(path, std::string(bytes, 'x'));
}

void setTimes(const BytePath &path, std::int64_t accessed, std::int64_t modified)
{
    const timespec times[2] = {{accessed, 0}, {modified, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

std::set<std::string> paths(const std::vector<MetadataItem> &items)
{
    std::set<std::string> out;
    for (const MetadataItem &item : items)
        out.insert(item.path);
    return out;
}

class MetadataQueryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = test::makeDir(TestEnvironment::freshHome() / "q");
        writeSized(root / "small.txt", 100);
        writeSized(root / "mid.bin", 3000);
        writeSized(test::makeDir(root / "sub") / "big.iso", 9000);
        writeSized(test::makeDir(root / ".hidden-dir") / "big-hidden.iso", 9000);
        writeSized(root / ".dot-big", 9000);
        ASSERT_EQ(::symlink((root / "sub" / "big.iso").c_str(), (root / "link.iso").c_str()), 0);
    }
    BytePath root;
};

TEST_F(MetadataQueryTest, SizeAndNamePredicatesOverScopes)
{
    MetadataQuery::Predicate above;
    above.sizeAbove = 2999;
    // hidden names left out, folders with their contents; links and folders never match a size
    EXPECT_EQ(paths(MetadataQuery::runNow({root.bytes()}, above, true)),
              (std::set<std::string>{(root / "mid.bin").bytes(), (root / "sub/big.iso").bytes()}));
    EXPECT_EQ(MetadataQuery::runNow({root.bytes()}, above, false).size(), 4U);

    MetadataQuery::Predicate between;
    between.sizeAbove = 100;
    between.sizeBelow = 9000;
    EXPECT_EQ(paths(MetadataQuery::runNow({root.bytes()}, between, false)),
              std::set<std::string>{(root / "mid.bin").bytes()});

    // a name suffix matches links too; a scope that is a file is judged itself; a missing one holds nothing
    MetadataQuery::Predicate suffix;
    suffix.nameEndsWith = ".iso";
    EXPECT_EQ(paths(MetadataQuery::runNow(
                  {(root / "sub").bytes(), (root / "link.iso").bytes(), (root / "missing").bytes()}, suffix, true)),
              (std::set<std::string>{(root / "sub/big.iso").bytes(), (root / "link.iso").bytes()}));

    // the last use is the later of access and modification
    setTimes(root / "mid.bin", 1000, 5000);
    setTimes(root / "sub/big.iso", 7000, 2000);
    for (const MetadataItem &item : MetadataQuery::runNow({root.bytes()}, above, true)) {
        EXPECT_EQ(item.lastUsed, item.path.ends_with("mid.bin") ? 5000 : 7000) << item.path;
        EXPECT_GE(item.allocated, item.size - item.size % 4096);
    }
}

TEST_F(MetadataQueryTest, PseudoFileSystemsAreNotEntered)
{
    std::vector<Mount> mounts = MountTable::read().mounts();
    mounts.push_back(Mount{(root / "sub").bytes(), "proc"});
    const MountTable table = MountTable::fromMounts(mounts);
    MetadataQuery::Predicate any;
    EXPECT_EQ(
        paths(MetadataQuery::runNow({root.bytes()}, any, true, nullptr, &table)),
        (std::set<std::string>{(root / "small.txt").bytes(), (root / "mid.bin").bytes(), (root / "link.iso").bytes()}));
}

TEST_F(MetadataQueryTest, FinishesOnTheMainThreadUnlessStopped)
{
    MetadataQuery query;
    query.setSearchScopes({root.bytes()});
    MetadataQuery::Predicate above;
    above.sizeAbove = 5000;
    query.setPredicate(above);
    bool finished = false;
    ASSERT_TRUE(query.startQuery([&]() {
        EXPECT_TRUE(MainQueue::isMainThread());
        finished = true;
    }));
    EXPECT_FALSE(query.startQuery({})); // one at a time
    ASSERT_TRUE(test::waitUntil([&]() { return finished; }));
    EXPECT_EQ(query.results().size(), 3U);
    EXPECT_FALSE(query.isGathering());

    // stopped, or gone before the walk ends: no call
    bool called = false;
    ASSERT_TRUE(query.startQuery([&]() { called = true; }));
    query.stopQuery();
    {
        MetadataQuery dropped;
        dropped.setSearchScopes({root.bytes()});
        ASSERT_TRUE(dropped.startQuery([&]() { called = true; }));
    }
    MetadataQuery last;
    last.setSearchScopes({root.bytes()});
    bool lastDone = false;
    ASSERT_TRUE(last.startQuery([&]() { lastDone = true; }));
    ASSERT_TRUE(test::waitUntil([&]() { return lastDone; }));
    test::drainMainQueue();
    EXPECT_FALSE(called);
    MetadataQuery empty;
    EXPECT_FALSE(empty.startQuery([]() {}));
}

} // namespace
