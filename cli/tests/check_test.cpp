// The check command on real and synthetic ROMs.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "identity_samples.h"

namespace {

// A changed data byte shows both codes; a changed boot code cannot be checked until the
// chip is given; an unreadable file is one error line; every one of them fails the call.
TEST(Check, ChangedBytesAndUnreadableFilesFail) {
    Bytes image = realRomIn(ByteOrder::BigEndian);
    SKIP_WITHOUT_REAL_ROM(image);
    ScratchFolder folder;
    const std::string dir = folder.root().u8string();
    image[0x80000] ^= 0x10;
    writeFile(folder.path("data.z64"), image);
    image[0x80000] ^= 0x10;
    image[0x400] ^= 0x10;
    writeFile(folder.path("boot.z64"), image);

    const CliRun run = runCli({"check", "data.z64", "missing.z64", "boot.z64"}, dir);
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out; // the two verdicts, then the summary of the three names
    EXPECT_EQ(lines[2], "1 mismatch, 1 not verified, 1 failed");
    EXPECT_EQ(lines[0].rfind("data.z64: mismatch: header DDBA4DE5 B107004A, computed ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[0].find("computed DDBA4DE5 B107004A"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].rfind("boot.z64: not verified: boot code not recognised (CRC32 ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find("); give --cic CHIP"), std::string::npos) << lines[1];
    EXPECT_EQ(run.err.rfind("dornavel-cli: missing.z64: cannot read: ", 0), 0u) << run.err;
    EXPECT_EQ(readFile(folder.path("boot.z64")), image); // only read

    // The boot code is outside the checked data: with the chip given, the code holds.
    const CliRun forced = runCli({"check", "--cic", "6102", "boot.z64"}, dir);
    EXPECT_EQ(forced.status, 0);
    EXPECT_EQ(forced.out, "boot.z64: ok (CIC 6102/7101, given by --cic, image padded with zeros to 1052672 bytes)\n");
}

// The boot-code vectors of every family, each stamped into a full-size image with a zero
// boot code, pass only for their own chip.
TEST(Check, VectorsOfEveryFamilyThroughCic) {
    const struct {
        const char* chip;
        std::uint32_t crc1, crc2;
    } vectors[] = {
        {"6102", 0x31E282B9, 0xBA271CE1}, {"7103", 0xABA8B044, 0x30D2A660}, {"6105", 0x1746232F, 0xE87AF1D3},
        {"6106", 0x2D694D46, 0x9D1C8275}, {"5101", 0x5E408948, 0xB447D3FC},
    };
    ScratchFolder folder;
    const Bytes dummy = ipl3checksumDummy();
    for (const auto& v : vectors) {
        Bytes image = dummy;
        stampHeader(image, v.crc1, v.crc2, "DUMMY");
        writeFile(folder.path("rom"), image);
        const CliRun own = runCli({"check", "--cic", v.chip, "rom"}, folder.root().u8string());
        EXPECT_EQ(own.status, 0) << v.chip << own.out;
        EXPECT_EQ(own.out.rfind("rom: ok (CIC ", 0), 0u) << own.out;
        const CliRun other = runCli({"check", "--cic", "6101", "rom"}, folder.root().u8string());
        EXPECT_EQ(other.status, v.crc1 == 0x31E282B9 ? 0 : 1) << v.chip; // 6101 shares 6102's steps
    }
}

// Files too short or of no known order cannot be verified; a bad chip is a usage error.
TEST(Check, ShortFilesAndBadChips) {
    ScratchFolder folder;
    writeFile(folder.path("short.z64"), {0x80, 0x37, 0x12, 0x40, 0x00});
    writeFile(folder.path("text.txt"), Bytes(0x2000, 'a'));
    const CliRun run = runCli({"check", "short.z64", "text.txt"}, folder.root().u8string());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "short.z64: not verified: file shorter than the boot code (5 of 4096 bytes)\n"
              "text.txt: not verified: byte order not recognised\n"
              "2 not verified\n"); // the summary after several files

    const CliRun bad = runCli({"check", "--cic", "8303", "short.z64"}, folder.root().u8string());
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("unknown CHIP '8303'"), std::string::npos) << bad.err;
}

} // namespace
