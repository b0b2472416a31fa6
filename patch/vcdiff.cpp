// VCDIFF (RFC 3284) as xdelta3 writes it: a header, then windows. Each window names a
// segment of the source (or of the target made so far), then gives its target as ADD, RUN
// and COPY instructions from the RFC's default code table, in three sections (data,
// instructions, addresses); xdelta3 adds an Adler-32 of the window's target.
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "patch/adler32.h"
#include "patch/patch_reader.h"
#include "patch/secondary.h"

namespace {

// The file header's indicator bits.
const unsigned char kSecondaryBit = 0x01;  // VCD_DECOMPRESS: a compressor id follows
const unsigned char kCodeTableBit = 0x02;  // VCD_CODETABLE: a code table of its own follows
const unsigned char kAppHeaderBit = 0x04;  // xdelta3's application data (the file names)

// A window's indicator bits.
const unsigned char kSourceBit = 0x01;     // VCD_SOURCE: the segment is from the source
const unsigned char kTargetBit = 0x02;     // VCD_TARGET: the segment is from the target so far
const unsigned char kChecksumBit = 0x04;   // xdelta3's VCD_ADLER32

// The instruction types and address modes of the default code table.
enum Type : unsigned char { Noop = 0, Add = 1, Run = 2, Copy = 3 };
const unsigned kNearSlots = 4;
const unsigned kSameSlots = 3;
const unsigned kSelfMode = 0;
const unsigned kHereMode = 1;

// One half of a code table entry; size 0 means the size follows in the instructions.
struct Half {
    unsigned char type = Noop;
    unsigned char size = 0;
    unsigned char mode = 0;
};
struct Code {
    Half first, second;
};

// The RFC's default code table (its section 5.6), built in the RFC's order.
std::array<Code, 256> defaultCodeTable() {
    std::array<Code, 256> table{};
    std::size_t i = 0;
    table[i++].first = {Run, 0, 0};
    for (unsigned size = 0; size <= 17; ++size) table[i++].first = {Add, static_cast<unsigned char>(size), 0};
    for (unsigned mode = 0; mode < 9; ++mode) {
        table[i++].first = {Copy, 0, static_cast<unsigned char>(mode)};
        for (unsigned size = 4; size <= 18; ++size)
            table[i++].first = {Copy, static_cast<unsigned char>(size), static_cast<unsigned char>(mode)};
    }
    for (unsigned mode = 0; mode < 9; ++mode) {
        const unsigned largestCopy = mode < 6 ? 6 : 4;
        for (unsigned add = 1; add <= 4; ++add)
            for (unsigned copy = 4; copy <= largestCopy; ++copy)
                table[i++] = {{Add, static_cast<unsigned char>(add), 0},
                              {Copy, static_cast<unsigned char>(copy), static_cast<unsigned char>(mode)}};
    }
    for (unsigned mode = 0; mode < 9; ++mode) table[i++] = {{Copy, 4, static_cast<unsigned char>(mode)}, {Add, 1, 0}};
    return table;
}

const std::array<Code, 256> kCodeTable = defaultCodeTable();

// What the header says: whether a secondary compressor is named, and which.
struct FileHeader {
    bool secondary = false;
    unsigned char compressor = 0;
};

// One window, its sections pointing into the patch.
struct Window {
    unsigned char indicator = 0;
    std::uint64_t segmentSize = 0;
    std::uint64_t segmentPosition = 0;
    std::uint64_t targetSize = 0;
    unsigned char compressed = 0;   // the delta indicator: which sections are compressed
    std::uint32_t checksum = 0;     // with kChecksumBit
    const unsigned char* sections[3] = {};
    std::size_t sectionSizes[3] = {};
};
enum Section { Data = 0, Instructions = 1, Addresses = 2 };

// Reads the magic and the header; leaves the reader at the first window.
bool readFileHeader(PatchReader& reader, FileHeader& header, PatchError& error) {
    const unsigned char* magic = nullptr;
    unsigned char indicator = 0;
    if (!reader.bytes(4, magic) || !reader.byte(indicator)) return refuseTruncated(error, "its header");
    if (indicator & ~(kSecondaryBit | kCodeTableBit | kAppHeaderBit))
        return refuse(error, PatchRefusal::Damaged, "its header has unknown flags (damaged)");
    if (indicator & kCodeTableBit)
        return refuse(error, PatchRefusal::Unsupported,
                      "it carries a code table of its own, which this program does not read; make it again "
                      "with xdelta3 -S none");
    header.secondary = (indicator & kSecondaryBit) != 0;
    if (header.secondary && !reader.byte(header.compressor)) return refuseTruncated(error, "its header");
    std::uint64_t appSize = 0;
    const unsigned char* app = nullptr;
    if ((indicator & kAppHeaderBit) &&
        (!reader.vcdiffInteger(appSize) || appSize > reader.left() || !reader.bytes(static_cast<std::size_t>(appSize), app)))
        return refuseTruncated(error, "its header");
    return true;
}

// Reads the section lengths of a window's delta encoding and points at the sections.
bool readSections(PatchReader& reader, Window& window) {
    std::uint64_t sizes[3] = {};
    std::uint32_t checksum = 0;
    if (!reader.vcdiffInteger(window.targetSize) || !reader.byte(window.compressed)) return false;
    for (std::uint64_t& size : sizes)
        if (!reader.vcdiffInteger(size)) return false;
    if ((window.indicator & kChecksumBit) && !reader.bigEndian(4, checksum)) return false;
    window.checksum = checksum;
    for (int s = 0; s < 3; ++s) {
        if (sizes[s] > reader.left() || !reader.bytes(static_cast<std::size_t>(sizes[s]), window.sections[s]))
            return false;
        window.sectionSizes[s] = static_cast<std::size_t>(sizes[s]);
    }
    return true;
}

// Reads the next window: its indicator, segment, and delta encoding, which must end exactly
// where its length says.
bool readWindow(PatchReader& reader, Window& window, PatchError& error) {
    std::uint64_t encodingSize = 0;
    if (!reader.byte(window.indicator)) return refuseTruncated(error, "a window");
    if ((window.indicator & ~(kSourceBit | kTargetBit | kChecksumBit)) ||
        (window.indicator & (kSourceBit | kTargetBit)) == (kSourceBit | kTargetBit))
        return refuse(error, PatchRefusal::Damaged, "a window has unknown flags (damaged)");
    if ((window.indicator & (kSourceBit | kTargetBit)) &&
        (!reader.vcdiffInteger(window.segmentSize) || !reader.vcdiffInteger(window.segmentPosition)))
        return refuseTruncated(error, "a window");
    if (!reader.vcdiffInteger(encodingSize) || encodingSize > reader.left()) return refuseTruncated(error, "a window");
    const std::size_t end = reader.position() + static_cast<std::size_t>(encodingSize);
    if (!readSections(reader, window) || reader.position() > end) return refuseTruncated(error, "a window");
    if (reader.position() != end)
        return refuse(error, PatchRefusal::Damaged, "a window is not as long as it says (damaged)");
    return true;
}

// A window whose sections are compressed can only be read with the compressor the header
// names, and only when this build reads it.
bool checkCompression(const FileHeader& header, const Window& window, PatchError& error) {
    if (window.compressed == 0) return true;
    if (!header.secondary || (window.compressed & ~0x07))
        return refuse(error, PatchRefusal::Damaged, "a window is marked compressed without a compressor (damaged)");
    const std::string notRead = secondaryNotRead(header.compressor);
    return notRead.empty() || refuse(error, PatchRefusal::Unsupported, notRead);
}

// Decompresses the window's compressed sections into sections and points the window at
// them. A section holds at most a few bytes for each byte of the window's target.
bool decompressSections(Window& window, SecondaryDecoders& decoders, std::vector<unsigned char> (&sections)[3],
                        PatchError& error) {
    const std::uint64_t largest = 4 * window.targetSize + 64;
    for (int s = 0; s < 3; ++s) {
        if (!(window.compressed & (1 << s))) continue;
        std::string reason;
        if (!decoders.decode(s, window.sections[s], window.sectionSizes[s], static_cast<std::size_t>(largest),
                             sections[s], reason))
            return refuse(error, PatchRefusal::Damaged, reason + " (damaged)");
        window.sections[s] = sections[s].data();
        window.sectionSizes[s] = sections[s].size();
    }
    return true;
}

// Every window read and checked against what is known without the source: sizes within
// 2 GiB, segments of the target within what was made before them, compressed sections only
// with a compressor this build reads.
bool inspectVcdiff(const unsigned char* patch, std::size_t size, PatchFacts& facts, PatchError& error) {
    PatchReader reader(patch, size);
    FileHeader header;
    if (!readFileHeader(reader, header, error)) return false;
    std::uint64_t made = 0;
    std::size_t windows = 0;
    bool allChecked = true;
    for (; reader.left() > 0; ++windows) {
        Window window;
        if (!readWindow(reader, window, error) || !checkCompression(header, window, error)) return false;
        if (window.targetSize > static_cast<std::uint64_t>(kMaxRomSize) - made)
            return refuseTooLarge(error, made + window.targetSize);
        if ((window.indicator & kTargetBit) &&
            (window.segmentPosition > made || window.segmentSize > made - window.segmentPosition))
            return refuse(error, PatchRefusal::Damaged, "a window copies from beyond the target made so far (damaged)");
        allChecked = allChecked && (window.indicator & kChecksumBit);
        made += window.targetSize;
    }
    if (windows == 0) return refuseTruncated(error, "its first window");
    facts.windowChecks = allChecked;
    return true;
}

// The address cache of the RFC's section 5.1, cleared at the start of each window.
struct AddressCache {
    std::uint64_t nearAddresses[kNearSlots] = {};
    unsigned nextSlot = 0;
    std::uint64_t sameAddresses[kSameSlots * 256] = {};

    void remember(std::uint64_t address) {
        nearAddresses[nextSlot] = address;
        nextSlot = (nextSlot + 1) % kNearSlots;
        sameAddresses[address % (kSameSlots * 256)] = address;
    }
};

// Decodes a COPY's address in mode, with here the current place in the segment followed by
// the window's target; the address must lie before here.
bool decodeAddress(PatchReader& addresses, AddressCache& cache, unsigned mode, std::uint64_t here,
                   std::uint64_t& address) {
    std::uint64_t value = 0;
    if (mode >= 2 + kNearSlots) {
        unsigned char slot = 0;
        if (!addresses.byte(slot)) return false;
        address = cache.sameAddresses[(mode - 2 - kNearSlots) * 256 + slot];
    } else {
        if (!addresses.vcdiffInteger(value)) return false;
        if (mode == kSelfMode) address = value;
        else if (mode == kHereMode) address = here - value;
        else address = cache.nearAddresses[mode - 2] + value;
        if (mode == kHereMode && value > here) return false;
    }
    cache.remember(address);
    return address < here;
}

// The bytes a window decodes into: the segment it copies from, and its own target.
struct WindowBytes {
    const unsigned char* segment;
    std::uint64_t segmentSize;
    unsigned char* target;
};

// Copies size bytes from address in the segment followed by the target to the target at
// written. A copy from the target may overlap what it writes, and then repeats it.
void copyBytes(const WindowBytes& bytes, std::uint64_t address, std::uint64_t written, std::uint64_t size) {
    if (address < bytes.segmentSize) {
        const std::uint64_t fromSegment = bytes.segmentSize - address < size ? bytes.segmentSize - address : size;
        std::memcpy(bytes.target + written, bytes.segment + address, static_cast<std::size_t>(fromSegment));
        written += fromSegment;
        size -= fromSegment;
        address = bytes.segmentSize;
    }
    std::uint64_t from = address - bytes.segmentSize;
    while (size > 0) {
        const std::uint64_t piece = written - from < size ? written - from : size;
        std::memcpy(bytes.target + written, bytes.target + from, static_cast<std::size_t>(piece));
        written += piece;
        from += piece;
        size -= piece;
    }
}

// Carries out one half of an instruction at written; false when the patch is inconsistent.
bool execute(const Half& half, PatchReader& instructions, PatchReader& data, PatchReader& addresses,
             AddressCache& cache, const WindowBytes& bytes, std::uint64_t targetSize, std::uint64_t& written) {
    std::uint64_t size = half.size;
    if (size == 0 && !instructions.vcdiffInteger(size)) return false;
    if (size > targetSize - written) return false;
    const unsigned char* from = nullptr;
    std::uint64_t address = 0;
    switch (half.type) {
    case Add:
        if (!data.bytes(static_cast<std::size_t>(size), from)) return false;
        if (size > 0) std::memcpy(bytes.target + written, from, static_cast<std::size_t>(size));
        break;
    case Run:
        if (!data.bytes(1, from)) return false;
        std::memset(bytes.target + written, *from, static_cast<std::size_t>(size));
        break;
    case Copy:
        if (!decodeAddress(addresses, cache, half.mode, bytes.segmentSize + written, address)) return false;
        copyBytes(bytes, address, written, size);
        break;
    }
    written += size;
    return true;
}

// Decodes a window's instructions into its target, which they must fill exactly.
bool decodeWindow(const Window& window, const WindowBytes& bytes, PatchError& error) {
    PatchReader data(window.sections[Data], window.sectionSizes[Data]);
    PatchReader instructions(window.sections[Instructions], window.sectionSizes[Instructions]);
    PatchReader addresses(window.sections[Addresses], window.sectionSizes[Addresses]);
    AddressCache cache;
    std::uint64_t written = 0;
    while (instructions.left() > 0) {
        unsigned char index = 0;
        instructions.byte(index);
        const Code& code = kCodeTable[index];
        for (const Half* half : {&code.first, &code.second})
            if (half->type != Noop &&
                !execute(*half, instructions, data, addresses, cache, bytes, window.targetSize, written))
                return refuse(error, PatchRefusal::Damaged, "a window's instructions are inconsistent (damaged)");
    }
    if (written != window.targetSize)
        return refuse(error, PatchRefusal::Damaged, "a window's instructions do not fill it (damaged)");
    return true;
}

// The segment a window copies from: part of the source, or of the target made so far.
bool windowSegment(const Window& window, const unsigned char* source, std::size_t sourceSize,
                   const unsigned char* made, WindowBytes& bytes, PatchError& error) {
    bytes.segmentSize = window.segmentSize;
    bytes.segment = (window.indicator & kTargetBit) ? made + window.segmentPosition : source;
    if (!(window.indicator & kSourceBit)) return true;
    if (window.segmentPosition > sourceSize || window.segmentSize > sourceSize - window.segmentPosition)
        return refuse(error, PatchRefusal::OtherRom,
                      "it copies from beyond the end of this ROM (" + std::to_string(sourceSize) +
                          " bytes): it is for a larger one");
    bytes.segment = source + window.segmentPosition;
    return true;
}

// Decodes every window in turn and checks each one's Adler-32 as soon as it is made.
bool applyVcdiff(const unsigned char* source, std::size_t sourceSize, const unsigned char* patch, std::size_t size,
                 RomImageBuffer& target, PatchError& error) {
    PatchFacts facts;
    if (!inspectVcdiff(patch, size, facts, error)) return false;
    std::uint64_t total = 0;
    PatchReader reader(patch, size);
    FileHeader header;
    readFileHeader(reader, header, error);
    for (PatchReader counter = reader; counter.left() > 0;) {
        Window window;
        readWindow(counter, window, error);
        total += window.targetSize;
    }
    if (!allocateResult(target, total, error)) return false;
    SecondaryDecoders decoders(header.compressor);
    std::vector<unsigned char> sections[3];
    for (std::uint64_t made = 0; reader.left() > 0;) {
        Window window;
        WindowBytes bytes{nullptr, 0, target.bytes() + made};
        readWindow(reader, window, error);
        if (!decompressSections(window, decoders, sections, error)) return false;
        if (!windowSegment(window, source, sourceSize, target.bytes(), bytes, error)) return false;
        if (!decodeWindow(window, bytes, error)) return false;
        if ((window.indicator & kChecksumBit) &&
            adler32Of(bytes.target, static_cast<std::size_t>(window.targetSize)) != window.checksum)
            return refuse(error, PatchRefusal::OtherRom, kChecksumsFailText);
        made += window.targetSize;
    }
    return true;
}

} // namespace

const PatchFormatReader& vcdiffFormat() {
    static const PatchFormatReader format = {PatchFormat::Vcdiff, inspectVcdiff, applyVcdiff};
    return format;
}
