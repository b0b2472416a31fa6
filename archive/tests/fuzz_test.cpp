// A short seeded mutation loop over real zips and gzips, read by both back ends: changed,
// inserted and removed bytes and cut ends. Under the sanitizers any read out of bounds ends
// the test; every refusal must name the archive and say why.
#include <gtest/gtest.h>

#include <random>

#include "core/tests/mutation.h"
#include "archive_samples.h"
#include "archive_support.h"

namespace {

// Mutations tried per sample and back end: enough to reach the readers' refusals, short
// enough for a run under the sanitizers.
const int kRounds = 300;

TEST(ArchiveFuzz, MutatedArchivesAreReadOrRefusedNeverOverrun) {
    const Bytes seeds[] = {sample(kDeflateZip), sample(kZip64Zip), sample(kDescriptorZip), sample(kRomGz),
                           sample(kTwoMembersGz)};
    ScratchFolder folder;
    const std::string path = folder.path("fuzz.bin");
    int read = 0, refused = 0;
    for (ArchiveBackend backend : builtBackends()) {
        std::mt19937 random(23);
        for (const Bytes& seed : seeds) {
            for (int round = 0; round < kRounds; ++round) {
                Bytes archive = seed;
                for (unsigned changes = 1 + random() % 3; changes > 0; --changes) mutate(archive, random);
                writeFile(path, archive);
                ArchiveError error;
                bool whole = false;
                if (auto reader = openArchive(path, error, backend)) {
                    whole = true;
                    for (std::size_t i = 0; whole && i < reader->entries().size(); ++i) {
                        Bytes bytes;
                        if (reader->entries()[i].folder) continue;
                        whole = readEntry(*reader, i, bytes, error);
                    }
                }
                if (whole) {
                    ++read;
                    continue;
                }
                ++refused;
                EXPECT_NE(error.problem, ArchiveProblem::None) << backendName(backend) << " round " << round;
                EXPECT_EQ(error.archive, path);
                EXPECT_FALSE(error.reason.empty()) << backendName(backend) << " round " << round;
            }
        }
    }
    // Both ways out were taken: the mutations neither all broke nor all spared the archives.
    EXPECT_GT(read, 0);
    EXPECT_GT(refused, kRounds);
}

} // namespace
