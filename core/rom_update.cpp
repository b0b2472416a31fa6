#include "core/rom_update.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/conversion.h"
#include "core/file_system.h"
#include "core/new_file.h"
#include "core/paired_pass.h"
#include "core/path_name.h"
#include "core/settle.h"

namespace {

// The slice the file goes through: small enough to stay in the processor's caches between
// the read, the pass and the write, large enough that the system calls cost nothing.
const std::size_t kSlice = kSettleSlice;

// The span of a pass each of its two lanes takes in a round: the disk is handed each span
// written while the next are written, as kWriteOutBytes asks.
const std::int64_t kSpan = static_cast<std::int64_t>(kWriteOutBytes) / 2;

// The checks of one span's sectors.
const std::size_t kChecksPerSpan = static_cast<std::size_t>(kSpan) / kSectorSize;

// The bytes of the slice starting at offset in a file of size bytes.
std::size_t sliceAt(std::int64_t offset, std::int64_t size) {
    const std::int64_t left = size - offset;
    return left < static_cast<std::int64_t>(kSlice) ? static_cast<std::size_t>(left) : kSlice;
}

// The room a conversion's recovery record takes on the disk.
std::int64_t recordRoom(std::int64_t size) {
    return size / static_cast<std::int64_t>(kSectorSize) * 4 + 4096;
}

// Appends a round's checks to the record, a slice's worth per write, as they were read.
bool addRoundChecks(RecoveryRecord& record, const std::vector<std::uint32_t>& checks, std::int64_t start,
                    std::int64_t end, std::string& reason) {
    const std::size_t perSlice = kSlice / kSectorSize;
    const auto count = static_cast<std::size_t>((end - start + kSectorSize - 1) / kSectorSize);
    for (std::size_t done = 0; done < count; done += perSlice)
        if (!record.addChecks(checks.data() + done, std::min(perSlice, count - done), reason)) return false;
    return true;
}

// Why a call is refused in the state the update is in.
std::string refusalText(UpdateState state) {
    switch (state) {
    case UpdateState::Closed: return "it is not open for update; nothing done";
    case UpdateState::Checking: return "it was opened only to check it; nothing written";
    case UpdateState::Written:
        return "it was already written, so a backup now would not hold it as it was; nothing written";
    case UpdateState::Broken:
        return "an earlier write of it failed and left its recovery record, for the next open to settle; "
               "nothing more done until then";
    default: return "that call does not fit this step of its update; nothing done";
    }
}

} // namespace

RomUpdate::~RomUpdate() {
    FileError ignored; // an update left behind: whatever it was to say has been said
    close(ignored);
}

bool RomUpdate::fail(FileError& error, FileStep step, const std::string& reason, const std::string& path) {
    error.step = step;
    error.path = path.empty() ? path_ : path;
    error.reason = reason;
    return false;
}

// A call made in a state that does not take it fails before it does anything.
bool RomUpdate::admits(std::initializer_list<UpdateState> states, FileStep step, FileError& error) {
    for (const UpdateState state : states)
        if (state == state_) return true;
    error.rom = RomState::Unchanged;
    return fail(error, step, refusalText(state_));
}

bool RomUpdate::open(const std::string& path, FileError& error, OpenPurpose purpose) {
    FileError ignored;
    close(ignored);
    path_ = path;
    backedUp_ = false;
    interrupted_ = PendingUpdate();
    std::string reason;
    file_ = fileOps().open(path, OpenMode::Update, reason);
    if (file_ == kNoFile) return fail(error, reason == kInUseText ? FileStep::Busy : FileStep::Open, reason);
    state_ = purpose == OpenPurpose::Check ? UpdateState::Checking : UpdateState::Open;
    if (!lockAndMeasure(error) || !singleName(error) || !recover(error, purpose) ||
        (size_ > 0 && !read(0, &first_, 1, error))) {
        close(ignored);
        return false;
    }
    return true;
}

// The lock comes before anything is read, so that every byte read is one no other run of
// the program is writing.
bool RomUpdate::lockAndMeasure(FileError& error) {
    FileOps& ops = fileOps();
    std::string reason;
    if (!ops.lock(file_, reason)) return fail(error, reason == kInUseText ? FileStep::Busy : FileStep::Open, reason);
    size_ = ops.size(file_, reason);
    if (size_ < 0) return fail(error, FileStep::Size, reason);
    if (size_ > kMaxRomSize) return fail(error, FileStep::TooLarge, "the file is 2 GiB or larger");
    opened_ = ops.identifyOpen(file_);
    buffer_ = ops.allocate(2 * kSlice);
    if (!buffer_) return fail(error, FileStep::Allocate, systemReason(ENOMEM));
    return true;
}

namespace {

// Why the sectors of a ROM do not let its record settle it, and what the user can do.
std::string unfitText(const RomSurvey& survey, const RecordContents& contents, bool sameFile,
                      const std::string& record) {
    if (survey.firstUnchecked >= 0)
        return "its recovery record " + record + " is damaged: the checks of bytes " +
               std::to_string(survey.firstUnchecked) + " to " + std::to_string(survey.lastUnchecked) +
               " cannot be read, so whether they were converted cannot be told; nothing written, and the record "
               "stays (put the ROM back from a backup, then remove the record)";
    const std::string where = "the bytes at " + std::to_string(survey.firstUnfit) +
                              (contents.conversion ? " are in neither order of its recovery record "
                                                   : " are neither the old nor the new ones of its recovery record ") +
                              record;
    if (sameFile)
        return where + ": another program changed the file after its update stopped; nothing written, and the "
                       "record stays";
    return where + ", which was made for another file: this one was put in its place since; nothing written "
                   "(removing the record is safe for this file)";
}

} // namespace

// Every sector is looked at before anything is written: a record is applied only to a file
// whose every sector is in one of its states. A file that is not the one the record was made
// for (another identity) is settled only when it shows the update began: a copy of the
// interrupted ROM, taken with its record to a writable place, is finished there.
bool RomUpdate::recover(FileError& error, OpenPurpose purpose) {
    RecoveryRecord record;
    interrupted_.state = record.openFound(path_, interrupted_.contents, interrupted_.problem);
    interrupted_.recordPath = record.path();
    const RecordContents& contents = interrupted_.contents;
    const std::string& at = record.path();
    if (interrupted_.state == RecordState::None) return true;
    if (interrupted_.state != RecordState::Interrupted)
        return fail(error, FileStep::Recovery, interrupted_.problem + "; nothing written", at);
    if (contents.romSize != size_) {
        interrupted_.state = RecordState::OtherFile;
        return fail(error, FileStep::Recovery,
                    "its recovery record " + at + " was made for a file of " + std::to_string(contents.romSize) +
                        " bytes, and it has " + std::to_string(size_) +
                        ": the record is of another file, or the file was changed since; nothing written",
                    at);
    }
    RomSurvey survey;
    std::string reason;
    if (!surveyRom(file_, record, contents, buffer_, survey, reason)) return fail(error, FileStep::Recovery, reason, at);
    // The file number alone tells: a disk mounted again (a stick put back, a loop device after
    // a power cut) may come back under another device number.
    const bool sameFile = (contents.device == 0 && contents.file == 0) || contents.file == opened_.file;
    if (!survey.fits()) return fail(error, FileStep::Recovery, unfitText(survey, contents, sameFile, at), at);
    if (!sameFile && !survey.touched())
        return fail(error, FileStep::Recovery,
                    "its recovery record " + at + " was made for another file: this one is whole, as it was before "
                    "that update; nothing written (removing the record is safe)", at);
    if (purpose == OpenPurpose::Check) return true;
    bool wrote = false;
    if (!settleRom(file_, record, contents, true, size_, buffer_, wrote, reason))
        return fail(error, FileStep::Recovery, reason, at);
    return record.remove(reason) || fail(error, FileStep::Record, reason, at);
}

// A file with several names (hard links) is not written in place: a record beside one name
// would not be seen through the others, which would then show a half-converted ROM as whole.
bool RomUpdate::singleName(FileError& error) {
    if (opened_.links <= 1 || severalNames_) return true;
    return fail(error, FileStep::Links,
                "it has " + std::to_string(opened_.links) +
                    " names (hard links), and an update stopped halfway could not be seen through the others; "
                    "nothing written (give --hard-links to write it all the same, or give it a file of its own first)");
}

ByteOrder RomUpdate::order() const {
    return size_ > 0 ? orderFromFirstByte(first_) : ByteOrder::None;
}

bool RomUpdate::read(std::int64_t offset, unsigned char* bytes, std::size_t size, FileError& error) {
    if (!admits({UpdateState::Checking, UpdateState::Open, UpdateState::BackedUp, UpdateState::Written}, FileStep::Read,
                error))
        return false;
    std::string reason;
    return fileOps().read(file_, bytes, size, offset, reason) || fail(error, FileStep::Read, reason);
}

bool RomUpdate::changes(ByteOrder from, ByteOrder to) const {
    const std::size_t group = conversionGroup(from, to);
    return group != 0 && size_ >= static_cast<std::int64_t>(group);
}

// A limit below the size would stop the write halfway (the system sends SIGXFSZ, or the
// write fails): the limit is checked before any byte is written.
bool RomUpdate::checkLimit(std::int64_t size, FileError& error) {
    std::string reason;
    if (withinSizeLimit(size, reason)) return true;
    error.rom = RomState::Unchanged;
    return fail(error, FileStep::WriteBack, reason);
}

// Copied slice by slice from the locked ROM, so it holds the bytes as they are before any
// change. A backup name that is the ROM itself under another name is refused.
bool RomUpdate::backUp(FileError& error) {
    if (!admits({UpdateState::Open, UpdateState::BackedUp}, FileStep::Backup, error)) return false;
    const std::string backup = backupName();
    if (sameFile(path_, backup))
        return fail(error, FileStep::Backup, "it is another name of the ROM itself; nothing written", backup);
    FileError limit;
    if (!checkLimit(size_, limit)) return fail(error, FileStep::Backup, limit.reason, backup);
    NewFile file;
    std::string reason;
    bool done = file.create(backup, reason);
    bool read = true;
    for (std::int64_t offset = 0; done && offset < size_; offset += static_cast<std::int64_t>(kSlice)) {
        const std::size_t slice = sliceAt(offset, size_);
        read = fileOps().read(file_, buffer_, slice, offset, reason);
        done = read && file.write(buffer_, slice, offset, reason);
    }
    if (!read) return fail(error, FileStep::Read, reason);
    if (!done || !file.commit(true, reason)) return fail(error, FileStep::Backup, reason, backup);
    backedUp_ = true;
    state_ = UpdateState::BackedUp;
    return true;
}

bool RomUpdate::checkWrite(bool backup, FileError& error) {
    if (!admits({UpdateState::Checking, UpdateState::Open, UpdateState::BackedUp, UpdateState::Written},
                FileStep::WriteBack, error))
        return false;
    std::string reason;
    if (!checkLimit(size_, error)) return false;
    if (!fileOps().roomToRewrite(file_, size_, recordRoom(size_), reason))
        return fail(error, FileStep::WriteBack, reason);
    // The backup goes into the same folder under a shorter name: the record's check serves
    // both. What could still stop it is a folder in the backup's place.
    const std::string recordPath = temporaryNameOf(recoveryRecordPath(path_));
    reason = fileOps().newNameProblem(folderOf(recordPath), nameOf(recordPath));
    if (!reason.empty()) return fail(error, FileStep::Record, reason, recoveryRecordPath(path_));
    if (backup && fileOps().identify(backupName(), false).folder)
        return fail(error, FileStep::Backup, "a folder has that name", backupName());
    return true;
}

// The record's checks are of the image before any change; it is durable before the first
// byte of the ROM is written.
bool RomUpdate::writeRecord(ByteOrder from, ByteOrder to, RecoveryRecord& record, FileError& error) {
    std::string readReasons[2];
    std::string reason;
    bool written = record.beginConversion(path_, opened_, from, to, size_, reason);
    std::vector<std::uint32_t> checks(2 * kChecksPerSpan); // a round's, lane 0's first
    const bool read = !written || pairedPass(size_, kSpan,
        [&](std::int64_t offset, std::int64_t length, int lane) {
            return checkSpan(offset, length, lane, checks.data() + lane * kChecksPerSpan, readReasons[lane]);
        },
        [&](std::int64_t start, std::int64_t end) { return written = addRoundChecks(record, checks, start, end, reason); });
    if (written && read && record.seal(reason)) return true;
    record.abandon(); // a record cut short would only mislead
    error.rom = RomState::Unchanged;
    if (written && !read) return fail(error, FileStep::Read, readReasons[0].empty() ? readReasons[1] : readReasons[0]);
    return fail(error, FileStep::Record, reason, recoveryRecordPath(path_));
}

// The checks of the sectors of one span of the old image, through the lane's slice.
bool RomUpdate::checkSpan(std::int64_t offset, std::int64_t length, int lane, std::uint32_t* checks,
                          std::string& reason) {
    unsigned char* slice = buffer_ + static_cast<std::size_t>(lane) * kSlice;
    for (std::int64_t at = offset; at < offset + length; at += static_cast<std::int64_t>(kSlice)) {
        const std::size_t piece = sliceAt(at, offset + length);
        if (!fileOps().read(file_, slice, piece, at, reason)) return false;
        sectorChecks(slice, piece, checks + (at - offset) / static_cast<std::int64_t>(kSectorSize));
    }
    return true;
}

// reach tells how far the file may have been written when a write fails.
bool RomUpdate::writeConverted(ByteOrder from, ByteOrder to, std::int64_t& reach, std::string& reason,
                               const WriteProgress& progress) {
    std::string reasons[2];
    std::int64_t reaches[2] = {0, 0}; // how far each lane may have written
    const bool done = pairedPass(size_, kSpan,
        [&](std::int64_t offset, std::int64_t length, int lane) {
            return convertSpan(offset, length, lane, from, to, reaches[lane], reasons[lane]);
        },
        [&](std::int64_t start, std::int64_t end) {
            for (std::int64_t at = start; progress && at < end; at += static_cast<std::int64_t>(kSlice)) {
                const std::int64_t written = at + static_cast<std::int64_t>(sliceAt(at, end));
                if (written < size_) progress(written, size_);
            }
            return true;
        });
    reach = std::max(reaches[0], reaches[1]);
    if (!done) return reason = reasons[0].empty() ? reasons[1] : reasons[0], false;
    return fileOps().sync(file_, reason);
}

// Converts one span in place through the lane's slice, and hands it to the disk; reach
// tells how far it may have written.
bool RomUpdate::convertSpan(std::int64_t offset, std::int64_t length, int lane, ByteOrder from, ByteOrder to,
                            std::int64_t& reach, std::string& reason) {
    FileOps& ops = fileOps();
    unsigned char* slice = buffer_ + static_cast<std::size_t>(lane) * kSlice;
    for (std::int64_t at = offset; at < offset + length; at += static_cast<std::int64_t>(kSlice)) {
        const std::size_t piece = sliceAt(at, offset + length);
        if (!ops.read(file_, slice, piece, at, reason)) return false;
        convertOrder(slice, piece, from, to);
        reach = at + static_cast<std::int64_t>(piece);
        if (!ops.write(file_, slice, piece, at, reason)) return false;
    }
    ops.startWriteOut(file_, offset, length);
    return true;
}

bool RomUpdate::convert(ByteOrder from, ByteOrder to, FileError& error, const WriteProgress& progress) {
    if (!admits({UpdateState::Open, UpdateState::BackedUp, UpdateState::Written}, FileStep::WriteBack, error)) return false;
    error.rom = RomState::Unchanged;
    error.mixedBytes = 0;
    if (!changes(from, to)) {
        if (progress) progress(size_, size_);
        return true;
    }
    std::string reason;
    if (!checkLimit(size_, error)) return false;
    if (!fileOps().roomToRewrite(file_, size_, recordRoom(size_), reason) || !fileOps().reserve(file_, size_, reason))
        return fail(error, FileStep::WriteBack, reason);
    RecoveryRecord record;
    if (!writeRecord(from, to, record, error)) return false;
    std::int64_t reach = 0;
    if (!writeConverted(from, to, reach, reason, progress)) {
        fail(error, FileStep::WriteBack, reason);
        RecordContents contents;
        contents.romSize = size_;
        contents.from = from;
        contents.to = to;
        restore(contents, record, reach, error);
        return false;
    }
    if (progress) progress(size_, size_);
    return finishUpdate(record, error);
}

// Only the part that may have been written is settled back: the rest still holds the old
// bytes. The record stays when that fails, for the next run to finish the conversion.
void RomUpdate::restore(const RecordContents& contents, RecoveryRecord& record, std::int64_t reach,
                        FileError& error) {
    bool wrote = false;
    std::string reason;
    if (settleRom(file_, record, contents, false, reach, buffer_, wrote, reason) && record.remove(reason)) {
        error.rom = reach > 0 ? RomState::Restored : RomState::Unchanged;
        return;
    }
    error.rom = RomState::Mixed;
    error.mixedBytes = reach;
    state_ = UpdateState::Broken;
    error.restoreReason = reason;
}

// The update is over once the record is gone; what another program did meanwhile is told.
// The ROM is already durable in its new state, so the removal need not wait for the disk.
bool RomUpdate::finishUpdate(RecoveryRecord& record, FileError& error) {
    std::string reason;
    state_ = UpdateState::Written;
    if (!record.remove(reason, false))
        return state_ = UpdateState::Broken, fail(error, FileStep::Record,
                    reason + "; the file itself is complete, and the next update of it removes the record",
                    record.path());
    return !changedBehindTheBack(error);
}

// The lock keeps other runs of the program out, not other programs: one may have put
// another file under the name, or written past the end.
bool RomUpdate::changedBehindTheBack(FileError& error) {
    FileOps& ops = fileOps();
    const FileIdentity named = ops.identify(path_, true);
    if (!named.exists || named.device != opened_.device || named.file != opened_.file) {
        fail(error, FileStep::Changed,
             "was replaced by another file while it was written: the file written is the one that had the name "
             "when it was opened, and what has the name now was not touched");
        return true;
    }
    std::string reason;
    const std::int64_t now = ops.size(file_, reason);
    if (now < 0 || now == size_) return false;
    fail(error, FileStep::Changed,
         std::string(now > size_ ? "grew" : "shrank") + " while it was written (from " + std::to_string(size_) +
             " to " + std::to_string(now) + " bytes): its first " + std::to_string(size_) +
             " bytes were written, " + (now > size_ ? "the bytes another program added after them were not" : "and some of them are gone"));
    return true;
}

bool RomUpdate::replace(std::int64_t offset, const unsigned char* bytes, std::size_t size, FileError& error) {
    if (!admits({UpdateState::Open, UpdateState::BackedUp, UpdateState::Written}, FileStep::WriteBack, error)) return false;
    error.rom = RomState::Unchanged;
    std::vector<unsigned char> old(size);
    if (!read(offset, old.data(), size, error)) return false;
    if (std::memcmp(old.data(), bytes, size) == 0) return true;
    if (!checkLimit(size_, error)) return false;
    RecoveryRecord record;
    std::string reason;
    if (!record.writeReplacement(path_, opened_, size_, offset, old.data(), bytes, size, reason) || !record.seal(reason)) {
        record.abandon();
        return fail(error, FileStep::Record, reason, recoveryRecordPath(path_));
    }
    FileOps& ops = fileOps();
    if (!ops.write(file_, bytes, size, offset, reason) || !ops.sync(file_, reason)) {
        fail(error, FileStep::WriteBack, reason);
        RecordContents contents;
        contents.conversion = false;
        contents.offset = offset;
        contents.oldBytes = old;
        contents.newBytes.assign(bytes, bytes + size);
        restore(contents, record, offset + static_cast<std::int64_t>(size), error);
        return false;
    }
    return finishUpdate(record, error);
}

bool RomUpdate::close(FileError& error) {
    state_ = UpdateState::Closed;
    if (buffer_) fileOps().release(buffer_);
    buffer_ = nullptr;
    if (file_ == kNoFile) return true;
    std::string reason;
    const bool closed = fileOps().close(file_, reason);
    file_ = kNoFile;
    return closed || fail(error, FileStep::Close, reason);
}
