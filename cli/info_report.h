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

// The block info prints for a file: the file's name, then "  key  value" lines.
std::string infoText(const std::string& file, const RomIdentity& identity, const CatalogAnswer& catalog,
                     const DatAnswer& dat);

// The JSON object info gives for a file, with stable key names in a fixed order and upper-case hex digests.
nlohmann::ordered_json infoJson(const std::string& file, const RomIdentity& identity, const CatalogAnswer& catalog,
                                const DatAnswer& dat);

// The JSON object info gives for a file it could not read.
nlohmann::ordered_json unreadableJson(const std::string& file, const std::string& reason);
