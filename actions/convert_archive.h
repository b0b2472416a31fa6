// Converting the ROMs inside an archive (zip, 7z, gzip): the archive is written anew beside
// the old one, on the road every new file takes (a temporary name, durable, read back and
// checked by CRC-32), and only then given the old archive's name. Every other entry is
// copied unchanged (name, order, time; its stored bytes as they are where the back end
// allows). A kill, a full disk or a damaged entry leaves the old archive whole.
#pragma once

#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/rom_file.h"

// What to convert in an archive.
struct ArchiveConvertRequest {
    std::string path;
    ByteOrder target = ByteOrder::None;
    bool backup = false;                  // keep the old archive as ARCHIVE.bak (replacing an older one)
    bool rename = false;                  // give each converted entry its order's extension
    ExtensionSet names = ExtensionSet::Window;
    bool dryRun = false;                  // find what would be converted; write nothing
    std::string entry;                    // only the ROM of this entry (the window's); empty: every ROM
    bool torrentZip = false; // write a zip in TorrentZip's form (a 7z or gzip is refused)
};

// One ROM entry of the archive, and what became of it.
struct ArchiveRomEntry {
    std::string name;                     // as the old archive has it
    ByteOrder order = ByteOrder::None;    // its order there
    std::string renamedTo;                // its new name; empty: kept
    bool converted = false;               // written in the target order (a dry run: would be)
};

// How the conversion of an archive ended.
enum class ArchiveConvertOutcome {
    Converted,      // written anew with its ROMs in the target order (a dry run: would be)
    AlreadyInOrder, // every ROM already in the target order: untouched
    NoRom,          // no ROM inside: untouched
    Failed          // error says why (step Read: the old archive; NewFile: the new one); untouched
};

struct ArchiveConvertReport {
    ArchiveConvertOutcome outcome = ArchiveConvertOutcome::Failed;
    std::vector<ArchiveRomEntry> roms; // the ROM entries, in the archive's order
    std::string backup;                // the backup written (a dry run: that would be)
    FileError error;
};

// Converts every ROM of the archive request.path that is not in the target order.
ArchiveConvertReport convertArchive(const ArchiveConvertRequest& request);
