#include "MountTable.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

using namespace lurkel;

namespace {

MountTable sampleTable()
{
    return MountTable::fromMounts({
        {"/", "ext4"},
        {"/proc", "proc"},
        {"/sys", "sysfs"},
        {"/run/user/1000/gvfs", "fuse.gvfsd-fuse"},
        {"/mnt/nas", "nfs4"},
        {"/mnt/nas/inner", "cifs"},
        {"/media/ann/usb stick", "vfat"},
        {"/boot", "autofs"}, // an automount point, since mounted over
        {"/boot", "vfat"},
        {"/srv/auto", "autofs"}, // not mounted yet
    });
}

using Set = std::unordered_set<std::string>;

} // namespace

TEST(MountTable, ParsesMountInfoWithEscapesAndOptionalFields)
{
    const BytePath file = test::TestEnvironment::freshHome() / "mountinfo";
    test::writeFile(file, "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                          "23 22 0:21 / /proc rw,nosuid - proc proc rw\n"
                          "40 22 0:40 / /media/ann/My\\040Disk\\011\\134x rw shared:5 master:3 - vfat /dev/sdb1 rw\n"
                          "this line is broken\n"
                          "41 22 0:41 / /mnt/a\\040-\\040b rw - fuse.sshfs ann@host:/ rw\n"
                          "42 22 0:42 /sub /srv/bind\\040(deleted) rw - ext4 /dev/sda1 rw");
    const MountTable table = MountTable::read(file.bytes());
    ASSERT_EQ(table.mounts().size(), 5u);
    EXPECT_EQ(table.mounts()[0].mountPoint, "/");
    EXPECT_EQ(table.mounts()[1].fsType, "proc");
    EXPECT_EQ(table.mounts()[2].mountPoint, "/media/ann/My Disk\t\\x");
    EXPECT_EQ(table.mounts()[2].fsType, "vfat");
    EXPECT_EQ(table.mounts()[3].mountPoint, "/mnt/a - b");
    EXPECT_EQ(table.mounts()[3].fsType, "fuse.sshfs");
    EXPECT_EQ(table.mounts()[4].mountPoint, "/srv/bind (deleted)");
    EXPECT_TRUE(MountTable::read((test::TestEnvironment::root() / "no-such-file").bytes()).mounts().empty());
}

TEST(MountTable, LongestPrefixMountAndExclusionRule)
{
    const MountTable table = sampleTable();
    EXPECT_EQ(table.mountFor("/mnt/nas/photos/2024")->mountPoint, "/mnt/nas");
    EXPECT_EQ(table.mountFor("/mnt/nas/inner")->fsType, "cifs");
    EXPECT_EQ(table.mountFor("/mnt/nasty")->mountPoint, "/");
    EXPECT_EQ(table.mountFor("/proc/")->fsType, "proc");
    EXPECT_EQ(table.mountFor("/boot/efi")->fsType, "vfat") << "the last mount at a point covers the others";
    EXPECT_EQ(table.mountFor("relative/path"), nullptr);

    // pseudo file systems are always excluded, network ones unless the root is on one
    EXPECT_EQ(table.excludedMountPointsFor("/home/ann"),
              (Set{"/proc", "/sys", "/run/user/1000/gvfs", "/mnt/nas", "/mnt/nas/inner", "/srv/auto"}));
    EXPECT_EQ(table.excludedMountPointsFor("/mnt/nas/photos"),
              (Set{"/proc", "/sys", "/run/user/1000/gvfs", "/srv/auto"}));
    EXPECT_EQ(table.excludedMountPointsFor("/proc"),
              (Set{"/sys", "/run/user/1000/gvfs", "/mnt/nas", "/mnt/nas/inner", "/srv/auto"}))
        << "the root's own mount is never excluded";

    EXPECT_TRUE(MountTable::isPseudoFileSystem("fuse.portal"));
    EXPECT_TRUE(MountTable::isNetworkFileSystem("fuse.sshfs"));
    for (const char *type : {"ext4", "fuse", "NFS", "nfs ", "tmpfs", ""})
        EXPECT_FALSE(MountTable::isPseudoFileSystem(type) || MountTable::isNetworkFileSystem(type)) << type;
}
