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
    Fixed,        // the computed codes were written (a dry run: would be)
    AlreadyRight, // the header held them already: nothing was written
    NotComputed,  // no code can be computed (identity.check.reason tells why): nothing written
    Failed        // a step of the update failed: error tells which, and what the file holds
};

// What to fix, and how.
struct FixRequest {
    std::string path;
    BootChip chip = BootChip::Unknown; // compute the codes for this chip; Unknown: the one recognised
    bool backup = false;               // write FILE.bak before the codes change
    bool severalNames = false;         // a file with several names (hard links) may be written
    bool dryRun = false;               // find what would be written; write nothing
};

// What a fix found and did.
struct FixReport {
    FixOutcome outcome = FixOutcome::Failed;
    RomIdentity identity;    // of the file as it was read under the lock, with the codes computed
    PendingUpdate finished;  // an interrupted update the open brought to its end first
    std::string backup;      // the backup written, when one was (a dry run: that would be)
    FileError error;         // with Failed
};

// Where the check codes lie in the header: CRC1, then CRC2, big-endian.
constexpr std::int64_t kCodesOffset = 0x10;
constexpr std::size_t kCodesSize = 8;

// What a checked ROM calls for: Fixed when its codes differ from the computed ones,
// AlreadyRight, or NotComputed when they cannot be computed.
FixOutcome fixNeedOf(const RomIdentity& identity);

// The 8 bytes of codes as they lie in a file of order.
void checkCodesInOrder(const CheckCode& code, ByteOrder order, unsigned char* bytes);

// Computes the check codes of the ROM at request.path (for request.chip when it is not
// Unknown, else for the chip its boot code is recognised as) and writes them over the
// header's when they differ, after a backup (FILE.bak) when asked. A file of unknown order,
// too short, or of a boot code not recognised and no chip forced is left as it is.
FixReport fixCheckCode(const FixRequest& request);
