// "Esegui Swap" where it cannot or must not go through: each failure is told in an error box
// that names the file, and the files stay as they were.
#include "gui_test.h"

namespace {

// Little-endian: first byte 0x40.
const Bytes kLittleRom = {0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00};

} // namespace

using SwapFailureTest = GuiTest;

TEST_F(SwapFailureTest, RomHeldByAnotherProgramIsReportedAndLeftAlone) {
    std::string path;
    ASSERT_TRUE(loadRom("locked.z64", kLittleRom, path));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_BIG));
    HeldFile lock(path);
    ASSERT_TRUE(lock.held());
    app.click(IDC_SWAP);

    // No backup question follows: the swap ended with the error.
    ASSERT_TRUE(acknowledgeErrorNaming(path));
    lock.release();

    EXPECT_EQ(readFile(path), kLittleRom);
    EXPECT_FALSE(pathExists(path + ".bak"));
    expectLoaded("locked.z64", kLittleLabel, IDC_TO_BIG);

    // Once the file is free the same swap goes through.
    ASSERT_TRUE(swap(IDC_TO_BIG, IDNO, IDNO));
    // Each 4-byte group reversed.
    EXPECT_EQ(readFile(path), Bytes({0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F}));
}

TEST_F(SwapFailureTest, BackupThatCannotBeWrittenStopsTheSwap) {
    std::string path;
    ASSERT_TRUE(loadRom("blocked.z64", kLittleRom, path));
    // A folder where the backup file should go.
    ASSERT_TRUE(makeFolder(path + ".bak"));
    ASSERT_TRUE(setOldWriteTime(path));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_BIG));
    app.click(IDC_SWAP);
    ASSERT_TRUE(app.answerQuestion(kBackupQuestion, IDYES));

    // No final question: nothing was converted.
    ASSERT_TRUE(acknowledgeErrorNaming(path));

    EXPECT_EQ(readFile(path), kLittleRom);
    EXPECT_TRUE(hasOldWriteTime(path)) << "the ROM was written";
    EXPECT_TRUE(isFolder(path + ".bak"));
    expectLoaded("blocked.z64", kLittleLabel, IDC_TO_BIG);
}

TEST_F(SwapFailureTest, RenameOntoAnExistingFileKeepsBothFiles) {
    std::string path;
    const std::string other = scratch.path("game.rom");
    // Some other file already has the name the correction would give.
    ASSERT_TRUE(writeFile(other, {0xAA, 0xBB}));
    ASSERT_TRUE(loadRom("game.z64", kLittleRom, path));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_BIG));
    app.click(IDC_SWAP);
    ASSERT_TRUE(app.answerQuestion(kBackupQuestion, IDNO));
    ASSERT_TRUE(app.answerQuestion(kFinalQuestion, IDYES));

    ASSERT_TRUE(acknowledgeErrorNaming(path));

    // The conversion itself went through: each 4-byte group reversed, under the old name.
    EXPECT_EQ(readFile(path), Bytes({0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F}));
    EXPECT_EQ(readFile(other), Bytes({0xAA, 0xBB}));
    // The caption names the file as it is really called.
    expectLoaded("game.z64", kBigLabel, IDC_TO_BIG);
    EXPECT_EQ(app.progressPosition(), 0);
}

TEST_F(SwapFailureTest, UnrecognisedRomWithNoOrderChosenIsRefused) {
    std::string path;
    // 0x12 names no order, so no radio button is checked after the load.
    const Bytes strange = {0x12, 0x34, 0x56, 0x78};
    ASSERT_TRUE(loadRom("strange.z64", strange, path));
    ASSERT_TRUE(setOldWriteTime(path));
    ASSERT_EQ(app.checkedRadio(), 0);
    app.click(IDC_SWAP);

    OwnedDialog refusal;
    ASSERT_TRUE(app.waitForMessageBox(refusal));
    EXPECT_NE(refusal.text, kBackupQuestion);
    EXPECT_FALSE(refusal.text.empty());
    ASSERT_TRUE(app.answer(refusal, IDOK));
    // Nothing else is asked.
    ASSERT_TRUE(app.settle());

    EXPECT_EQ(readFile(path), strange);
    EXPECT_TRUE(hasOldWriteTime(path)) << "the ROM was written";
    EXPECT_FALSE(pathExists(path + ".bak"));
    expectLoaded("strange.z64", kUnknownLabel, 0);
}
