// The convert command on small images: every pair of orders, files already in the target
// order, and files whose order is not recognised.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "cli_runner.h"
#include "rom_images.h"

namespace fs = std::filesystem;

class ConvertPair : public testing::TestWithParam<OrderPair> {};

// The file ends up holding the same ROM in the target order, byte for byte, and one line
// says what was done.
TEST_P(ConvertPair, RewritesTheFileInTheTargetOrder) {
    const OrderPair pair = GetParam();
    ScratchFolder folder;
    writeFile(folder.path("rom"), imageIn(pair.from));

    const CliRun run = runCli({"convert", "--to", pair.to, "rom"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, std::string("rom: ") + pair.from + " -> " + pair.to + "\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(folder.path("rom")), imageIn(pair.to));
}

INSTANTIATE_TEST_SUITE_P(EveryPair, ConvertPair, testing::ValuesIn(kEveryConversion), pairName);

// A file already in the target order is not opened for writing at all: its modification
// time, set far into the past beforehand, is still the same, and no backup appears.
TEST(Convert, LeavesAFileAlreadyInTheTargetOrderUntouched) {
    ScratchFolder folder;
    const std::string rom = folder.path("rom.z64");
    writeFile(rom, kBigImage);
    const fs::file_time_type past = fs::last_write_time(rom) - std::chrono::hours(24 * 365);
    fs::last_write_time(rom, past);

    const CliRun run = runCli({"convert", "--to", "big", "--backup", "--rename", "rom.z64"},
                              folder.root().u8string());

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "rom.z64: already big, left untouched\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(rom), kBigImage);
    EXPECT_EQ(fs::last_write_time(rom), past);
    EXPECT_FALSE(fileExists(rom + ".bak"));
    EXPECT_FALSE(fileExists(folder.path("rom.rom")));
}

// Without --from, a file whose first byte names no order is skipped, unchanged, and the
// call fails.
TEST(Convert, SkipsAnUnrecognisedFile) {
    ScratchFolder folder;
    const Bytes text{0x12, 0x34, 0x56, 0x78}; // first byte 12: no order
    writeFile(folder.path("data.bin"), text);

    const CliRun run = runCli({"convert", "--to", "little", "--backup", "data.bin"}, folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("dornavel-cli: data.bin: skipped: ", 0), 0u) << run.err;
    EXPECT_EQ(readFile(folder.path("data.bin")), text);
    EXPECT_FALSE(fileExists(folder.path("data.bin.bak")));
}

// With --from, the same file is taken to be in that order: from big to little each 4-byte
// group is reversed.
TEST(Convert, ConvertsAnUnrecognisedFileFromTheOrderGiven) {
    ScratchFolder folder;
    writeFile(folder.path("data.bin"), {0x12, 0x34, 0x56, 0x78});

    const CliRun run = runCli({"convert", "--from", "big", "--to", "little", "data.bin"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "data.bin: big -> little\n");
    EXPECT_EQ(readFile(folder.path("data.bin")), (Bytes{0x78, 0x56, 0x34, 0x12}));
}

// --from wins over the recognised order: a little-endian image taken as Doctor V64 only
// has its 2-byte pairs exchanged on the way to big-endian.
TEST(Convert, TakesTheFromOrderOverTheRecognisedOne) {
    ScratchFolder folder;
    writeFile(folder.path("rom"), kLittleImage);

    const CliRun run = runCli({"convert", "--from", "v64", "--to", "big", "rom"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "rom: v64 -> big\n");
    EXPECT_EQ(readFile(folder.path("rom")), (Bytes{0x12, 0x40, 0x80, 0x37, 0x00, 0x0F, 0x00, 0x00}));
}

// The file keeps its length: from big-endian to little-endian the incomplete last group
// AA BB stays as it is; to Doctor V64 it is a complete pair and is exchanged.
TEST(Convert, KeepsTheLengthOfAFileWithAnIncompleteLastGroup) {
    ScratchFolder folder;
    writeFile(folder.path("a"), {0x80, 0x37, 0x12, 0x40, 0xAA, 0xBB});
    writeFile(folder.path("b"), {0x80, 0x37, 0x12, 0x40, 0xAA, 0xBB});

    EXPECT_EQ(runCli({"convert", "--to", "little", "a"}, folder.root().u8string()).status, 0);
    EXPECT_EQ(runCli({"convert", "--to", "v64", "b"}, folder.root().u8string()).status, 0);

    EXPECT_EQ(readFile(folder.path("a")), (Bytes{0x40, 0x12, 0x37, 0x80, 0xAA, 0xBB}));
    EXPECT_EQ(readFile(folder.path("b")), (Bytes{0x37, 0x80, 0x40, 0x12, 0xBB, 0xAA}));
}

// Converting there and back again restores the file, and each run starts from the order
// the file is in now.
TEST(Convert, RoundTripRestoresTheFile) {
    ScratchFolder folder;
    writeFile(folder.path("rom"), kBigImage);
    const std::string dir = folder.root().u8string();

    const CliRun toLittle = runCli({"convert", "--to", "little", "rom"}, dir);
    const CliRun toV64 = runCli({"convert", "--to", "v64", "rom"}, dir);
    const CliRun toBig = runCli({"convert", "--to", "big", "rom"}, dir);

    EXPECT_EQ(toLittle.out, "rom: big -> little\n");
    EXPECT_EQ(toV64.out, "rom: little -> v64\n");
    EXPECT_EQ(toBig.out, "rom: v64 -> big\n");
    EXPECT_EQ(readFile(folder.path("rom")), kBigImage);
}
