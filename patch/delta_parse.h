// The delta parse that BPS and VCDIFF patches are written from: the modified image as a run
// of pieces, each copied from the original (anywhere in it), copied from the part of the
// modified image already made, or given as literal bytes.
#pragma once

#include <cstddef>
#include <vector>

// One piece of the modified image, at position, length bytes long.
struct DeltaPiece {
    enum Kind { Literal, FromOriginal, FromModified } kind;
    std::size_t position;
    std::size_t length;
    std::size_t from; // where the copy reads (FromOriginal, FromModified); unused for Literal
};

// Splits the modified image into pieces that cover it in order. Copies are found through
// hash tables of 8-byte windows (the original's at every fourth position and word starts,
// the modified image's at every fourth; the modified image's positions at or past the one
// being made are passed over), a table of 12 bytes at the original's word starts (text is
// where copies are short and a longer key finds the longer ones), the same position of the
// original and the continuation of the last copy. A copy of 64 bytes or more is taken as
// found, extended backwards into literal bytes; between such copies, up to 4096 positions are
// weighed as a whole: every copy found at each position (also moved back as far as the bytes
// before it agree), at every length, against literal bytes, for the fewest bytes of BPS.
// Where nothing is found for 64 positions in a row (new data), only every fifth is looked
// up. The tables are filled on two threads, and an image of 1 MiB or more is parsed in two
// halves at once. Memory: the tables, 4 bytes a slot and about two slots for each position
// indexed, at most 64 MiB each and 16 MiB for the word starts (144 MiB for a 32 MiB original
// and its hack), and 2 MiB for each half's stretch.
void parseDelta(const unsigned char* original, std::size_t originalSize, const unsigned char* modified,
                std::size_t modifiedSize, std::vector<DeltaPiece>& pieces);
