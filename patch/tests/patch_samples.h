// Images and patches for the patch tests: a small synthetic ROM and what the patches make
// of it, the same images make_xdelta_samples.sh gave xdelta3, and small encoders that write
// BPS, UPS and IPS patches from a source and a target the simplest way each format allows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/conversion.h"
#include "identity/digest.h"
#include "patch/make_patch.h"
#include "patch/patch_writer.h"

using Bytes = std::vector<unsigned char>;

// An 8 KiB big-endian image: byte i is i * 31 + (i >> 8), after the first word 80 37 12 40.
inline Bytes sampleRom() {
    Bytes b(8192);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<unsigned char>(i * 31 + (i >> 8));
    const unsigned char first[] = {0x80, 0x37, 0x12, 0x40};
    std::copy(first, first + 4, b.begin());
    return b;
}

// What every sample patch makes of it: a text at 0x100, DE AD BE EF at 0x1F00, and 1 KiB
// more at the end (byte i of it is i * 7), so that the result is longer than the source.
inline Bytes sampleTarget() {
    Bytes t = sampleRom();
    const std::string text = "Dornavel patched";
    std::copy(text.begin(), text.end(), t.begin() + 0x100);
    const unsigned char word[] = {0xDE, 0xAD, 0xBE, 0xEF};
    std::copy(word, word + 4, t.begin() + 0x1F00);
    for (std::size_t i = 0; i < 1024; ++i) t.push_back(static_cast<unsigned char>(i * 7));
    return t;
}

// The image make_xdelta_samples.sh compresses: sampleRom() with 1 KiB at 0x1000 of the
// letters ACGT drawn by a linear congruential generator (seed 15): nothing for xdelta3 to
// copy, two bits a byte for a secondary compressor to gain.
inline Bytes compressibleTarget() {
    Bytes t = sampleRom();
    std::uint32_t state = 15;
    for (std::size_t i = 0; i < 1024; ++i) {
        state = (state * 1103515245u + 12345u) & 0x7FFFFFFFu;
        t[0x1000 + i] = "ACGT"[(state >> 16) & 3];
    }
    return t;
}

// The image in order (it is made big-endian).
inline Bytes inOrder(Bytes image, ByteOrder order) {
    convertFromBig(image.data(), image.size(), order);
    return image;
}

inline std::uint32_t crcOf(const Bytes& bytes) {
    return crc32Update(0, bytes.data(), bytes.size());
}

// Appends the source, target and patch CRC-32s that end a BPS or UPS patch.
inline void putCrcTrailer(Bytes& patch, const Bytes& source, const Bytes& target) {
    putLittle32(patch, crcOf(source));
    putLittle32(patch, crcOf(target));
    putLittle32(patch, crcOf(patch));
}

// A BPS patch from source to target: SourceRead where the target has the source's byte at
// the same place, TargetRead for the rest.
inline Bytes encodeBps(const Bytes& source, const Bytes& target) {
    Bytes patch = {'B', 'P', 'S', '1'};
    putByuuNumber(patch, source.size());
    putByuuNumber(patch, target.size());
    putByuuNumber(patch, 0); // no metadata
    for (std::size_t at = 0; at < target.size();) {
        const bool same = at < source.size() && source[at] == target[at];
        std::size_t end = at;
        while (end < target.size() && (end < source.size() && source[end] == target[end]) == same) ++end;
        putByuuNumber(patch, ((end - at - 1) << 2) | (same ? 0 : 1));
        if (!same) patch.insert(patch.end(), target.begin() + at, target.begin() + end);
        at = end;
    }
    putCrcTrailer(patch, source, target);
    return patch;
}

// A UPS patch from source to target: UPS has one way of writing a patch, the library's.
inline Bytes encodeUps(const Bytes& source, const Bytes& target) {
    Bytes patch;
    makeUps({source.data(), source.size(), target.data(), target.size(), ""}, patch);
    return patch;
}

// An IPS patch from source to target (which must not be shorter): one record per run of
// changed bytes, at most 0xFFFF bytes each.
inline Bytes encodeIps(const Bytes& source, const Bytes& target) {
    Bytes patch = {'P', 'A', 'T', 'C', 'H'};
    for (std::size_t i = 0; i < target.size();) {
        if (i < source.size() && source[i] == target[i]) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < target.size() && end - i < 0xFFFF && !(end < source.size() && source[end] == target[end])) ++end;
        const std::size_t n = end - i;
        const unsigned char head[] = {static_cast<unsigned char>(i >> 16), static_cast<unsigned char>(i >> 8),
                                      static_cast<unsigned char>(i), static_cast<unsigned char>(n >> 8),
                                      static_cast<unsigned char>(n)};
        patch.insert(patch.end(), head, head + 5);
        patch.insert(patch.end(), target.begin() + i, target.begin() + end);
        i = end;
    }
    const unsigned char eof[] = {'E', 'O', 'F'};
    patch.insert(patch.end(), eof, eof + 3);
    return patch;
}
