// "Esegui Swap" when the file is not what the window shows, or the disk gives way: nothing
// is converted blindly, and what the ROM holds afterwards is told.
#include "gui_test.h"

#include <commctrl.h>

#include <cstdlib>
#include <set>

namespace {

// Little-endian: first byte 0x40.
const Bytes kLittleRom = {0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00};

} // namespace

using SwapSafetyTest = GuiTest;

// An unrecognised file is converted only on Yes to the question, whose default is No.
TEST_F(SwapSafetyTest, UnrecognisedOrderIsAskedAboutWithNoAsDefault) {
    std::string path;
    const Bytes strange = {0x12, 0x34, 0x56, 0x78};
    ASSERT_TRUE(loadRom("strange.z64", strange, path));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_LITTLE));
    app.click(IDC_SWAP);
    OwnedDialog question;
    ASSERT_TRUE(app.waitForMessageBox(question));
    EXPECT_EQ(question.text, kUnknownQuestion);
    // No is the default button: Enter does not convert.
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(question.window, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON);
    EXPECT_FALSE(GetWindowLongA(GetDlgItem(question.window, IDYES), GWL_STYLE) & BS_DEFPUSHBUTTON);
    ASSERT_TRUE(app.answer(question, IDNO));
    ASSERT_TRUE(app.settle());
    EXPECT_EQ(readFile(path), strange); // No: nothing asked further, nothing written
    EXPECT_FALSE(pathExists(path + ".bak"));

    app.click(IDC_SWAP);
    ASSERT_TRUE(app.answerQuestion(kUnknownQuestion, IDYES));
    ASSERT_TRUE(app.answerQuestion(kBackupQuestion, IDNO));
    ASSERT_TRUE(app.answerQuestion(kFinalQuestion, IDNO));
    ASSERT_TRUE(app.settle());
    // Taken as big-endian: the 4-byte group reversed.
    EXPECT_EQ(readFile(path), Bytes({0x78, 0x56, 0x34, 0x12}));
    expectLoaded("strange.z64", kLittleLabel, IDC_TO_LITTLE);
}

// Another program converted the file after it was loaded: the window shows it anew and
// converts nothing.
TEST_F(SwapSafetyTest, FileChangedSinceTheLoadIsShownAndNotConverted) {
    std::string path;
    ASSERT_TRUE(loadRom("moved.z64", kLittleRom, path));
    const Bytes big = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F};
    ASSERT_TRUE(writeFile(path, big));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_V64));
    app.click(IDC_SWAP);
    OwnedDialog notice;
    ASSERT_TRUE(app.waitForMessageBox(notice));
    EXPECT_NE(notice.text.find(path), std::string::npos) << notice.text; // not the backup question
    EXPECT_NE(notice.text.find("cambiata"), std::string::npos) << notice.text;
    ASSERT_TRUE(app.answer(notice, IDOK));
    ASSERT_TRUE(app.settle());
    EXPECT_EQ(readFile(path), big);
    EXPECT_FALSE(pathExists(path + ".bak"));
    expectLoaded("moved.z64", kBigLabel, IDC_TO_BIG);
}

// The bar follows the write of a large ROM slice by slice, ends full by the final question
// and goes back to the start after it.
TEST_F(SwapSafetyTest, ProgressBarFollowsTheWrite) {
    std::string path;
    Bytes rom(64u << 20, 0x00);
    rom[0] = 0x80, rom[1] = 0x37, rom[2] = 0x12, rom[3] = 0x40;
    ASSERT_TRUE(loadRom("large.z64", rom, path));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_V64));
    app.click(IDC_SWAP);
    ASSERT_TRUE(app.answerQuestion(kBackupQuestion, IDNO));

    // Read the bar until the final question is up; the window answers between slices.
    HWND bar = GetDlgItem(app.window(), IDC_PROGRESS);
    std::set<int> seen;
    for (const DWORD end = GetTickCount() + 60000; GetTickCount() < end && !app.hasOwnedDialog();) {
        LRESULT position = 0;
        if (sendBounded(bar, PBM_GETPOS, 0, 0, position)) seen.insert(static_cast<int>(position));
    }
    int between = 0;
    for (int position : seen) between += position > 0 && position < 1000;
    EXPECT_GE(between, 2) << "positions seen: " << seen.size();
    EXPECT_EQ(app.progressPosition(), 1000);
    ASSERT_TRUE(app.answerQuestion(kFinalQuestion, IDNO));
    ASSERT_TRUE(app.settle());
    EXPECT_EQ(app.progressPosition(), 0);
    EXPECT_EQ(readFile(path)[0], 0x37); // now in Doctor V64 order
}

// A write that fails on a full disk (a sparse ROM prepared by the test script on a small
// full file system): the error names the file and says what it holds, the buttons come back
// and the display shows the order the file now has.
TEST_F(SwapSafetyTest, FailedWriteIsToldAndTheWindowRecovers) {
    const char* full = std::getenv("DORNAVEL_FULL_DISK_ROM");
    if (!full || !*full) GTEST_SKIP() << "no ROM on a full disk was prepared (DORNAVEL_FULL_DISK_ROM)";
    const std::string path = windowsPath(full);
    ASSERT_TRUE(app.load(path));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_BIG));
    app.click(IDC_SWAP);
    ASSERT_TRUE(app.answerQuestion(kBackupQuestion, IDNO));
    OwnedDialog error;
    ASSERT_TRUE(app.waitForMessageBox(error));
    EXPECT_TRUE(error.hasIcon);
    EXPECT_NE(error.text.find(path), std::string::npos) << error.text;
    // The ROM's write, or before it the recovery record, found no room.
    const bool which = error.text.find("Non riesco a riscrivere la ROM") != std::string::npos ||
                       error.text.find("Non riesco a scrivere il file di recupero") != std::string::npos;
    EXPECT_TRUE(which) << error.text;
    // Untouched, put back as it was, or, where even that failed, how far the new order may reach.
    const bool told = error.text.find("non l'ho toccata") != std::string::npos ||
                      error.text.find("rimessa com'era prima") != std::string::npos ||
                      error.text.find("potrebbero essere nel nuovo ordine") != std::string::npos;
    EXPECT_TRUE(told) << error.text;
    ASSERT_TRUE(app.answer(error, IDOK));
    ASSERT_TRUE(app.settle());
    EXPECT_TRUE(app.isEnabled(IDC_CLOSE));
    EXPECT_TRUE(app.isEnabled(IDC_EXIT));
    EXPECT_TRUE(app.isEnabled(IDC_ABOUT));
    EXPECT_EQ(app.progressPosition(), 0);
    const Bytes now = readFile(path);
    ASSERT_FALSE(now.empty());
    EXPECT_EQ(app.controlText(IDC_ORDER_TEXT), now[0] == 0x37 ? kV64Label : kBigLabel);
}
