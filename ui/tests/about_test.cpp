// The about box: it opens modal to the main window and closes every way a person would.
#include "gui_test.h"

namespace {

// The about box's caption.
const char* const kAboutCaption = "Riguardo questo quorrim";

// The ways of closing the about box.
enum class CloseBy { Escape, CloseBox, Button, Enter };

// Presses and lets go of a key on window: the dialog's own message loop turns the key into
// the command the dialog manager gives it.
void pressKey(HWND window, WPARAM key) {
    const UINT scanCode = MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    PostMessageA(window, WM_KEYDOWN, key, 1 | (scanCode << 16));
    PostMessageA(window, WM_KEYUP, key, 1 | (scanCode << 16) | 0xC0000000u);
}

// Names the test cases after the way of closing.
std::string caseName(const testing::TestParamInfo<CloseBy>& info) {
    switch (info.param) {
    case CloseBy::Escape: return "Escape";
    case CloseBy::CloseBox: return "CloseBox";
    case CloseBy::Button: return "Button";
    case CloseBy::Enter: return "Enter";
    }
    return "Unknown";
}

} // namespace

class AboutTest : public GuiTest, public testing::WithParamInterface<CloseBy> {};

TEST_P(AboutTest, ClosesAndGivesTheMainWindowBack) {
    app.click(IDC_ABOUT);
    OwnedDialog about;
    ASSERT_TRUE(app.waitForDialog(kAboutCaption, about));
    EXPECT_FALSE(IsWindowEnabled(app.window())) << "the main window takes input under the about box";

    HWND button = GetDlgItem(about.window, IDOK);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(windowText(button), "Quanto mi importa");
    switch (GetParam()) {
    case CloseBy::Escape:
        pressKey(button, VK_ESCAPE);
        break;
    case CloseBy::CloseBox:
        PostMessageA(about.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case CloseBy::Button:
        PostMessageA(button, BM_CLICK, 0, 0);
        break;
    case CloseBy::Enter:
        // "Quanto mi importa" is the default button, so Enter presses it. (Which window has
        // the focus depends on which program is in front, which parallel tests change.)
        pressKey(button, VK_RETURN);
        break;
    }
    ASSERT_TRUE(app.waitUntilClosed(about.window));
    ASSERT_TRUE(app.settle());

    EXPECT_TRUE(IsWindowEnabled(app.window()));
    EXPECT_TRUE(app.isRunning());
    expectEmpty();
}

INSTANTIATE_TEST_SUITE_P(Ways, AboutTest,
                         testing::Values(CloseBy::Escape, CloseBy::CloseBox, CloseBy::Button,
                                         CloseBy::Enter),
                         caseName);

using AboutWithRomTest = GuiTest;

TEST_F(AboutWithRomTest, LeavesTheLoadedRomAsItWas) {
    std::string path;
    ASSERT_TRUE(loadRom("game.v64", {0x37, 0x80, 0x40, 0x12}, path));
    app.click(IDC_ABOUT);
    OwnedDialog about;
    ASSERT_TRUE(app.waitForDialog(kAboutCaption, about));
    PostMessageA(GetDlgItem(about.window, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(app.waitUntilClosed(about.window));
    ASSERT_TRUE(app.settle());
    expectLoaded("game.v64", kV64Label, IDC_TO_V64);
}
