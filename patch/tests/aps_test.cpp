// APS of the N64 kind: a patch built byte by byte with the reason of each byte, applied in
// the order its header names whatever the ROM's; the ROM it names checked by its header;
// the GBA kind and hostile headers and records refused.
#include <gtest/gtest.h>

#include <cstring>

#include "patch/patch.h"
#include "aps_samples.h"
#include "patch_samples.h"

namespace {

const ByteOrder kOrders[] = {ByteOrder::BigEndian, ByteOrder::DoctorV64, ByteOrder::LittleEndian};

// apsRom() in order with the two records written over it and grown to 0x4A bytes.
Bytes apsTarget(ByteOrder order) {
    Bytes target = inOrder(apsRom(), order);
    target.resize(0x4A);
    std::memcpy(target.data() + 0x41, "ABC", 3);
    std::memset(target.data() + 0x46, 0x99, 4);
    return target;
}

bool applyTo(Bytes rom, ByteOrder romOrder, const Bytes& patch, PatchOutcome& outcome, PatchError& error) {
    return applyPatch(rom.data(), rom.size(), romOrder, patch.data(), patch.size(), ByteOrder::None, outcome, error);
}

Bytes resultOf(const PatchOutcome& outcome) {
    return Bytes(outcome.result.bytes(), outcome.result.bytes() + outcome.result.size());
}

// The header's order byte decides the order of the records, whatever the ROM's order.
TEST(PatchAps, AppliedInTheOrderItsHeaderNames) {
    const struct {
        unsigned char format;
        ByteOrder order;
    } kinds[] = {{0x01, ByteOrder::BigEndian}, {0x00, ByteOrder::DoctorV64}};
    for (const auto& kind : kinds)
        for (ByteOrder rom : kOrders) {
            PatchOutcome outcome;
            PatchError error;
            ASSERT_TRUE(applyTo(inOrder(apsRom(), rom), rom, apsPatch(kind.format), outcome, error)) << error.reason;
            EXPECT_EQ(outcome.format, PatchFormat::Aps);
            EXPECT_EQ(outcome.basis, OrderBasis::Stated);
            EXPECT_EQ(outcome.patchOrder, kind.order);
            EXPECT_EQ(resultOf(outcome), apsTarget(kind.order));
        }
}

// Fields taken as the bytes lay in a v64 file are accepted too: pairs exchanged, so cartridge
// "MS", then header byte 0x3F where the country was, and check codes 22114433 66558877.
TEST(PatchAps, FieldsAsAV64FileHoldsThemAreAccepted) {
    Bytes patch = apsPatch(0x00);
    const unsigned char swapped[] = {'M', 'S', 0x3F, 0x22, 0x11, 0x44, 0x33, 0x66, 0x55, 0x88, 0x77};
    std::memcpy(patch.data() + 58, swapped, 11);
    PatchOutcome outcome;
    PatchError error;
    ASSERT_TRUE(applyTo(apsRom(), ByteOrder::BigEndian, patch, outcome, error)) << error.reason;
    EXPECT_EQ(resultOf(outcome), apsTarget(ByteOrder::DoctorV64));
}

// A ROM whose check codes differ in every order: another ROM, with both sets shown.
TEST(PatchAps, AnotherRomIsRefusedWithBothShown) {
    Bytes other = apsRom();
    other[0x17] = 0x89;
    for (ByteOrder rom : kOrders) {
        PatchOutcome outcome;
        PatchError error;
        EXPECT_FALSE(applyTo(inOrder(other, rom), rom, apsPatch(0x01), outcome, error));
        EXPECT_EQ(error.refusal, PatchRefusal::OtherRom);
        EXPECT_EQ(error.reason, "this patch is for another ROM (it wants check codes 11223344 55667788, cartridge SM "
                                "country E; this ROM has check codes 11223344 55667789, cartridge SM country E)");
        EXPECT_EQ(outcome.result.size(), 0u);
    }
}

// Type 0, a simple patch: no N64 fields, nothing names the order, so big-endian is assumed.
TEST(PatchAps, SimplePatchIsTakenAsBigEndian) {
    Bytes patch = {'A', 'P', 'S', '1', '0', 0x00, 0x00}; // type 0, encoding 0
    patch.resize(patch.size() + 50, ' ');
    putLittle32(patch, 0x48);                                     // the size stays
    patch.insert(patch.end(), {0x40, 0x00, 0x00, 0x00, 0x01, 0x7A}); // at 0x40, one byte 7A
    PatchOutcome outcome;
    PatchError error;
    ASSERT_TRUE(applyTo(inOrder(apsRom(), ByteOrder::LittleEndian), ByteOrder::LittleEndian, patch, outcome, error))
        << error.reason;
    EXPECT_EQ(outcome.basis, OrderBasis::Assumed);
    Bytes expected = apsRom();
    expected[0x40] = 0x7A;
    EXPECT_EQ(resultOf(outcome), expected);
}

// Hostile and foreign patches, each with its refusal and words of its reason.
TEST(PatchAps, HostilePatchesAreRefused) {
    const auto changed = [](std::size_t at, unsigned char value) {
        Bytes patch = apsPatch(0x01);
        patch[at] = value;
        return patch;
    };
    Bytes gba = {'A', 'P', 'S', '1', 0x00, 0x01, 0x00, 0x00}; // the GBA kind: sizes follow "APS1"
    Bytes beyond = apsPatch(0x01);
    beyond[78 + 8 + 6] = 0x05; // the run's count: 5 bytes from 0x46 end at 0x4B, past 0x4A
    Bytes cutRun = apsPatch(0x01);
    cutRun.pop_back(); // the run lacks its count
    Bytes huge = apsHeader(0x01, 0x80000000u); // a result of 2 GiB
    const struct {
        Bytes patch;
        PatchRefusal refusal;
        const char* words;
    } cases[] = {
        {gba, PatchRefusal::Unsupported, "Game Boy Advance"},
        {changed(5, 0x02), PatchRefusal::Unsupported, "patch type 2"},
        {changed(6, 0x01), PatchRefusal::Unsupported, "encoding 1"},
        {changed(57, 0x02), PatchRefusal::Damaged, "byte order 2"},
        {cutRun, PatchRefusal::Damaged, "middle of a record"},
        {beyond, PatchRefusal::Damaged, "beyond the size"},
        {changed(74, 0x00), PatchRefusal::Damaged, "beyond the size"}, // result size 0x4A -> 0
        {huge, PatchRefusal::TooLarge, "2 GiB"},
    };
    for (const auto& c : cases) {
        PatchOutcome outcome;
        PatchError error;
        EXPECT_FALSE(applyTo(apsRom(), ByteOrder::BigEndian, c.patch, outcome, error)) << c.words;
        EXPECT_EQ(error.refusal, c.refusal) << c.words;
        EXPECT_NE(error.reason.find(c.words), std::string::npos) << error.reason;
    }
}

// Cut anywhere in its header or records, the patch is refused or, cut between records,
// applies what is left; it never reads past its end.
TEST(PatchAps, EveryTruncationIsRefusedOrAppliesWhatIsLeft) {
    const Bytes whole = apsPatch(0x01);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        const Bytes cut(whole.begin(), whole.begin() + size);
        PatchOutcome outcome;
        PatchError error;
        const bool applied = applyTo(apsRom(), ByteOrder::BigEndian, cut, outcome, error);
        // Only the ends of the header and of the first record are places between records.
        EXPECT_EQ(applied, size == 78 || size == 78 + 8) << size;
    }
}

} // namespace
