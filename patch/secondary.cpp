#include "patch/secondary.h"

#include "patch/patch_reader.h"

#ifdef DORNAVEL_HAVE_LZMA
#include <lzma.h>
#endif

#ifdef DORNAVEL_HAVE_LZMA
// The liblzma stream of one kind of section: an .xz stream without its end, each section a
// flushed part of it.
struct LzmaSections::State {
    lzma_stream stream = LZMA_STREAM_INIT;
    bool started = false;
    ~State() { lzma_end(&stream); }
};

LzmaSections::LzmaSections() : state_(new State) {}
LzmaSections::~LzmaSections() = default;

bool LzmaSections::available() {
    return true;
}

// liblzma stops once the section's bytes are out; it must have used all it was given. A
// call that moves nothing means the section ends early.
bool LzmaSections::decode(const unsigned char* in, std::size_t inSize, unsigned char* out, std::size_t outSize,
                          std::string& reason) {
    reason = "an lzma-compressed section does not decode";
    if (!state_->started &&
        lzma_stream_decoder(&state_->stream, UINT64_MAX, LZMA_TELL_NO_CHECK) != LZMA_OK) {
        reason = "no memory to read its lzma-compressed sections";
        return false;
    }
    state_->started = true;
    lzma_stream& stream = state_->stream;
    stream.next_in = in;
    stream.avail_in = inSize;
    stream.next_out = out;
    stream.avail_out = outSize;
    while (stream.avail_out > 0) {
        const std::size_t inBefore = stream.avail_in, outBefore = stream.avail_out;
        const lzma_ret result = lzma_code(&stream, LZMA_RUN);
        if (result != LZMA_OK && result != LZMA_NO_CHECK) return false; // damaged, or an end xdelta3 never writes
        if (stream.avail_in == inBefore && stream.avail_out == outBefore && result == LZMA_OK) return false;
    }
    if (stream.avail_in != 0) reason = "an lzma-compressed section has bytes left over";
    return stream.avail_in == 0;
}
#else
// This build has no liblzma: every lzma section is refused before it gets here.
struct LzmaSections::State {};

LzmaSections::LzmaSections() = default;
LzmaSections::~LzmaSections() = default;

bool LzmaSections::available() {
    return false;
}

bool LzmaSections::decode(const unsigned char*, std::size_t, unsigned char*, std::size_t, std::string& reason) {
    reason = "this build does not read lzma";
    return false;
}
#endif

// The section's first number is the size it decompresses to: at least 1, at most largest.
bool SecondaryDecoders::decode(int kind, const unsigned char* section, std::size_t size, std::size_t largest,
                               std::vector<unsigned char>& out, std::string& reason) {
    PatchReader reader(section, size);
    std::uint64_t decompressed = 0;
    if (!reader.vcdiffInteger(decompressed) || decompressed == 0 || decompressed > largest) {
        reason = "a compressed section states an impossible size";
        return false;
    }
    out.resize(static_cast<std::size_t>(decompressed));
    if (compressor_ == static_cast<unsigned char>(SecondaryId::Djw))
        return decodeDjw(reader.here(), reader.left(), out.data(), out.size(), reason);
    if (compressor_ == static_cast<unsigned char>(SecondaryId::Fgk))
        return fgk_[kind].decode(reader.here(), reader.left(), out.data(), out.size(), reason);
    return lzma_[kind].decode(reader.here(), reader.left(), out.data(), out.size(), reason);
}

std::string secondaryNotRead(unsigned char compressor) {
    switch (static_cast<SecondaryId>(compressor)) {
    case SecondaryId::Djw:
    case SecondaryId::Fgk: return "";
    case SecondaryId::Lzma:
        if (LzmaSections::available()) return "";
        return "it is compressed inside with lzma (xdelta3's default), which the Windows build of this program "
               "does not read; apply it with the Linux or macOS build, or make the patch again with "
               "xdelta3 -e -S none -s ORIGINAL MODIFIED PATCH";
    }
    return "it is compressed inside with a compressor xdelta3 does not have (id " + std::to_string(compressor) +
           ", damaged?)";
}
