#include "patch/delta_parse.h"

#include <cstdint>
#include <cstring>
#include <thread>

namespace {

const std::size_t kWindow = 8;         // bytes hashed: copies of 11 bytes and more are found
const std::size_t kShortestFar = 10;   // a copy found through a table: its distance costs bytes
const std::size_t kOriginalStep = 4;   // the original is indexed at every fourth position
const std::size_t kModifiedStep = 4;
const std::size_t kShortestSame = 4;   // a copy from the same position, cheapest of all
const std::size_t kShortestFollow = 8; // the continuation of the last copy
const std::size_t kGoodEnough = 64;    // a copy this long is taken without looking further
const unsigned kMostTableBits = 22;   // buckets: 4 slots of 4 bytes each, 64 MiB at most
const std::size_t kAhead = 64;        // bytes ahead whose bucket is fetched while one is added
const std::size_t kLookAhead = 8;     // the same among literal bytes, which are looked up

std::uint64_t load64(const unsigned char* p) {
    std::uint64_t value;
    std::memcpy(&value, p, 8);
    return value;
}

// How many bytes from a and b agree, up to limit; 8 at a time.
std::size_t agreeing(const unsigned char* a, const unsigned char* b, std::size_t limit) {
    std::size_t n = 0;
    while (n + 8 <= limit && load64(a + n) == load64(b + n)) n += 8;
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

// Whether a word of text starts at p: a letter after a space or a line end. Text is where a
// hack rewrites most (translations), and where copies are short and start anywhere: such
// places are indexed besides every fourth position.
bool wordStart(const unsigned char* bytes, std::size_t p) {
    const unsigned char c = bytes[p] | 0x20;
    return p > 0 && (bytes[p - 1] == ' ' || bytes[p - 1] == '\n') && c >= 'a' && c <= 'z';
}

// A table of positions by the hash of the 8 bytes there, kWays to a bucket; 0 is empty,
// else position + 1. The first positions of a hash are kept: repeated bytes keep their
// earliest places, and a copy may be taken from the one that agrees longest.
class PositionTable {
public:
    explicit PositionTable(std::size_t positions) {
        unsigned bits = 10;
        while (bits < kMostTableBits && (std::size_t(kWays) << bits) < positions * 2) ++bits;
        shift_ = 64 - bits;
        slots_.assign(std::size_t(kWays) << bits, 0);
    }
    // The first slot of the bucket of the 8 bytes at p.
    std::size_t bucket(const unsigned char* p) const {
        const std::uint64_t h = load64(p) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>((h ^ (h >> 29)) * 0xFF51AFD7ED558CCDull >> shift_) * kWays;
    }
    void add(const unsigned char* bytes, std::size_t position) {
        const std::size_t first = bucket(bytes + position);
        for (std::size_t way = 0; way < kWays; ++way)
            if (slots_[first + way] == 0) {
                slots_[first + way] = static_cast<std::uint32_t>(position + 1);
                return;
            }
    }
    // Adds every step-th position of bytes[0, size) that has a whole window, and word starts
    // when asked, in order. Each add waits for its bucket to come from memory: the bucket of
    // the position kAhead bytes on is asked for first, so that the waits overlap.
    void addAll(const unsigned char* bytes, std::size_t size, std::size_t step, bool wordStarts) {
        for (std::size_t p = 0; p + kWindow <= size; ++p) {
            if (p % step) {
                if (wordStarts && wordStart(bytes, p)) add(bytes, p);
                continue;
            }
            if (p + kAhead + kWindow <= size) prefetch(bytes + p + kAhead);
            add(bytes, p);
        }
    }
    // Asks for the bucket of the 8 bytes at p to be brought into the cache.
    void prefetch(const unsigned char* p) const { __builtin_prefetch(&slots_[bucket(p)], 1); }
    // The position kept in slot, or -1.
    long long find(std::size_t slot) const { return static_cast<long long>(slots_[slot]) - 1; }

    static const std::size_t kWays = 4;

private:
    std::vector<std::uint32_t> slots_;
    unsigned shift_ = 54;
};

// The best copy found for one position.
struct Copy {
    DeltaPiece::Kind kind = DeltaPiece::Literal;
    std::size_t from = 0;
    std::size_t length = 0;
    std::size_t gain = 0; // bytes saved against literal bytes, roughly (BPS's costs)
};

// The parse's state as it walks the modified image.
class Parser {
public:
    Parser(const unsigned char* original, std::size_t originalSize, const unsigned char* modified,
           std::size_t modifiedSize, std::vector<DeltaPiece>& pieces)
        : original_(original), originalSize_(originalSize), modified_(modified), modifiedSize_(modifiedSize),
          pieces_(pieces), originalTable_(originalSize / kOriginalStep), modifiedTable_(modifiedSize / kModifiedStep) {
        // The two tables are filled at once, on two threads. The modified image's is filled
        // whole: its slots keep the first positions of each hash, so a copy considered at a
        // position sees in them what a table filled up to there would hold, and those at or
        // past it are passed over.
        std::thread other([&] { modifiedTable_.addAll(modified, modifiedSize, kModifiedStep, false); });
        originalTable_.addAll(original, originalSize, kOriginalStep, true);
        other.join();
    }

    void run();

private:
    Copy bestAt(std::size_t at) const;
    void consider(Copy& best, DeltaPiece::Kind kind, long long from, std::size_t at) const;
    void take(Copy copy, std::size_t at);
    std::size_t costOf(DeltaPiece::Kind kind, std::size_t from, std::size_t at) const;

    const unsigned char* original_;
    std::size_t originalSize_;
    const unsigned char* modified_;
    std::size_t modifiedSize_;
    std::vector<DeltaPiece>& pieces_;
    PositionTable originalTable_;
    PositionTable modifiedTable_;
    std::size_t literalStart_ = 0;
    std::size_t follow_ = 0;      // where the last copy from the original ended
    std::size_t followModified_ = 0; // where the last copy from the modified image ended
};

// What a copy from from costs in the patch, roughly: its action, and the distance from where
// the last copy of its kind ended, as BPS writes it (a copy from the same place has none).
std::size_t Parser::costOf(DeltaPiece::Kind kind, std::size_t from, std::size_t at) const {
    if (kind == DeltaPiece::FromOriginal && from == at) return 1;
    const std::size_t last = kind == DeltaPiece::FromOriginal ? follow_ : followModified_;
    std::uint64_t distance = 2 * std::uint64_t(from > last ? from - last : last - from);
    std::size_t bytes = 2;
    while (distance >>= 7) ++bytes;
    return bytes;
}

// A candidate copy of the bytes at at, kept when it saves more than best.
void Parser::consider(Copy& best, DeltaPiece::Kind kind, long long from, std::size_t at) const {
    if (from < 0) return;
    const std::size_t start = static_cast<std::size_t>(from);
    const bool fromOriginal = kind == DeltaPiece::FromOriginal;
    if (fromOriginal ? start >= originalSize_ : start >= at) return;
    const unsigned char* bytes = fromOriginal ? original_ : modified_;
    std::size_t limit = modifiedSize_ - at;
    if (fromOriginal && originalSize_ - start < limit) limit = originalSize_ - start;
    const std::size_t length = agreeing(bytes + start, modified_ + at, limit);
    const std::size_t cost = costOf(kind, start, at);
    if (length > cost && length - cost > best.gain) best = {kind, start, length, length - cost};
}

// The longest of the copies tried; cheap ones first, the tables only when they fall short.
Copy Parser::bestAt(std::size_t at) const {
    Copy best;
    consider(best, DeltaPiece::FromOriginal, static_cast<long long>(at), at);
    if (best.length < kShortestSame) best = Copy();
    if (best.length < kGoodEnough && follow_ != at) {
        Copy followed;
        consider(followed, DeltaPiece::FromOriginal, static_cast<long long>(follow_), at);
        if (followed.length >= kShortestFollow && followed.gain > best.gain) best = followed;
    }
    if (best.length >= kGoodEnough || at + kWindow > modifiedSize_) return best;
    const std::size_t inOriginal = originalTable_.bucket(modified_ + at);
    const std::size_t inModified = modifiedTable_.bucket(modified_ + at);
    Copy found;
    for (std::size_t way = 0; way < PositionTable::kWays; ++way) {
        consider(found, DeltaPiece::FromOriginal, originalTable_.find(inOriginal + way), at);
        consider(found, DeltaPiece::FromModified, modifiedTable_.find(inModified + way), at);
    }
    if (found.length >= kShortestFar && found.gain > best.gain) best = found;
    return best;
}

// Takes a copy at at, first extended backwards over the literal bytes before it.
void Parser::take(Copy copy, std::size_t at) {
    const unsigned char* bytes = copy.kind == DeltaPiece::FromOriginal ? original_ : modified_;
    while (at > literalStart_ && copy.from > 0 && bytes[copy.from - 1] == modified_[at - 1])
        --at, --copy.from, ++copy.length;
    if (at > literalStart_) pieces_.push_back({DeltaPiece::Literal, literalStart_, at - literalStart_, 0});
    pieces_.push_back({copy.kind, at, copy.length, copy.from});
    if (copy.kind == DeltaPiece::FromOriginal) follow_ = copy.from + copy.length;
    else followModified_ = copy.from + copy.length;
    literalStart_ = at + copy.length;
}

void Parser::run() {
    for (std::size_t at = 0; at < modifiedSize_;) {
        const Copy copy = bestAt(at);
        if (copy.kind == DeltaPiece::Literal) {
            // Among literal bytes every position is looked up: the buckets a few on are
            // asked for now.
            if (at + kLookAhead + kWindow <= modifiedSize_) {
                originalTable_.prefetch(modified_ + at + kLookAhead);
                modifiedTable_.prefetch(modified_ + at + kLookAhead);
            }
            ++at;
            continue;
        }
        take(copy, at);
        at = literalStart_;
    }
    if (modifiedSize_ > literalStart_)
        pieces_.push_back({DeltaPiece::Literal, literalStart_, modifiedSize_ - literalStart_, 0});
}

} // namespace

void parseDelta(const unsigned char* original, std::size_t originalSize, const unsigned char* modified,
                std::size_t modifiedSize, std::vector<DeltaPiece>& pieces) {
    pieces.clear();
    Parser(original, originalSize, modified, modifiedSize, pieces).run();
}
