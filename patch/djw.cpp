// djw, xdelta3's static Huffman coding of a section: up to 8 code tables, each chosen for a
// sector of the output by a selector. Bits are taken from each byte lowest first; a number
// of n bits comes most significant bit first, and so does a Huffman code. The stream holds:
// the number of tables less one (3 bits); with more than one, the sector size (5 bits,
// (value + 1) * 5 bytes); the code lengths of the tables, themselves coded (below); with
// more than one table, the selector code lengths (3 bits each for tables + 1 symbols) and
// the selectors; then the bytes, each in its sector's code.
//
// Code lengths and selectors are move-to-front coded with runs: symbols 0 and 1 (RUN_0,
// RUN_1) add (symbol + 1) << k to a repeat count of the front value (k counting the run's
// symbols), a symbol s >= 2 brings position s - 1 to the front and emits it. The code
// lengths of the first table are all coded; those of the others only where the table before
// has a length (an unused byte has none in any table).
#include <cstdint>
#include <cstring>

#include "patch/secondary.h"

namespace {

const unsigned kAlphabet = 256;
const unsigned kMaxGroups = 8;
const unsigned kMaxCodeLength = 20;       // a byte's code
const unsigned kLengthCodes = 22;         // RUN_0, RUN_1, then move-to-front positions 1-20
const unsigned kMaxLengthCodeLength = 15; // a code length's code
const unsigned kMaxSelectorCodeLength = 7;
const unsigned kBasicLengthCodes = 7;     // always given: RUN_0, RUN_1 and the first five
// The first move-to-front order of code lengths: 0, the five most common, then the rest.
const unsigned char kFirstLengthOrder[21] = {0, 4, 5, 6, 7, 8, 9, 10, 3, 11, 2, 12, 13, 1, 14, 15, 16, 17, 18, 19, 20};

// The section's bits, lowest bit of each byte first.
class Bits {
public:
    Bits(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    bool bit(unsigned& value) {
        if (mask_ == 0x100) {
            if (next_ == size_) return false;
            byte_ = bytes_[next_++];
            mask_ = 1;
        }
        value = (byte_ & mask_) ? 1 : 0;
        mask_ <<= 1;
        return true;
    }
    // A number of count bits, most significant first.
    bool number(unsigned count, unsigned& value) {
        value = 0;
        for (unsigned i = 0, b = 0; i < count; ++i) {
            if (!bit(b)) return false;
            value = value << 1 | b;
        }
        return true;
    }
    bool allUsed() const { return next_ == size_; }

private:
    const unsigned char* bytes_;
    std::size_t size_;
    std::size_t next_ = 0;
    unsigned byte_ = 0;
    unsigned mask_ = 0x100;
};

// A canonical Huffman code read from its code lengths: codes of one length are consecutive,
// shorter lengths first, symbols of one length in their order.
struct Code {
    unsigned maxLength = 0;
    std::int64_t firstCode[kMaxCodeLength + 2] = {}; // the first code of each length
    unsigned count[kMaxCodeLength + 2] = {};          // how many codes have each length
    unsigned before[kMaxCodeLength + 2] = {};         // how many symbols have shorter codes
    unsigned char symbols[kAlphabet] = {};            // the symbols in code order
    unsigned used = 0;

    // False when the lengths promise more codes than there are (a table that lies).
    bool build(const unsigned char* lengths, unsigned size) {
        std::memset(count, 0, sizeof count);
        maxLength = 0;
        used = 0;
        for (unsigned s = 0; s < size; ++s) {
            count[lengths[s]]++;
            if (lengths[s] > maxLength) maxLength = lengths[s];
        }
        std::int64_t code = 0;
        unsigned place = 0;
        for (unsigned length = 1; length <= maxLength; ++length) {
            if (length > 1) code = (code + count[length - 1]) << 1;
            firstCode[length] = code;
            before[length] = place;
            place += count[length];
        }
        if (maxLength > 0 && firstCode[maxLength] + count[maxLength] > (std::int64_t(1) << maxLength)) return false;
        for (unsigned length = 1; length <= maxLength; ++length)
            for (unsigned s = 0; s < size; ++s)
                if (lengths[s] == length) symbols[used++] = static_cast<unsigned char>(s);
        return true;
    }

    // Reads one symbol; false when the bits end or match no code of the table.
    bool read(Bits& bits, unsigned& symbol) const {
        std::int64_t code = 0;
        for (unsigned length = 1; length <= maxLength; ++length) {
            unsigned b = 0;
            if (!bits.bit(b)) return false;
            code = code << 1 | b;
            if (code - firstCode[length] < count[length]) {
                symbol = symbols[before[length] + static_cast<unsigned>(code - firstCode[length])];
                return true;
            }
        }
        return false;
    }
};

// Values coded move-to-front with runs (code lengths, selectors): count values into values,
// front being the move-to-front order of size entries. With skipFrom, a value at n >=
// skipFrom is 0 without being coded where the value skipFrom before it is 0.
bool readMoveToFront(Bits& bits, const Code& code, unsigned char* front, unsigned size, unsigned char* values,
                     std::size_t count, std::size_t skipFrom) {
    std::size_t repeat = 0;
    unsigned shift = 0;
    for (std::size_t n = 0; n < count;) {
        if (skipFrom != 0 && n >= skipFrom && values[n - skipFrom] == 0) {
            values[n++] = 0;
            continue;
        }
        if (repeat > 0) {
            values[n++] = front[0];
            --repeat;
            continue;
        }
        unsigned symbol = 0;
        if (!code.read(bits, symbol)) return false;
        if (symbol <= 1) { // RUN_0 or RUN_1: adds to the repeat count of the front value
            if (shift > 30) return false;
            repeat = std::size_t(symbol + 1) << shift++;
            if (repeat > count - n) return false;
            continue;
        }
        shift = 0;
        const unsigned position = symbol - 1;
        if (position >= size) return false;
        const unsigned char value = front[position];
        std::memmove(front + 1, front, position);
        front[0] = value;
        values[n++] = value;
    }
    return repeat == 0;
}

// The code lengths of every table: first the code of the code lengths (how many of its own
// lengths beyond the basic seven are given, 4 bits; each length, 4 bits), then the lengths.
bool readTables(Bits& bits, unsigned groups, Code* tables) {
    unsigned extra = 0, value = 0;
    unsigned char lengthLengths[kLengthCodes] = {};
    if (!bits.number(4, extra)) return false;
    for (unsigned i = 0; i < kBasicLengthCodes + extra; ++i) {
        if (!bits.number(4, value)) return false;
        lengthLengths[i] = static_cast<unsigned char>(value);
    }
    Code lengthCode;
    if (!lengthCode.build(lengthLengths, kLengthCodes)) return false;
    unsigned char front[sizeof kFirstLengthOrder];
    std::memcpy(front, kFirstLengthOrder, sizeof front);
    unsigned char lengths[kMaxGroups * kAlphabet];
    if (!readMoveToFront(bits, lengthCode, front, sizeof front, lengths, groups * kAlphabet, kAlphabet)) return false;
    for (unsigned g = 0; g < groups; ++g)
        if (!tables[g].build(lengths + g * kAlphabet, kAlphabet)) return false;
    return true;
}

// The table of each sector: the selector code (3 bits for each of groups + 1 symbols), then
// the selectors, move-to-front coded from the order 0, 1, 2...
bool readSelectors(Bits& bits, unsigned groups, std::vector<unsigned char>& selectors) {
    unsigned char lengths[kMaxGroups + 1] = {};
    unsigned char front[kMaxGroups] = {};
    for (unsigned g = 0, value = 0; g < groups + 1; ++g) {
        if (!bits.number(3, value)) return false;
        lengths[g] = static_cast<unsigned char>(value);
    }
    for (unsigned g = 0; g < groups; ++g) front[g] = static_cast<unsigned char>(g);
    Code code;
    return code.build(lengths, groups + 1) &&
           readMoveToFront(bits, code, front, groups, selectors.data(), selectors.size(), 0);
}

} // namespace

// kMaxSelectorCodeLength and kMaxLengthCodeLength are the widths the 3- and 4-bit fields
// allow; the byte codes' lengths come from the move-to-front order, 20 at most.
bool decodeDjw(const unsigned char* in, std::size_t inSize, unsigned char* out, std::size_t outSize,
               std::string& reason) {
    static_assert(kMaxSelectorCodeLength == 7 && kMaxLengthCodeLength == 15, "field widths");
    reason = "a djw-compressed section does not decode";
    Bits bits(in, inSize);
    unsigned groups = 0, sectorSize = 0;
    if (outSize == 0 || !bits.number(3, groups)) return false;
    ++groups;
    if (groups > 1 && !bits.number(5, sectorSize)) return false;
    const std::size_t sector = groups > 1 ? (sectorSize + 1) * 5 : outSize;
    Code tables[kMaxGroups];
    if (!readTables(bits, groups, tables)) return false;
    std::vector<unsigned char> selectors(groups > 1 ? 1 + (outSize - 1) / sector : 1, 0);
    if (groups > 1 && !readSelectors(bits, groups, selectors)) return false;
    for (std::size_t at = 0, s = 0; at < outSize; ++s) {
        const Code& table = tables[selectors[s]];
        for (const std::size_t end = at + sector < outSize ? at + sector : outSize; at < end; ++at) {
            unsigned symbol = 0;
            if (!table.read(bits, symbol)) return false;
            out[at] = static_cast<unsigned char>(symbol);
        }
    }
    if (!bits.allUsed()) reason = "a djw-compressed section has bytes left over";
    return bits.allUsed();
}
