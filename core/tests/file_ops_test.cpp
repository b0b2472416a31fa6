#include "core/file_ops.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/byte_order.h"
#include "core/extension.h"
#include "core/file_system.h"
#include "core/rom_update.h"
#include "core/tests/scripted_ops.h"
#include "core/tests/test_files.h"

#ifndef _WIN32
#include <climits>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// Names that are no regular file are refused at once, for reading as for an update: none
// of them may keep the program waiting.
TEST(RegularFilesOnly, OtherKindsAreRefusedWithoutWaiting) {
    ScratchFolder folder;
    std::vector<std::string> names = {folder.path("")};
#ifdef _WIN32
    // Device names, whatever their case or extension: COM1 would wait on a serial port.
    names.insert(names.end(), {"NUL", "COM1", "con.z64", "Lpt3.bin", "\\\\.\\PhysicalDrive0"});
#else
    const std::string pipe = folder.path("pipe.z64");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    names.insert(names.end(), {pipe, "/dev/null", "/dev/zero"});
#endif
    for (const std::string& name : names) {
        FileError look;
        EXPECT_EQ(detectByteOrder(name, look), ByteOrder::None) << name;
        EXPECT_EQ(look.reason, kNotRegularFileText) << name;
        RomUpdate update;
        FileError error;
        EXPECT_FALSE(update.open(name, error)) << name;
        EXPECT_EQ(error.reason, kNotRegularFileText) << name;
    }
}

// Where the file system cannot rename without replacing, a link to the new name and the
// removal of the old one do it; a failure of either leaves exactly the old name.
TEST(RenameNoReplace, FallsBackToLinkAndRemove) {
    struct Case {
        const char* name;
        Op failing; // Op::Open: nothing fails
        bool renamed;
    };
    const Case cases[] = {{"fallback", Op::Open, true}, {"link_fails", Op::Link, false}, {"remove_fails", Op::Remove, false}};
    for (const Case& c : cases) {
        ScratchFolder folder;
        const std::string from = folder.path("game.z64");
        const std::string to = folder.path("game.rom");
        writeFile(from, {0x80, 0x37});
        ScriptedOps ops;
        ops.renameExclusiveUnsupported();
        if (c.failing != Op::Open) ops.failOn(c.failing, 1);
        std::string reason;
        EXPECT_EQ(renameNoReplace(from, to, reason), c.renamed) << c.name;
        EXPECT_EQ(fileExists(from), !c.renamed) << c.name;
        EXPECT_EQ(fileExists(to), c.renamed) << c.name;
        EXPECT_EQ(readFile(c.renamed ? to : from), Bytes({0x80, 0x37})) << c.name;
    }
}

// Before anything is converted, the rename is checked against everything it will meet.
TEST(PlanRename, MeetsEveryCaseTheRenameWill) {
    ScratchFolder folder;
    const std::string rom = folder.path("game.z64");
    writeFile(rom, {0x80});
    const auto plan = [&](const std::string& path) { return planRename(path, ByteOrder::BigEndian); };

    EXPECT_EQ(plan(folder.path("game.rom")).need, RenameNeed::NotNeeded); // already so named
    writeFile(folder.path("game.rom"), {0x80});
    EXPECT_EQ(plan(rom).need, RenameNeed::Blocked);
    EXPECT_EQ(plan(rom).reason, systemReason(EEXIST)); // taken by another file
    fs::remove(fs::u8path(folder.path("game.rom")));
    EXPECT_EQ(plan(rom).need, RenameNeed::Needed);
    EXPECT_EQ(plan(rom).newPath, folder.path("game.rom"));

    std::error_code linkError;
    fs::create_hard_link(fs::u8path(rom), fs::u8path(folder.path("game.rom")), linkError);
    if (!linkError) {
        EXPECT_EQ(plan(rom).need, RenameNeed::AlreadyLinked); // another name of it
    }
    fs::remove(fs::u8path(folder.path("game.rom")));
#ifndef _WIN32
    // A link's rename would leave the file it leads to with the extension of the old order.
    fs::create_symlink(fs::u8path(rom), fs::u8path(folder.path("link.z64")));
    EXPECT_EQ(plan(folder.path("link.z64")).need, RenameNeed::Blocked);
    EXPECT_EQ(plan(folder.path("link.z64")).reason.rfind("it is a symbolic link", 0), 0u);
#endif

    // 253 characters and ".n": the new name is 257, past the 255 file systems take.
    const std::string longName = folder.path(std::string(253, 'x') + ".n");
    EXPECT_EQ(plan(longName).need, RenameNeed::Blocked);
    EXPECT_FALSE(plan(longName).reason.empty());

    ScriptedOps ops;
    ops.refuseNewNames("Permission denied"); // a folder this user cannot write
    EXPECT_EQ(plan(rom).need, RenameNeed::Blocked);
    EXPECT_EQ(plan(rom).reason, "Permission denied");
    // The new name is the same entry in other letters (a file system that ignores case):
    // the file has one name only, so the rename is a change of case and goes ahead.
    ops.pretendIdentity(folder.path("game.rom"), fileOps().identify(rom, false));
    EXPECT_EQ(plan(rom).need, RenameNeed::Needed);
}

#ifdef __linux__
// A path of PATH_MAX characters has no room left for its ending zero: one less is the longest.
TEST(PlanRename, TakesPathsUpToTheSystemsLimit) {
    ScratchFolder folder;
    fs::path deep = folder.root();
    while (deep.native().size() < PATH_MAX - 300) deep /= std::string(200, 'd');
    fs::create_directories(deep);
    const std::size_t room = PATH_MAX - deep.native().size() - 1; // characters left for a name
    for (const std::size_t nameLength : {room - 1, room}) {
        // ".z6" becomes ".rom": the new name is nameLength long.
        const std::string path = (deep / (std::string(nameLength - 4, 'n') + ".z6")).native();
        const RenamePlan plan = planRename(path, ByteOrder::BigEndian);
        EXPECT_EQ(plan.newPath.size(), deep.native().size() + 1 + nameLength);
        EXPECT_EQ(plan.need, plan.newPath.size() < PATH_MAX ? RenameNeed::Needed : RenameNeed::Blocked);
    }
}
#endif

// A ROM deeper than Windows' old 260-character limit is converted and renamed like any other.
TEST(LongPaths, AreConvertedAndRenamed) {
    ScratchFolder folder;
    std::string deep = folder.path("");
    for (int level = 0; level < 5; ++level) deep += std::string(60, char('a' + level)) + "/";
    fs::create_directories(fs::u8path(deep));
    const std::string path = deep + "game.z64";
    ASSERT_GT(path.size(), 300u);
    writeFile(path, {0x80, 0x37, 0x12, 0x40});
    RomUpdate update;
    FileError error;
    ASSERT_TRUE(update.open(path, error)) << error.reason;
    ASSERT_TRUE(update.backUp(error)) << error.reason;
    ASSERT_TRUE(update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error)) << error.reason;
    ASSERT_TRUE(update.close(error)) << error.reason;
    const ExtensionResult renamed = correctExtension(path, "game.z64", ByteOrder::LittleEndian);
    EXPECT_TRUE(renamed.renamed) << renamed.reason;
    EXPECT_EQ(readFile(deep + "game.bin"), Bytes({0x40, 0x12, 0x37, 0x80}));
    EXPECT_EQ(readFile(path + ".bak"), Bytes({0x80, 0x37, 0x12, 0x40}));

#ifdef _WIN32
    // The standard library's removal does not reach that deep on Windows: the core's and a
    // removal with the long-path prefix do.
    std::string ignored;
    fileOps().remove(deep + "game.bin", ignored);
    fileOps().remove(path + ".bak", ignored);
    for (fs::path level = fs::u8path(deep).parent_path(); level != folder.root(); level = level.parent_path()) {
        std::error_code kept;
        fs::remove(std::wstring(LR"(\\?\)") + fs::absolute(level).make_preferred().native(), kept);
    }
#endif
}

#ifdef __linux__
// A small file system of its own, filled up, for real failing writes; skipped where this
// user cannot mount one.
class FullDisk : public testing::Test {
protected:
    void SetUp() override {
        if (mount("dornavel-test", folder.root().c_str(), "tmpfs", 0, "size=256k") != 0)
            GTEST_SKIP() << "cannot mount a small tmpfs here (" << systemReason(errno) << ")";
        mounted = true;
    }
    void TearDown() override {
        if (mounted) umount(folder.root().c_str());
    }
    // Takes up all the room that is left.
    void fill() {
        const std::string filler = folder.path("filler");
        std::FILE* file = std::fopen(filler.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const Bytes block(4096, 0xFF);
        while (std::fwrite(block.data(), 1, block.size(), file) == block.size() && std::fflush(file) == 0) {}
        std::fclose(file);
    }
    ScratchFolder folder;
    bool mounted = false;
};

// A sparse ROM larger than the free space: the write-back fails before any byte changes.
TEST_F(FullDisk, WriteBackOfASparseRomFailsBeforeChangingIt) {
    const std::string path = folder.path("sparse.v64");
    writeFile(path, {0x37, 0x80, 0x40, 0x12});
    fs::resize_file(path, 4 << 20); // 4 MiB on paper, one page on the disk
    fill();
    RomUpdate update;
    FileError error;
    ASSERT_TRUE(update.open(path, error)) << error.reason;
    EXPECT_FALSE(update.convert(ByteOrder::DoctorV64, ByteOrder::BigEndian, error));
    EXPECT_EQ(error.step, FileStep::WriteBack);
    EXPECT_EQ(error.rom, RomState::Unchanged);
    // Found by measuring before the system would say "No space left on device".
    EXPECT_EQ(error.reason.rfind("not enough free space to fill the holes of this sparse file (", 0), 0u) << error.reason;
    update.close(error);
    Bytes expected(4 << 20, 0x00);
    expected[0] = 0x37, expected[1] = 0x80, expected[2] = 0x40, expected[3] = 0x12;
    EXPECT_TRUE(readFile(path) == expected);
}

// A backup that does not fit costs neither the older backup nor the ROM.
TEST_F(FullDisk, BackupThatDoesNotFitKeepsTheOlderOne) {
    const std::string path = folder.path("game.v64");
    const Bytes rom(64 << 10, 0x37);
    writeFile(path, rom);
    writeFile(path + ".bak", {0x0D, 0x0E});
    fill();
    RomUpdate update;
    FileError error;
    ASSERT_TRUE(update.open(path, error));
    EXPECT_FALSE(update.backUp(error));
    EXPECT_EQ(error.reason, systemReason(ENOSPC));
    EXPECT_EQ(readFile(path + ".bak"), Bytes({0x0D, 0x0E}));
    EXPECT_EQ(readFile(path), rom);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.root()), fs::directory_iterator()), 3); // and filler
}
#endif

} // namespace
