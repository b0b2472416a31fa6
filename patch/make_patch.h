// Making patches: from an original image and a modified one, both in memory and in the same
// byte order, a patch in BPS, UPS, IPS or xdelta's VCDIFF that the appliers (this program's
// and the usual patchers, xdelta3 for VCDIFF) turn the original into the modified image
// with. Pure computation: nothing here touches a file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "patch/patch.h"

// What a patch is made from.
struct PatchSource {
    const unsigned char* original = nullptr;
    std::size_t originalSize = 0;
    const unsigned char* modified = nullptr;
    std::size_t modifiedSize = 0;
    std::string metadata; // BPS only: the text its metadata carries ("" for none)
};

// The largest image IPS reaches: its offsets have 3 bytes.
constexpr std::size_t kLargestIpsImage = std::size_t(1) << 24;

// Makes the patch in format (Bps, Ups, Ips or Vcdiff); false with reason when the format
// cannot hold it (IPS beyond 16 MiB) or there is no memory for it.
bool makePatch(PatchFormat format, const PatchSource& source, std::vector<unsigned char>& patch,
               std::string& reason);

// The extension of a patch file in format, with its dot: ".bps", ".ups", ".ips", ".xdelta".
const char* patchExtension(PatchFormat format);

// The encoders behind makePatch.
void makeBps(const PatchSource& source, std::vector<unsigned char>& patch);
void makeUps(const PatchSource& source, std::vector<unsigned char>& patch);
bool makeIps(const PatchSource& source, std::vector<unsigned char>& patch, std::string& reason);
void makeVcdiff(const PatchSource& source, std::vector<unsigned char>& patch);
