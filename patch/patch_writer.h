// Writing the numbers patches are made of, shared by the encoders.
#pragma once

#include <cstdint>
#include <vector>

using PatchBytes = std::vector<unsigned char>;

// A BPS/UPS number: 7 bits a byte, least significant first, the last byte marked by its
// high bit, one taken off what remains after each byte that is not the last.
inline void putByuuNumber(PatchBytes& out, std::uint64_t value) {
    for (;;) {
        const unsigned char low = value & 0x7F;
        value >>= 7;
        if (value == 0) {
            out.push_back(0x80 | low);
            return;
        }
        out.push_back(low);
        --value;
    }
}

// A VCDIFF integer: 7 bits a byte, most significant first, every byte but the last marked
// by its high bit.
inline void putVcdiffInteger(PatchBytes& out, std::uint64_t value) {
    unsigned char bytes[10];
    int n = 0;
    do {
        bytes[n++] = static_cast<unsigned char>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) out.push_back(bytes[--n] | 0x80);
    out.push_back(bytes[0]);
}

// count bytes of value, most significant first (IPS offsets and sizes, VCDIFF checksums).
inline void putBigEndian(PatchBytes& out, std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// A 32-bit value, least significant byte first (the CRC-32s of BPS and UPS).
inline void putLittle32(PatchBytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}
