// A mupen64plus ROM catalogue (mupen64plus.ini): the GoodName of each ROM, found by the MD5
// of its big-endian image, or guessed from the header's check code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

// How a ROM was found in the catalogue.
enum class CatalogMatch {
    None,       // not found
    Md5,        // a section is named by the image's MD5: this is the ROM
    HeaderCodes // only by the header's check code, which exactly one section carries: a guess
};

// What the catalogue says about one ROM.
struct CatalogResult {
    CatalogMatch match = CatalogMatch::None;
    std::string goodName;
};

class Catalog {
public:
    // Reads the catalogue file at path, replacing what was held. A folder, a device, a
    // missing or unreadable file gives false with reason set.
    bool load(const std::string& path, std::string& reason);

    // Takes the catalogue from its text, replacing what was held. Lines it cannot use (no
    // '=', a section without a name, an overlong line, an unreadable CRC) are skipped.
    void parse(std::string_view text);

    // The entry for an image of this MD5 (hex, any case) with these header codes.
    CatalogResult find(const std::string& md5, std::uint32_t crc1, std::uint32_t crc2) const;

    // The number of sections held.
    std::size_t size() const { return sections_.size(); }

private:
    // One section, by the fields used here.
    struct Section {
        std::string goodName;
        std::string refMd5;   // a section it takes missing fields from, upper case
        bool hasCodes = false;
        std::uint64_t codes = 0; // CRC1 in the high half, CRC2 in the low one
    };

    void readLine(std::string_view line, Section*& current);
    void resolveReferences();
    void indexCodes();

    // The sections that carry one header code.
    struct Carriers {
        std::size_t count = 0;
        std::string goodName; // of the first one
    };

    std::unordered_map<std::string, Section> sections_; // by MD5, upper case
    std::unordered_map<std::uint64_t, Carriers> byCodes_;
};
