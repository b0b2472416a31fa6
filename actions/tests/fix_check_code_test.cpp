// Writing the computed check codes into a ROM's header: only the 8 bytes of the codes change,
// in the file's own order; a file already right, of no recognised chip, short or of unknown
// order is left as it is; a file another update holds is not touched.
#include "actions/fix_check_code.h"

#include <gtest/gtest.h>

#include "core/conversion.h"
#include "actions/tests/fix_samples.h"

namespace {

class FixInEveryOrder : public testing::TestWithParam<ByteOrder> {};

// The real ROM with its codes wiped gets back exactly the bytes it had, in its own order:
// the codes its recognised boot chip computes, and nothing else changed.
TEST_P(FixInEveryOrder, RealRomGetsItsCodesBack) {
    Bytes real = realRom();
    SKIP_WITHOUT_REAL_ROM(real);
    convertToBig(real.data(), real.size(), ByteOrder::DoctorV64);
    ScratchFolder folder;
    const std::string path = folder.path("rom");
    writeFile(path, inOrder(withCodes(real, 0x12345678, 0x9ABCDEF0), GetParam()));

    const FixReport result = fixCheckCode({path, BootChip::Unknown, false});
    ASSERT_EQ(result.outcome, FixOutcome::Fixed) << result.error.reason;
    EXPECT_EQ(result.identity.check.header.crc1, 0x12345678u);
    EXPECT_EQ(result.identity.check.computed.crc1, kRealCrc1);
    EXPECT_EQ(result.identity.check.computed.crc2, kRealCrc2);
    EXPECT_EQ(readFile(path), inOrder(real, GetParam()));
    EXPECT_TRUE(result.backup.empty());
}

// A header whose first half holds and whose second does not is fixed too.
TEST(Fix, OneWrongHalfIsFixed) {
    Bytes real = realRom();
    SKIP_WITHOUT_REAL_ROM(real);
    convertToBig(real.data(), real.size(), ByteOrder::DoctorV64);
    ScratchFolder folder;
    const std::string path = folder.path("rom.z64");
    writeFile(path, withCodes(real, kRealCrc1, 0x9ABCDEF0));
    const FixReport result = fixCheckCode({path, BootChip::Unknown, false});
    EXPECT_EQ(result.outcome, FixOutcome::Fixed);
    EXPECT_EQ(readFile(path), real);
}

INSTANTIATE_TEST_SUITE_P(AllOrders, FixInEveryOrder,
                         testing::Values(ByteOrder::BigEndian, ByteOrder::LittleEndian, ByteOrder::DoctorV64),
                         [](const testing::TestParamInfo<ByteOrder>& info) {
                             return std::string(info.param == ByteOrder::BigEndian      ? "big"
                                                : info.param == ByteOrder::LittleEndian ? "little"
                                                                                        : "v64");
                         });

// A boot code no chip is recognised by is refused unless the chip is given; given, the code
// of its family is written (the ipl3checksum vector for 6102), after a backup of the old
// content when asked. A second fix finds the codes right and writes nothing, not even a backup.
TEST(Fix, UnknownBootCodeNeedsTheChip) {
    ScratchFolder folder;
    const std::string path = folder.path("dummy.v64");
    const Bytes before = inOrder(dummyRom(), ByteOrder::DoctorV64);
    writeFile(path, before);

    const FixReport refused = fixCheckCode({path, BootChip::Unknown, true});
    EXPECT_EQ(refused.outcome, FixOutcome::NotComputed);
    EXPECT_EQ(refused.identity.check.reason, NotVerifiedReason::UnknownBootCode);
    EXPECT_EQ(readFile(path), before);
    EXPECT_FALSE(fileExists(path + ".bak"));

    // A dry run finds the codes it would write, and writes neither them nor the backup.
    const FixReport planned = fixCheckCode({path, BootChip::Cic6102, true, false, true});
    EXPECT_EQ(planned.outcome, FixOutcome::Fixed) << planned.error.reason;
    EXPECT_EQ(planned.identity.check.computed.crc1, 0x31E282B9u);
    EXPECT_EQ(readFile(path), before);
    EXPECT_FALSE(fileExists(path + ".bak"));

    const FixReport fixed = fixCheckCode({path, BootChip::Cic6102, true});
    ASSERT_EQ(fixed.outcome, FixOutcome::Fixed) << fixed.error.reason;
    EXPECT_EQ(fixed.backup, path + ".bak");
    EXPECT_EQ(readFile(path + ".bak"), before);
    EXPECT_EQ(readFile(path), inOrder(withCodes(dummyRom(), 0x31E282B9, 0xBA271CE1), ByteOrder::DoctorV64));
    EXPECT_FALSE(fixed.identity.check.padded); // the dummy is exactly as long as the checked range

    writeFile(path + ".bak", Bytes{1, 2, 3});
    const FixReport again = fixCheckCode({path, BootChip::Cic6102, true});
    EXPECT_EQ(again.outcome, FixOutcome::AlreadyRight);
    EXPECT_EQ(readFile(path + ".bak"), (Bytes{1, 2, 3})); // no backup of a file left untouched
}

// Files no code can be computed for are left exactly as they are.
TEST(Fix, ShortAndUnknownFilesUntouched) {
    ScratchFolder folder;
    const struct {
        const char* name;
        Bytes bytes;
        NotVerifiedReason reason;
    } cases[] = {
        {"short.z64", Bytes{0x80, 0x37, 0x12, 0x40, 0, 0, 0, 0}, NotVerifiedReason::ShortFile},
        {"text.txt", Bytes(0x2000, 'a'), NotVerifiedReason::OrderUnknown},
        {"empty.z64", Bytes(), NotVerifiedReason::OrderUnknown},
    };
    for (const auto& c : cases) {
        writeFile(folder.path(c.name), c.bytes);
        const FixReport result = fixCheckCode({folder.path(c.name), BootChip::Cic6102, false});
        EXPECT_EQ(result.outcome, FixOutcome::NotComputed) << c.name;
        EXPECT_EQ(result.identity.check.reason, c.reason) << c.name;
        EXPECT_EQ(readFile(folder.path(c.name)), c.bytes) << c.name;
    }
    const FixReport missing = fixCheckCode({folder.path("missing.z64"), BootChip::Cic6102, false});
    EXPECT_EQ(missing.outcome, FixOutcome::Failed);
    EXPECT_EQ(missing.error.step, FileStep::Open);
}

// A ROM another update holds is refused as busy, and not changed.
TEST(Fix, BusyRomUntouched) {
    ScratchFolder folder;
    const std::string path = folder.path("dummy.z64");
    writeFile(path, dummyRom());
    RomUpdate other;
    FileError error;
    ASSERT_TRUE(other.open(path, error)) << error.reason;
    const FixReport result = fixCheckCode({path, BootChip::Cic6102, false});
    EXPECT_EQ(result.outcome, FixOutcome::Failed);
    EXPECT_EQ(result.error.step, FileStep::Busy);
    EXPECT_EQ(readFile(path), dummyRom());
}

} // namespace
