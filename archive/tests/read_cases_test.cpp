// One table of zip and gzip archives read by every back end of the build: the listing, the
// bytes of each entry, and for damaged and hostile archives the refusal, its entry and reason.
#include <gtest/gtest.h>

#include <functional>

#include "archive_samples.h"
#include "archive_support.h"

namespace {

const Bytes kRom = [] {
    Bytes rom = {0x80, 0x37, 0x12, 0x40};
    const std::string text = "MONDO KART ";
    for (std::size_t i = 0; rom.size() < 256; ++i) rom.push_back(static_cast<unsigned char>(text[i % text.size()]));
    return rom;
}(); // the 256-byte ROM of the samples
const Bytes kReadme = {'H', 'a', 'c', 'k', ' ', 'v', '1', '\n'};

// An entry as a good case expects it.
struct Expected {
    std::string name;
    Bytes bytes;
    bool stored;
};

struct GoodCase {
    const char* what;
    Bytes archive;
    std::vector<Expected> entries;
    bool timesKnown; // the format keeps a time (gzip's is in the header)
};

std::vector<GoodCase> goodCases() {
    return {
        // Info-ZIP: the ROM deflated, the readme stored (zip -0).
        {"deflate and store", sample(kDeflateZip), {{"Mondo Kart.z64", kRom, false}, {"readme.txt", kReadme, true}}, true},
        // zip -fz: zip64 end records and a zip64 extra field on a small entry.
        {"zip64", sample(kZip64Zip), {{"readme.txt", kReadme, true}}, true},
        // From a pipe: bit 3 set, the sizes in a data descriptor after the data.
        {"data descriptor", sample(kDescriptorZip), {{"-", kReadme, false}}, true},
        // gzip keeps the ROM's name (FNAME) and time.
        {"gzip", sample(kRomGz), {{"Mondo Kart.z64", kRom, false}}, true},
        // Two members read as one file, as gzip -d makes them.
        {"gzip members", sample(kTwoMembersGz), {{"readme.txt", Bytes(), false}}, true},
        // Our own zip with every record zip64, read back by both.
        {"zip64 written here", zipOf({{"a.z64", kRom}, {"b.txt", kReadme}}, true),
         {{"a.z64", kRom, false}, {"b.txt", kReadme, false}}, true},
        // An empty zip is the end record alone.
        {"empty zip", Bytes({'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), {}, false},
    };
}

TEST(ArchiveRead, EveryBackEndListsAndReadsTheSamples) {
    useUtc();
    Bytes twice = kReadme;
    twice.insert(twice.end(), kReadme.begin(), kReadme.end());
    for (ArchiveBackend backend : builtBackends()) {
        for (GoodCase c : goodCases()) {
            SCOPED_TRACE(std::string(backendName(backend)) + ": " + c.what);
            if (std::string(c.what) == "gzip members") c.entries[0].bytes = twice;
            ScratchFolder folder;
            const std::string path = folder.path("sample.bin");
            writeFile(path, c.archive);
            ArchiveError error;
            auto reader = openArchive(path, error, backend);
            ASSERT_TRUE(reader) << archiveErrorText(error);
            ASSERT_EQ(reader->entries().size(), c.entries.size());
            for (std::size_t i = 0; i < c.entries.size(); ++i) {
                const ArchiveEntry& entry = reader->entries()[i];
                EXPECT_EQ(entry.name, c.entries[i].name);
                EXPECT_EQ(entry.nameProblem, NameProblem::None);
                EXPECT_FALSE(entry.duplicate);
                // Every sample's file was last changed at the same second.
                if (c.timesKnown) {
                    EXPECT_EQ(entry.modified, kSampleTime);
                }
                Bytes bytes;
                ASSERT_TRUE(readEntry(*reader, i, bytes, error)) << archiveErrorText(error);
                EXPECT_EQ(bytes, c.entries[i].bytes);
                EXPECT_EQ(reader->nestedFormat(), ArchiveFormat::None);
            }
            // Entries are read in any order, and again.
            if (c.entries.size() > 1) {
                Bytes bytes;
                ASSERT_TRUE(readEntry(*reader, 0, bytes, error)) << archiveErrorText(error);
                EXPECT_EQ(bytes, c.entries[0].bytes);
            }
        }
    }
}

// The zip's central directory states the sizes and CRC-32, which zlib's reader lists; the
// stored entry is listed as such.
TEST(ArchiveRead, ZipListingStatesSizesAndCrc) {
    ScratchFolder folder;
    writeFile(folder.path("s.zip"), sample(kDeflateZip));
    ArchiveError error;
    auto reader = openArchive(folder.path("s.zip"), error, ArchiveBackend::Zlib);
    ASSERT_TRUE(reader) << archiveErrorText(error);
    const ArchiveEntry& rom = reader->entries()[0];
    EXPECT_EQ(rom.size, 256);
    EXPECT_EQ(rom.packedSize, 19);      // what Info-ZIP's deflate made of it
    EXPECT_TRUE(rom.crcKnown);
    EXPECT_EQ(rom.crc, 0x2D969AD7u);    // Python's zlib.crc32 of the ROM
    EXPECT_FALSE(rom.stored);
    EXPECT_TRUE(reader->entries()[1].stored);
    EXPECT_EQ(reader->entries()[1].crc, 0x04DF2FB8u);
}

// A damaged or hostile archive: how it is made from a sample, and the refusal expected of
// each back end (the entry named, "" for the archive itself).
struct BadCase {
    const char* what;
    std::function<Bytes()> make;
    ArchiveProblem zlib;
    ArchiveProblem libarchive;
    std::string entry;
};

// The deflate sample with a change.
Bytes deflateZipWith(const std::function<void(Bytes&)>& change) {
    Bytes zip = sample(kDeflateZip);
    change(zip);
    return zip;
}

const std::string kCentral("PK\x01\x02", 4), kEnd("PK\x05\x06", 4);

std::vector<BadCase> badCases() {
    return {
        // Cut before its directory: no end record.
        {"truncated zip", [] { Bytes z = sample(kDeflateZip); z.resize(120); return z; },
         ArchiveProblem::Truncated, ArchiveProblem::Truncated, ""},
        // One byte of the stored readme changed: its CRC-32 no longer holds (data at 103).
        {"crc mismatch", [] { return deflateZipWith([](Bytes& z) { z[103] ^= 0x20; }); },
         ArchiveProblem::CrcMismatch, ArchiveProblem::CrcMismatch, "readme.txt"},
        // The directory says the ROM unpacks to 200 bytes (it is 256), local header agreeing.
        {"size lies", [] { return deflateZipWith([](Bytes& z) { put32(z, offsetOf(z, kCentral) + 24, 200); put32(z, 22, 200); }); },
         ArchiveProblem::CrcMismatch, ArchiveProblem::CrcMismatch, "Mondo Kart.z64"},
        // The readme's local offset points at the ROM's header: two entries on one place.
        {"offset lies", [] { return deflateZipWith([](Bytes& z) { put32(z, offsetOf(z, kCentral, 1) + 42, 0); }); },
         ArchiveProblem::Damaged, ArchiveProblem::Damaged, "readme.txt"},
        // The ROM's packed size runs over the readme's local header.
        {"packed size lies", [] { return deflateZipWith([](Bytes& z) { put32(z, offsetOf(z, kCentral) + 20, 90); }); },
         ArchiveProblem::Damaged, ArchiveProblem::Damaged, "Mondo Kart.z64"},
        // The end record says three entries; the directory holds two.
        {"count lies", [] { return deflateZipWith([](Bytes& z) { put16(z, offsetOf(z, kEnd) + 10, 3); put16(z, offsetOf(z, kEnd) + 8, 3); }); },
         ArchiveProblem::Damaged, ArchiveProblem::Damaged, ""},
        // zip -P: the readme needs a password.
        {"encrypted", [] { return sample(kEncryptedZip); }, ArchiveProblem::Encrypted, ArchiveProblem::Encrypted, "readme.txt"},
        // The directory claims 3 GiB for the ROM: refused before a byte is inflated.
        {"claims 3 GiB", [] { return deflateZipWith([](Bytes& z) { put32(z, offsetOf(z, kCentral) + 24, 0xC0000000u); }); },
         ArchiveProblem::TooLarge, ArchiveProblem::TooLarge, "Mondo Kart.z64"},
        // 40 MiB of zeros deflate about 1030:1.
        {"ratio bomb", [] { return zipOf({{"bomb.z64", Bytes(40 << 20, 0)}}); },
         ArchiveProblem::TooLarge, ArchiveProblem::TooLarge, "bomb.z64"},
        // gzip cut in its data.
        {"truncated gzip", [] { Bytes g = sample(kRomGz); g.resize(g.size() - 12); return g; },
         ArchiveProblem::Truncated, ArchiveProblem::Truncated, "Mondo Kart.z64"},
        // gzip whose trailer CRC-32 is changed (the last 8 bytes: CRC-32, size).
        {"gzip crc", [] { Bytes g = sample(kRomGz); g[g.size() - 8] ^= 1; return g; },
         ArchiveProblem::CrcMismatch, ArchiveProblem::CrcMismatch, "Mondo Kart.z64"},
    };
}

// Opens the archive and reads every entry; the first refusal met.
ArchiveError firstRefusal(const std::string& path, ArchiveBackend backend) {
    ArchiveError error;
    auto reader = openArchive(path, error, backend);
    if (!reader) return error;
    for (std::size_t i = 0; i < reader->entries().size(); ++i) {
        Bytes bytes;
        if (!readEntry(*reader, i, bytes, error)) return error;
    }
    return ArchiveError();
}

TEST(ArchiveRead, DamagedAndHostileArchivesAreRefusedWithEntryAndReason) {
    for (ArchiveBackend backend : builtBackends()) {
        for (const BadCase& c : badCases()) {
            SCOPED_TRACE(std::string(backendName(backend)) + ": " + c.what);
            ScratchFolder folder;
            const std::string path = folder.path("bad.zip");
            writeFile(path, c.make());
            const ArchiveError error = firstRefusal(path, backend);
            EXPECT_EQ(static_cast<int>(error.problem), static_cast<int>(backend == ArchiveBackend::Zlib ? c.zlib : c.libarchive))
                << archiveErrorText(error);
            EXPECT_EQ(error.archive, path);
            EXPECT_EQ(error.entry, c.entry) << archiveErrorText(error);
            EXPECT_FALSE(error.reason.empty());
        }
    }
}

} // namespace
