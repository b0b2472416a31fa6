// --backup and --rename of the convert command.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "rom_images.h"

// The backup holds the bytes from before the conversion, and the ROM the converted ones.
TEST(Backup, HoldsTheOldBytes) {
    ScratchFolder folder;
    writeFile(folder.path("game.z64"), kBigImage);

    const CliRun run = runCli({"convert", "game.z64", "--backup", "--to", "v64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "game.z64: backup written to game.z64.bak\n"
              "game.z64: big -> v64\n");
    EXPECT_EQ(readFile(folder.path("game.z64.bak")), kBigImage);
    EXPECT_EQ(readFile(folder.path("game.z64")), kV64Image);
}

// An older, longer backup is replaced whole: nothing of it is left past the new content.
TEST(Backup, ReplacesAnOlderBackup) {
    ScratchFolder folder;
    writeFile(folder.path("game.n64"), kLittleImage);
    writeFile(folder.path("game.n64.bak"), Bytes(32, 0xEE));

    const CliRun run = runCli({"convert", "--to", "big", "--backup", "game.n64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(folder.path("game.n64.bak")), kLittleImage);
    EXPECT_EQ(readFile(folder.path("game.n64")), kBigImage);
}

// Without --backup no backup is written.
TEST(Backup, IsOnlyWrittenWhenAskedFor) {
    ScratchFolder folder;
    writeFile(folder.path("game.z64"), kBigImage);

    const CliRun run = runCli({"convert", "--to", "little", "game.z64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(fileExists(folder.path("game.z64.bak")));
}

// The converted ROM takes the extension of its new order (.bin for little-endian); the old
// name is gone.
TEST(Rename, GivesTheFileTheExtensionOfItsNewOrder) {
    ScratchFolder folder;
    writeFile(folder.path("game.z64"), kBigImage);

    const CliRun run = runCli({"convert", "--to", "little", "--rename", "game.z64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "game.z64: big -> little\n"
              "game.z64: renamed to game.bin\n");
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(fileExists(folder.path("game.z64")));
    EXPECT_EQ(readFile(folder.path("game.bin")), kLittleImage);
}

// A name without extension gets one: .rom for big-endian.
TEST(Rename, AddsAnExtensionToANameWithout) {
    ScratchFolder folder;
    writeFile(folder.path("game"), kV64Image);

    const CliRun run = runCli({"convert", "--to", "big", "--rename", "game"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "game: v64 -> big\ngame: renamed to game.rom\n");
    EXPECT_EQ(readFile(folder.path("game.rom")), kBigImage);
}

// A file already named for its new order keeps its name and no rename is reported.
TEST(Rename, KeepsANameThatAlreadyFits) {
    ScratchFolder folder;
    writeFile(folder.path("game.v64"), kBigImage);

    const CliRun run = runCli({"convert", "--to", "v64", "--rename", "game.v64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "game.v64: big -> v64\n");
    EXPECT_EQ(readFile(folder.path("game.v64")), kV64Image);
}

// When a file of the new name exists the call fails for this ROM before anything is
// written: neither file changes, and the backup it would have needed is not made.
TEST(Rename, RefusesToReplaceAnExistingFile) {
    ScratchFolder folder;
    const Bytes other{'k', 'e', 'e', 'p'};
    writeFile(folder.path("game.z64"), kBigImage);
    writeFile(folder.path("game.bin"), other);

    const CliRun run = runCli({"convert", "--to", "little", "--rename", "--backup", "game.z64"},
                              folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("dornavel-cli: game.z64: cannot rename to game.bin: ", 0), 0u) << run.err;
    EXPECT_EQ(readFile(folder.path("game.z64")), kBigImage);
    EXPECT_EQ(readFile(folder.path("game.bin")), other);
    EXPECT_FALSE(fileExists(folder.path("game.z64.bak")));
}

// A refused rename stops only its own file: the next one is converted and renamed.
TEST(Rename, GoesOnWithTheNextFileAfterARefusal) {
    ScratchFolder folder;
    writeFile(folder.path("a.z64"), kBigImage);
    writeFile(folder.path("a.v64"), {'x'});
    writeFile(folder.path("b.z64"), kBigImage);

    const CliRun run = runCli({"convert", "--to", "v64", "--rename", "a.z64", "b.z64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "b.z64: big -> v64\nb.z64: renamed to b.v64\n1 converted, 1 failed\n");
    EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
    EXPECT_EQ(readFile(folder.path("a.z64")), kBigImage);
    EXPECT_EQ(readFile(folder.path("b.v64")), kV64Image);
}
