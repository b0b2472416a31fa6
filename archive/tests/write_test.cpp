// New archives: every entry of an old one copied (name, order, time, bytes) and a new entry
// added, by each back end; read back by both, checked by CRC-32, and by the system's tools.
#include <gtest/gtest.h>

#include "archive_samples.h"
#include "archive_support.h"
#include "core/new_file.h"
#include "core/text.h"

#include <zlib.h>

namespace {

const Bytes kNewRom = {0x37, 0x80, 0x40, 0x12, 'N', 'E', 'W', '!'}; // a converted ROM, V64 order

// Writes a new archive at path: the old one's entries, the first replaced by kNewRom.
void rewrite(ArchiveReader& old, ArchiveFormat format, ArchiveBackend backend, const std::string& path) {
    NewFile file;
    std::string reason;
    ASSERT_TRUE(file.create(path, reason)) << reason;
    NewFileArchiveOutput output(file);
    ArchiveError error;
    auto writer = createArchiveWriter(format, output, path, error, backend);
    ASSERT_TRUE(writer) << archiveErrorText(error);
    ArchiveEntry facts = old.entries()[0];
    facts.size = static_cast<std::int64_t>(kNewRom.size());
    addEntry(*writer, facts, kNewRom);
    for (std::size_t i = 1; i < old.entries().size(); ++i)
        ASSERT_TRUE(writer->copyEntry(old, i, error)) << archiveErrorText(error);
    ASSERT_TRUE(writer->finish(error)) << archiveErrorText(error);
    // The caller's road: read back whole before the name is given.
    auto written = openArchive(temporaryNameOf(path), file.handle(), error, backend);
    ASSERT_TRUE(written) << archiveErrorText(error);
    ASSERT_TRUE(checkArchiveCrcs(*written, writer->writtenCrcs(), error)) << archiveErrorText(error);
    written.reset();
    ASSERT_TRUE(file.commit(false, reason)) << reason;
}

// The written archive as each back end reads it: names, order, times and bytes.
void expectRewritten(const std::string& path, const ArchiveReader& old) {
    for (ArchiveBackend reading : builtBackends()) {
        SCOPED_TRACE(std::string("read by ") + backendName(reading));
        ArchiveError error;
        auto reader = openArchive(path, error, reading);
        ASSERT_TRUE(reader) << archiveErrorText(error);
        ASSERT_EQ(reader->entries().size(), old.entries().size());
        for (std::size_t i = 0; i < old.entries().size(); ++i) {
            EXPECT_EQ(reader->entries()[i].name, old.entries()[i].name);
            EXPECT_EQ(reader->entries()[i].modified, old.entries()[i].modified);
            EXPECT_EQ(reader->entries()[i].stored, old.entries()[i].stored) << i;
        }
        Bytes bytes;
        ASSERT_TRUE(readEntry(*reader, 0, bytes, error)) << archiveErrorText(error);
        EXPECT_EQ(bytes, kNewRom);
    }
}

TEST(ArchiveWrite, ZipAndGzipAreRewrittenByEveryBackEnd) {
    useUtc();
    const struct {
        const char* what;
        Bytes archive;
        ArchiveFormat format;
    } cases[] = {
        // The ROM deflated and the readme stored: the readme is copied, stored still.
        {"zip", sample(kDeflateZip), ArchiveFormat::Zip},
        // A zip this library wrote, with an extended timestamp field.
        {"zip written here", zipOf({{"a.z64", kNewRom}, {"b.txt", Bytes(300, 'b')}}), ArchiveFormat::Zip},
        {"gzip", sample(kRomGz), ArchiveFormat::Gzip},
    };
    for (ArchiveBackend backend : builtBackends()) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(backendName(backend)) + ": " + c.what);
            ScratchFolder folder;
            writeFile(folder.path("old"), c.archive);
            ArchiveError error;
            auto old = openArchive(folder.path("old"), error, backend);
            ASSERT_TRUE(old) << archiveErrorText(error);
            rewrite(*old, c.format, backend, folder.path("new"));
            expectRewritten(folder.path("new"), *old);
            // The system's own tool finds the new archive whole.
            const std::string test = c.format == ArchiveFormat::Zip ? "unzip -tq " : "gzip -t < ";
            if (haveTool(c.format == ArchiveFormat::Zip ? "unzip" : "gzip")) {
                EXPECT_EQ(std::system((test + "'" + folder.path("new") + "' >/dev/null").c_str()), 0);
            }
        }
    }
}

// A zlib copy of a zlib-read zip keeps the entry's stored bytes as they are: the encrypted
// readme, which cannot be unpacked without its password, is copied all the same.
TEST(ArchiveWrite, ZlibCopiesStoredBytesAsTheyAre) {
    ScratchFolder folder;
    writeFile(folder.path("enc.zip"), sample(kEncryptedZip));
    ArchiveError error;
    auto old = openArchive(folder.path("enc.zip"), error, ArchiveBackend::Zlib);
    ASSERT_TRUE(old) << archiveErrorText(error);
    MemoryOutput output;
    auto writer = createArchiveWriter(ArchiveFormat::Zip, output, "new.zip", error, ArchiveBackend::Zlib);
    ASSERT_TRUE(writer->copyEntry(*old, 0, error)) << archiveErrorText(error);
    ASSERT_TRUE(writer->finish(error)) << archiveErrorText(error);
    // The 20 stored bytes (12-byte encryption header and 8 bytes) are in the new archive.
    const Bytes before = sample(kEncryptedZip), after = output.bytes;
    const Bytes stored(before.begin() + 40, before.begin() + 60);
    EXPECT_NE(std::search(after.begin(), after.end(), stored.begin(), stored.end()), after.end());
    writeFile(folder.path("new.zip"), after);
    auto copy = openArchive(folder.path("new.zip"), error, ArchiveBackend::Zlib);
    ASSERT_TRUE(copy) << archiveErrorText(error);
    EXPECT_TRUE(copy->entries()[0].encrypted);
    EXPECT_EQ(copy->entries()[0].crc, old->entries()[0].crc);
    if (haveTool("unzip")) {
        EXPECT_EQ(std::system(("unzip -tq -P secret '" + folder.path("new.zip") + "' >/dev/null").c_str()), 0);
    }
}

// An entry whose sizes follow its data in a data descriptor keeps it in a raw copy, and
// both back ends read the copy.
TEST(ArchiveWrite, ARawCopyKeepsTheDataDescriptor) {
    ScratchFolder folder;
    writeFile(folder.path("pipe.zip"), sample(kDescriptorZip));
    ArchiveError error;
    auto old = openArchive(folder.path("pipe.zip"), error, ArchiveBackend::Zlib);
    ASSERT_TRUE(old) << archiveErrorText(error);
    MemoryOutput output;
    auto writer = createArchiveWriter(ArchiveFormat::Zip, output, "new.zip", error, ArchiveBackend::Zlib);
    ASSERT_TRUE(writer->copyEntry(*old, 0, error)) << archiveErrorText(error);
    ASSERT_TRUE(writer->finish(error)) << archiveErrorText(error);
    EXPECT_NE(offsetOf(output.bytes, std::string("PK\x07\x08", 4)), 0u); // the descriptor's signature
    writeFile(folder.path("new.zip"), output.bytes);
    for (ArchiveBackend backend : builtBackends()) {
        auto copy = openArchive(folder.path("new.zip"), error, backend);
        ASSERT_TRUE(copy) << archiveErrorText(error);
        Bytes bytes;
        ASSERT_TRUE(readEntry(*copy, 0, bytes, error)) << archiveErrorText(error);
        EXPECT_EQ(bytes, Bytes({'H', 'a', 'c', 'k', ' ', 'v', '1', '\n'})) << backendName(backend);
    }
}

// A copy whose bytes do not read back as written is caught before the name is given.
TEST(ArchiveWrite, CheckArchiveCrcsFindsAChangedByte) {
    ScratchFolder folder;
    Bytes zip = zipOf({{"a.z64", kNewRom}, {"b.txt", Bytes(100, 'b')}});
    writeFile(folder.path("a.zip"), zip);
    ArchiveError error;
    auto reader = openArchive(folder.path("a.zip"), error, ArchiveBackend::Zlib);
    ASSERT_TRUE(reader);
    const std::vector<std::uint32_t> written = {reader->entries()[0].crc, reader->entries()[1].crc};
    EXPECT_TRUE(checkArchiveCrcs(*reader, written, error)) << archiveErrorText(error);
    std::vector<std::uint32_t> other = written;
    other[1] ^= 1;
    EXPECT_FALSE(checkArchiveCrcs(*reader, other, error));
    EXPECT_EQ(error.problem, ArchiveProblem::CrcMismatch);
    EXPECT_EQ(error.entry, "b.txt");
    EXPECT_FALSE(checkArchiveCrcs(*reader, {written[0]}, error)); // one entry more than written
}

// zlib writes zip and gzip only; 7z is refused saying so. libarchive writes and reads 7z.
TEST(ArchiveWrite, SevenZipIsWrittenByLibarchiveOnly) {
    MemoryOutput output;
    ArchiveError error;
    EXPECT_FALSE(createArchiveWriter(ArchiveFormat::SevenZip, output, "new.7z", error, ArchiveBackend::Zlib));
    EXPECT_EQ(error.problem, ArchiveProblem::Unsupported);
    EXPECT_NE(error.reason.find("zip and gzip"), std::string::npos) << error.reason;
    // A 7z signature is enough for zlib's refusal to read one.
    ScratchFolder folder;
    writeFile(folder.path("new.7z"), {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C, 0, 4});
    EXPECT_FALSE(openArchive(folder.path("new.7z"), error, ArchiveBackend::Zlib));
    EXPECT_EQ(error.problem, ArchiveProblem::Unsupported);
    EXPECT_EQ(error.reason, "it is a 7z archive; this build reads zip and gzip only");
    if (!archiveBackendAvailable(ArchiveBackend::Libarchive)) GTEST_SKIP() << "no libarchive in this build";
    auto writer = createArchiveWriter(ArchiveFormat::SevenZip, output, "new.7z", error, ArchiveBackend::Libarchive);
    ASSERT_TRUE(writer) << archiveErrorText(error);
    addEntry(*writer, newEntry("Mondo Kart.z64", kSampleTime, 8), kNewRom);
    addEntry(*writer, newEntry("readme.txt", kSampleTime, 3), Bytes({'h', 'i', '\n'}));
    ASSERT_TRUE(writer->finish(error)) << archiveErrorText(error);
    writeFile(folder.path("new.7z"), output.bytes);
    auto reader = openArchive(folder.path("new.7z"), error);
    ASSERT_TRUE(reader) << archiveErrorText(error);
    EXPECT_EQ(reader->format(), ArchiveFormat::SevenZip);
    ASSERT_EQ(reader->entries().size(), 2u);
    EXPECT_EQ(reader->entries()[1].name, "readme.txt");
    EXPECT_EQ(reader->entries()[1].modified, kSampleTime);
    Bytes bytes;
    ASSERT_TRUE(readEntry(*reader, 0, bytes, error)) << archiveErrorText(error);
    EXPECT_EQ(bytes, kNewRom);
    if (haveTool("7z")) {
        EXPECT_EQ(std::system(("7z t '" + folder.path("new.7z") + "' >/dev/null").c_str()), 0);
    } else {
        std::printf("7z is not installed: the 7z archive is not tested with it\n");
    }
}

// A 7z packs its entries in one solid block, read ahead while the first entry is unpacked:
// the second, over 1 MiB of bytes that do not pack, is read whole, not taken for a bomb,
// the first skipped or not.
TEST(ArchiveWrite, ALaterEntryOfASolidBlockIsNoBomb) {
    if (!archiveBackendAvailable(ArchiveBackend::Libarchive)) GTEST_SKIP() << "no libarchive in this build";
    Bytes noise((std::size_t(1) << 20) + 4096);
    std::uint32_t state = 1;
    for (unsigned char& byte : noise) byte = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 24);
    MemoryOutput output;
    ArchiveError error;
    auto writer = createArchiveWriter(ArchiveFormat::SevenZip, output, "solid.7z", error, ArchiveBackend::Libarchive);
    ASSERT_TRUE(writer) << archiveErrorText(error);
    addEntry(*writer, newEntry("readme.txt", kSampleTime, 3), Bytes({'h', 'i', '\n'}));
    addEntry(*writer, newEntry("Game.z64", kSampleTime, static_cast<std::int64_t>(noise.size())), noise);
    ASSERT_TRUE(writer->finish(error)) << archiveErrorText(error);
    ScratchFolder folder;
    writeFile(folder.path("solid.7z"), output.bytes);
    auto reader = openArchive(folder.path("solid.7z"), error);
    ASSERT_TRUE(reader) << archiveErrorText(error);
    Bytes bytes;
    ASSERT_TRUE(readEntry(*reader, 1, bytes, error)) << archiveErrorText(error); // the readme skipped
    EXPECT_EQ(bytes, noise);
}

// A 7z archive made by 7-Zip itself, where it is installed, read by libarchive.
TEST(ArchiveWrite, SevenZipOfTheSystemToolIsRead) {
    if (!archiveBackendAvailable(ArchiveBackend::Libarchive) || !haveTool("7z"))
        GTEST_SKIP() << "needs libarchive and Debian's 7z (p7zip-full)";
    ScratchFolder folder;
    writeFile(folder.path("Mondo Kart.z64"), kNewRom);
    ASSERT_EQ(std::system(("cd '" + folder.path("") + "' && 7z a -bd game.7z 'Mondo Kart.z64' >/dev/null").c_str()), 0);
    ArchiveError error;
    auto reader = openArchive(folder.path("game.7z"), error);
    ASSERT_TRUE(reader) << archiveErrorText(error);
    ASSERT_EQ(reader->entries().size(), 1u);
    EXPECT_EQ(reader->entries()[0].name, "Mondo Kart.z64");
    Bytes bytes;
    ASSERT_TRUE(readEntry(*reader, 0, bytes, error)) << archiveErrorText(error);
    EXPECT_EQ(bytes, kNewRom);
}

} // namespace

// TorrentZip's form, asked of any back end: each header with the fixed flags (2, and 0x800 for
// a name beyond ASCII), method 8 even for an entry asked to be stored, the time 23:32 of
// 1996-12-24, no extra field, "made by" 0; the comment holds the directory's CRC-32. An entry
// out of the order of names in lower case is refused.
TEST(ArchiveWrite, TorrentZipsFixedForm) {
    ArchiveWriteOptions options;
    options.torrentZip = true;
    MemoryOutput output;
    ArchiveError error;
    auto writer = createArchiveWriter(ArchiveFormat::Zip, output, "t.zip", error, ArchiveBackend::Default, options);
    ASSERT_TRUE(writer) << archiveErrorText(error);
    ArchiveEntry stored = newEntry("a.txt", kSampleTime, 3);
    stored.stored = true;
    addEntry(*writer, stored, Bytes({'h', 'i', '\n'}));
    addEntry(*writer, newEntry("B\xC3\xA9.z64", kSampleTime, 8), kNewRom); // "Bé": after "a" in lower case
    EXPECT_FALSE(writer->beginEntry(newEntry("A2.txt", kSampleTime), error)); // "a2" comes before "bé"
    EXPECT_EQ(error.entry, "A2.txt");
    ASSERT_TRUE(writer->finish(error)) << archiveErrorText(error);
    const Bytes& zip = output.bytes;
    const auto at16 = [&zip](std::size_t at) { return zip[at] | zip[at + 1] << 8; };
    const std::size_t second = offsetOf(zip, "PK\x03\x04", 1);
    for (const std::size_t local : {std::size_t(0), second}) {
        EXPECT_EQ(at16(local + 6), local == 0 ? 2 : 0x802); // flags
        EXPECT_EQ(at16(local + 8), 8);                      // deflated
        EXPECT_EQ(at16(local + 10), 0xBC00);                // 23:32:00
        EXPECT_EQ(at16(local + 12), 0x2198);                // 1996-12-24
        EXPECT_EQ(at16(local + 28), 0);                     // no extra field
    }
    const std::size_t directory = offsetOf(zip, "PK\x01\x02");
    EXPECT_EQ(at16(directory + 4), 0);  // made by MS-DOS
    EXPECT_EQ(at16(directory + 30), 0); // no extra field in the directory either
    const std::size_t end = offsetOf(zip, "PK\x05\x06");
    const std::string comment(zip.end() - 22, zip.end());
    EXPECT_EQ(at16(end + 20), 22);
    const Bytes records(zip.begin() + static_cast<std::ptrdiff_t>(directory), zip.begin() + static_cast<std::ptrdiff_t>(end));
    EXPECT_EQ(comment, "TORRENTZIPPED-" + hex32(crc32(0, records.data(), static_cast<uInt>(records.size()))));
    // A 7z cannot take the form.
    EXPECT_FALSE(createArchiveWriter(ArchiveFormat::SevenZip, output, "t.7z", error, ArchiveBackend::Default, options));
    EXPECT_EQ(error.problem, ArchiveProblem::Unsupported);
}
