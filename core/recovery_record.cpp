#include "core/recovery_record.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

#include "core/file_system.h"

namespace {

const unsigned char kMagic[8] = {'D', 'O', 'R', 'N', 'A', 'V', 'E', 'L'};
const unsigned char kSealMagic[8] = {'D', 'O', 'R', 'N', 'S', 'E', 'A', 'L'};
const std::uint32_t kVersion = 3;          // written; 2 is still read
const std::uint32_t kConversionKind = 1;
const std::uint32_t kBytesKind = 2;
const std::size_t kHeaderSize = 64;            // up to and with the header's own CRC
const std::size_t kSealSize = kHeaderSize + 8; // the header's copy and the seal's magic
const std::size_t kChecksPerBlock = 1024;      // sector checks under one CRC: 512 KiB of ROM
const std::size_t kBlockBytes = kChecksPerBlock * 4 + 4;
const std::size_t kOldHeaderSize = 40;         // of a version 1 record

// The 8 bytes at p as a little-endian number.
std::uint64_t load64(const unsigned char* p) {
    std::uint64_t x = 0;
    for (int i = 7; i >= 0; --i) x = (x << 8) | p[i];
    return x;
}

void put32(unsigned char* p, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(x >> (8 * i));
}

void put64(unsigned char* p, std::uint64_t x) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(x >> (8 * i));
}

std::uint32_t get32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint32_t crcOf(std::uint32_t crc, const unsigned char* bytes, std::size_t size) {
    return static_cast<std::uint32_t>(crc32(crc, bytes, static_cast<uInt>(size)));
}

// The order a record names, or None for a number that is no order.
ByteOrder orderOfNumber(std::uint32_t number) {
    const ByteOrder orders[] = {ByteOrder::BigEndian, ByteOrder::LittleEndian, ByteOrder::DoctorV64};
    for (ByteOrder order : orders)
        if (static_cast<std::uint32_t>(order) == number) return order;
    return ByteOrder::None;
}

// The number of sectors of a ROM of size bytes.
std::size_t sectorsOf(std::int64_t size) {
    return static_cast<std::size_t>((size + static_cast<std::int64_t>(kSectorSize) - 1) /
                                    static_cast<std::int64_t>(kSectorSize));
}

// Where the check of sector lies in a record of version 2 or 3.
std::int64_t checkAt(std::size_t sector) {
    return static_cast<std::int64_t>(kHeaderSize + sector / kChecksPerBlock * kBlockBytes +
                                     sector % kChecksPerBlock * 4);
}

// The header: magic, version, kind, the ROM's size and identity, and a, b, c, d of the kind.
void fillHeader(unsigned char* header, std::uint32_t kind, std::int64_t romSize, const FileIdentity& rom,
                std::uint64_t a, std::uint32_t c, std::uint32_t d) {
    std::memset(header, 0, kHeaderSize);
    std::memcpy(header, kMagic, sizeof kMagic);
    put32(header + 8, kVersion);
    put32(header + 12, kind);
    put64(header + 16, static_cast<std::uint64_t>(romSize));
    put64(header + 24, rom.device);
    put64(header + 32, rom.file);
    put64(header + 40, a);
    put32(header + 48, c);
    put32(header + 52, d);
    put32(header + 60, crcOf(0, header, 60));
}

// Reads what a header of version 2 or 3 says into contents; false when it is no whole header
// of ours.
bool parseHeader(const unsigned char* header, RecordContents& contents) {
    const std::uint32_t version = get32(header + 8);
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0 || (version != 2 && version != kVersion)) return false;
    contents.checkKind = version == kVersion ? SectorCheckKind::Crc32c : SectorCheckKind::Mixed;
    if (get32(header + 60) != crcOf(0, header, 60)) return false;
    if (load64(header + 16) > static_cast<std::uint64_t>(kMaxRomSize)) return false;
    contents.romSize = static_cast<std::int64_t>(load64(header + 16));
    contents.device = load64(header + 24);
    contents.file = load64(header + 32);
    const std::uint32_t kind = get32(header + 12);
    if (kind == kConversionKind) {
        contents.conversion = true;
        contents.from = orderOfNumber(get32(header + 40));
        contents.to = orderOfNumber(get32(header + 44));
        return contents.from != ByteOrder::None && contents.to != ByteOrder::None &&
               get32(header + 48) == kSectorSize && get32(header + 52) == kChecksPerBlock;
    }
    const std::uint64_t offset = load64(header + 40);
    const std::uint32_t count = get32(header + 48);
    contents.conversion = false;
    contents.offset = static_cast<std::int64_t>(offset);
    contents.oldBytes.assign(count <= kLargestReplacement ? count : 0, 0);
    contents.newBytes = contents.oldBytes;
    return kind == kBytesKind && count > 0 && count <= kLargestReplacement &&
           offset <= static_cast<std::uint64_t>(contents.romSize) - count;
}

// Reads a whole record of version 1: the earlier layout, a conversion or bytes, under one
// CRC at its end. False when it is not whole.
bool parseOldRecord(FileHandle file, std::int64_t length, RecordContents& contents) {
    FileOps& ops = fileOps();
    std::string reason;
    std::vector<unsigned char> all(static_cast<std::size_t>(length));
    if (length < 44 || length > (std::int64_t(64) << 20) || !ops.read(file, all.data(), all.size(), 0, reason) ||
        get32(&all[36]) != crcOf(0, all.data(), 36) || get32(&all[all.size() - 4]) != crcOf(0, all.data(), all.size() - 4))
        return false;
    const unsigned char* h = all.data();
    contents.checkKind = SectorCheckKind::Mixed;
    contents.romSize = static_cast<std::int64_t>(load64(h + 16));
    if (get32(h + 12) == kConversionKind) {
        contents.from = orderOfNumber(get32(h + 24));
        contents.to = orderOfNumber(get32(h + 28));
        return contents.romSize >= 0 && contents.romSize <= kMaxRomSize && contents.from != ByteOrder::None &&
               contents.to != ByteOrder::None && get32(h + 32) == kSectorSize &&
               length == static_cast<std::int64_t>(kOldHeaderSize + 4 * sectorsOf(contents.romSize) + 4);
    }
    const std::uint32_t count = get32(h + 32);
    contents.conversion = false;
    contents.offset = static_cast<std::int64_t>(load64(h + 24));
    if (get32(h + 12) != kBytesKind || count == 0 || count > kLargestReplacement ||
        length != static_cast<std::int64_t>(kOldHeaderSize + 2 * count + 4) || contents.offset < 0 ||
        contents.offset + count > contents.romSize)
        return false;
    contents.oldBytes.assign(h + kOldHeaderSize, h + kOldHeaderSize + count);
    contents.newBytes.assign(h + kOldHeaderSize + count, h + kOldHeaderSize + 2 * count);
    return true;
}

} // namespace

std::string recoveryRecordPath(const std::string& romPath) {
    return pathLinksLeadTo(romPath) + ".dornavel-recovery";
}

// A record made for a ROM of another size is told apart here; whether one of the same size
// is this very file is for the update to find out, by looking at every sector.
PendingUpdate pendingUpdate(const std::string& romPath) {
    PendingUpdate pending;
    RecoveryRecord record;
    pending.state = record.openFound(romPath, pending.contents, pending.problem);
    pending.recordPath = record.path();
    if (pending.state != RecordState::Interrupted) return pending;
    FileOps& ops = fileOps();
    std::string reason;
    const FileHandle rom = ops.open(romPath, OpenMode::Read, reason);
    const std::int64_t size = rom == kNoFile ? -1 : ops.size(rom, reason);
    if (rom != kNoFile) ops.close(rom, reason);
    if (size >= 0 && size != pending.contents.romSize) {
        pending.state = RecordState::OtherFile;
        pending.problem = "the recovery record " + pending.recordPath + " beside it was made for a file of " +
                          std::to_string(pending.contents.romSize) + " bytes, and it has " + std::to_string(size);
    }
    return pending;
}

RecoveryRecord::~RecoveryRecord() {
    std::string ignored; // a record given up on is left for the next run to deal with
    if (file_ != kNoFile) fileOps().close(file_, ignored);
}

bool RecoveryRecord::create(const std::string& romPath, std::string& reason) {
    path_ = recoveryRecordPath(romPath);
    length_ = 0;
    block_.clear();
    waiting_.clear();
    sealed_ = false;
    created_ = writing_.create(path_, reason);
    return created_;
}

bool RecoveryRecord::append(const unsigned char* bytes, std::size_t size, std::string& reason) {
    if (!writing_.write(bytes, size, length_, reason)) return false;
    length_ += static_cast<std::int64_t>(size);
    return true;
}

bool RecoveryRecord::beginConversion(const std::string& romPath, const FileIdentity& rom, ByteOrder from,
                                     ByteOrder to, std::int64_t romSize, std::string& reason) {
    if (!create(romPath, reason)) return false;
    romSize_ = romSize;
    version_ = static_cast<int>(kVersion);
    fillHeader(header_, kConversionKind, romSize, rom, static_cast<std::uint32_t>(from) |
               std::uint64_t(static_cast<std::uint32_t>(to)) << 32, kSectorSize, kChecksPerBlock);
    return append(header_, kHeaderSize, reason);
}

// A full block goes into the bytes waiting to be written, with its CRC.
void RecoveryRecord::closeBlock() {
    if (block_.empty()) return;
    unsigned char crc[4];
    put32(crc, crcOf(0, block_.data(), block_.size()));
    waiting_.insert(waiting_.end(), block_.begin(), block_.end());
    waiting_.insert(waiting_.end(), crc, crc + 4);
    block_.clear();
}

// The checks of one call go out in one write, a block under its own CRC; the last block,
// not full, goes out with the record's end. They are computed up to a block's worth at a time.
bool RecoveryRecord::addSectors(const unsigned char* bytes, std::size_t size, std::string& reason) {
    std::uint32_t checks[kChecksPerBlock];
    for (std::size_t done = 0; done < size;) {
        const std::size_t piece = std::min(size - done, kChecksPerBlock * kSectorSize);
        sectorChecks(bytes + done, piece, checks);
        gather(checks, (piece + kSectorSize - 1) / kSectorSize);
        done += piece;
    }
    return writeWaiting(reason);
}

bool RecoveryRecord::addChecks(const std::uint32_t* checks, std::size_t count, std::string& reason) {
    for (std::size_t done = 0; done < count; done += kChecksPerBlock)
        gather(checks + done, std::min(count - done, kChecksPerBlock));
    return writeWaiting(reason);
}

// Puts count checks after the ones gathered so far, closing each block as it fills.
void RecoveryRecord::gather(const std::uint32_t* checks, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        unsigned char check[4];
        put32(check, checks[i]);
        block_.insert(block_.end(), check, check + 4);
        if (block_.size() == 4 * kChecksPerBlock) closeBlock();
    }
}

// Writes the closed blocks waiting, in one write.
bool RecoveryRecord::writeWaiting(std::string& reason) {
    const bool written = waiting_.empty() || append(waiting_.data(), waiting_.size(), reason);
    waiting_.clear();
    return written;
}

bool RecoveryRecord::writeReplacement(const std::string& romPath, const FileIdentity& rom, std::int64_t romSize,
                                      std::int64_t offset, const unsigned char* oldBytes,
                                      const unsigned char* newBytes, std::size_t count, std::string& reason) {
    if (count == 0 || count > kLargestReplacement) return reason = "too many bytes for one replacement", false;
    if (!create(romPath, reason)) return false;
    fillHeader(header_, kBytesKind, romSize, rom, static_cast<std::uint64_t>(offset), static_cast<std::uint32_t>(count), 0);
    std::vector<unsigned char> body(oldBytes, oldBytes + count);
    body.insert(body.end(), newBytes, newBytes + count);
    unsigned char crc[4];
    put32(crc, crcOf(0, body.data(), body.size()));
    body.insert(body.end(), crc, crc + 4);
    return append(header_, kHeaderSize, reason) && append(body.data(), body.size(), reason);
}

// Only now does the record get its name: a record under its name is always a whole one.
bool RecoveryRecord::seal(std::string& reason) {
    closeBlock();
    waiting_.insert(waiting_.end(), header_, header_ + kHeaderSize);
    waiting_.insert(waiting_.end(), kSealMagic, kSealMagic + sizeof kSealMagic);
    sealed_ = append(waiting_.data(), waiting_.size(), reason) && writing_.commit(false, reason);
    waiting_.clear();
    return sealed_;
}

// The blocks are read whole, so that each check is trusted only under its block's CRC.
bool RecoveryRecord::checks(std::size_t first, std::size_t count, std::uint32_t* out, bool* valid,
                            std::string& reason) {
    FileOps& ops = fileOps();
    if (file_ == kNoFile && (file_ = ops.open(path_, OpenMode::Read, reason)) == kNoFile) return false;
    std::vector<unsigned char> block(kBlockBytes);
    for (std::size_t done = 0; done < count;) {
        const std::size_t sector = first + done;
        std::size_t inBlock = kChecksPerBlock - sector % kChecksPerBlock;
        if (inBlock > count - done) inBlock = count - done;
        if (version_ == 1) {
            for (std::size_t i = 0; i < inBlock; ++i) valid[done + i] = true;
            if (!ops.read(file_, block.data(), 4 * inBlock, kOldHeaderSize + 4 * static_cast<std::int64_t>(sector), reason))
                return false;
            for (std::size_t i = 0; i < inBlock; ++i) out[done + i] = get32(&block[4 * i]);
        } else {
            const std::size_t blockFirst = sector / kChecksPerBlock * kChecksPerBlock;
            const std::int64_t at = checkAt(blockFirst);
            const std::int64_t romSectors = static_cast<std::int64_t>(sectorsOf(romSize_));
            const std::size_t held = static_cast<std::size_t>(
                std::min<std::int64_t>(kChecksPerBlock, romSectors - static_cast<std::int64_t>(blockFirst)));
            const std::size_t bytes = 4 * held + 4;
            const bool present = at + static_cast<std::int64_t>(bytes) <= length_;
            if (present && !ops.read(file_, block.data(), bytes, at, reason)) return false;
            const bool whole = present && get32(&block[4 * held]) == crcOf(0, block.data(), 4 * held);
            for (std::size_t i = 0; i < inBlock; ++i) {
                valid[done + i] = whole;
                out[done + i] = whole ? get32(&block[4 * (sector - blockFirst + i)]) : 0;
            }
        }
        done += inBlock;
    }
    return true;
}

bool RecoveryRecord::remove(std::string& reason, bool durable) {
    FileOps& ops = fileOps();
    std::string ignored; // only read or already synced: its close loses nothing
    if (file_ != kNoFile) ops.close(file_, ignored);
    file_ = kNoFile;
    if (!ops.remove(path_, reason)) return false;
    if (durable) ops.syncFolderOf(path_);
    return true;
}

// A record not yet sealed goes with its temporary name; a sealed one is removed.
void RecoveryRecord::abandon() {
    std::string ignored; // the failure that made us give up is the one worth telling
    if (created_ && sealed_) remove(ignored);
    writing_.discard();
    created_ = sealed_ = false;
}

// The header is taken from the front, or from its copy at the end when the front one is
// damaged: one damaged copy leaves the other. A read that fails is no damage: it is told.
RecordState RecoveryRecord::readHeader(RecordContents& contents, std::string& problem) {
    FileOps& ops = fileOps();
    std::string reason;
    const std::int64_t front = std::min<std::int64_t>(length_, kHeaderSize);
    if (!ops.read(file_, header_, static_cast<std::size_t>(front), 0, reason))
        return problem = "its recovery record " + path_ + " cannot be read: " + reason, RecordState::Unreadable;
    if (front == static_cast<std::int64_t>(kHeaderSize) && parseHeader(header_, contents)) return RecordState::Interrupted;
    contents = RecordContents();
    unsigned char seal[kSealSize];
    if (length_ >= static_cast<std::int64_t>(kSealSize)) {
        if (!ops.read(file_, seal, kSealSize, length_ - static_cast<std::int64_t>(kSealSize), reason))
            return problem = "its recovery record " + path_ + " cannot be read: " + reason, RecordState::Unreadable;
        if (std::memcmp(seal + kHeaderSize, kSealMagic, sizeof kSealMagic) == 0 && parseHeader(seal, contents)) {
            std::memcpy(header_, seal, kHeaderSize);
            return RecordState::Interrupted;
        }
    }
    contents = RecordContents();
    problem = "its recovery record " + path_ + " is damaged: neither copy of its header can be read";
    return RecordState::Damaged;
}

// The old and new bytes must come whole under their CRC: they are what gets written.
bool RecoveryRecord::readReplacement(RecordContents& contents, std::string& problem) {
    const std::size_t count = contents.oldBytes.size();
    std::vector<unsigned char> body(2 * count + 4);
    std::string reason;
    if (!fileOps().read(file_, body.data(), body.size(), kHeaderSize, reason) ||
        get32(&body[2 * count]) != crcOf(0, body.data(), 2 * count)) {
        problem = "its recovery record " + path_ + " is damaged: the bytes it was to write cannot be read whole" +
                  (reason.empty() ? std::string() : " (" + reason + ")");
        return false;
    }
    contents.oldBytes.assign(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(count));
    contents.newBytes.assign(body.begin() + static_cast<std::ptrdiff_t>(count), body.begin() + static_cast<std::ptrdiff_t>(2 * count));
    return true;
}

RecordState RecoveryRecord::openFound(const std::string& romPath, RecordContents& contents, std::string& problem) {
    FileOps& ops = fileOps();
    path_ = recoveryRecordPath(romPath);
    contents = RecordContents();
    problem.clear();
    const FileIdentity there = ops.identify(path_, false);
    if (!there.exists) return RecordState::None;
    std::string reason;
    file_ = there.folder || there.link ? kNoFile : ops.open(path_, OpenMode::Read, reason);
    length_ = file_ == kNoFile ? -1 : ops.size(file_, reason);
    if (length_ < 0) {
        problem = "its recovery record " + path_ + " cannot be read: " + (reason.empty() ? kNotRegularFileText : reason);
        return RecordState::Unreadable;
    }
    unsigned char magic[12] = {};
    if (length_ >= 12 && !ops.read(file_, magic, sizeof magic, 0, reason))
        return problem = "its recovery record " + path_ + " cannot be read: " + reason, RecordState::Unreadable;
    if (std::memcmp(magic, kMagic, sizeof kMagic) == 0 && get32(magic + 8) == 1) {
        version_ = 1;
        if (parseOldRecord(file_, length_, contents)) return romSize_ = contents.romSize, RecordState::Interrupted;
        problem = "its recovery record " + path_ + ", of an earlier version, is damaged or was never finished";
        return RecordState::Damaged;
    }
    version_ = 2; // or 3: the same layout
    const RecordState state = readHeader(contents, problem);
    if (state != RecordState::Interrupted) return state;
    romSize_ = contents.romSize;
    if (!contents.conversion && !readReplacement(contents, problem)) return RecordState::Damaged;
    return RecordState::Interrupted;
}
