// ROM patches (BPS, UPS, IPS and xdelta's VCDIFF): what a patch is, how one is recognised,
// and how it is applied to a ROM image whatever the ROM's byte order. A refusal is a value
// that names what went wrong and so what the user must do next; nothing here touches a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/byte_order.h"
#include "core/rom_file.h"
#include "identity/rom_image_reader.h"

// The formats read.
enum class PatchFormat {
    None,  // not a patch of any format read here
    Bps,   // "BPS1": actions, source, target and patch CRC-32s
    Ups,   // "UPS1": XOR hunks, the same three CRC-32s
    Ips,   // "PATCH": records up to "EOF", no check at all
    Vcdiff, // D6 C3 C4 00: RFC 3284 as xdelta3 writes it, Adler-32 of each window's target
    Aps     // "APS10": the N64 kind, with the order, cartridge and check codes of its ROM
};

// The name shown for a format: "BPS", "UPS", "IPS", "xdelta", "APS" ("" for None).
const char* patchFormatName(PatchFormat format);

// The format whose magic the patch starts with, or None.
PatchFormat recognisePatch(const unsigned char* patch, std::size_t size);

// Why a patch was not applied, named by what the user must do next.
enum class PatchRefusal {
    None,
    NotAPatch,      // no known format: give a BPS, UPS, IPS, xdelta or APS patch
    Damaged,        // truncated, corrupted or inconsistent: get the patch again
    OtherRom,       // made for another ROM: find the ROM it was made for
    AlreadyApplied, // the ROM already is what the patch makes
    TooLarge,       // the result would be 2 GiB or larger (IPS: beyond 16 MiB)
    Unsupported,    // a feature not read here: make the patch without it
    NoMemory        // no memory for the result
};

// A refusal and its reason in English, e.g. "it ends in the middle of an action". For
// OtherRom, the CRC-32 the patch wants and the one the ROM has as big-endian.
struct PatchError {
    PatchRefusal refusal = PatchRefusal::None;
    std::string reason;
    bool crcKnown = false;         // with OtherRom: the two values below are set
    std::uint32_t wantedCrc = 0;   // the source CRC-32 the patch carries
    std::uint32_t romCrc = 0;      // the ROM's CRC-32 as a big-endian image
};

// How the order a patch was made for was known.
enum class OrderBasis {
    Checked, // the patch's own check (source CRC-32, window checksums) holds in that order
    Stated,  // the patch's header names the order (APS), and the ROM's header matches its own
    Given,   // the caller said so, and the patch has no check that could confirm it
    Assumed  // big-endian, since the patch carries no check (IPS, VCDIFF without checksums)
};

// A patched image and what was learnt on the way.
struct PatchOutcome {
    PatchFormat format = PatchFormat::None;
    ByteOrder patchOrder = ByteOrder::None; // the order the patch was made for
    OrderBasis basis = OrderBasis::Assumed;
    RomImageBuffer result;                  // the patched image, in patchOrder
};

// Applies the patch to the ROM image (romSize bytes in romOrder, which must be one of the
// three orders) in the order the patch was made for: the one in which the image has the
// patch's source CRC-32 (BPS, UPS), the one whose result passes its window checksums
// (VCDIFF), the one the header names (APS), else givenOrder when not None, else big-endian. givenOrder, when not None, is
// the only order tried. The ROM image serves as scratch: on return its bytes are in some
// order. On failure error says why and outcome.result holds nothing.
bool applyPatch(unsigned char* rom, std::size_t romSize, ByteOrder romOrder, const unsigned char* patch,
                std::size_t patchSize, ByteOrder givenOrder, PatchOutcome& outcome, PatchError& error);

