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

// --rename gives the window's extensions, which scripts rely on; --rename=common those of
// emulators, DATs and patch. Either way the file is converted and renamed, and only the new
// name is left.
struct RenameSetCase {
    const char* option;
    const char* to;
    const char* name;
    const Bytes& before;
    const char* renamed;
    const Bytes& after;
};
const RenameSetCase kRenameSets[] = {
    {"--rename", "little", "game.z64", kBigImage, "game.bin", kLittleImage}, // the window's
    {"--rename=window", "big", "game.v64", kV64Image, "game.rom", kBigImage}, // the same, named
    {"--rename=common", "big", "game.v64", kV64Image, "game.z64", kBigImage},
    {"--rename=common", "little", "game.rom", kBigImage, "game.n64", kLittleImage},
    {"--rename=common", "v64", "game.bin", kLittleImage, "game.v64", kV64Image}, // .v64 in both
    {"--rename=common", "big", "game", kLittleImage, "game.z64", kBigImage},     // no extension yet
    // The set is only ever joined with "=": a file called "common" after a bare --rename is
    // a file, and gets the window's extension.
    {"--rename", "big", "common", kV64Image, "common.rom", kBigImage},
};

TEST(Rename, EachSetGivesItsOwnExtensions) {
    for (const RenameSetCase& c : kRenameSets) {
        ScratchFolder folder;
        writeFile(folder.path(c.name), c.before);

        const CliRun run = runCli({"convert", "--to", c.to, c.option, c.name}, folder.root().u8string());

        EXPECT_EQ(run.status, 0) << c.option << " " << c.name << ": " << run.err;
        EXPECT_EQ(linesOf(run.out).back(), std::string(c.name) + ": renamed to " + c.renamed) << run.out;
        EXPECT_EQ(readFile(folder.path(c.renamed)), c.after) << c.renamed;
        EXPECT_FALSE(fileExists(folder.path(c.name))) << c.name;
    }
}

// A dry run and the JSON name the common extension as the real run gives it; the dry run
// writes nothing.
TEST(Rename, TheCommonSetInADryRunAndInJson) {
    ScratchFolder folder;
    writeFile(folder.path("game.v64"), kV64Image);
    const std::string root = folder.root().u8string();

    const CliRun dry = runCli({"convert", "--to", "big", "--rename=common", "-n", "game.v64"}, root);
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out, "game.v64: v64 -> big, rename to game.z64\n");
    EXPECT_EQ(readFile(folder.path("game.v64")), kV64Image);
    EXPECT_FALSE(fileExists(folder.path("game.z64")));

    const CliRun run = runCli({"convert", "--to", "big", "--rename=common", "--json", "game.v64"}, root);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"renamed_to\": \"game.z64\""), std::string::npos) << run.out;
    EXPECT_EQ(readFile(folder.path("game.z64")), kBigImage);
}

// A name taken in the common set is refused as in the window's: nothing converted.
TEST(Rename, TheCommonSetNeverReplacesAFileEither) {
    ScratchFolder folder;
    writeFile(folder.path("game.v64"), kV64Image);
    writeFile(folder.path("game.z64"), {'k', 'e', 'e', 'p'});

    const CliRun run = runCli({"convert", "--to", "big", "--rename=common", "game.v64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("dornavel-cli: game.v64: cannot rename to game.z64: ", 0), 0u) << run.err;
    EXPECT_EQ(readFile(folder.path("game.v64")), kV64Image);
    EXPECT_EQ(readFile(folder.path("game.z64")), Bytes({'k', 'e', 'e', 'p'}));
}
