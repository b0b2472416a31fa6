// The recovery record: a small file written beside a ROM, and made durable, before the first
// byte of the ROM changes, and removed once the ROM is whole on the disk again. Whatever stops
// an update in between (a signal, a kill, a crash, a power cut, a removed stick), the record
// lets the next update bring the ROM back to one whole state.
//
// For a conversion it holds the orders from and to and a check of each 512-byte sector of
// the old image (core/sector_check.h): a sector is in the old order when its check matches, in the new one when the
// check matches after converting it back, and torn between the two when the check matches a
// new start followed by an old end (or the other way round). For a replacement of a few bytes
// (the check codes of a header) it holds their offset, the old bytes and the new ones.
//
// The record names the file it was made for: its exact size and its identity (device and
// file number; volume serial and file index on Windows). It is written under a temporary
// name and given its own only when whole and durable, so a record under its own name was
// always sealed: one cut short or changed since was damaged, and is never taken for an
// update that did not begin. Damage stays local: the header has its own CRC and a copy at the
// end, the sector checks go in blocks of 1024 with a CRC each, the replaced bytes have theirs.
//
// Layout (numbers little-endian): a 64-byte header ("DORNAVEL", version 3, kind (1
// conversion, 2 bytes), ROM size (8), device (8), file (8), then for a conversion the orders
// from and to, the sector size and the checks per block, for bytes their offset (8) and
// count; a CRC-32 of the header's first 60 bytes); the body (the blocks of sector checks,
// each followed by its CRC-32; or the old bytes, the new ones and their CRC-32); the header
// again, and "DORNSEAL". Version 2 is the same layout with the earlier check of a sector,
// and is still read; so is a whole record of version 1 (the earliest layout).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/file_ops.h"
#include "core/new_file.h"
#include "core/sector_check.h"

// The most bytes a replacement record holds: the two check codes of a header.
constexpr std::size_t kLargestReplacement = 8;

// The name of the recovery record of the ROM at path: beside the file the name leads to
// (through symbolic links), with ".dornavel-recovery" appended.
std::string recoveryRecordPath(const std::string& romPath);

// What a record says, once read back.
struct RecordContents {
    bool conversion = true;              // of the byte order; false: a replacement of bytes
    std::int64_t romSize = 0;            // of the ROM when the update began
    std::uint64_t device = 0;            // the ROM's identity (both 0: not known)
    std::uint64_t file = 0;
    ByteOrder from = ByteOrder::None;    // conversion: the old order
    ByteOrder to = ByteOrder::None;      // conversion: the new order
    std::int64_t offset = 0;             // bytes: where they start
    std::vector<unsigned char> oldBytes; // bytes: what was there
    std::vector<unsigned char> newBytes; // bytes: what is to be there
    SectorCheckKind checkKind = SectorCheckKind::Crc32c; // conversion: how its checks were made
};

// What a record beside a ROM is to it.
enum class RecordState {
    None,        // no record: the ROM is whole
    Interrupted, // a record of an update of this ROM that was stopped: it may be half updated
    OtherFile,   // a record made for a file of another size: never applied to this one
    Damaged,     // a record whose header or replaced bytes cannot be trusted
    Unreadable   // a record that cannot be opened or read
};

// What the reading commands may know of a ROM without writing anything.
struct PendingUpdate {
    RecordState state = RecordState::None;
    std::string recordPath; // where the record is
    std::string problem;    // OtherFile, Damaged, Unreadable: what was found, naming the record
    RecordContents contents;
    // Whether a record is beside the ROM: its bytes cannot be taken as in one order.
    bool found() const { return state != RecordState::None; }
};

// Looks at the record beside the ROM at path, and at the ROM's size; never writes.
PendingUpdate pendingUpdate(const std::string& romPath);

// A record being written, then read back for a restore, then removed: one update's record.
class RecoveryRecord {
public:
    RecoveryRecord() = default;
    ~RecoveryRecord();
    RecoveryRecord(const RecoveryRecord&) = delete;
    RecoveryRecord& operator=(const RecoveryRecord&) = delete;

    // Starts the record of a conversion of the ROM at romPath (of identity rom): its
    // header, for the checks of the old image that follow.
    bool beginConversion(const std::string& romPath, const FileIdentity& rom, ByteOrder from, ByteOrder to,
                         std::int64_t romSize, std::string& reason);
    // Adds the checks of the next sectors of the old image (size is a whole number of sectors
    // but at the end of the ROM).
    bool addSectors(const unsigned char* bytes, std::size_t size, std::string& reason);
    // Adds count checks of the next sectors, computed already (by sectorChecks).
    bool addChecks(const std::uint32_t* checks, std::size_t count, std::string& reason);
    // Writes a whole record of a replacement of count bytes (kLargestReplacement at most).
    bool writeReplacement(const std::string& romPath, const FileIdentity& rom, std::int64_t romSize,
                          std::int64_t offset, const unsigned char* oldBytes, const unsigned char* newBytes,
                          std::size_t count, std::string& reason);
    // Ends the record, makes it durable and gives it its name: from here on the ROM may change.
    bool seal(std::string& reason);
    // Reads the checks of count sectors from sector first on (conversion records only);
    // valid[i] tells whether check i could be trusted (its block whole, and present).
    bool checks(std::size_t first, std::size_t count, std::uint32_t* out, bool* valid, std::string& reason);
    // Removes a record this one began and could not finish; one it did not create is left.
    void abandon();
    // Removes the record: the update is over. With durable, the removal is made durable at
    // once; without, the system writes it in its own time (a record that comes back after a
    // power cut only makes the next update find every sector already in the new order).
    bool remove(std::string& reason, bool durable = true);
    const std::string& path() const { return path_; }

    // Opens the record found beside the ROM at romPath and reads what it says. None when
    // there is none; Interrupted when it could be read (its size and identity are the
    // caller's to compare); Damaged or Unreadable with problem saying why, naming it.
    RecordState openFound(const std::string& romPath, RecordContents& contents, std::string& problem);

private:
    // Appends bytes to the record being written.
    bool append(const unsigned char* bytes, std::size_t size, std::string& reason);
    // Puts the block of checks gathered so far, with its CRC, among the bytes waiting.
    void closeBlock();
    void gather(const std::uint32_t* checks, std::size_t count);
    bool writeWaiting(std::string& reason);
    // Starts the record's file beside the ROM, under its temporary name.
    bool create(const std::string& romPath, std::string& reason);
    // Reads the header of an opened record: Interrupted, or why no copy can be trusted.
    RecordState readHeader(RecordContents& contents, std::string& problem);
    // Reads the body of a replacement record.
    bool readReplacement(RecordContents& contents, std::string& problem);

    NewFile writing_;             // the record being written, under its temporary name
    FileHandle file_ = kNoFile;   // the record opened for reading
    std::string path_;
    std::int64_t length_ = 0;     // bytes written so far, or the length of the record read
    unsigned char header_[64] = {};
    std::vector<unsigned char> block_;   // the checks of the block being gathered
    std::vector<unsigned char> waiting_; // whole blocks not yet written
    std::int64_t romSize_ = 0;    // of the ROM, as the record read says
    int version_ = 3;             // of the record read
    bool created_ = false;        // this record's file was created here
    bool sealed_ = false;         // and given its name
};
