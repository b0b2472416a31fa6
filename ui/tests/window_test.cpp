// Closing a ROM, cancelling the open-file dialog and ending the program.
#include "gui_test.h"

using WindowTest = GuiTest;

TEST_F(WindowTest, CloseReturnsToTheEmptyWindow) {
    std::string path;
    ASSERT_TRUE(loadRom("game.z64", {0x80, 0x37, 0x12, 0x40}, path));
    ASSERT_TRUE(app.clickAndSettle(IDC_CLOSE));
    expectEmpty();
    // With no ROM loaded, "Esegui Swap" is ignored again.
    ASSERT_TRUE(app.clickAndSettle(IDC_SWAP));
    EXPECT_FALSE(app.hasOwnedDialog());
    EXPECT_EQ(readFile(path), Bytes({0x80, 0x37, 0x12, 0x40}));
}

TEST_F(WindowTest, CancelledFirstLoadLeavesTheWindowAsItWas) {
    ASSERT_TRUE(app.cancelLoad());
    expectEmpty();
    ASSERT_TRUE(app.clickAndSettle(IDC_SWAP));
    EXPECT_FALSE(app.hasOwnedDialog());
}

TEST_F(WindowTest, CancelledLoadAfterCloseLeavesTheWindowEmpty) {
    std::string path;
    ASSERT_TRUE(loadRom("game.z64", {0x40, 0x12, 0x37, 0x80}, path));
    ASSERT_TRUE(app.clickAndSettle(IDC_CLOSE));
    ASSERT_TRUE(app.cancelLoad());
    expectEmpty();
    ASSERT_TRUE(app.clickAndSettle(IDC_SWAP));
    EXPECT_FALSE(app.hasOwnedDialog());
}

TEST_F(WindowTest, ExitButtonEndsTheProgramWithCodeZero) {
    app.click(IDC_EXIT);
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(code));
    EXPECT_EQ(code, 0u);
}

TEST_F(WindowTest, CloseBoxEndsTheProgramWithCodeZero) {
    PostMessageA(app.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(code));
    EXPECT_EQ(code, 0u);
}

TEST_F(WindowTest, CloseRequestWithRomLoadedEndsTheProgramWithCodeZero) {
    std::string path;
    ASSERT_TRUE(loadRom("game.z64", {0x80, 0x37, 0x12, 0x40}, path));
    PostMessageA(app.window(), WM_CLOSE, 0, 0);
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(readFile(path), Bytes({0x80, 0x37, 0x12, 0x40}));
}

TEST_F(WindowTest, AltF4EndsTheProgramWithCodeZero) {
    // Alt held: bit 29 of the key message's lParam.
    PostMessageA(app.window(), WM_SYSKEYDOWN, VK_F4, 0x20000001);
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(code));
    EXPECT_EQ(code, 0u);
}

TEST_F(WindowTest, OpenDialogOffersTheLastRom) {
    std::string path;
    ASSERT_TRUE(loadRom("last.z64", {0x80, 0x37, 0x12, 0x40}, path));
    ASSERT_TRUE(app.clickAndSettle(IDC_CLOSE));
    app.click(IDC_LOAD);
    HWND dialog = app.waitForOpenDialog();
    ASSERT_NE(dialog, nullptr);
    // The dialog opens in the ROM's folder with its name filled in, so confirming it at once
    // loads the same ROM again.
    EXPECT_EQ(app.fileNameText(dialog), "last.z64");
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(app.waitUntilClosed(dialog));
    ASSERT_TRUE(app.settle());
    expectLoaded("last.z64", kBigLabel, IDC_TO_BIG);
}
