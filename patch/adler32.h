// Adler-32, the checksum xdelta3 gives each window's target: the same value as zlib's
// adler32(1, ...), computed 16 bytes at a time where the processor has SSE2, since a
// whole ROM goes through it on every patch.
#pragma once

#include <cstddef>
#include <cstdint>

// The Adler-32 of n bytes (started from 1, as zlib starts it).
std::uint32_t adler32Of(const unsigned char* bytes, std::size_t n);
