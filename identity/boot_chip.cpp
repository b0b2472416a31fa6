#include "identity/boot_chip.h"

#include "identity/digest.h"

namespace {

// A boot code the chips are known by: the CRC-32 of bytes 0x40 to 0xFFF.
struct KnownBootCode {
    std::uint32_t crc32;
    BootChip chip;
};

const KnownBootCode kKnownBootCodes[] = {
    {0x6170A4A1, BootChip::Cic6101}, {0x009E9EA3, BootChip::Cic7102}, {0x90BB6CB5, BootChip::Cic6102},
    {0x0B050EE0, BootChip::Cic6103}, {0x98BC2C86, BootChip::Cic6105}, {0xACC8580A, BootChip::Cic6106},
    {0x0E018159, BootChip::Cic8303}, {0xCD19FEF1, BootChip::IQue},    {0xB98CED9A, BootChip::IQue},
    {0xE71C2766, BootChip::IQue},
};

// The Aleck64 chip is known by the CRC-32 of the boot code's first part only, 0x40 to 0xBFF.
const std::size_t kAleckPartEnd = 0xC00;
const std::uint32_t kAleckPartCrc32 = 0x587BD543;

// A family and the chip numbers it answers to.
struct ChipNames {
    BootChip chip;
    const char* shown;
    const char* numbers[2];
};

const ChipNames kChipNames[] = {
    {BootChip::Cic6101, "6101", {"6101", nullptr}}, {BootChip::Cic7102, "7102", {"7102", nullptr}},
    {BootChip::Cic6102, "6102/7101", {"6102", "7101"}}, {BootChip::Cic6103, "6103/7103", {"6103", "7103"}},
    {BootChip::Cic6105, "6105/7105", {"6105", "7105"}}, {BootChip::Cic6106, "6106/7106", {"6106", "7106"}},
    {BootChip::Cic5101, "5101", {"5101", nullptr}},     {BootChip::Cic8303, "8303", {nullptr, nullptr}}, // no check code to force it for
    {BootChip::IQue, "iQue", {nullptr, nullptr}},
};

// text without prefix when it starts with it in any letter case; otherwise text.
std::string withoutPrefix(const std::string& text, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i >= text.size()) return text;
        const char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 'a' + 'A') : text[i];
        if (c != prefix[i]) return text;
    }
    return text.substr(i);
}

} // namespace

const char* bootChipName(BootChip chip) {
    for (const ChipNames& names : kChipNames)
        if (names.chip == chip) return names.shown;
    return "unknown";
}

BootChip recogniseBootChip(const unsigned char* image, std::size_t size, std::uint32_t& bootCrc) {
    bootCrc = 0;
    if (size < kBootCodeEnd) return BootChip::Unknown;
    const std::uint32_t partCrc = crc32Update(0, image + kBootCodeStart, kAleckPartEnd - kBootCodeStart);
    bootCrc = crc32Update(partCrc, image + kAleckPartEnd, kBootCodeEnd - kAleckPartEnd);
    for (const KnownBootCode& known : kKnownBootCodes)
        if (known.crc32 == bootCrc) return known.chip;
    return partCrc == kAleckPartCrc32 ? BootChip::Cic5101 : BootChip::Unknown;
}

bool parseBootChip(const std::string& text, BootChip& chip) {
    std::string number = withoutPrefix(text, "CIC");
    number = withoutPrefix(withoutPrefix(number, "-"), "NUS-");
    for (const ChipNames& names : kChipNames) {
        for (const char* accepted : names.numbers) {
            if (accepted && number == accepted) {
                chip = names.chip;
                return true;
            }
        }
    }
    return false;
}
