// Giving the ROMs inside an archive (zip, 7z, gzip) the names a DAT gives them, with the
// extension of each one's order: the archive is written anew with those entries renamed,
// every other entry copied, on the road of actions/archive_rewrite.h. The archive keeps its
// own name. Two entries of the archive never take one name.
#pragma once

#include <string>
#include <vector>

#include "actions/rename_by_dat.h"

// What to rename in an archive, and after which DAT.
struct ArchiveRenameRequest {
    std::string path;
    const Dat* dat = nullptr;
    bool dryRun = false; // find the new names; write nothing
    bool torrentZip = false; // write a zip in TorrentZip's form (a 7z or gzip is refused)
};

// One ROM entry, and what became of its name.
struct ArchiveRenameEntry {
    std::string name;          // as the old archive has it
    std::string newName;       // the DAT's (Renamed, AlreadyNamed)
    std::string game;          // the DAT's game
    DatRenameOutcome outcome = DatRenameOutcome::NotInDat; // Renamed, AlreadyNamed, NotInDat or Failed
    std::string reason;        // with Failed: why the DAT's name cannot be given
};

// How the renaming in an archive ended.
enum class ArchiveRenameOutcome {
    Renamed,     // written anew with the entries renamed (a dry run: would be)
    NothingDone, // no entry to rename: untouched
    NoRom,       // no ROM inside: untouched
    Failed       // error says why; untouched
};

struct ArchiveRenameReport {
    ArchiveRenameOutcome outcome = ArchiveRenameOutcome::Failed;
    std::vector<ArchiveRenameEntry> roms; // in the archive's order
    FileError error;
};

// Renames each ROM entry of request.path that request.dat lists to the DAT's name.
ArchiveRenameReport renameInArchive(const ArchiveRenameRequest& request);
