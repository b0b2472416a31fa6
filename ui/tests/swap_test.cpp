// "Esegui Swap" on ROMs that can be read and written: the questions, the bytes written, the
// backup, the final correction of the name and what the window shows afterwards.
#include "gui_test.h"

using SwapTest = GuiTest;

// A little-endian ROM to big-endian, Yes to both questions: the whole road.
TEST_F(SwapTest, LittleToBigWithBackupAndFinalCorrection) {
    std::string path;
    // Little-endian: each 4-byte group of the big-endian 80 37 12 40 00 00 00 0F reversed.
    const Bytes before = {0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00};
    ASSERT_TRUE(loadRom("road.z64", before, path));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_BIG));
    app.click(IDC_SWAP);

    ASSERT_TRUE(app.answerQuestion(kBackupQuestion, IDYES));

    OwnedDialog final;
    ASSERT_TRUE(app.waitForMessageBox(final));
    ASSERT_EQ(final.text, kFinalQuestion);
    // By the final question the file is written, the progress bar has run to its end, the
    // new order is shown and the buttons are back; the question is modal to the window.
    EXPECT_EQ(readFile(path), Bytes({0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F}));
    EXPECT_EQ(app.progressPosition(), 1000);
    EXPECT_EQ(app.controlText(IDC_ORDER_TEXT), kBigLabel);
    EXPECT_EQ(app.checkedRadio(), IDC_TO_BIG);
    EXPECT_TRUE(app.isEnabled(IDC_CLOSE));
    EXPECT_TRUE(app.isEnabled(IDC_EXIT));
    EXPECT_TRUE(app.isEnabled(IDC_ABOUT));
    EXPECT_FALSE(IsWindowEnabled(app.window()));
    ASSERT_TRUE(app.answer(final, IDYES));
    ASSERT_TRUE(app.settle());

    // Big-endian goes by ".rom": the file is renamed and the old name is gone.
    const std::string renamed = scratch.path("road.rom");
    EXPECT_FALSE(pathExists(path));
    // Every 4-byte group reversed back to A B C D.
    EXPECT_EQ(readFile(renamed), Bytes({0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F}));
    // The backup keeps the old name with ".bak" and holds the bytes from before the swap.
    EXPECT_EQ(readFile(path + ".bak"), before);
    expectLoaded("road.rom", kBigLabel, IDC_TO_BIG);
    EXPECT_EQ(app.progressPosition(), 0);
    EXPECT_TRUE(IsWindowEnabled(app.window()));
}

// A big-endian ROM to little-endian, No to both questions.
TEST_F(SwapTest, BigToLittleWithoutBackupOrCorrection) {
    std::string path;
    ASSERT_TRUE(loadRom("plain.z64", {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F}, path));
    ASSERT_TRUE(swap(IDC_TO_LITTLE, IDNO, IDNO));
    // Each 4-byte group reversed.
    EXPECT_EQ(readFile(path), Bytes({0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00}));
    EXPECT_FALSE(pathExists(path + ".bak"));
    EXPECT_FALSE(pathExists(scratch.path("plain.bin")));
    expectLoaded("plain.z64", kLittleLabel, IDC_TO_LITTLE);
    EXPECT_EQ(app.progressPosition(), 0);
}

// An older backup is replaced without asking.
TEST_F(SwapTest, BackupReplacesAnOlderBackup) {
    std::string path;
    const Bytes before = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F};
    ASSERT_TRUE(writeFile(scratch.path("again.z64.bak"), {0xFF, 0xFF, 0xFF}));
    ASSERT_TRUE(loadRom("again.z64", before, path));
    ASSERT_TRUE(swap(IDC_TO_V64, IDYES, IDNO));
    // Each 2-byte pair exchanged.
    EXPECT_EQ(readFile(path), Bytes({0x37, 0x80, 0x40, 0x12, 0x00, 0x00, 0x0F, 0x00}));
    // The old three bytes are gone: the backup is the ROM as it was before this swap.
    EXPECT_EQ(readFile(path + ".bak"), before);
    expectLoaded("again.z64", kV64Label, IDC_TO_V64);
}

// The order checked is the order the ROM is already in: nothing to convert, nothing asked.
TEST_F(SwapTest, SameOrderWritesNothingAndAsksNoFinalQuestion) {
    std::string path;
    const Bytes before = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F};
    ASSERT_TRUE(loadRom("same.z64", before, path));
    ASSERT_TRUE(setOldWriteTime(path));
    ASSERT_EQ(app.checkedRadio(), IDC_TO_BIG);
    app.click(IDC_SWAP);
    // Nothing is to change, so no question is asked at all: no backup, no final correction.
    ASSERT_TRUE(app.settle());
    EXPECT_FALSE(app.hasOwnedDialog());
    EXPECT_EQ(readFile(path), before);
    EXPECT_TRUE(hasOldWriteTime(path)) << "the ROM was written";
    EXPECT_FALSE(pathExists(path + ".bak"));
    expectLoaded("same.z64", kBigLabel, IDC_TO_BIG);
    EXPECT_EQ(app.progressPosition(), 0);
}

// Two swaps in one load: the second starts from the order the first wrote.
TEST_F(SwapTest, SecondSwapStartsFromTheFirstSwapsOrder) {
    std::string path;
    ASSERT_TRUE(loadRom("twice.z64", {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F}, path));
    ASSERT_TRUE(swap(IDC_TO_LITTLE, IDNO, IDNO));
    // Big to little: each 4-byte group reversed.
    EXPECT_EQ(readFile(path), Bytes({0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00}));
    ASSERT_TRUE(swap(IDC_TO_V64, IDNO, IDNO));
    // Little to V64: groups reversed back to big, then pairs exchanged.
    EXPECT_EQ(readFile(path), Bytes({0x37, 0x80, 0x40, 0x12, 0x00, 0x00, 0x0F, 0x00}));
    expectLoaded("twice.z64", kV64Label, IDC_TO_V64);
}

// After a final correction the next swap works on the file under its new name.
TEST_F(SwapTest, SwapAfterFinalCorrectionFollowsTheRename) {
    std::string path;
    ASSERT_TRUE(loadRom("after.z64", {0x40, 0x12, 0x37, 0x80}, path));
    ASSERT_TRUE(swap(IDC_TO_BIG, IDNO, IDYES));
    const std::string rom = scratch.path("after.rom");
    // Little to big: the group reversed.
    ASSERT_EQ(readFile(rom), Bytes({0x80, 0x37, 0x12, 0x40}));
    expectLoaded("after.rom", kBigLabel, IDC_TO_BIG);

    ASSERT_TRUE(swap(IDC_TO_V64, IDYES, IDYES));
    const std::string v64 = scratch.path("after.v64");
    EXPECT_FALSE(pathExists(path));
    EXPECT_FALSE(pathExists(rom));
    // Big to V64: the pairs exchanged.
    EXPECT_EQ(readFile(v64), Bytes({0x37, 0x80, 0x40, 0x12}));
    // The backup sits beside the file the second swap read, under that file's name.
    EXPECT_EQ(readFile(rom + ".bak"), Bytes({0x80, 0x37, 0x12, 0x40}));
    expectLoaded("after.v64", kV64Label, IDC_TO_V64);
}

// A file of no known order, converted to a chosen order, is taken as big-endian.
TEST_F(SwapTest, UnrecognisedRomIsTakenAsBigEndian) {
    std::string path;
    ASSERT_TRUE(loadRom("odd.bin", {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}, path));
    ASSERT_TRUE(swap(IDC_TO_LITTLE, IDNO, IDNO, true));
    // From big to little: each 4-byte group reversed.
    EXPECT_EQ(readFile(path), Bytes({0x78, 0x56, 0x34, 0x12, 0xF0, 0xDE, 0xBC, 0x9A}));
    expectLoaded("odd.bin", kLittleLabel, IDC_TO_LITTLE);
}

// An unrecognised file loaded after a little-endian one does not inherit its order.
TEST_F(SwapTest, UnrecognisedRomAfterARecognisedOneIsTakenAsBigEndian) {
    std::string little, strange;
    ASSERT_TRUE(loadRom("known.z64", {0x40, 0x12, 0x37, 0x80}, little));
    ASSERT_TRUE(app.clickAndSettle(IDC_CLOSE));
    ASSERT_TRUE(loadRom("unknown.z64", {0x12, 0x34, 0x56, 0x78}, strange));
    ASSERT_TRUE(swap(IDC_TO_LITTLE, IDNO, IDNO, true));
    // Taken as big-endian and reversed; had it kept the little-endian order of the first
    // file, nothing would have been written.
    EXPECT_EQ(readFile(strange), Bytes({0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(readFile(little), Bytes({0x40, 0x12, 0x37, 0x80}));
    expectLoaded("unknown.z64", kLittleLabel, IDC_TO_LITTLE);
}

// A ROM of zero bytes is in every order: nothing written, no backup, no failure.
TEST_F(SwapTest, EmptyRomIsInEveryOrderAndGetsNoBackup) {
    std::string path;
    ASSERT_TRUE(loadRom("zero.z64", {}, path));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_LITTLE));
    app.click(IDC_SWAP);
    ASSERT_TRUE(app.answerQuestion(kUnknownQuestion, IDYES)); // empty: no order is recognised
    // No byte would change: no backup question, no final question, nothing written.
    ASSERT_TRUE(app.settle());
    EXPECT_FALSE(app.hasOwnedDialog());
    EXPECT_EQ(readFile(path), Bytes());
    EXPECT_FALSE(pathExists(path + ".bak"));
    expectLoaded("zero.z64", kLittleLabel, IDC_TO_LITTLE);
}

// A ROM of 7 bytes: the incomplete last groups keep their bytes.
TEST_F(SwapTest, OddSizedRomKeepsItsIncompleteGroups) {
    std::string path;
    ASSERT_TRUE(loadRom("seven.z64", {0x40, 0x12, 0x37, 0x80, 0xAA, 0xBB, 0xCC}, path));
    ASSERT_TRUE(swap(IDC_TO_V64, IDNO, IDNO));
    // Little to big reverses the one whole group (AA BB CC stay), then the pairs 80 37,
    // 12 40 and AA BB are exchanged; CC has no partner and stays last.
    EXPECT_EQ(readFile(path), Bytes({0x37, 0x80, 0x40, 0x12, 0xBB, 0xAA, 0xCC}));
    expectLoaded("seven.z64", kV64Label, IDC_TO_V64);
}

// The final correction on a name that ends in the new order's extension keeps the name.
TEST_F(SwapTest, FinalCorrectionKeepsANameThatIsAlreadyRight) {
    std::string path;
    ASSERT_TRUE(loadRom("right.rom", {0x40, 0x12, 0x37, 0x80}, path));
    ASSERT_TRUE(swap(IDC_TO_BIG, IDNO, IDYES));
    // Little to big: the group reversed.
    EXPECT_EQ(readFile(path), Bytes({0x80, 0x37, 0x12, 0x40}));
    expectLoaded("right.rom", kBigLabel, IDC_TO_BIG);
    EXPECT_FALSE(app.hasOwnedDialog());
}
