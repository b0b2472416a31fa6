// The UPS encoder: each run of changed bytes as a hunk, the distance from the last hunk's
// end, the bytes XORed, and the zero that ends it. Past the shorter image's end its bytes
// count as zero, so the same patch also takes the modified image back to the original.
#include "patch/make_patch.h"
#include "patch/patch_reader.h"
#include "patch/patch_writer.h"

namespace {

// Byte at of an image, zero past its end.
unsigned char byteAt(const unsigned char* image, std::size_t size, std::size_t at) {
    return at < size ? image[at] : 0;
}

} // namespace

void makeUps(const PatchSource& source, std::vector<unsigned char>& patch) {
    patch = {'U', 'P', 'S', '1'};
    putByuuNumber(patch, source.originalSize);
    putByuuNumber(patch, source.modifiedSize);
    const std::size_t size = source.originalSize > source.modifiedSize ? source.originalSize : source.modifiedSize;
    const auto differs = [&](std::size_t at) {
        return byteAt(source.original, source.originalSize, at) != byteAt(source.modified, source.modifiedSize, at);
    };
    for (std::size_t at = 0, last = 0; at < size; ++at) {
        if (!differs(at)) continue;
        putByuuNumber(patch, at - last);
        for (; at < size && differs(at); ++at)
            patch.push_back(byteAt(source.original, source.originalSize, at) ^
                            byteAt(source.modified, source.modifiedSize, at));
        patch.push_back(0); // ends the hunk and takes position at, which is unchanged
        last = at + 1;
    }
    putLittle32(patch, imageCrc32(source.original, source.originalSize));
    putLittle32(patch, imageCrc32(source.modified, source.modifiedSize));
    putLittle32(patch, imageCrc32(patch.data(), patch.size()));
}
