// xdelta3's secondary compression: a djw section written bit by bit, with the reason of each
// group of bits, and the same section with a table that lies; a corrupt lzma stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "patch/patch.h"
#include "patch/secondary.h"
#include "patch_samples.h"
#include "xdelta_samples.h"

namespace {

// Packs bits given in the order they are read ('0' and '1'; spaces only for the eye) as djw
// reads them: the lowest bit of each byte first.
Bytes packBits(const std::string& text) {
    Bytes bytes;
    unsigned count = 0;
    for (char c : text) {
        if (c == ' ') continue;
        if (count % 8 == 0) bytes.push_back(0);
        if (c == '1') bytes.back() |= static_cast<unsigned char>(1u << (count % 8));
        ++count;
    }
    return bytes;
}

// "ABBA" in one table where 'A' and 'B' have 1-bit codes and no other byte has one. The
// code lengths, moved to front from 0 4 5 6 7 8 9 10 3 11 2 12 13 1 ..., are 65 zeros (runs
// 1+2*2+4+8+16+32: RUN_0 RUN_1 RUN_0 RUN_0 RUN_0 RUN_0), 1 at position 13 (symbol 14),
// 1 again (a run of 1: RUN_0), 0 at position 1 (symbol 2), then 188 zeros (2+1*2+2*4+2*8+
// 2*16+2*32+1*64: RUN_1 RUN_0 RUN_1 RUN_1 RUN_1 RUN_1 RUN_0). The code of those symbols
// gives 0, 1, 2 and 14 two bits each (00, 01, 10, 11 in canonical order).
std::string abbaBits(const char* lengthOfSymbol14) {
    return std::string("000")                                  // one table (count less one)
           + "1000"                                            // 8 code lengths beyond the basic 7: 15
           + "0010 0010 0010 0000 0000 0000 0000"              // symbols 0-6: 0, 1, 2 have 2 bits
           + "0000 0000 0000 0000 0000 0000 0000 " + lengthOfSymbol14 // symbols 7-14
           + "00 01 00 00 00 00"                               // 65 zeros
           + "11 00"                                           // 1 (position 13), 1 again
           + "10 01 00 01 01 01 01 00"                         // 0 (position 1), 188 zeros
           + "0 1 1 0";                                        // A B B A
}

TEST(PatchSecondary, DjwSectionDecodes) {
    const Bytes in = packBits(abbaBits("0010"));
    unsigned char out[4] = {};
    std::string reason;
    ASSERT_TRUE(decodeDjw(in.data(), in.size(), out, sizeof out, reason)) << reason;
    EXPECT_EQ(std::string(out, out + 4), "ABBA");
}

// A table that lies: symbol 14 given 1 bit, so four codes claim more than two bits hold; a
// section with a byte left over; one asked for more bytes than its bits hold.
TEST(PatchSecondary, DjwLiesAreRefused) {
    unsigned char out[6] = {};
    std::string reason;
    const Bytes lying = packBits(abbaBits("0001"));
    EXPECT_FALSE(decodeDjw(lying.data(), lying.size(), out, 4, reason));
    EXPECT_EQ(reason, "a djw-compressed section does not decode");
    Bytes longer = packBits(abbaBits("0010"));
    longer.push_back(0);
    EXPECT_FALSE(decodeDjw(longer.data(), longer.size(), out, 4, reason));
    EXPECT_EQ(reason, "a djw-compressed section has bytes left over");
    const Bytes exact = packBits(abbaBits("0010"));
    // 103 bits in 13 bytes leave one for a fifth byte, not for a sixth.
    EXPECT_FALSE(decodeDjw(exact.data(), exact.size(), out, 6, reason));
    EXPECT_FALSE(decodeDjw(exact.data(), exact.size(), out, 0, reason)); // a section is never empty
}

// The xz stream's magic (FD 37 7A 58 5A 00) in xdelta3's default patch, changed: the patch
// is refused as damaged, with no result, in any order.
TEST(PatchSecondary, CorruptLzmaStreamIsRefused) {
    if (!LzmaSections::available()) GTEST_SKIP() << "this build does not read lzma";
    Bytes patch(std::begin(kXdelta_default_big), std::end(kXdelta_default_big));
    const unsigned char magic[] = {0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00};
    const auto at = std::search(patch.begin(), patch.end(), magic, magic + 6);
    ASSERT_NE(at, patch.end());
    at[3] ^= 0x20;
    Bytes rom = inOrder(sampleRom(), ByteOrder::LittleEndian);
    PatchOutcome outcome;
    PatchError error;
    EXPECT_FALSE(applyPatch(rom.data(), rom.size(), ByteOrder::LittleEndian, patch.data(), patch.size(),
                            ByteOrder::None, outcome, error));
    EXPECT_EQ(error.refusal, PatchRefusal::Damaged);
    EXPECT_EQ(error.reason, "an lzma-compressed section does not decode (damaged)");
    EXPECT_EQ(outcome.result.size(), 0u);
}

} // namespace
