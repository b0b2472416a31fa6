#include "actions/convert_rom.h"

#include "core/conversion.h"
#include "core/extension.h"
#include "core/file_kind.h"
#include "core/file_system.h"
#include "core/path_name.h"
#include "core/rom_kind.h"
#include "core/rom_update.h"

namespace {

// Ends report as outcome; true when the conversion goes no further.
bool endAs(ConvertReport& report, ConvertOutcome outcome) {
    report.outcome = outcome;
    return true;
}

// Records a failure at step about path, and ends the report as Failed.
ConvertReport& refuse(ConvertReport& report, FileStep step, const std::string& path, const std::string& reason) {
    report.error.step = step;
    report.error.path = path;
    report.error.reason = reason;
    report.outcome = ConvertOutcome::Failed;
    return report;
}

// When the file cannot be opened for update (read-only media, no write permission), a look
// that only reads tells the files that need no write apart: those keep their old answers. The
// open's error stays for the others.
void lookWithoutUpdate(const ConvertRequest& request, ConvertReport& report) {
    FileError look;
    const ByteOrder detected = detectByteOrder(request.path, look);
    if (look.step == FileStep::Read) {
        refuse(report, look.step, look.path, look.reason);
        return;
    }
    report.interrupted = pendingUpdate(request.path);
    if (report.interrupted.found()) return;
    if (look.step == FileStep::NotRom) {
        refuse(report, look.step, look.path, look.reason).error.kind = look.kind;
        report.outcome = ConvertOutcome::NotRom;
        return;
    }
    report.source = request.source != ByteOrder::None ? request.source : detected;
    if (report.source == ByteOrder::None) report.outcome = ConvertOutcome::Unrecognised;
    else if (report.source == request.target) report.outcome = ConvertOutcome::AlreadyInOrder;
}

// Opens the file under its lock and refuses what is no ROM; false when the conversion ends.
bool openRom(RomUpdate& update, const ConvertRequest& request, const ConvertQuestions& questions,
             ConvertReport& report) {
    if (request.severalNames) update.allowSeveralNames();
    if (!update.open(request.path, report.error, request.dryRun ? OpenPurpose::Check : OpenPurpose::Update)) {
        if (report.error.step == FileStep::Open) lookWithoutUpdate(request, report);
        return false;
    }
    report.interrupted = update.interrupted();
    if (report.interrupted.found() && questions.finished) questions.finished(report.interrupted);
    if (refuseNonRom(update, report.error)) return true;
    report.outcome = report.error.step == FileStep::NotRom ? ConvertOutcome::NotRom : ConvertOutcome::Failed;
    return false;
}

// The order to convert from: the one given, else the order read under the lock (for a dry run
// that finds an interrupted conversion, the order it would end in), else big-endian when the
// user takes it so. None: the file is left as it is, and the report says why.
ByteOrder sourceOrder(const RomUpdate& update, const ConvertRequest& request, const ConvertQuestions& questions,
                      ConvertReport& report) {
    if (request.source != ByteOrder::None) return request.source;
    const PendingUpdate& interrupted = update.interrupted();
    const ByteOrder read = request.dryRun && interrupted.found() && interrupted.contents.conversion
                               ? interrupted.contents.to
                               : update.order();
    if (request.expectOrder && read != request.expected) {
        report.source = read;
        endAs(report, ConvertOutcome::OrderChanged);
        return ByteOrder::None;
    }
    if (read != ByteOrder::None) return read;
    if (questions.takeAsBig && questions.takeAsBig()) return ByteOrder::BigEndian;
    endAs(report, ConvertOutcome::Unrecognised);
    return ByteOrder::None;
}

// Whether the backup of path would take the place of another file of the call.
bool backupReplacesAFileOfTheCall(const std::string& path, const CallFiles* files) {
    if (!files) return false;
    const FileIdentity backup = fileOps().identify(backupPath(path), true);
    return backup.exists && files->count({backup.device, backup.file}) != 0 && !sameFile(path, backupPath(path));
}

// Refuses, before anything is written, what could only end badly: a rename asked for that
// would fail (the file would be left under a name that belies its order) and a backup that
// would take the place of another file of the call. False when the file is left as it is.
bool checkBeforeWriting(const ConvertRequest& request, const RenamePlan& plan, bool backup, ConvertReport& report) {
    if (request.rename && plan.need == RenameNeed::Blocked)
        return refuse(report, FileStep::Rename, plan.newPath, plan.reason + "; nothing converted"), false;
    if (backup && backupReplacesAFileOfTheCall(request.path, request.callFiles))
        return refuse(report, FileStep::Backup, backupPath(request.path),
                      "that is another file named in this call, which the backup would replace; nothing converted"),
               false;
    return true;
}

// Gives the converted file the extension of its new order. A new name that is already
// another link to the file is left as it is: the file keeps both.
void renameConverted(const ConvertRequest& request, const RenamePlan& plan, ConvertReport& report) {
    if (plan.need == RenameNeed::AlreadyLinked) {
        report.alreadyAlso = plan.newPath;
        return;
    }
    const ExtensionResult renamed = correctExtension(request.path, nameOf(request.path), request.target, request.names);
    if (!renamed.renamed) {
        refuse(report, FileStep::Rename, plan.newPath, renamed.reason);
        return;
    }
    if (renamed.path != request.path) report.renamedTo = renamed.path;
}

// What a dry run tells of a file it would convert, after checking what the real run meets.
void planConversion(RomUpdate& update, const ConvertRequest& request, const RenamePlan& plan, bool backup,
                    ConvertReport& report) {
    if (!update.checkWrite(backup, report.error)) return;
    if (backup) report.backup = backupPath(request.path);
    if (request.rename && plan.need == RenameNeed::Needed) report.renamedTo = plan.newPath;
    report.outcome = ConvertOutcome::Converted;
}

// Backs up when asked, converts, closes, and renames when asked; report tells how far it got.
void rewrite(RomUpdate& update, const ConvertRequest& request, const ConvertQuestions& questions,
             const RenamePlan& plan, bool backup, ConvertReport& report) {
    if (backup && !update.backUp(report.error)) return;
    if (update.backedUp()) report.backup = update.backupName();
    if (!update.convert(report.source, request.target, report.error, questions.progress) ||
        !update.close(report.error))
        return;
    report.converted = true;
    report.outcome = ConvertOutcome::Converted;
    const bool rename = questions.rename ? questions.rename() : request.rename;
    if (rename) renameConverted(request, plan, report);
}

} // namespace

CallFiles identitiesOf(const std::vector<std::string>& files) {
    CallFiles identities;
    for (const std::string& file : files) {
        const FileIdentity identity = fileOps().identify(file, true);
        if (identity.exists) identities.insert({identity.device, identity.file});
    }
    return identities;
}

ConvertReport convertRom(const ConvertRequest& request, const ConvertQuestions& questions) {
    ConvertReport report;
    RomUpdate update;
    if (!openRom(update, request, questions, report)) return report;
    const ByteOrder source = sourceOrder(update, request, questions, report);
    if (source == ByteOrder::None) return report; // report.source: the order found, if any
    report.source = source;
    if (report.source == request.target) return endAs(report, ConvertOutcome::AlreadyInOrder), report;
    if (!update.changes(report.source, request.target)) return endAs(report, ConvertOutcome::NothingToConvert), report;
    const RenamePlan plan = planRename(request.path, request.target, request.names);
    const bool backup = questions.backup ? questions.backup() : request.backup;
    if (!checkBeforeWriting(request, plan, backup, report)) return report;
    if (request.dryRun) planConversion(update, request, plan, backup, report);
    else rewrite(update, request, questions, plan, backup, report);
    return report;
}
