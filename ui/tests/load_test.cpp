// Loading a ROM through the open-file dialog: the caption, the order shown and the radio
// button checked for it.
#include "gui_test.h"

namespace {

// A file to load and what the window must show for it.
struct LoadCase {
    const char* name;  // test name
    const char* title; // file name
    Bytes bytes;
    const char* label; // order display
    int radio;         // checked radio button, 0 for none
};

// Names the test cases after their files.
std::string caseName(const testing::TestParamInfo<LoadCase>& info) {
    return info.param.name;
}

} // namespace

class LoadTest : public GuiTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTest, ShowsTheOrderOfTheFile) {
    const LoadCase& loaded = GetParam();
    std::string path;
    ASSERT_TRUE(loadRom(loaded.title, loaded.bytes, path));
    expectLoaded(loaded.title, loaded.label, loaded.radio);
    // Loading only reads: the file is unchanged and nothing is written beside it.
    EXPECT_EQ(readFile(path), loaded.bytes);
    EXPECT_FALSE(pathExists(path + ".bak"));
}

INSTANTIATE_TEST_SUITE_P(
    Orders, LoadTest,
    testing::Values(
        // First byte 0x80: big-endian, shown with the radio "Big Endian".
        LoadCase{"BigEndian", "big.z64", {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F}, kBigLabel, IDC_TO_BIG},
        // First byte 0x40: little-endian.
        LoadCase{"LittleEndian", "little.n64", {0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00}, kLittleLabel, IDC_TO_LITTLE},
        // First byte 0x37: Doctor V64.
        LoadCase{"DoctorV64", "copier.v64", {0x37, 0x80, 0x40, 0x12, 0x00, 0x00, 0x0F, 0x00}, kV64Label, IDC_TO_V64},
        // First byte 0x12: no order, even though 0x80 follows; no radio checked.
        LoadCase{"Unrecognised", "strange.bin", {0x12, 0x80, 0x40, 0x37}, kUnknownLabel, 0},
        // A single byte 0x40 is enough to recognise little-endian.
        LoadCase{"SingleByte", "tiny.rom", {0x40}, kLittleLabel, IDC_TO_LITTLE},
        // No first byte at all: not recognised.
        LoadCase{"Empty", "empty.z64", {}, kUnknownLabel, 0},
        // A name with spaces and letters outside ASCII reaches the caption whole.
        LoadCase{"NonAsciiName", "Zelda \xc3\xa4 \xe2\x80\x93 \xc3\xb6\xc3\xa9.z64", {0x80, 0x37, 0x12, 0x40}, kBigLabel, IDC_TO_BIG}),
    caseName);

using LoadAfterLoadTest = GuiTest;

TEST_F(LoadAfterLoadTest, UnrecognisedAfterRecognisedChecksNoRadio) {
    std::string little, strange;
    ASSERT_TRUE(loadRom("first.z64", {0x40, 0x12, 0x37, 0x80}, little));
    ASSERT_TRUE(app.clickAndSettle(IDC_CLOSE));
    // 0x00 names no order.
    ASSERT_TRUE(loadRom("second.z64", {0x00, 0x00, 0x00, 0x00}, strange));
    expectLoaded("second.z64", kUnknownLabel, 0);
}

TEST_F(LoadAfterLoadTest, SecondRomReplacesTheFirstAfterClose) {
    std::string first, second;
    ASSERT_TRUE(loadRom("first.z64", {0x40, 0x12, 0x37, 0x80}, first));
    ASSERT_TRUE(app.clickAndSettle(IDC_CLOSE));
    ASSERT_TRUE(loadRom("second.v64", {0x37, 0x80, 0x40, 0x12}, second));
    expectLoaded("second.v64", kV64Label, IDC_TO_V64);
}

using LoadFailureTest = GuiTest;

TEST_F(LoadFailureTest, RomThatCannotBeReadIsReported) {
    const std::string path = scratch.path("busy.z64");
    ASSERT_TRUE(writeFile(path, {0x40, 0x12, 0x37, 0x80}));
    HeldFile lock(path);
    ASSERT_TRUE(lock.held());
    app.click(IDC_LOAD);
    HWND dialog = app.waitForOpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(app.typeFileName(dialog, path));
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(app.waitUntilClosed(dialog));

    ASSERT_TRUE(acknowledgeErrorNaming(path));
    lock.release();
    // Its order could not be read: shown as unknown, and it stays loaded so it can be closed.
    expectLoaded("busy.z64", kUnknownLabel, 0);
}
