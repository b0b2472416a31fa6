// IPS: "PATCH", then records up to the three bytes "EOF". A record is a 3-byte big-endian
// offset and a 2-byte big-endian size, then that many bytes; a size of 0 makes it a run, a
// 2-byte count and one byte to repeat. A record past the end grows the image (with zeros in
// between); a 3-byte size after "EOF" cuts the result to it. The format carries no check.
#include <cstring>

#include "patch/patch_reader.h"

namespace {

const std::size_t kMagicSize = 5;           // "PATCH"
const std::uint32_t kEndMarker = 0x454F46;  // "EOF", read where an offset would be

// One record, its bytes pointing into the patch (or the byte of a run).
struct IpsRecord {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    const unsigned char* bytes = nullptr;
    bool run = false;
};

// Reads the next record; end is set instead at the end marker.
bool readRecord(PatchReader& reader, IpsRecord& record, bool& end, PatchError& error) {
    std::uint32_t size = 0;
    if (!reader.bigEndian(3, record.offset))
        return refuse(error, PatchRefusal::Damaged, "it ends without its EOF marker (truncated or damaged)");
    end = record.offset == kEndMarker;
    if (end) return true;
    if (!reader.bigEndian(2, size)) return refuseTruncated(error, "a record");
    record.run = size == 0;
    if (record.run && (!reader.bigEndian(2, record.length) || !reader.bytes(1, record.bytes)))
        return refuseTruncated(error, "a record");
    if (!record.run && (record.length = size, !reader.bytes(size, record.bytes)))
        return refuseTruncated(error, "a record");
    return true;
}

// Goes through the records and gives the size of the result: the source's size or the end of
// the furthest record, or the size after the end marker. With target (of targetSize bytes)
// it also writes each record, as far as it lies within the target. Bytes after the end
// marker other than that size are refused.
bool runRecords(const unsigned char* patch, std::size_t size, std::uint64_t sourceSize, unsigned char* target,
                std::uint64_t targetSize, std::uint64_t& resultSize, PatchError& error) {
    PatchReader reader(patch, size);
    const unsigned char* magic = nullptr;
    reader.bytes(kMagicSize, magic);
    resultSize = sourceSize;
    for (;;) {
        IpsRecord record;
        bool end = false;
        if (!readRecord(reader, record, end, error)) return false;
        if (end) break;
        const std::uint64_t recordEnd = std::uint64_t(record.offset) + record.length;
        if (recordEnd > resultSize) resultSize = recordEnd;
        if (!target || record.offset >= targetSize) continue;
        const std::size_t length = static_cast<std::size_t>(
            recordEnd <= targetSize ? record.length : targetSize - record.offset);
        if (record.run)
            std::memset(target + record.offset, record.bytes[0], length);
        else if (length > 0)
            std::memcpy(target + record.offset, record.bytes, length);
    }
    std::uint32_t cut = 0;
    if (reader.left() == 3 && reader.bigEndian(3, cut)) resultSize = cut;
    if (reader.left() != 0)
        return refuse(error, PatchRefusal::Damaged,
                      std::to_string(reader.left()) + " bytes follow its EOF marker (damaged)");
    return true;
}

// Nothing to check but the records' own shape: offsets and sizes of 3 and 2 bytes cannot
// reach beyond 16 MiB and 64 KiB.
bool inspectIps(const unsigned char* patch, std::size_t size, PatchFacts&, PatchError& error) {
    std::uint64_t resultSize = 0;
    return runRecords(patch, size, 0, nullptr, 0, resultSize, error);
}

// The result is the source, cut or grown with zeros to the result's size, with the records
// written over it.
bool applyIps(const unsigned char* source, std::size_t sourceSize, const unsigned char* patch, std::size_t size,
              RomImageBuffer& target, PatchError& error) {
    std::uint64_t resultSize = 0;
    if (!runRecords(patch, size, sourceSize, nullptr, 0, resultSize, error)) return false;
    if (!allocateResult(target, resultSize, error)) return false;
    const std::size_t kept = sourceSize < resultSize ? sourceSize : static_cast<std::size_t>(resultSize);
    if (kept > 0) std::memcpy(target.bytes(), source, kept);
    std::memset(target.bytes() + kept, 0, target.size() - kept);
    return runRecords(patch, size, sourceSize, target.bytes(), target.size(), resultSize, error);
}

} // namespace

const PatchFormatReader& ipsFormat() {
    static const PatchFormatReader format = {PatchFormat::Ips, inspectIps, applyIps};
    return format;
}
