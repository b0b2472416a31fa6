#include "core/recovery_record.h"

#include <cstring>

#include <zlib.h>

#include "core/file_system.h"

namespace {

const unsigned char kMagic[8] = {'D', 'O', 'R', 'N', 'A', 'V', 'E', 'L'};
const std::uint32_t kVersion = 1;
const std::uint32_t kConversionKind = 1;
const std::uint32_t kBytesKind = 2;
const std::size_t kHeaderSize = 40;              // up to and with the header's own CRC
const std::size_t kLargestReplacement = 1 << 20; // bytes a replacement record may hold

// The check's multiplier: an odd constant with well mixed bits.
const std::uint64_t kMix = 0x9E3779B97F4A7C15ull;

std::uint64_t rotateLeft(std::uint64_t x, int by) {
    return (x << by) | (x >> (64 - by));
}

// The 8 bytes at p as a little-endian number, on every processor: a plain load where the
// processor is little-endian (every x86 and ARM this runs on), byte by byte elsewhere.
std::uint64_t load64(const unsigned char* p) {
    std::uint64_t x = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (int i = 7; i >= 0; --i) x = (x << 8) | p[i];
#else
    std::memcpy(&x, p, sizeof x);
#endif
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

// The first 36 bytes of a header: the magic, the version, the kind, the ROM's size and three
// numbers of the kind's own.
void fillHeader(unsigned char* header, std::uint32_t kind, std::int64_t romSize, std::uint64_t a, std::uint32_t b,
                std::uint32_t c) {
    std::memcpy(header, kMagic, sizeof kMagic);
    put32(header + 8, kVersion);
    put32(header + 12, kind);
    put64(header + 16, static_cast<std::uint64_t>(romSize));
    if (kind == kConversionKind) {
        put32(header + 24, static_cast<std::uint32_t>(a));
        put32(header + 28, b);
    } else {
        put64(header + 24, a);
    }
    put32(header + 32, c);
    put32(header + 36, crcOf(0, header, 36));
}

// Reads what the header says into contents; false when it is no header of ours. bodySize
// gets the length of the body that must follow.
bool parseHeader(const unsigned char* header, RecordContents& contents, std::int64_t& bodySize) {
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0 || get32(header + 8) != kVersion) return false;
    if (get32(header + 36) != crcOf(0, header, 36)) return false;
    const std::uint32_t kind = get32(header + 12);
    if (load64(header + 16) > static_cast<std::uint64_t>(INT32_MAX)) return false;
    contents.romSize = static_cast<std::int64_t>(load64(header + 16));
    if (kind == kConversionKind) {
        contents.conversion = true;
        contents.from = orderOfNumber(get32(header + 24));
        contents.to = orderOfNumber(get32(header + 28));
        bodySize = static_cast<std::int64_t>(sectorsOf(contents.romSize)) * 4;
        return contents.from != ByteOrder::None && contents.to != ByteOrder::None && get32(header + 32) == kSectorSize;
    }
    if (kind != kBytesKind) return false;
    contents.conversion = false;
    contents.offset = static_cast<std::int64_t>(load64(header + 24));
    const std::uint32_t count = get32(header + 32);
    bodySize = 2 * static_cast<std::int64_t>(count);
    contents.oldBytes.assign(count <= kLargestReplacement ? count : 0, 0);
    contents.newBytes.assign(contents.oldBytes.size(), 0);
    return count <= kLargestReplacement && contents.offset >= 0 && contents.offset + count <= contents.romSize;
}

} // namespace

std::string recoveryRecordPath(const std::string& romPath) {
    return romPath + ".dornavel-recovery";
}

// Four lanes of multiply-and-rotate over 8-byte words, folded to 32 bits: it runs at the
// speed the memory brings the bytes, and unlike a CRC no swap of bytes leaves it unchanged.
std::uint32_t sectorCheck(const unsigned char* bytes, std::size_t size) {
    std::uint64_t lanes[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull,
                              0x082EFA98EC4E6C89ull};
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32)
        for (int lane = 0; lane < 4; ++lane)
            lanes[lane] = rotateLeft((lanes[lane] ^ load64(bytes + i + 8 * lane)) * kMix, 31);
    for (; i < size; ++i) lanes[i % 4] = rotateLeft((lanes[i % 4] ^ bytes[i]) * kMix, 31);
    std::uint64_t h = lanes[0] ^ rotateLeft(lanes[1], 17) ^ rotateLeft(lanes[2], 34) ^ rotateLeft(lanes[3], 51) ^ size;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

PendingUpdate pendingUpdate(const std::string& romPath) {
    PendingUpdate pending;
    RecoveryRecord record;
    std::string reason;
    pending.found = record.openFound(romPath, pending.contents, reason) && record.whole();
    return pending;
}

RecoveryRecord::~RecoveryRecord() {
    std::string ignored; // a record given up on is left for the next run to deal with
    if (file_ != kNoFile) fileOps().close(file_, ignored);
}

bool RecoveryRecord::create(const std::string& romPath, std::string& reason) {
    path_ = recoveryRecordPath(romPath);
    file_ = fileOps().open(path_, OpenMode::CreateNew, reason);
    length_ = 0;
    crc_ = 0;
    whole_ = false;
    created_ = file_ != kNoFile;
    return created_;
}

bool RecoveryRecord::append(const unsigned char* bytes, std::size_t size, std::string& reason) {
    if (!fileOps().write(file_, bytes, size, length_, reason)) return false;
    crc_ = crcOf(crc_, bytes, size);
    length_ += static_cast<std::int64_t>(size);
    return true;
}

bool RecoveryRecord::beginConversion(const std::string& romPath, ByteOrder from, ByteOrder to, std::int64_t romSize,
                                     std::string& reason) {
    if (!create(romPath, reason)) return false;
    unsigned char header[kHeaderSize];
    fillHeader(header, kConversionKind, romSize, static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(to),
               kSectorSize);
    checksAt_ = kHeaderSize;
    return append(header, sizeof header, reason);
}

// The checks of one call go out in one write.
bool RecoveryRecord::addSectors(const unsigned char* bytes, std::size_t size, std::string& reason) {
    checkBytes_.resize((size + kSectorSize - 1) / kSectorSize * 4);
    for (std::size_t done = 0, at = 0; done < size; done += kSectorSize, at += 4)
        put32(&checkBytes_[at], sectorCheck(bytes + done, size - done < kSectorSize ? size - done : kSectorSize));
    return append(checkBytes_.data(), checkBytes_.size(), reason);
}

bool RecoveryRecord::writeReplacement(const std::string& romPath, std::int64_t romSize, std::int64_t offset,
                                      const unsigned char* oldBytes, const unsigned char* newBytes, std::size_t count,
                                      std::string& reason) {
    if (!create(romPath, reason)) return false;
    unsigned char header[kHeaderSize];
    fillHeader(header, kBytesKind, romSize, static_cast<std::uint64_t>(offset), 0, static_cast<std::uint32_t>(count));
    return append(header, sizeof header, reason) && append(oldBytes, count, reason) && append(newBytes, count, reason);
}

// The record's name must be on the disk too, hence the folder's sync after the file's.
bool RecoveryRecord::seal(std::string& reason) {
    unsigned char trailer[4];
    put32(trailer, crc_);
    if (!append(trailer, sizeof trailer, reason) || !fileOps().sync(file_, reason)) return false;
    fileOps().syncFolderOf(path_);
    whole_ = true;
    return true;
}

bool RecoveryRecord::checks(std::size_t first, std::size_t count, std::uint32_t* out, std::string& reason) {
    unsigned char raw[4 * 256];
    for (std::size_t done = 0; done < count;) {
        const std::size_t batch = count - done < 256 ? count - done : 256;
        const std::int64_t at = checksAt_ + static_cast<std::int64_t>(4 * (first + done));
        if (!fileOps().read(file_, raw, 4 * batch, at, reason)) return false;
        for (std::size_t i = 0; i < batch; ++i) out[done + i] = get32(raw + 4 * i);
        done += batch;
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

void RecoveryRecord::abandon() {
    std::string ignored; // the failure that made us give up is the one worth telling
    if (created_) remove(ignored);
    created_ = false;
}

// The whole record is read once to check its CRC; a conversion's sector checks are read
// again, a slice at a time, by whoever settles the ROM.
bool RecoveryRecord::openFound(const std::string& romPath, RecordContents& contents, std::string& reason) {
    FileOps& ops = fileOps();
    path_ = recoveryRecordPath(romPath);
    whole_ = false;
    reason.clear();
    if (!ops.identify(path_, false).exists) return false;
    file_ = ops.open(path_, OpenMode::Read, reason);
    if (file_ == kNoFile) return false;
    const std::int64_t length = ops.size(file_, reason);
    unsigned char header[kHeaderSize];
    std::int64_t body = 0;
    if (length < static_cast<std::int64_t>(kHeaderSize) + 4 || !ops.read(file_, header, kHeaderSize, 0, reason) ||
        !parseHeader(header, contents, body) || length != static_cast<std::int64_t>(kHeaderSize) + body + 4)
        return reason.clear(), true;
    checksAt_ = kHeaderSize;
    unsigned char piece[64 * 1024];
    std::uint32_t crc = crcOf(0, header, kHeaderSize);
    for (std::int64_t at = kHeaderSize; at < length - 4;) {
        const std::size_t size = static_cast<std::size_t>(length - 4 - at < 65536 ? length - 4 - at : 65536);
        if (!ops.read(file_, piece, size, at, reason)) return false;
        crc = crcOf(crc, piece, size);
        at += static_cast<std::int64_t>(size);
    }
    unsigned char trailer[4];
    if (!ops.read(file_, trailer, 4, length - 4, reason)) return false;
    whole_ = get32(trailer) == crc;
    const std::size_t count = contents.oldBytes.size();
    if (whole_ && !contents.conversion)
        return ops.read(file_, contents.oldBytes.data(), count, kHeaderSize, reason) &&
               ops.read(file_, contents.newBytes.data(), count, kHeaderSize + static_cast<std::int64_t>(count), reason);
    return true;
}
