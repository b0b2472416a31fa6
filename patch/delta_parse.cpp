#include "patch/delta_parse.h"

#include <cstdint>
#include <cstring>
#include <exception>
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
const std::size_t kStretch = 4096;    // most positions weighed at once between long copies
const std::size_t kWordKey = 12;      // bytes hashed at word starts, for longer copies of text
const std::size_t kShortest = 4;      // no copy shorter than this saves a byte
const std::size_t kOptions = 16;      // copies kept for one position of a stretch
const std::size_t kParsedInHalves = std::size_t(1) << 20; // images this large: two halves at once
const std::size_t kQuiet = 64;        // after this many positions without a copy, new bytes: only
const std::size_t kQuietStep = 5;     // every fifth is looked up (a copy found is moved back)
const std::size_t kLengthsTried = 64; // a longer copy is weighed at this length and its own

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
    explicit PositionTable(std::size_t positions, std::size_t keyBytes = kWindow) : keyBytes_(keyBytes) {
        unsigned bits = 10;
        while (bits < kMostTableBits && (std::size_t(kWays) << bits) < positions * 2) ++bits;
        shift_ = 64 - bits;
        slots_.assign(std::size_t(kWays) << bits, 0);
    }
    // The first slot of the bucket of the 8 bytes at p.
    std::size_t bucket(const unsigned char* p) const {
        std::uint64_t h = load64(p) * 0x9E3779B97F4A7C15ull;
        if (keyBytes_ > 8) h ^= load64(p + keyBytes_ - 8) * 0xC2B2AE3D27D4EB4Full;
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
    // Adds the word starts of bytes[0, size) that have a whole key, in order.
    void addWordStarts(const unsigned char* bytes, std::size_t size) {
        for (std::size_t p = 0; p + keyBytes_ <= size; ++p)
            if (wordStart(bytes, p)) add(bytes, p);
    }
    // Asks for the bucket of the 8 bytes at p to be brought into the cache.
    void prefetch(const unsigned char* p) const { __builtin_prefetch(&slots_[bucket(p)], 1); }
    // The position kept in slot, or -1.
    long long find(std::size_t slot) const { return static_cast<long long>(slots_[slot]) - 1; }

    static const std::size_t kWays = 4;

private:
    std::vector<std::uint32_t> slots_;
    unsigned shift_ = 54;
    std::size_t keyBytes_; // the bytes hashed: kWindow, or more for the table of word starts
};

// The best copy found for one position.
struct Copy {
    DeltaPiece::Kind kind = DeltaPiece::Literal;
    std::size_t from = 0;
    std::size_t length = 0;
    std::size_t gain = 0; // bytes saved against literal bytes, roughly (BPS's costs)
};

// How many bytes BPS takes to write value (7 bits a byte, each byte after the first one more).
std::size_t numberBytes(std::uint64_t value) {
    std::size_t bytes = 1;
    while ((value >>= 7) != 0) {
        --value;
        ++bytes;
    }
    return bytes;
}

// A copy that may start at one position of a stretch (length 0: none).
struct Option {
    DeltaPiece::Kind kind = DeltaPiece::Literal;
    std::size_t from = 0;
    std::size_t length = 0;
};

// The options of one position of a stretch.
struct Options {
    Option each[kOptions];
    std::size_t count = 0;
    void add(const Option& option) {
        if (count < kOptions) each[count++] = option;
    }
};

// The length of the longest of options.
std::size_t longestOption(const Options& options) {
    std::size_t longest = 0;
    for (std::size_t k = 0; k < options.count; ++k)
        if (options.each[k].length > longest) longest = options.each[k].length;
    return longest;
}

// The cheapest way found to write a stretch up to one position: its cost in patch bytes, the
// last piece (length 0: a literal byte) and where the last copies of each kind ended.
struct Step {
    std::uint64_t cost = ~std::uint64_t(0);
    Option piece;
    bool literal = false; // the way ends with a literal byte (piece unused)
    std::size_t originalEnd = 0;
    std::size_t modifiedEnd = 0;
};

// The images and their tables, read by the parsers of each half of the modified image.
struct DeltaIndex {
    DeltaIndex(const unsigned char* original, std::size_t originalSize, const unsigned char* modified,
               std::size_t modifiedSize)
        : original(original), originalSize(originalSize), modified(modified), modifiedSize(modifiedSize),
          originalTable(originalSize / kOriginalStep), modifiedTable(modifiedSize / kModifiedStep),
          wordTable(originalSize / 16, kWordKey) {
        // The tables are filled at once, on two threads. The modified image's is filled
        // whole: its slots keep the first positions of each hash, so a copy considered at a
        // position sees in them what a table filled up to there would hold, and those at or
        // past it are passed over.
        std::thread other([&] {
            modifiedTable.addAll(modified, modifiedSize, kModifiedStep, false);
            wordTable.addWordStarts(original, originalSize);
        });
        originalTable.addAll(original, originalSize, kOriginalStep, true);
        other.join();
    }

    const unsigned char* original;
    std::size_t originalSize;
    const unsigned char* modified;
    std::size_t modifiedSize;
    PositionTable originalTable; // every fourth position of the original and its word starts
    PositionTable modifiedTable; // every fourth position of the modified image
    PositionTable wordTable;     // the original's word starts, by longer keys
};

// The parse's state as it walks the modified image from begin to end.
class Parser {
public:
    Parser(const DeltaIndex& index, std::size_t begin, std::size_t end, std::vector<DeltaPiece>& pieces)
        : original_(index.original), originalSize_(index.originalSize), modified_(index.modified),
          modifiedSize_(index.modifiedSize), end_(end), pieces_(pieces), originalTable_(index.originalTable),
          modifiedTable_(index.modifiedTable), wordTable_(index.wordTable), begin_(begin), literalStart_(begin) {}

    void run();

private:
    Copy bestAt(std::size_t at) const;
    std::size_t stretchFrom(std::size_t start);
    void gather(std::size_t at, std::size_t start);
    void addFound(const PositionTable& table, std::size_t bucket, DeltaPiece::Kind kind, std::size_t at,
                  std::size_t start);
    void weigh(std::size_t start, std::size_t end);
    void relax(std::size_t start, std::size_t i, const Option& option, std::size_t length);
    void offer(std::size_t start, std::size_t i, const Option& option, std::size_t left);
    void emit(std::size_t start, std::size_t end);
    void consider(Copy& best, DeltaPiece::Kind kind, long long from, std::size_t at) const;
    void take(Copy copy, std::size_t at);
    std::size_t costOf(DeltaPiece::Kind kind, std::size_t from, std::size_t at) const;

    const unsigned char* original_;
    std::size_t originalSize_;
    const unsigned char* modified_;
    std::size_t modifiedSize_; // the whole image: bytes may be read up to here
    std::size_t end_;          // where this parse stops: copies end here at the latest
    std::vector<DeltaPiece>& pieces_;
    const PositionTable& originalTable_;
    const PositionTable& modifiedTable_;
    const PositionTable& wordTable_;
    std::size_t begin_;
    std::size_t literalStart_;
    std::size_t follow_ = 0;      // where the last copy from the original ended
    std::size_t followModified_ = 0; // where the last copy from the modified image ended
    std::vector<Options> options_;   // a stretch's options, by position from its start
    std::vector<Step> steps_;        // a stretch's cheapest ways, by position from its start
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
    std::size_t limit = end_ - at;
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
    if (copy.kind == DeltaPiece::FromModified) followModified_ = copy.from + copy.length;
    else if (copy.from != at) follow_ = copy.from + copy.length; // a copy in place moves nothing
    literalStart_ = at + copy.length;
}

void Parser::run() {
    for (std::size_t at = begin_; at < end_;) {
        const Copy copy = bestAt(at);
        if (copy.length >= kGoodEnough) {
            take(copy, at);
            at = literalStart_;
            continue;
        }
        at = stretchFrom(at);
    }
    if (end_ > literalStart_) pieces_.push_back({DeltaPiece::Literal, literalStart_, end_ - literalStart_, 0});
}

// Puts the copies the slots of bucket offer for the bytes at at among here's options, each
// also moved back as far as the bytes before it agree (it is found at one place and may
// start earlier), at that earlier position of the stretch.
void Parser::addFound(const PositionTable& table, std::size_t bucket, DeltaPiece::Kind kind, std::size_t at,
                      std::size_t start) {
    const bool fromOriginal = kind == DeltaPiece::FromOriginal;
    const unsigned char* bytes = fromOriginal ? original_ : modified_;
    for (std::size_t way = 0; way < PositionTable::kWays; ++way) {
        const long long found = table.find(bucket + way);
        if (found < 0) continue;
        const std::size_t from = static_cast<std::size_t>(found);
        if (fromOriginal ? from >= originalSize_ : from >= at) continue;
        std::size_t limit = end_ - at;
        if (fromOriginal && originalSize_ - from < limit) limit = originalSize_ - from;
        const std::size_t length = agreeing(bytes + from, modified_ + at, limit);
        if (length < kShortest) continue;
        options_[at - start].add({kind, from, length});
        std::size_t back = 0;
        while (at - back > start && from > back && bytes[from - back - 1] == modified_[at - back - 1]) ++back;
        if (back > 0) options_[at - back - start].add({kind, from - back, length + back});
    }
}

// Puts the copies that may start at at among the stretch's options: from the same place of
// the original, and those the tables offer (the table of word starts at a word start).
void Parser::gather(std::size_t at, std::size_t start) {
    Copy same;
    consider(same, DeltaPiece::FromOriginal, static_cast<long long>(at), at);
    if (same.length >= 2) options_[at - start].add({DeltaPiece::FromOriginal, at, same.length});
    if (at + kWindow > modifiedSize_) return;
    if (at + kLookAhead + kWindow <= modifiedSize_) {
        originalTable_.prefetch(modified_ + at + kLookAhead);
        modifiedTable_.prefetch(modified_ + at + kLookAhead);
    }
    addFound(originalTable_, originalTable_.bucket(modified_ + at), DeltaPiece::FromOriginal, at, start);
    addFound(modifiedTable_, modifiedTable_.bucket(modified_ + at), DeltaPiece::FromModified, at, start);
    if (at + kWordKey <= modifiedSize_ && wordStart(modified_, at))
        addFound(wordTable_, wordTable_.bucket(modified_ + at), DeltaPiece::FromOriginal, at, start);
}

// Weighs the positions from start up to the next long copy (or kStretch of them) as a whole:
// where copies are short, as in rewritten text, the cheapest run of copies and literal bytes
// is found by trying each option at each position, instead of the longest copy first.
// Gives where the parse goes on.
std::size_t Parser::stretchFrom(std::size_t start) {
    if (options_.size() < kStretch) options_.resize(kStretch);
    std::size_t end = start;
    std::size_t quiet = 0; // positions in a row where no copy was found
    while (end < end_ && end - start < kStretch) {
        gather(end, start);
        if (end > start && longestOption(options_[end - start]) >= kGoodEnough) {
            options_[end - start] = Options(); // the long copy is taken after the stretch
            break;
        }
        quiet = options_[end - start].count == 0 ? quiet + 1 : 0;
        end += quiet >= kQuiet ? kQuietStep : 1;
    }
    if (end > end_) end = end_;
    if (end - start > kStretch) end = start + kStretch;
    weigh(start, end);
    emit(start, end);
    for (std::size_t i = 0; i < end - start; ++i) options_[i].count = 0;
    return end;
}

// What writing the distance from last to from costs in BPS: its size, and a bit for the sign.
std::size_t distanceBytes(std::size_t from, std::size_t last) {
    const bool back = from < last;
    return numberBytes(std::uint64_t(back ? last - from : from - last) << 1 | (back ? 1 : 0));
}

// Offers the way from position i of the stretch (start + i) through option cut to length.
void Parser::relax(std::size_t start, std::size_t i, const Option& option, std::size_t length) {
    const Step& before = steps_[i];
    Step next = before;
    next.piece = {option.kind, option.from, length};
    next.literal = false;
    std::uint64_t cost = before.cost + numberBytes(std::uint64_t(length - 1) << 2);
    if (option.kind == DeltaPiece::FromModified) {
        cost += distanceBytes(option.from, before.modifiedEnd);
        next.modifiedEnd = option.from + length;
    } else if (option.from != start + i) {
        cost += distanceBytes(option.from, before.originalEnd);
        next.originalEnd = option.from + length;
    }
    next.cost = cost;
    Step& after = steps_[i + length];
    if (cost < after.cost) after = next;
}

// Offers option at position i at every length that may pay, up to left bytes.
void Parser::offer(std::size_t start, std::size_t i, const Option& option, std::size_t left) {
    const std::size_t longest = option.length < left ? option.length : left;
    const bool inPlace = option.kind == DeltaPiece::FromOriginal && option.from == start + i;
    const std::size_t shortest = inPlace ? 2 : kShortest; // a copy in place costs its action only
    for (std::size_t length = shortest; length <= longest && length <= kLengthsTried; ++length)
        relax(start, i, option, length);
    if (longest > kLengthsTried) relax(start, i, option, longest);
}

// Finds the cheapest way through positions start to end: at each one, a literal byte, each
// copy gathered there at each length, or the continuation of the way's last copy.
void Parser::weigh(std::size_t start, std::size_t end) {
    const std::size_t n = end - start;
    steps_.assign(n + 1, Step());
    steps_[0] = {0, Option(), literalStart_ < start, follow_, followModified_};
    for (std::size_t i = 0; i < n; ++i) {
        Step literal = steps_[i];
        literal.piece = Option();
        literal.cost += literal.literal ? 1 : 2; // a new run of literal bytes costs its action
        literal.literal = true;
        if (literal.cost < steps_[i + 1].cost) steps_[i + 1] = literal;
        for (std::size_t k = 0; k < options_[i].count; ++k) offer(start, i, options_[i].each[k], n - i);
        const std::size_t last = steps_[i].originalEnd;
        if (last != start + i && last < originalSize_) {
            std::size_t limit = end_ - (start + i);
            if (originalSize_ - last < limit) limit = originalSize_ - last;
            const std::size_t length = agreeing(original_ + last, modified_ + start + i, limit);
            offer(start, i, {DeltaPiece::FromOriginal, last, length}, n - i);
        }
    }
}

// Writes the cheapest way found through the stretch as pieces, its literal bytes gathered.
void Parser::emit(std::size_t start, std::size_t end) {
    std::vector<std::pair<std::size_t, Option>> way; // its copies, last first, and where each starts
    for (std::size_t i = end - start; i > 0;) {
        const Step& step = steps_[i];
        i -= step.literal ? 1 : step.piece.length;
        if (!step.literal) way.push_back({start + i, step.piece});
    }
    for (auto it = way.rbegin(); it != way.rend(); ++it) {
        const std::size_t at = it->first;
        if (at > literalStart_) pieces_.push_back({DeltaPiece::Literal, literalStart_, at - literalStart_, 0});
        pieces_.push_back({it->second.kind, at, it->second.length, it->second.from});
        literalStart_ = at + it->second.length;
    }
    follow_ = steps_[end - start].originalEnd;
    followModified_ = steps_[end - start].modifiedEnd;
}

// Whether next goes on where piece ends, as one piece would: literal bytes after literal
// bytes, or a copy from where the other's copy ended.
bool continues(const DeltaPiece& piece, const DeltaPiece& next) {
    return next.kind == piece.kind && next.position == piece.position + piece.length &&
           (piece.kind == DeltaPiece::Literal || next.from == piece.from + piece.length);
}

// Puts the second half's pieces after the first's; where they meet, a piece the other goes on
// with is made one with it.
void joinHalves(std::vector<DeltaPiece>& pieces, const std::vector<DeltaPiece>& second) {
    auto next = second.begin();
    if (!pieces.empty() && next != second.end() && continues(pieces.back(), *next))
        pieces.back().length += (next++)->length;
    pieces.insert(pieces.end(), next, second.end());
}

} // namespace

void parseDelta(const unsigned char* original, std::size_t originalSize, const unsigned char* modified,
                std::size_t modifiedSize, std::vector<DeltaPiece>& pieces) {
    pieces.clear();
    const DeltaIndex index(original, originalSize, modified, modifiedSize);
    // The halves of a large image are parsed at once, on two threads; each may copy from
    // anywhere, the second half from the first too. Only where they meet is the parse
    // any different from one that runs through (a copy across it is cut in two).
    const std::size_t half = modifiedSize >= kParsedInHalves ? modifiedSize / 2 : modifiedSize;
    std::vector<DeltaPiece> second;
    std::exception_ptr failure; // what stopped the second half's parse (no memory)
    std::thread other;
    if (half < modifiedSize)
        other = std::thread([&] {
            try {
                Parser(index, half, modifiedSize, second).run();
            } catch (...) {
                failure = std::current_exception();
            }
        });
    try {
        Parser(index, 0, half, pieces).run();
    } catch (...) {
        if (other.joinable()) other.join();
        throw;
    }
    if (other.joinable()) other.join();
    if (failure) std::rethrow_exception(failure);
    joinHalves(pieces, second);
}
