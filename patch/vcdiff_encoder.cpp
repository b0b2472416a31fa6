// The VCDIFF encoder, written as xdelta3 -d reads it: the delta parse cut into windows of
// at most 8 MiB of the modified image, each naming the part of the original its copies read
// (VCD_SOURCE) and carrying xdelta3's Adler-32 of its target, so that the order it was made
// for can be found when it is applied. Instructions are single ADDs and COPYs of the RFC's
// default code table; each COPY's address takes the shortest of its modes (self, here, the
// near and same caches, kept as the decoder keeps them).
#include <algorithm>

#include "patch/adler32.h"
#include "patch/delta_parse.h"
#include "patch/make_patch.h"
#include "patch/patch_writer.h"

namespace {

const std::size_t kWindowSize = std::size_t(8) << 20;
const unsigned char kSourceBit = 0x01;
const unsigned char kChecksumBit = 0x04;
const unsigned kNearSlots = 4;
const unsigned kSameSlots = 3;

// The address cache of RFC 3284 section 5.1, with the choice of the shortest mode.
class AddressEncoder {
public:
    // Writes address (here being the current place in segment + target) to addresses and
    // gives the mode its COPY takes.
    unsigned put(std::uint64_t address, std::uint64_t here, PatchBytes& addresses) {
        unsigned mode = 0;
        std::uint64_t value = address;
        if (here - address < value) mode = 1, value = here - address;
        for (unsigned i = 0; i < kNearSlots; ++i)
            if (address >= near_[i] && address - near_[i] < value) mode = 2 + i, value = address - near_[i];
        const std::size_t slot = address % (kSameSlots * 256);
        if (same_[slot] == address && sizeOf(value) > 1) {
            addresses.push_back(static_cast<unsigned char>(slot % 256));
            mode = 2 + kNearSlots + static_cast<unsigned>(slot / 256);
        } else {
            putVcdiffInteger(addresses, value);
        }
        near_[next_] = address;
        next_ = (next_ + 1) % kNearSlots;
        same_[slot] = address;
        return mode;
    }

private:
    static std::size_t sizeOf(std::uint64_t value) {
        std::size_t n = 1;
        while (value >>= 7) ++n;
        return n;
    }
    std::uint64_t near_[kNearSlots] = {};
    unsigned next_ = 0;
    std::uint64_t same_[kSameSlots * 256] = {};
};

// One window's three sections, filled piece by piece.
struct WindowSections {
    PatchBytes data, instructions, addresses;
    AddressEncoder cache;
};

// ADD of bytes: code 1 + size for sizes 1-17, else code 1 and the size.
void putAdd(WindowSections& w, const unsigned char* bytes, std::size_t size) {
    if (size <= 17) w.instructions.push_back(static_cast<unsigned char>(1 + size));
    else w.instructions.push_back(1), putVcdiffInteger(w.instructions, size);
    w.data.insert(w.data.end(), bytes, bytes + size);
}

// COPY of size bytes from address: code 19 + 16 * mode, plus size - 3 for sizes 4-18.
void putCopy(WindowSections& w, std::uint64_t address, std::uint64_t here, std::size_t size) {
    const unsigned mode = w.cache.put(address, here, w.addresses);
    const unsigned code = 19 + 16 * mode;
    if (size >= 4 && size <= 18) w.instructions.push_back(static_cast<unsigned char>(code + size - 3));
    else w.instructions.push_back(static_cast<unsigned char>(code)), putVcdiffInteger(w.instructions, size);
}

// A window's part of the pieces: [start, end) of the modified image.
struct WindowSpan {
    std::size_t start, end;
};

// The part of the original the window's copies read: [first, last); empty when none.
void segmentOf(const std::vector<DeltaPiece>& pieces, const WindowSpan& span, std::size_t& first, std::size_t& last) {
    first = SIZE_MAX, last = 0;
    for (const DeltaPiece& p : pieces) {
        if (p.kind != DeltaPiece::FromOriginal || p.position + p.length <= span.start || p.position >= span.end) continue;
        const std::size_t skip = p.position < span.start ? span.start - p.position : 0;
        const std::size_t end = std::min(p.position + p.length, span.end);
        first = std::min(first, p.from + skip);
        last = std::max(last, p.from + (end - p.position));
    }
    if (first == SIZE_MAX) first = 0;
}

// The window's instructions, each piece cut to the window; a copy from the modified image
// made before the window becomes an ADD, since a window reads only its own target.
void putWindowPieces(const PatchSource& source, const std::vector<DeltaPiece>& pieces, const WindowSpan& span,
                     std::size_t segmentStart, std::size_t segmentSize, WindowSections& w) {
    for (const DeltaPiece& p : pieces) {
        if (p.position + p.length <= span.start || p.position >= span.end) continue;
        const std::size_t start = std::max(p.position, span.start);
        const std::size_t size = std::min(p.position + p.length, span.end) - start;
        const std::size_t from = p.from + (start - p.position);
        const std::uint64_t here = segmentSize + (start - span.start);
        if (p.kind == DeltaPiece::FromOriginal) putCopy(w, from - segmentStart, here, size);
        else if (p.kind == DeltaPiece::FromModified && from >= span.start)
            putCopy(w, segmentSize + (from - span.start), here, size);
        else putAdd(w, source.modified + start, size);
    }
}

// One window: its indicator, segment, and delta encoding with the Adler-32 of its target.
void putWindow(const PatchSource& source, const std::vector<DeltaPiece>& pieces, const WindowSpan& span,
               PatchBytes& patch) {
    std::size_t first = 0, last = 0;
    segmentOf(pieces, span, first, last);
    const std::size_t segmentSize = last > first ? last - first : 0;
    WindowSections w;
    putWindowPieces(source, pieces, span, first, segmentSize, w);
    PatchBytes encoding;
    putVcdiffInteger(encoding, span.end - span.start);
    encoding.push_back(0); // no section compressed
    putVcdiffInteger(encoding, w.data.size());
    putVcdiffInteger(encoding, w.instructions.size());
    putVcdiffInteger(encoding, w.addresses.size());
    putBigEndian(encoding, adler32Of(source.modified + span.start, span.end - span.start), 4);
    patch.push_back(segmentSize > 0 ? kSourceBit | kChecksumBit : kChecksumBit);
    if (segmentSize > 0) putVcdiffInteger(patch, segmentSize), putVcdiffInteger(patch, first);
    putVcdiffInteger(patch, encoding.size() + w.data.size() + w.instructions.size() + w.addresses.size());
    patch.insert(patch.end(), encoding.begin(), encoding.end());
    for (const PatchBytes* section : {&w.data, &w.instructions, &w.addresses})
        patch.insert(patch.end(), section->begin(), section->end());
}

} // namespace

// The header (magic, version 0, no secondary compressor, code table or application data),
// then the windows; an empty modified image still has one, empty.
void makeVcdiff(const PatchSource& source, std::vector<unsigned char>& patch) {
    std::vector<DeltaPiece> pieces;
    parseDelta(source.original, source.originalSize, source.modified, source.modifiedSize, pieces);
    patch = {0xD6, 0xC3, 0xC4, 0x00, 0x00};
    std::size_t start = 0;
    do {
        const std::size_t end = std::min(start + kWindowSize, source.modifiedSize);
        putWindow(source, pieces, {start, end}, patch);
        start = end;
    } while (start < source.modifiedSize);
}
