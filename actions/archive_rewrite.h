// Writing an archive anew with some of its entries changed: the new archive is written beside
// the old one on the road every new file takes (a temporary name, durable, read back and
// checked by CRC-32), and only then given the old archive's name. Every other entry is
// copied unchanged (name, order, time; its stored bytes as they are where the back end
// allows). A kill, a full disk or a damaged entry leaves the old archive whole.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "core/rom_file.h"
#include "identity/rom_identity.h"

// One entry to change: its bytes, whole in memory, go through change; newName, when not
// empty, replaces its name.
struct EntryRewrite {
    std::size_t index = 0; // in the old archive
    std::string newName;
    std::function<void(unsigned char* bytes, std::size_t size)> change;
};

// The reason of an archive's error, naming the entry when there is one.
std::string archiveReasonOf(const ArchiveError& problem);

// What a writer takes of each ROM entry it found: its index and identity.
using ArchivedRomTaker = std::function<void(std::size_t index, const RomIdentity& identity)>;

// Identifies each entry of the archive that holds a ROM, in the archive's order, reading it
// to its end so that its CRC-32 is proved, and hands it to take; entries that are no ROM are
// passed over. False with error set (step Read, naming the entry) at the first entry that
// cannot be read whole.
bool forEachArchivedRom(ArchiveReader& reader, const IdentifyOptions& options, const ArchivedRomTaker& take,
                        FileError& error);

// How an archive is written anew.
struct ArchiveRewriteOptions {
    std::string backup;      // where the old archive is copied first; empty: no backup
    bool torrentZip = false; // a zip in TorrentZip's form (its entries sorted by name, packed anew)
};

// Refuses, before anything is read or written, what the options cannot give this archive:
// TorrentZip's form for another format than zip.
bool refuseRewriteOptions(const ArchiveReader& reader, const ArchiveRewriteOptions& options, FileError& error);

// Writes the archive reader has open anew with the rewrites (in the order of their indexes),
// every other entry copied; the backup first, when asked; then the new archive takes the old
// one's name. The reader is closed on the way. False with error set (step Read: the old
// archive; Backup; NewFile: the new one, or TorrentZip asked of another format), the old
// archive whole.
bool rewriteArchive(std::unique_ptr<ArchiveReader> reader, const std::vector<EntryRewrite>& rewrites,
                    const ArchiveRewriteOptions& options, FileError& error);
