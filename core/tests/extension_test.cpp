#include "core/extension.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/tests/test_files.h"

namespace {

TEST(CorrectedName, ReplacesAThreeLetterExtension) {
    EXPECT_EQ(correctedName("mario.z64", ByteOrder::DoctorV64), "mario.v64");
    EXPECT_EQ(correctedName("mario.z64", ByteOrder::LittleEndian), "mario.bin");
    EXPECT_EQ(correctedName("mario.z64", ByteOrder::BigEndian), "mario.rom");
    EXPECT_EQ(correctedName("/roms/n64/mario.z64", ByteOrder::BigEndian), "/roms/n64/mario.rom");
    // Already named for its order: the same name.
    EXPECT_EQ(correctedName("game.rom", ByteOrder::BigEndian), "game.rom");
}

TEST(CorrectedName, KeepsEveryCharacterOfTheNameAndFolder) {
    // A two-letter extension is replaced whole; the "e" of the name stays.
    EXPECT_EQ(correctedName("game.n6", ByteOrder::DoctorV64), "game.v64");
    // No extension: one is appended instead of eating into the name.
    EXPECT_EQ(correctedName("game", ByteOrder::LittleEndian), "game.bin");
    EXPECT_EQ(correctedName("ab", ByteOrder::LittleEndian), "ab.bin");
    // A dot in a folder is not an extension of the file: the file stays in its folder.
    EXPECT_EQ(correctedName("/roms.old/game", ByteOrder::BigEndian), "/roms.old/game.rom");
    // Only the last extension is replaced.
    EXPECT_EQ(correctedName("game.v1.1.z64", ByteOrder::DoctorV64), "game.v1.1.v64");
    EXPECT_EQ(correctedName(u8"ゼルダ の 伝説.n64", ByteOrder::BigEndian), u8"ゼルダ の 伝説.rom");
    // A name that is only an extension keeps its folder and changes its extension.
    EXPECT_EQ(correctedName(".z64", ByteOrder::BigEndian), ".rom");
    EXPECT_EQ(correctedName("roms/.z64", ByteOrder::DoctorV64), "roms/.v64");
}

TEST(CorrectedName, TheCommonSetGivesTheNamesEmulatorsUse) {
    // .z64 and .n64 instead of the window's .rom and .bin; .v64 in both sets.
    EXPECT_EQ(correctedName("mario.rom", ByteOrder::BigEndian, ExtensionSet::Common), "mario.z64");
    EXPECT_EQ(correctedName("mario.v64", ByteOrder::LittleEndian, ExtensionSet::Common), "mario.n64");
    EXPECT_EQ(correctedName("mario.bin", ByteOrder::DoctorV64, ExtensionSet::Common), "mario.v64");
    EXPECT_EQ(correctedName("roms.old/game", ByteOrder::BigEndian, ExtensionSet::Common), "roms.old/game.z64");
}

#ifdef _WIN32
TEST(CorrectedName, UnderstandsWindowsPaths) {
    EXPECT_EQ(correctedName("C:\\roms\\mario.z64", ByteOrder::LittleEndian), "C:\\roms\\mario.bin");
    EXPECT_EQ(correctedName("C:\\roms.old\\game", ByteOrder::BigEndian), "C:\\roms.old\\game.rom");
}
#endif

TEST(CorrectExtension, RenamesTheFileAndGivesItsNewName) {
    ScratchFolder folder;
    const std::string path = folder.path("mario.z64");
    writeFile(path, {0x37, 0x80, 0x40, 0x12});
    const ExtensionResult result = correctExtension(path, "mario.z64", ByteOrder::DoctorV64);
    EXPECT_TRUE(result.renamed);
    EXPECT_EQ(result.path, folder.path("mario.v64"));
    EXPECT_EQ(result.title, "mario.v64");
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(readFile(folder.path("mario.v64")), Bytes({0x37, 0x80, 0x40, 0x12}));
}

TEST(CorrectExtension, RenamesToTheCommonSetWhenAsked) {
    ScratchFolder folder;
    const std::string path = folder.path("mario.v64");
    writeFile(path, {0x40, 0x12, 0x37, 0x80});
    const ExtensionResult result = correctExtension(path, "mario.v64", ByteOrder::LittleEndian, ExtensionSet::Common);
    EXPECT_TRUE(result.renamed) << result.reason;
    EXPECT_EQ(result.path, folder.path("mario.n64"));
    EXPECT_EQ(result.title, "mario.n64"); // not the window's mario.bin
    EXPECT_FALSE(fileExists(folder.path("mario.bin")));
    EXPECT_EQ(readFile(folder.path("mario.n64")), Bytes({0x40, 0x12, 0x37, 0x80}));
}

TEST(CorrectExtension, NeverReplacesAnExistingFile) {
    ScratchFolder folder;
    const std::string path = folder.path("mario.z64");
    const std::string other = folder.path("mario.bin");
    writeFile(path, {0x40, 0x12, 0x37, 0x80});
    writeFile(other, {0x01, 0x02}); // somebody else's file under the new name
    const ExtensionResult result = correctExtension(path, "mario.z64", ByteOrder::LittleEndian);
    EXPECT_FALSE(result.renamed);
    EXPECT_NE(result.reason, "");
    EXPECT_EQ(result.path, path); // the name the file really has
    EXPECT_EQ(result.title, "mario.z64");
    EXPECT_EQ(readFile(path), Bytes({0x40, 0x12, 0x37, 0x80}));
    EXPECT_EQ(readFile(other), Bytes({0x01, 0x02}));
}

TEST(CorrectExtension, AFileAlreadyNamedForItsOrderKeepsItsName) {
    ScratchFolder folder;
    const std::string path = folder.path("game.rom");
    writeFile(path, {0x80, 0x37, 0x12, 0x40});
    const ExtensionResult result = correctExtension(path, "game.rom", ByteOrder::BigEndian);
    EXPECT_TRUE(result.renamed);
    EXPECT_EQ(result.path, path);
    EXPECT_EQ(result.title, "game.rom");
    EXPECT_EQ(readFile(path), Bytes({0x80, 0x37, 0x12, 0x40}));
}

TEST(CorrectExtension, NamesWithoutExtensionSpacesAndNonAsciiCharacters) {
    ScratchFolder folder;
    const std::string plain = folder.path("Super Game");
    writeFile(plain, {0x80});
    ExtensionResult result = correctExtension(plain, "Super Game", ByteOrder::BigEndian);
    EXPECT_TRUE(result.renamed) << result.reason;
    EXPECT_EQ(result.title, "Super Game.rom");
    EXPECT_TRUE(fileExists(folder.path("Super Game.rom")));

    const std::string japanese = folder.path(u8"ゼルダ の 伝説.z64");
    writeFile(japanese, {0x40});
    result = correctExtension(japanese, u8"ゼルダ の 伝説.z64", ByteOrder::LittleEndian);
    EXPECT_TRUE(result.renamed) << result.reason;
    EXPECT_EQ(result.title, u8"ゼルダ の 伝説.bin");
    EXPECT_EQ(readFile(folder.path(u8"ゼルダ の 伝説.bin")), Bytes({0x40}));
}

TEST(CorrectExtension, AMissingFileIsReportedNotInvented) {
    ScratchFolder folder;
    const std::string path = folder.path("gone.z64");
    const ExtensionResult result = correctExtension(path, "gone.z64", ByteOrder::DoctorV64);
    EXPECT_FALSE(result.renamed);
    EXPECT_NE(result.reason, "");
    EXPECT_EQ(result.title, "gone.z64");
    EXPECT_FALSE(fileExists(folder.path("gone.v64")));
}

} // namespace
