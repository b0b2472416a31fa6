// In-place conversion of a ROM image between byte orders, always by way of big-endian.
#pragma once

#include <cstddef>

#include "core/byte_order.h"

// Exchanges the two bytes of every complete 2-byte group; a trailing odd byte is left as it is.
void swapPairs(unsigned char* image, std::size_t n);

// Reverses the four bytes of every complete 4-byte group; the bytes of an incomplete last
// group are left as they are.
void reverseQuads(unsigned char* image, std::size_t n);

// Brings an image in order `from` to big-endian (None is taken as big-endian already).
void convertToBig(unsigned char* image, std::size_t n, ByteOrder from);

// Brings a big-endian image to order `to` (None leaves it big-endian).
void convertFromBig(unsigned char* image, std::size_t n, ByteOrder to);

// Brings an image in order `from` to order `to`, by way of big-endian (None is taken as
// big-endian).
void convertOrder(unsigned char* image, std::size_t n, ByteOrder from, ByteOrder to);

// The size of the groups whose bytes a conversion from `from` to `to` moves: 2 between
// big-endian and Doctor V64, 4 with little-endian on either side, 0 when nothing moves.
// An image shorter than that is left exactly as it is.
std::size_t conversionGroup(ByteOrder from, ByteOrder to);
