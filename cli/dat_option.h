// The DAT that check, info and rename consult (--dat DAT, else $DORNAVEL_DAT), and the words
// they use for what it says of a file.
#pragma once

#include <string>

#include "identity/dat.h"

namespace CLI {
class App;
}

// Adds --dat DAT to a command's parser; given twice, the last one counts.
void addDatOption(CLI::App& parser, std::string& path);

// The DAT to read: given when not empty, else the file named by the environment variable
// DORNAVEL_DAT when it is set and not empty; empty when there is none.
std::string findDat(const std::string& given);

// Reads the DAT at path; when it cannot be read, says so on standard error, naming the DAT
// and where it broke, and returns false. Like every message, the DAT's names are printed
// as core/shown_text.h shows them: a DAT's control characters never reach the terminal.
bool loadDat(const std::string& path, Dat& dat);

// What check says of a file's place in the DAT: "in the DAT as "NAME" (verified)", "in the
// DAT as "NAME", a bad dump" or "not in the DAT".
std::string datVerdictText(const DatMatch& match);

// Whether a file found so counts as good: in the DAT, and not as a bad dump.
bool goodInDat(const DatMatch& match);

// The name of the digest a DAT's ROM was matched by: "SHA-1", "MD5" or "CRC32" (the size
// matched too); "" for none.
const char* matchDigestName(DatDigest by);

// The value of that digest in the image of the file that matched, in upper-case hex.
std::string matchedDigestValue(const RomIdentity& identity, const DatMatch& match);

// The name of a DAT status: "good", "verified", "bad dump" or "no dump".
const char* datStatusName(DatStatus status);
