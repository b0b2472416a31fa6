// dornavel-cli patch: a patch applied to a ROM in any order, into a new file, and every way
// it can be refused with nothing written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "core/recovery_record.h"
#include "core/text.h"
#include "identity/check_code.h"
#include "identity_samples.h"
#include "patch/tests/patch_samples.h"
#include "patch/tests/xdelta_samples.h"

namespace {

// The scratch folder with the sample ROM in v64 order as game.v64.
struct PatchFolder {
    ScratchFolder folder;
    std::string dir = folder.root().u8string();
    PatchFolder() { writeFile(folder.path("game.v64"), inOrder(sampleRom(), ByteOrder::DoctorV64)); }
    std::string path(const std::string& name) const { return folder.path(name); }
};

// Each format, made for big-endian, patches the v64 ROM into hack.v64 in v64 order; IPS says
// it took the order for granted. The synthetic ROM's boot code is no chip's.
TEST(PatchCommand, EachFormatPatchesAV64RomIntoANewFile) {
    const Bytes source = sampleRom(), target = sampleTarget();
    const struct {
        const char* name;
        Bytes patch;
        const char* basis;
    } cases[] = {
        {"hack.bps", encodeBps(source, target), "BPS made for big-endian"},
        {"hack.ups", encodeUps(source, target), "UPS made for big-endian"},
        {"hack.ips", encodeIps(source, target), "IPS with no check of its own, taken as made for big-endian"},
        {"hack.xdelta", Bytes(std::begin(kXdelta_made_for_big), std::end(kXdelta_made_for_big)),
         "xdelta made for big-endian"},
    };
    for (const auto& c : cases) {
        PatchFolder f;
        writeFile(f.path(c.name), c.patch);
        const CliRun run = runCli({"patch", "game.v64", c.name}, f.dir);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, std::string("game.v64 + ") + c.name + " -> hack.v64 (" + c.basis +
                               "; check codes not verified: boot code not recognised (CRC32 " +
                               hex32(crc32Update(0, target.data() + 0x40, 0xFC0)) + "); give --cic CHIP)\n");
        EXPECT_EQ(readFile(f.path("hack.v64")), inOrder(target, ByteOrder::DoctorV64)) << c.name;
        EXPECT_EQ(readFile(f.path("game.v64")), inOrder(source, ByteOrder::DoctorV64)); // only read
    }
}

// --to names the order and so the default extension; -o names the file.
TEST(PatchCommand, OrderAndNameOfTheNewFile) {
    PatchFolder f;
    writeFile(f.path("hack.bps"), encodeBps(inOrder(sampleRom(), ByteOrder::LittleEndian),
                                            inOrder(sampleTarget(), ByteOrder::LittleEndian)));
    const CliRun big = runCli({"patch", "--to", "z64", "game.v64", "hack.bps"}, f.dir);
    EXPECT_EQ(big.status, 0) << big.err;
    EXPECT_NE(big.out.find("-> hack.z64 (BPS made for little-endian;"), std::string::npos) << big.out;
    EXPECT_EQ(readFile(f.path("hack.z64")), sampleTarget());
    const CliRun little = runCli({"patch", "game.v64", "hack.bps", "--to", "little", "-o", "out/../my.rom"}, f.dir);
    EXPECT_EQ(little.status, 1); // no folder "out"
    EXPECT_EQ(little.err.rfind("dornavel-cli: out/../my.rom: cannot write: No such file or directory", 0), 0u)
        << little.err;
    const CliRun named = runCli({"patch", "game.v64", "hack.bps", "--to", "n64", "-o", "my.rom"}, f.dir);
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(readFile(f.path("my.rom")), inOrder(sampleTarget(), ByteOrder::LittleEndian));
    EXPECT_EQ(sortedNames(f.folder), (std::vector<std::string>{"game.v64", "hack.bps", "hack.z64", "my.rom"}));
}

// Every refusal is one line naming the file concerned, exit status 1, and no file written.
TEST(PatchCommand, RefusalsWriteNothing) {
    Bytes other = sampleRom();
    other[0x800] ^= 1;
    Bytes damaged = encodeBps(sampleRom(), sampleTarget());
    damaged.resize(damaged.size() - 1);
    const std::string wanted = hex32(crcOf(sampleRom()));
    const std::string has = hex32(crcOf(other));
    Bytes unknownCompressor(std::begin(kXdelta_fgk_big), std::end(kXdelta_fgk_big));
    unknownCompressor[5] = 7; // the compressor id: fgk (16) -> 7
    const struct {
        const char* name;
        Bytes rom;
        Bytes patch;
        std::string error;
    } cases[] = {
        {"another ROM", other, encodeBps(sampleRom(), sampleTarget()),
         "dornavel-cli: game.v64: this patch is for another ROM (it wants CRC-32 " + wanted + "; this ROM has " + has +
             " as big-endian)\n"},
        {"the patched ROM", sampleTarget(), encodeUps(sampleRom(), sampleTarget()),
         "dornavel-cli: game.v64: this ROM already has this patch applied\n"},
        {"a damaged patch", sampleRom(), damaged,
         "dornavel-cli: hack.bin: cannot apply: its own CRC-32 does not hold (truncated or damaged; get the patch "
         "again)\n"},
        {"a ROM as the patch", sampleRom(), sampleRom(),
         "dornavel-cli: hack.bin: not a patch in a format this program reads (BPS, UPS, IPS, xdelta, APS)\n"},
        {"xdelta for another ROM", other, Bytes(std::begin(kXdelta_made_for_big), std::end(kXdelta_made_for_big)),
         "dornavel-cli: game.v64: this patch is for another ROM (its checksums fail in every byte order)\n"},
        {"xdelta with a compressor xdelta3 does not have", sampleRom(), unknownCompressor,
         "dornavel-cli: hack.bin: cannot apply: it is compressed inside with a compressor xdelta3 does not have (id "
         "7, damaged?)\n"},
        {"not a ROM", Bytes(64, 'a'), encodeBps(sampleRom(), sampleTarget()),
         "dornavel-cli: game.v64: byte order not recognised (not an N64 ROM?); nothing written\n"},
    };
    for (const auto& c : cases) {
        PatchFolder f;
        writeFile(f.path("game.v64"), c.rom[0] == 'a' ? c.rom : inOrder(c.rom, ByteOrder::DoctorV64));
        writeFile(f.path("hack.bin"), c.patch);
        const CliRun run = runCli({"patch", "game.v64", "hack.bin"}, f.dir);
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_EQ(run.out, "") << c.name;
        EXPECT_EQ(run.err, c.error) << c.name;
        EXPECT_EQ(sortedNames(f.folder), (std::vector<std::string>{"game.v64", "hack.bin"})) << c.name;
    }
}

// A name taken is never replaced, whoever holds it; missing files are reported as unreadable.
TEST(PatchCommand, ExistingFilesAreNeverReplaced) {
    PatchFolder f;
    writeFile(f.path("hack.bps"), encodeBps(sampleRom(), sampleTarget()));
    writeFile(f.path("hack.v64"), {1, 2, 3});
    const CliRun taken = runCli({"patch", "game.v64", "hack.bps"}, f.dir);
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.err, "dornavel-cli: hack.v64: already exists; nothing written (name the new file with -o)\n");
    EXPECT_EQ(readFile(f.path("hack.v64")), (Bytes{1, 2, 3}));
    // The ROM itself as the new file.
    const CliRun self = runCli({"patch", "game.v64", "hack.bps", "-o", "game.v64"}, f.dir);
    EXPECT_EQ(self.status, 1);
    EXPECT_EQ(readFile(f.path("game.v64")), inOrder(sampleRom(), ByteOrder::DoctorV64));
    const CliRun missing = runCli({"patch", "game.v64", "none.bps", "-o", "x.v64"}, f.dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "dornavel-cli: none.bps: cannot read: No such file or directory\n");
    EXPECT_FALSE(fileExists(f.path("x.v64")));
}

// A ROM that holds an interrupted update is in no one order: refused with what mends it,
// and not read.
TEST(PatchCommand, RomWithAnInterruptedUpdateIsRefused) {
    PatchFolder f;
    writeFile(f.path("hack.bps"), encodeBps(sampleRom(), sampleTarget()));
    const unsigned char oldBytes[2] = {0x12, 0x40}, newBytes[2] = {0x00, 0x00};
    RecoveryRecord record;
    std::string reason;
    ASSERT_TRUE(record.writeReplacement(f.path("game.v64"), FileIdentity(), 8192, 2, oldBytes, newBytes, 2, reason)) << reason;
    ASSERT_TRUE(record.seal(reason)) << reason;
    const CliRun run = runCli({"patch", "game.v64", "hack.bps"}, f.dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dornavel-cli: game.v64: holds an interrupted rewrite of 2 bytes at offset 2, recorded in "
                       "game.v64.dornavel-recovery; 'dornavel-cli convert --to ORDER' on it, or opening it in the "
                       "window, finishes it\n");
    EXPECT_FALSE(fileExists(f.path("hack.v64")));
}

// A write-protected ROM in a read-only folder is read; the new file goes elsewhere.
TEST(PatchCommand, ReadOnlyRomIsOnlyRead) {
    PatchFolder f;
    const std::string shelf = f.path("shelf");
    std::filesystem::create_directory(shelf);
    writeFile(f.path("shelf/game.v64"), inOrder(sampleRom(), ByteOrder::DoctorV64));
    writeFile(f.path("hack.bps"), encodeBps(sampleRom(), sampleTarget()));
    chmod(f.path("shelf/game.v64").c_str(), 0444);
    chmod(shelf.c_str(), 0555);
    const CliRun run = runCli({"patch", "shelf/game.v64", "hack.bps", "-o", "hack.v64"}, f.dir, Permissions::Enforced);
    chmod(shelf.c_str(), 0755);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(f.path("hack.v64")), inOrder(sampleTarget(), ByteOrder::DoctorV64));
}

TEST(PatchCommand, UsageErrors) {
    PatchFolder f;
    const std::vector<std::vector<std::string>> calls = {
        {"patch", "game.v64"}, {"patch", "--to", "middle", "game.v64", "hack.bps"}, {"patch", "a", "b", "c"}};
    for (const auto& call : calls) {
        const CliRun run = runCli(call, f.dir);
        EXPECT_EQ(run.status, 2) << call.back();
        EXPECT_NE(run.err.find("Usage: dornavel-cli patch [OPTIONS] ROM PATCH\n"), std::string::npos) << run.err;
    }
}

// The real ROM (v64): an IPS patch that changes data and writes the matching check code,
// made for v64. Taken as big-endian it lands on the wrong bytes and the check codes tell;
// with --patch-order v64 they hold.
TEST(PatchCommand, IpsWarnsWhenTheCheckCodesFail) {
    Bytes v64 = realRom();
    SKIP_WITHOUT_REAL_ROM(v64);
    Bytes big = realRomIn(ByteOrder::BigEndian);
    big[0x5000] ^= 0xFF;
    CheckCode code;
    ASSERT_TRUE(computeCheckCode(BootChip::Cic6102, big.data(), big.size(), 0, code));
    stampHeader(big, code.crc1, code.crc2, "Mupen64Plus");
    ScratchFolder folder;
    writeFile(folder.path("demo.v64"), v64);
    writeFile(folder.path("fix.ips"), encodeIps(v64, inOrder(big, ByteOrder::DoctorV64)));
    const CliRun assumed = runCli({"patch", "demo.v64", "fix.ips", "-o", "a.v64"}, folder.root().u8string());
    EXPECT_EQ(assumed.status, 0);
    EXPECT_NE(assumed.out.find("(IPS with no check of its own, taken as made for big-endian; check codes do not hold: "),
              std::string::npos)
        << assumed.out;
    EXPECT_EQ(assumed.err, "dornavel-cli: a.v64: warning: its check codes do not hold: the patch may be for another "
                           "byte order (give --patch-order ORDER) or another ROM\n");
    const CliRun given = runCli({"patch", "--patch-order", "v64", "demo.v64", "fix.ips"}, folder.root().u8string());
    EXPECT_EQ(given.status, 0);
    EXPECT_EQ(given.out, "demo.v64 + fix.ips -> fix.v64 (IPS made for v64, as --patch-order says; check codes ok)\n");
    EXPECT_EQ(given.err, "");
    EXPECT_EQ(readFile(folder.path("fix.v64")), inOrder(big, ByteOrder::DoctorV64));
}

} // namespace

namespace {

// --json: one object for the call, the keys of docs/json.md in their order; a refusal is an
// object with the error standard error shows.
TEST(PatchCommand, JsonTellsThePatchedFileOrTheError) {
    PatchFolder f;
    writeFile(f.path("hack.ips"), encodeIps(sampleRom(), sampleTarget()));
    const CliRun run = runCli({"patch", "--json", "game.v64", "hack.ips"}, f.dir);
    EXPECT_EQ(run.status, 0) << run.err;
    const nlohmann::ordered_json document = nlohmann::ordered_json::parse(run.out);
    ASSERT_EQ(document.size(), 1u) << run.out;
    const auto& object = document[0];
    std::vector<std::string> keys;
    for (const auto& item : object.items()) keys.push_back(item.key());
    // "outcome" right after the file, as in every command's objects
    EXPECT_EQ(keys, (std::vector<std::string>{"file", "outcome", "patch", "output", "format", "patch_order",
                                              "patch_order_basis", "output_order", "check", "warning"}));
    EXPECT_EQ(object["file"], "game.v64");
    EXPECT_EQ(object["outcome"], "patched");
    EXPECT_EQ(object["output"], "hack.v64");
    EXPECT_EQ(object["format"], "IPS");
    EXPECT_EQ(object["patch_order"], "big");
    EXPECT_EQ(object["patch_order_basis"], "assumed"); // IPS carries no check
    EXPECT_EQ(object["output_order"], "v64");
    EXPECT_EQ(object["check"]["verdict"], "not verified");
    EXPECT_TRUE(object["warning"].is_null());

    const CliRun taken = runCli({"patch", "--json", "game.v64", "hack.ips"}, f.dir);
    EXPECT_EQ(taken.status, 1);
    const nlohmann::ordered_json refused = nlohmann::ordered_json::parse(taken.out);
    ASSERT_EQ(refused.size(), 1u) << taken.out;
    EXPECT_EQ(refused[0]["file"], "hack.v64");
    EXPECT_EQ(refused[0]["error"], "already exists; nothing written (name the new file with -o)");
}

} // namespace

// A result larger than the file size limit (the sample target is 1 KiB longer than the ROM)
// is refused before anything is written, rather than the program being stopped by SIGXFSZ
// halfway; nothing is left of the new file.
TEST(PatchCommand, AResultPastTheSizeLimitIsRefusedBeforeItIsWritten) {
    PatchFolder f;
    writeFile(f.path("grow.ips"), encodeIps(sampleRom(), sampleTarget()));
    RunningCli running = startCli({"patch", "game.v64", "grow.ips"}, f.dir, 8192 + 512);
    const CliRun run = finishCli(running);
    EXPECT_EQ(run.status, 1) << run.err; // not 128 + SIGXFSZ
    EXPECT_EQ(run.err, "dornavel-cli: grow.v64: cannot write: this process may write files of at most 8704 bytes "
                       "(the file size limit, ulimit -f), and the file has 9216; nothing written\n");
    EXPECT_EQ(sortedNames(f.folder), (std::vector<std::string>{"game.v64", "grow.ips"}));
}
