// The fix command, and what the reading commands say of a ROM left with an interrupted
// update.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "core/recovery_record.h"
#include "identity_samples.h"

namespace {

// The real ROM in order with its codes replaced by 12345678 9ABCDEF0.
Bytes realRomWithWrongCodes(ByteOrder order) {
    Bytes image = realRomIn(ByteOrder::BigEndian);
    if (image.empty()) return image;
    stampHeader(image, 0x12345678, 0x9ABCDEF0, "Mupen64Plus");
    convertFromBig(image.data(), image.size(), order);
    return image;
}

// Wrong codes are replaced by the computed ones in the file's own order, after a backup
// when asked; a file already right is said so; a boot code not recognised is refused unless
// --cic names the chip; the summary counts them.
TEST(FixCommand, WritesTheComputedCodes) {
    const Bytes wrong = realRomWithWrongCodes(ByteOrder::DoctorV64);
    SKIP_WITHOUT_REAL_ROM(wrong);
    ScratchFolder folder;
    const std::string dir = folder.root().u8string();
    writeFile(folder.path("wrong.v64"), wrong);
    writeFile(folder.path("right.n64"), realRomIn(ByteOrder::LittleEndian));
    Bytes homebrew = realRomIn(ByteOrder::BigEndian);
    homebrew[0x400] ^= 0x10; // a boot code no chip is recognised by
    writeFile(folder.path("homebrew.z64"), homebrew);

    const CliRun run = runCli({"fix", "--backup", "wrong.v64", "right.n64", "homebrew.z64"}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "wrong.v64: backup written to wrong.v64.bak\n"
                       "wrong.v64: check codes 12345678 9ABCDEF0 -> DDBA4DE5 B107004A\n"
                       "right.n64: check codes DDBA4DE5 B107004A already right, left untouched\n"
                       "1 fixed, 1 already right, 1 failed\n");
    EXPECT_EQ(run.err.rfind("dornavel-cli: homebrew.z64: not fixed: boot code not recognised (CRC32 ", 0), 0u)
        << run.err;
    EXPECT_EQ(readFile(folder.path("wrong.v64")), realRomIn(ByteOrder::DoctorV64)); // only the codes changed
    EXPECT_EQ(readFile(folder.path("wrong.v64.bak")), wrong);
    EXPECT_FALSE(fileExists(folder.path("right.n64.bak")));
    EXPECT_EQ(readFile(folder.path("homebrew.z64")), homebrew);

    // The JSON of a fix names its backup; a file that cannot be opened is one error.
    writeFile(folder.path("wrong.v64"), wrong);
    const CliRun json = runCli({"fix", "--json", "--backup", "wrong.v64", "missing.z64"}, dir);
    EXPECT_EQ(json.status, 1);
    const nlohmann::json objects = nlohmann::json::parse(json.out);
    ASSERT_EQ(objects.size(), 2u) << json.out;
    EXPECT_EQ(objects[0]["outcome"], "fixed");
    EXPECT_EQ(objects[0]["header_crc"], "12345678 9ABCDEF0");
    EXPECT_EQ(objects[0]["computed"], "DDBA4DE5 B107004A");
    EXPECT_EQ(objects[0]["backup"], "wrong.v64.bak");
    EXPECT_TRUE(objects[0]["finished"].is_null());
    EXPECT_EQ(objects[1]["error"].get<std::string>().rfind("cannot open for update: ", 0), 0u) << json.out;
    EXPECT_EQ(json.err.rfind("dornavel-cli: missing.z64: cannot open for update: ", 0), 0u) << json.err;

    // The boot code lies outside the checked data: for the chip given, the codes hold.
    const CliRun forced = runCli({"fix", "--cic", "6102", "homebrew.z64"}, dir);
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(forced.out, "homebrew.z64: check codes DDBA4DE5 B107004A already right, left untouched\n");

    // Quiet: no line for a file left untouched, only the summary.
    const CliRun quiet = runCli({"fix", "-q", "--cic", "6102", "homebrew.z64", "right.n64"}, dir);
    EXPECT_EQ(quiet.out, "2 already right\n");
}

// A ROM whose update was stopped halfway is refused by the commands that only read it; fix,
// which writes on the update road, brings the update to its end first and says so.
TEST(FixCommand, InterruptedUpdateRefusedByReadersAndFinishedByFix) {
    const Bytes wrong = realRomWithWrongCodes(ByteOrder::BigEndian);
    SKIP_WITHOUT_REAL_ROM(wrong);
    ScratchFolder folder;
    const std::string rom = folder.path("demo.z64");
    writeFile(rom, wrong);
    // A record of a change of the codes to the right ones, as a fix stopped after the record
    // was made durable would leave it.
    const unsigned char oldCodes[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    const unsigned char newCodes[] = {0xDD, 0xBA, 0x4D, 0xE5, 0xB1, 0x07, 0x00, 0x4A};
    {
        RecoveryRecord record;
        std::string reason;
        ASSERT_TRUE(record.writeReplacement(rom, FileIdentity(), static_cast<std::int64_t>(wrong.size()), 0x10, oldCodes,
                                            newCodes, 8, reason) &&
                    record.seal(reason))
            << reason;
    }
    const std::string refusal = "dornavel-cli: demo.z64: holds an interrupted rewrite of 8 bytes at offset 16, recorded in "
                                "demo.z64.dornavel-recovery; "
                                "'dornavel-cli convert --to ORDER' on it, or opening it in the window, finishes it";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"check", "demo.z64"},
                                                 std::vector<std::string>{"info", "demo.z64"}}) {
        const CliRun run = runCli(args, folder.root().u8string());
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_EQ(run.out, "") << args[0];
        EXPECT_EQ(run.err, refusal + "\n") << args[0];
    }
    writeText(folder.path("n64.dat"), "clrmamepro ( name \"X\" )\n");
    const CliRun rename = runCli({"rename", "--dat", "n64.dat", "demo.z64"}, folder.root().u8string());
    EXPECT_EQ(rename.err, refusal + "\n");

    const CliRun fix = runCli({"fix", "demo.z64"}, folder.root().u8string());
    EXPECT_EQ(fix.status, 0) << fix.err;
    EXPECT_EQ(fix.out, "demo.z64: an interrupted rewrite of 8 bytes at offset 16 was finished\n"
                       "demo.z64: check codes DDBA4DE5 B107004A already right, left untouched\n");
    EXPECT_EQ(readFile(rom), realRomIn(ByteOrder::BigEndian));
    EXPECT_FALSE(fileExists(recoveryRecordPath(rom)));
}

} // namespace
