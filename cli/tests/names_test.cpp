// File names with spaces and characters beyond ASCII, given as full paths.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_runner.h"
#include "rom_images.h"

namespace fs = std::filesystem;

// The names are UTF-8 throughout: on the command line, on disk and in the output.
TEST(Names, ConvertsBacksUpAndRenamesANonAsciiNameInAFolderWithSpaces) {
    ScratchFolder folder;
    fs::create_directory(folder.root() / fs::u8path(u8"my roms ü"));
    const std::string rom = folder.path(u8"my roms ü/Zelda – ゼルダ.v64");
    const std::string renamed = folder.path(u8"my roms ü/Zelda – ゼルダ.bin");
    writeFile(rom, kV64Image);

    const CliRun run = runCli({"convert", "--to", "little", "--backup", "--rename", rom});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              rom + ": backup written to " + rom + ".bak\n" +
              rom + ": v64 -> little\n" +
              rom + ": renamed to " + renamed + "\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(rom + ".bak"), kV64Image);
    EXPECT_EQ(readFile(renamed), kLittleImage);
    EXPECT_FALSE(fileExists(rom));
}

// Such names come out whole in the order lines and in the error for a missing file.
TEST(Names, DetectsAndReportsNonAsciiNames) {
    ScratchFolder folder;
    const std::string rom = folder.path(u8"Zelda – ゼルダ.z64");
    writeFile(rom, kBigImage);
    const std::string missing = folder.path(u8"Mário 64.z64");

    const CliRun run = runCli({"detect", rom, missing});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, rom + ": big\n");
    EXPECT_EQ(run.err.rfind("dornavel-cli: " + missing + ": cannot read: ", 0), 0u) << run.err;
}
