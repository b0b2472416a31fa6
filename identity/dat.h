// DAT files, the lists of known-good dumps that No-Intro and other groups publish: Logiqx
// XML or clrmamepro's text format, recognised by their content. Each ROM of a DAT is matched
// by the strongest digest it lists, computed of the image in the byte order its digests
// are of.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/byte_order.h"
#include "identity/image_digests.h"
#include "identity/rom_identity.h"

// How a DAT rates a dump.
enum class DatStatus {
    Good,     // listed, not checked further (also when the DAT says nothing)
    Verified, // checked against more than one cartridge
    BadDump,  // known to be a bad dump
    NoDump    // known to exist, never dumped: it has no digests
};

// The digest a ROM of a DAT is matched by: the strongest it lists.
enum class DatDigest {
    None,    // it lists none: it matches nothing
    Sha1,
    Md5,
    Crc32    // with the size, which must then be listed too
};

// One ROM of a DAT.
struct DatRom {
    std::string game;       // the name of the game it belongs to
    std::string name;       // its file name, e.g. "Super Mario 64 (USA).z64"
    std::string serial;     // e.g. "NSME"; empty when not given
    std::int64_t size = -1; // in bytes; -1 when not given
    bool hasCrc32 = false, hasMd5 = false, hasSha1 = false;
    std::uint32_t crc32 = 0;
    unsigned char md5[16] = {};
    unsigned char sha1[20] = {};
    DatStatus status = DatStatus::Good;
    ByteOrder order = ByteOrder::BigEndian; // the order of the image its digests are of
    unsigned line = 0;                      // where the DAT lists it
};

// The two formats.
enum class DatFormat { LogiqxXml, ClrMamePro };

// Where a file was found in a DAT.
struct DatMatch {
    const DatRom* rom = nullptr; // null: not in the DAT
    DatDigest by = DatDigest::None;
    ByteOrder order = ByteOrder::None; // of the image whose digest matched (None: the file as it is)
};

// The largest DAT read: the N64 DATs are well under 1 MiB, the largest DATs of any system a
// few hundred MiB.
constexpr std::int64_t kLargestDat = std::int64_t(512) << 20;

class Dat {
public:
    // Reads the DAT file at path, replacing what was held. False with reason set when it
    // cannot be read or is no DAT, e.g. "line 12, column 4: ...".
    bool load(const std::string& path, std::string& reason);

    // Takes the DAT from its text, recognising the format; false as for load.
    bool parse(const unsigned char* text, std::size_t size, std::string& reason);

    DatFormat format() const { return format_; }
    const std::string& name() const { return name_; } // the header's, empty when none
    const std::vector<DatRom>& roms() const { return roms_; }

    // The digests a file must be hashed with to be matched: for each order (by orderSlot),
    // those its ROMs are matched by.
    DigestSet needs(std::size_t slot) const { return needs_[slot]; }

    // The ROM the digests of a file of order and size are of. The image in the file's own
    // order is tried first, then big-endian, then the third order; a file of unknown order
    // is taken as it is (the big-endian slot) against ROMs of every order. Among ROMs of one
    // digest, the first in the DAT is taken.
    DatMatch find(const OrderedDigests& digests, ByteOrder order, std::int64_t size) const;

private:
    void index();
    const DatRom* findIn(std::size_t digestSlot, std::size_t romSlot, const OrderedDigests& digests,
                         std::int64_t size, DatDigest& by) const;

    DatFormat format_ = DatFormat::LogiqxXml;
    std::string name_;
    std::vector<DatRom> roms_;
    DigestSet needs_[kOrderSlots];
    // The ROMs by the key of their digest: slot, kind and the digest's bytes.
    std::unordered_map<std::string, std::size_t> index_;
};

// The order a DAT's ROM name gives its digests by its extension (".z64" big-endian, ".v64"
// Doctor V64, ".n64" little-endian, in any letter case); None for any other name.
ByteOrder orderOfRomName(const std::string& name);

// The order a DAT's header name gives its ROMs: "(BigEndian)" or "(ByteSwapped)" in it, as
// No-Intro names its two sets; big-endian otherwise.
ByteOrder orderOfDatName(const std::string& name);

// The digest rom is matched by.
DatDigest matchDigestOf(const DatRom& rom);

// The file name a DAT gives a file of order found as rom: the ROM's name with its extension
// replaced by the order's (".z64", ".v64", ".n64"), or the name as it is for a file of
// unknown order. Empty with problem set when that name could not be a file's on every
// system: a DAT must never move a file to another folder or make a name Windows refuses.
std::string datFileName(const DatRom& rom, ByteOrder order, std::string& problem);

// Adds to what options ask for the digests the ROMs of dat are matched by, in their orders.
void askForDatDigests(const Dat& dat, IdentifyOptions& options);

// What the readers of the two formats gather.
struct DatContents {
    std::string name;         // the header's
    std::vector<DatRom> roms; // in the DAT's order, their order not yet set
};

// Sets the field of rom that a ROM's attribute (XML) or key (clrmamepro) names, from its
// text: name, size, crc, md5, sha1, status (or clrmamepro's flags), serial; others are
// ignored. Digests in either letter case; an empty value counts as not given. False with
// problem set for a value that cannot be one of its field.
bool setRomField(DatRom& rom, const std::string& key, const std::string& value, std::string& problem);

// "line 12, column 4: ", "line 12: " where the column is not known, or "".
std::string placeText(unsigned line, unsigned column);

// The readers of the two formats, which fill contents from the whole text or say where it
// broke ("line 12, column 4: ...").
bool readLogiqxDat(const unsigned char* text, std::size_t size, DatContents& contents, std::string& reason);
bool readClrMameProDat(const unsigned char* text, std::size_t size, DatContents& contents, std::string& reason);
