// The JSON form of info. Values that are not there are null, so every object has every key.
#include "cli/dat_option.h"
#include "cli/identity_texts.h"
#include "cli/info_report.h"
#include "cli/json_output.h"
#include "cli/order_names.h"

// Keys keep the order they are written in, which reads better than sorted ones.
using json = nlohmann::ordered_json;

namespace {

// The header's fields; the name both as text and as its raw bytes in hex.
json headerJson(const RomIdentity& identity) {
    if (!identity.hasHeader) return nullptr;
    const RomHeader& header = identity.header;
    const RegionFacts region = regionFacts(header.region);
    return {
        {"name", headerText(header.name, sizeof header.name)},
        {"name_hex", hexUpper(header.name, sizeof header.name)},
        {"game_code", gameCode(header)},
        {"category", categoryName(header.category)},
        {"region_code", hex32(header.region).substr(6)},
        {"region", region.name},
        {"video", region.video},
        {"revision", header.revision},
        {"entry_point", hex32(header.entryPoint)},
        {"clock_rate", hex32(header.clockRate)},
        {"libultra", hex32(header.libultra)},
        {"libultra_release", libultraName(header.libultra)},
        {"crc1", hex32(header.crc1)},
        {"crc2", hex32(header.crc2)},
    };
}

json bootChipJson(const RomIdentity& identity) {
    if (!identity.hasBootCode) return nullptr;
    const bool known = identity.recognisedChip != BootChip::Unknown;
    return {
        {"name", known ? json(bootChipName(identity.recognisedChip)) : json(nullptr)},
        {"boot_code_crc32", hex32(identity.bootCodeCrc32)},
    };
}

} // namespace

json checkJson(const RomIdentity& identity) {
    const CheckResult& check = identity.check;
    const bool computed = check.verdict != CheckVerdict::NotVerified;
    return {
        {"verdict", verdictName(check.verdict)},
        {"reason", computed ? json(nullptr) : json(notVerifiedText(identity))},
        {"chip", computed ? json(bootChipName(check.chip)) : json(nullptr)},
        {"chip_forced", check.forced},
        {"computed", computed ? json(codeText(check.computed)) : json(nullptr)},
        {"zero_padded_to", computed && check.padded ? json(check.checkedEnd) : json(nullptr)},
    };
}

namespace {

json catalogJson(const CatalogAnswer& catalog) {
    if (catalog.path.empty()) return nullptr;
    const char* match = catalog.result.match == CatalogMatch::Md5           ? "md5"
                        : catalog.result.match == CatalogMatch::HeaderCodes ? "header_crc_guess"
                                                                            : "none";
    const bool found = catalog.result.match != CatalogMatch::None;
    json object = json::object();
    putPath(object, "file", catalog.path);
    object["match"] = match;
    object["good_name"] = found ? json(jsonText(catalog.result.goodName)) : json(nullptr);
    return object;
}

// Which image a digest is of, as the key "digests_of" says it.
const char* imageKey(ByteOrder order) {
    switch (order) {
    case ByteOrder::BigEndian: return "big_endian_image";
    case ByteOrder::LittleEndian: return "little_endian_image";
    case ByteOrder::DoctorV64: return "v64_image";
    case ByteOrder::None: break;
    }
    return "file";
}

} // namespace

nlohmann::ordered_json infoJson(const RomIdentity& identity, const CatalogAnswer& catalog, const DatAnswer& dat) {
    const ImageDigests& digests = identity.digests.bigEndian();
    return {
        {"size", identity.size},
        {"size_mbit", sizeInMbit(identity.size)},
        {"order", orderName(identity.order)},
        {"header", headerJson(identity)},
        {"boot_chip", bootChipJson(identity)},
        {"check", checkJson(identity)},
        {"digests_of", identity.order == ByteOrder::None ? "file" : "big_endian_image"},
        {"crc32", hex32(digests.crc32)},
        {"md5", hexUpper(digests.md5, sizeof digests.md5)},
        {"sha1", hexUpper(digests.sha1, sizeof digests.sha1)},
        {"catalog", catalogJson(catalog)},
        {"dat", datJson(identity, dat)},
    };
}

// The DAT's texts go through jsonText: a DAT may hold bytes that are not UTF-8.
json datJson(const RomIdentity& identity, const DatAnswer& dat) {
    if (dat.path.empty()) return nullptr;
    json entry = nullptr;
    if (const DatRom* rom = dat.match.rom) {
        const char* by = dat.match.by == DatDigest::Sha1 ? "sha1" : dat.match.by == DatDigest::Md5 ? "md5" : "crc32";
        entry = {
            {"game", jsonText(rom->game)},
            {"rom", jsonText(rom->name)},
            {"size", rom->size >= 0 ? json(rom->size) : json(nullptr)},
            {"status", rom->status == DatStatus::BadDump ? "baddump" : datStatusName(rom->status)},
            {"serial", rom->serial.empty() ? json(nullptr) : json(jsonText(rom->serial))},
            {"match", by},
            {"digests_of", imageKey(dat.match.order)},
            {"digest", matchedDigestValue(identity, dat.match)},
        };
    }
    json object = json::object();
    putPath(object, "file", dat.path);
    object["name"] = jsonText(dat.dat->name());
    object["entry"] = entry;
    return object;
}
