#include "core/rom_update.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/conversion.h"
#include "core/file_system.h"
#include "core/tests/scripted_ops.h"
#include "core/tests/test_files.h"

namespace {

// Three write slices of 8 MiB: two whole ones and a short third, so that a failure can
// fall between slices.
const std::size_t kRomSize = (std::size_t(16) << 20) + 8;

// A Doctor V64 ROM whose bytes differ from their neighbours, so that any swap shows.
Bytes v64Rom() {
    Bytes rom(kRomSize);
    for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<unsigned char>(i * 7 + i / 251);
    rom[0] = 0x37, rom[1] = 0x80, rom[2] = 0x40, rom[3] = 0x12;
    return rom;
}

Bytes toBig(Bytes rom) {
    swapPairs(rom.data(), rom.size());
    return rom;
}

// The names in a folder.
std::set<std::string> namesIn(const ScratchFolder& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.root()))
        names.insert(entry.path().filename().u8string());
    return names;
}

// What a failing step must leave behind.
enum class After { Original, Converted, Mixed };

struct FailureCase {
    const char* name;
    Op op;
    int nth;
    bool sticky;
    FileStep step;
    RomState state;   // what the error says of the ROM (write-back only)
    After rom;        // what the ROM holds
    bool newBackup;   // the backup is the new one (else the older one is still there)
};

// The calls of one update with a backup, in order: open, size, allocate, read; for the
// backup open (the temporary file), write x3, sync, close, rename; for the write-back
// reserve, write x3, sync; for a restore write, sync; at last close.
const FailureCase kFailures[] = {
    {"open", Op::Open, 1, false, FileStep::Open, RomState::Unchanged, After::Original, false},
    {"size", Op::Size, 1, false, FileStep::Size, RomState::Unchanged, After::Original, false},
    {"allocate", Op::Allocate, 1, false, FileStep::Allocate, RomState::Unchanged, After::Original, false},
    {"read", Op::Read, 1, false, FileStep::Read, RomState::Unchanged, After::Original, false},
    {"backup_create", Op::Open, 2, false, FileStep::Backup, RomState::Unchanged, After::Original, false},
    {"backup_write", Op::Write, 2, false, FileStep::Backup, RomState::Unchanged, After::Original, false},
    {"backup_sync", Op::Sync, 1, false, FileStep::Backup, RomState::Unchanged, After::Original, false},
    {"backup_close", Op::Close, 1, false, FileStep::Backup, RomState::Unchanged, After::Original, false},
    {"backup_rename", Op::RenameReplacing, 1, false, FileStep::Backup, RomState::Unchanged, After::Original, false},
    // No room on the disk: found before any byte of the ROM changes.
    {"reserve", Op::Reserve, 1, false, FileStep::WriteBack, RomState::Unchanged, After::Original, true},
    // Half of a slice written, then put back from memory.
    {"write_first_slice", Op::Write, 4, false, FileStep::WriteBack, RomState::Restored, After::Original, true},
    {"write_last_slice", Op::Write, 6, false, FileStep::WriteBack, RomState::Restored, After::Original, true},
    {"sync", Op::Sync, 2, false, FileStep::WriteBack, RomState::Restored, After::Original, true},
    // The restore fails as well: the error says how far the new order may reach.
    {"restore", Op::Write, 5, true, FileStep::WriteBack, RomState::Mixed, After::Mixed, true},
    // Everything was on the disk before the close.
    {"close", Op::Close, 2, false, FileStep::Close, RomState::Unchanged, After::Converted, true},
};

class UpdateFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(UpdateFailure, IsReportedAndLosesNothing) {
    const FailureCase& c = GetParam();
    ScratchFolder folder;
    const std::string path = folder.path("game.v64");
    const Bytes rom = v64Rom();
    const Bytes older = {0xB0, 0x0B};
    writeFile(path, rom);
    writeFile(path + ".bak", older);

    FileError error;
    bool done = false;
    ScriptedOps ops;
    ops.failOn(c.op, c.nth, c.sticky);
    {
        RomUpdate update;
        done = update.open(path, error) && update.backUp(error) &&
               update.convert(ByteOrder::DoctorV64, ByteOrder::BigEndian, error) && update.close(error);
    }
    ASSERT_FALSE(done);
    EXPECT_EQ(ops.openFiles(), 0); // whatever failed, nothing is left open
    EXPECT_EQ(error.step, c.step);
    // A refused allocation has the system's reason for no memory; the rest the injected one.
    EXPECT_EQ(error.reason, c.op == Op::Allocate ? systemReason(ENOMEM) : ScriptedOps::kReason);
    EXPECT_EQ(error.path, c.step == FileStep::Backup ? path + ".bak" : path);
    EXPECT_EQ(error.rom, c.state);

    const Bytes now = readFile(path);
    ASSERT_EQ(now.size(), rom.size()); // never cut or grown
    if (c.rom == After::Mixed) {
        const Bytes big = toBig(rom);
        EXPECT_EQ(error.mixedBytes, std::int64_t(16) << 20); // the end of the slice that failed
        EXPECT_EQ(error.restoreReason, ScriptedOps::kReason);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < now.size(); ++i) {
            const bool reached = i < static_cast<std::size_t>(error.mixedBytes);
            wrong += !(now[i] == rom[i] || (reached && now[i] == big[i]));
        }
        EXPECT_EQ(wrong, 0u); // each byte old, or new where the new order may reach
    } else {
        EXPECT_TRUE(now == (c.rom == After::Original ? rom : toBig(rom)));
    }
    EXPECT_EQ(readFile(path + ".bak"), c.newBackup ? rom : older);
    // No temporary or partial file is left beside them.
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"game.v64", "game.v64.bak"}));
}

INSTANTIATE_TEST_SUITE_P(EachStep, UpdateFailure, testing::ValuesIn(kFailures),
                         [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// The whole road without failures: backup, conversion, progress to the end.
TEST(RomUpdate, ConvertsInPlaceAndTellsProgressSliceBySlice) {
    ScratchFolder folder;
    const std::string path = folder.path("game.v64");
    const Bytes rom = v64Rom();
    writeFile(path, rom);
    RomUpdate update;
    FileError error;
    ASSERT_TRUE(update.open(path, error)) << error.reason;
    EXPECT_EQ(update.order(), ByteOrder::DoctorV64);
    ASSERT_TRUE(update.backUp(error)) << error.reason;
    EXPECT_TRUE(update.backedUp());
    std::vector<std::int64_t> seen;
    ASSERT_TRUE(update.convert(ByteOrder::DoctorV64, ByteOrder::BigEndian, error,
                               [&](std::int64_t written, std::int64_t total) {
                                   EXPECT_EQ(total, static_cast<std::int64_t>(kRomSize));
                                   seen.push_back(written);
                               }))
        << error.reason;
    ASSERT_TRUE(update.close(error)) << error.reason;
    // After each of the two whole slices, then at the end once the data is on the disk.
    EXPECT_EQ(seen, (std::vector<std::int64_t>{8 << 20, 16 << 20, static_cast<std::int64_t>(kRomSize)}));
    EXPECT_TRUE(readFile(path) == toBig(rom));
    EXPECT_TRUE(readFile(path + ".bak") == rom);
}

// A file shorter than one group the conversion moves is never written.
TEST(RomUpdate, LeavesAFileWithNoWholeGroupUnwritten) {
    struct Case {
        Bytes bytes;
        ByteOrder from, to;
        bool changes;
    };
    const Case cases[] = {
        {{0x80, 0x37, 0x12}, ByteOrder::BigEndian, ByteOrder::LittleEndian, false}, // 3 < 4
        {{0x80, 0x37}, ByteOrder::BigEndian, ByteOrder::DoctorV64, true},          // one pair
        {{0x37}, ByteOrder::DoctorV64, ByteOrder::BigEndian, false},               // 1 < 2
        {{0x37, 0x80}, ByteOrder::DoctorV64, ByteOrder::LittleEndian, false},      // 2 < 4
    };
    for (const Case& c : cases) {
        ScratchFolder folder;
        const std::string path = folder.path("short.rom");
        writeFile(path, c.bytes);
        ScriptedOps ops;
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error));
        EXPECT_EQ(update.changes(c.from, c.to), c.changes) << c.bytes.size();
        ASSERT_TRUE(update.convert(c.from, c.to, error));
        EXPECT_EQ(ops.calls(Op::Write), c.changes ? 1 : 0) << c.bytes.size();
    }
}

// The order comes from the first byte read, and an empty file has none, whatever the memory
// held before.
TEST(RomUpdate, TakesTheOrderFromTheFirstByteRead) {
    for (const Bytes& bytes : {Bytes{}, Bytes{0x40}, Bytes{0x37, 0x80}}) {
        ScratchFolder folder;
        writeFile(folder.path("rom"), bytes);
        ScriptedOps ops;
        ops.fillAllocations(0x80); // a stale big-endian first byte
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(folder.path("rom"), error));
        EXPECT_EQ(update.order(), bytes.empty() ? ByteOrder::None : orderFromFirstByte(bytes[0])) << bytes.size();
    }
}

// A file that is shorter than when it was measured is not taken, with a reason that says so.
TEST(RomUpdate, RefusesAFileThatEndsBeforeItsMeasuredSize) {
    ScratchFolder folder;
    writeFile(folder.path("game.z64"), {0x80, 0x37, 0x12, 0x40});
    ScriptedOps ops;
    ops.pretendSize(8);
    RomUpdate update;
    FileError error;
    EXPECT_FALSE(update.open(folder.path("game.z64"), error));
    EXPECT_EQ(error.step, FileStep::Read);
    EXPECT_EQ(error.reason, "the file ended before its measured size");
}

// Sizes are signed 32-bit counts: 2 GiB less one byte is the largest taken.
TEST(RomUpdate, TakesSizesUpTo2GiBLessOneByte) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    writeFile(path, {0x80, 0x37, 0x12, 0x40});
    for (const std::int64_t size : {std::int64_t(INT32_MAX), std::int64_t(INT32_MAX) + 1}) {
        ScriptedOps ops;
        ops.pretendSize(size);
        ops.failOn(Op::Allocate, 1); // no 2 GiB of memory is asked for for real
        RomUpdate update;
        FileError error;
        EXPECT_FALSE(update.open(path, error));
        EXPECT_EQ(error.step, size == INT32_MAX ? FileStep::Allocate : FileStep::TooLarge) << size;
    }
}

#ifndef _WIN32
// A backup name that leads to the ROM itself is refused; one that leads to another file is
// replaced by the backup, and that other file is left as it was.
TEST(RomUpdate, BackupNeverWritesThroughALink) {
    namespace fs = std::filesystem;
    const Bytes rom = {0x37, 0x80, 0x40, 0x12};
    const Bytes other = {0x0A, 0x0B};
    for (const char* kind : {"symlink_to_rom", "hardlink_to_rom", "symlink_to_other"}) {
        ScratchFolder folder;
        const std::string path = folder.path("game.v64");
        const std::string bak = path + ".bak";
        writeFile(path, rom);
        writeFile(folder.path("notes.txt"), other);
        if (std::string(kind) == "symlink_to_rom") fs::create_symlink(path, bak);
        if (std::string(kind) == "hardlink_to_rom") fs::create_hard_link(path, bak);
        if (std::string(kind) == "symlink_to_other") fs::create_symlink(folder.path("notes.txt"), bak);
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error));
        const bool toOther = std::string(kind) == "symlink_to_other";
        EXPECT_EQ(update.backUp(error), toOther) << kind;
        EXPECT_EQ(readFile(path), rom) << kind;
        EXPECT_EQ(readFile(folder.path("notes.txt")), other) << kind;
        if (toOther) EXPECT_FALSE(fs::is_symlink(bak)) << kind;
        else EXPECT_EQ(error.step, FileStep::Backup) << kind;
    }
}
#endif

} // namespace
