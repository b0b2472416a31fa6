// What the window does to a ROM it loads: an update stopped halfway is finished, once.
#include "actions/finish_update.h"

#include <gtest/gtest.h>

#include "core/rom_update.h"
#include "core/tests/scripted_ops.h"
#include "core/tests/test_files.h"

namespace {

TEST(FinishPendingUpdate, FinishesAConversionStoppedHalfwayOnce) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    writeFile(path, {0x80, 0x37, 0x12, 0x40, 0x01, 0x02, 0x03, 0x04});
    {
        ScriptedOps ops;
        ops.dieOn(Op::Write, 3); // the record whole, then the ROM's first write dies
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error));
        EXPECT_FALSE(update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error));
    }
    const FinishReport first = finishPendingUpdate(path);
    EXPECT_TRUE(first.done) << first.error.reason;
    EXPECT_TRUE(first.pending.found()); // the window tells the user it was finished
    // Every 4-byte group reversed: the conversion the record was made for, to its end.
    EXPECT_EQ(readFile(path), (Bytes{0x40, 0x12, 0x37, 0x80, 0x04, 0x03, 0x02, 0x01}));
    const FinishReport again = finishPendingUpdate(path);
    EXPECT_TRUE(again.done);
    EXPECT_FALSE(again.pending.found()); // nothing left to tell
}

} // namespace
