// xdelta3's secondary compression of VCDIFF sections: a section so compressed is the size it
// decompresses to (a VCDIFF integer) and the compressed bytes, which must all be used and
// give exactly that size. lzma goes through liblzma, where the build has it; djw (static
// Huffman with up to 8 tables) and fgk (adaptive Huffman) are xdelta3's own codes, decoded
// here.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// The compressor ids a VCDIFF header names, as xdelta3 numbers them.
enum class SecondaryId : unsigned char { Djw = 1, Lzma = 2, Fgk = 16 };

// Decodes djw's bits into out (outSize bytes, at least 1); false with reason when the bits
// are not a djw stream of that size that ends with the input.
bool decodeDjw(const unsigned char* in, std::size_t inSize, unsigned char* out, std::size_t outSize,
               std::string& reason);

// One stream of lzma sections: xdelta3 keeps one stream per kind of section (data,
// instructions, addresses) for the whole patch, so each section continues the last.
class LzmaSections {
public:
    LzmaSections();
    ~LzmaSections();
    LzmaSections(const LzmaSections&) = delete;
    LzmaSections& operator=(const LzmaSections&) = delete;

    // Whether this build reads lzma at all.
    static bool available();
    // Decodes the next section of the stream into out (outSize bytes); all of in must be used.
    bool decode(const unsigned char* in, std::size_t inSize, unsigned char* out, std::size_t outSize,
                std::string& reason);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// One stream of fgk sections: the adaptive tree carries on from one section of a kind to the
// next, as xdelta3 keeps it.
class FgkSections {
public:
    FgkSections();
    ~FgkSections();
    FgkSections(const FgkSections&) = delete;
    FgkSections& operator=(const FgkSections&) = delete;

    // Decodes the next section into out (outSize bytes); all of in must be used.
    bool decode(const unsigned char* in, std::size_t inSize, unsigned char* out, std::size_t outSize,
                std::string& reason);

private:
    struct Tree;
    std::unique_ptr<Tree> tree_;
};

// The decoders of one patch's three kinds of section, in window order.
class SecondaryDecoders {
public:
    explicit SecondaryDecoders(unsigned char compressor) : compressor_(compressor) {}

    // Decompresses section (the kind numbered 0 data, 1 instructions, 2 addresses) into out,
    // whose size is limited to largest bytes; false with reason when it cannot.
    bool decode(int kind, const unsigned char* section, std::size_t size, std::size_t largest,
                std::vector<unsigned char>& out, std::string& reason);

private:
    unsigned char compressor_;
    LzmaSections lzma_[3];
    FgkSections fgk_[3];
};

// Why a compressor the header names is not read by this build, or "" when it is: lzma where
// the build has no liblzma (the Windows companion), an id xdelta3 does not have. The way out
// is named.
std::string secondaryNotRead(unsigned char compressor);
