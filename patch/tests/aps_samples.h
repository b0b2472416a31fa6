// An N64 APS patch built byte by byte, with the ROM it was made for: shared by the APS tests
// and the fuzz loop.
#pragma once

#include <cstring>
#include <string>

#include "patch_samples.h"

// A 0x48-byte big-endian ROM: the first word, check codes 11223344 55667788 at 0x10,
// cartridge "SM" and country 'E' at 0x3C, and byte i elsewhere (i from 0x40 on).
inline Bytes apsRom() {
    Bytes rom(0x48);
    for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<unsigned char>(i);
    const unsigned char first[] = {0x80, 0x37, 0x12, 0x40};
    const unsigned char codes[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    std::memcpy(rom.data(), first, 4);
    std::memcpy(rom.data() + 0x10, codes, 8);
    std::memcpy(rom.data() + 0x3C, "SME", 3);
    return rom;
}

// The 78-byte header of an N64 APS: format 1 (big-endian) or 0 (v64), then the fields of
// apsRom() as a big-endian header has them, and the result's size.
inline Bytes apsHeader(unsigned char format, std::uint32_t resultSize) {
    Bytes patch = {'A', 'P', 'S', '1', '0', // magic of the N64 kind
                   0x01,                    // patch type 1: the N64 fields follow
                   0x00};                   // encoding 0: simple
    const std::string description = "Dornavel test";
    patch.insert(patch.end(), description.begin(), description.end());
    patch.resize(patch.size() + 50 - description.size(), ' '); // description padded to 50
    patch.push_back(format);                                    // the order the records are for
    patch.insert(patch.end(), {'S', 'M', 'E'});                 // cartridge id and country
    patch.insert(patch.end(), {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}); // check codes
    patch.resize(patch.size() + 5, 0x00);                        // padding
    putLittle32(patch, resultSize);                              // size of the result
    return patch;
}

// Two records: at 0x41, 3 bytes "ABC"; at 0x46, a run of 4 bytes 0x99 (beyond the source's
// 0x48 bytes, so the header's 0x4A grows the image).
inline Bytes apsPatch(unsigned char format) {
    Bytes patch = apsHeader(format, 0x4A);
    patch.insert(patch.end(), {0x41, 0x00, 0x00, 0x00, // offset 0x41, little-endian
                               0x03, 'A', 'B', 'C'});  // length 3 and its bytes
    patch.insert(patch.end(), {0x46, 0x00, 0x00, 0x00, // offset 0x46
                               0x00, 0x99, 0x04});     // length 0: a run, byte 99, count 4
    return patch;
}

