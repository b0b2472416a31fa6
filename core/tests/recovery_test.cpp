// The recovery record and what it lets the next update do: tell each sector's state apart,
// refuse a record that does not fit the file, and leave the reading side unwritten.
#include "core/recovery_record.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/conversion.h"
#include "core/rom_update.h"
#include "core/settle.h"
#include "core/tests/scripted_ops.h"
#include "core/tests/test_files.h"

namespace {

// One 8-byte "sector" of a big-endian image and the same bytes little-endian: each 4-byte
// group reversed.
const Bytes kOld = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x14, 0x4C};
const Bytes kNew = {0x40, 0x12, 0x37, 0x80, 0x4C, 0x14, 0x00, 0x00};

// A sector is old, new, or torn at a group boundary either way; anything else fits neither.
TEST(SectorState, IsToldApartFromTheOldImagesCheck) {
    const std::uint32_t check = sectorCheck(kOld.data(), kOld.size());
    const struct {
        const char* name;
        Bytes sector;
        bool fits;
    } cases[] = {
        {"old", kOld, true},
        {"new", kNew, true},
        {"new start, old end", {0x40, 0x12, 0x37, 0x80, 0x00, 0x00, 0x14, 0x4C}, true},
        {"old start, new end", {0x80, 0x37, 0x12, 0x40, 0x4C, 0x14, 0x00, 0x00}, true},
        {"torn inside a group", {0x40, 0x12, 0x12, 0x40, 0x00, 0x00, 0x14, 0x4C}, false},
        {"other bytes", {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x14, 0x4D}, false},
    };
    for (const auto& c : cases) {
        unsigned char old[kSectorSize];
        const bool fits = oldImageOfSector(c.sector.data(), c.sector.size(), check, ByteOrder::BigEndian,
                                           ByteOrder::LittleEndian, old);
        EXPECT_EQ(fits, c.fits) << c.name;
        if (fits) {
            EXPECT_EQ(Bytes(old, old + kOld.size()), kOld) << c.name;
        }
    }
}

// A byte swap changes the check: a CRC or a sum would let reversed groups pass as the same.
TEST(SectorState, ChecksTellAReversedSectorFromTheOriginal) {
    Bytes sector(kSectorSize);
    for (std::size_t i = 0; i < sector.size(); ++i) sector[i] = static_cast<unsigned char>(i * 13 + 1);
    Bytes reversed = sector;
    reverseQuads(reversed.data(), reversed.size());
    EXPECT_NE(sectorCheck(sector.data(), sector.size()), sectorCheck(reversed.data(), reversed.size()));
}

// Interrupts a conversion of path from big to little after the record is whole and the
// first write of the ROM has gone half-way; the file is then left as a kill leaves it.
void interruptConversion(const std::string& path) {
    ScriptedOps ops;
    ops.dieOn(Op::Write, 3); // the record's header, its checks with its end; then the ROM
    RomUpdate update;
    FileError error;
    ASSERT_TRUE(update.open(path, error));
    EXPECT_FALSE(update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error));
}

// A big-endian ROM of 3000 bytes in folder whose conversion to little-endian was stopped
// halfway; gives its path.
std::string interruptedRom(const ScratchFolder& folder) {
    const std::string path = folder.path("game.z64");
    Bytes rom(3000, 0x11);
    rom[0] = 0x80;
    writeFile(path, rom);
    interruptConversion(path);
    return path;
}

// The reading side sees the interrupted conversion and writes nothing; the next update
// finishes it and says so.
TEST(PendingUpdate, IsSeenByReadersAndFinishedByTheNextUpdate) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    Bytes rom(3000);
    for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<unsigned char>(i * 7 + 3);
    rom[0] = 0x80, rom[1] = 0x37, rom[2] = 0x12, rom[3] = 0x40;
    writeFile(path, rom);
    interruptConversion(path);
    const Bytes mixed = readFile(path);
    ASSERT_FALSE(mixed == rom); // half of the first write reached the file

    const PendingUpdate pending = pendingUpdate(path);
    EXPECT_TRUE(pending.found());
    EXPECT_EQ(pending.contents.from, ByteOrder::BigEndian);
    EXPECT_EQ(pending.contents.to, ByteOrder::LittleEndian);
    EXPECT_EQ(readFile(path), mixed); // looking wrote nothing

    RomUpdate update;
    FileError error;
    ASSERT_TRUE(update.open(path, error)) << error.reason;
    EXPECT_TRUE(update.interrupted().found());
    EXPECT_EQ(update.order(), ByteOrder::LittleEndian); // the first byte read after the finish
    Bytes little = rom;
    reverseQuads(little.data(), little.size());
    EXPECT_TRUE(readFile(path) == little);
    EXPECT_FALSE(pendingUpdate(path).found());
}

// A record beside a file it does not fit (another ROM written in its place) is never
// applied: the update is refused, the file and the record stay as they are, and a dry run
// meets the same refusal.
TEST(PendingUpdate, ARecordThatFitsNeitherOrderIsRefused) {
    ScratchFolder folder;
    const std::string path = interruptedRom(folder);
    Bytes other(3000, 0x5A);
    other[0] = 0x80;
    writeFile(path, other);

    for (const OpenPurpose purpose : {OpenPurpose::Check, OpenPurpose::Update}) {
        RomUpdate update;
        FileError error;
        EXPECT_FALSE(update.open(path, error, purpose));
        EXPECT_EQ(error.step, FileStep::Recovery);
        EXPECT_NE(error.reason.find("in neither order of its recovery record"), std::string::npos) << error.reason;
    }
    EXPECT_TRUE(readFile(path) == other);
    EXPECT_TRUE(pendingUpdate(path).found());
}

// A replacement of a few bytes killed at any write leaves the old bytes or, once its record
// is whole, the new ones after the next open.
TEST(Replace, KilledAtAnyWriteLeavesTheOldBytesOrTheNew) {
    const Bytes rom = {0x80, 0x37, 0x12, 0x40, 0xAA, 0xBB, 0xCC, 0xDD};
    const Bytes codes = {0x01, 0x02, 0x03, 0x04};
    for (int nth = 1; nth <= 4; ++nth) { // the record's header, its bytes, its end; the ROM
      for (const std::int64_t offset : {0, 4}) { // the file's first bytes too
        Bytes replaced = rom;
        std::copy(codes.begin(), codes.end(), replaced.begin() + offset);
        ScratchFolder folder;
        const std::string path = folder.path("game.z64");
        writeFile(path, rom);
        {
            ScriptedOps ops;
            ops.dieOn(Op::Write, nth);
            RomUpdate update;
            FileError error;
            ASSERT_TRUE(update.open(path, error));
            EXPECT_FALSE(update.replace(offset, codes.data(), codes.size(), error)) << nth;
        }
        const bool whole = pendingUpdate(path).found();
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error)) << error.reason;
        EXPECT_EQ(readFile(path), whole ? replaced : rom) << nth;
        EXPECT_EQ(whole, nth == 4) << nth; // only the ROM's own write comes after the record
      }
    }
}

// A replacement that fails: on reading the old bytes nothing is written; on writing the
// record nothing is left of it; on writing the ROM the old bytes are put back.
TEST(Replace, AFailureLeavesTheOldBytesAndNoRecord) {
    const Bytes rom = {0x80, 0x37, 0x12, 0x40, 0xAA, 0xBB, 0xCC, 0xDD};
    const Bytes codes = {0x01, 0x02, 0x03, 0x04};
    const struct {
        Op op;
        int nth;
        FileStep step;
        RomState state;
    } cases[] = {
        {Op::Read, 2, FileStep::Read, RomState::Unchanged},      // the old bytes (after the first byte)
        {Op::Write, 2, FileStep::Record, RomState::Unchanged},   // the record's bytes
        {Op::Write, 4, FileStep::WriteBack, RomState::Restored}, // the ROM's own write
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string path = folder.path("game.z64");
        writeFile(path, rom);
        ScriptedOps ops;
        ops.failOn(c.op, c.nth);
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error));
        EXPECT_FALSE(update.replace(4, codes.data(), codes.size(), error)) << c.nth;
        EXPECT_EQ(error.step, c.step) << c.nth;
        EXPECT_EQ(error.rom, c.state) << c.nth;
        EXPECT_EQ(readFile(path), rom) << c.nth;
        EXPECT_FALSE(fileExists(recoveryRecordPath(path))) << c.nth;
    }
}

// A record that cannot be read to its end is neither trusted nor removed: the update is
// refused and the record stays for a later run.
TEST(PendingUpdate, ARecordThatCannotBeReadStays) {
    ScratchFolder folder;
    const std::string path = interruptedRom(folder);
    ScriptedOps ops;
    ops.failOn(Op::Read, 2); // the record's header reads; the rest of it does not
    RomUpdate update;
    FileError error;
    EXPECT_FALSE(update.open(path, error));
    EXPECT_EQ(error.step, FileStep::Recovery);
    EXPECT_EQ(error.path, recoveryRecordPath(path));
    EXPECT_TRUE(fileExists(recoveryRecordPath(path)));
}

// What a dry run checks before the first write: the size limit, the room to rewrite, a
// folder that takes the record. Each refusal leaves the file as it was, and the limit and
// the room stop the real write too.
TEST(CheckWrite, FindsWhatWouldStopTheWriteWithoutWriting) {
    const struct {
        const char* name;
        void (*script)(ScriptedOps&);
        FileStep step;
        bool stopsTheWrite;
    } cases[] = {
        {"size_limit", [](ScriptedOps& ops) { ops.pretendSizeLimit(4); }, FileStep::WriteBack, true},
        {"no_room", [](ScriptedOps& ops) { ops.failOn(Op::Room, 1, true); }, FileStep::WriteBack, true},
        {"folder", [](ScriptedOps& ops) { ops.refuseNewNames("Permission denied"); }, FileStep::Record, false},
    };
    {
        // A folder where the backup goes: only a run with a backup meets it.
        ScratchFolder folder;
        const std::string path = folder.path("game.z64");
        writeFile(path, kOld);
        std::filesystem::create_directory(std::filesystem::u8path(path + ".bak"));
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error, OpenPurpose::Check));
        EXPECT_TRUE(update.checkWrite(false, error));
        EXPECT_FALSE(update.checkWrite(true, error));
        EXPECT_EQ(error.step, FileStep::Backup);
        EXPECT_EQ(error.path, path + ".bak");
    }
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string path = folder.path("game.z64");
        const Bytes rom = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F};
        writeFile(path, rom);
        ScriptedOps ops;
        c.script(ops);
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error, OpenPurpose::Check));
        EXPECT_FALSE(update.checkWrite(false, error)) << c.name;
        EXPECT_EQ(error.step, c.step) << c.name;
        EXPECT_EQ(ops.calls(Op::Write), 0) << c.name;
        if (c.stopsTheWrite) {
            EXPECT_FALSE(update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error)) << c.name;
            EXPECT_EQ(error.rom, RomState::Unchanged) << c.name;
        }
        EXPECT_EQ(readFile(path), rom) << c.name;
    }
}

#ifndef _WIN32
// Another program acting during the write: the conversion goes on to the file opened, and
// what was found afterwards is told. (On Windows the open's share mode keeps both out.)
TEST(ChangedBehindTheBack, AFileReplacedOrGrownIsTold) {
    for (const bool replaced : {true, false}) {
        ScratchFolder folder;
        const std::string path = folder.path("game.z64");
        writeFile(path, {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F});
        ScriptedOps ops;
        ops.onCall(Op::Sync, 2, [&] { // the ROM's own sync, after the record's
            if (replaced) {
                writeFile(folder.path("other"), {0x01});
                std::filesystem::rename(std::filesystem::u8path(folder.path("other")), std::filesystem::u8path(path));
            } else {
                std::FILE* file = std::fopen(path.c_str(), "ab");
                std::fputs("tail", file);
                std::fclose(file);
            }
        });
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error));
        EXPECT_FALSE(update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error));
        EXPECT_EQ(error.step, FileStep::Changed);
        const std::string said = replaced ? "was replaced by another file" : "grew while it was written (from 8 to 12 bytes)";
        EXPECT_EQ(error.reason.rfind(said, 0), 0u) << error.reason;
        EXPECT_FALSE(fileExists(recoveryRecordPath(path)));
    }
}
#endif

} // namespace
