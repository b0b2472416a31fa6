// Conversions on real file systems of their own, on loop devices: a copy-on-write file
// system short of room, and a power cut (a file system shut down without flushing) in the
// middle of the write. Skipped, with the reason, where this machine cannot make or mount one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "cli_runner.h"
#include "core/conversion.h"
#include "rom_images.h"

namespace fs = std::filesystem;

namespace {

// Runs a shell command quietly; true when it succeeds.
bool shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A file system of its own, in an image file mounted through a loop device.
class LoopDisk {
public:
    // Makes an image of mib MiB with mkfs.<type> and mounts it; ready() tells whether it worked.
    // The mount point is a folder of its own, outside the scratch folder: a run killed while
    // mounted leaves a mount behind, and the scratch folder must still be made anew next time.
    LoopDisk(const ScratchFolder& folder, const std::string& type, int mib) : image_(folder.path("disk.img")) {
        std::string pattern = (fs::temp_directory_path() / "dornavel-mount-XXXXXX").string();
        if (!mkdtemp(&pattern[0])) {
            why_ = "cannot make a mount point";
            return;
        }
        mount_ = pattern;
        if (!shell("command -v mkfs." + type)) {
            why_ = "mkfs." + type + " is not installed";
            return;
        }
        if (!shell("truncate -s " + std::to_string(mib) + "M '" + image_ + "' && mkfs." + type + " -q '" + image_ + "'")) {
            why_ = "mkfs." + type + " failed";
            return;
        }
        mounted_ = remount();
        if (!mounted_) why_ = "cannot mount a loop device here";
    }
    ~LoopDisk() {
        if (mounted_) shell("umount '" + mount_ + "'");
        if (!mount_.empty()) rmdir(mount_.c_str());
    }
    bool ready() const { return mounted_; }
    const std::string& why() const { return why_; }
    std::string path(const std::string& name) const { return mount_ + "/" + name; }
    const std::string& mountPoint() const { return mount_; }
    bool unmount() { return !(mounted_ = !shell("umount '" + mount_ + "'")); }
    bool remount() { return mounted_ = shell("mount -o loop '" + image_ + "' '" + mount_ + "'"); }

private:
    std::string image_, mount_, why_;
    bool mounted_ = false;
};

// A big-endian ROM of size bytes whose bytes differ from their neighbours.
Bytes bigRom(std::size_t size) {
    Bytes rom(size);
    for (std::size_t i = 0; i < size; ++i) rom[i] = static_cast<unsigned char>(i * 7 + i / 509);
    std::copy(kBigImage.begin(), kBigImage.begin() + 4, rom.begin());
    return rom;
}

// Takes up all the room left on the file system of folder.
void fill(const std::string& folder) {
    shell("dd if=/dev/zero of='" + folder + "/filler' bs=1M; sync");
}

} // namespace

// On btrfs every block rewritten takes a new one: with less room than the ROM, the
// conversion is refused before anything changes.
TEST(CopyOnWrite, ShortOfRoomIsRefusedBeforeAnythingChanges) {
    ScratchFolder folder;
    LoopDisk disk(folder, "btrfs", 256);
    if (!disk.ready()) GTEST_SKIP() << "no btrfs: " << disk.why();
    const Bytes rom = bigRom(std::size_t(40) << 20);
    writeFile(disk.path("game.z64"), rom);
    fill(disk.mountPoint());
    const CliRun run = runCli({"convert", "--to", "little", "game.z64"}, disk.mountPoint());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("dornavel-cli: game.z64: cannot write back: not enough free space to rewrite it on this "
                            "copy-on-write file system (", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("; the file was not changed\n"), std::string::npos) << run.err;
    EXPECT_TRUE(readFile(disk.path("game.z64")) == rom);
    EXPECT_FALSE(fileExists(disk.path("game.z64.dornavel-recovery")));
}

// A power cut in the middle of the write: ext4 shut down without flushing its journal, then
// mounted again. Running the same conversion again leaves the ROM whole in the new order.
TEST(PowerCut, TheSameConversionAgainMakesTheRomWhole) {
    const Bytes rom = bigRom(std::size_t(32) << 20);
    Bytes little = rom;
    reverseQuads(little.data(), little.size());
    for (int attempt = 0; attempt < 4; ++attempt) {
        ScratchFolder folder;
        LoopDisk disk(folder, "ext4", 128);
        if (!disk.ready()) GTEST_SKIP() << "no ext4 on a loop device: " << disk.why();
        if (!shell("command -v xfs_io")) GTEST_SKIP() << "xfs_io is not installed";
        writeFile(disk.path("game.z64"), rom);
        shell("sync");
        RunningCli running = startCli({"convert", "--to", "little", "game.z64"}, disk.mountPoint());
        const int fd = open(disk.path("game.z64").c_str(), O_RDONLY);
        unsigned char head = 0x80;
        for (int round = 0; round < 20000 && head == 0x80; ++round) {
            if (pread(fd, &head, 1, 0) != 1) break;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        close(fd);
        ASSERT_TRUE(shell("xfs_io -x -c shutdown '" + disk.mountPoint() + "'"));
        const CliRun cut = finishCli(running);
        ASSERT_TRUE(disk.unmount());
        ASSERT_TRUE(disk.remount());
        const CliRun again = runCli({"convert", "--to", "little", "game.z64"}, disk.mountPoint());
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_TRUE(readFile(disk.path("game.z64")) == little) << again.out << again.err;
        EXPECT_FALSE(fileExists(disk.path("game.z64.dornavel-recovery")));
        if (cut.status != 0) return; // the cut came before the write was over
    }
    GTEST_SKIP() << "every conversion was over before the cut in 4 tries";
}
