#include "core/new_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/tests/scripted_ops.h"
#include "core/tests/test_files.h"

namespace {

const Bytes kPatched = {0x80, 0x37, 0x12, 0x40, 0xAA, 0xBB}; // a small new ROM

TEST(WriteNewFile, WritesTheBytesAndNeverReplacesAFile) {
    ScratchFolder folder;
    const std::string out = folder.path("hack.z64");
    FileError error;
    ASSERT_TRUE(writeNewFile(out, kPatched.data(), kPatched.size(), error)) << error.reason;
    EXPECT_EQ(readFile(out), kPatched);
    // A second write to the same name is refused: the first file stays as it was.
    const Bytes other = {0x37, 0x80};
    EXPECT_FALSE(writeNewFile(out, other.data(), other.size(), error));
    EXPECT_EQ(error.step, FileStep::NewFile);
    EXPECT_EQ(error.path, out);
    EXPECT_EQ(error.reason, "File exists");
    EXPECT_EQ(readFile(out), kPatched);
    EXPECT_EQ(sortedNames(folder), std::vector<std::string>({"hack.z64"}));
}

// A kill leaves the temporary name; the next write of the same file removes it. One that a
// running writer still holds is left to it.
TEST(WriteNewFile, RemovesAStaleTemporaryButNotOneInUse) {
    ScratchFolder folder;
    const std::string out = folder.path("hack.z64");
    writeFile(temporaryNameOf(out), {0x80, 0x37}); // half a ROM, as a kill leaves it
    FileError error;
    ASSERT_TRUE(writeNewFile(out, kPatched.data(), kPatched.size(), error)) << error.reason;
    EXPECT_EQ(sortedNames(folder), std::vector<std::string>({"hack.z64"}));

    const std::string second = folder.path("second.z64");
    NewFile writing; // another writer of the same name, still at work
    std::string reason;
    ASSERT_TRUE(writing.create(second, reason)) << reason;
    EXPECT_FALSE(writeNewFile(second, kPatched.data(), kPatched.size(), error));
    EXPECT_NE(error.reason.find("being written by another program"), std::string::npos) << error.reason;
    EXPECT_TRUE(fileExists(temporaryNameOf(second)));
}

// Whatever step fails, neither the new name nor the temporary one is left.
TEST(WriteNewFile, AFailureAtAnyStepLeavesNothing) {
    const Op steps[] = {Op::Open, Op::Lock, Op::Write, Op::Sync, Op::Close, Op::RenameExclusive};
    for (Op step : steps) {
        ScratchFolder folder;
        ScriptedOps ops;
        ops.failOn(step, 1);
        FileError error;
        EXPECT_FALSE(writeNewFile(folder.path("hack.z64"), kPatched.data(), kPatched.size(), error));
        EXPECT_EQ(error.step, FileStep::NewFile);
        EXPECT_TRUE(sortedNames(folder).empty()) << static_cast<int>(step);
    }
}

TEST(WorkFileNames, AreTheProgramsOwnLeftoversOnly) {
    struct Case {
        const char* name;
        bool work;
    };
    const Case cases[] = {
        {"dir/game.z64.dornavel-tmp", true},
        {"game.z64.bak.dornavel-tmp", true},
        {"GAME.Z64.DORNAVEL-RECOVERY", true}, // any letter case
        {"game.z64.bak.1-0.tmp", true},       // the temporary backups of earlier versions
        {"game.z64.bak.12-15.tmp", true},
        {"game.z64", false},
        {"game.z64.bak", false},           // a backup is the user's
        {"game.bak.x-0.tmp", false},       // not the counters of a temporary backup
        {"notes.tmp", false},
        {".dornavel-tmp", false},          // only the suffix: no file it belongs to
        {"dir/.dornavel-tmp", false},      // the same in a folder
        {"game.z64.bak.-3.tmp", false},    // a counter missing before the dash
        {"game.z64.bak.3-.tmp", false},    // or after it
    };
    for (const Case& c : cases) EXPECT_EQ(isWorkFileName(c.name), c.work) << c.name;
}

} // namespace
