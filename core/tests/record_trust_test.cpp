// Which file a recovery record is applied to, and how a damaged one is met: no byte is ever
// written into a file the record does not fit, and no half-converted ROM is taken as whole.
#include "core/recovery_record.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include <zlib.h>

#include "core/conversion.h"
#include "core/rom_update.h"
#include "core/tests/scripted_ops.h"
#include "core/tests/test_files.h"

namespace {

namespace fs = std::filesystem;

// 1100 sectors: two blocks of checks in the record, the second one not full.
const std::size_t kRomSize = 1100 * kSectorSize;

// A big-endian ROM whose every 4-byte group differs from its reversal.
Bytes sampleRom() {
    Bytes rom(kRomSize);
    for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<unsigned char>(i * 7 + i / 251 + 3);
    rom[0] = 0x80, rom[1] = 0x37, rom[2] = 0x12, rom[3] = 0x40;
    return rom;
}

// The sample ROM at path after a conversion to little-endian was killed halfway through its
// first write: the record whole beside it, the first half of the ROM in the new order.
struct Stopped {
    Bytes old, mixed, little, record;
};
Stopped stopConversion(const std::string& path) {
    Stopped stopped;
    stopped.old = sampleRom();
    writeFile(path, stopped.old);
    {
        ScriptedOps ops;
        ops.dieOn(Op::Write, 4); // the record's header, its first block, the second with its end; the ROM
        RomUpdate update;
        FileError error;
        EXPECT_TRUE(update.open(path, error));
        EXPECT_FALSE(update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error));
    }
    stopped.mixed = readFile(path);
    stopped.little = stopped.old;
    reverseQuads(stopped.little.data(), stopped.little.size());
    stopped.record = readFile(recoveryRecordPath(path));
    EXPECT_NE(stopped.mixed, stopped.old);
    EXPECT_NE(stopped.mixed, stopped.little);
    return stopped;
}

// Puts bytes in place of the file at path under the same name, as another file (a new
// identity), the way a download or a copy from elsewhere replaces it.
void replaceWithNewFile(const std::string& path, const Bytes& bytes) {
    writeFile(path + ".new", bytes);
    fs::rename(fs::u8path(path + ".new"), fs::u8path(path));
}

// Opens path for update: true when it opened; otherwise error says why.
bool openForUpdate(const std::string& path, FileError& error) {
    RomUpdate update;
    return update.open(path, error);
}

// A file that is not the one stopped, or not as it was, is never written: the open is
// refused, naming the record, and the file and the record stay as they are. Removing the
// record is called safe only where the file is another one.
TEST(RecordTrust, AFileTheRecordDoesNotFitIsNeverWritten) {
    const struct {
        const char* name;
        void (*change)(const std::string& path, Bytes& now);
        const char* said;
        bool safeToRemove;
    } cases[] = {
        {"changed_in_place_far_from_the_write", [](const std::string& path, Bytes& now) {
             now[6 * 65536] ^= 0xFF; // past the half written: the first write would have begun
             writeFile(path, now);
         }, "another program changed the file", false},
        {"replaced_by_a_rom_of_the_same_size", [](const std::string& path, Bytes& now) {
             now[6 * 65536] ^= 0xFF;
             replaceWithNewFile(path, now);
         }, "which was made for another file", true},
        {"replaced_by_a_larger_file_with_the_same_start", [](const std::string& path, Bytes& now) {
             now.resize(now.size() + kRomSize, 0x11);
             replaceWithNewFile(path, now);
         }, "was made for a file of 563200 bytes, and it has 1126400", false},
        {"shortened_in_place", [](const std::string& path, Bytes& now) {
             now.resize(now.size() - kSectorSize);
             writeFile(path, now);
         }, "was made for a file of 563200 bytes, and it has 562688", false},
        {"replaced_by_the_whole_old_image", [](const std::string& path, Bytes& now) {
             now = sampleRom();
             replaceWithNewFile(path, now);
         }, "this one is whole, as it was before that update", true},
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string path = folder.path("game.z64");
        const Stopped stopped = stopConversion(path);
        Bytes now = stopped.mixed;
        c.change(path, now);
        EXPECT_TRUE(pendingUpdate(path).found()) << c.name; // readers never see it as whole
        FileError error;
        EXPECT_FALSE(openForUpdate(path, error)) << c.name;
        EXPECT_EQ(error.step, FileStep::Recovery) << c.name;
        EXPECT_EQ(error.path, recoveryRecordPath(path)) << c.name;
        EXPECT_NE(error.reason.find(c.said), std::string::npos) << c.name << ": " << error.reason;
        EXPECT_EQ(error.reason.find("safe") != std::string::npos, c.safeToRemove) << c.name;
        EXPECT_EQ(readFile(path), now) << c.name;
        EXPECT_EQ(readFile(recoveryRecordPath(path)), stopped.record) << c.name;
        RomUpdate dryRun; // a dry run meets the same refusal
        EXPECT_FALSE(dryRun.open(path, error, OpenPurpose::Check)) << c.name;
    }
}

// The ROM and its record copied together elsewhere (a writable place) is the interrupted
// ROM under another identity: its sectors show it, and the conversion is finished there.
TEST(RecordTrust, ACopyTakenWithItsRecordIsFinished) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    const Stopped stopped = stopConversion(path);
    const std::string copy = folder.path("copy.z64");
    writeFile(copy, stopped.mixed);
    writeFile(recoveryRecordPath(copy), stopped.record);
    FileError error;
    ASSERT_TRUE(openForUpdate(copy, error)) << error.reason;
    EXPECT_EQ(readFile(copy), stopped.little);
    EXPECT_FALSE(fs::exists(fs::u8path(recoveryRecordPath(copy))));
}

// A record is whole only under its own name: one cut short is a temporary that never had
// it, which the next update removes, the ROM untouched.
TEST(RecordTrust, ARecordNeverSealedHasNoNameAndTheRomIsUntouched) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    writeFile(path, sampleRom());
    {
        ScriptedOps ops;
        ops.dieOn(Op::Write, 3); // the record's last block and its end: half of them written
        RomUpdate update;
        FileError error;
        ASSERT_TRUE(update.open(path, error));
        EXPECT_FALSE(update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error));
    }
    EXPECT_FALSE(pendingUpdate(path).found());
    EXPECT_TRUE(fs::exists(fs::u8path(recoveryRecordPath(path) + ".dornavel-tmp")));
    RomUpdate update;
    FileError error;
    ASSERT_TRUE(update.open(path, error)) << error.reason;
    EXPECT_TRUE(update.convert(ByteOrder::BigEndian, ByteOrder::LittleEndian, error)) << error.reason;
    EXPECT_FALSE(fs::exists(fs::u8path(recoveryRecordPath(path) + ".dornavel-tmp"))); // the stale one went
}

// Damage to a sealed record: what has a second copy or needs no check is used; damage to
// the checks refuses the ROM, which stays as it is with its record. Either way the reading
// side never takes the ROM as whole.
TEST(RecordTrust, ADamagedRecordIsUsedAsFarAsItsIntactPartsAllow) {
    const struct {
        const char* name;
        void (*damage)(Bytes& record);
        bool settles;
    } cases[] = {
        {"a_header_byte", [](Bytes& r) { r[17] ^= 0x01; }, true},            // the copy at the end serves
        {"the_header_crc", [](Bytes& r) { r[61] ^= 0x80; }, true},
        {"a_check", [](Bytes& r) { r[64 + 40] ^= 0x01; }, false},            // 512 KiB of sectors untold
        {"a_block_crc", [](Bytes& r) { r[64 + 4096] ^= 0x01; }, false},
        {"the_last_block", [](Bytes& r) { r[r.size() - 72 - 9] ^= 0x01; }, false},
        {"a_trailer_byte", [](Bytes& r) { r[r.size() - 40] ^= 0x01; }, true}, // the front header serves
        {"the_end_cut_off", [](Bytes& r) { r.resize(r.size() - 4); }, true},  // the body is whole
        {"both_headers", [](Bytes& r) { r[17] ^= 0x01, r[r.size() - 72 + 17] ^= 0x01; }, false},
        {"cut_to_its_header", [](Bytes& r) { r.resize(64); }, false},
        {"emptied", [](Bytes& r) { r.clear(); }, false},
    };
    for (const bool touched : {true, false}) {
        for (const auto& c : cases) {
            const std::string name = std::string(c.name) + (touched ? " (ROM half written)" : " (ROM untouched)");
            ScratchFolder folder;
            const std::string path = folder.path("game.z64");
            const Stopped stopped = stopConversion(path);
            const Bytes rom = touched ? stopped.mixed : stopped.old;
            writeFile(path, rom); // in place: the same file
            Bytes record = stopped.record;
            c.damage(record);
            writeFile(recoveryRecordPath(path), record);
            EXPECT_TRUE(pendingUpdate(path).found()) << name;
            FileError error;
            EXPECT_EQ(openForUpdate(path, error), c.settles) << name << ": " << error.reason;
            if (c.settles) {
                EXPECT_EQ(readFile(path), stopped.little) << name;
            } else {
                EXPECT_EQ(readFile(path), rom) << name;
                EXPECT_EQ(readFile(recoveryRecordPath(path)), record) << name;
                EXPECT_NE(error.reason.find(recoveryRecordPath(path)), std::string::npos) << name;
            }
        }
    }
}

// Random damage to the record of a half-written ROM, seeded: every open either finishes
// the conversion whole or refuses and writes nothing; the readers always see a record.
TEST(RecordTrust, NoMutationOfARecordLeavesAMixedRomOrWritesWhereItDoesNotFit) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    const Stopped stopped = stopConversion(path);
    std::mt19937 random(2112);
    for (int round = 0; round < 150; ++round) {
        Bytes record = stopped.record;
        switch (random() % 3) {
        case 0:
            for (unsigned flips = 1 + random() % 3; flips > 0; --flips)
                record[random() % record.size()] ^= static_cast<unsigned char>(1 + random() % 255);
            break;
        case 1: record.resize(random() % record.size()); break;
        default: record.insert(record.end(), 1 + random() % 16, static_cast<unsigned char>(random())); break;
        }
        writeFile(path, stopped.mixed);
        writeFile(recoveryRecordPath(path), record);
        ASSERT_TRUE(pendingUpdate(path).found()) << round;
        FileError error;
        if (openForUpdate(path, error)) {
            ASSERT_EQ(readFile(path), stopped.little) << round;
        } else {
            ASSERT_EQ(readFile(path), stopped.mixed) << round << ": " << error.reason;
            ASSERT_EQ(readFile(recoveryRecordPath(path)), record) << round;
        }
    }
}

// A replacement record (a fix's check codes) is applied only over its old or new bytes,
// or a mix of the two: another ROM put in its place is never written.
TEST(RecordTrust, AReplacementIsWrittenOnlyOverItsOwnBytes) {
    const Bytes rom = {0x80, 0x37, 0x12, 0x40, 0xAA, 0xBB, 0xCC, 0xDD, 0x11, 0x22, 0x33, 0x44};
    const Bytes codes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    const Bytes fixed = {0x80, 0x37, 0x12, 0x40, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    const struct {
        const char* name;
        Bytes there; // the file when the next update opens it
        bool settles;
    } cases[] = {
        {"old_bytes", rom, true},
        {"new_bytes", fixed, true},
        {"half_written", {0x80, 0x37, 0x12, 0x40, 0x01, 0x02, 0x03, 0x04, 0x11, 0x22, 0x33, 0x44}, true},
        {"another_rom", {0x37, 0x80, 0x40, 0x12, 0xBB, 0xAA, 0xDD, 0xCC, 0x22, 0x11, 0x44, 0x33}, false},
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string path = folder.path("game.z64");
        writeFile(path, rom);
        {
            ScriptedOps ops;
            ops.dieOn(Op::Write, 4); // the record's header, its bytes, its end; then the ROM
            RomUpdate update;
            FileError error;
            ASSERT_TRUE(update.open(path, error));
            EXPECT_FALSE(update.replace(4, codes.data(), codes.size(), error));
        }
        writeFile(path, c.there);
        FileError error;
        EXPECT_EQ(openForUpdate(path, error), c.settles) << c.name << ": " << error.reason;
        EXPECT_EQ(readFile(path), c.settles ? fixed : c.there) << c.name;
    }
}

// A record of the earlier layout (version 1: a 40-byte header under its CRC, the old and new
// bytes, a CRC of everything) is still applied when whole; one whose length belies its count
// is damaged, and nothing is written.
TEST(RecordTrust, ARecordOfTheEarlierLayoutIsReadWhenWhole) {
    const Bytes rom = {0x80, 0x37, 0x12, 0x40, 0xAA, 0xBB, 0xCC, 0xDD, 0x11, 0x22, 0x33, 0x44};
    const auto put32 = [](Bytes& b, std::size_t at, std::uint32_t x) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(x >> (8 * i));
    };
    for (const std::size_t extra : {0, 2}) { // 2: two bytes more than its count makes it
        Bytes record = {'D', 'O', 'R', 'N', 'A', 'V', 'E', 'L', 1, 0, 0, 0, 2, 0, 0, 0, // version 1, bytes
                        12, 0, 0, 0, 0, 0, 0, 0,                                      // ROM size
                        4, 0, 0, 0, 0, 0, 0, 0,                                       // offset
                        4, 0, 0, 0, 0, 0, 0, 0};                                      // count, header CRC
        put32(record, 36, static_cast<std::uint32_t>(crc32(0, record.data(), 36)));
        const Bytes body = {0xAA, 0xBB, 0xCC, 0xDD, 0x01, 0x02, 0x03, 0x04}; // old, then new
        record.insert(record.end(), body.begin(), body.end());
        record.insert(record.end(), extra + 4, 0);
        put32(record, record.size() - 4, static_cast<std::uint32_t>(crc32(0, record.data(), record.size() - 4)));
        ScratchFolder folder;
        const std::string path = folder.path("game.z64");
        writeFile(path, rom);
        writeFile(recoveryRecordPath(path), record);
        EXPECT_EQ(pendingUpdate(path).state, extra == 0 ? RecordState::Interrupted : RecordState::Damaged) << extra;
        FileError error;
        EXPECT_EQ(openForUpdate(path, error), extra == 0) << extra << ": " << error.reason;
        const Bytes fixed = {0x80, 0x37, 0x12, 0x40, 0x01, 0x02, 0x03, 0x04, 0x11, 0x22, 0x33, 0x44};
        EXPECT_EQ(readFile(path), extra == 0 ? fixed : rom) << extra;
    }
}

// A conversion record of version 2 holds the earlier check of each sector: a ROM stopped
// under one is still brought to the new order, whether none, some or all of it was written;
// taken for a check of today, its sector would fit neither order and nothing would be done.
TEST(RecordTrust, AConversionRecordOfVersion2IsFinished) {
    const auto put32 = [](Bytes& b, std::size_t at, std::uint32_t x) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(x >> (8 * i));
    };
    Bytes header = {'D', 'O', 'R', 'N', 'A', 'V', 'E', 'L', 2, 0, 0, 0, 1, 0, 0, 0, // version 2, conversion
                    8, 0, 0, 0, 0, 0, 0, 0,                                      // ROM size
                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,              // identity not known
                    0x52, 0x08, 0, 0, 0x53, 0x08, 0, 0,                          // big (2130) to little (2131)
                    0, 2, 0, 0, 0, 4, 0, 0,                                      // 512-byte sectors, 1024 a block
                    0, 0, 0, 0, 0, 0, 0, 0};                                     // unused, header CRC
    put32(header, 60, static_cast<std::uint32_t>(crc32(0, header.data(), 60)));
    Bytes record = header;
    Bytes block = {0xA7, 0x93, 0x9A, 0xC0, 0, 0, 0, 0}; // the earlier check of the old bytes, its CRC
    put32(block, 4, static_cast<std::uint32_t>(crc32(0, block.data(), 4)));
    record.insert(record.end(), block.begin(), block.end());
    record.insert(record.end(), header.begin(), header.end());
    for (const char c : std::string("DORNSEAL")) record.push_back(static_cast<unsigned char>(c));
    const Bytes little = {0x40, 0x12, 0x37, 0x80, 0x4C, 0x14, 0x00, 0x00};
    const Bytes states[] = {
        {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x14, 0x4C}, // not begun
        {0x40, 0x12, 0x37, 0x80, 0x00, 0x00, 0x14, 0x4C}, // torn after the first group
        little,                                           // written, record not yet removed
    };
    for (const Bytes& there : states) {
        ScratchFolder folder;
        const std::string path = folder.path("game.z64");
        writeFile(path, there);
        writeFile(recoveryRecordPath(path), record);
        FileError error;
        EXPECT_TRUE(openForUpdate(path, error)) << error.reason;
        EXPECT_EQ(readFile(path), little);
        EXPECT_FALSE(fs::exists(fs::u8path(recoveryRecordPath(path))));
    }
}

#ifndef _WIN32
// Any name leads to the record: through a symbolic link it is the one beside the file the
// link leads to. A file with several names is not written in place.
TEST(RecordTrust, LinksLeadToTheRecordOfTheFileItself) {
    ScratchFolder folder;
    const std::string path = folder.path("a.v64");
    const Stopped stopped = stopConversion(path);
    const std::string link = folder.path("c.v64");
    fs::create_symlink("a.v64", fs::u8path(link));
    const PendingUpdate pending = pendingUpdate(link);
    EXPECT_EQ(pending.state, RecordState::Interrupted);
    EXPECT_EQ(pending.recordPath, recoveryRecordPath(path));
    FileError error;
    ASSERT_TRUE(openForUpdate(link, error)) << error.reason;
    EXPECT_EQ(readFile(path), stopped.little);

    const std::string hard = folder.path("b.v64");
    fs::create_hard_link(fs::u8path(path), fs::u8path(hard));
    EXPECT_FALSE(openForUpdate(hard, error));
    EXPECT_EQ(error.step, FileStep::Links);
    EXPECT_NE(error.reason.find("2 names"), std::string::npos) << error.reason;
    EXPECT_FALSE(fs::exists(fs::u8path(recoveryRecordPath(hard))));
}
#endif

// A record that is not a file cannot be read: readers and writers say so, naming it.
TEST(RecordTrust, ARecordThatIsNoFileIsToldByName) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    writeFile(path, sampleRom());
    fs::create_directory(fs::u8path(recoveryRecordPath(path)));
    const PendingUpdate pending = pendingUpdate(path);
    EXPECT_EQ(pending.state, RecordState::Unreadable);
    EXPECT_EQ(pending.problem, "its recovery record " + recoveryRecordPath(path) + " cannot be read: " +
                                   kNotRegularFileText);
    FileError error;
    EXPECT_FALSE(openForUpdate(path, error));
    EXPECT_EQ(error.path, recoveryRecordPath(path));
    EXPECT_EQ(readFile(path), sampleRom());
}

} // namespace
