// The ROMs inside an archive converted into a new archive that takes the old one's name:
// every other entry kept, the backup, and the old archive whole whatever stops the writing.
#include <gtest/gtest.h>

#include "actions/convert_archive.h"
#include "actions/tests/archive_inputs.h"
#include "archive/tests/archive_support.h"
#include "core/conversion.h"
#include "core/tests/scripted_ops.h"

namespace {


// A request to bring path's ROMs to little-endian.
ArchiveConvertRequest toLittle(const std::string& path) {
    ArchiveConvertRequest request;
    request.path = path;
    request.target = ByteOrder::LittleEndian;
    return request;
}

} // namespace

// In each format: the ROM in the new order under its order's name, the readme before it as it
// was (name, time, bytes), the old archive kept whole as the backup, no work file left.
TEST(ConvertArchive, EveryFormatKeepsTheOtherEntries) {
    Bytes little = v64Rom();
    convertOrder(little.data(), little.size(), ByteOrder::DoctorV64, ByteOrder::LittleEndian);
    for (const WrittenKind& kind : kWrittenKinds) {
        SCOPED_TRACE(kind.name);
        if (!archiveBackendAvailable(kind.backend)) continue; // 7z is written by libarchive only
        const bool gzip = kind.format == ArchiveFormat::Gzip;  // one entry, no readme
        std::vector<std::pair<std::string, Bytes>> entries = {{"Game.v64", v64Rom()}};
        if (!gzip) entries.insert(entries.begin(), {"readme.txt", kReadme});
        ScratchFolder folder;
        const Bytes old = archiveOf(kind.format, kind.backend, false, entries);
        writeFile(folder.path(kind.name), old);
        ArchiveConvertRequest request = toLittle(folder.path(kind.name));
        request.backup = request.rename = true;
        request.names = ExtensionSet::Common;

        const ArchiveConvertReport report = convertArchive(request);
        ASSERT_EQ(report.outcome, ArchiveConvertOutcome::Converted) << report.error.reason;
        ASSERT_EQ(report.roms.size(), 1u);
        EXPECT_EQ(report.roms[0].renamedTo, "Game.n64");
        EXPECT_EQ(readFile(folder.path(std::string(kind.name) + ".bak")), old);
        EXPECT_EQ(sortedNames(folder), (std::vector<std::string>{kind.name, std::string(kind.name) + ".bak"}));
        ArchiveError error;
        auto reader = openArchive(folder.path(kind.name), error);
        ASSERT_TRUE(reader) << archiveErrorText(error);
        ASSERT_EQ(reader->entries().size(), entries.size());
        const std::size_t rom = gzip ? 0 : 1;
        Bytes bytes;
        EXPECT_EQ(reader->entries()[rom].name, "Game.n64");
        EXPECT_EQ(reader->entries()[rom].modified, kSampleTime);
        ASSERT_TRUE(readEntry(*reader, rom, bytes, error)) << archiveErrorText(error);
        EXPECT_EQ(bytes, little);
        if (gzip) continue;
        EXPECT_EQ(reader->entries()[0].name, "readme.txt");
        ASSERT_TRUE(readEntry(*reader, 0, bytes, error)) << archiveErrorText(error);
        EXPECT_EQ(bytes, kReadme);
    }
}

// Nothing to do, nothing asked to be done, a damaged ROM entry, a disk that fills up, a kill
// before the new archive takes the name: each leaves the old archive byte for byte.
TEST(ConvertArchive, TheOldArchiveStaysWhole) {
    Bytes lying = archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false, {{"Game.v64", v64Rom()}});
    lying[offsetOf(lying, "Game.v64") + 8 + 20] ^= 0x01; // deflated data no longer as stated
    const Bytes good = archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false, {{"Game.v64", v64Rom()}});
    const struct {
        const char* what;
        Bytes archive;
        ByteOrder target;
        bool dryRun;
        Op fails;                     // Op::Open: none
        ArchiveConvertOutcome outcome;
    } cases[] = {
        {"already in order", good, ByteOrder::DoctorV64, false, Op::Open, ArchiveConvertOutcome::AlreadyInOrder},
        {"dry run", good, ByteOrder::LittleEndian, true, Op::Open, ArchiveConvertOutcome::Converted},
        {"no ROM", archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false, {{"readme.txt", kReadme}}),
         ByteOrder::LittleEndian, false, Op::Open, ArchiveConvertOutcome::NoRom},
        {"damaged", lying, ByteOrder::LittleEndian, false, Op::Open, ArchiveConvertOutcome::Failed},
        {"full disk", good, ByteOrder::LittleEndian, false, Op::Write, ArchiveConvertOutcome::Failed},
        {"killed", good, ByteOrder::LittleEndian, false, Op::RenameReplacing, ArchiveConvertOutcome::Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        writeFile(folder.path("game.zip"), c.archive);
        ArchiveConvertRequest request = toLittle(folder.path("game.zip"));
        request.target = c.target;
        request.dryRun = c.dryRun;
        ArchiveConvertReport report;
        {
            ScriptedOps ops;
            if (c.fails == Op::Write) ops.failOn(Op::Write, 1, true);
            if (c.fails == Op::RenameReplacing) ops.dieOn(Op::RenameReplacing, 1);
            report = convertArchive(request);
        }
        EXPECT_EQ(report.outcome, c.outcome) << report.error.reason;
        EXPECT_EQ(readFile(folder.path("game.zip")), c.archive);
        if (c.fails == Op::RenameReplacing) { // the next run takes the work file a kill left
            EXPECT_EQ(convertArchive(request).outcome, ArchiveConvertOutcome::Converted);
            EXPECT_NE(readFile(folder.path("game.zip")), c.archive);
        }
        EXPECT_EQ(sortedNames(folder), std::vector<std::string>{"game.zip"}); // no work file left
    }
}

// TorrentZip's form is a normal form: two zips of the same entries, in another order, with
// other times, one stored and one deflated, become the same bytes; a gzip cannot take it and
// is left as it was.
TEST(ConvertArchive, TorrentZipGivesOneFormWhateverTheOldZip) {
    ScratchFolder folder;
    const std::vector<std::pair<std::string, Bytes>> entries = {{"readme.txt", kReadme}, {"Game.v64", v64Rom()}};
    writeFile(folder.path("a.zip"), archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false, entries));
    writeFile(folder.path("b.zip"), archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, true, {entries[1], entries[0]}));
    const Bytes gzip = archiveOf(ArchiveFormat::Gzip, ArchiveBackend::Zlib, false, {{"Game.v64", v64Rom()}});
    writeFile(folder.path("c.gz"), gzip);
    for (const char* name : {"a.zip", "b.zip", "c.gz"}) {
        ArchiveConvertRequest request = toLittle(folder.path(name));
        request.torrentZip = true;
        const ArchiveConvertReport report = convertArchive(request);
        EXPECT_EQ(report.outcome, name[0] == 'c' ? ArchiveConvertOutcome::Failed : ArchiveConvertOutcome::Converted)
            << name << ": " << report.error.reason;
    }
    const Bytes a = readFile(folder.path("a.zip"));
    EXPECT_EQ(a, readFile(folder.path("b.zip")));
    EXPECT_EQ(offsetOf(a, "Game.v64"), 30u); // the first entry: "game" before "readme"
    EXPECT_EQ(readFile(folder.path("c.gz")), gzip);
}
