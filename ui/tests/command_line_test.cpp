// Starting with files on the command line, as Explorer's "Open with" and a drop on
// Dornavel.exe do: the first is loaded as "Carica ROM" would load it.
#include "gui_test.h"

namespace {

// A big-endian ROM: first byte 0x80.
const Bytes kBigRom = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F};

// The notice shown when more than one file is given, as far as the tests rely on it.
const char* const kOneAtATime = "Apro una ROM alla volta";

// A name of a ROM given on the command line.
struct NameCase {
    const char* test;
    const char* name;
};

// Names the test cases after the kind of name.
std::string caseName(const testing::TestParamInfo<NameCase>& info) {
    return info.param.test;
}

} // namespace

// The program is started by each test, with its own command line.
class CommandLineTest : public testing::Test {
protected:
    ScratchFolder scratch;
    DornavelApp app;
};

class CommandLineNameTest : public CommandLineTest, public testing::WithParamInterface<NameCase> {};

TEST_P(CommandLineNameTest, LoadsTheFileAsCaricaRomWould) {
    const std::string path = scratch.path(GetParam().name);
    ASSERT_TRUE(writeFile(path, kBigRom));
    ASSERT_TRUE(app.launch({path}) && app.settle());
    EXPECT_EQ(app.caption(), std::string("Dornavel - ") + GetParam().name);
    EXPECT_EQ(app.controlText(IDC_ORDER_TEXT), kBigLabel);
    EXPECT_EQ(app.checkedRadio(), IDC_TO_BIG);
    EXPECT_FALSE(app.isEnabled(IDC_LOAD));
    EXPECT_TRUE(app.isEnabled(IDC_CLOSE));
    // The ROM is really loaded: "Chiudi ROM" empties the window again.
    ASSERT_TRUE(app.clickAndSettle(IDC_CLOSE));
    EXPECT_EQ(app.caption(), "Dornavel");
    EXPECT_EQ(readFile(path), kBigRom);
}

// The scratch folder itself has a space and a non-ASCII letter in its name.
INSTANTIATE_TEST_SUITE_P(
    Names, CommandLineNameTest,
    testing::Values(NameCase{"Ascii", "kart.z64"},
                    NameCase{"Spaces", "Mondo Kart 64.z64"},
                    // Letters outside any legacy code page: they survive only in UTF-16.
                    NameCase{"NonAscii", "\xe3\x82\xbc\xe3\x83\xab\xe3\x83\x80 \xc3\xa9\xe2\x80\x93.z64"}),
    caseName);

TEST_F(CommandLineTest, MissingFileIsReportedAndTheWindowOpensEmpty) {
    const std::string path = scratch.path("missing.z64");
    ASSERT_TRUE(app.launch({path}));
    OwnedDialog error;
    ASSERT_TRUE(app.waitForMessageBox(error));
    EXPECT_TRUE(error.hasIcon);
    // The message of a load that could not read its ROM, with the path.
    EXPECT_EQ(error.text.rfind("Non riesco a leggere la ROM", 0), 0u) << error.text;
    EXPECT_NE(error.text.find(path), std::string::npos) << error.text;
    ASSERT_TRUE(app.answer(error, IDOK) && app.settle());
    EXPECT_EQ(app.caption(), "Dornavel");
    EXPECT_EQ(app.controlText(IDC_ORDER_TEXT), "");
    EXPECT_TRUE(app.isEnabled(IDC_LOAD));
    EXPECT_FALSE(app.isEnabled(IDC_CLOSE));
    EXPECT_FALSE(pathExists(path));
}

TEST_F(CommandLineTest, TwoFilesLoadTheFirstAndSaySo) {
    const std::string first = scratch.path("first.v64");
    const std::string second = scratch.path("second.z64");
    // First byte 0x37: Doctor V64.
    ASSERT_TRUE(writeFile(first, {0x37, 0x80, 0x40, 0x12}));
    ASSERT_TRUE(writeFile(second, kBigRom));
    ASSERT_TRUE(app.launch({first, second}));
    OwnedDialog notice;
    ASSERT_TRUE(app.waitForMessageBox(notice));
    EXPECT_EQ(notice.text.rfind(kOneAtATime, 0), 0u) << notice.text;
    EXPECT_NE(notice.text.find(first), std::string::npos) << notice.text;
    EXPECT_NE(notice.text.find("dornavel-cli"), std::string::npos) << notice.text;
    ASSERT_TRUE(app.answer(notice, IDOK) && app.settle());
    EXPECT_EQ(app.caption(), "Dornavel - first.v64");
    EXPECT_EQ(app.checkedRadio(), IDC_TO_V64);
}
