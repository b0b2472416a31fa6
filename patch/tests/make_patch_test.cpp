// The encoders: every format made for every order round-trips through the appliers to the
// ROM in every order; longer, shorter, equal and rearranged images; BPS finds copies from
// anywhere; IPS's limits; xdelta3 itself applies the VCDIFF patches made here.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "patch/make_patch.h"
#include "patch_samples.h"

namespace {

const ByteOrder kOrders[] = {ByteOrder::BigEndian, ByteOrder::DoctorV64, ByteOrder::LittleEndian};
const PatchFormat kFormats[] = {PatchFormat::Bps, PatchFormat::Ups, PatchFormat::Ips, PatchFormat::Vcdiff};

// count bytes drawn from a seeded generator, after the big-endian first word.
Bytes randomRom(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    Bytes b(count);
    for (unsigned char& x : b) x = static_cast<unsigned char>(random());
    const unsigned char first[] = {0x80, 0x37, 0x12, 0x40};
    std::copy(first, first + 4, b.begin());
    return b;
}

Bytes made(PatchFormat format, const Bytes& original, const Bytes& modified, const std::string& metadata = "") {
    PatchSource source{original.data(), original.size(), modified.data(), modified.size(), metadata};
    Bytes patch;
    std::string reason;
    EXPECT_TRUE(makePatch(format, source, patch, reason)) << reason;
    return patch;
}

// The result of patch on rom (in romOrder), with the order it was applied in; IPS is told
// the order it was made for.
Bytes applied(const Bytes& patch, Bytes rom, ByteOrder romOrder, ByteOrder given, ByteOrder& order) {
    PatchOutcome outcome;
    PatchError error;
    EXPECT_TRUE(applyPatch(rom.data(), rom.size(), romOrder, patch.data(), patch.size(), given, outcome, error))
        << error.reason;
    order = outcome.patchOrder;
    return Bytes(outcome.result.bytes(), outcome.result.bytes() + outcome.result.size());
}

// The pairs tried: longer, shorter (the end cut), equal, and a block of 1 KiB moved 4 KiB on.
struct Pair {
    const char* name;
    Bytes original, modified;
};
std::vector<Pair> pairs() {
    Bytes shorter = sampleRom();
    shorter.resize(6000);
    shorter[10] ^= 0xFF;
    Bytes moved = randomRom(16384, 3);
    std::rotate(moved.begin() + 2048, moved.begin() + 3072, moved.begin() + 7168);
    return {{"longer", sampleRom(), sampleTarget()},
            {"shorter", sampleRom(), shorter},
            {"equal", sampleRom(), sampleRom()},
            {"moved", randomRom(16384, 3), moved}};
}

// Made from both images in one order, the patch gives the modified image in that order from
// the original in any order, and says it was made for it (IPS: as told).
TEST(MakePatch, EveryFormatForEveryOrderRoundTrips) {
    for (const Pair& pair : pairs())
        for (PatchFormat format : kFormats)
            for (ByteOrder patchOrder : kOrders) {
                const Bytes patch = made(format, inOrder(pair.original, patchOrder), inOrder(pair.modified, patchOrder));
                for (ByteOrder rom : kOrders) {
                    ByteOrder order = ByteOrder::None;
                    const ByteOrder given = format == PatchFormat::Ips ? patchOrder : ByteOrder::None;
                    const Bytes result = applied(patch, inOrder(pair.original, rom), rom, given, order);
                    EXPECT_TRUE(result == inOrder(pair.modified, patchOrder))
                        << pair.name << " " << patchFormatName(format);
                    EXPECT_EQ(order, patchOrder) << pair.name << " " << patchFormatName(format);
                }
            }
}

// 1 KiB moved within 16 KiB of random bytes: BPS and VCDIFF copy it from where it was
// (a literal encoder would need the 4 KiB it shifts); UPS and IPS carry the bytes.
TEST(MakePatch, CopiesAreFoundAnywhere) {
    const Pair moved = pairs()[3];
    EXPECT_LT(made(PatchFormat::Bps, moved.original, moved.modified).size(), 100u);
    EXPECT_LT(made(PatchFormat::Vcdiff, moved.original, moved.modified).size(), 150u);
    EXPECT_GT(made(PatchFormat::Ups, moved.original, moved.modified).size(), 4000u);
}

// count bytes of text: words drawn by seed from a vocabulary of 400 (of 2 to 9 letters, made
// by seed 24), each followed by a space, or a line end one time in ten.
Bytes wordsText(std::size_t count, unsigned seed) {
    std::mt19937 vocabularyRandom(24), random(seed);
    std::vector<std::string> words(400);
    for (std::string& word : words)
        for (unsigned n = 2 + vocabularyRandom() % 8; n > 0; --n) word += char('a' + vocabularyRandom() % 26);
    Bytes text;
    while (text.size() < count) {
        const std::string& word = words[random() % words.size()];
        text.insert(text.end(), word.begin(), word.end());
        text.push_back(random() % 10 == 0 ? '\n' : ' ');
    }
    text.resize(count);
    return text;
}

// Images of 2 MiB are parsed in two halves at once; an equal one is still one SourceRead:
// "BPS1" 4, the two sizes 3 + 3, the metadata's size 1, one SourceRead of 2 MiB 4, the
// CRC-32s 12 (two SourceReads of 1 MiB, 4 bytes each, would make 31). A block moved across
// the middle still round-trips.
TEST(MakePatch, LargeImagesParsedInHalves) {
    const Bytes original = randomRom(std::size_t(2) << 20, 5);
    EXPECT_EQ(made(PatchFormat::Bps, original, original).size(), 27u);
    Bytes modified = original;
    const auto middle = modified.begin() + (1 << 20);
    std::rotate(middle - 3000, middle + 1000, middle + 5000);
    ByteOrder order = ByteOrder::None;
    const Bytes patch = made(PatchFormat::Bps, original, modified);
    EXPECT_TRUE(applied(patch, original, ByteOrder::BigEndian, ByteOrder::None, order) == modified);
    EXPECT_LT(patch.size(), 60u); // three copies or so, no literal byte
}

// 4 KiB of the original (from 1001: an odd place the table never starts at) between two runs
// of 32 KiB of new bytes, where the parse looks up only every fifth position: the copy is
// found and moved back to its first byte, so the patch is the new bytes and 33 bytes of
// BPS: "BPS1" 4, sizes 3 + 3, metadata 1, two TargetReads of 32 KiB 3 + 3, one SourceCopy
// 2 + its distance (1001) 2, CRC-32s 12.
TEST(MakePatch, CopiesAmongNewBytesAreFoundWhole) {
    const Bytes original = randomRom(65536, 6);
    Bytes modified = randomRom(32768, 7), after = randomRom(32768, 8);
    for (int i = 0; i < 4; ++i) modified[i] = after[i] = 0; // not the original's first word
    modified.insert(modified.end(), original.begin() + 1001, original.begin() + 1001 + 4096);
    modified.insert(modified.end(), after.begin(), after.end());
    EXPECT_EQ(made(PatchFormat::Bps, original, modified).size(), 65536u + 33u);
}

// Text rewritten with the same words is made of short copies: 16 KiB of it in 1 MiB cost
// 6,568 bytes, weighed as a whole with the table of word starts (6,834 without that table;
// 8,930 taking the longest copy at each place first).
TEST(MakePatch, RewrittenTextIsCheap) {
    const Bytes original = wordsText(1 << 20, 1);
    Bytes modified = original;
    const Bytes rewritten = wordsText(16 << 10, 2);
    std::copy(rewritten.begin(), rewritten.end(), modified.begin() + (100 << 10));
    EXPECT_LT(made(PatchFormat::Bps, original, modified).size(), 6700u);
}

// BPS: sizes, the metadata given, nothing else before the actions; an equal image is one
// SourceRead.
TEST(MakePatch, BpsHeaderAndMetadata) {
    const Bytes original = sampleRom();
    const Bytes patch = made(PatchFormat::Bps, original, original, "<x/>");
    const Bytes start = {'B', 'P', 'S', '1', 0x00, 0xBF, // 8192: 0x00 then 0xBF (63 + 1) * 128
                         0x00, 0xBF, 0x84, '<', 'x', '/', '>', // 8192 again, metadata of 4 bytes
                         // SourceRead of 8192: (8191 << 2) | 0 = 32764 = 0x7C + (0x7E + 1) * 128 + 16384
                         0x7C, 0x7E, 0x80};
    ASSERT_EQ(patch.size(), start.size() + 12);
    EXPECT_TRUE(std::equal(start.begin(), start.end(), patch.begin()));
}

// IPS: a run written as an RLE record, a shorter image cut after EOF, a change at 0x454F46
// (which reads "EOF") written from the byte before, and nothing beyond 16 MiB.
TEST(MakePatch, IpsRecordsAndLimits) {
    Bytes original = sampleRom();
    Bytes modified = original;
    std::fill(modified.begin() + 0x200, modified.begin() + 0x220, 0x55);
    modified.resize(0x1000);
    const Bytes expected = {'P', 'A', 'T', 'C', 'H', 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x20, 0x55, // RLE: 32 x 55
                            'E', 'O', 'F', 0x00, 0x10, 0x00};                                     // cut to 0x1000
    EXPECT_EQ(made(PatchFormat::Ips, original, modified), expected);

    Bytes large(0x454F50, 0);
    large[0] = 0x80;
    Bytes changed = large;
    changed[0x454F46] = 1;
    const Bytes atEof = {'P', 'A', 'T', 'C', 'H', 0x45, 0x4F, 0x45, 0x00, 0x02, 0x00, 0x01, 'E', 'O', 'F'};
    EXPECT_EQ(made(PatchFormat::Ips, large, changed), atEof);

    Bytes huge((std::size_t(16) << 20) + 1, 0);
    PatchSource source{huge.data(), huge.size(), huge.data(), huge.size(), ""};
    Bytes patch;
    std::string reason;
    EXPECT_FALSE(makePatch(PatchFormat::Ips, source, patch, reason));
    EXPECT_NE(reason.find("16 MiB"), std::string::npos) << reason;
}

// Debian's xdelta3 applies the VCDIFF made here (for big-endian) to the original as it is.
TEST(MakePatch, Xdelta3AppliesOurVcdiff) {
#ifdef _WIN32
    GTEST_SKIP() << "xdelta3 is a Linux tool here";
#else
    if (std::system("command -v xdelta3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdelta3 is not installed";
    const std::string dir = testing::TempDir();
    for (const Pair& pair : pairs()) {
        const auto write = [&](const std::string& name, const Bytes& b) {
            std::ofstream(dir + name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
        };
        write("orig.z64", pair.original);
        write("hack.xdelta", made(PatchFormat::Vcdiff, pair.original, pair.modified));
        std::remove((dir + "out.z64").c_str());
        const std::string command = "xdelta3 -d -f -s '" + dir + "orig.z64' '" + dir + "hack.xdelta' '" + dir + "out.z64'";
        ASSERT_EQ(std::system(command.c_str()), 0) << pair.name;
        std::ifstream in(dir + "out.z64", std::ios::binary);
        const Bytes out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(out == pair.modified) << pair.name;
    }
#endif
}

} // namespace
