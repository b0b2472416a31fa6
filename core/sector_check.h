// The checks a recovery record keeps of each sector of a ROM's old image, and the CRC-32C
// they are made of now: computed by the processor where it has an instruction for it (SSE 4.2
// on x86, the CRC extension on ARMv8), by a table elsewhere, with the same result.
#pragma once

#include <cstddef>
#include <cstdint>

// The bytes of the ROM each check covers.
constexpr std::size_t kSectorSize = 512;

// How the checks of a record were made: the record's version tells.
enum class SectorCheckKind {
    Mixed, // versions 1 and 2: four lanes of multiply-and-rotate
    Crc32c // version 3: the CRC-32C of the sector's bytes
};

// The check of one sector of an image (at most kSectorSize bytes), as records are made now.
std::uint32_t sectorCheck(const unsigned char* bytes, std::size_t size);

// The check of one sector as a record of that kind holds it.
std::uint32_t sectorCheckOf(SectorCheckKind kind, const unsigned char* bytes, std::size_t size);

// The checks of every sector of size bytes (the last sector may be short), into checks.
void sectorChecks(const unsigned char* bytes, std::size_t size, std::uint32_t* checks);

// The CRC-32C (Castagnoli; iSCSI, ext4) of size bytes, through the table.
std::uint32_t crc32cPortable(const unsigned char* bytes, std::size_t size);

// Whether this processor computes the CRC-32C itself; and the CRC through its instruction
// (only where it does).
bool crc32cInHardware();
std::uint32_t crc32cHardware(const unsigned char* bytes, std::size_t size);
