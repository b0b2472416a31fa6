#include "core/settle.h"

#include <cstring>
#include <memory>
#include <vector>

#include "core/conversion.h"

namespace {

// The sectors of one slice.
const std::size_t kSectorsPerSlice = kSettleSlice / kSectorSize;

// The bytes of the slice at offset in the first reach bytes.
std::size_t sliceAt(std::int64_t offset, std::int64_t reach) {
    const std::int64_t left = reach - offset;
    return left < static_cast<std::int64_t>(kSettleSlice) ? static_cast<std::size_t>(left) : kSettleSlice;
}

// Brings one sector of a conversion to the state wanted; false when it fits neither.
bool settleSector(unsigned char* sector, std::size_t size, std::uint32_t oldCheck, const RecordContents& contents,
                  bool forward, bool& dirty) {
    unsigned char wanted[kSectorSize];
    if (!oldImageOfSector(sector, size, oldCheck, contents.from, contents.to, wanted, contents.checkKind)) return false;
    if (forward) convertOrder(wanted, size, contents.from, contents.to);
    if (std::memcmp(wanted, sector, size) == 0) return true;
    std::memcpy(sector, wanted, size);
    dirty = true;
    return true;
}

// Reads one slice at offset and the checks of its sectors; valid tells which checks hold.
bool readSlice(FileHandle rom, RecoveryRecord& record, std::int64_t offset, std::size_t size, unsigned char* buffer,
               std::uint32_t* checks, bool* valid, std::string& reason) {
    const std::size_t sectors = (size + kSectorSize - 1) / kSectorSize;
    return fileOps().read(rom, buffer, size, offset, reason) &&
           record.checks(static_cast<std::size_t>(offset) / kSectorSize, sectors, checks, valid, reason);
}

// Settles one slice of a conversion at offset: reads it, brings each sector to the state
// wanted and writes it back when any changed.
bool settleSlice(FileHandle rom, RecoveryRecord& record, const RecordContents& contents, bool forward,
                 std::int64_t offset, std::size_t size, unsigned char* buffer, std::uint32_t* checks, bool* valid,
                 bool& wrote, std::string& reason) {
    if (!readSlice(rom, record, offset, size, buffer, checks, valid, reason)) return false;
    bool dirty = false;
    for (std::size_t start = 0; start < size; start += kSectorSize) {
        const std::size_t length = size - start < kSectorSize ? size - start : kSectorSize;
        const std::size_t sector = start / kSectorSize;
        if (valid[sector] && settleSector(buffer + start, length, checks[sector], contents, forward, dirty)) continue;
        reason = "the bytes at " + std::to_string(offset + static_cast<std::int64_t>(start)) +
                 " are in neither order of the record " + record.path();
        return false;
    }
    if (!dirty) return true;
    wrote = true;
    return fileOps().write(rom, buffer, size, offset, reason);
}

// Sorts the replaced bytes: each must be the old one or the new one.
bool surveyBytes(FileHandle rom, const RecordContents& contents, RomSurvey& survey, std::string& reason) {
    const std::size_t count = contents.oldBytes.size();
    std::vector<unsigned char> now(count);
    if (!fileOps().read(rom, now.data(), count, contents.offset, reason)) return false;
    bool old = true, fresh = true;
    for (std::size_t i = 0; i < count; ++i) {
        old = old && now[i] == contents.oldBytes[i];
        fresh = fresh && now[i] == contents.newBytes[i];
        if (now[i] != contents.oldBytes[i] && now[i] != contents.newBytes[i] && survey.firstUnfit < 0)
            survey.firstUnfit = contents.offset + static_cast<std::int64_t>(i);
    }
    if (survey.firstUnfit >= 0) return true;
    (old ? survey.oldSectors : fresh ? survey.newSectors : survey.tornSectors) = 1;
    return true;
}

// Counts one sector of a survey.
void countSector(SectorFit fit, std::int64_t at, RomSurvey& survey) {
    switch (fit) {
    case SectorFit::Old: ++survey.oldSectors; break;
    case SectorFit::New: ++survey.newSectors; break;
    case SectorFit::Torn: ++survey.tornSectors; break;
    case SectorFit::None:
        if (survey.firstUnfit < 0) survey.firstUnfit = at;
        break;
    }
}

} // namespace

// A torn sector holds whole groups of both states, the new ones before the old ones when the
// write went front to back; every place between groups is tried.
SectorFit fitOfSector(const unsigned char* sector, std::size_t size, std::uint32_t oldCheck, ByteOrder from,
                      ByteOrder to, unsigned char* old, SectorCheckKind kind) {
    const auto matches = [&] { return sectorCheckOf(kind, old, size) == oldCheck; };
    std::memcpy(old, sector, size);
    if (matches()) return SectorFit::Old;
    unsigned char back[kSectorSize];
    std::memcpy(back, sector, size);
    convertOrder(back, size, to, from);
    std::memcpy(old, back, size);
    if (matches()) return SectorFit::New;
    const std::size_t group = conversionGroup(from, to);
    for (std::size_t cut = group; group != 0 && cut < size; cut += group) {
        std::memcpy(old, back, cut);
        std::memcpy(old + cut, sector + cut, size - cut);
        if (matches()) return SectorFit::Torn;
        std::memcpy(old, sector, cut);
        std::memcpy(old + cut, back + cut, size - cut);
        if (matches()) return SectorFit::Torn;
    }
    return SectorFit::None;
}

bool oldImageOfSector(const unsigned char* sector, std::size_t size, std::uint32_t oldCheck, ByteOrder from,
                      ByteOrder to, unsigned char* old, SectorCheckKind kind) {
    return fitOfSector(sector, size, oldCheck, from, to, old, kind) != SectorFit::None;
}

bool surveyRom(FileHandle rom, RecoveryRecord& record, const RecordContents& contents, unsigned char* buffer,
               RomSurvey& survey, std::string& reason) {
    survey = RomSurvey();
    if (!contents.conversion) return surveyBytes(rom, contents, survey, reason);
    std::vector<std::uint32_t> checks(kSectorsPerSlice);
    std::unique_ptr<bool[]> valid(new bool[kSectorsPerSlice]);
    unsigned char old[kSectorSize];
    for (std::int64_t offset = 0; offset < contents.romSize; offset += static_cast<std::int64_t>(kSettleSlice)) {
        const std::size_t size = sliceAt(offset, contents.romSize);
        if (!readSlice(rom, record, offset, size, buffer, checks.data(), valid.get(), reason)) return false;
        for (std::size_t start = 0; start < size; start += kSectorSize) {
            const std::size_t length = size - start < kSectorSize ? size - start : kSectorSize;
            const std::size_t sector = start / kSectorSize;
            const std::int64_t at = offset + static_cast<std::int64_t>(start);
            if (!valid[sector]) {
                if (survey.firstUnchecked < 0) survey.firstUnchecked = at;
                survey.lastUnchecked = at + static_cast<std::int64_t>(length) - 1;
                continue;
            }
            countSector(fitOfSector(buffer + start, length, checks[sector], contents.from, contents.to, old,
                                    contents.checkKind),
                        at, survey);
        }
    }
    return true;
}

// A replacement is written only over bytes that are the old or the new ones.
bool settleRom(FileHandle rom, RecoveryRecord& record, const RecordContents& contents, bool forward,
               std::int64_t reach, unsigned char* buffer, bool& wrote, std::string& reason) {
    FileOps& ops = fileOps();
    wrote = false;
    if (!contents.conversion) {
        RomSurvey survey;
        if (!surveyBytes(rom, contents, survey, reason)) return false;
        if (!survey.fits())
            return reason = "the bytes at " + std::to_string(survey.firstUnfit) + " are neither the old nor the new ones of the record " + record.path(), false;
        const std::vector<unsigned char>& wanted = forward ? contents.newBytes : contents.oldBytes;
        wrote = true;
        return ops.write(rom, wanted.data(), wanted.size(), contents.offset, reason) && ops.sync(rom, reason);
    }
    const std::int64_t sector = static_cast<std::int64_t>(kSectorSize);
    reach = (reach + sector - 1) / sector * sector; // a check covers its whole sector
    if (reach > contents.romSize) reach = contents.romSize;
    std::vector<std::uint32_t> checks(kSectorsPerSlice);
    std::unique_ptr<bool[]> valid(new bool[kSectorsPerSlice]);
    for (std::int64_t offset = 0; offset < reach; offset += static_cast<std::int64_t>(kSettleSlice)) {
        if (!settleSlice(rom, record, contents, forward, offset, sliceAt(offset, reach), buffer, checks.data(),
                         valid.get(), wrote, reason))
            return false;
    }
    return !wrote || ops.sync(rom, reason);
}
