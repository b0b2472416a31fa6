// A ROM inside a zip loaded in the window: shown as ARCHIVE - ENTRY in the ROM's order, and
// "Esegui Swap" writes the archive anew with the ROM in the new order.
#include "archive/tests/archive_samples.h"
#include "gui_test.h"

using ArchiveTest = GuiTest;

// Both questions come before the writing (the ROM's new name goes into the new archive);
// the old archive is kept as the backup, and loading the new one shows the ROM's new order
// under its new name.
TEST_F(ArchiveTest, ZipIsLoadedAndSwappedAsItsRom) {
    std::string path;
    const Bytes zip(kDeflateZip, kDeflateZip + sizeof kDeflateZip); // "Mondo Kart.z64", big-endian, and a readme
    ASSERT_TRUE(loadRom("mondo.zip", zip, path));
    expectLoaded("mondo.zip - Mondo Kart.z64", kBigLabel, IDC_TO_BIG);

    ASSERT_TRUE(app.clickAndSettle(IDC_TO_LITTLE));
    app.click(IDC_SWAP);
    ASSERT_TRUE(app.answerQuestion("Creo un file di backup dell'archivio?  ", IDYES));
    ASSERT_TRUE(app.answerQuestion("Correzione finale del nome della ROM nell'archivio? ", IDYES));
    ASSERT_TRUE(app.settle());
    expectLoaded("mondo.zip - Mondo Kart.bin", kLittleLabel, IDC_TO_LITTLE); // the window's name for little
    EXPECT_EQ(readFile(path + ".bak"), zip);

    ASSERT_TRUE(app.clickAndSettle(IDC_CLOSE));
    ASSERT_TRUE(app.load(path));
    expectLoaded("mondo.zip - Mondo Kart.bin", kLittleLabel, IDC_TO_LITTLE);
}
