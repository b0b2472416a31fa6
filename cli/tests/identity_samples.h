// Files for the info and check tests: the real ROM in any order, synthetic images with a
// given header, and the environment a run of the program sees.
#pragma once

#include <cstdlib>
#include <string>

#include "core/conversion.h"
#include "identity/tests/rom_samples.h"

// The real ROM brought to order (it is stored in the v64 order); empty when not available.
inline Bytes realRomIn(ByteOrder order) {
    Bytes image = realRom();
    convertToBig(image.data(), image.size(), ByteOrder::DoctorV64);
    convertFromBig(image.data(), image.size(), order);
    return image;
}

// Puts a big-endian ROM's first word, a check code and a name into a big-endian image.
inline void stampHeader(Bytes& image, std::uint32_t crc1, std::uint32_t crc2, const std::string& name) {
    const unsigned char first[] = {0x80, 0x37, 0x12, 0x40};
    std::copy(first, first + 4, image.begin());
    for (int i = 0; i < 4; ++i) {
        image[0x10 + i] = static_cast<unsigned char>(crc1 >> (24 - 8 * i));
        image[0x14 + i] = static_cast<unsigned char>(crc2 >> (24 - 8 * i));
    }
    for (std::size_t i = 0; i < 20; ++i) image[0x20 + i] = i < name.size() ? name[i] : ' ';
}

// Writes text as the whole content of the file at path.
inline void writeText(const std::string& path, const std::string& text) {
    writeFile(path, Bytes(text.begin(), text.end()));
}

// Sets an environment variable for as long as it lives (the program started inherits it).
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        if (old) old_ = old, hadOld_ = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (hadOld_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

// The Debian catalogue, where mupen64plus-data installs it.
const char* const kDebianCatalog = "/usr/share/games/mupen64plus/mupen64plus.ini";
