// The BPS encoder: the delta parse written as BPS actions. A copy from the same position of
// the original is a SourceRead, which needs no offset; other copies are SourceCopy or
// TargetCopy with the distance from where the last such copy ended.
#include "patch/delta_parse.h"
#include "patch/make_patch.h"
#include "patch/patch_reader.h"
#include "patch/patch_writer.h"

namespace {

enum Command { SourceRead = 0, TargetRead = 1, SourceCopy = 2, TargetCopy = 3 };

// An action's number and, for the copies, its signed distance from the last copy's end.
void putAction(PatchBytes& out, Command command, std::size_t length) {
    putByuuNumber(out, (std::uint64_t(length - 1) << 2) | command);
}
void putDistance(PatchBytes& out, std::size_t from, std::size_t& last) {
    const bool back = from < last;
    const std::uint64_t distance = back ? last - from : from - last;
    putByuuNumber(out, distance << 1 | (back ? 1 : 0));
}

// The pieces as actions; sourceEnd and targetEnd are where the last copies of each kind ended.
void putPieces(const PatchSource& source, const std::vector<DeltaPiece>& pieces, PatchBytes& out) {
    std::size_t sourceEnd = 0, targetEnd = 0;
    for (const DeltaPiece& piece : pieces) {
        switch (piece.kind) {
        case DeltaPiece::Literal:
            putAction(out, TargetRead, piece.length);
            out.insert(out.end(), source.modified + piece.position, source.modified + piece.position + piece.length);
            break;
        case DeltaPiece::FromOriginal:
            if (piece.from == piece.position) {
                putAction(out, SourceRead, piece.length);
                break;
            }
            putAction(out, SourceCopy, piece.length);
            putDistance(out, piece.from, sourceEnd);
            sourceEnd = piece.from + piece.length;
            break;
        case DeltaPiece::FromModified:
            putAction(out, TargetCopy, piece.length);
            putDistance(out, piece.from, targetEnd);
            targetEnd = piece.from + piece.length;
            break;
        }
    }
}

} // namespace

// "BPS1", the sizes, the metadata, the actions, then the three CRC-32s.
void makeBps(const PatchSource& source, std::vector<unsigned char>& patch) {
    std::vector<DeltaPiece> pieces;
    parseDelta(source.original, source.originalSize, source.modified, source.modifiedSize, pieces);
    patch = {'B', 'P', 'S', '1'};
    putByuuNumber(patch, source.originalSize);
    putByuuNumber(patch, source.modifiedSize);
    putByuuNumber(patch, source.metadata.size());
    patch.insert(patch.end(), source.metadata.begin(), source.metadata.end());
    putPieces(source, pieces, patch);
    putLittle32(patch, imageCrc32(source.original, source.originalSize));
    putLittle32(patch, imageCrc32(source.modified, source.modifiedSize));
    putLittle32(patch, imageCrc32(patch.data(), patch.size()));
}
