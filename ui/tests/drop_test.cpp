// Files dragged from Explorer and dropped on the main window: the drop arrives in the
// window's queue as the system delivers it (see drop_hook.cpp).
#include "gui_test.h"

namespace {

// A big-endian ROM (first byte 0x80) and a little-endian one (first byte 0x40).
const Bytes kBigRom = {0x80, 0x37, 0x12, 0x40};
const Bytes kLittleRom = {0x40, 0x12, 0x37, 0x80};

// The start of the notice that more than one file was given.
const char* const kOneAtATime = "Apro una ROM alla volta";

} // namespace

using DropTest = GuiTest;

TEST_F(DropTest, WindowAcceptsFiles) {
    // Explorer only drops on windows that carry this style, which DragAcceptFiles sets.
    EXPECT_TRUE(GetWindowLongPtrA(app.window(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

TEST_F(DropTest, DroppedRomIsLoaded) {
    const std::string title = "dropped rom \xc3\xb6\xe3\x82\xbc.n64";
    const std::string path = scratch.path(title);
    ASSERT_TRUE(writeFile(path, kLittleRom));
    ASSERT_TRUE(app.drop({path}));
    ASSERT_TRUE(app.waitForCaption("Dornavel - " + title));
    ASSERT_TRUE(app.settle());
    expectLoaded(title, kLittleLabel, IDC_TO_LITTLE);
    EXPECT_EQ(readFile(path), kLittleRom);
}

TEST_F(DropTest, DroppedRomReplacesTheLoadedOne) {
    std::string first;
    ASSERT_TRUE(loadRom("first.z64", kLittleRom, first));
    const std::string second = scratch.path("second.z64");
    ASSERT_TRUE(writeFile(second, kBigRom));
    ASSERT_TRUE(app.drop({second}));
    ASSERT_TRUE(app.waitForCaption("Dornavel - second.z64"));
    ASSERT_TRUE(app.settle());
    expectLoaded("second.z64", kBigLabel, IDC_TO_BIG);
    // The next open-file dialog offers the dropped ROM, as if it had been chosen there.
    ASSERT_TRUE(app.clickAndSettle(IDC_CLOSE));
    app.click(IDC_LOAD);
    HWND dialog = app.waitForOpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(app.fileNameText(dialog), "second.z64");
    PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(app.waitUntilClosed(dialog));
}

TEST_F(DropTest, TwoFilesLoadTheFirstAndSaySo) {
    const std::string first = scratch.path("one.z64");
    const std::string second = scratch.path("two.z64");
    ASSERT_TRUE(writeFile(first, kBigRom));
    ASSERT_TRUE(writeFile(second, kLittleRom));
    ASSERT_TRUE(app.drop({first, second}));
    OwnedDialog notice;
    ASSERT_TRUE(app.waitForMessageBox(notice));
    EXPECT_EQ(notice.text.rfind(kOneAtATime, 0), 0u) << notice.text;
    EXPECT_NE(notice.text.find(first), std::string::npos) << notice.text;
    ASSERT_TRUE(app.answer(notice, IDOK) && app.settle());
    expectLoaded("one.z64", kBigLabel, IDC_TO_BIG);
}

TEST_F(DropTest, FolderIsRefusedAndTheLoadedRomStays) {
    std::string path;
    ASSERT_TRUE(loadRom("kept.z64", kLittleRom, path));
    const std::string folder = scratch.path("roms.z64");
    ASSERT_TRUE(makeFolder(folder));
    ASSERT_TRUE(app.drop({folder}));
    OwnedDialog error;
    ASSERT_TRUE(app.waitForMessageBox(error));
    EXPECT_TRUE(error.hasIcon);
    EXPECT_NE(error.text.find("cartella"), std::string::npos) << error.text;
    EXPECT_NE(error.text.find(folder), std::string::npos) << error.text;
    ASSERT_TRUE(app.answer(error, IDOK) && app.settle());
    expectLoaded("kept.z64", kLittleLabel, IDC_TO_LITTLE);
}

TEST_F(DropTest, RomThatCannotBeReadLeavesTheWindowEmpty) {
    std::string path;
    ASSERT_TRUE(loadRom("kept.z64", kLittleRom, path));
    const std::string busy = scratch.path("busy.z64");
    ASSERT_TRUE(writeFile(busy, kBigRom));
    HeldFile lock(busy);
    ASSERT_TRUE(lock.held());
    ASSERT_TRUE(app.drop({busy}));
    ASSERT_TRUE(acknowledgeErrorNaming(busy));
    lock.release();
    expectEmpty();
    EXPECT_EQ(readFile(busy), kBigRom);
}

// A drop while the swap asks its first question must not change the ROM under the swap:
// the swap goes on with its own ROM and the dropped one is never loaded.
TEST_F(DropTest, DropDuringASwapIsRefused) {
    std::string path;
    ASSERT_TRUE(loadRom("busy swap.z64", kLittleRom, path));
    const std::string other = scratch.path("other.z64");
    ASSERT_TRUE(writeFile(other, kBigRom));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_BIG));
    app.click(IDC_SWAP);
    OwnedDialog question;
    ASSERT_TRUE(app.waitForMessageBox(question));
    ASSERT_EQ(question.text, kBackupQuestion);
    ASSERT_TRUE(app.drop({other}));
    // The answer is posted behind the drop, so the drop has been handled before it.
    ASSERT_TRUE(app.answer(question, IDNO));
    ASSERT_TRUE(app.answerQuestion(kFinalQuestion, IDNO));
    ASSERT_TRUE(app.settle());
    // Little to big: the group reversed, in the ROM the swap started on.
    EXPECT_EQ(readFile(path), kBigRom);
    EXPECT_EQ(readFile(other), kBigRom);
    expectLoaded("busy swap.z64", kBigLabel, IDC_TO_BIG);
    EXPECT_FALSE(app.hasOwnedDialog());
}
