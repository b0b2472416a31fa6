// One update of one ROM file, from the open to the close: the road every write of a ROM takes,
// in the window as in the command line (a conversion, a fix of a few bytes). The steps are
// separate calls, so that a front end can ask its questions between them.
//
// The ROM is locked from the open to the close, so no other run of the program writes it
// meanwhile; whatever is read is read under the lock. Before the first byte changes, a
// recovery record is made durable beside the ROM; it is removed once the ROM is whole on the
// disk again. An open that finds a record left by an update that was stopped first brings
// the ROM to the end of that update. The file goes through a small buffer a slice at a time,
// so memory stays the same whatever the ROM's size.
//
// The update's states, and the calls that move it from one to the other (a call in a state
// it is not listed for fails with a FileError saying why, and changes nothing):
//   Closed   --open(Update)--> Open      --open(Check)--> Checking   (a failed open: Closed)
//   Open     --backUp-->       BackedUp  (a failed backup: Open)
//   Open, BackedUp, Written --convert, replace--> Written  (a failure that left the ROM whole
//            and no record behind: the state it was in; one that left either: Broken)
//   any      --close-->        Closed    (open closes first, so it is taken in any state)
// read and checkWrite are taken in Checking, Open, BackedUp and Written; backUp in Open and
// BackedUp (once written, the file is no longer the one to back up); convert and replace in
// Open, BackedUp and Written, never in Checking (a dry run writes nothing). Broken takes only
// close: the record left beside the ROM is for the next open to settle.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "core/byte_order.h"
#include "core/file_ops.h"
#include "core/recovery_record.h"
#include "core/rom_file.h"

// Why a ROM is opened.
enum class OpenPurpose {
    Update, // to write it: an interrupted update found beside it is brought to its end first
    Check   // to see what an update would meet, writing nothing at all (a dry run)
};

// Where an update stands; see the transitions above.
enum class UpdateState {
    Closed,   // no file open
    Checking, // opened for a dry run: nothing may be written
    Open,     // opened for update, nothing written yet
    BackedUp, // the backup written, the ROM not yet
    Written,  // a conversion or replacement ended: the ROM is whole in its new state
    Broken    // a write failed and left the ROM mixed or its record behind: only close
};

class RomUpdate {
public:
    RomUpdate() = default;
    ~RomUpdate();
    RomUpdate(const RomUpdate&) = delete;
    RomUpdate& operator=(const RomUpdate&) = delete;

    // Opens the regular file at path for update and locks it without waiting (another
    // program holding it: FileStep::Busy), deals with a recovery record found beside it as
    // purpose says, and reads its first bytes.
    bool open(const std::string& path, FileError& error, OpenPurpose purpose = OpenPurpose::Update);

    // Lets the next open take a file with several names (hard links): the user asked for it,
    // knowing that an update stopped halfway is then seen only through the name it was made by.
    void allowSeveralNames() { severalNames_ = true; }

    // The update found interrupted beside the ROM: for Update, what open brought to its end;
    // for Check, what an update would first bring to its end. found is false when none was.
    const PendingUpdate& interrupted() const { return interrupted_; }

    // The order of the bytes read under the lock, from the first one (None: empty or not
    // recognised).
    ByteOrder order() const;
    std::int64_t size() const { return size_; }
    const std::string& path() const { return path_; }

    // Reads size bytes from offset on, under the lock.
    bool read(std::int64_t offset, unsigned char* bytes, std::size_t size, FileError& error);

    // Writes the backup (FILE.bak) of the file as it is, before anything is changed.
    bool backUp(FileError& error);
    bool backedUp() const { return backedUp_; }
    std::string backupName() const { return backupPath(path_); }

    // Whether converting from one order to the other would change any byte of this file.
    bool changes(ByteOrder from, ByteOrder to) const;

    // Checks, without writing anything, what an update would meet before its first write:
    // the file size limit, the room to rewrite the file, the folder taking the recovery
    // record and, with backup, the backup.
    bool checkWrite(bool backup, FileError& error);

    // Converts the file from one order to the other in place and makes it durable, telling
    // progress after each slice written. When a write fails, what was written is put back
    // in the old order; error.rom says whether that worked. Afterwards, checks that the name
    // still leads to the file converted, at the size it had (FileStep::Changed if not).
    bool convert(ByteOrder from, ByteOrder to, FileError& error, const WriteProgress& progress = WriteProgress());

    // Replaces size bytes at offset (a few: a header's check codes) so that an interruption
    // leaves the old bytes or the new ones, never a mix. Equal bytes are not written.
    bool replace(std::int64_t offset, const unsigned char* bytes, std::size_t size, FileError& error);

    // Closes the file and lets the lock go; reports a close that fails.
    bool close(FileError& error);

    UpdateState state() const { return state_; }

private:
    bool admits(std::initializer_list<UpdateState> states, FileStep step, FileError& error);
    void afterWrite(bool done, const FileError& error);
    bool lockAndMeasure(FileError& error);
    bool singleName(FileError& error);
    bool recover(FileError& error, OpenPurpose purpose);
    bool checkLimit(std::int64_t size, FileError& error);
    bool writeRecord(ByteOrder from, ByteOrder to, RecoveryRecord& record, FileError& error);
    bool writeConverted(ByteOrder from, ByteOrder to, std::int64_t& reach, std::string& reason,
                        const WriteProgress& progress);
    bool checkSpan(std::int64_t offset, std::int64_t length, int lane, std::uint32_t* checks, std::string& reason);
    bool convertSpan(std::int64_t offset, std::int64_t length, int lane, ByteOrder from, ByteOrder to,
                     std::int64_t& reach, std::string& reason);
    void restore(const RecordContents& contents, RecoveryRecord& record, std::int64_t reach, FileError& error);
    bool finishUpdate(RecoveryRecord& record, FileError& error);
    bool changedBehindTheBack(FileError& error);
    bool fail(FileError& error, FileStep step, const std::string& reason, const std::string& path = std::string());

    FileHandle file_ = kNoFile;
    std::string path_;
    std::int64_t size_ = 0;
    unsigned char first_ = 0;    // the first byte, when size_ > 0
    unsigned char* buffer_ = nullptr; // two slices the file goes through, one per lane of a pass
    FileIdentity opened_;        // what the file opened is
    PendingUpdate interrupted_;
    bool backedUp_ = false;
    bool severalNames_ = false;  // a file with several names may be written
    UpdateState state_ = UpdateState::Closed;
};
