// Each format on a small patch written byte by byte, with the reason of each byte, and the
// damaged forms of each that must be refused.
#include <gtest/gtest.h>

#include <zlib.h>

#include <random>

#include "patch/adler32.h"
#include "patch/patch.h"
#include "patch/patch_reader.h"
#include "patch_samples.h"

namespace {

// The 8-byte big-endian source of the literal patches.
const Bytes kSource = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F};

// BPS: every action once, TargetCopy overlapping what it writes.
const Bytes kBps = {
    'B', 'P', 'S', '1',
    0x88,             // source size 8 (the last byte of a number has its high bit)
    0x8C,             // target size 12
    0x80,             // no metadata
    0x8C,             // SourceRead, length 4: ((4 - 1) << 2) | 0
    0x85, 0xDE, 0xAD, // TargetRead, length 2: ((2 - 1) << 2) | 1, then its bytes
    0x86, 0x8C,       // SourceCopy, length 2: ((2 - 1) << 2) | 2; source position +6: (6 << 1) | 0
    0x8F, 0x8E,       // TargetCopy, length 4: ((4 - 1) << 2) | 3; from target position +7: a run
    0x27, 0x27, 0x8F, 0xDD, // CRC-32 of the source, little-endian
    0xA6, 0xB2, 0x29, 0x14, // CRC-32 of the target
    0xD4, 0xB6, 0x5D, 0x58, // CRC-32 of every byte of the patch before this one
};
// Source bytes 0-3, DE AD, source bytes 6-7, then byte 7 four times over.
const Bytes kBpsTarget = {0x80, 0x37, 0x12, 0x40, 0xDE, 0xAD, 0x00, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F};

// UPS: two hunks, the second beyond the source's end, where source bytes count as zero.
const Bytes kUps = {
    'U', 'P', 'S', '1',
    0x88,       // source size 8
    0x8A,       // target size 10
    0x85, 0xFF, 0x00, // keep 5 bytes, XOR position 5 with FF, the zero ends the hunk (position 6)
    0x81, 0x55, 0x00, // keep 1 byte (position 7), XOR position 8 (past the source: 0) with 55
    0x27, 0x27, 0x8F, 0xDD, // CRC-32 of the source
    0xE3, 0xA6, 0xBE, 0x33, // CRC-32 of the target
    0xAD, 0x0F, 0x5E, 0x01, // CRC-32 of the patch before this
};
const Bytes kUpsTarget = {0x80, 0x37, 0x12, 0x40, 0x00, 0xFF, 0x00, 0x0F, 0x55, 0x00};

// IPS: a record, a run that grows the image, the end marker and a cut.
const Bytes kIps = {
    'P', 'A', 'T', 'C', 'H',
    0x00, 0x00, 0x04, 0x00, 0x02, 'A', 'B', // at 4, 2 bytes: "AB"
    0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x03, 0x77, // at 8, a run (size 0) of 3 bytes 77: 11 bytes
    'E', 'O', 'F',
    0x00, 0x00, 0x0A, // cut the result to 10 bytes
};
const Bytes kIpsTarget = {0x80, 0x37, 0x12, 0x40, 'A', 'B', 0x00, 0x0F, 0x77, 0x77};

// VCDIFF: every kind of instruction and address mode of the default code table, and a second
// window that copies from the target made by the first.
const Bytes kVcdiff = {
    0xD6, 0xC3, 0xC4, 0x00, // magic, version 0
    0x00,                   // no secondary compressor, code table or application data
    0x05, 0x08, 0x00,       // window from the source (1) with an Adler-32 (4): 8 bytes at 0
    0x17,                   // 23 bytes of delta encoding follow
    0x18, 0x00,             // a target of 24 bytes, no section compressed
    0x02, 0x07, 0x05,       // 2 bytes of data, 7 of instructions, 5 of addresses
    0x4B, 0xAD, 0x04, 0xDE, // Adler-32 of the window's target, big-endian
    0x55, 0x5A,             // data: the run's byte, then the ADD's "Z"
    0x14,                   // COPY 4, mode self: address 0 -> 80 37 12 40
    0x00, 0x03,             // RUN of a size that follows: 3 -> 55 55 55
    0x14,                   // COPY 4 self at 12 (target 4, overlapping): 55 55 55 55
    0xAF,                   // ADD 1 ("Z") + COPY 4 in mode here: 20 - 16 = source 4
    0x34,                   // COPY 4 in mode near, slot 0: 0 + 0 -> 80 37 12 40
    0x74,                   // COPY 4 in mode same, byte 4: the address 4 -> 00 00 00 0F
    0x00, 0x0C, 0x10, 0x00, 0x04, // addresses: self 0, self 12, here 16, near +0, same 4
    0x06, 0x04, 0x10,       // window from the target (2) with an Adler-32: 4 bytes at 16
    0x0B,                   // 11 bytes of delta encoding
    0x04, 0x00, 0x00, 0x01, 0x01, // a target of 4 bytes; no data, 1 instruction, 1 address
    0x03, 0x0D, 0x01, 0x0A, // its Adler-32
    0x14, 0x00,             // COPY 4 self from 0 of the segment -> 80 37 12 40
};
const Bytes kVcdiffTarget = {0x80, 0x37, 0x12, 0x40, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x5A, 0x00, 0x00,
                             0x00, 0x0F, 0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F, 0x80, 0x37, 0x12, 0x40};

// One format's literal patch and its result.
struct Literal {
    const char* name;
    PatchFormat format;
    const Bytes* patch;
    const Bytes* target;
};
const Literal kLiterals[] = {
    {"BPS", PatchFormat::Bps, &kBps, &kBpsTarget},
    {"UPS", PatchFormat::Ups, &kUps, &kUpsTarget},
    {"IPS", PatchFormat::Ips, &kIps, &kIpsTarget},
    {"VCDIFF", PatchFormat::Vcdiff, &kVcdiff, &kVcdiffTarget},
};

// Applies patch to a copy of source, taken as big-endian.
bool apply(const Bytes& source, const Bytes& patch, PatchOutcome& outcome, PatchError& error,
           ByteOrder given = ByteOrder::None) {
    Bytes rom = source;
    return applyPatch(rom.data(), rom.size(), ByteOrder::BigEndian, patch.data(), patch.size(), given, outcome, error);
}

Bytes resultOf(const PatchOutcome& outcome) {
    return Bytes(outcome.result.bytes(), outcome.result.bytes() + outcome.result.size());
}

TEST(PatchFormats, LiteralPatchesMakeTheirTargets) {
    for (const Literal& literal : kLiterals) {
        PatchOutcome outcome;
        PatchError error;
        ASSERT_TRUE(apply(kSource, *literal.patch, outcome, error)) << literal.name << ": " << error.reason;
        EXPECT_EQ(outcome.format, literal.format) << literal.name;
        EXPECT_EQ(resultOf(outcome), *literal.target) << literal.name;
        EXPECT_EQ(outcome.patchOrder, ByteOrder::BigEndian) << literal.name;
        // IPS carries no check: its order is assumed; the others were checked.
        EXPECT_EQ(outcome.basis, literal.format == PatchFormat::Ips ? OrderBasis::Assumed : OrderBasis::Checked)
            << literal.name;
    }
}

// A patch cut anywhere is refused as damaged (never read past its end, never a crash).
TEST(PatchFormats, EveryTruncationIsRefused) {
    for (const Literal& literal : kLiterals) {
        // Two shorter forms are whole patches: IPS cut right after "EOF" (without its cut),
        // and VCDIFF cut after its first window (32 bytes), since windows have no end mark.
        for (std::size_t size = 0; size < literal.patch->size(); ++size) {
            const Bytes cut(literal.patch->begin(), literal.patch->begin() + size);
            PatchOutcome outcome;
            PatchError error;
            const bool applied = apply(kSource, cut, outcome, error);
            if ((literal.format == PatchFormat::Ips && size == literal.patch->size() - 3) ||
                (literal.format == PatchFormat::Vcdiff && size == 32)) {
                EXPECT_TRUE(applied) << error.reason;
                continue;
            }
            EXPECT_FALSE(applied) << literal.name << " cut to " << size;
            const PatchRefusal expected = size < 4 ? PatchRefusal::NotAPatch : PatchRefusal::Damaged;
            if (!(literal.format == PatchFormat::Ips && size == 4)) {
                EXPECT_EQ(error.refusal, expected) << literal.name << " cut to " << size << ": " << error.reason;
            }
            EXPECT_EQ(outcome.result.size(), 0u);
        }
    }
}

// Damaged patches, each with the refusal and the words of its reason.
struct Damage {
    const char* name;
    Bytes patch;
    PatchRefusal refusal;
    const char* reason;
};

// A BPS patch of the 8-byte source with its CRC-32s made right, so only the damage counts.
Bytes bpsWith(std::uint64_t targetSize, const Bytes& actions, const Bytes& target) {
    Bytes patch = {'B', 'P', 'S', '1'};
    putByuuNumber(patch, kSource.size());
    putByuuNumber(patch, targetSize);
    putByuuNumber(patch, 0);
    patch.insert(patch.end(), actions.begin(), actions.end());
    putCrcTrailer(patch, kSource, target);
    return patch;
}

// A BPS or UPS patch of magic and body with a right CRC-32 trailer, so that only the body's
// damage counts.
Bytes withTrailer(const char* magic, const Bytes& body) {
    Bytes patch(magic, magic + 4);
    patch.insert(patch.end(), body.begin(), body.end());
    putCrcTrailer(patch, kSource, kSource);
    return patch;
}

Bytes withByte(Bytes patch, std::size_t at, unsigned char value) {
    patch[at] = value;
    return patch;
}

TEST(PatchFormats, DamagedPatchesAreRefused) {
    const Damage damages[] = {
        {"random bytes", {0x13, 0x37, 0xC0, 0xDE, 0x00, 0x01}, PatchRefusal::NotAPatch, "not a patch"},
        {"a ROM as the patch", kSource, PatchRefusal::NotAPatch, "not a patch"},
        {"BPS with a byte changed", withByte(kBps, 9, 0xDF), PatchRefusal::Damaged, "own CRC-32"},
        // 4 GiB claimed, and actions that fill 4 bytes: refused before any allocation.
        {"BPS claiming 4 GiB", bpsWith(std::uint64_t(1) << 32, {0x8C}, kSource), PatchRefusal::TooLarge, "2 GiB"},
        {"BPS claiming 1 GiB, filling 4 bytes", bpsWith(std::uint64_t(1) << 30, {0x8C}, kSource),
         PatchRefusal::Damaged, "do not fill"},
        // SourceRead of 12 bytes from an 8-byte source.
        {"BPS reading past the source", bpsWith(12, {0xAC}, kBpsTarget), PatchRefusal::Damaged, "beyond the end of the source"},
        // SourceCopy of 4 from source position 6.
        {"BPS copying past the source", bpsWith(4, {0x8E, 0x8C}, kSource), PatchRefusal::Damaged, "beyond the source"},
        // SourceCopy of 1 from source position -1.
        {"BPS copying before the source", bpsWith(1, {0x82, 0x83}, kSource), PatchRefusal::Damaged, "beyond the source"},
        // TargetCopy of 1 from target position 0 with nothing written yet.
        {"BPS copying unwritten target", bpsWith(1, {0x83, 0x80}, kSource), PatchRefusal::Damaged, "target written so far"},
        // The source size's number never ends: its last byte lacks the high bit.
        {"BPS header cut", withTrailer("BPS1", {0x08}), PatchRefusal::Damaged, "middle of its header"},
        // A number of nine 7-bit groups: beyond 2^56, refused before it can overflow.
        {"BPS number too large", withTrailer("BPS1", {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0xFF}),
         PatchRefusal::Damaged, "middle of its header"},
        // Sizes 8 and 8, then a hunk whose distance never ends.
        {"UPS hunk cut", withTrailer("UPS1", {0x88, 0x88, 0x05}), PatchRefusal::Damaged, "middle of a hunk"},
        {"IPS without EOF", Bytes(kIps.begin(), kIps.end() - 6), PatchRefusal::Damaged, "EOF"},
        {"IPS with junk after EOF", [] { Bytes p = kIps; p.push_back(0); return p; }(), PatchRefusal::Damaged,
         "follow its EOF"},
        {"UPS with a byte changed", withByte(kUps, 7, 0xFE), PatchRefusal::Damaged, "own CRC-32"},
        {"VCDIFF with an unknown window flag", withByte(kVcdiff, 5, 0x0D), PatchRefusal::Damaged, "unknown flags"},
        {"VCDIFF with its own code table", withByte(kVcdiff, 4, 0x02), PatchRefusal::Unsupported, "code table"},
        // The delta encoding said one byte longer than it is.
        {"VCDIFF window of the wrong length", withByte(kVcdiff, 8, 0x18), PatchRefusal::Damaged, "window"},
        // The first COPY's address 0 changed to 8: the end of the segment, not yet written.
        {"VCDIFF copy from ahead", withByte(kVcdiff, 27, 0x08), PatchRefusal::Damaged, "inconsistent"},
        // The second window's segment starts at 40, beyond the 24 bytes made so far.
        {"VCDIFF segment beyond the target", withByte(kVcdiff, 34, 0x28), PatchRefusal::Damaged, "target made so far"},
        // A window marked compressed with no compressor named.
        {"VCDIFF compressed without compressor", withByte(kVcdiff, 10, 0x01), PatchRefusal::Damaged, "without a compressor"},
    };
    for (const Damage& damage : damages) {
        PatchOutcome outcome;
        PatchError error;
        EXPECT_FALSE(apply(kSource, damage.patch, outcome, error)) << damage.name;
        EXPECT_EQ(error.refusal, damage.refusal) << damage.name << ": " << error.reason;
        EXPECT_NE(error.reason.find(damage.reason), std::string::npos) << damage.name << ": " << error.reason;
        EXPECT_EQ(outcome.result.size(), 0u) << damage.name;
    }
}

// A COPY in mode here whose distance is here itself copies from address 0 (the segment's
// start): the fourth instruction's address 16 made 20, the checksum made right. Address 4
// is then never used, so the same-cache slot 4 that the last COPY reads holds 0 too.
TEST(PatchFormats, VcdiffHereAddressMayReachTheSegmentStart) {
    Bytes patch(kVcdiff.begin(), kVcdiff.begin() + 32); // the first window alone
    patch[29] = 0x14;
    Bytes target(kVcdiffTarget.begin(), kVcdiffTarget.begin() + 24);
    const unsigned char first[] = {0x80, 0x37, 0x12, 0x40};
    std::copy(first, first + 4, target.begin() + 12);
    std::copy(first, first + 4, target.begin() + 20);
    const std::uint32_t sum = adler32Of(target.data(), target.size());
    for (int i = 0; i < 4; ++i) patch[14 + i] = static_cast<unsigned char>(sum >> (24 - 8 * i));
    PatchOutcome outcome;
    PatchError error;
    ASSERT_TRUE(apply(kSource, patch, outcome, error)) << error.reason;
    EXPECT_EQ(resultOf(outcome), target);
}

// Records beyond an IPS cut are written and cut away; UPS XOR bytes past a shorter
// target's end (there for the way back to the source) are dropped.
TEST(PatchFormats, BytesPastTheResultsEndAreDropped) {
    const Bytes ips = {'P', 'A', 'T', 'C', 'H',
                       0x00, 0x00, 0x0C, 0x00, 0x01, 0x99, // at 12, beyond the cut: dropped
                       0x00, 0x00, 0x02, 0x00, 0x01, 0x55, // at 2: kept
                       'E', 'O', 'F', 0x00, 0x00, 0x06};   // cut to 6
    const Bytes shorter = {0x80, 0x37, 0x12, 0x40, 0x01};
    const struct {
        const char* name;
        Bytes patch;
        Bytes target;
    } cases[] = {
        {"IPS", ips, {0x80, 0x37, 0x55, 0x40, 0x00, 0x00}},
        // Positions 4 (changed), 5, 6 and 7 (the source's bytes, XORed with zero past the end).
        {"UPS", encodeUps(kSource, shorter), shorter},
    };
    for (const auto& c : cases) {
        PatchOutcome outcome;
        PatchError error;
        ASSERT_TRUE(apply(kSource, c.patch, outcome, error)) << c.name << ": " << error.reason;
        EXPECT_EQ(resultOf(outcome), c.target) << c.name;
    }
}

// A BPS number is one encoding per value: 0x00 0x80 is 128 (1 more after the first byte).
TEST(PatchFormats, BpsNumbersAddOneAfterEachByte) {
    Bytes patch = {'B', 'P', 'S', '1', 0x88, 0x00, 0x80, 0x80}; // target size 128
    // 128 bytes: SourceRead 8 then TargetRead 120 literal bytes.
    putByuuNumber(patch, (8 - 1) << 2);
    putByuuNumber(patch, ((120 - 1) << 2) | 1);
    Bytes target = kSource;
    for (int i = 0; i < 120; ++i) {
        patch.push_back(static_cast<unsigned char>(i));
        target.push_back(static_cast<unsigned char>(i));
    }
    putCrcTrailer(patch, kSource, target);
    PatchOutcome outcome;
    PatchError error;
    ASSERT_TRUE(apply(kSource, patch, outcome, error)) << error.reason;
    EXPECT_EQ(resultOf(outcome), target);
}

// The 16-byte Adler-32 against zlib's on lengths around its block and chunk edges, on bytes
// of 0xFF (the largest sums) and random ones.
TEST(PatchFormats, Adler32AgreesWithZlib) {
    Bytes ones(200000, 0xFF), random(200000);
    std::mt19937 engine(3284);
    for (unsigned char& b : random) b = static_cast<unsigned char>(engine());
    for (const Bytes* bytes : {&ones, &random})
        for (std::size_t n : {0, 1, 15, 16, 17, 5535, 5536, 5537, 5552, 5553, 11072, 65536, 199999})
            EXPECT_EQ(adler32Of(bytes->data(), n), adler32(1, bytes->data(), static_cast<uInt>(n))) << n;
}

// A large image's CRC-32, made in two halves on two threads, is the CRC-32 of the whole.
TEST(PatchFormats, ImageCrcInTwoHalvesIsTheWholeOnes) {
    Bytes image(5 << 20);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 131 + (i >> 12));
    for (std::size_t size : {std::size_t(100), image.size() - 1, image.size()})
        EXPECT_EQ(imageCrc32(image.data(), size), crc32Update(0, image.data(), size)) << size;
}

} // namespace
