// The recovery record: a small file written beside a ROM, and made durable, before the first
// byte of the ROM changes, and removed once the ROM is whole on the disk again. Whatever stops
// an update in between (a signal, a kill, a crash, a power cut, a removed stick), the record
// lets the next update bring the ROM back to one whole state.
//
// For a conversion it holds the orders from and to, the ROM's size and a check of each
// 512-byte sector of the old image: a sector is in the old order when its check matches, in
// the new one when the check matches after converting it back, and torn between the two when
// the check matches a new start followed by an old end (or the other way round). For a
// replacement of a few bytes it holds their offset, the old bytes and the new ones.
//
// Layout (numbers little-endian): "DORNAVEL", version 1, kind (1 conversion, 2 bytes), ROM
// size (8 bytes), then for a conversion the orders from and to and the sector size, for
// bytes their offset (8 bytes) and count; a CRC-32 of the header so far; the body (the
// sector checks, or the old bytes then the new ones); and a CRC-32 of everything before it.
// Only a record whose header and body are whole is trusted: one cut short was never finished,
// so the ROM was never touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/file_ops.h"

// The bytes of the ROM each check covers.
constexpr std::size_t kSectorSize = 512;

// The name of the recovery record of the ROM at path: path with ".dornavel-recovery" appended.
std::string recoveryRecordPath(const std::string& romPath);

// The check of one sector of an image (at most kSectorSize bytes).
std::uint32_t sectorCheck(const unsigned char* bytes, std::size_t size);

// What a record says, once read back whole.
struct RecordContents {
    bool conversion = true;              // of the byte order; false: a replacement of bytes
    std::int64_t romSize = 0;            // of the ROM when the update began
    ByteOrder from = ByteOrder::None;    // conversion: the old order
    ByteOrder to = ByteOrder::None;      // conversion: the new order
    std::int64_t offset = 0;             // bytes: where they start
    std::vector<unsigned char> oldBytes; // bytes: what was there
    std::vector<unsigned char> newBytes; // bytes: what is to be there
};

// What the reading commands may know of a ROM without writing anything.
struct PendingUpdate {
    bool found = false;   // a whole record is beside the ROM: it may be half updated
    RecordContents contents;
};

// Looks for a whole record beside the ROM at path; never writes.
PendingUpdate pendingUpdate(const std::string& romPath);

// A record being written, then read back for a restore, then removed: one update's record.
class RecoveryRecord {
public:
    RecoveryRecord() = default;
    ~RecoveryRecord();
    RecoveryRecord(const RecoveryRecord&) = delete;
    RecoveryRecord& operator=(const RecoveryRecord&) = delete;

    // Starts the record of a conversion of the ROM at romPath: its header, for the checks of
    // the old image that follow.
    bool beginConversion(const std::string& romPath, ByteOrder from, ByteOrder to, std::int64_t romSize,
                         std::string& reason);
    // Adds the checks of the next sectors of the old image (size is a whole number of sectors
    // but at the end of the ROM).
    bool addSectors(const unsigned char* bytes, std::size_t size, std::string& reason);
    // Writes a whole record of a replacement of count bytes at offset.
    bool writeReplacement(const std::string& romPath, std::int64_t romSize, std::int64_t offset,
                          const unsigned char* oldBytes, const unsigned char* newBytes, std::size_t count,
                          std::string& reason);
    // Ends the record and makes it durable with its name: from here on the ROM may change.
    bool seal(std::string& reason);
    // Reads the checks of count sectors from sector first on (conversion records only).
    bool checks(std::size_t first, std::size_t count, std::uint32_t* out, std::string& reason);
    // Removes a record this one began and could not finish; one it did not create is left.
    void abandon();
    // Removes the record: the update is over. With durable, the removal is made durable at
    // once; without, the system writes it in its own time (a record that comes back after a
    // power cut only makes the next update find every sector already in the new order).
    bool remove(std::string& reason, bool durable = true);
    const std::string& path() const { return path_; }

    // Opens the record found beside the ROM at romPath, for its recovery. False with reason
    // empty when there is none; false with reason set when it cannot be read. A record that
    // is not whole is opened too: contents tells nothing then, and whole() is false.
    bool openFound(const std::string& romPath, RecordContents& contents, std::string& reason);
    bool whole() const { return whole_; }

private:
    // Appends bytes to the record, keeping the CRC of all of it.
    bool append(const unsigned char* bytes, std::size_t size, std::string& reason);
    // Creates the record's file beside the ROM.
    bool create(const std::string& romPath, std::string& reason);

    FileHandle file_ = kNoFile;
    std::string path_;
    std::int64_t length_ = 0;    // bytes written so far
    std::uint32_t crc_ = 0;      // of those bytes
    std::int64_t checksAt_ = 0;  // where the sector checks start
    std::vector<unsigned char> checkBytes_; // the checks of the sectors being added
    bool whole_ = false;
    bool created_ = false; // this record's file was created here
};
