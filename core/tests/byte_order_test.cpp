#include "core/byte_order.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <vector>

#include "core/rom_file.h"
#include "core/tests/test_files.h"

namespace {

TEST(OrderFacts, EachOrderHasItsFirstByteAndLabel) {
    // The first bytes are those of the ROM header's first word, 80 37 12 40, in each order.
    EXPECT_EQ(orderFirstByte(ByteOrder::BigEndian), 0x80);
    EXPECT_EQ(orderFirstByte(ByteOrder::LittleEndian), 0x40);
    EXPECT_EQ(orderFirstByte(ByteOrder::DoctorV64), 0x37);
    // Labels carry single spaces, unlike the radio button captions.
    EXPECT_STREQ(orderLabel(ByteOrder::BigEndian), "Big Endian [ A B C D ]");
    EXPECT_STREQ(orderLabel(ByteOrder::LittleEndian), "Little Endian [ D C B A ]");
    EXPECT_STREQ(orderLabel(ByteOrder::DoctorV64), "Doctor V64 [ B A D C ]");
    // An unrecognised file has no label, and its own text with a space each side.
    EXPECT_STREQ(orderLabel(ByteOrder::None), "");
    EXPECT_STREQ(kUnknownFormatText, " Formato sconosciuto ");
}

// The extensions of each order in both sets, and back from each extension to its order.
struct ExtensionCase {
    ByteOrder order;
    ExtensionSet set;
    const char* extension;
};
const ExtensionCase kExtensionCases[] = {
    // The window's rename, which scripts of the companion's convert --rename rely on too.
    {ByteOrder::BigEndian, ExtensionSet::Window, ".rom"},
    {ByteOrder::LittleEndian, ExtensionSet::Window, ".bin"},
    {ByteOrder::DoctorV64, ExtensionSet::Window, ".v64"},
    // What emulators, No-Intro's DATs and patched files use.
    {ByteOrder::BigEndian, ExtensionSet::Common, ".z64"},
    {ByteOrder::LittleEndian, ExtensionSet::Common, ".n64"},
    {ByteOrder::DoctorV64, ExtensionSet::Common, ".v64"},
};

TEST(OrderFacts, EachOrderHasAnExtensionInEachSet) {
    for (const ExtensionCase& c : kExtensionCases) {
        EXPECT_STREQ(orderExtension(c.order, c.set), c.extension) << c.extension;
        EXPECT_EQ(orderOfExtension(c.extension, c.set), c.order) << c.extension;
    }
    // Without a set, the window's: its callers never name one.
    EXPECT_STREQ(orderExtension(ByteOrder::BigEndian), ".rom");
    EXPECT_STREQ(orderExtension(ByteOrder::None, ExtensionSet::Window), "");
    EXPECT_STREQ(orderExtension(ByteOrder::None, ExtensionSet::Common), "");
}

TEST(OrderFacts, AnExtensionNamesAnOrderInItsOwnSetOnly) {
    // Letter case does not matter: DATs and old dumps write .Z64 and .V64 too.
    EXPECT_EQ(orderOfExtension(".Z64", ExtensionSet::Common), ByteOrder::BigEndian);
    EXPECT_EQ(orderOfExtension(".N64", ExtensionSet::Common), ByteOrder::LittleEndian);
    // .rom is the window's name for big-endian, not a common one, and the other way round.
    EXPECT_EQ(orderOfExtension(".rom", ExtensionSet::Common), ByteOrder::None);
    EXPECT_EQ(orderOfExtension(".z64", ExtensionSet::Window), ByteOrder::None);
    // The dot belongs to the extension; nothing else is one.
    EXPECT_EQ(orderOfExtension("z64", ExtensionSet::Common), ByteOrder::None);
    EXPECT_EQ(orderOfExtension(".z64 ", ExtensionSet::Common), ByteOrder::None);
    EXPECT_EQ(orderOfExtension("", ExtensionSet::Common), ByteOrder::None);
}

// A head of four bytes, how many of them are given, and the order it names.
struct HeadCase {
    const char* why;
    unsigned char bytes[4];
    std::size_t size;
    ByteOrder order;
};
const HeadCase kHeadCases[] = {
    // The header's first word 80 37 12 40 in each order.
    {"big", {0x80, 0x37, 0x12, 0x40}, 4, ByteOrder::BigEndian},
    {"little", {0x40, 0x12, 0x37, 0x80}, 4, ByteOrder::LittleEndian},
    {"v64", {0x37, 0x80, 0x40, 0x12}, 4, ByteOrder::DoctorV64},
    {"cut", {0x80, 0x37, 0x12, 0x40}, 3, ByteOrder::None},            // a file shorter than the head
    {"first_byte_only", {0x80, 0x37, 0x12, 0x41}, 4, ByteOrder::None}, // the first byte is not enough
    {"seven_zip", {0x37, 0x7A, 0xBC, 0xAF}, 4, ByteOrder::None},      // starts as a V64 ROM does
};

TEST(OrderFacts, AWholeRomHeadNamesItsOrder) {
    for (const HeadCase& c : kHeadCases) EXPECT_EQ(orderFromRomHead(c.bytes, c.size), c.order) << c.why;
}

TEST(OrderFacts, EachOrderHasTheShortNameTheCommandLinePrints) {
    EXPECT_STREQ(orderShortName(ByteOrder::BigEndian), "big");
    EXPECT_STREQ(orderShortName(ByteOrder::LittleEndian), "little");
    EXPECT_STREQ(orderShortName(ByteOrder::DoctorV64), "v64");
    EXPECT_STREQ(orderShortName(ByteOrder::None), "");
    // Every order is listed once, in the order the user sees them.
    EXPECT_EQ(std::vector<ByteOrder>(std::begin(kRomOrders), std::end(kRomOrders)),
              std::vector<ByteOrder>({ByteOrder::BigEndian, ByteOrder::LittleEndian, ByteOrder::DoctorV64}));
}

TEST(OrderFacts, OrdersKeepTheirNumbers) {
    EXPECT_EQ(static_cast<int>(ByteOrder::None), 0);
    EXPECT_EQ(static_cast<int>(ByteOrder::BigEndian), 2130);
    EXPECT_EQ(static_cast<int>(ByteOrder::LittleEndian), 2131);
    EXPECT_EQ(static_cast<int>(ByteOrder::DoctorV64), 2132);
}

TEST(DetectByteOrder, DecidesOnTheFirstByteAlone) {
    ScratchFolder folder;
    struct Case {
        const char* name;
        Bytes bytes;
        ByteOrder expected;
    };
    const Case cases[] = {
        // A big-endian header, and 0x80 followed by anything: big-endian all the same.
        {"big.z64", {0x80, 0x37, 0x12, 0x40}, ByteOrder::BigEndian},
        {"big-odd.z64", {0x80, 0x00, 0x00, 0x00, 0x11}, ByteOrder::BigEndian},
        // One byte is enough.
        {"one.n64", {0x40}, ByteOrder::LittleEndian},
        {"v64.v64", {0x37, 0x80, 0x40, 0x12}, ByteOrder::DoctorV64},
        // Recognised values in bytes two to four do not count.
        {"other.bin", {0x12, 0x80, 0x40, 0x37}, ByteOrder::None},
        {"zero.bin", {0x00, 0x37, 0x40, 0x80}, ByteOrder::None},
    };
    for (const Case& c : cases) {
        const std::string path = folder.path(c.name);
        writeFile(path, c.bytes);
        FileError error;
        error.step = FileStep::Open; // stale
        EXPECT_EQ(detectByteOrder(path, error), c.expected) << c.name;
        EXPECT_EQ(error.step, FileStep::None) << c.name; // the file was read: no failure to report
    }
}

TEST(DetectByteOrder, EmptyMissingAndFolderGiveNone) {
    ScratchFolder folder;
    const std::string empty = folder.path("empty.z64");
    writeFile(empty, {});
    FileError error;
    EXPECT_EQ(detectByteOrder(empty, error), ByteOrder::None);
    EXPECT_EQ(error.step, FileStep::None); // read fine, just nothing there

    EXPECT_EQ(detectByteOrder(folder.path("missing.z64"), error), ByteOrder::None);
    EXPECT_EQ(error.step, FileStep::Read);
    EXPECT_NE(error.reason, ""); // the system's reason for the failed open
    EXPECT_EQ(error.path, folder.path("missing.z64"));

    std::filesystem::create_directory(folder.root() / "folder.z64");
    EXPECT_EQ(detectByteOrder(folder.path("folder.z64"), error), ByteOrder::None);
    EXPECT_NE(error.reason, "");

    EXPECT_EQ(detectByteOrder(folder.path("missing.z64")), ByteOrder::None); // reason optional
}

TEST(DetectByteOrder, LeavesTheFileAsItWas) {
    ScratchFolder folder;
    const std::string path = folder.path("game.v64");
    const Bytes bytes = {0x37, 0x80, 0x40, 0x12, 0x00, 0x00};
    writeFile(path, bytes);
    const auto stamp = std::filesystem::last_write_time(std::filesystem::u8path(path));
    EXPECT_EQ(detectByteOrder(path), ByteOrder::DoctorV64);
    EXPECT_EQ(detectByteOrder(path), ByteOrder::DoctorV64);
    EXPECT_EQ(readFile(path), bytes);
    EXPECT_EQ(std::filesystem::last_write_time(std::filesystem::u8path(path)), stamp);
}

TEST(DetectByteOrder, ReadsNamesWithSpacesAndNonAsciiCharacters) {
    ScratchFolder folder;
    const std::string path = folder.path(u8"Zelda – ゼルダ no Densetsu.n64");
    writeFile(path, {0x40, 0x12, 0x37, 0x80});
    EXPECT_EQ(detectByteOrder(path), ByteOrder::LittleEndian);
}

} // namespace
