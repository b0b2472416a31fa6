#include "core/rom_update.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "core/conversion.h"
#include "core/recovery_record.h"
#include "core/file_system.h"
#include "core/tests/scripted_ops.h"
#include "core/tests/test_files.h"

namespace {

// Three slices of 1 MiB: two whole ones and a short third, so that a failure can fall
// between slices.
const std::size_t kRomSize = (std::size_t(2) << 20) + 8;
const std::int64_t kMiB = std::int64_t(1) << 20;

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

// Opens path, backs it up and converts it from v64 to big-endian; false at the first failure.
bool backUpAndConvert(const std::string& path, FileError& error) {
    RomUpdate update;
    return update.open(path, error) && update.backUp(error) &&
           update.convert(ByteOrder::DoctorV64, ByteOrder::BigEndian, error) && update.close(error);
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
    bool recordLeft;  // the recovery record stays, for the next update to finish the work
};

// The calls of one update with a backup, in order. Open: open, lock, size, allocate the
// slice, read the first byte. Backup: open (the temporary name), lock, read and write x3,
// sync, close, rename. Conversion: room, reserve; the record: open, write (its header), read
// x3 and write x2 (the checks of whole blocks), write (the last block and its end), sync;
// the ROM: read and write x3, sync; the
// record's removal: close, remove. At last the ROM's close.
const FailureCase kFailures[] = {
    {"open", Op::Open, 1, false, FileStep::Open, RomState::Unchanged, After::Original, false, false},
    {"lock", Op::Lock, 1, false, FileStep::Busy, RomState::Unchanged, After::Original, false, false},
    {"size", Op::Size, 1, false, FileStep::Size, RomState::Unchanged, After::Original, false, false},
    {"allocate", Op::Allocate, 1, false, FileStep::Allocate, RomState::Unchanged, After::Original, false, false},
    {"read", Op::Read, 1, false, FileStep::Read, RomState::Unchanged, After::Original, false, false},
    {"backup_create", Op::Open, 2, false, FileStep::Backup, RomState::Unchanged, After::Original, false, false},
    {"backup_read", Op::Read, 3, false, FileStep::Read, RomState::Unchanged, After::Original, false, false},
    {"backup_write", Op::Write, 2, false, FileStep::Backup, RomState::Unchanged, After::Original, false, false},
    {"backup_sync", Op::Sync, 1, false, FileStep::Backup, RomState::Unchanged, After::Original, false, false},
    {"backup_close", Op::Close, 1, false, FileStep::Backup, RomState::Unchanged, After::Original, false, false},
    {"backup_rename", Op::RenameReplacing, 1, false, FileStep::Backup, RomState::Unchanged, After::Original, false, false},
    // No room on the disk: found before any byte of the ROM changes.
    {"room", Op::Room, 1, false, FileStep::WriteBack, RomState::Unchanged, After::Original, true, false},
    {"reserve", Op::Reserve, 1, false, FileStep::WriteBack, RomState::Unchanged, After::Original, true, false},
    // The record cannot be made durable: the ROM is not touched, and no record is left.
    {"record_create", Op::Open, 3, false, FileStep::Record, RomState::Unchanged, After::Original, true, false},
    {"record_write", Op::Write, 5, false, FileStep::Record, RomState::Unchanged, After::Original, true, false},
    {"record_sync", Op::Sync, 2, false, FileStep::Record, RomState::Unchanged, After::Original, true, false},
    // Half of a slice written, then everything written put back in the old order.
    {"write_first_slice", Op::Write, 8, false, FileStep::WriteBack, RomState::Restored, After::Original, true, false},
    {"write_last_slice", Op::Write, 10, false, FileStep::WriteBack, RomState::Restored, After::Original, true, false},
    {"read_between_slices", Op::Read, 9, false, FileStep::WriteBack, RomState::Restored, After::Original, true, false},
    {"sync", Op::Sync, 3, false, FileStep::WriteBack, RomState::Restored, After::Original, true, false},
    // The restore fails as well: the error says how far the new order may reach, and the
    // record stays for the next update to finish the conversion.
    {"restore", Op::Write, 9, true, FileStep::WriteBack, RomState::Mixed, After::Mixed, true, true},
    // The ROM is whole in the new order; only the record could not go.
    {"record_remove", Op::Remove, 1, false, FileStep::Record, RomState::Unchanged, After::Converted, true, true},
    // Everything was on the disk before the close.
    {"close", Op::Close, 3, false, FileStep::Close, RomState::Unchanged, After::Converted, true, false},
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
    {
        ScriptedOps ops;
        ops.failOn(c.op, c.nth, c.sticky);
        ASSERT_FALSE(backUpAndConvert(path, error));
        EXPECT_EQ(ops.openFiles(), 0); // whatever failed, nothing is left open
    }
    EXPECT_EQ(error.step, c.step);
    // A refused allocation has the system's reason for no memory; a refused lock says who
    // holds the file; the rest give the injected reason, and one that leaves the ROM whole
    // says so.
    const std::string reason = c.op == Op::Allocate ? systemReason(ENOMEM) : c.op == Op::Lock ? kInUseText : ScriptedOps::kReason;
    EXPECT_EQ(error.reason.substr(0, reason.size()), reason);
    const bool aboutTheRecord = c.step == FileStep::Record;
    EXPECT_EQ(error.path, c.step == FileStep::Backup ? path + ".bak" : aboutTheRecord ? recoveryRecordPath(path) : path);
    EXPECT_EQ(error.rom, c.state);

    const Bytes now = readFile(path);
    ASSERT_EQ(now.size(), rom.size()); // never cut or grown
    const Bytes big = toBig(rom);
    if (c.rom == After::Mixed) {
        EXPECT_EQ(error.mixedBytes, 2 * kMiB); // the end of the slice that failed
        EXPECT_EQ(error.restoreReason, ScriptedOps::kReason);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < now.size(); ++i) {
            const bool reached = i < static_cast<std::size_t>(error.mixedBytes);
            wrong += !(now[i] == rom[i] || (reached && now[i] == big[i]));
        }
        EXPECT_EQ(wrong, 0u); // each byte old, or new where the new order may reach
    } else {
        EXPECT_TRUE(now == (c.rom == After::Original ? rom : big));
    }
    EXPECT_EQ(readFile(path + ".bak"), c.newBackup ? rom : older);
    // No temporary or partial file is left beside them; the record only where it is needed.
    std::set<std::string> expected = {"game.v64", "game.v64.bak"};
    if (c.recordLeft) expected.insert("game.v64.dornavel-recovery");
    EXPECT_EQ(namesIn(folder), expected);

    // The next update brings a ROM left with its record to the end of its conversion.
    RomUpdate next;
    ASSERT_TRUE(next.open(path, error)) << error.reason;
    EXPECT_EQ(next.interrupted().found(), c.recordLeft);
    EXPECT_TRUE(readFile(path) == (c.recordLeft || c.rom == After::Converted ? big : rom));
    EXPECT_FALSE(fileExists(recoveryRecordPath(path)));
}

INSTANTIATE_TEST_SUITE_P(EachStep, UpdateFailure, testing::ValuesIn(kFailures),
                         [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// A kill at any call of the update leaves what the next open brings to one whole order: the
// old one when the record was not yet whole (the ROM was not touched), the new one after.
TEST(KilledUpdate, IsBroughtToOneWholeOrderByTheNextOpen) {
    const Bytes rom = v64Rom();
    const Bytes big = toBig(rom);
    const struct {
        Op op;
        int calls; // of that operation in one update with a backup
    } steps[] = {{Op::Write, 10}, {Op::Sync, 3}, {Op::Read, 10}, {Op::Remove, 1}, {Op::RenameReplacing, 1}};
    for (const auto& step : steps) {
        for (int nth = 1; nth <= step.calls; ++nth) {
            ScratchFolder folder;
            const std::string path = folder.path("game.v64");
            writeFile(path, rom);
            const std::string where = "killed at call " + std::to_string(nth) + " of " + std::to_string(int(step.op));
            bool recordWhole = false; // the ROM may have been changed
            {
                ScriptedOps ops;
                ops.dieOn(step.op, nth);
                FileError error;
                EXPECT_FALSE(backUpAndConvert(path, error)) << where;
            }
            recordWhole = pendingUpdate(path).found();
            FileError error;
            RomUpdate next;
            ASSERT_TRUE(next.open(path, error)) << where << ": " << error.reason;
            EXPECT_EQ(next.interrupted().found(), recordWhole) << where;
            const Bytes now = readFile(path);
            EXPECT_TRUE(now == rom || now == big) << where;
            EXPECT_EQ(now == big, recordWhole) << where;
            EXPECT_FALSE(fileExists(recoveryRecordPath(path))) << where;
        }
    }
}

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
    EXPECT_EQ(seen, (std::vector<std::int64_t>{kMiB, 2 * kMiB, static_cast<std::int64_t>(kRomSize)}));
    EXPECT_TRUE(readFile(path) == toBig(rom));
    EXPECT_TRUE(readFile(path + ".bak") == rom);
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"game.v64", "game.v64.bak"}));
}

// A ROM of 12 MiB and 4 bytes goes through the passes two 4 MiB spans a round, the second
// span on another thread: a write failing or a kill in either span, in any round, loses
// nothing, and the record made by both threads brings a killed update to its end.
TEST(RomUpdate, TwoThreadsLoseNothingWhereverAWriteStops) {
    Bytes rom(std::size_t(12 << 20) + 4);
    for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<unsigned char>(i * 13 + i / 509);
    rom[0] = 0x37, rom[1] = 0x80, rom[2] = 0x40, rom[3] = 0x12;
    const Bytes big = toBig(rom);
    // The writes: the record's header, its checks a MiB at a time (12), its end; then the
    // ROM a MiB at a time (12) and its last 4 bytes. The calls below fall on each part.
    for (const int nth : {2, 8, 14, 15, 18, 22, 27}) {
        for (const bool kill : {false, true}) {
            ScratchFolder folder;
            const std::string path = folder.path("game.v64");
            writeFile(path, rom);
            const std::string where = (kill ? "killed at write " : "failed write ") + std::to_string(nth);
            FileError error;
            {
                ScriptedOps ops;
                ops.allowThreads();
                kill ? ops.dieOn(Op::Write, nth) : ops.failOn(Op::Write, nth);
                RomUpdate update;
                ASSERT_TRUE(update.open(path, error)) << where << ": " << error.reason;
                EXPECT_FALSE(update.convert(ByteOrder::DoctorV64, ByteOrder::BigEndian, error)) << where;
            }
            // A failed write is put back at once; a kill is settled by the next open, to the
            // new order when the record was whole (from the 15th write on).
            const bool recordWhole = pendingUpdate(path).found();
            EXPECT_EQ(recordWhole, kill && nth >= 15) << where;
            RomUpdate next;
            ASSERT_TRUE(next.open(path, error)) << where << ": " << error.reason;
            EXPECT_TRUE(readFile(path) == (recordWhole ? big : rom)) << where;
            EXPECT_FALSE(fileExists(recoveryRecordPath(path))) << where;
        }
    }
}

// With one thread (a test's stand-in), the second span of a round runs after the first: a
// read failing there is told with its own reason, in the record's pass and in the write's.
TEST(RomUpdate, AFailureInTheSecondSpanIsToldWithItsReason) {
    Bytes rom(std::size_t(12 << 20) + 4);
    rom[0] = 0x37, rom[1] = 0x80, rom[2] = 0x40, rom[3] = 0x12;
    // The reads after the open: the record's pass 13 (a MiB at a time, the last 4 bytes),
    // then the write pass the same; the 5th of each pass is the second span's first.
    const struct {
        int read;
        FileStep step;
    } cases[] = {{5, FileStep::Read}, {13 + 5, FileStep::WriteBack}};
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string path = folder.path("game.v64");
        writeFile(path, rom);
        ScriptedOps ops;
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error)) << error.reason;
        ops.failOn(Op::Read, ops.calls(Op::Read) + c.read);
        EXPECT_FALSE(update.convert(ByteOrder::DoctorV64, ByteOrder::BigEndian, error));
        EXPECT_EQ(error.step, c.step) << c.read;
        EXPECT_EQ(error.reason.substr(0, std::strlen(ScriptedOps::kReason)), ScriptedOps::kReason) << c.read;
        EXPECT_TRUE(readFile(path) == rom) << c.read; // put back, or never touched
    }
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
        EXPECT_EQ(ops.calls(Op::Write) > 0, c.changes) << c.bytes.size();
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

// A file that is shorter than when it was measured is not converted, with a reason that
// says so, and is left as it was.
TEST(RomUpdate, RefusesAFileThatEndsBeforeItsMeasuredSize) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    writeFile(path, {0x80, 0x37, 0x12, 0x40});
    ScriptedOps ops;
    ops.pretendSize(8);
    RomUpdate update;
    FileError error;
    ASSERT_TRUE(update.open(path, error)) << error.reason;
    EXPECT_FALSE(update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error));
    EXPECT_EQ(error.step, FileStep::Read);
    EXPECT_EQ(error.reason, "the file ended before its measured size");
    EXPECT_EQ(readFile(path), Bytes({0x80, 0x37, 0x12, 0x40}));
    EXPECT_FALSE(fileExists(recoveryRecordPath(path)));
}

// Sizes are signed 32-bit counts: 2 GiB less one byte is the largest taken, and the memory
// it takes is one slice, whatever the size.
TEST(RomUpdate, TakesSizesUpTo2GiBLessOneByte) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    writeFile(path, {0x80, 0x37, 0x12, 0x40});
    for (const std::int64_t size : {std::int64_t(INT32_MAX), std::int64_t(INT32_MAX) + 1}) {
        ScriptedOps ops;
        ops.pretendSize(size);
        RomUpdate update;
        FileError error;
        EXPECT_EQ(update.open(path, error), size == INT32_MAX) << size;
        if (size > INT32_MAX) {
            EXPECT_EQ(error.step, FileStep::TooLarge);
        }
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
        if (std::string(kind) == "hardlink_to_rom") { // a ROM with two names is not written at all
            EXPECT_FALSE(update.open(path, error));
            EXPECT_EQ(error.step, FileStep::Links);
            continue;
        }
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

namespace {

// Brings an update of the v64 ROM at path to state: through the calls that lead there.
// Broken: a conversion whose writes of the ROM, and so its restore, fail from the second on.
void enterState(RomUpdate& update, const std::string& path, UpdateState state) {
    FileError error;
    if (state == UpdateState::Closed) return;
    ASSERT_TRUE(update.open(path, error, state == UpdateState::Checking ? OpenPurpose::Check : OpenPurpose::Update));
    if (state == UpdateState::BackedUp) {
        ASSERT_TRUE(update.backUp(error));
    }
    if (state == UpdateState::Written) {
        ASSERT_TRUE(update.convert(ByteOrder::DoctorV64, ByteOrder::BigEndian, error));
    }
    if (state == UpdateState::Broken) {
        ScriptedOps ops;
        ops.failOn(Op::Write, 6, true); // the record's 4 writes and the ROM's first slice go through
        ASSERT_FALSE(update.convert(ByteOrder::DoctorV64, ByteOrder::BigEndian, error));
        ASSERT_EQ(error.rom, RomState::Mixed);
    }
    ASSERT_EQ(update.state(), state);
}

// The calls an update may refuse.
enum class Call { Read, BackUp, CheckWrite, Convert, Replace };

// Makes call; false with error set when it fails.
bool make(RomUpdate& update, Call call, FileError& error) {
    unsigned char bytes[4] = {1, 2, 3, 4};
    switch (call) {
    case Call::Read: return update.read(0, bytes, sizeof bytes, error);
    case Call::BackUp: return update.backUp(error);
    case Call::CheckWrite: return update.checkWrite(true, error);
    case Call::Convert: return update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error);
    case Call::Replace: return update.replace(16, bytes, sizeof bytes, error);
    }
    return false;
}

} // namespace

// A call in a state that does not take it fails at once, saying why, and touches nothing:
// no byte of the ROM, no backup, no record.
TEST(RomUpdateState, CallsOutOfTurnAreRefusedAndChangeNothing) {
    const struct {
        UpdateState state;
        Call call;
        FileStep step;
        const char* said;
    } cases[] = {
        {UpdateState::Closed, Call::Read, FileStep::Read, "it is not open"},             // never opened
        {UpdateState::Closed, Call::Convert, FileStep::WriteBack, "it is not open"},
        {UpdateState::Checking, Call::BackUp, FileStep::Backup, "it was opened only to check it"}, // a dry run
        {UpdateState::Checking, Call::Convert, FileStep::WriteBack, "it was opened only to check it"},
        {UpdateState::Checking, Call::Replace, FileStep::WriteBack, "it was opened only to check it"},
        {UpdateState::Written, Call::BackUp, FileStep::Backup, "it was already written"}, // would back up the new
        {UpdateState::Broken, Call::Read, FileStep::Read, "an earlier write of it failed"}, // mixed: only close
        {UpdateState::Broken, Call::BackUp, FileStep::Backup, "an earlier write of it failed"},
        {UpdateState::Broken, Call::CheckWrite, FileStep::WriteBack, "an earlier write of it failed"},
        {UpdateState::Broken, Call::Convert, FileStep::WriteBack, "an earlier write of it failed"},
        {UpdateState::Broken, Call::Replace, FileStep::WriteBack, "an earlier write of it failed"},
    };
    for (const auto& c : cases) {
        const std::string name = std::to_string(int(c.state)) + "/" + std::to_string(int(c.call));
        ScratchFolder folder;
        const std::string path = folder.path("game.v64");
        writeFile(path, v64Rom());
        RomUpdate update;
        enterState(update, path, c.state);
        const Bytes before = readFile(path);
        const std::set<std::string> names = namesIn(folder);
        FileError error;
        EXPECT_FALSE(make(update, c.call, error)) << name;
        EXPECT_EQ(error.step, c.step) << name;
        EXPECT_EQ(error.reason.rfind(c.said, 0), 0u) << name << ": " << error.reason;
        EXPECT_EQ(update.state(), c.state) << name;
        EXPECT_TRUE(readFile(path) == before) << name;
        EXPECT_EQ(namesIn(folder), names) << name;
    }
}

// The calls the road takes in turn are admitted, and close ends every state.
TEST(RomUpdateState, TheRoadGoesThroughItsStatesInTurn) {
    ScratchFolder folder;
    const std::string path = folder.path("game.v64");
    writeFile(path, v64Rom());
    RomUpdate update;
    FileError error;
    EXPECT_EQ(update.state(), UpdateState::Closed);
    ASSERT_TRUE(update.open(path, error));
    EXPECT_EQ(update.state(), UpdateState::Open);
    ASSERT_TRUE(update.backUp(error));
    EXPECT_EQ(update.state(), UpdateState::BackedUp);
    ASSERT_TRUE(update.convert(ByteOrder::DoctorV64, ByteOrder::BigEndian, error));
    EXPECT_EQ(update.state(), UpdateState::Written);
    const unsigned char codes[4] = {9, 8, 7, 6};
    EXPECT_TRUE(update.replace(16, codes, sizeof codes, error)) << error.reason; // a fix after the conversion
    EXPECT_EQ(update.state(), UpdateState::Written);
    ASSERT_TRUE(update.close(error));
    EXPECT_EQ(update.state(), UpdateState::Closed);
}
