// dornavel-cli make-patch: a patch from two ROMs in different orders, its line and JSON, the
// patch applied back with dornavel-cli patch, and the refusals that write nothing.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "identity_samples.h"
#include "core/tests/archive_samples.h"
#include "patch/tests/patch_samples.h"

namespace {

// The sample ROM with 2,000 bytes more that repeat nothing (a linear congruential
// generator's high bytes), so that the patch carries them.
Bytes hackOfSample() {
    Bytes hack = sampleRom();
    std::uint32_t state = 24;
    for (int i = 0; i < 2000; ++i) {
        state = state * 1103515245u + 12345u;
        hack.push_back(static_cast<unsigned char>(state >> 24));
    }
    return hack;
}

// A folder with the sample ROM as game.v64 and its hack as hack.z64.
struct MakeFolder {
    ScratchFolder folder;
    std::string dir = folder.root().u8string();
    MakeFolder() {
        writeFile(folder.path("game.v64"), inOrder(sampleRom(), ByteOrder::DoctorV64));
        writeFile(folder.path("hack.z64"), hackOfSample());
    }
    std::string path(const std::string& name) const { return folder.path(name); }
};

// The line names both ROMs, the new file, its format, order and size (grouped by thousands);
// dornavel-cli patch then makes the hack of the v64 ROM, in its order.
TEST(MakePatchCommand, PatchFromAV64OriginalAppliesBack) {
    MakeFolder f;
    const CliRun run = runCli({"make-patch", "game.v64", "hack.z64"}, f.dir);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::size_t size = readFile(f.path("hack.bps")).size();
    ASSERT_GT(size, 2000u); // the new bytes, the header and the actions
    ASSERT_LT(size, 2100u);
    const std::string grouped = "2," + std::to_string(size % 1000 + 1000).substr(1);
    EXPECT_EQ(run.out, "hack.z64 from game.v64 -> hack.bps (BPS for big-endian, " + grouped + " bytes)\n");
    EXPECT_EQ(run.err, "");
    const CliRun back = runCli({"patch", "game.v64", "hack.bps", "-o", "again.v64"}, f.dir);
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(readFile(f.path("again.v64")), inOrder(hackOfSample(), ByteOrder::DoctorV64));
}

// --format, --for and -o; the JSON object of the patch made; the same ROM twice.
TEST(MakePatchCommand, OptionsJsonAndIdenticalRoms) {
    MakeFolder f;
    const CliRun run = runCli({"make-patch", "--json", "--format", "XDELTA", "--for", "n64", "-o", "p.vcdiff",
                               "game.v64", "hack.z64"}, f.dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json object = nlohmann::json::parse(run.out).at(0);
    EXPECT_EQ(object.at("file"), "hack.z64");
    EXPECT_EQ(object.at("original_order"), "v64");
    EXPECT_EQ(object.at("modified_order"), "big");
    EXPECT_EQ(object.at("format"), "xdelta");
    EXPECT_EQ(object.at("patch_order"), "little");
    EXPECT_EQ(object.at("size"), readFile(f.path("p.vcdiff")).size());
    EXPECT_EQ(object.at("identical"), false);

    writeFile(f.path("same.n64"), inOrder(sampleRom(), ByteOrder::LittleEndian));
    const CliRun same = runCli({"make-patch", "--format", "ips", "game.v64", "same.n64"}, f.dir);
    EXPECT_EQ(same.status, 0) << same.err;
    // "PATCH" and "EOF": no record.
    EXPECT_EQ(same.out, "same.n64 from game.v64 -> same.ips (IPS for big-endian, 8 bytes; the two ROMs are the "
                        "same, so it changes nothing)\n");
}

// Each refusal with its message and status; nothing is written.
TEST(MakePatchCommand, RefusalsWriteNothing) {
    MakeFolder f;
    writeFile(f.path("notes.txt"), Bytes(64, 'a'));
    writeFile(f.path("game.7z"), kSmall7z); // begins 37 7A: a v64 ROM by its first byte alone
    writeFile(f.path("taken.bps"), Bytes(3, 0));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"make-patch", "game.v64", "notes.txt"}, 1,
         "dornavel-cli: notes.txt: byte order not recognised (not an N64 ROM?); nothing written\n"},
        {{"make-patch", "game.7z", "hack.z64"}, 1, "dornavel-cli: game.7z: a 7z archive, not a ROM; nothing written\n"},
        {{"make-patch", "-o", "taken.bps", "game.v64", "hack.z64"}, 1,
         "dornavel-cli: taken.bps: already exists; nothing written (name the patch with -o)\n"},
        {{"make-patch", "none.z64", "hack.z64"}, 1, ""},
        {{"make-patch", "--format", "aps", "game.v64", "hack.z64"}, 2, ""},
        {{"make-patch", "--format", "ups", "--metadata", "me", "game.v64", "hack.z64"}, 2,
         "dornavel-cli: --metadata is for BPS patches only\nUsage: dornavel-cli make-patch"},
    };
    for (const auto& c : cases) {
        const CliRun run = runCli(c.args, f.dir);
        EXPECT_EQ(run.status, c.status) << c.args[1];
        EXPECT_EQ(run.out, "") << c.args[1];
        if (!c.err.empty()) {
            EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.args[1];
        }
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_FALSE(fileExists(f.path("hack.bps")));
    EXPECT_FALSE(fileExists(f.path("notes.bps")));
    EXPECT_FALSE(fileExists(f.path("hack.ups")));
    EXPECT_EQ(readFile(f.path("taken.bps")), Bytes(3, 0));
}

} // namespace
