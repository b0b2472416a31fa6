// Patching a ROM file into a new file: the one road the window and the companion take. The
// ROM and the patch are read whole and only read (either may be an entry of an archive); the result goes to a new file through the
// core's writeNewFile, so no existing file is ever replaced and no partial file is left.
#pragma once

#include <string>

#include "actions/new_file_output.h"
#include "core/byte_order.h"
#include "core/recovery_record.h"
#include "core/rom_file.h"
#include "identity/rom_identity.h"
#include "patch/patch.h"

// What to patch, and where to.
struct PatchRequest {
    std::string rom;
    std::string patch;
    std::string output;                      // the new file
    ByteOrder outputOrder = ByteOrder::None; // None: the ROM's own order
    ByteOrder patchOrder = ByteOrder::None;  // the order the patch was made for, when the user knows
    bool dryRun = false;                     // do all but write: the new file's folder is checked
    StreamWriter stream = nullptr;           // when set, the new file's bytes go to it, not to output
};

// The step at which patching stopped.
enum class PatchStep {
    None,          // the new file was written
    OutputTaken,   // a file of the new file's name exists; nothing was read
    Interrupted,   // the ROM holds an interrupted update (pending says which); not read
    ReadRom,       // the ROM could not be read (error)
    NotRom,        // the ROM's first bytes say it is something else (romKind: an archive, a program)
    RomOrder,      // the ROM's first byte names no byte order
    ReadPatch,     // the patch could not be read (error)
    Apply,         // the patch was refused (patchError)
    Write          // the new file could not be written (error); nothing is left of it (a dry
                   // run: its folder cannot take it)
};

// What happened, and what was found on the way.
struct PatchReport {
    PatchStep failed = PatchStep::None;
    FileError error;                         // the file and the reason, with ReadRom, ReadPatch and Write
    PendingUpdate pending;
    PatchError patchError;
    PatchFormat format = PatchFormat::None;
    FileKind romKind = FileKind::Unrecognised;
    ByteOrder romOrder = ByteOrder::None;
    ByteOrder patchOrder = ByteOrder::None;  // the order the patch was applied in
    OrderBasis basis = OrderBasis::Assumed;
    ByteOrder outputOrder = ByteOrder::None;
    RomIdentity result;                      // header and check code of the new file
    std::string romEntry, patchEntry;        // the entries read, when the ROM or the patch was an archive
};

// Patches job.rom with job.patch into the new file job.output. True when it was written.
bool patchRomFile(const PatchRequest& job, PatchReport& report);

// The default name of a patched ROM: the patch's name with extension in place of its own,
// in the ROM's folder.
std::string patchedPathBeside(const std::string& rom, const std::string& patch, const std::string& extension);

// The format of the patch at path, from its first bytes; None when it is no patch or cannot
// be read.
PatchFormat recognisePatchFile(const std::string& path);
