// What the archive library reports for callers to act on: formats by their first bytes,
// names no caller should use as file names, repeated names, nested archives, and the limits
// that stop a zip bomb while it inflates.
#include <gtest/gtest.h>

#include "archive_samples.h"
#include "archive_support.h"

namespace {

TEST(ArchiveFormats, RecognisedByTheirFirstBytesOnly) {
    const struct {
        Bytes first;
        ArchiveFormat format;
    } cases[] = {
        {{'P', 'K', 3, 4, 0x14}, ArchiveFormat::Zip},
        {{'P', 'K', 5, 6, 0}, ArchiveFormat::Zip},             // an empty zip's end record
        {{'P', 'K', 7, 8, 0}, ArchiveFormat::None},            // a descriptor alone is no zip
        {{0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C}, ArchiveFormat::SevenZip},
        {{0x1F, 0x8B, 0x08, 0}, ArchiveFormat::Gzip},
        {{0x1F, 0x8B, 0x07, 0}, ArchiveFormat::None},          // gzip knows deflate (8) only
        {{0xFD, '7', 'z', 'X', 'Z', 0}, ArchiveFormat::Xz},
        {{'B', 'Z', 'h', '9'}, ArchiveFormat::Bzip2},
        {{'B', 'Z', 'h', 'x'}, ArchiveFormat::None},           // "BZh" opens many a text
        {{'R', 'a', 'r', '!', 0x1A, 0x07, 0}, ArchiveFormat::Rar},
        {{0x80, 0x37, 0x12, 0x40}, ArchiveFormat::None},       // a ROM
        {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, ArchiveFormat::None},
        {{0x7F, 'E', 'L', 'F'}, ArchiveFormat::None},
        {{'P', 'K'}, ArchiveFormat::None},                     // too short to tell
    };
    for (const auto& c : cases) EXPECT_EQ(recogniseArchive(c.first.data(), c.first.size()), c.format);
    Bytes tar(512, 0);
    std::copy_n("ustar", 5, tar.begin() + 257);
    EXPECT_EQ(recogniseArchive(tar.data(), tar.size()), ArchiveFormat::Tar);
}

TEST(ArchiveNames, EachProblemIsFound) {
    const struct {
        std::string name;
        NameProblem problem;
    } cases[] = {
        {"Mondo Kart (Europa).z64", NameProblem::None},
        {"roms/Mondo Kart.z64", NameProblem::None},
        {"Jeu \xC3\xA9t\xC3\xA9.v64", NameProblem::None},          // UTF-8 é
        {"..foo/bar..", NameProblem::None},                        // dots, but no ".." part
        {"", NameProblem::Empty},
        {"\xFF" "bad.z64", NameProblem::NotUtf8},
        {"tab\there", NameProblem::ControlCharacter},
        {"del\x7F", NameProblem::ControlCharacter},
        {"c1\xC2\x85", NameProblem::ControlCharacter},             // U+0085, a C1 control
        {"roms\\game.z64", NameProblem::Backslash},
        {"/etc/passwd", NameProblem::Absolute},
        {"C:game.z64", NameProblem::Absolute},                     // a drive
        {"../game.z64", NameProblem::ParentFolder},
        {"roms/../../game.z64", NameProblem::ParentFolder},
        {"roms/..", NameProblem::ParentFolder},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkEntryName(c.name), c.problem) << c.name;
        EXPECT_EQ(std::string(nameProblemText(c.problem)).empty(), c.problem == NameProblem::None);
    }
}

// Both back ends list the same problems, and still read the entries as streams.
TEST(ArchiveNames, ListedByEveryBackEndWithRepeatsAndNestedArchives) {
    const Bytes gz = sample(kRomGz);
    const Bytes zip = zipOf({{"../up.z64", {1}}, {"a\\b.z64", {2}}, {"ok.z64", {3}}, {"ok.z64", {4}},
                             {"inner.zip", sample(kDeflateZip)}, {"inner.bin", gz},
                             {"\xFF" "bad.z64", {5}}});
    for (ArchiveBackend backend : builtBackends()) {
        SCOPED_TRACE(backendName(backend));
        ScratchFolder folder;
        writeFile(folder.path("names.zip"), zip);
        ArchiveError error;
        auto reader = openArchive(folder.path("names.zip"), error, backend);
        ASSERT_TRUE(reader) << archiveErrorText(error);
        const auto& entries = reader->entries();
        ASSERT_EQ(entries.size(), 7u);
        EXPECT_EQ(entries[6].nameProblem, NameProblem::NotUtf8);
        EXPECT_EQ(entries[0].nameProblem, NameProblem::ParentFolder);
        EXPECT_EQ(entries[1].nameProblem, NameProblem::Backslash);
        EXPECT_FALSE(entries[2].duplicate);
        EXPECT_TRUE(entries[3].duplicate); // the second "ok.z64"
        Bytes bytes;
        ASSERT_TRUE(readEntry(*reader, 3, bytes, error)) << archiveErrorText(error);
        EXPECT_EQ(bytes, Bytes({4}));
        EXPECT_EQ(reader->nestedFormat(), ArchiveFormat::None);
        // Nested archives are told by their bytes, whatever their names say.
        ASSERT_TRUE(readEntry(*reader, 4, bytes, error));
        EXPECT_EQ(reader->nestedFormat(), ArchiveFormat::Zip);
        ASSERT_TRUE(readEntry(*reader, 5, bytes, error));
        EXPECT_EQ(reader->nestedFormat(), ArchiveFormat::Gzip);
    }
}

TEST(ArchiveErrors, TheMessageNamesArchiveEntryAndReason) {
    const ArchiveError error = {ArchiveProblem::BadName, "games/a.zip", "evil\n.z64", "its name holds a control character"};
    // The entry's control character is escaped, as every shown name is.
    EXPECT_EQ(archiveErrorText(error), "games/a.zip: evil\\n.z64: its name holds a control character");
    EXPECT_EQ(archiveErrorText({ArchiveProblem::Truncated, "a.zip", "", "it is cut short"}), "a.zip: it is cut short");
}

// A reader whose entry unpacks to as many zero bytes as asked from a packed size it sets, to
// try the limits of every back end where they are kept: in the common reader.
class EndlessReader : public ArchiveReader {
public:
    EndlessReader(std::int64_t ratio, std::int64_t stated) : ArchiveReader(ArchiveFormat::Zip, "bomb.zip"), ratio_(ratio) {
        ArchiveEntry entry;
        entry.name = "bomb.z64";
        entry.size = stated;
        setEntries({entry});
    }
    std::int64_t produced = 0;

private:
    bool startEntry(std::size_t, ArchiveError&) override { return true; }
    std::int64_t readSome(unsigned char* buffer, std::size_t size, ArchiveError&) override {
        std::fill_n(buffer, std::min<std::size_t>(size, 16), 0);
        produced += static_cast<std::int64_t>(size);
        return static_cast<std::int64_t>(size);
    }
    std::int64_t packedSoFar() const override { return produced / ratio_; }
    std::int64_t ratio_;
};

// Reads the entry in 1 MiB slices until it fails; the error.
ArchiveError readUntilRefused(EndlessReader& reader) {
    ArchiveError error;
    EXPECT_TRUE(reader.openEntry(0, error));
    std::vector<unsigned char> slice(1 << 20);
    while (reader.read(slice.data(), slice.size(), error) > 0) {
    }
    return error;
}

TEST(ArchiveLimits, ReadingStopsAsSoonAsALimitIsPassed) {
    // 2000:1 from the first bytes: stopped just past the 1 MiB below which no ratio counts.
    EndlessReader dense(2000, -1);
    ArchiveError error = readUntilRefused(dense);
    EXPECT_EQ(error.problem, ArchiveProblem::TooLarge);
    EXPECT_EQ(error.entry, "bomb.z64");
    EXPECT_EQ(dense.produced, 2 << 20);
    // 999:1 is allowed; it ends at 2 GiB, one slice past.
    EndlessReader large(999, -1);
    error = readUntilRefused(large);
    EXPECT_EQ(error.problem, ArchiveProblem::TooLarge);
    EXPECT_NE(error.reason.find("2 GiB"), std::string::npos);
    EXPECT_EQ(large.produced, std::int64_t(2048) << 20);
    // A stated size that the bytes pass: stopped at the first slice beyond it.
    EndlessReader lying(10, 1000);
    error = readUntilRefused(lying);
    EXPECT_EQ(error.problem, ArchiveProblem::CrcMismatch);
    EXPECT_EQ(lying.produced, 1 << 20);
}

} // namespace
