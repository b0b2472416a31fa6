// Renaming a ROM file to the name a DAT gives it, with the extension of the file's own order,
// in its own folder: the one road for both front ends. An existing file of the new name is
// never replaced, and two files of one call never take the same name.
#pragma once

#include <set>
#include <string>

#include "core/file_kind.h"
#include "core/recovery_record.h"
#include "core/rom_file.h"
#include "identity/dat.h"

// What to rename, and after which DAT.
struct DatRenameRequest {
    std::string path;
    const Dat* dat = nullptr;
    bool dryRun = false;               // check that the new name is free; rename nothing
    std::set<std::string>* taken = nullptr; // the new names given (or planned) so far in the call
};

// How a rename ended.
enum class DatRenameOutcome {
    Renamed,       // renamed to newPath (a dry run: would be)
    AlreadyNamed,  // the file already carries the DAT's name
    AlreadyLinked, // the DAT's name is already another link to the file: both kept
    NotInDat,      // the DAT lists no ROM of the file's digests: name kept
    NotRom,        // its first bytes say it is something else (kind): name kept
    Interrupted,   // it holds an interrupted update (pending): its digests would be of no one order
    Failed         // error tells why: unreadable (Read), no file name from the DAT (None), the new name refused (Rename)
};

// What the rename found and did.
struct DatRenameReport {
    DatRenameOutcome outcome = DatRenameOutcome::Failed;
    std::string newPath; // the name the DAT gives, in the file's folder
    std::string game;    // the DAT's game
    FileKind kind = FileKind::Unrecognised;
    PendingUpdate pending;
    FileError error;
};

// Renames request.path to the name request.dat gives it.
DatRenameReport renameByDat(const DatRenameRequest& request);
