#include "cli/dat_option.h"

#include <CLI/CLI.hpp>

#include <cstdlib>

#include "cli/identity_texts.h"
#include "cli/report.h"

void addDatOption(CLI::App& parser, std::string& path) {
    parser.add_option("--dat", path,
                      "a DAT file (Logiqx XML or clrmamepro text, such as\n"
                      "No-Intro's) to look each FILE up in; without it,\n"
                      "DORNAVEL_DAT")
        ->type_name("DAT")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

std::string findDat(const std::string& given) {
    if (!given.empty()) return given;
    const char* fromEnvironment = std::getenv("DORNAVEL_DAT");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : std::string();
}

bool loadDat(const std::string& path, Dat& dat) {
    std::string reason;
    if (dat.load(path, reason)) return true;
    reportError(path, "cannot read the DAT", reason);
    return false;
}

bool goodInDat(const DatMatch& match) {
    return match.rom && match.rom->status != DatStatus::BadDump;
}

std::string datVerdictText(const DatMatch& match) {
    if (!match.rom) return "not in the DAT";
    const std::string text = "in the DAT as \"" + match.rom->game + "\"";
    switch (match.rom->status) {
    case DatStatus::Verified: return text + " (verified)";
    case DatStatus::BadDump: return text + ", a bad dump";
    case DatStatus::Good:
    case DatStatus::NoDump: break;
    }
    return text;
}

const char* matchDigestName(DatDigest by) {
    switch (by) {
    case DatDigest::Sha1: return "SHA-1";
    case DatDigest::Md5: return "MD5";
    case DatDigest::Crc32: return "CRC32";
    case DatDigest::None: break;
    }
    return "";
}

std::string matchedDigestValue(const RomIdentity& identity, const DatMatch& match) {
    const ImageDigests& digests = identity.digests.values[orderSlot(match.order)];
    switch (match.by) {
    case DatDigest::Sha1: return hexUpper(digests.sha1, sizeof digests.sha1);
    case DatDigest::Md5: return hexUpper(digests.md5, sizeof digests.md5);
    case DatDigest::Crc32: return hex32(digests.crc32);
    case DatDigest::None: break;
    }
    return std::string();
}

const char* datStatusName(DatStatus status) {
    switch (status) {
    case DatStatus::Verified: return "verified";
    case DatStatus::BadDump: return "bad dump";
    case DatStatus::NoDump: return "no dump";
    case DatStatus::Good: break;
    }
    return "good";
}
