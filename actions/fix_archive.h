// Fixing the check codes of the ROMs inside an archive (zip, 7z, gzip): the archive is written
// anew with each ROM whose codes differ given the computed ones (only those 8 bytes change,
// in the entry's own order), every other entry copied, on the road of actions/archive_rewrite.h.
#pragma once

#include <string>
#include <vector>

#include "actions/fix_check_code.h"

// What to fix in an archive.
struct ArchiveFixRequest {
    std::string path;
    BootChip chip = BootChip::Unknown; // compute the codes for this chip; Unknown: the one recognised
    bool backup = false;               // keep the old archive as ARCHIVE.bak (replacing an older one)
    bool dryRun = false;               // find what would be written; write nothing
    bool torrentZip = false; // write a zip in TorrentZip's form (a 7z or gzip is refused)
};

// One ROM entry, and what its check called for.
struct ArchiveFixEntry {
    std::string name;
    RomIdentity identity; // with the codes computed
    FixOutcome need = FixOutcome::NotComputed; // Fixed: written (a dry run: would be)
};

// How the fix of an archive ended.
enum class ArchiveFixOutcome {
    Fixed,       // written anew with the codes of each ROM that needed them (a dry run: would be)
    NothingDone, // no ROM needed new codes (right, or not computable): untouched
    NoRom,       // no ROM inside: untouched
    Failed       // error says why; untouched
};

struct ArchiveFixReport {
    ArchiveFixOutcome outcome = ArchiveFixOutcome::Failed;
    std::vector<ArchiveFixEntry> roms; // in the archive's order
    std::string backup;                // the backup written (a dry run: that would be)
    FileError error;
};

// Checks every ROM of the archive request.path and writes the computed codes of those whose
// header holds others.
ArchiveFixReport fixArchive(const ArchiveFixRequest& request);
