// A patch given with a ROM on the command line (in either order) or dropped on the window
// while a ROM is loaded: asked about, written beside the ROM on Yes and then loaded, nothing
// written on No or when the patch is refused.
#include "gui_test.h"
#include "patch/tests/patch_samples.h"

namespace {

// The question asked before a patch is applied, for this patch and new file.
std::string patchQuestion(const std::string& patch, const std::string& output) {
    return "Applico la patch\n" + patch + "\nalla ROM?\n\nLa ROM resta com'è: il risultato lo scrivo in un file nuovo,\n" +
           output;
}

// The sample ROM in v64 order, and a BPS patch of it made for big-endian.
Bytes v64Rom() {
    return inOrder(sampleRom(), ByteOrder::DoctorV64);
}
Bytes bpsPatch() {
    return encodeBps(sampleRom(), sampleTarget());
}

} // namespace

// The program is started by each test with its own command line.
class PatchWindowTest : public testing::Test {
protected:
    // Writes game.v64 and traduzione.bps into the scratch folder.
    void SetUp() override {
        ASSERT_TRUE(writeFile(rom, v64Rom()));
        ASSERT_TRUE(writeFile(patch, bpsPatch()));
    }

    ScratchFolder scratch;
    DornavelApp app;
    const std::string rom = scratch.path("gioco.v64");
    const std::string patch = scratch.path("traduzione.bps");
    // Named after the patch with the ROM's extension, beside the ROM.
    const std::string output = scratch.path("traduzione.v64");
};

namespace {

// Expects the patched ROM written in the ROM's order and shown as loaded, the ROM unchanged.
void expectPatchedAndLoaded(DornavelApp& app, const std::string& rom, const std::string& output) {
    EXPECT_EQ(app.caption(), "Dornavel - traduzione.v64");
    EXPECT_EQ(app.controlText(IDC_ORDER_TEXT), kV64Label);
    EXPECT_EQ(app.checkedRadio(), IDC_TO_V64);
    EXPECT_EQ(readFile(output), inOrder(sampleTarget(), ByteOrder::DoctorV64));
    EXPECT_EQ(readFile(rom), v64Rom()); // only read
}

} // namespace

// Both orders of the command line (Explorer passes a drop of two files on the program in
// the order they were selected): Yes writes the patched ROM in the ROM's order and shows it.
TEST_F(PatchWindowTest, CommandLineRomThenPatchYes) {
    ASSERT_TRUE(app.launch({rom, patch}));
    ASSERT_TRUE(app.answerQuestion(patchQuestion(patch, output), IDYES));
    ASSERT_TRUE(app.settle());
    expectPatchedAndLoaded(app, rom, output);
}

TEST_F(PatchWindowTest, CommandLinePatchThenRomYes) {
    ASSERT_TRUE(app.launch({patch, rom}));
    ASSERT_TRUE(app.answerQuestion(patchQuestion(patch, output), IDYES));
    ASSERT_TRUE(app.settle());
    expectPatchedAndLoaded(app, rom, output);
}

// No writes nothing and leaves the ROM loaded.
TEST_F(PatchWindowTest, NoWritesNothing) {
    ASSERT_TRUE(app.launch({rom, patch}));
    ASSERT_TRUE(app.answerQuestion(patchQuestion(patch, output), IDNO));
    ASSERT_TRUE(app.settle());
    EXPECT_EQ(app.caption(), "Dornavel - gioco.v64");
    EXPECT_FALSE(pathExists(output));
}

// A patch dropped on the loaded ROM is offered for it.
TEST_F(PatchWindowTest, DroppedPatchIsOfferedForTheLoadedRom) {
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.load(rom));
    ASSERT_TRUE(app.drop({patch}));
    ASSERT_TRUE(app.answerQuestion(patchQuestion(patch, output), IDYES));
    ASSERT_TRUE(app.settle());
    EXPECT_EQ(app.caption(), "Dornavel - traduzione.v64");
    EXPECT_EQ(readFile(output), inOrder(sampleTarget(), ByteOrder::DoctorV64));
}

// A patch for another ROM and a name already taken: an error naming the patch and the
// reason, nothing written, the ROM still loaded.
TEST_F(PatchWindowTest, RefusalsNameThePatchAndWriteNothing) {
    Bytes other = sampleRom();
    other[0x800] ^= 1;
    ASSERT_TRUE(writeFile(rom, inOrder(other, ByteOrder::DoctorV64)));
    ASSERT_TRUE(app.launch({rom, patch}));
    ASSERT_TRUE(app.answerQuestion(patchQuestion(patch, output), IDYES));
    OwnedDialog error;
    ASSERT_TRUE(app.waitForMessageBox(error));
    EXPECT_TRUE(error.hasIcon);
    EXPECT_EQ(error.text.rfind("Non ho applicato la patch:\n" + patch + "\n\nQuesta patch è per un'altra ROM: vuole il CRC-32 ", 0), 0u)
        << error.text;
    EXPECT_NE(error.text.find("Non ho scritto niente."), std::string::npos) << error.text;
    ASSERT_TRUE(app.answer(error, IDOK) && app.settle());
    EXPECT_FALSE(pathExists(output));
    EXPECT_EQ(app.caption(), "Dornavel - gioco.v64");

    ASSERT_TRUE(writeFile(rom, v64Rom()));
    ASSERT_TRUE(writeFile(output, {1, 2, 3}));
    ASSERT_TRUE(app.drop({patch}));
    ASSERT_TRUE(app.answerQuestion(patchQuestion(patch, output), IDYES));
    ASSERT_TRUE(app.waitForMessageBox(error));
    EXPECT_NE(error.text.find("Esiste già un file col nome che le darei:\n" + output), std::string::npos) << error.text;
    ASSERT_TRUE(app.answer(error, IDOK) && app.settle());
    EXPECT_EQ(readFile(output), (Bytes{1, 2, 3}));
}

// A patch alone, with no ROM loaded, is not taken for a ROM.
TEST_F(PatchWindowTest, PatchAloneAsksForTheRomFirst) {
    ASSERT_TRUE(app.launch({patch}));
    OwnedDialog error;
    ASSERT_TRUE(app.waitForMessageBox(error));
    EXPECT_EQ(error.text.rfind("Questa è una patch, non una ROM:\n" + patch, 0), 0u) << error.text;
    ASSERT_TRUE(app.answer(error, IDOK) && app.settle());
    EXPECT_EQ(app.caption(), "Dornavel");
}
