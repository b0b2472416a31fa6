// A short seeded mutation loop over real patches of every format: changed, inserted and
// removed bytes and cut ends, with the CRC-32 of BPS and UPS patches made right again half
// of the time so that the mutations reach the actions. Under the sanitizers any read or
// write out of bounds ends the test; every refusal must say why and leave no result.
#include <gtest/gtest.h>

#include <random>

#include "core/tests/mutation.h"
#include "patch/patch.h"
#include "aps_samples.h"
#include "patch_samples.h"
#include "xdelta_samples.h"

namespace {

// Mutations tried per patch: enough to reach every reader's refusals, short enough for
// a run under the sanitizers.
const int kRounds = 3000;

// Makes a BPS or UPS patch's own CRC-32 hold again after a change.
void fixPatchCrc(Bytes& patch) {
    if (patch.size() < 16) return;
    patch.resize(patch.size() - 4);
    putLittle32(patch, crcOf(patch));
}

TEST(PatchFuzz, MutatedPatchesAreAppliedOrRefusedNeverOverrun) {
    const Bytes source = sampleRom();
    const Bytes target = sampleTarget();
    const struct {
        Bytes patch;
        Bytes source;
    } seeds[] = {
        {encodeBps(source, target), source},
        {encodeUps(source, target), source},
        {encodeIps(source, target), source},
        {Bytes(std::begin(kXdelta_made_for_big), std::end(kXdelta_made_for_big)), source},
        {Bytes(std::begin(kXdelta_no_checksums), std::end(kXdelta_no_checksums)), source},
        {apsPatch(0x01), apsRom()},
        {Bytes(std::begin(kXdelta_default_big), std::end(kXdelta_default_big)), source},
        {Bytes(std::begin(kXdelta_djw_big), std::end(kXdelta_djw_big)), source},
        {Bytes(std::begin(kXdelta_fgk_big), std::end(kXdelta_fgk_big)), source},
    };
    std::mt19937 random(15);
    int applied = 0, refused = 0;
    for (const auto& seed : seeds) {
        for (int round = 0; round < kRounds; ++round) {
            Bytes patch = seed.patch;
            for (unsigned changes = 1 + random() % 3; changes > 0; --changes) mutate(patch, random);
            const PatchFormat format = recognisePatch(patch.data(), patch.size());
            if ((format == PatchFormat::Bps || format == PatchFormat::Ups) && random() % 2) fixPatchCrc(patch);
            Bytes rom = seed.source;
            PatchOutcome outcome;
            PatchError error;
            if (applyPatch(rom.data(), rom.size(), ByteOrder::BigEndian, patch.data(), patch.size(), ByteOrder::None,
                           outcome, error)) {
                ++applied;
                EXPECT_EQ(error.refusal, PatchRefusal::None);
                continue;
            }
            ++refused;
            EXPECT_NE(error.refusal, PatchRefusal::None);
            EXPECT_FALSE(error.reason.empty());
            EXPECT_EQ(outcome.result.size(), 0u);
        }
    }
    // Both ways out were taken: the mutations neither all broke nor all spared the patches.
    EXPECT_GT(applied, 0);
    EXPECT_GT(refused, kRounds);
}

} // namespace
