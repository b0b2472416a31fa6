#include "patch/patch.h"

#include <algorithm>
#include <cstring>

#include "core/conversion.h"
#include "identity/digest.h"
#include "patch/patch_reader.h"

namespace {

// A format and the bytes its files start with.
struct Magic {
    PatchFormat format;
    const char* bytes;
    std::size_t size;
};

const Magic kMagics[] = {
    {PatchFormat::Bps, "BPS1", 4},
    {PatchFormat::Ups, "UPS1", 4},
    {PatchFormat::Ips, "PATCH", 5},
    {PatchFormat::Vcdiff, "\xD6\xC3\xC4\x00", 4},
    {PatchFormat::Aps, "APS1", 4}, // the N64 kind continues with "0"; the GBA kind is refused
};

// The reader of a recognised format.
const PatchFormatReader& readerOf(PatchFormat format) {
    switch (format) {
    case PatchFormat::Bps: return bpsFormat();
    case PatchFormat::Ups: return upsFormat();
    case PatchFormat::Ips: return ipsFormat();
    case PatchFormat::Aps: return apsFormat();
    default: break;
    }
    return vcdiffFormat();
}

// The orders a patch is tried in: first the one given, else big-endian, the order nearly
// every patch is made for; then the ROM's own, which costs no conversion; then the third.
void ordersToTry(ByteOrder first, ByteOrder romOrder, ByteOrder (&orders)[3]) {
    const ByteOrder candidates[] = {first, romOrder, ByteOrder::BigEndian, ByteOrder::DoctorV64,
                                    ByteOrder::LittleEndian};
    std::size_t next = 0;
    for (ByteOrder order : candidates)
        if (next < 3 && std::find(orders, orders + next, order) == orders + next) orders[next++] = order;
}

// The image brought from the order it is in to order (both kept track of by the caller).
void bringTo(unsigned char* rom, std::size_t size, ByteOrder& current, ByteOrder order) {
    convertOrder(rom, size, current, order);
    current = order;
}

// BPS and UPS: the order in which the image has the patch's source CRC-32. A ROM that has
// the target's CRC-32 in some order is already patched.
bool findOrderByCrc(unsigned char* rom, std::size_t size, ByteOrder& current, const PatchFacts& facts,
                    const ByteOrder* orders, std::size_t count, ByteOrder& found, PatchError& error) {
    std::uint32_t bigCrc = 0;
    bool bigKnown = false;
    bool patched = false;
    for (std::size_t i = 0; i < count; ++i) {
        bringTo(rom, size, current, orders[i]);
        const std::uint32_t crc = imageCrc32(rom, size);
        if (crc == facts.sourceCrc && static_cast<std::int64_t>(size) == facts.sourceSize) {
            found = orders[i];
            return true;
        }
        if (orders[i] == ByteOrder::BigEndian) bigCrc = crc, bigKnown = true;
        patched = patched || crc == facts.targetCrc;
    }
    if (!bigKnown) { // the refusal tells the big-endian CRC-32, which catalogues list
        bringTo(rom, size, current, ByteOrder::BigEndian);
        bigCrc = imageCrc32(rom, size);
    }
    if (patched) return refuse(error, PatchRefusal::AlreadyApplied, "this ROM already has this patch applied");
    error.crcKnown = true;
    error.wantedCrc = facts.sourceCrc;
    error.romCrc = bigCrc;
    return refuse(error, PatchRefusal::OtherRom, "this patch is for another ROM");
}

// VCDIFF with window checksums: the first order whose result passes them all.
bool applyByChecksums(unsigned char* rom, std::size_t size, ByteOrder& current, const unsigned char* patch,
                      std::size_t patchSize, const ByteOrder* orders, std::size_t count, PatchOutcome& outcome,
                      PatchError& error) {
    for (std::size_t i = 0; i < count; ++i) {
        bringTo(rom, size, current, orders[i]);
        error = PatchError();
        if (vcdiffFormat().apply(rom, size, patch, patchSize, outcome.result, error)) {
            outcome.patchOrder = orders[i];
            return true;
        }
        outcome.result.release();
        if (error.reason != kChecksumsFailText) return false; // the same in every order
    }
    if (count == 3) error.reason = "this patch is for another ROM (its checksums fail in every byte order)";
    return false;
}

} // namespace

const char* patchFormatName(PatchFormat format) {
    switch (format) {
    case PatchFormat::Bps: return "BPS";
    case PatchFormat::Ups: return "UPS";
    case PatchFormat::Ips: return "IPS";
    case PatchFormat::Vcdiff: return "xdelta";
    case PatchFormat::Aps: return "APS";
    case PatchFormat::None: break;
    }
    return "";
}

PatchFormat recognisePatch(const unsigned char* patch, std::size_t size) {
    for (const Magic& magic : kMagics)
        if (size >= magic.size && std::memcmp(patch, magic.bytes, magic.size) == 0) return magic.format;
    return PatchFormat::None;
}

// The patch is inspected whole before any order is tried, so a damaged patch is told as
// damaged, not as one for another ROM.
bool applyPatch(unsigned char* rom, std::size_t romSize, ByteOrder romOrder, const unsigned char* patch,
                std::size_t patchSize, ByteOrder givenOrder, PatchOutcome& outcome, PatchError& error) {
    outcome.result.release();
    outcome.basis = OrderBasis::Checked;
    error = PatchError();
    outcome.format = recognisePatch(patch, patchSize);
    if (outcome.format == PatchFormat::None)
        return refuse(error, PatchRefusal::NotAPatch,
                      "not a patch in a format this program reads (BPS, UPS, IPS, xdelta, APS)");
    const PatchFormatReader& reader = readerOf(outcome.format);
    PatchFacts facts;
    if (!reader.inspect(patch, patchSize, facts, error)) return false;

    ByteOrder orders[3];
    ordersToTry(givenOrder != ByteOrder::None ? givenOrder : ByteOrder::BigEndian, romOrder, orders);
    const std::size_t count = givenOrder != ByteOrder::None ? 1 : 3;
    ByteOrder current = romOrder;
    if (facts.windowChecks) return applyByChecksums(rom, romSize, current, patch, patchSize, orders, count, outcome, error);
    if (facts.statedOrder != ByteOrder::None) {
        if (facts.romHeaderKnown && !matchRomHeader(rom, romSize, current, facts, error)) return false;
        outcome.basis = OrderBasis::Stated;
        outcome.patchOrder = facts.statedOrder;
    } else if (facts.hasSourceCrc) {
        if (!findOrderByCrc(rom, romSize, current, facts, orders, count, outcome.patchOrder, error)) return false;
    } else {
        outcome.basis = givenOrder != ByteOrder::None ? OrderBasis::Given : OrderBasis::Assumed;
        outcome.patchOrder = givenOrder != ByteOrder::None ? givenOrder : ByteOrder::BigEndian;
    }
    bringTo(rom, romSize, current, outcome.patchOrder);
    if (reader.apply(rom, romSize, patch, patchSize, outcome.result, error)) return true;
    outcome.result.release();
    return false;
}
