// The words info and check use for what the core found about a ROM.
#pragma once

#include <string>

#include "core/text.h"
#include "identity/rom_identity.h"

// A check code as catalogues and flash carts write it: "DDBA4DE5 B107004A".
std::string codeText(const CheckCode& code);

// "ok", "mismatch" or "not verified".
const char* verdictName(CheckVerdict verdict);

// Why the check code was not verified, e.g. "boot code not recognised (CRC32 1234ABCD);
// give --cic CHIP"; empty when it was.
std::string notVerifiedText(const RomIdentity& identity);

// How the computed code was reached, e.g. "CIC 6102/7101, given by --cic, image padded with
// zeros to 1052672 bytes".
std::string checkBasisText(const CheckResult& check);

// The line check prints for a file after "FILE: ".
std::string checkLine(const RomIdentity& identity);
