// The two forms info reports a file in: a readable block of aligned lines, or a JSON object.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "identity/catalog.h"
#include "identity/dat.h"
#include "identity/rom_identity.h"

// What the catalogue said about a file.
struct CatalogAnswer {
    std::string path;     // the catalogue consulted; empty when none was found or read
    CatalogResult result; // its entry for the file
};

// What the DAT said about a file.
struct DatAnswer {
    std::string path;         // the DAT consulted; empty when none was given
    const Dat* dat = nullptr; // it, read
    DatMatch match;           // its entry for the file
};

// The block info prints for a file: the file's name, then "  key  value" lines; names from
// the file, the catalogue and the DAT are shown safely (core/shown_text.h).
std::string infoText(const std::string& file, const RomIdentity& identity, const CatalogAnswer& catalog,
                     const DatAnswer& dat);

// The keys info's JSON object gives for a file after "file", with stable names in a fixed
// order and upper-case hex digests.
nlohmann::ordered_json infoJson(const RomIdentity& identity, const CatalogAnswer& catalog, const DatAnswer& dat);

// The DAT and its entry for a file: null without a DAT; "entry" null when the DAT does not
// list the file. info's "dat" object, and check's.
nlohmann::ordered_json datJson(const RomIdentity& identity, const DatAnswer& dat);

// How the check code was verified: verdict, reason, chip, chip_forced, computed,
// zero_padded_to; info's "check" object, and the keys check adds for a file.
nlohmann::ordered_json checkJson(const RomIdentity& identity);
