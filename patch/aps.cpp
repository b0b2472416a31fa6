// APS, the N64 kind ("APS10"): a 78-byte header (patch type, encoding, a 50-byte
// description, and for type 1 the byte order the patch was made in, the cartridge id and
// country and the check codes of the ROM it was made for, padding), the size of the result
// (4 bytes, little-endian), then records to the end: a 4-byte little-endian offset and a
// length byte, then that many bytes, or with length 0 a byte and a count to repeat it. The
// Game Boy Advance kind ("APS1" and another byte) is another format, refused by name.
#include <cstdio>
#include <cstring>

#include "core/conversion.h"
#include "patch/patch_reader.h"

namespace {

const std::size_t kMagicSize = 5;        // "APS10"
const std::size_t kDescriptionSize = 50;
const std::size_t kPaddingSize = 5;
const unsigned char kN64Type = 1;        // the type whose header carries the N64 fields
const unsigned char kV64Format = 0;      // the header's order byte: Doctor V64
const unsigned char kBigFormat = 1;      // CD64 / Z64: big-endian

// The little-endian number of count bytes (at most 4).
bool littleEndian(PatchReader& reader, std::size_t count, std::uint32_t& value) {
    const unsigned char* bytes = nullptr;
    if (!reader.bytes(count, bytes)) return false;
    value = 0;
    for (std::size_t i = count; i > 0; --i) value = value << 8 | bytes[i - 1];
    return true;
}

// The N64 fields of a type-1 header: the order, the cartridge id and country (stored as in
// the ROM's big-endian header), the check codes, the padding.
bool readN64Fields(PatchReader& reader, PatchFacts& facts, PatchError& error) {
    unsigned char format = 0;
    const unsigned char *cartridge = nullptr, *codes = nullptr, *padding = nullptr;
    if (!reader.byte(format) || !reader.bytes(3, cartridge) || !reader.bytes(8, codes) ||
        !reader.bytes(kPaddingSize, padding))
        return refuseTruncated(error, "its header");
    if (format != kV64Format && format != kBigFormat)
        return refuse(error, PatchRefusal::Damaged,
                      "its header names byte order " + std::to_string(format) + ", which APS does not have (damaged)");
    facts.statedOrder = format == kBigFormat ? ByteOrder::BigEndian : ByteOrder::DoctorV64;
    facts.romHeaderKnown = true;
    std::memcpy(facts.checkCodes, codes, 8);
    std::memcpy(facts.cartridge, cartridge, 3);
    return true;
}

// Reads the header up to the first record and gives the result's size.
bool readHeader(PatchReader& reader, PatchFacts& facts, std::uint32_t& resultSize, PatchError& error) {
    const unsigned char *magic = nullptr, *description = nullptr;
    unsigned char type = 0, encoding = 0;
    if (!reader.bytes(4, magic)) return refuseTruncated(error, "its header");
    if (!reader.bytes(1, magic) || *magic != '0')
        return refuse(error, PatchRefusal::Unsupported,
                      "it is an APS patch of the Game Boy Advance kind (APS1), not of the N64 kind (APS10); "
                      "find the patch made for the N64 ROM");
    if (!reader.byte(type) || !reader.byte(encoding) || !reader.bytes(kDescriptionSize, description))
        return refuseTruncated(error, "its header");
    if (type > kN64Type || encoding != 0)
        return refuse(error, PatchRefusal::Unsupported,
                      "its header names patch type " + std::to_string(type) + " and encoding " +
                          std::to_string(encoding) + "; only the simple encoding of types 0 and 1 exists");
    if (type == kN64Type && !readN64Fields(reader, facts, error)) return false;
    if (!littleEndian(reader, 4, resultSize)) return refuseTruncated(error, "its header");
    if (resultSize > static_cast<std::uint64_t>(kMaxRomSize)) return refuseTooLarge(error, resultSize);
    return true;
}

// Runs the records over target (null: only checks them); each must lie within the result.
bool runRecords(PatchReader reader, std::uint32_t resultSize, unsigned char* target, PatchError& error) {
    while (reader.left() > 0) {
        std::uint32_t offset = 0;
        unsigned char length = 0, value = 0, count = 0;
        const unsigned char* bytes = nullptr;
        if (!littleEndian(reader, 4, offset) || !reader.byte(length)) return refuseTruncated(error, "a record");
        const bool run = length == 0;
        if (run ? !reader.byte(value) || !reader.byte(count) : !reader.bytes(length, bytes))
            return refuseTruncated(error, "a record");
        const std::uint32_t size = run ? count : length;
        if (offset > resultSize || size > resultSize - offset)
            return refuse(error, PatchRefusal::Damaged, "a record lies beyond the size its header states (damaged)");
        if (!target) continue;
        if (run) std::memset(target + offset, value, size);
        else std::memcpy(target + offset, bytes, size);
    }
    return true;
}

bool inspectAps(const unsigned char* patch, std::size_t size, PatchFacts& facts, PatchError& error) {
    PatchReader reader(patch, size);
    std::uint32_t resultSize = 0;
    if (!readHeader(reader, facts, resultSize, error)) return false;
    return runRecords(reader, resultSize, nullptr, error);
}

// The result starts as the source, cut or grown with zeros to the size the header states.
bool applyAps(const unsigned char* source, std::size_t sourceSize, const unsigned char* patch, std::size_t size,
              RomImageBuffer& target, PatchError& error) {
    PatchReader reader(patch, size);
    PatchFacts facts;
    std::uint32_t resultSize = 0;
    if (!readHeader(reader, facts, resultSize, error) || !runRecords(reader, resultSize, nullptr, error)) return false;
    if (!allocateResult(target, resultSize, error)) return false;
    const std::size_t kept = sourceSize < resultSize ? sourceSize : resultSize;
    if (kept > 0) std::memcpy(target.bytes(), source, kept);
    std::memset(target.bytes() + kept, 0, target.size() - kept);
    return runRecords(reader, resultSize, target.bytes(), error);
}

const std::size_t kCheckCodesAt = 0x10;
const std::size_t kCartridgeAt = 0x3C;
const std::size_t kHeaderSize = 0x40;

// Check codes and cartridge as shown: "check codes 635A2BFF 8B022326, cartridge SM country E"
// (a byte that is no printable letter in hex within brackets, "[00]").
std::string fieldsText(const unsigned char* codes, const unsigned char* cartridge) {
    char text[64];
    std::snprintf(text, sizeof text, "check codes %02X%02X%02X%02X %02X%02X%02X%02X, cartridge ", codes[0], codes[1],
                  codes[2], codes[3], codes[4], codes[5], codes[6], codes[7]);
    std::string shown = text;
    for (int i = 0; i < 3; ++i) {
        if (i == 2) shown += " country ";
        if (cartridge[i] > 0x20 && cartridge[i] < 0x7F) {
            shown += static_cast<char>(cartridge[i]);
            continue;
        }
        std::snprintf(text, sizeof text, "[%02X]", cartridge[i]);
        shown += text;
    }
    return shown;
}

} // namespace

bool matchRomHeader(const unsigned char* rom, std::size_t size, ByteOrder current, const PatchFacts& facts,
                    PatchError& error) {
    if (size < kHeaderSize)
        return refuse(error, PatchRefusal::OtherRom, "this patch is for another ROM (this one has no N64 header)");
    unsigned char header[kHeaderSize];
    for (ByteOrder order : {ByteOrder::BigEndian, ByteOrder::DoctorV64, ByteOrder::LittleEndian}) {
        std::memcpy(header, rom, kHeaderSize);
        convertOrder(header, kHeaderSize, current, order);
        if (std::memcmp(header + kCheckCodesAt, facts.checkCodes, 8) == 0 &&
            std::memcmp(header + kCartridgeAt, facts.cartridge, 3) == 0)
            return true;
    }
    std::memcpy(header, rom, kHeaderSize);
    convertToBig(header, kHeaderSize, current);
    return refuse(error, PatchRefusal::OtherRom,
                  "this patch is for another ROM (it wants " + fieldsText(facts.checkCodes, facts.cartridge) +
                      "; this ROM has " + fieldsText(header + kCheckCodesAt, header + kCartridgeAt) + ")");
}

const PatchFormatReader& apsFormat() {
    static const PatchFormatReader format = {PatchFormat::Aps, inspectAps, applyAps};
    return format;
}
