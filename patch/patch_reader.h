// What the format files share: a bounded reader over the patch's bytes, the interface each
// format fills in, and the refusals they all give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "patch/patch.h"

// Reads a patch front to back without ever going past its end: a read beyond it fails and
// leaves the reader where it was.
class PatchReader {
public:
    PatchReader(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    std::size_t position() const { return position_; }
    std::size_t left() const { return size_ - position_; }
    const unsigned char* here() const { return bytes_ + position_; }

    // One byte.
    bool byte(unsigned char& value);
    // count bytes, given as a pointer into the patch.
    bool bytes(std::size_t count, const unsigned char*& start);
    // A big-endian number of count bytes (at most 4).
    bool bigEndian(std::size_t count, std::uint32_t& value);
    // A BPS/UPS number: 7 bits a byte, least significant first, the last byte marked by its
    // high bit, one added after each byte that is not the last. At most 2^56.
    bool byuuNumber(std::uint64_t& value);
    // A VCDIFF integer: 7 bits a byte, most significant first, every byte but the last
    // marked by its high bit. At most 2^56.
    bool vcdiffInteger(std::uint64_t& value);

private:
    const unsigned char* bytes_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// What a format's reader finds in a patch before it is applied.
struct PatchFacts {
    bool hasSourceCrc = false;     // BPS, UPS
    std::uint32_t sourceCrc = 0;
    std::uint32_t targetCrc = 0;
    std::int64_t sourceSize = -1;  // the source size the patch states; -1 when it states none
    bool windowChecks = false;     // VCDIFF whose windows all carry an Adler-32
    ByteOrder statedOrder = ByteOrder::None; // APS: the order its header names
    bool romHeaderKnown = false;   // APS of the N64 type: the two fields below are set
    unsigned char checkCodes[8] = {}; // the ROM's header bytes 0x10-0x17
    unsigned char cartridge[3] = {};  // the ROM's header bytes 0x3C-0x3E: cartridge id, country
};

// One format behind the common interface.
struct PatchFormatReader {
    PatchFormat format;
    // Reads the header and checks everything that does not depend on the source's bytes:
    // the patch's own CRC-32, every action within the patch and within the sizes it states.
    bool (*inspect)(const unsigned char* patch, std::size_t size, PatchFacts& facts, PatchError& error);
    // Makes the target from the source (a patch inspect passed). A failed window checksum
    // is OtherRom; every other refusal is final.
    bool (*apply)(const unsigned char* source, std::size_t sourceSize, const unsigned char* patch,
                  std::size_t size, RomImageBuffer& target, PatchError& error);
};

const PatchFormatReader& bpsFormat();
const PatchFormatReader& upsFormat();
const PatchFormatReader& ipsFormat();
const PatchFormatReader& vcdiffFormat();
const PatchFormatReader& apsFormat();

// APS: whether the ROM (size bytes in order current) has the check codes and cartridge the
// patch names, read in any of the three orders (the patch states them big-endian; some
// makers took them as the bytes lay in their file). If not, OtherRom with both shown.
bool matchRomHeader(const unsigned char* rom, std::size_t size, ByteOrder current, const PatchFacts& facts,
                    PatchError& error);

// The reason of a VCDIFF window whose checksum fails: the one refusal after which another
// byte order is tried.
extern const char* const kChecksumsFailText;

// Sets error to a refusal with reason; returns false, for "return refuse(...)".
bool refuse(PatchError& error, PatchRefusal refusal, const std::string& reason);

// The refusal of a patch that ends before what it started: "it ends in the middle of WHAT".
bool refuseTruncated(PatchError& error, const char* what);

// The refusal of a result of size bytes, 2 GiB or larger.
bool refuseTooLarge(PatchError& error, std::uint64_t size);

// Makes room for size bytes of result, refusing sizes of 2 GiB or more and a failed
// allocation.
bool allocateResult(RomImageBuffer& target, std::uint64_t size, PatchError& error);

// The CRC-32 of a whole image; a large one is done in two halves on two threads, since the
// source's and the result's CRC-32s take most of the time of a patch.
std::uint32_t imageCrc32(const unsigned char* bytes, std::size_t size);

// The CRC-32 trailer of BPS and UPS (source, target, patch; little-endian) read from the
// last 12 bytes, with the patch's own CRC-32 checked over every byte before its last four.
bool readCrcTrailer(const unsigned char* patch, std::size_t size, PatchFacts& facts, PatchError& error);

// The result's CRC-32 compared with the one the patch states.
bool checkTargetCrc(const RomImageBuffer& target, std::uint32_t expected, PatchError& error);
