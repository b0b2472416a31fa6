#include "identity/check_code.h"

#include "identity/rom_header.h"

namespace {

// How a family's boot code combines its six running values at the end.
enum class Finish {
    Xor,     // crc1 = t6 ^ t4 ^ t3, crc2 = t5 ^ t2 ^ t1
    Add,     // crc1 = (t6 ^ t4) + t3, crc2 = (t5 ^ t2) + t1
    Multiply // crc1 = (t6 * t4) + t3, crc2 = (t5 * t2) + t1
};

// What the check code of a family needs.
struct Algorithm {
    BootChip chip;
    std::uint32_t seedByte; // the seed the chip hands to the boot code
    std::uint32_t magic;    // the boot code's multiplier for it
    Finish finish;
    bool table;             // 6105: mixes in words of its own boot code instead of t5
};

const Algorithm kAlgorithms[] = {
    {BootChip::Cic6101, 0x3F, 0x5D588B65, Finish::Xor, false},
    {BootChip::Cic7102, 0x3F, 0x5D588B65, Finish::Xor, false},
    {BootChip::Cic6102, 0x3F, 0x5D588B65, Finish::Xor, false},
    {BootChip::IQue, 0x3F, 0x5D588B65, Finish::Xor, false},
    {BootChip::Cic6103, 0x78, 0x6C078965, Finish::Add, false},
    {BootChip::Cic6105, 0x91, 0x5D588B65, Finish::Xor, true},
    {BootChip::Cic6106, 0x85, 0x6C078965, Finish::Multiply, false},
    {BootChip::Cic5101, 0xAC, 0x6C078965, Finish::Add, false},
};

// The 6105 boot code's table: 64 words at 0x750, taken in turn for every data word.
const std::size_t kTableStart = 0x750;

const Algorithm* algorithmOf(BootChip chip) {
    for (const Algorithm& algorithm : kAlgorithms)
        if (algorithm.chip == chip) return &algorithm;
    return nullptr;
}

// The big-endian word at offset, with the bytes past the image's end taken as zero.
std::uint32_t paddedWord(const unsigned char* image, std::size_t size, std::size_t offset) {
    if (offset + 4 <= size) return bigEndianWord(image + offset);
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < 4; ++i) word = (word << 8) | (offset + i < size ? image[offset + i] : 0);
    return word;
}

// x rotated left by n (0 to 31) bits; a rotation by 0 leaves x as it is.
std::uint32_t rotateLeft(std::uint32_t x, std::uint32_t n) {
    return n == 0 ? x : (x << n) | (x >> (32 - n));
}

} // namespace

std::size_t checkedLength(BootChip chip, std::uint32_t entryPoint) {
    if (!algorithmOf(chip)) return 0;
    if (chip == BootChip::Cic5101 && entryPoint == kAleckLongEntryPoint) return kAleckLongLength;
    return kCheckedLength;
}

// When a data word equals t2, the boot code itself takes the rotated word (its test is
// "t2 < d"); some well-known tools test "t2 > d" the other way round and differ there.
bool computeCheckCode(BootChip chip, const unsigned char* image, std::size_t size, std::uint32_t entryPoint,
                      CheckCode& code) {
    const Algorithm* algorithm = algorithmOf(chip);
    if (!algorithm) return false;
    const std::uint32_t seed = algorithm->seedByte * algorithm->magic + 1;
    std::uint32_t t1 = seed, t2 = seed, t3 = seed, t4 = seed, t5 = seed, t6 = seed;
    const std::size_t end = kCheckedStart + checkedLength(chip, entryPoint);
    const bool table = algorithm->table;
    // Written without branches on the data (a sum's carry and the choice for t2 are
    // selected, not jumped over): on a megabyte of data each branch was a coin toss.
    for (std::size_t offset = kCheckedStart; offset < end; offset += 4) {
        const std::uint32_t d = paddedWord(image, size, offset);
        const std::uint32_t sum = t6 + d;
        t4 += sum < t6 ? 1 : 0;
        t6 = sum;
        t3 ^= d;
        const std::uint32_t r = rotateLeft(d, d & 31);
        t5 += r;
        t2 ^= t2 < d ? t6 ^ d : r;
        t1 += (table ? paddedWord(image, size, kTableStart + (offset & 0xFF)) : t5) ^ d;
    }
    switch (algorithm->finish) {
    case Finish::Xor: code = {t6 ^ t4 ^ t3, t5 ^ t2 ^ t1}; break;
    case Finish::Add: code = {(t6 ^ t4) + t3, (t5 ^ t2) + t1}; break;
    case Finish::Multiply: code = {(t6 * t4) + t3, (t5 * t2) + t1}; break;
    }
    return true;
}
