// check --missing: what a collection holds of a DAT's games, gathered file by file, then the
// games it lacks and a closing count of the kind collectors read ("1,203 of 1,435 games
// present ..., 232 missing, 5 files the DAT does not list").
#pragma once

#include <set>
#include <string>

#include "identity/dat.h"
#include "identity/rom_identity.h"

class CollectionTally {
public:
    explicit CollectionTally(const Dat& dat) : dat_(dat) {}

    // Counts a ROM that was read, by where the DAT has it (match.rom null: nowhere).
    void count(const RomIdentity& identity, const DatMatch& match);

    // Tells each of the DAT's games without a file ("missing: GAME", or its JSON object), in
    // the DAT's order, then the closing count.
    void report() const;

    // The closing count, e.g. "2 of 3 games present (1 in another byte order than the DAT
    // lists), 1 missing, 1 file the DAT does not list".
    std::string line() const;

private:
    const Dat& dat_;
    std::set<std::string> present_;    // games with a file
    std::set<std::string> otherOrder_; // of those, found in another order than the DAT's
    std::set<std::string> badDumps_;   // of those, found as a bad dump the DAT lists
    int unlisted_ = 0;                 // ROMs read that the DAT does not list
};
