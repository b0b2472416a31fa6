// Making a patch file: the one road the companion (and later the window) takes. ORIGINAL and
// MODIFIED are read whole and only read, each in whatever byte order it is in; both are
// brought to the order the patch is for, the patch is made, applied in memory to ORIGINAL
// and compared with MODIFIED, and only then written as a new file through the core's
// writeNewFile: no existing file is ever replaced and no partial file is left.
#pragma once

#include <cstddef>
#include <string>

#include "actions/new_file_output.h"
#include "core/byte_order.h"
#include "core/file_kind.h"
#include "core/recovery_record.h"
#include "core/rom_file.h"
#include "patch/patch.h"

// What to make.
struct MakePatchRequest {
    std::string original;
    std::string modified;
    std::string output;                          // the new file; "" for MODIFIED's name with the format's extension
    PatchFormat format = PatchFormat::Bps;       // Bps, Ups, Ips or Vcdiff
    ByteOrder order = ByteOrder::BigEndian;      // the order the patch is made for
    std::string metadata;                        // BPS: the text its metadata carries
    bool dryRun = false;                         // do all but write: the new file's folder is checked
    StreamWriter stream = nullptr;               // when set, the patch's bytes go to it, not to output
};

// The step at which making the patch stopped.
enum class MakePatchStep {
    None,        // the new file was written
    OutputTaken, // a file of the new file's name exists; nothing was read
    Interrupted, // file holds an interrupted update (pending says which); not read
    Read,        // file could not be read (reason)
    Order,       // file's first byte names no byte order, or it is something else (kind): no N64 ROM
    Make,        // the format cannot hold this patch (reason), or no memory
    Check,       // the patch made does not give MODIFIED back (reason): a fault of the program
    Write        // the new file could not be written (error); nothing is left of it
};

// What happened, and what was found on the way.
struct MakePatchReport {
    MakePatchStep failed = MakePatchStep::None;
    FileError error;                         // the file concerned, the reason; with Order, kind: what the
                                             // file is instead, where its start tells
    PendingUpdate pending;
    std::string output;                      // the new file's name, given or made
    ByteOrder originalOrder = ByteOrder::None;
    ByteOrder modifiedOrder = ByteOrder::None;
    std::size_t patchSize = 0;
    bool identical = false;                  // the two images are the same: the patch changes nothing
};

// Makes the patch of request into its new file. True when it was written.
bool makePatchFile(const MakePatchRequest& request, MakePatchReport& report);

// The default name of a patch: MODIFIED's name with the format's extension, in its folder.
std::string patchPathFor(const std::string& modified, PatchFormat format);
