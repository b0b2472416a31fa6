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
// the modified image's at every fourth, both filled first, on two threads; the modified
// image's positions at or past the one being made are passed over), the same position of
// the original and the continuation of the last copy; each is extended as far as the bytes
// agree, backwards too into literal bytes.
// Memory: the two tables, 4 bytes a slot and about two slots for each position indexed, at
// most 64 MiB each: 128 MiB for a 32 MiB original and its hack.
void parseDelta(const unsigned char* original, std::size_t originalSize, const unsigned char* modified,
                std::size_t modifiedSize, std::vector<DeltaPiece>& pieces);
