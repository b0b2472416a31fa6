// The keyboard in the main window, typed through the system's input queue to the window in
// front: Tab and Shift+Tab, the arrow keys in the radio group, Space, Enter and Escape.
#include "gui_test.h"

#include <vector>

namespace {

// A little-endian ROM: first byte 0x40.
const Bytes kLittleRom = {0x40, 0x12, 0x37, 0x80};

// A loaded ROM and the radio button where Tab enters the group for it.
struct LoadedCase {
    const char* test;
    Bytes bytes;
    int radio;
};

std::string caseName(const testing::TestParamInfo<LoadedCase>& info) {
    return info.param.test;
}

} // namespace

class KeyboardTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_TRUE(app.bringToFront());
    }

    // Types key (shifted or not) once for each control of stops and expects the focus on
    // each in turn.
    void walk(WORD key, bool shifted, const std::vector<int>& stops) {
        for (int id : stops) {
            app.type(key, shifted);
            ASSERT_TRUE(app.waitForFocus(id)) << "after " << (shifted ? "Shift+" : "") << key;
        }
    }
};

// With no ROM, "Chiudi ROM" is disabled and skipped; the radio group is one stop.
TEST_F(KeyboardTest, TabAndShiftTabGoRoundTheEmptyWindow) {
    ASSERT_TRUE(app.waitForFocus(IDC_LOAD));
    walk(VK_TAB, false, {IDC_EXIT, IDC_SWAP, IDC_TO_LITTLE, IDC_ABOUT, IDC_LOAD});
    walk(VK_TAB, true, {IDC_ABOUT, IDC_TO_LITTLE, IDC_SWAP, IDC_EXIT, IDC_LOAD});
    // Moving the focus checks nothing.
    EXPECT_EQ(app.checkedRadio(), 0);
}

class KeyboardLoadedTest : public KeyboardTest, public testing::WithParamInterface<LoadedCase> {};

// With a ROM loaded, "Carica ROM" is disabled and the focus has gone on to "Chiudi ROM".
TEST_P(KeyboardLoadedTest, TabGoesRoundTheWindow) {
    std::string path;
    ASSERT_TRUE(loadRom("keys.z64", GetParam().bytes, path));
    ASSERT_TRUE(app.bringToFront());
    ASSERT_TRUE(app.waitForFocus(IDC_CLOSE));
    const int radio = GetParam().radio;
    walk(VK_TAB, false, {IDC_EXIT, IDC_SWAP, radio, IDC_ABOUT, IDC_CLOSE});
    walk(VK_TAB, true, {IDC_ABOUT, radio, IDC_SWAP});
}

INSTANTIATE_TEST_SUITE_P(
    Orders, KeyboardLoadedTest,
    testing::Values(
        // First byte 0x80: big-endian, the last button of the group, is checked and entered.
        LoadedCase{"Recognised", {0x80, 0x37, 0x12, 0x40}, IDC_TO_BIG},
        // First byte 0x12: no order, nothing checked; the group is entered at its first button.
        LoadedCase{"Unrecognised", {0x12, 0x80, 0x40, 0x37}, IDC_TO_LITTLE}),
    caseName);

TEST_F(KeyboardTest, ArrowsMoveAndCheckWithinTheRadioGroup) {
    walk(VK_TAB, false, {IDC_EXIT, IDC_SWAP, IDC_TO_LITTLE});
    walk(VK_DOWN, false, {IDC_TO_V64, IDC_TO_BIG});
    EXPECT_EQ(app.checkedRadio(), IDC_TO_BIG);
    // The group ends at the last radio button: Down wraps round to the first.
    walk(VK_DOWN, false, {IDC_TO_LITTLE});
    EXPECT_EQ(app.checkedRadio(), IDC_TO_LITTLE);
    walk(VK_UP, false, {IDC_TO_BIG});
    EXPECT_EQ(app.checkedRadio(), IDC_TO_BIG);
}

TEST_F(KeyboardTest, SpacePressesTheFocusedButton) {
    std::string path;
    ASSERT_TRUE(loadRom("space.z64", kLittleRom, path));
    ASSERT_TRUE(app.bringToFront());
    ASSERT_TRUE(app.waitForFocus(IDC_CLOSE));
    app.type(VK_SPACE);
    // "Chiudi ROM" closed the ROM and, being disabled now, passed the focus on.
    ASSERT_TRUE(app.waitForFocus(IDC_LOAD));
    expectEmpty();
    // No radio button is checked any more, and the group can still be reached.
    walk(VK_TAB, false, {IDC_EXIT, IDC_SWAP, IDC_TO_LITTLE, IDC_ABOUT});
    app.type(VK_SPACE);
    OwnedDialog about;
    ASSERT_TRUE(app.waitForDialog("Riguardo questo quorrim", about));
    PostMessageA(GetDlgItem(about.window, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(app.waitUntilClosed(about.window));
}

// Enter and Escape on the buttons that would do the most harm: nothing starts and the
// program goes on. The Tab typed after them shows they were taken in before it.
TEST_F(KeyboardTest, EnterAndEscapeDoNothing) {
    std::string path;
    ASSERT_TRUE(loadRom("calm.z64", kLittleRom, path));
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_BIG)); // the click moves the focus there
    ASSERT_TRUE(app.bringToFront());
    ASSERT_TRUE(app.waitForFocus(IDC_TO_BIG));
    walk(VK_TAB, true, {IDC_SWAP});
    for (WORD key : {VK_RETURN, VK_ESCAPE}) {
        app.type(key);
        walk(VK_TAB, true, {IDC_EXIT});
        app.type(key);
        walk(VK_TAB, false, {IDC_SWAP});
    }
    ASSERT_TRUE(app.settle());
    EXPECT_TRUE(app.isRunning());
    EXPECT_FALSE(app.hasOwnedDialog());
    EXPECT_EQ(readFile(path), kLittleRom);
    expectLoaded("calm.z64", kLittleLabel, IDC_TO_BIG);
}
