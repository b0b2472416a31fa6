// Every format on a ROM in each order, with a patch made for each order; xdelta3's own
// patches; the real ROM; patches for another ROM.
#include <gtest/gtest.h>

#include "identity/tests/rom_samples.h"
#include "patch/patch.h"
#include "patch/secondary.h"
#include "patch_samples.h"
#include "xdelta_samples.h"

namespace {

const ByteOrder kOrders[] = {ByteOrder::BigEndian, ByteOrder::DoctorV64, ByteOrder::LittleEndian};

// xdelta3's patch of sampleRom() to sampleTarget(), both brought to order first.
Bytes xdeltaMadeFor(ByteOrder order) {
    switch (order) {
    case ByteOrder::DoctorV64: return Bytes(std::begin(kXdelta_made_for_v64), std::end(kXdelta_made_for_v64));
    case ByteOrder::LittleEndian:
        return Bytes(std::begin(kXdelta_made_for_little), std::end(kXdelta_made_for_little));
    default: break;
    }
    return Bytes(std::begin(kXdelta_made_for_big), std::end(kXdelta_made_for_big));
}

// The sample patch in format, made for order.
Bytes samplePatch(PatchFormat format, ByteOrder order) {
    const Bytes source = inOrder(sampleRom(), order);
    const Bytes target = inOrder(sampleTarget(), order);
    switch (format) {
    case PatchFormat::Bps: return encodeBps(source, target);
    case PatchFormat::Ups: return encodeUps(source, target);
    case PatchFormat::Ips: return encodeIps(source, target);
    default: break;
    }
    return xdeltaMadeFor(order);
}

// Applies patch to image (in order romOrder).
bool applyTo(Bytes image, ByteOrder romOrder, const Bytes& patch, ByteOrder given, PatchOutcome& outcome,
             PatchError& error) {
    return applyPatch(image.data(), image.size(), romOrder, patch.data(), patch.size(), given, outcome, error);
}

Bytes resultOf(const PatchOutcome& outcome) {
    return Bytes(outcome.result.bytes(), outcome.result.bytes() + outcome.result.size());
}

struct OrderCase {
    PatchFormat format;
    ByteOrder rom;
    ByteOrder patch;
};

std::string caseName(const testing::TestParamInfo<OrderCase>& info) {
    const auto name = [](ByteOrder o) { return o == ByteOrder::BigEndian ? "big" : o == ByteOrder::DoctorV64 ? "v64" : "little"; };
    return std::string(patchFormatName(info.param.format)) + "_rom_" + name(info.param.rom) + "_patch_for_" +
           name(info.param.patch);
}

std::vector<OrderCase> everyCase() {
    std::vector<OrderCase> cases;
    for (PatchFormat format : {PatchFormat::Bps, PatchFormat::Ups, PatchFormat::Ips, PatchFormat::Vcdiff})
        for (ByteOrder rom : kOrders)
            for (ByteOrder patch : kOrders) cases.push_back({format, rom, patch});
    return cases;
}

class EveryOrder : public testing::TestWithParam<OrderCase> {};

// The result is the patch's target in the order the patch was made for. IPS, which carries
// no check, is told its order; the others find it themselves.
TEST_P(EveryOrder, PatchAppliesInTheOrderItWasMadeFor) {
    const OrderCase c = GetParam();
    const bool ips = c.format == PatchFormat::Ips;
    PatchOutcome outcome;
    PatchError error;
    ASSERT_TRUE(applyTo(inOrder(sampleRom(), c.rom), c.rom, samplePatch(c.format, c.patch),
                        ips ? c.patch : ByteOrder::None, outcome, error))
        << error.reason;
    EXPECT_EQ(outcome.format, c.format);
    EXPECT_EQ(outcome.patchOrder, c.patch);
    EXPECT_EQ(outcome.basis, ips ? OrderBasis::Given : OrderBasis::Checked);
    EXPECT_EQ(resultOf(outcome), inOrder(sampleTarget(), c.patch));
}

INSTANTIATE_TEST_SUITE_P(Table, EveryOrder, testing::ValuesIn(everyCase()), caseName);

// IPS without an order given is applied as big-endian; an order given to a patch that
// carries a check is the only one tried, and the check must hold in it.
TEST(PatchOrders, IpsAssumesBigEndianAndAGivenOrderIsTheOnlyOneTried) {
    PatchOutcome outcome;
    PatchError error;
    ASSERT_TRUE(applyTo(inOrder(sampleRom(), ByteOrder::DoctorV64), ByteOrder::DoctorV64,
                        samplePatch(PatchFormat::Ips, ByteOrder::BigEndian), ByteOrder::None, outcome, error));
    EXPECT_EQ(outcome.basis, OrderBasis::Assumed);
    EXPECT_EQ(outcome.patchOrder, ByteOrder::BigEndian);
    EXPECT_EQ(resultOf(outcome), sampleTarget());

    for (PatchFormat format : {PatchFormat::Bps, PatchFormat::Vcdiff}) {
        EXPECT_FALSE(applyTo(sampleRom(), ByteOrder::BigEndian, samplePatch(format, ByteOrder::BigEndian),
                             ByteOrder::LittleEndian, outcome, error));
        EXPECT_EQ(error.refusal, PatchRefusal::OtherRom) << patchFormatName(format);
    }
}

// A ROM that is not the patch's source in any order: the CRC-32 wanted and the ROM's own as
// big-endian are told (whatever the ROM's order), or the checksums that failed.
TEST(PatchOrders, PatchForAnotherRomIsRefused) {
    Bytes other = sampleRom();
    other[0x800] ^= 1;
    const std::uint32_t otherBigCrc = crcOf(other);
    for (ByteOrder order : kOrders) {
        for (PatchFormat format : {PatchFormat::Bps, PatchFormat::Ups}) {
            PatchOutcome outcome;
            PatchError error;
            EXPECT_FALSE(applyTo(inOrder(other, order), order, samplePatch(format, ByteOrder::BigEndian),
                                 ByteOrder::None, outcome, error));
            EXPECT_EQ(error.refusal, PatchRefusal::OtherRom);
            EXPECT_TRUE(error.crcKnown);
            EXPECT_EQ(error.wantedCrc, crcOf(sampleRom()));
            EXPECT_EQ(error.romCrc, otherBigCrc);
        }
        PatchOutcome outcome;
        PatchError error;
        EXPECT_FALSE(applyTo(inOrder(other, order), order, samplePatch(PatchFormat::Vcdiff, ByteOrder::BigEndian),
                             ByteOrder::None, outcome, error));
        EXPECT_EQ(error.refusal, PatchRefusal::OtherRom);
        EXPECT_NE(error.reason.find("every byte order"), std::string::npos) << error.reason;
        EXPECT_EQ(outcome.result.size(), 0u);
    }
}

// An xdelta patch that copies from beyond the ROM's end is for a larger ROM, in any order.
TEST(PatchOrders, XdeltaForALargerRomIsRefused) {
    const Bytes whole = sampleRom();
    const Bytes half(whole.begin(), whole.begin() + 4096);
    PatchOutcome outcome;
    PatchError error;
    EXPECT_FALSE(applyTo(inOrder(half, ByteOrder::DoctorV64), ByteOrder::DoctorV64,
                         samplePatch(PatchFormat::Vcdiff, ByteOrder::BigEndian), ByteOrder::None, outcome, error));
    EXPECT_EQ(error.refusal, PatchRefusal::OtherRom);
    EXPECT_NE(error.reason.find("it is for a larger one"), std::string::npos) << error.reason;
}

// The patched ROM given again, in any order: already patched, not another ROM.
TEST(PatchOrders, PatchedRomIsToldAsSuch) {
    for (ByteOrder order : kOrders) {
        PatchOutcome outcome;
        PatchError error;
        EXPECT_FALSE(applyTo(inOrder(sampleTarget(), order), order, samplePatch(PatchFormat::Bps, ByteOrder::BigEndian),
                             ByteOrder::None, outcome, error));
        EXPECT_EQ(error.refusal, PatchRefusal::AlreadyApplied);
    }
}

// xdelta3 without checksums (-n): nothing to confirm an order, so big-endian unless given.
TEST(PatchOrders, XdeltaWithoutChecksumsIsTakenAsBigEndian) {
    const Bytes patch(std::begin(kXdelta_no_checksums), std::end(kXdelta_no_checksums));
    PatchOutcome outcome;
    PatchError error;
    ASSERT_TRUE(applyTo(inOrder(sampleRom(), ByteOrder::LittleEndian), ByteOrder::LittleEndian, patch,
                        ByteOrder::None, outcome, error));
    EXPECT_EQ(outcome.basis, OrderBasis::Assumed);
    EXPECT_EQ(resultOf(outcome), sampleTarget());
}

// xdelta3's secondary compression, as it makes patches by default (lzma), with -S djw and
// with -S fgk, for each order, applied to the ROM in each order: the order is found by the checksums of
// the decompressed windows. A build without liblzma refuses lzma, naming its limit and the
// command that makes a patch it reads.
TEST(PatchOrders, SecondaryCompressionIsDecodedInEveryOrder) {
    const struct {
        const unsigned char* bytes;
        std::size_t size;
        ByteOrder order;
        bool lzma;
    } cases[] = {
        {kXdelta_default_big, sizeof kXdelta_default_big, ByteOrder::BigEndian, true},
        {kXdelta_default_v64, sizeof kXdelta_default_v64, ByteOrder::DoctorV64, true},
        {kXdelta_default_little, sizeof kXdelta_default_little, ByteOrder::LittleEndian, true},
        {kXdelta_djw_big, sizeof kXdelta_djw_big, ByteOrder::BigEndian, false},
        {kXdelta_djw_v64, sizeof kXdelta_djw_v64, ByteOrder::DoctorV64, false},
        {kXdelta_djw_little, sizeof kXdelta_djw_little, ByteOrder::LittleEndian, false},
        {kXdelta_fgk_big, sizeof kXdelta_fgk_big, ByteOrder::BigEndian, false},
        {kXdelta_fgk_v64, sizeof kXdelta_fgk_v64, ByteOrder::DoctorV64, false},
        {kXdelta_fgk_little, sizeof kXdelta_fgk_little, ByteOrder::LittleEndian, false},
    };
    for (const auto& c : cases) {
        const Bytes patch(c.bytes, c.bytes + c.size);
        for (ByteOrder rom : kOrders) {
            PatchOutcome outcome;
            PatchError error;
            const bool applied = applyTo(inOrder(sampleRom(), rom), rom, patch, ByteOrder::None, outcome, error);
            if (c.lzma && !LzmaSections::available()) {
                EXPECT_FALSE(applied);
                EXPECT_EQ(error.refusal, PatchRefusal::Unsupported);
                EXPECT_NE(error.reason.find("the Windows build"), std::string::npos) << error.reason;
                EXPECT_NE(error.reason.find("xdelta3 -e -S none"), std::string::npos) << error.reason;
                continue;
            }
            ASSERT_TRUE(applied) << error.reason;
            EXPECT_EQ(outcome.patchOrder, c.order);
            EXPECT_EQ(resultOf(outcome), inOrder(compressibleTarget(), c.order));
        }
    }
}

// A compressor id xdelta3 does not have is refused; the header naming a compressor alone
// does not stop a patch whose sections are not compressed.
TEST(PatchOrders, UnknownCompressorIsRefusedAndAnUnusedOneIgnored) {
    Bytes unknown(std::begin(kXdelta_fgk_big), std::end(kXdelta_fgk_big));
    unknown[5] = 7; // the compressor id after the header indicator: fgk (16) -> 7
    PatchOutcome outcome;
    PatchError error;
    EXPECT_FALSE(applyTo(sampleRom(), ByteOrder::BigEndian, unknown, ByteOrder::None, outcome, error));
    EXPECT_EQ(error.refusal, PatchRefusal::Unsupported);
    EXPECT_EQ(error.reason, "it is compressed inside with a compressor xdelta3 does not have (id 7, damaged?)");

    Bytes named(std::begin(kXdelta_made_for_big), std::end(kXdelta_made_for_big));
    // Header indicator 04 -> 05 and a compressor id (16, fgk) after it: nothing is compressed.
    named[4] = 0x05;
    named.insert(named.begin() + 5, 0x10);
    ASSERT_TRUE(applyTo(sampleRom(), ByteOrder::BigEndian, named, ByteOrder::None, outcome, error)) << error.reason;
    EXPECT_EQ(resultOf(outcome), sampleTarget());
}

// The real ROM (v64 on disk): xdelta3's patch and our encoders' patches of its big-endian
// image, which rename it, apply to it in every order.
TEST(PatchOrders, RealRomInEveryOrder) {
    Bytes v64 = realRom();
    SKIP_WITHOUT_REAL_ROM(v64);
    Bytes big = v64;
    convertToBig(big.data(), big.size(), ByteOrder::DoctorV64);
    Bytes renamed = big;
    const std::string name = "Dornavel 15";
    std::copy(name.begin(), name.end(), renamed.begin() + 0x20);
    const Bytes patches[] = {Bytes(std::begin(kXdelta_real_rom), std::end(kXdelta_real_rom)),
                             encodeBps(big, renamed), encodeUps(big, renamed)};
    for (const Bytes& patch : patches) {
        for (ByteOrder order : kOrders) {
            PatchOutcome outcome;
            PatchError error;
            ASSERT_TRUE(applyTo(inOrder(big, order), order, patch, ByteOrder::None, outcome, error)) << error.reason;
            EXPECT_EQ(outcome.patchOrder, ByteOrder::BigEndian);
            EXPECT_TRUE(resultOf(outcome) == renamed) << patchFormatName(outcome.format);
        }
    }
}

} // namespace
