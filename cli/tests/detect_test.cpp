// The detect command on real files.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli_runner.h"
#include "rom_images.h"

// One call over every kind of file: each is reported in the order given, and the missing
// ones make the whole call fail without hiding the others (nor each other).
TEST(Detect, ReportsEveryFileAndFailsForTheMissingOne) {
    ScratchFolder folder;
    writeFile(folder.path("big.z64"), kBigImage);
    writeFile(folder.path("little.n64"), kLittleImage);
    writeFile(folder.path("swapped.v64"), kV64Image);
    // "PK\5\6" and 18 zeros: an empty zip, whatever its name (a damaged one fails: see
    // ArchiveEntries.BadArchivesFailNamingTheEntry)
    Bytes emptyZip(22, 0);
    std::copy_n("PK\5\6", 4, emptyZip.begin());
    writeFile(folder.path("zip.z64"), emptyZip);
    writeFile(folder.path("empty.z64"), {});                      // no first byte at all

    const CliRun run = runCli({"detect", "big.z64", "missing.z64", "little.n64", "swapped.v64",
                               "zip.z64", "empty.z64", "gone.n64"},
                              folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "big.z64: big\n"
              "little.n64: little\n"
              "swapped.v64: v64\n"
              "zip.z64: not a ROM (a zip archive)\n"
              "empty.z64: unknown\n"
              // after several files, the counts: the two missing ones are the failures
              "3 recognised, 1 of unknown order, 1 not ROMs, 2 failed\n");
    EXPECT_EQ(run.err, std::string("dornavel-cli: missing.z64: cannot read: ") + std::strerror(ENOENT) + "\n" +
                           "dornavel-cli: gone.n64: cannot read: " + std::strerror(ENOENT) + "\n");
}

// Unrecognised and empty files are answers, not failures.
TEST(Detect, SucceedsWhenEveryFileCouldBeRead) {
    ScratchFolder folder;
    writeFile(folder.path("rom"), kLittleImage);
    writeFile(folder.path("text"), {0x12, 0x80, 0x37, 0x40}); // only the first byte counts
    writeFile(folder.path("empty"), {});

    const CliRun run = runCli({"detect", "rom", "text", "empty"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0);
    // the closing summary counts the unrecognised and the empty file together, not as failures
    EXPECT_EQ(run.out, "rom: little\ntext: unknown\nempty: unknown\n1 recognised, 2 of unknown order\n");
    EXPECT_EQ(run.err, "");
}

// Without -r a folder is an error naming it, and says how to go through it.
TEST(Detect, ReportsAFolderWithoutRecursive) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.root() / "game.z64");

    const CliRun run = runCli({"detect", "game.z64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "dornavel-cli: game.z64: is a folder; give -r to go through it\n");
}

// Detection only reads: the file's bytes stay as they were.
TEST(Detect, LeavesTheFileAsItWas) {
    ScratchFolder folder;
    writeFile(folder.path("rom.v64"), kV64Image);

    const CliRun run = runCli({"detect", "rom.v64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readFile(folder.path("rom.v64")), kV64Image);
}
