// The window on the locked road: a ROM another program is writing is left alone, and a ROM
// whose conversion was stopped halfway is finished when it is loaded.
#include "gui_test.h"

#include "core/rom_update.h"
#include "core/tests/scripted_ops.h"

using UpdateLockTest = GuiTest;

namespace {

const Bytes kBigRom = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F};
const Bytes kLittleRom = {0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00};

} // namespace

// Another program holds the ROM open for writing: the swap tells so and writes nothing.
TEST_F(UpdateLockTest, ARomInUseIsToldAndNotConverted) {
    std::string path;
    ASSERT_TRUE(loadRom("held.z64", kBigRom, path));
    HANDLE held = CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_LITTLE));
    app.click(IDC_SWAP);
    OwnedDialog error;
    ASSERT_TRUE(app.waitForMessageBox(error));
    EXPECT_NE(error.text.find("la sta usando un altro programma"), std::string::npos) << error.text;
    EXPECT_NE(error.text.find(path), std::string::npos) << error.text;
    ASSERT_TRUE(app.answer(error, IDOK));
    ASSERT_TRUE(app.settle());
    CloseHandle(held);
    EXPECT_EQ(readFile(path), kBigRom);
    expectLoaded("held.z64", kBigLabel, IDC_TO_LITTLE); // the order chosen stays chosen
}

// A conversion from big to little stopped after its record and half of its write (as a kill
// leaves it) is finished by the load, said in a notice, and the ROM shown in its new order.
TEST_F(UpdateLockTest, AnInterruptedConversionIsFinishedOnLoad) {
    const std::string path = scratch.path("stopped.z64");
    ASSERT_TRUE(writeFile(path, kBigRom));
    {
        ScriptedOps ops;
        ops.dieOn(Op::Write, 3); // the record's header; its checks with its end; then the ROM
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error)) << error.reason;
        ASSERT_FALSE(update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error));
    }
    ASSERT_TRUE(pathExists(path + ".dornavel-recovery"));
    app.click(IDC_LOAD);
    HWND dialog = app.waitForOpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(app.typeFileName(dialog, path));
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(app.waitUntilClosed(dialog));
    OwnedDialog notice;
    ASSERT_TRUE(app.waitForMessageBox(notice));
    EXPECT_NE(notice.text.find("era rimasta a metà"), std::string::npos) << notice.text;
    EXPECT_NE(notice.text.find("da Big Endian [ A B C D ] a Little Endian [ D C B A ]"), std::string::npos);
    ASSERT_TRUE(app.answer(notice, IDOK));
    ASSERT_TRUE(app.settle());
    EXPECT_EQ(readFile(path), kLittleRom);
    EXPECT_FALSE(pathExists(path + ".dornavel-recovery"));
    expectLoaded("stopped.z64", kLittleLabel, IDC_TO_LITTLE);
}
