// Which disks the command line may write, read from fake sysfs and procfs
// trees: only removable USB disks with nothing mounted, swapped to or
// stacked on them.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "host/removable_disks.h"
#include "host/sysfs_disks.h"
#include "tests/real_disk/fake_system_tree.h"

namespace real_disk_test {
namespace {

using platform::host::BlockDisk;
using platform::host::ScanBlockDisks;

BlockDisk ScanOne(const FakeSystemTree& tree) {
    std::string error;
    std::vector<BlockDisk> disks = ScanBlockDisks(tree.Roots(), &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(disks.size(), 1u);
    return disks.empty() ? BlockDisk{} : disks.front();
}

TEST(SysfsDisks, ReadsARemovableUsbStick) {
    FakeSystemTree tree;
    FakeDisk stick;
    stick.partitions = {"sdb1", "sdb2"};
    tree.AddDisk(stick);
    const BlockDisk disk = ScanOne(tree);
    EXPECT_EQ(disk.name, "sdb");
    EXPECT_EQ(disk.dev, "8:16");
    EXPECT_EQ(disk.sectors, 3915776u);
    EXPECT_TRUE(disk.removable);
    EXPECT_TRUE(disk.usb);
    EXPECT_EQ(disk.vendor, "VORN");
    EXPECT_EQ(disk.model, "Stick 2G");
    EXPECT_EQ(disk.revision, "1.00");
    EXPECT_EQ(disk.scsiAddress, "6:0:0:0");
    EXPECT_EQ(disk.serial, "0123ABC");
    ASSERT_EQ(disk.partitions.size(), 2u);
    EXPECT_EQ(disk.partitions[1].name, "sdb2");
    EXPECT_EQ(disk.partitions[1].dev, "8:18");
    EXPECT_EQ(disk.refusal, "");
    EXPECT_EQ(platform::host::DiskInstanceId(disk), "USBSTOR\\DISK&VEN_VORN&PROD_STICK_2G&REV_1.00\\0123ABC");
}

// One way a disk is in use, or not fit, and the reason the operator reads.
struct RefusalCase {
    const char* name;
    void (*arrange)(FakeSystemTree& tree, FakeDisk& disk);  // before the disk is added
    void (*use)(FakeSystemTree& tree);                      // after
    const char* refusal;
};

std::ostream& operator<<(std::ostream& out, const RefusalCase& c) { return out << c.name; }

void Nothing(FakeSystemTree&, FakeDisk&) {}
void NoUse(FakeSystemTree&) {}

const RefusalCase kRefusals[] = {
    {"FixedDisk", [](FakeSystemTree&, FakeDisk& d) { d.removable = false; }, NoUse,
     "is not a removable disk"},
    {"NotOnUsb", [](FakeSystemTree&, FakeDisk& d) { d.usb = false; }, NoUse, "is not a USB disk"},
    {"RootOnAPartition", Nothing,
     [](FakeSystemTree& t) {
         t.SetMountInfo({"1 0 8:17 / / rw - ext4 /dev/sdb1 rw"});
     },
     "holds the root file system"},
    {"RootOnTheWholeDiskBySourceOnly", Nothing,
     [](FakeSystemTree& t) { t.SetMountInfo({"1 0 0:33 / / rw - btrfs /dev/sdb rw"}); },
     "holds the root file system"},
    {"MountedPartition", Nothing,
     [](FakeSystemTree& t) {
         t.AddMount("40 1 8:17 / /media/my\\040stick rw,nosuid shared:9 - vfat /dev/sdb1 rw");
     },
     "has a mounted file system (sdb1 on /media/my stick)"},
    {"MountedThroughALinkWithAnAnonymousDevice", Nothing,
     [](FakeSystemTree& t) {
         fs::create_directories(t.Root() / "dev" / "disk" / "by-uuid");
         fs::create_symlink("../../sdb1", t.Root() / "dev" / "disk" / "by-uuid" / "1234-ABCD");
         t.AddMount("41 1 0:45 / /mnt rw - btrfs /dev/disk/by-uuid/1234-ABCD rw");
     },
     "has a mounted file system (sdb1 on /mnt)"},
    {"Swap", [](FakeSystemTree&, FakeDisk& d) { d.partitions = {"sdb1", "sdb2"}; },
     [](FakeSystemTree& t) { t.AddSwap("/dev/sdb2"); }, "is in use as swap (sdb2)"},
    {"DeviceMapperOnAPartition", Nothing, [](FakeSystemTree& t) { t.AddHolder("sdb", "sdb1", "dm-0"); },
     "is in use by dm-0"},
    {"NoMedium", [](FakeSystemTree&, FakeDisk& d) { d.sectors = 0; }, NoUse, "has no medium"},
    {"MountTableUnreadable", Nothing,
     [](FakeSystemTree& t) {
         fs::remove(t.Root() / "proc" / "self" / "mountinfo");
     },
     "cannot be checked: the mount table cannot be read"},
};

class Refused : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refused, IsNeitherListedNorOpened) {
    FakeSystemTree tree;
    FakeDisk stick;
    GetParam().arrange(tree, stick);
    tree.AddDisk(stick);
    GetParam().use(tree);

    EXPECT_EQ(ScanOne(tree).refusal, GetParam().refusal);
    platform::host::RemovableDiskList list = platform::host::ListRemovableDisks(tree.Roots());
    EXPECT_EQ(list.error, "");
    EXPECT_TRUE(list.disks.empty());
    // --list shows it among the disks left out, with the same reason.
    ASSERT_EQ(list.leftOut.size(), 1u);
    EXPECT_EQ(list.leftOut[0].refusal, GetParam().refusal);
    std::string error;
    const std::string node = (tree.Root() / "dev" / "sdb").string();
    EXPECT_EQ(platform::host::OpenRemovableDisk(tree.Roots(), node, &error), nullptr);
    EXPECT_EQ(error, "refusing " + node + ": it " + GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(Disks, Refused, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST(SysfsDisks, MountsFallBackToTheMountsFileWithoutMountinfo) {
    FakeSystemTree tree;
    tree.AddDisk(FakeDisk{});
    fs::remove(tree.Root() / "proc" / "self" / "mountinfo");
    FakeSystemTree::Write(tree.Root() / "proc" / "mounts", "/dev/sdb1 /media/stick vfat rw 0 0\n");
    EXPECT_EQ(ScanOne(tree).refusal, "has a mounted file system (sdb1 on /media/stick)");
}

TEST(RemovableDisks, ListsOnlyTheDisksThatMayBeWritten) {
    FakeSystemTree tree;
    FakeDisk fixed;
    fixed.name = "sda";
    fixed.dev = "8:0";
    fixed.removable = false;
    fixed.usb = false;
    fixed.scsiAddress = "0:0:0:0";
    fixed.partitions = {"sda1"};
    tree.AddDisk(fixed);
    FakeDisk stick;
    stick.name = "sdc";
    stick.dev = "8:32";
    stick.sectors = 15663104;
    stick.scsiAddress = "7:0:0:0";
    stick.partitions = {"sdc1"};
    tree.AddDisk(stick);

    platform::host::RemovableDiskList list = platform::host::ListRemovableDisks(tree.Roots());
    EXPECT_EQ(list.error, "");
    ASSERT_EQ(list.disks.size(), 1u);
    EXPECT_EQ(list.disks[0].devicePath, (tree.Root() / "dev" / "sdc").string());
    EXPECT_EQ(list.disks[0].sizeBytes, 15663104ull * 512);
    EXPECT_EQ(list.disks[0].vendor, "VORN");
    EXPECT_EQ(list.disks[0].model, "Stick 2G");
    // A fixed disk off USB is nothing an operator looks for among sticks.
    EXPECT_TRUE(list.leftOut.empty());
}

TEST(RemovableDisks, NoBlockFolderIsAnErrorNotAnEmptyList) {
    FakeSystemTree tree;
    fs::remove_all(tree.Root() / "sys" / "block");
    platform::host::RemovableDiskList list = platform::host::ListRemovableDisks(tree.Roots());
    EXPECT_NE(list.error.find("cannot read"), std::string::npos) << list.error;
}

TEST(RemovableDisks, OpensTheWholeDiskByItsNodeOrALinkToIt) {
    FakeSystemTree tree;
    tree.AddDisk(FakeDisk{});
    fs::create_directories(tree.Root() / "dev" / "disk" / "by-id");
    fs::create_symlink("../../sdb", tree.Root() / "dev" / "disk" / "by-id" / "usb-VORN_Stick");
    std::string error;
    auto drive = platform::host::OpenRemovableDisk(
        tree.Roots(), (tree.Root() / "dev" / "disk" / "by-id" / "usb-VORN_Stick").string(), &error);
    ASSERT_NE(drive, nullptr) << error;
    EXPECT_EQ(drive->InstanceId(), "USBSTOR\\DISK&VEN_VORN&PROD_STICK_2G&REV_1.00\\0123ABC");
    EXPECT_TRUE(drive->IsPresent());
}

TEST(RemovableDisks, RefusesPartitionsAndMissingNodes) {
    FakeSystemTree tree;
    tree.AddDisk(FakeDisk{});
    std::string error;
    EXPECT_EQ(platform::host::OpenRemovableDisk(tree.Roots(), (tree.Root() / "dev" / "sdb1").string(), &error),
              nullptr);
    EXPECT_NE(error.find("is not a whole disk"), std::string::npos) << error;
    EXPECT_EQ(platform::host::OpenRemovableDisk(tree.Roots(), (tree.Root() / "dev" / "sdz").string(), &error),
              nullptr);
    EXPECT_NE(error.find("sdz"), std::string::npos) << error;
}

TEST(SysfsDisks, FindsTheDiskByItsScsiAddressUnderANewName) {
    FakeSystemTree tree;
    FakeDisk stick;
    stick.name = "sdd";
    stick.partitions = {"sdd1"};
    tree.AddDisk(stick);
    EXPECT_EQ(platform::host::FindDiskByScsiAddress(tree.Roots(), "6:0:0:0").name, "sdd");
    EXPECT_EQ(platform::host::FindDiskByScsiAddress(tree.Roots(), "9:0:0:0").name, "");
}

}  // namespace
}  // namespace real_disk_test
