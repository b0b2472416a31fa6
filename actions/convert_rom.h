// Converting a ROM file in place to another byte order: the one road the window and the
// companion take, with the backup before and the rename after. The steps come in one sound
// order, whoever asks: open under the lock (finishing an interrupted update found beside the
// file), refuse what is no ROM, find the order, leave a file already in the target order
// untouched, check what could only end badly (a rename that would fail, a backup that would
// take the place of another file of the call), then back up, convert, rename. A question is
// asked only once its answer matters: the backup only when the file is to change.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/byte_order.h"
#include "core/recovery_record.h"
#include "core/rom_file.h"

// The files of one call, by identity (device, file number): a backup never replaces one.
using CallFiles = std::set<std::pair<std::uint64_t, std::uint64_t>>;

// The identities of the files that exist among files.
CallFiles identitiesOf(const std::vector<std::string>& files);

// What to convert, and how.
struct ConvertRequest {
    std::string path;
    ByteOrder target = ByteOrder::None;
    ByteOrder source = ByteOrder::None;   // take the file to be in this order; None: the order read
    bool expectOrder = false;             // the user was shown the file in the order expected:
    ByteOrder expected = ByteOrder::None; // another one read under the lock leaves it untouched
    bool backup = false;                  // write FILE.bak first (unless questions.backup is given)
    bool rename = false;                  // give the file its order's extension (checked before writing)
    ExtensionSet names = ExtensionSet::Window;
    bool dryRun = false;                  // check what the real run would meet; write nothing
    bool severalNames = false;            // a file with several names (hard links) may be written
    const CallFiles* callFiles = nullptr; // the other files of the call, when there are
};

// The questions the window asks, each at the moment its answer is needed, and what it is told
// as the work goes on. Any may be left empty: the request's fields answer instead.
struct ConvertQuestions {
    std::function<bool()> takeAsBig;  // the order is not recognised: take the file as big-endian?
    std::function<bool()> backup;     // the file is about to change: back it up first?
    std::function<bool()> rename;     // the file was converted: rename it for its new order?
    std::function<void(const PendingUpdate&)> finished; // the open finished an interrupted update
    WriteProgress progress;           // after each slice written
};

// How a conversion ended.
enum class ConvertOutcome {
    Converted,        // written in the target order (a dry run: would be)
    AlreadyInOrder,   // already in the target order: untouched
    NothingToConvert, // shorter than one conversion group: untouched
    NotRom,           // something else (error.kind says what): untouched
    Unrecognised,     // the order is not recognised, and none was given or taken: untouched
    OrderChanged,     // read in another order than the one expected: untouched
    Failed            // error tells the step and what the file holds
};

// What the conversion found and did.
struct ConvertReport {
    ConvertOutcome outcome = ConvertOutcome::Failed;
    ByteOrder source = ByteOrder::None; // the order converted from (or found)
    PendingUpdate interrupted;          // the interrupted update the open finished (a dry run: would)
    std::string backup;                 // the backup written (a dry run: that would be)
    std::string renamedTo;              // the new name given (a dry run: that would be); empty: kept
    std::string alreadyAlso;            // the new name was already another link to the file: both kept
    bool converted = false;             // the bytes are in the target order (also when a rename failed)
    FileError error;                    // with Failed (FileStep::Rename: the name path was refused)
};

// Converts request.path as request and questions say.
ConvertReport convertRom(const ConvertRequest& request, const ConvertQuestions& questions = ConvertQuestions());
