#include "cli/fix_command.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/chip_option.h"
#include "cli/file_list.h"
#include "cli/identity_texts.h"
#include "cli/json_output.h"
#include "cli/order_names.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/stop_signals.h"
#include "cli/summary.h"
#include "actions/fix_archive.h"
#include "actions/fix_check_code.h"
#include "archive/archive.h"
#include "cli/archive_entries.h"

namespace {

// What the fix command was asked to do.
struct Options {
    BootChip chip = BootChip::Unknown; // --cic CHIP: compute the codes for this chip
    bool backup = false;               // --backup: write FILE.bak first
    bool hardLinks = false;            // --hard-links: write a file with several names too
    bool dryRun = false;               // --dry-run: say what would be written, write nothing
    bool torrentZip = false;           // --torrentzip: zips written anew in TorrentZip's form
    FileArguments files;               // FILE... and -r
};

// How one file ended, in the order of the summary.
enum Outcome : std::size_t { Fixed, AlreadyRight, NotRom, Failed };

// The object fix gives for a file it fixed or found right: its order, the codes before and
// after, the chip, the backup and the interrupted update finished first.
JsonObject fixFields(const FixReport& result) {
    const CheckResult& check = result.identity.check;
    JsonObject fields = {
        {"order", orderName(result.identity.order)},
        {"header_crc", codeText(check.header)},
        {"computed", codeText(check.computed)},
        {"chip", bootChipName(check.chip)},
        {"chip_forced", check.forced},
    };
    fields["backup"] = nullptr;
    if (!result.backup.empty()) putPath(fields, "backup", result.backup);
    fields["finished"] = result.finished.found() ? JsonObject(interruptedUpdateText(result.finished.contents))
                                               : JsonObject(nullptr);
    return fields;
}

// Tells one ROM of an archive: its codes written (a dry run: would be), right, or not computed.
Outcome tellEntry(const std::string& archive, const ArchiveFixEntry& rom, const ArchiveFixReport& report,
                  const Options& options) {
    const std::string name = archive + "/" + rom.name;
    const JsonEntryScope scope(archive, rom.name);
    FixReport fields;
    fields.identity = rom.identity;
    fields.backup = report.backup;
    const std::string codes = "check codes " + codeText(rom.identity.check.header);
    switch (rom.need) {
    case FixOutcome::Fixed:
        reportOutcome(name, codes + " -> " + codeText(rom.identity.check.computed) + (options.dryRun ? " (would be written)" : ""),
                      options.dryRun ? "would_fix" : "fixed", fixFields(fields));
        return Fixed;
    case FixOutcome::AlreadyRight:
        fields.backup.clear();
        reportOutcome(name, codes + " already right, left untouched", "already_right", fixFields(fields));
        return AlreadyRight;
    default: reportError(name, "not fixed", notVerifiedText(rom.identity)); return Failed;
    }
}

// Fixes the ROMs of an archive in a new archive of its name; false for any other file and a
// named archive without a ROM (fix then takes it as it takes every file).
bool fixArchived(const std::string& file, bool named, const Options& options, Outcomes& outcomes) {
    if (!isArchiveFile(file)) return false;
    const ArchiveFixReport report = fixArchive({file, options.chip, options.backup, options.dryRun, options.torrentZip});
    if (report.outcome == ArchiveFixOutcome::NoRom) {
        if (named) return false;
        ++outcomes.notRoms;
        return true;
    }
    if (report.outcome == ArchiveFixOutcome::Failed) {
        reportArchiveLeft(file, report.error);
        outcomes.list.push_back(Failed);
        return true;
    }
    if (!options.dryRun && !report.backup.empty()) reportStep(file, "backup written to " + report.backup);
    for (const ArchiveFixEntry& rom : report.roms) outcomes.list.push_back(tellEntry(file, rom, report, options));
    return true;
}

// Fixes one file, or each ROM of an archive, and says what was done: the codes before and
// after, or why nothing was.
Outcomes fixFile(const std::string& file, bool named, const Options& options) {
    Outcomes entries;
    if (fixArchived(file, named, options, entries)) return entries;
    const FixReport result = fixCheckCode({file, options.chip, options.backup, options.hardLinks, options.dryRun});
    if (result.finished.found())
        reportStep(file, options.dryRun ? "holds " + interruptedUpdateText(result.finished.contents) +
                                              ", which would be finished first"
                                        : interruptedUpdateText(result.finished.contents) + " was finished");
    if (!result.backup.empty() && !options.dryRun) reportStep(file, "backup written to " + result.backup);
    const std::string codes = "check codes " + codeText(result.identity.check.header);
    switch (result.outcome) {
    case FixOutcome::Fixed:
        reportOutcome(file, codes + " -> " + codeText(result.identity.check.computed) +
                                (options.dryRun ? result.backup.empty() ? " (would be written)"
                                                                        : " (would be written, after a backup)"
                                                : ""),
                      options.dryRun ? "would_fix" : "fixed", fixFields(result));
        return Fixed;
    case FixOutcome::AlreadyRight:
        reportOutcome(file, codes + " already right, left untouched", "already_right", fixFields(result));
        return AlreadyRight;
    case FixOutcome::NotComputed:
        reportError(file, "not fixed", notVerifiedText(result.identity));
        return Failed;
    case FixOutcome::Failed: break;
    }
    reportFileError(file, result.error, result.backup);
    return result.error.step == FileStep::NotRom ? NotRom : Failed;
}

// Fixes every file of the arguments and sums up.
int runFix(const Options& options) {
    holdOffStopSignals();
    const FileList list = listFiles(options.files);
    Summary summary({options.dryRun ? "to fix" : "fixed", "already right", "skipped (not ROMs)", "failed"});
    return goThroughFiles(list, summary, NotRom, Failed, {Failed, NotRom},
                          [&](const std::string& file) { return fixFile(file, list.named(file), options); },
                          [](std::size_t outcome) {
                              return outcome == Fixed    ? "fixed and whole"
                                     : outcome == Failed ? "failed, as told above"
                                                         : "left untouched";
                          });
}

} // namespace

Command addFixCommand(CLI::App& program) {
    CLI::App* parser = addCommandParser(program, "fix",
                                        "write into each FILE's header the check codes its boot\n"
                                        "code computes, where they differ; only those 8 bytes\n"
                                        "change");
    auto options = std::make_shared<Options>();
    parser->add_flag("--backup", options->backup,
                     "first save each FILE that is to change as FILE.bak,\n"
                     "replacing an older FILE.bak");
    addHardLinksOption(*parser, options->hardLinks);
    addTorrentZipOption(*parser, options->torrentZip);
    addDryRunOption(*parser, options->dryRun,
                     "say which codes would be written and check what the real\n"
                     "run would meet (the lock, the room, the recovery record's\n"
                     "folder); write nothing");
    addChipOption(*parser, options->chip);
    addOutputOptions(*parser);
    addProgressOptions(*parser);
    addFileArguments(*parser, options->files, true);
    parser->footer("Each FILE gets one line: \"FILE: check codes OLD -> NEW\", or \"already right, left\n"
                   "untouched\". A FILE whose boot code is not recognised is refused unless --cic\n"
                   "names its chip. The codes are written in the FILE's own byte order, durably,\n"
                   "so that an interruption leaves the old codes or the new ones. The ROMs inside\n"
                   "an archive (zip, 7z, gzip) are fixed in a new archive that takes its name\n"
                   "(--backup keeps ARCHIVE.bak). After more than\n"
                   "one file a summary line follows. The exit status is 0 only when every FILE was\n"
                   "fixed or already right.\n");
    return {parser, [options] { return runFix(*options); }};
}
