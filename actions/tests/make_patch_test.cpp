// Making a patch file: every format, for every order, from every pair of orders the two
// ROMs may be in, read back and applied to the original in its own order; the refusals,
// after which nothing is written.
#include <gtest/gtest.h>

#include "actions/make_patch.h"
#include "core/tests/test_files.h"
#include "patch/tests/patch_samples.h"

namespace {

const ByteOrder kOrders[] = {ByteOrder::BigEndian, ByteOrder::DoctorV64, ByteOrder::LittleEndian};
const PatchFormat kFormats[] = {PatchFormat::Bps, PatchFormat::Ups, PatchFormat::Ips, PatchFormat::Vcdiff};

// A short name of an order for the files' names.
std::string shortName(ByteOrder order) {
    return order == ByteOrder::BigEndian ? "-big" : order == ByteOrder::DoctorV64 ? "-v64" : "-little";
}

// The result of the patch file at path applied to image (in order), IPS told patchOrder.
Bytes appliedFile(const std::string& path, Bytes image, ByteOrder order, ByteOrder patchOrder) {
    const Bytes patch = readFile(path);
    PatchOutcome outcome;
    PatchError error;
    const ByteOrder given = recognisePatch(patch.data(), patch.size()) == PatchFormat::Ips ? patchOrder : ByteOrder::None;
    EXPECT_TRUE(applyPatch(image.data(), image.size(), order, patch.data(), patch.size(), given, outcome, error))
        << error.reason;
    EXPECT_EQ(outcome.patchOrder, patchOrder);
    return Bytes(outcome.result.bytes(), outcome.result.bytes() + outcome.result.size());
}

// The patch is made for the order asked, whatever orders the two files are in, and gives
// the modified ROM (in that order) from the original in its own.
TEST(MakePatchFile, EveryFormatForEveryOrderFromEveryPairOfOrders) {
    ScratchFolder folder;
    for (PatchFormat format : kFormats)
        for (ByteOrder patchOrder : kOrders)
            for (ByteOrder originalOrder : kOrders)
                for (ByteOrder modifiedOrder : kOrders) {
                    const std::string name = std::string(patchFormatName(format)) + shortName(patchOrder) +
                                             shortName(originalOrder) + shortName(modifiedOrder);
                    const std::string original = folder.path(name + ".orig"), modified = folder.path(name + ".hack");
                    writeFile(original, inOrder(sampleRom(), originalOrder));
                    writeFile(modified, inOrder(sampleTarget(), modifiedOrder));
                    MakePatchRequest request{original, modified, "", format, patchOrder, ""};
                    MakePatchReport report;
                    ASSERT_TRUE(makePatchFile(request, report)) << name << ": " << report.error.reason;
                    EXPECT_EQ(report.output, folder.path(name + patchExtension(format)));
                    EXPECT_EQ(report.originalOrder, originalOrder);
                    EXPECT_EQ(report.modifiedOrder, modifiedOrder);
                    EXPECT_EQ(report.patchSize, readFile(report.output).size());
                    EXPECT_TRUE(appliedFile(report.output, inOrder(sampleRom(), originalOrder), originalOrder,
                                            patchOrder) == inOrder(sampleTarget(), patchOrder))
                        << name;
                }
}

// Two ROMs of the same bytes in different orders: an empty patch, said to be one.
TEST(MakePatchFile, IdenticalRomsGiveAPatchThatChangesNothing) {
    ScratchFolder folder;
    writeFile(folder.path("game.v64"), inOrder(sampleRom(), ByteOrder::DoctorV64));
    writeFile(folder.path("copy.n64"), inOrder(sampleRom(), ByteOrder::LittleEndian));
    MakePatchRequest request{folder.path("game.v64"), folder.path("copy.n64"), folder.path("same.ups"),
                             PatchFormat::Ups, ByteOrder::BigEndian, ""};
    MakePatchReport report;
    ASSERT_TRUE(makePatchFile(request, report)) << report.error.reason;
    EXPECT_TRUE(report.identical);
    EXPECT_EQ(report.patchSize, 4u + 2 + 2 + 12); // magic, the two sizes (2 bytes each), the CRC-32s
}

// Each refusal at its step, naming the file; nothing but the inputs is left in the folder.
TEST(MakePatchFile, RefusalsWriteNothing) {
    ScratchFolder folder;
    const std::string game = folder.path("game.z64"), hack = folder.path("hack.z64");
    writeFile(game, sampleRom());
    writeFile(hack, sampleTarget());
    writeFile(folder.path("notes.txt"), Bytes(64, 'a'));
    writeFile(folder.path("taken.bps"), Bytes(3, 0));
    Bytes big((std::size_t(16) << 20) + 4, 0);
    big[0] = 0x80;
    writeFile(folder.path("big.z64"), big);
    const struct {
        const char* name;
        MakePatchRequest request;
        MakePatchStep step;
        std::string file;
    } cases[] = {
        {"taken", {game, hack, folder.path("taken.bps"), PatchFormat::Bps, ByteOrder::BigEndian, ""},
         MakePatchStep::OutputTaken, ""},
        {"missing", {folder.path("none.z64"), hack, folder.path("a.bps"), PatchFormat::Bps, ByteOrder::BigEndian, ""},
         MakePatchStep::Read, folder.path("none.z64")},
        {"not a ROM", {game, folder.path("notes.txt"), "", PatchFormat::Bps, ByteOrder::BigEndian, ""},
         MakePatchStep::Order, folder.path("notes.txt")},
        {"IPS too large", {game, folder.path("big.z64"), "", PatchFormat::Ips, ByteOrder::BigEndian, ""},
         MakePatchStep::Make, ""},
    };
    for (const auto& c : cases) {
        MakePatchReport report;
        EXPECT_FALSE(makePatchFile(c.request, report)) << c.name;
        EXPECT_EQ(report.failed, c.step) << c.name;
        EXPECT_EQ(report.error.path, c.file) << c.name;
    }
    EXPECT_FALSE(fileExists(folder.path("a.bps")));
    EXPECT_FALSE(fileExists(folder.path("notes.bps")));
    EXPECT_FALSE(fileExists(folder.path("big.ips")));
    EXPECT_EQ(readFile(folder.path("taken.bps")), Bytes(3, 0));
}

} // namespace
