// The mupen64plus catalogue: small catalogues with the faults real ones have, and the real
// one from Debian's mupen64plus-data where it is installed.
#include "identity/catalog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "identity/tests/rom_samples.h"

namespace {

// Sections named by dirty keys, references, shared codes and lines that must be skipped.
const char* const kCatalogText =
    "; comment line\r\n"
    "[AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA ]\r\n" // a space inside the brackets
    "GoodName=Padded Key (U)\r\n"
    "CRC=11111111 22222222\r\n"
    "\n"
    "[bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb]\n" // lower case
    "GoodName = Lower Key (E)\n"
    "CRC=33333333 44444444\n"
    "[CCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCC]\n"
    "GoodName=Shares Codes A\n"
    "CRC=55555555 66666666\n"
    "[DDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDD]\n"
    "GoodName=Shares Codes B\n"
    "CRC=55555555 66666666\n"
    "[EEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEE]\n"
    "GoodName=Takes Codes By Reference\n"
    "RefMD5=aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\n"
    "[]\n"                              // a section without a name: its keys go nowhere
    "GoodName=Nameless\n"
    "CRC=77777777 88888888\n"
    "[99999999999999999999999999999999]\n"
    "GoodName=Nine Digits\n"
    "CRC=133333333 44444444\n"          // not a code: were it read, Lower Key's would be shared
    "[88888888888888888888888888888888]\n"
    "GoodName=Short Words\n"
    "CRC=5 6\n"                          // hex words need not have 8 digits
    "[FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF]\n"
    "no equals sign here\n"
    "CRC=not hex at all\n"
    "GoodName=Survives Odd Lines\n";

TEST(Catalog, FindsByMd5WhateverTheKeysLookLike) {
    Catalog catalog;
    catalog.parse(kCatalogText);
    EXPECT_EQ(catalog.size(), 8u);
    const struct {
        const char* md5;
        CatalogMatch match;
        const char* name;
    } cases[] = {
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", CatalogMatch::Md5, "Padded Key (U)"},
        {"BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB", CatalogMatch::Md5, "Lower Key (E)"},
        {"FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", CatalogMatch::Md5, "Survives Odd Lines"},
    };
    for (const auto& c : cases) {
        const CatalogResult found = catalog.find(c.md5, 0, 0);
        EXPECT_EQ(found.match, c.match) << c.md5;
        EXPECT_EQ(found.goodName, c.name) << c.md5;
    }
}

// Unknown MD5: the header's code names a section only when exactly one carries it, also
// through a reference; the one the reference points to then shares it.
TEST(Catalog, GuessesByHeaderCodesOnlyWhenUnique) {
    Catalog catalog;
    catalog.parse(kCatalogText);
    const std::string unknown = "0123456789ABCDEF0123456789ABCDEF";
    const CatalogResult unique = catalog.find(unknown, 0x33333333, 0x44444444);
    EXPECT_EQ(unique.match, CatalogMatch::HeaderCodes);
    EXPECT_EQ(unique.goodName, "Lower Key (E)");
    EXPECT_EQ(catalog.find(unknown, 5, 6).goodName, "Short Words");
    EXPECT_EQ(catalog.find(unknown, 0x55555555, 0x66666666).match, CatalogMatch::None); // two carry it
    EXPECT_EQ(catalog.find(unknown, 0x11111111, 0x22222222).match, CatalogMatch::None); // and the reference
    EXPECT_EQ(catalog.find(unknown, 0x77777777, 0x88888888).match, CatalogMatch::None); // nameless: skipped
}

// Overlong lines, a reference loop and a text without line ends do not upset the reader.
TEST(Catalog, SurvivesHostileText) {
    Catalog catalog;
    catalog.parse("[11111111111111111111111111111111]\nRefMD5=22222222222222222222222222222222\n"
                  "[22222222222222222222222222222222]\nRefMD5=11111111111111111111111111111111\n"
                  "GoodName=" + std::string(100000, 'x') + "\n[33333333333333333333333333333333]\nGoodName=Last");
    EXPECT_EQ(catalog.size(), 3u);
    EXPECT_EQ(catalog.find("22222222222222222222222222222222", 0, 0).goodName, "");
    EXPECT_EQ(catalog.find("33333333333333333333333333333333", 0, 0).goodName, "Last");
}

TEST(Catalog, LoadRefusesAFolder) {
    ScratchFolder folder;
    Catalog catalog;
    std::string reason;
    EXPECT_FALSE(catalog.load(folder.root().u8string(), reason));
    EXPECT_NE(reason, "");
}

// The real catalogue names the real ROM by the MD5 of its big-endian image.
TEST(Catalog, RealDebianCatalogue) {
    const char* const path = "/usr/share/games/mupen64plus/mupen64plus.ini";
    if (!fileExists(path)) GTEST_SKIP() << path << " is not installed (Debian package mupen64plus-data)";
    Catalog catalog;
    std::string reason;
    ASSERT_TRUE(catalog.load(path, reason)) << reason;
    EXPECT_EQ(catalog.size(), 3217u);
    const CatalogResult found = catalog.find(kRealMd5, kRealCrc1, kRealCrc2);
    EXPECT_EQ(found.match, CatalogMatch::Md5);
    EXPECT_EQ(found.goodName, kRealGoodName);
    // The same header codes alone are unique in it: a guess.
    EXPECT_EQ(catalog.find("00000000000000000000000000000000", kRealCrc1, kRealCrc2).match, CatalogMatch::HeaderCodes);
}

} // namespace
