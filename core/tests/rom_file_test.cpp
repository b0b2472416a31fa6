#include "core/rom_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/conversion.h"
#include "core/tests/test_files.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

// Reads the ROM at path whole, expecting success.
void readWhole(const std::string& path, RomStream& rom, RomImage& image) {
    FileError error;
    ASSERT_TRUE(openAndRead(path, rom, image, error)) << error.reason;
}

TEST(OpenAndRead, ReadsTheWholeFileIntoAnImageOfItsSize) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    writeFile(path, {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F, 0x55});
    RomStream rom;
    RomImage image;
    readWhole(path, rom, image);
    ASSERT_EQ(image.size, 9);
    EXPECT_EQ(Bytes(image.bytes, image.bytes + 9),
              Bytes({0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F, 0x55}));
    releaseImage(image);
    EXPECT_EQ(image.bytes, nullptr);
    FileError error;
    EXPECT_TRUE(closeRom(rom, error));
    EXPECT_TRUE(closeRom(rom, error)); // a second close does nothing
}

TEST(OpenAndRead, FilesThatCannotBeOpenedAreReportedAndLeftAlone) {
    ScratchFolder folder;
    RomStream rom;
    RomImage image;
    FileError error;
    const std::string missing = folder.path("missing.z64");
    EXPECT_FALSE(openAndRead(missing, rom, image, error));
    EXPECT_EQ(error.step, FileStep::Open);
    EXPECT_EQ(error.path, missing);
    EXPECT_NE(error.reason, "");
    EXPECT_FALSE(fileExists(missing)); // "r+b" never creates the file
    EXPECT_EQ(rom.file, kNoFile);
    EXPECT_EQ(image.bytes, nullptr);

    // A folder where the ROM should be cannot be opened for update.
    const std::string folderRom = folder.path("folder.z64");
    std::filesystem::create_directory(std::filesystem::u8path(folderRom));
    error = FileError();
    EXPECT_FALSE(openAndRead(folderRom, rom, image, error));
    EXPECT_EQ(error.step, FileStep::Open);
    EXPECT_EQ(error.path, folderRom);
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(folderRom)));
}

TEST(OpenAndRead, RefusesFilesOf2GiBAndMoreWithoutReadingThem) {
    ScratchFolder folder;
    const std::string path = folder.path("huge.z64");
    writeFile(path, {0x80});
    // A sparse file: 2 GiB on paper, no space on disk.
    std::filesystem::resize_file(std::filesystem::u8path(path), std::uintmax_t(1) << 31);
    RomStream rom;
    RomImage image;
    FileError error;
    EXPECT_FALSE(openAndRead(path, rom, image, error));
    EXPECT_EQ(error.step, FileStep::TooLarge);
    EXPECT_EQ(error.path, path);
    EXPECT_EQ(image.bytes, nullptr);
    EXPECT_EQ(rom.file, kNoFile);
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::u8path(path)), std::uintmax_t(1) << 31);
}

#ifndef _WIN32
TEST(OpenAndRead, APipeIsRefusedWithoutWaitingForAWriter) {
    ScratchFolder folder;
    const std::string path = folder.path("pipe.z64");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    RomStream rom;
    RomImage image;
    FileError error;
    EXPECT_FALSE(openAndRead(path, rom, image, error)); // a plain open would wait for ever
    EXPECT_EQ(error.step, FileStep::Open);
    EXPECT_EQ(error.path, path);
    EXPECT_EQ(error.reason, "not a regular file");
}
#endif

TEST(WriteBackup, HoldsTheBytesReadAndReplacesAnOlderBackup) {
    ScratchFolder folder;
    const std::string path = folder.path("game.v64");
    writeFile(path, {0x37, 0x80, 0x40, 0x12, 0x01});
    writeFile(path + ".bak", {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x00, 0x00, 0x00}); // older, longer
    RomStream rom;
    RomImage image;
    readWhole(path, rom, image);
    FileError error;
    EXPECT_EQ(backupPath(path), folder.path("game.v64.bak")); // the old extension stays
    ASSERT_TRUE(writeBackup(path, image, error)) << error.reason;
    // The new backup is exactly the ROM, the longer old one truncated away.
    EXPECT_EQ(readFile(path + ".bak"), Bytes({0x37, 0x80, 0x40, 0x12, 0x01}));
    releaseImage(image);
    EXPECT_TRUE(closeRom(rom, error));
}

TEST(WriteBackup, AFailedBackupIsReportedAndTheRomIsLeftAlone) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    writeFile(path, {0x80, 0x37, 0x12, 0x40});
    // A folder of the backup's name: the backup cannot be created.
    std::filesystem::create_directory(std::filesystem::u8path(path + ".bak"));
    RomStream rom;
    RomImage image;
    readWhole(path, rom, image);
    FileError error;
    EXPECT_FALSE(writeBackup(path, image, error));
    EXPECT_EQ(error.step, FileStep::Backup);
    EXPECT_EQ(error.path, path + ".bak"); // names the file that failed
    EXPECT_NE(error.reason, "");
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(path + ".bak")));
    releaseImage(image);
    EXPECT_TRUE(closeRom(rom, error));
    EXPECT_EQ(readFile(path), Bytes({0x80, 0x37, 0x12, 0x40}));
}

TEST(WriteBack, RewritesTheRomInPlaceAtTheSameLength) {
    ScratchFolder folder;
    const std::string path = folder.path(u8"Mario Kart – マリオ.z64");
    writeFile(path, {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03});
    RomStream rom;
    RomImage image;
    readWhole(path, rom, image);
    FileError error;
    ASSERT_TRUE(writeBackup(path, image, error)) << error.reason;
    convertToBig(image.bytes, image.size, ByteOrder::BigEndian);
    convertFromBig(image.bytes, image.size, ByteOrder::LittleEndian);
    ASSERT_TRUE(writeBack(rom, image, error)) << error.reason;
    releaseImage(image);
    ASSERT_TRUE(closeRom(rom, error)) << error.reason;
    // Each complete group reversed, the incomplete tail 01 02 03 kept, nothing appended.
    EXPECT_EQ(readFile(path),
              Bytes({0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03}));
    EXPECT_EQ(readFile(path + ".bak"),
              Bytes({0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03}));
}

TEST(WriteBack, AZeroByteRomStaysEmptyAndGetsAnEmptyBackup) {
    ScratchFolder folder;
    const std::string path = folder.path("empty.z64");
    writeFile(path, {});
    RomStream rom;
    RomImage image;
    readWhole(path, rom, image);
    EXPECT_EQ(image.size, 0);
    FileError error;
    ASSERT_TRUE(writeBackup(path, image, error)) << error.reason;
    convertToBig(image.bytes, image.size, ByteOrder::LittleEndian);
    ASSERT_TRUE(writeBack(rom, image, error)) << error.reason;
    releaseImage(image);
    ASSERT_TRUE(closeRom(rom, error)) << error.reason;
    EXPECT_EQ(readFile(path), Bytes());
    EXPECT_TRUE(fileExists(path + ".bak"));
    EXPECT_EQ(readFile(path + ".bak"), Bytes());
}

} // namespace
