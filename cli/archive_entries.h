// The commands that only read (detect, info, check) look inside archives: each entry holding
// a ROM is read as a stream, never unpacked to the disk, and told as ARCHIVE/ENTRY (with
// "archive" and "entry" in its JSON object).
#pragma once

#include <functional>
#include <string>

#include "archive/entry_source.h"
#include "cli/summary.h"
#include "core/rom_file.h"
#include "identity/rom_identity.h"

// What a command does with one ROM entry: its name as told (ARCHIVE/ENTRY) and the entry
// open at its first byte. Returns the entry's outcome.
using RomEntryHandler = std::function<std::size_t(const std::string& name, EntrySource& rom)>;

// The outcomes an archive gives besides its ROMs': one that holds none, one that fails.
struct ArchiveOutcomes {
    std::size_t notRom;
    std::size_t failed;
};

// When the first bytes of file say it is an archive, goes through its entries and returns
// true with outcomes set: each ROM entry's from handle; a failure (a damaged archive, an
// encrypted entry, a name no file should have) reported and counted as failed; an entry
// that is not a ROM skipped, and said so when the archive was named; an archive without a
// ROM found in a walk counted among the files that are none. Returns false for any other
// file, and for a named archive without a ROM, which the command takes as it did.
bool goThroughArchive(const std::string& file, bool named, const ArchiveOutcomes& kinds,
                      const RomEntryHandler& handle, Outcomes& outcomes);

// What a command that describes ROMs (info, check) tells of one it read: its outcome.
using IdentityTeller = std::function<std::size_t(const std::string& name, const RomIdentity& identity)>;

// Identifies file as options ask, or each ROM inside it when it is an archive, and tells each
// through tell. A file or an entry that is no ROM or cannot be read is reported (see
// identifyForReport) and counted under kinds.
Outcomes identifyEachRom(const std::string& file, bool named, const IdentifyOptions& options,
                         const ArchiveOutcomes& kinds, const IdentityTeller& tell);

// Tells why an archive a writer (convert, fix, rename) meant to write anew was left as it
// was: it could not be read, its backup or the new archive could not be written.
void reportArchiveLeft(const std::string& file, const FileError& error);
