// The ROMs the fix tests write: the ipl3checksum dummy with its codes set, in any order.
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/conversion.h"
#include "identity/tests/rom_samples.h"

// image (big-endian) with the check codes at 0x10 set to crc1 and crc2.
inline Bytes withCodes(Bytes image, std::uint32_t crc1, std::uint32_t crc2) {
    for (int i = 0; i < 4; ++i) {
        image[0x10 + i] = static_cast<unsigned char>(crc1 >> (24 - 8 * i));
        image[0x14 + i] = static_cast<unsigned char>(crc2 >> (24 - 8 * i));
    }
    return image;
}

// image brought from big-endian to order.
inline Bytes inOrder(Bytes image, ByteOrder order) {
    convertFromBig(image.data(), image.size(), order);
    return image;
}

// The ipl3checksum dummy as a ROM: a big-endian first word, its header codes zero.
inline Bytes dummyRom() {
    Bytes image = ipl3checksumDummy();
    const unsigned char first[] = {0x80, 0x37, 0x12, 0x40};
    std::copy(first, first + 4, image.begin());
    return image;
}
