#include "core/file_kind.h"

#include <gtest/gtest.h>

#include "core/byte_order.h"
#include "core/rom_file.h"
#include "core/rom_kind.h"
#include "core/tests/archive_samples.h"
#include "core/tests/test_files.h"

namespace {

// First bytes and the kind they make a file.
struct KindCase {
    const char* name;
    Bytes head;
    FileKind kind;
};

const KindCase kKindCases[] = {
    {"zip", {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00}, FileKind::ZipArchive},       // a local file header
    {"empty_zip", {0x50, 0x4B, 0x05, 0x06, 0x00, 0x00}, FileKind::ZipArchive}, // only the end record
    {"spanned_zip", {0x50, 0x4B, 0x07, 0x08, 0x50, 0x4B}, FileKind::ZipArchive},
    {"7z", {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C, 0x00, 0x04}, FileKind::SevenZipArchive},
    {"gzip", {0x1F, 0x8B, 0x08, 0x00}, FileKind::GzipFile},
    {"xz", {0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00, 0x00, 0x04}, FileKind::XzFile},
    {"rar4", {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00}, FileKind::RarArchive},
    {"rar5", {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00}, FileKind::RarArchive},
    {"png", {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, FileKind::PngImage},
    {"elf", {0x7F, 0x45, 0x4C, 0x46, 0x02, 0x01}, FileKind::ElfProgram},
    {"pe", {0x4D, 0x5A, 0x90, 0x00}, FileKind::WindowsProgram},
    {"pdf", {0x25, 0x50, 0x44, 0x46, 0x2D, 0x31, 0x2E, 0x37}, FileKind::PdfDocument},
    // The three orders of a ROM header: never one of these kinds.
    {"big_rom", {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F}, FileKind::Unrecognised},
    {"little_rom", {0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00}, FileKind::Unrecognised},
    {"v64_rom", {0x37, 0x80, 0x40, 0x12, 0x00, 0x00, 0x0F, 0x00}, FileKind::Unrecognised},
    // A signature cut short is not enough: 37 7A alone could begin anything.
    {"7z_cut", {0x37, 0x7A, 0xBC, 0xAF, 0x27}, FileKind::Unrecognised},
    {"zip_cut", {0x50, 0x4B, 0x03}, FileKind::Unrecognised},
    {"png_cut", {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A}, FileKind::Unrecognised},
    {"gzip_other_method", {0x1F, 0x8B, 0x00}, FileKind::Unrecognised}, // 08 (deflate) is the only one
    {"pk_other", {0x50, 0x4B, 0x01, 0x02}, FileKind::Unrecognised},    // a central directory alone
    {"pdf_without_dash", {0x25, 0x50, 0x44, 0x46}, FileKind::Unrecognised},
    {"empty", {}, FileKind::Unrecognised},
};

class FileKindTest : public testing::TestWithParam<KindCase> {};

TEST_P(FileKindTest, TellsTheKindFromTheFirstBytes) {
    const KindCase& c = GetParam();
    EXPECT_EQ(kindFromSignature(c.head.data(), c.head.size()), c.kind);
}

INSTANTIATE_TEST_SUITE_P(Signatures, FileKindTest, testing::ValuesIn(kKindCases),
                         [](const testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

// The words the companion prints, and the short names of its JSON.
TEST(FileKindNames, WordsAndShortNames) {
    EXPECT_EQ(notARomText(FileKind::SevenZipArchive), "a 7z archive, not a ROM");
    EXPECT_STREQ(fileKindText(FileKind::ZipArchive), "a zip archive");
    EXPECT_STREQ(fileKindText(FileKind::XzFile), "an xz file");
    EXPECT_STREQ(fileKindName(FileKind::SevenZipArchive), "7z");
    EXPECT_STREQ(fileKindName(FileKind::WindowsProgram), "exe");
    EXPECT_STREQ(fileKindText(FileKind::Unrecognised), "");
}

// detect's read: a 7z begins with the Doctor V64 byte 37, yet is of no order, and says what
// it is; a real Doctor V64 ROM (37 80 40 12) and a lone 37 keep the first-byte rule.
TEST(DetectKind, ArchivesHaveNoOrder) {
    const struct {
        const char* file;
        Bytes bytes;
        ByteOrder order;
        FileKind kind;
    } cases[] = {
        {"x.7z", kSmall7z, ByteOrder::None, FileKind::SevenZipArchive},
        {"x.zip", kSmallZip, ByteOrder::None, FileKind::ZipArchive},
        {"x.v64", {0x37, 0x80, 0x40, 0x12, 0x00, 0x00, 0x0F, 0x00}, ByteOrder::DoctorV64, FileKind::Unrecognised},
        {"one.v64", {0x37}, ByteOrder::DoctorV64, FileKind::Unrecognised},
        {"two.v64", {0x37, 0x7A}, ByteOrder::DoctorV64, FileKind::Unrecognised}, // too short for a 7z
    };
    ScratchFolder folder;
    for (const auto& c : cases) {
        writeFile(folder.path(c.file), c.bytes);
        FileError error;
        error.kind = FileKind::PdfDocument; // stale
        EXPECT_EQ(detectByteOrder(folder.path(c.file), error), c.order) << c.file;
        EXPECT_EQ(error.kind, c.kind) << c.file;
        // an archive is told as not a ROM, in the words every command uses
        EXPECT_EQ(error.step, c.kind == FileKind::Unrecognised ? FileStep::None : FileStep::NotRom) << c.file;
        if (c.kind != FileKind::Unrecognised) {
            EXPECT_EQ(error.reason, notARomText(c.kind)) << c.file;
        }
    }
}

// The look every writer takes after the open refuses an archive, for a dry run as for the
// real one; nothing is made beside it and its bytes stay as they were.
TEST(RomUpdateKind, RefusesAnArchive) {
    for (const OpenPurpose purpose : {OpenPurpose::Update, OpenPurpose::Check}) {
        for (const Bytes* archive : {&kSmall7z, &kSmallZip}) {
            ScratchFolder folder;
            const std::string path = folder.path("game.v64");
            writeFile(path, *archive);
            RomUpdate update;
            FileError error;
            ASSERT_TRUE(update.open(path, error, purpose)) << error.reason;
            EXPECT_FALSE(refuseNonRom(update, error));
            EXPECT_EQ(error.step, FileStep::NotRom);
            EXPECT_EQ(error.kind, archive == &kSmall7z ? FileKind::SevenZipArchive : FileKind::ZipArchive);
            EXPECT_EQ(error.path, path);
            EXPECT_EQ(error.rom, RomState::Unchanged);
            update.close(error);
            EXPECT_EQ(readFile(path), *archive);
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.root()), {}), 1);
        }
    }
}

// A ROM passes the look whatever its size, even one that begins with 37 7A and is too short
// for a 7z signature.
TEST(RomUpdateKind, LetsRomsThrough) {
    for (const Bytes& bytes : {Bytes{0x37, 0x80, 0x40, 0x12, 0x00, 0x00, 0x0F, 0x00}, Bytes{0x37, 0x7A}, Bytes{}}) {
        ScratchFolder folder;
        writeFile(folder.path("game.v64"), bytes);
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(folder.path("game.v64"), error)) << error.reason;
        EXPECT_TRUE(refuseNonRom(update, error)) << bytes.size();
        EXPECT_EQ(error.step, FileStep::None);
    }
}

} // namespace
