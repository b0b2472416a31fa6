// The check codes of the ROMs inside an archive fixed in a new archive that takes the old
// one's name: the entry gets exactly what a fix of the same ROM unpacked gets.
#include <gtest/gtest.h>

#include "actions/fix_archive.h"
#include "actions/tests/archive_inputs.h"
#include "actions/tests/fix_samples.h"
#include "archive/tests/archive_support.h"

namespace {

// The dummy in v64 with its codes zero, and with the ones a 6102 computes.
const Bytes kWrong = inOrder(dummyRom(), ByteOrder::DoctorV64);
const Bytes kRight = inOrder(withCodes(dummyRom(), 0x31E282B9, 0xBA271CE1), ByteOrder::DoctorV64);

} // namespace

// In each format: the entry fixed in its own order as the unpacked file is, the readme kept,
// the old archive as the backup.
TEST(FixArchive, EachFormatGetsWhatTheUnpackedFileGets) {
    ScratchFolder folder;
    writeFile(folder.path("plain.v64"), kWrong);
    ASSERT_EQ(fixCheckCode({folder.path("plain.v64"), BootChip::Cic6102}).outcome, FixOutcome::Fixed);
    const Bytes unpacked = readFile(folder.path("plain.v64"));
    ASSERT_EQ(unpacked, kRight);
    for (const WrittenKind& kind : kWrittenKinds) {
        SCOPED_TRACE(kind.name);
        if (!archiveBackendAvailable(kind.backend)) continue; // 7z is written by libarchive only
        const bool gzip = kind.format == ArchiveFormat::Gzip;  // one entry, no readme
        std::vector<std::pair<std::string, Bytes>> entries = {{"Game.v64", kWrong}};
        if (!gzip) entries.insert(entries.begin(), {"readme.txt", kReadme});
        const Bytes old = archiveOf(kind.format, kind.backend, false, entries);
        writeFile(folder.path(kind.name), old);

        const ArchiveFixReport report = fixArchive({folder.path(kind.name), BootChip::Cic6102, true});
        ASSERT_EQ(report.outcome, ArchiveFixOutcome::Fixed) << report.error.reason;
        ASSERT_EQ(report.roms.size(), 1u);
        EXPECT_EQ(report.roms[0].identity.check.header.crc1, 0u); // the codes found: zero
        EXPECT_EQ(readFile(folder.path(std::string(kind.name) + ".bak")), old);
        ArchiveError error;
        auto reader = openArchive(folder.path(kind.name), error);
        ASSERT_TRUE(reader) << archiveErrorText(error);
        ASSERT_EQ(reader->entries().size(), entries.size());
        Bytes bytes;
        ASSERT_TRUE(readEntry(*reader, gzip ? 0 : 1, bytes, error)) << archiveErrorText(error);
        EXPECT_EQ(bytes, unpacked);
        if (gzip) continue;
        ASSERT_TRUE(readEntry(*reader, 0, bytes, error)) << archiveErrorText(error);
        EXPECT_EQ(bytes, kReadme);
    }
}

// Codes already right, a chip not recognised, a dry run, no ROM inside: the archive is left
// byte for byte, and no backup is written.
TEST(FixArchive, NothingWrittenWhenNothingIsCalledFor) {
    const struct {
        const char* name;
        Bytes rom; // empty: only the readme
        BootChip chip;
        bool dryRun;
        ArchiveFixOutcome outcome;
    } cases[] = {
        {"right", kRight, BootChip::Cic6102, false, ArchiveFixOutcome::NothingDone},
        {"unknown chip", kWrong, BootChip::Unknown, false, ArchiveFixOutcome::NothingDone}, // zero boot code
        {"dry run", kWrong, BootChip::Cic6102, true, ArchiveFixOutcome::Fixed},             // would be
        {"no rom", Bytes(), BootChip::Cic6102, false, ArchiveFixOutcome::NoRom},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        std::vector<std::pair<std::string, Bytes>> entries = {{"readme.txt", kReadme}};
        if (!c.rom.empty()) entries.push_back({"Game.v64", c.rom});
        const Bytes old = archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false, entries);
        writeFile(folder.path("game.zip"), old);
        const ArchiveFixReport report = fixArchive({folder.path("game.zip"), c.chip, true, c.dryRun});
        EXPECT_EQ(report.outcome, c.outcome) << report.error.reason;
        EXPECT_EQ(readFile(folder.path("game.zip")), old);
        EXPECT_EQ(sortedNames(folder), std::vector<std::string>{"game.zip"});
    }
}
