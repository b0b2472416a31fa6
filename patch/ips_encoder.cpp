// The IPS encoder: each run of changed bytes as records of at most 65,535 bytes, a run of
// one repeated byte as an RLE record where that is shorter; past the original's end the
// image grows, the last byte always written so that it reaches its full size; a shorter
// image cut with the 3-byte size after "EOF". Offsets have 3 bytes: 16 MiB at most, and
// no record may start at 0x454F46, which reads as "EOF".
#include "patch/make_patch.h"
#include "patch/patch_writer.h"

namespace {

const std::size_t kLongestRecord = 0xFFFF;
const std::size_t kEofOffset = 0x454F46;
const std::size_t kShortestRun = 9; // an RLE record (8 bytes) beats 5 + n bytes from here

// Whether the modified image's byte at differs from what the applier has there: the
// original's, or zero past its end.
bool changed(const PatchSource& source, std::size_t at) {
    return source.modified[at] != (at < source.originalSize ? source.original[at] : 0);
}

// How many bytes from at repeat the byte at at, up to end.
std::size_t runLength(const unsigned char* bytes, std::size_t at, std::size_t end) {
    std::size_t n = 1;
    while (at + n < end && n < kLongestRecord && bytes[at + n] == bytes[at]) ++n;
    return n;
}

// Writes the changed bytes [start, end) as records.
void putRecords(const PatchSource& source, std::size_t start, std::size_t end, PatchBytes& out) {
    if (start == kEofOffset) --start; // begins one byte earlier, with that byte as it is
    while (start < end) {
        const std::size_t run = runLength(source.modified, start, end);
        putBigEndian(out, static_cast<std::uint32_t>(start), 3);
        if (run >= kShortestRun) {
            putBigEndian(out, 0, 2);
            putBigEndian(out, static_cast<std::uint32_t>(run), 2);
            out.push_back(source.modified[start]);
            start += run;
        } else {
            std::size_t length = end - start < kLongestRecord ? end - start : kLongestRecord;
            // A plain record stops where a run worth its own record starts.
            for (std::size_t at = start + 1; at < start + length; ++at)
                if (runLength(source.modified, at, end) >= kShortestRun) {
                    length = at - start;
                    break;
                }
            putBigEndian(out, static_cast<std::uint32_t>(length), 2);
            out.insert(out.end(), source.modified + start, source.modified + start + length);
            start += length;
        }
        if (start == kEofOffset && start < end) --start;
    }
}

} // namespace

bool makeIps(const PatchSource& source, std::vector<unsigned char>& patch, std::string& reason) {
    const bool cut = source.modifiedSize < source.originalSize;
    if (source.modifiedSize > kLargestIpsImage || (cut && source.modifiedSize >= kLargestIpsImage)) {
        reason = "IPS reaches 16 MiB at most (its offsets have 3 bytes), and the modified ROM has " +
                 std::to_string(source.modifiedSize) + " bytes; make a BPS, UPS or xdelta patch instead";
        return false;
    }
    const bool grows = source.modifiedSize > source.originalSize;
    patch = {'P', 'A', 'T', 'C', 'H'};
    for (std::size_t at = 0; at < source.modifiedSize;) {
        if (!changed(source, at) && !(grows && at + 1 == source.modifiedSize)) {
            ++at;
            continue;
        }
        std::size_t end = at + 1;
        while (end < source.modifiedSize && changed(source, end)) ++end;
        if (grows && end + 1 == source.modifiedSize) ++end; // the last byte joins, not a record of its own
        putRecords(source, at, end, patch);
        at = end;
    }
    patch.insert(patch.end(), {'E', 'O', 'F'});
    if (cut) putBigEndian(patch, static_cast<std::uint32_t>(source.modifiedSize), 3);
    return true;
}
