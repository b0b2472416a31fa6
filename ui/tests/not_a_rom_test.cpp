// Archives given to the window, whichever way: shown as of no known order, and never
// swapped, even with an order chosen by hand (a 7z begins with 37, as a Doctor V64 ROM does).
#include "core/tests/archive_samples.h"
#include "gui_test.h"

namespace {

// How the file reaches the window.
enum class Way { Dialog, CommandLine, Drop };

// An archive, the way it is given, and the words of the refusal.
struct ArchiveCase {
    const char* name;
    const char* file;
    const Bytes* bytes;
    Way way;
    const char* kind; // as the refusal says it
};

const ArchiveCase kCases[] = {
    {"SevenZipByDialog", "giochi.7z", &kSmall7z, Way::Dialog, "un archivio 7z"},
    {"SevenZipNamedV64ByDialog", "finto.v64", &kSmall7z, Way::Dialog, "un archivio 7z"},
    {"SevenZipOnCommandLine", "giochi.7z", &kSmall7z, Way::CommandLine, "un archivio 7z"},
    {"SevenZipDropped", "giochi.7z", &kSmall7z, Way::Drop, "un archivio 7z"},
    {"ZipByDialog", "gioco.zip", &kSmallZip, Way::Dialog, "un archivio zip"},
    {"ZipOnCommandLine", "gioco.zip", &kSmallZip, Way::CommandLine, "un archivio zip"},
    {"ZipDropped", "gioco.zip", &kSmallZip, Way::Drop, "un archivio zip"},
};

} // namespace

// The program is started by each test, as its way of giving the file asks.
class ArchiveInWindow : public testing::TestWithParam<ArchiveCase> {
protected:
    // Starts the program and gives it the file at path.
    bool give(const std::string& path) {
        switch (GetParam().way) {
        case Way::Dialog: return app.start() && app.load(path);
        case Way::CommandLine: return app.launch({path}) && app.settle();
        case Way::Drop: break;
        }
        return app.start() && app.drop({path}) && app.waitForCaption(std::string("Dornavel - ") + GetParam().file) &&
               app.settle();
    }

    ScratchFolder scratch;
    DornavelApp app;
};

TEST_P(ArchiveInWindow, IsOfNoKnownOrderAndNeverSwapped) {
    const ArchiveCase& c = GetParam();
    const std::string path = scratch.path(c.file);
    ASSERT_TRUE(writeFile(path, *c.bytes));
    ASSERT_TRUE(give(path));
    EXPECT_EQ(app.caption(), std::string("Dornavel - ") + c.file);
    EXPECT_EQ(app.controlText(IDC_ORDER_TEXT), kUnknownLabel);
    EXPECT_EQ(app.checkedRadio(), 0);

    // An order chosen by hand changes nothing: the refusal comes before any question.
    ASSERT_TRUE(app.clickAndSettle(IDC_TO_BIG));
    app.click(IDC_SWAP);
    OwnedDialog refusal;
    ASSERT_TRUE(app.waitForMessageBox(refusal));
    EXPECT_TRUE(refusal.hasIcon);
    EXPECT_EQ(refusal.text.rfind(std::string("Questo file non è una ROM, è ") + c.kind + ":\n", 0), 0u) << refusal.text;
    EXPECT_NE(refusal.text.find(path), std::string::npos) << refusal.text;
    EXPECT_NE(refusal.text.find("Non l'ho toccato."), std::string::npos) << refusal.text;
    ASSERT_TRUE(app.answer(refusal, IDOK) && app.settle());

    EXPECT_EQ(readFile(path), *c.bytes);
    EXPECT_FALSE(pathExists(path + ".bak"));
    EXPECT_FALSE(pathExists(path + ".dornavel-recovery"));
    EXPECT_EQ(app.caption(), std::string("Dornavel - ") + c.file); // no new name
}

INSTANTIATE_TEST_SUITE_P(EveryWay, ArchiveInWindow, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ArchiveCase>& info) { return std::string(info.param.name); });
