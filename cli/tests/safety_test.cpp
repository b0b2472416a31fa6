// What the companion says when a file, the disk or its own output is not what it seems.
#include <gtest/gtest.h>

#include <filesystem>

#include <sys/mount.h>
#include <sys/stat.h>

#include "cli_runner.h"
#include "rom_images.h"

namespace fs = std::filesystem;

// A pipe, a device and a folder are refused in one line each, never waited on, and the files
// after them are still handled. (A pipe with no writer would block a plain open for ever:
// the test's time limit would end it.)
TEST(Safety, NamesThatAreNoRegularFileAreRefusedAtOnce) {
    ScratchFolder folder;
    ASSERT_EQ(mkfifo(folder.path("pipe.z64").c_str(), 0600), 0);
    writeFile(folder.path("good.v64"), kV64Image);
    for (const char* command : {"detect", "convert"}) {
        std::vector<std::string> args = {command, "pipe.z64", "/dev/zero", "good.v64"};
        if (std::string(command) == "convert") args.insert(args.begin() + 1, {"--to", "v64"});
        const CliRun run = runCli(args, folder.root().u8string());
        EXPECT_EQ(run.status, 1) << command;
        const std::vector<std::string> errors = linesOf(run.err);
        ASSERT_EQ(errors.size(), 2u) << run.err;
        EXPECT_EQ(errors[0], "dornavel-cli: pipe.z64: cannot read: not a regular file");
        EXPECT_EQ(errors[1], "dornavel-cli: /dev/zero: cannot read: not a regular file");
        // good.v64 is already in v64 for convert, and detected for detect; the summary of
        // either command counts the two refusals as failures.
        EXPECT_EQ(run.out, std::string(command) == "detect"
                               ? "good.v64: v64\n1 recognised, 2 failed\n"
                               : "good.v64: already v64, left untouched\n1 already v64, 2 failed\n");
    }
}

// A full standard output is a failure, told on standard error, after the work is done.
TEST(Safety, AnOutputThatCannotBeWrittenIsReported) {
    ScratchFolder folder;
    writeFile(folder.path("game.z64"), kBigImage);
    const CliRun run = runCli({"convert", "--to", "little", "game.z64"}, folder.root().u8string(), Permissions::AsCaller, "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dornavel-cli: cannot write to standard output: No space left on device\n");
    EXPECT_EQ(readFile(folder.path("game.z64")), kLittleImage); // converted all the same
    // A JSON document longer than the stream's buffer is written at once: the last flush then
    // has nothing left to write, and only the stream's error tells the write failed.
    std::vector<std::string> args{"info", "--json"};
    for (int i = 0; i < 8; ++i) {
        writeFile(folder.path("r" + std::to_string(i) + ".z64"), kBigImage);
        args.push_back("r" + std::to_string(i) + ".z64");
    }
    const CliRun json = runCli(args, folder.root().u8string(), Permissions::AsCaller, "/dev/full");
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.err.rfind("dornavel-cli: cannot write to standard output: ", 0), 0u) << json.err;
}

// Files with no complete group to move are said to have nothing to convert, and stay as
// they are, without backup or rename.
TEST(Safety, FilesShorterThanOneGroupHaveNothingToConvert) {
    struct Case {
        Bytes bytes;
        const char* to;
        const char* said;
    };
    const Case cases[] = {
        {{0x80}, "little", "nothing to convert (shorter than one 4-byte group)"},
        {{0x80, 0x37, 0x12}, "little", "nothing to convert (shorter than one 4-byte group)"},
        {{0x80}, "v64", "nothing to convert (shorter than one 2-byte group)"},
    };
    for (const Case& c : cases) {
        ScratchFolder folder;
        writeFile(folder.path("tiny.z64"), c.bytes);
        const CliRun run = runCli({"convert", "--to", c.to, "--backup", "--rename", "tiny.z64"}, folder.root().u8string());
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, std::string("tiny.z64: ") + c.said + "\n");
        EXPECT_EQ(readFile(folder.path("tiny.z64")), c.bytes);
        EXPECT_FALSE(fileExists(folder.path("tiny.z64.bak")));
    }
}

// The new name is a further link to the same file: converted, and both names kept.
TEST(Safety, RenameToAnotherNameOfTheSameFileKeepsBoth) {
    ScratchFolder folder;
    writeFile(folder.path("game.z64"), kBigImage);
    fs::create_hard_link(folder.root() / "game.z64", folder.root() / "game.bin");
    // A file with two names is written only when asked: a stop halfway would show through one.
    const CliRun refused = runCli({"convert", "--to", "little", "--rename", "game.z64"}, folder.root().u8string());
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "dornavel-cli: game.z64: it has 2 names (hard links), and an update stopped halfway could "
                           "not be seen through the others; nothing written (give --hard-links to write it all the "
                           "same, or give it a file of its own first)\n");
    EXPECT_EQ(readFile(folder.path("game.z64")), kBigImage);
    const CliRun run = runCli({"convert", "--to", "little", "--rename", "--hard-links", "game.z64"},
                              folder.root().u8string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "game.z64: big -> little\ngame.z64: already also named game.bin, both names kept\n");
    EXPECT_EQ(readFile(folder.path("game.z64")), kLittleImage);
    EXPECT_EQ(readFile(folder.path("game.bin")), kLittleImage);
}

// On a disk too full for a sparse ROM's blocks: nothing is changed, and the message says so;
// a backup that does not fit keeps the older one.
TEST(Safety, AFullDiskChangesNothing) {
    ScratchFolder folder;
    if (mount("dornavel-test", folder.root().c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    writeFile(folder.path("sparse.v64"), kV64Image);
    fs::resize_file(folder.root() / "sparse.v64", 1 << 20);
    writeFile(folder.path("sparse.v64.bak"), {0x0D});
    std::FILE* filler = std::fopen(folder.path("filler").c_str(), "wb"); // takes all the room left
    const Bytes block(4096, 0xFF);
    while (filler && std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {}
    if (filler) std::fclose(filler);
    const Bytes before = readFile(folder.path("sparse.v64"));

    const CliRun backup = runCli({"convert", "--to", "big", "--backup", "sparse.v64"}, folder.root().u8string());
    const CliRun plain = runCli({"convert", "--to", "big", "sparse.v64"}, folder.root().u8string());
    const Bytes after = readFile(folder.path("sparse.v64"));
    const Bytes bak = readFile(folder.path("sparse.v64.bak"));
    umount(folder.root().c_str());

    EXPECT_EQ(backup.status, 1);
    EXPECT_EQ(backup.err.rfind("dornavel-cli: sparse.v64: cannot write the backup sparse.v64.bak: No space left on device", 0), 0u) << backup.err;
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.err.rfind("dornavel-cli: sparse.v64: cannot write back: not enough free space to fill the holes of this sparse file (", 0), 0u) << plain.err;
    EXPECT_NE(plain.err.find(" needed); the file was not changed\n"), std::string::npos) << plain.err;
    EXPECT_TRUE(after == before);
    EXPECT_EQ(bak, Bytes({0x0D}));
}
