#include "cli/identity_texts.h"


std::string codeText(const CheckCode& code) {
    return hex32(code.crc1) + " " + hex32(code.crc2);
}

const char* verdictName(CheckVerdict verdict) {
    switch (verdict) {
    case CheckVerdict::Ok: return "ok";
    case CheckVerdict::Mismatch: return "mismatch";
    case CheckVerdict::NotVerified: break;
    }
    return "not verified";
}

std::string notVerifiedText(const RomIdentity& identity) {
    switch (identity.check.reason) {
    case NotVerifiedReason::None: break;
    case NotVerifiedReason::OrderUnknown: return "byte order not recognised";
    case NotVerifiedReason::ShortFile:
        return "file shorter than the boot code (" + std::to_string(identity.size) + " of 4096 bytes)";
    case NotVerifiedReason::UnknownBootCode:
        return "boot code not recognised (CRC32 " + hex32(identity.bootCodeCrc32) + "); give --cic CHIP";
    case NotVerifiedReason::NoAlgorithm:
        return std::string("no check code is known for CIC ") + bootChipName(identity.check.chip);
    }
    return std::string();
}

// The padding is said because homebrew ROMs shorter than the checked range carry the code
// of the padded image; a different value in hardware that reads past the end is possible.
std::string checkBasisText(const CheckResult& check) {
    std::string text = std::string("CIC ") + bootChipName(check.chip);
    if (check.forced) text += ", given by --cic";
    if (check.padded) text += ", image padded with zeros to " + std::to_string(check.checkedEnd) + " bytes";
    return text;
}

std::string checkLine(const RomIdentity& identity) {
    const CheckResult& check = identity.check;
    switch (check.verdict) {
    case CheckVerdict::Ok: return "ok (" + checkBasisText(check) + ")";
    case CheckVerdict::Mismatch:
        return "mismatch: header " + codeText(check.header) + ", computed " + codeText(check.computed) + " (" +
               checkBasisText(check) + ")";
    case CheckVerdict::NotVerified: break;
    }
    return "not verified: " + notVerifiedText(identity);
}
