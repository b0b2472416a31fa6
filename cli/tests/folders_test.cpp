// -r/--recursive: folders walked for ROMs, what is left out of them, and files reached twice.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/resource.h>

#include "cli_runner.h"
#include "rom_images.h"

namespace fs = std::filesystem;

namespace {

// A tree with a ROM in each order at different depths, and around them everything a walk
// must leave alone:
//   roms/a/fake80.bin   80 00 00 00  first byte of a big-endian ROM, but no header
//   roms/a/m/c.v64      Doctor V64 ROM
//   roms/a/z.z64        big-endian ROM
//   roms/b.n64          little-endian ROM
//   roms/boot.bin       40 00 11 22  first byte of a little-endian ROM only
//   roms/game.z64.bak   a ROM, but a backup
//   roms/OLD.BAK        a ROM, but a backup in capitals
//   roms/readme         37 37 37 37  first byte of a Doctor V64 ROM only
//   roms/short.z64      80 37 12     a header cut short
//   roms/a/z.z64.dornavel-tmp        a ROM's first part, left by a killed run: a work file
//   roms/b.n64.bak.3-0.tmp           the same, as earlier versions named it
//   roms/link -> ../outside          a link to a folder holding a ROM: not followed
//   roms/loop -> .                   a link to its own folder: no endless walk
//   outside/far.z64     big-endian ROM, only reachable through the link
class RomTree : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder_.root() / "roms/a/m");
        fs::create_directories(folder_.root() / "outside");
        writeFile(path("roms/a/fake80.bin"), {0x80, 0x00, 0x00, 0x00});
        writeFile(path("roms/a/m/c.v64"), kV64Image);
        writeFile(path("roms/a/z.z64"), kBigImage);
        writeFile(path("roms/b.n64"), kLittleImage);
        writeFile(path("roms/boot.bin"), {0x40, 0x00, 0x11, 0x22});
        writeFile(path("roms/game.z64.bak"), kLittleImage);
        writeFile(path("roms/OLD.BAK"), kV64Image);
        writeFile(path("roms/readme"), {0x37, 0x37, 0x37, 0x37});
        writeFile(path("roms/short.z64"), {0x80, 0x37, 0x12});
        writeFile(path("roms/a/z.z64.dornavel-tmp"), kBigImage);
        writeFile(path("roms/b.n64.bak.3-0.tmp"), kLittleImage);
        writeFile(path("outside/far.z64"), kBigImage);
        fs::create_directory_symlink("../outside", folder_.root() / "roms/link");
        fs::create_directory_symlink(".", folder_.root() / "roms/loop");
    }

    std::string path(const std::string& name) const { return folder_.path(name); }
    std::string dir() const { return folder_.root().u8string(); }

    // Every file that is not a ROM still holds its bytes.
    void expectOthersUntouched() const {
        EXPECT_EQ(readFile(path("roms/a/fake80.bin")), (Bytes{0x80, 0x00, 0x00, 0x00}));
        EXPECT_EQ(readFile(path("roms/boot.bin")), (Bytes{0x40, 0x00, 0x11, 0x22}));
        EXPECT_EQ(readFile(path("roms/game.z64.bak")), kLittleImage);
        EXPECT_EQ(readFile(path("roms/OLD.BAK")), kV64Image);
        EXPECT_EQ(readFile(path("roms/readme")), (Bytes{0x37, 0x37, 0x37, 0x37}));
        EXPECT_EQ(readFile(path("roms/short.z64")), (Bytes{0x80, 0x37, 0x12}));
        EXPECT_EQ(readFile(path("roms/a/z.z64.dornavel-tmp")), kBigImage);
        EXPECT_EQ(readFile(path("roms/b.n64.bak.3-0.tmp")), kLittleImage);
        EXPECT_EQ(readFile(path("outside/far.z64")), kBigImage);
    }

    ScratchFolder folder_;
};

} // namespace

// Depth-first in name order: "a" comes before "b.n64", and in a, "m" before "z.z64".
TEST_F(RomTree, DetectTakesOnlyTheRomsInDepthFirstNameOrder) {
    const CliRun run = runCli({"detect", "-r", "roms"}, dir());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "roms/a/m/c.v64: v64\n"
              "roms/a/z.z64: big\n"
              "roms/b.n64: little\n"
              "3 recognised, 4 not ROMs\n"); // the files left out of the walk are counted
    EXPECT_EQ(run.err, "");
}

// Each ROM is converted and renamed once: the names the renames make are not walked again.
TEST_F(RomTree, ConvertTakesEachRomOnceAndLeavesEverythingElse) {
    const CliRun run = runCli({"convert", "--recursive", "--to", "big", "--rename", "roms"}, dir());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "roms/a/m/c.v64: v64 -> big\n"
              "roms/a/m/c.v64: renamed to roms/a/m/c.rom\n"
              "roms/a/z.z64: already big, left untouched\n"
              "roms/b.n64: little -> big\n"
              "roms/b.n64: renamed to roms/b.rom\n"
              "2 converted, 1 already big, 4 skipped (not ROMs)\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(path("roms/a/m/c.rom")), kBigImage);
    EXPECT_EQ(readFile(path("roms/b.rom")), kBigImage);
    EXPECT_EQ(readFile(path("roms/a/z.z64")), kBigImage);
    expectOthersUntouched();
}

// A folder the program may not read is reported and skipped, and so is a file in a folder
// whose header cannot be read; the rest is still converted.
TEST(Folders, ReportsWhatCannotBeReadAndGoesOn) {
    ScratchFolder folder;
    fs::create_directories(folder.root() / "roms/locked");
    fs::create_directories(folder.root() / "roms/open");
    writeFile(folder.path("roms/locked/hidden.n64"), kLittleImage);
    writeFile(folder.path("roms/open/secret.n64"), kLittleImage);
    writeFile(folder.path("roms/open/seen.n64"), kLittleImage);
    fs::permissions(folder.root() / "roms/locked", fs::perms::none);
    fs::permissions(folder.root() / "roms/open/secret.n64", fs::perms::none);

    const CliRun run = runCli({"convert", "-r", "--to", "big", "roms"}, folder.root().u8string(),
                              Permissions::Enforced);

    fs::permissions(folder.root() / "roms/locked", fs::perms::owner_all);
    fs::permissions(folder.root() / "roms/open/secret.n64", fs::perms::owner_all);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "roms/open/seen.n64: little -> big\n1 converted, 2 failed\n");
    const std::vector<std::string> errors = linesOf(run.err);
    ASSERT_EQ(errors.size(), 2u) << run.err;
    EXPECT_EQ(errors[0].rfind("dornavel-cli: roms/locked: cannot read the folder: ", 0), 0u) << errors[0];
    EXPECT_EQ(errors[1].rfind("dornavel-cli: roms/open/secret.n64: cannot read: ", 0), 0u) << errors[1];
    EXPECT_EQ(readFile(folder.path("roms/locked/hidden.n64")), kLittleImage);
    EXPECT_EQ(readFile(folder.path("roms/open/secret.n64")), kLittleImage);
    EXPECT_EQ(readFile(folder.path("roms/open/seen.n64")), kBigImage);
}

// An argument that gives no file is one error naming it, and the others go on: an empty
// folder, one without ROMs, and a pattern that matched nothing (the shell leaves it as it was).
TEST(Folders, ReportsEveryArgumentThatGivesNothing) {
    ScratchFolder folder;
    fs::create_directories(folder.root() / "empty");
    fs::create_directories(folder.root() / "texts");
    writeFile(folder.path("texts/notes.txt"), {'h', 'i', '\n'});
    writeFile(folder.path("rom.z64"), kBigImage);

    const CliRun run = runCli({"detect", "-r", "empty", "nothing*.z64", "texts", "rom.z64"},
                              folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    // the summary counts each argument that gave nothing as a failure; notes.txt is no ROM
    EXPECT_EQ(run.out, "rom.z64: big\n1 recognised, 1 not ROMs, 3 failed\n");
    EXPECT_EQ(run.err,
              "dornavel-cli: empty: no ROM found in this folder\n"
              "dornavel-cli: nothing*.z64: no file matches\n"
              "dornavel-cli: texts: no ROM found in this folder\n");
}

// One way of reaching roms/x.bin twice in one call.
struct TwoWays {
    const char* why;
    std::vector<std::string> args;
    bool hardLink; // roms/y.bin is made another name of roms/x.bin
};

// Each call reaches roms/x.bin twice. With --from a second conversion would reverse the
// bytes again and leave the ROM scrambled; it is converted once, and said once.
TEST(Folders, ConvertsAFileReachedTwiceOnce) {
    const TwoWays calls[] = {
        {"inside a folder and named", {"-r", "roms", "roms/x.bin"}, false},
        {"named, then inside a folder", {"roms/x.bin", "-r", "roms"}, false},
        {"the folder twice, spelt two ways", {"-r", "roms", "roms/../roms/"}, false},
        {"two spellings of the file", {"roms/x.bin", "roms/./x.bin"}, false},
        {"a hard link beside it in the folder", {"--hard-links", "-r", "roms"}, true}, // asked for
    };
    ScratchFolder folder;
    for (const TwoWays& call : calls) {
        SCOPED_TRACE(call.why);
        fs::remove_all(folder.root() / "roms");
        fs::create_directories(folder.root() / "roms");
        writeFile(folder.path("roms/x.bin"), kLittleImage);
        if (call.hardLink) fs::create_hard_link(folder.root() / "roms/x.bin", folder.root() / "roms/y.bin");
        std::vector<std::string> args{"convert", "--from", "little", "--to", "big"};
        args.insert(args.end(), call.args.begin(), call.args.end());

        const CliRun run = runCli(args, folder.root().u8string());

        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(linesOf(run.out).size(), 1u) << run.out;
        EXPECT_NE(run.out.find(": little -> big\n"), std::string::npos) << run.out;
        EXPECT_EQ(readFile(folder.path("roms/x.bin")), kBigImage);
    }
}

// A collection holds more files than a process may have open at once: each file looked at
// in a folder is closed again. Here 40 ROMs are gone through with room for only 24 open files.
TEST(Folders, ClosesEveryFileItLooksAt) {
    ScratchFolder folder;
    fs::create_directories(folder.root() / "roms");
    for (int i = 0; i < 40; ++i) writeFile(folder.path("roms/rom" + std::to_string(i) + ".z64"), kBigImage);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
    rlimit few = before;
    few.rlim_cur = 24;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0); // the program inherits the limit

    const CliRun run = runCli({"convert", "-q", "-r", "--to", "little", "roms"}, folder.root().u8string());

    setrlimit(RLIMIT_NOFILE, &before);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "40 converted\n");
}
