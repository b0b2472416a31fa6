// Writing the check codes a ROM's boot code computes into its header, on the update road of
// the core: under the lock, with an optional backup, durably, with a recovery record, and
// only the 8 bytes of the codes changed, in the file's own order.
#pragma once

#include <string>

#include "core/rom_file.h"
#include "core/rom_update.h"
#include "identity/rom_identity.h"

// How a fix ended.
enum class FixOutcome {
    Fixed,        // the computed codes were written
    AlreadyRight, // the header held them already: nothing was written
    NotComputed,  // no code can be computed (identity.check.reason tells why): nothing written
    Failed        // a step of the update failed: error tells which, and what the file holds
};

// What a fix found and did.
struct FixResult {
    FixOutcome outcome = FixOutcome::Failed;
    RomIdentity identity;    // of the file as it was read under the lock, with the codes computed
    PendingUpdate finished;  // an interrupted update the open brought to its end first
    std::string backup;      // the backup written, when one was
    FileError error;         // with Failed
};

// Computes the check codes of the ROM at path (for forcedChip when it is not Unknown, else
// for the chip its boot code is recognised as) and writes them over the header's when they
// differ, after a backup (FILE.bak) when backup is set. A file of unknown order, too short,
// or of a boot code not recognised and no chip forced is left as it is.
FixResult fixCheckCode(const std::string& path, BootChip forcedChip, bool backup, bool severalNames = false);
