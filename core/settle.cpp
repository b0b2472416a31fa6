#include "core/settle.h"

#include <cstring>
#include <vector>

#include "core/conversion.h"

namespace {

// The sectors of one slice.
const std::size_t kSectorsPerSlice = kSettleSlice / kSectorSize;

// Brings one sector of a conversion to the state wanted; false when it fits neither.
bool settleSector(unsigned char* sector, std::size_t size, std::uint32_t oldCheck, const RecordContents& contents,
                  bool forward, bool& dirty) {
    unsigned char wanted[kSectorSize];
    if (!oldImageOfSector(sector, size, oldCheck, contents.from, contents.to, wanted)) return false;
    if (forward) convertOrder(wanted, size, contents.from, contents.to);
    if (std::memcmp(wanted, sector, size) == 0) return true;
    std::memcpy(sector, wanted, size);
    dirty = true;
    return true;
}

// Settles one slice of a conversion at offset: reads it, brings each sector to the state
// wanted and writes it back when any changed.
bool settleSlice(FileHandle rom, RecoveryRecord& record, const RecordContents& contents, bool forward,
                 std::int64_t offset, std::size_t size, unsigned char* buffer, std::uint32_t* checks, bool& wrote,
                 std::string& reason) {
    FileOps& ops = fileOps();
    const std::size_t sectors = (size + kSectorSize - 1) / kSectorSize;
    if (!ops.read(rom, buffer, size, offset, reason) ||
        !record.checks(static_cast<std::size_t>(offset) / kSectorSize, sectors, checks, reason))
        return false;
    bool dirty = false;
    for (std::size_t sector = 0; sector < sectors; ++sector) {
        const std::size_t start = sector * kSectorSize;
        const std::size_t length = size - start < kSectorSize ? size - start : kSectorSize;
        if (settleSector(buffer + start, length, checks[sector], contents, forward, dirty)) continue;
        reason = "the bytes at " + std::to_string(offset + static_cast<std::int64_t>(start)) +
                 " are in neither order of the record (was the file changed by another program, or replaced?)";
        return false;
    }
    if (!dirty) return true;
    wrote = true;
    return ops.write(rom, buffer, size, offset, reason);
}

} // namespace

// A torn sector holds whole groups of both states, the new ones before the old ones when the
// write went front to back; every place between groups is tried.
bool oldImageOfSector(const unsigned char* sector, std::size_t size, std::uint32_t oldCheck, ByteOrder from,
                      ByteOrder to, unsigned char* old) {
    std::memcpy(old, sector, size);
    if (sectorCheck(old, size) == oldCheck) return true;
    unsigned char back[kSectorSize];
    std::memcpy(back, sector, size);
    convertOrder(back, size, to, from);
    std::memcpy(old, back, size);
    if (sectorCheck(old, size) == oldCheck) return true;
    const std::size_t group = conversionGroup(from, to);
    for (std::size_t cut = group; group != 0 && cut < size; cut += group) {
        std::memcpy(old, back, cut);
        std::memcpy(old + cut, sector + cut, size - cut);
        if (sectorCheck(old, size) == oldCheck) return true;
        std::memcpy(old, sector, cut);
        std::memcpy(old + cut, back + cut, size - cut);
        if (sectorCheck(old, size) == oldCheck) return true;
    }
    return false;
}

bool settleRom(FileHandle rom, RecoveryRecord& record, const RecordContents& contents, bool forward,
               std::int64_t reach, unsigned char* buffer, bool& wrote, std::string& reason) {
    FileOps& ops = fileOps();
    wrote = false;
    if (!contents.conversion) {
        const std::vector<unsigned char>& wanted = forward ? contents.newBytes : contents.oldBytes;
        wrote = true;
        return ops.write(rom, wanted.data(), wanted.size(), contents.offset, reason) && ops.sync(rom, reason);
    }
    const std::int64_t sector = static_cast<std::int64_t>(kSectorSize);
    reach = (reach + sector - 1) / sector * sector; // a check covers its whole sector
    if (reach > contents.romSize) reach = contents.romSize;
    std::vector<std::uint32_t> checks(kSectorsPerSlice);
    for (std::int64_t offset = 0; offset < reach; offset += static_cast<std::int64_t>(kSettleSlice)) {
        const std::int64_t left = reach - offset;
        const std::size_t size = left < static_cast<std::int64_t>(kSettleSlice) ? static_cast<std::size_t>(left)
                                                                               : kSettleSlice;
        if (!settleSlice(rom, record, contents, forward, offset, size, buffer, checks.data(), wrote, reason))
            return false;
    }
    return !wrote || ops.sync(rom, reason);
}
