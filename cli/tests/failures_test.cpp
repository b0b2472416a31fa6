// Files that cannot be converted: each is reported by name, the others are still converted
// and the call fails.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "cli_runner.h"
#include "rom_images.h"

namespace fs = std::filesystem;

// Good, unrecognised, folder (without -r) and missing files in one call, in that mix: the
// good ones are converted, each other one is named in one error. The folder is found out
// while the arguments are read, before any file is converted, so its error comes first.
TEST(ConvertFailures, ReportsEachBadFileAndConvertsTheRest) {
    ScratchFolder folder;
    const Bytes text{0x00, 0x01, 0x02, 0x03}; // first byte 00: no order
    writeFile(folder.path("a.z64"), kBigImage);
    writeFile(folder.path("b.dat"), text);
    fs::create_directory(folder.root() / "c.z64");
    writeFile(folder.path("e.v64"), kV64Image);

    const CliRun run = runCli({"convert", "--to", "little", "a.z64", "b.dat", "c.z64", "d.z64", "e.v64"},
                              folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "a.z64: big -> little\ne.v64: v64 -> little\n"
                       "2 converted, 1 skipped (not ROMs), 2 failed\n");
    const std::vector<std::string> errors = linesOf(run.err);
    ASSERT_EQ(errors.size(), 3u) << run.err;
    EXPECT_EQ(errors[0], "dornavel-cli: c.z64: is a folder; give -r to go through it");
    EXPECT_EQ(errors[1].rfind("dornavel-cli: b.dat: skipped: ", 0), 0u) << errors[1];
    EXPECT_EQ(errors[2], std::string("dornavel-cli: d.z64: cannot read: ") + std::strerror(ENOENT));
    EXPECT_EQ(readFile(folder.path("a.z64")), kLittleImage);
    EXPECT_EQ(readFile(folder.path("b.dat")), text);
    EXPECT_TRUE(fs::is_directory(folder.root() / "c.z64"));
    EXPECT_FALSE(fileExists(folder.path("d.z64")));
    EXPECT_EQ(readFile(folder.path("e.v64")), kLittleImage);
}

// With --from an unrecognised file is converted, but a missing one is still an error.
TEST(ConvertFailures, ReportsAMissingFileEvenWithFrom) {
    ScratchFolder folder;
    writeFile(folder.path("data"), {0x01, 0x02, 0x03, 0x04}); // first byte 01: no order

    const CliRun run = runCli({"convert", "--from", "v64", "--to", "big", "gone", "data"}, folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "data: v64 -> big\n1 converted, 1 failed\n");
    EXPECT_EQ(run.err.rfind("dornavel-cli: gone: cannot read: ", 0), 0u) << run.err;
    // From Doctor V64 to big-endian each 2-byte pair is exchanged.
    EXPECT_EQ(readFile(folder.path("data")), (Bytes{0x02, 0x01, 0x04, 0x03}));
}

// A folder where the backup should go: the backup fails, naming the .bak, and the ROM
// keeps its old bytes; the next file is still converted with its backup.
TEST(ConvertFailures, LeavesTheRomUntouchedWhenItsBackupFails) {
    ScratchFolder folder;
    writeFile(folder.path("first.z64"), kBigImage);
    fs::create_directory(folder.root() / "first.z64.bak");
    writeFile(folder.path("second.z64"), kBigImage);

    const CliRun run = runCli({"convert", "--backup", "--to", "little", "first.z64", "second.z64"},
                              folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "second.z64: backup written to second.z64.bak\n"
              "second.z64: big -> little\n"
              "1 converted, 1 failed\n");
    const std::vector<std::string> errors = linesOf(run.err);
    ASSERT_EQ(errors.size(), 1u) << run.err;
    EXPECT_EQ(errors[0].rfind("dornavel-cli: first.z64: cannot write the backup first.z64.bak: ", 0), 0u)
        << errors[0];
    EXPECT_EQ(readFile(folder.path("first.z64")), kBigImage);
    EXPECT_TRUE(fs::is_directory(folder.root() / "first.z64.bak"));
    EXPECT_EQ(readFile(folder.path("second.z64")), kLittleImage);
    EXPECT_EQ(readFile(folder.path("second.z64.bak")), kBigImage);
}

// A file of 2 GiB is beyond the sizes handled; it is refused before any memory is taken for
// it. The file is sparse, so it costs no disk space.
TEST(ConvertFailures, RefusesAFileOf2GiB) {
    ScratchFolder folder;
    const std::string huge = folder.path("huge.z64");
    writeFile(huge, {0x80});
    const std::uintmax_t size = std::uintmax_t(1) << 31;
    fs::resize_file(fs::u8path(huge), size);

    const CliRun run = runCli({"convert", "--to", "little", "huge.z64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("dornavel-cli: huge.z64: too large to convert: ", 0), 0u) << run.err;
    EXPECT_EQ(fs::file_size(fs::u8path(huge)), size);
}
