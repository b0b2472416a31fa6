// The inputs read out of archives with the back end every build has (zlib: the only one on
// Windows): the ROM and the patch patchRomFile takes from zips, and what it refuses.
#include <gtest/gtest.h>

#include "actions/apply_patch.h"
#include "actions/archived_input.h"
#include "actions/tests/archive_inputs.h"
#include "archive/tests/archive_support.h"

namespace {

// An IPS writing "AB" at 0x1000 of the big-endian image.
const Bytes kIps{'P', 'A', 'T', 'C', 'H', 0x00, 0x10, 0x00, 0x00, 0x02, 'A', 'B', 'E', 'O', 'F'};

} // namespace

// The ROM's zip holds a readme first, the patch's too: each entry of the kind wanted is read,
// and the new file is the ROM in its own order with the patch's bytes (A B exchanged, v64).
TEST(ArchivedInput, PatchTakesTheRomAndThePatchFromZips) {
    ScratchFolder folder;
    writeFile(folder.path("game.zip"), zipOf({{"readme.txt", kReadme}, {"game.v64", v64Rom()}}));
    writeFile(folder.path("hack.zip"), zipOf({{"readme.txt", kReadme}, {"hack.ips", kIps}}));
    EXPECT_EQ(romOrderOf(folder.path("game.zip")), ByteOrder::DoctorV64);
    EXPECT_TRUE(holdsPatch(folder.path("hack.zip")));
    EXPECT_FALSE(holdsPatch(folder.path("game.zip")));

    PatchRequest job;
    job.rom = folder.path("game.zip");
    job.patch = folder.path("hack.zip");
    job.output = folder.path("out.v64");
    PatchReport report;
    ASSERT_TRUE(patchRomFile(job, report)) << report.error.reason << report.patchError.reason;
    EXPECT_EQ(report.romEntry, "game.v64");
    EXPECT_EQ(report.patchEntry, "hack.ips");
    Bytes expected = v64Rom();
    expected[0x1000] = 'B'; // the pair "AB" as v64 keeps it
    expected[0x1001] = 'A';
    EXPECT_EQ(readFile(folder.path("out.v64")), expected);
}

// An archive without the kind wanted is read as the file it is (then refused as no ROM or no
// patch); two patches, or an entry that lies about its bytes, are refused with the reason.
TEST(ArchivedInput, WhatCannotBeTakenIsSaid) {
    ScratchFolder folder;
    Bytes lying = zipOf({{"game.v64", v64Rom()}});
    lying[offsetOf(lying, "game.v64") + 8 + 20] ^= 0x01; // deflated data no longer as stated
    writeFile(folder.path("lying.zip"), lying);
    writeFile(folder.path("two.zip"), zipOf({{"a.ips", kIps}, {"b.ips", kIps}}));
    writeFile(folder.path("docs.zip"), zipOf({{"readme.txt", kReadme}}));
    writeFile(folder.path("climbs.zip"), zipOf({{"../hack.ips", kIps}}));
    const Bytes whole = zipOf({{"game.v64", v64Rom()}});
    writeFile(folder.path("cut.zip"), Bytes(whole.begin(), whole.end() - 10)); // its directory cut short
    const struct {
        const char* file;
        WantedEntry wanted;
        bool read;
        const char* reason; // its start
    } cases[] = {
        {"docs.zip", WantedEntry::Rom, true, ""},      // the zip's own bytes, for the caller to refuse
        {"climbs.zip", WantedEntry::Patch, true, ""},  // a name no file should have is never taken
        {"two.zip", WantedEntry::Patch, false, "2 patches are in the archive; unpack the one meant"},
        {"lying.zip", WantedEntry::Rom, false, "its entry game.v64: "},
        {"cut.zip", WantedEntry::Rom, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        RomImageBuffer bytes;
        std::string entry;
        FileError error;
        EXPECT_EQ(readWholeInput(folder.path(c.file), c.wanted, bytes, entry, error), c.read);
        EXPECT_EQ(error.reason.rfind(c.reason, 0), 0u) << "[" << error.reason << "]";
        if (c.read) {
            EXPECT_EQ(Bytes(bytes.bytes(), bytes.bytes() + bytes.size()), readFile(folder.path(c.file)));
        }
    }
}
