#include "actions/fix_archive.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "actions/archive_rewrite.h"
#include "archive/entry_source.h"
#include "core/shown_text.h"

namespace {

// Checks entry index when it is a ROM: true with rom filled, or true and rom left without a
// name for an entry that is no ROM; false when the entry cannot be read whole.
bool checkEntry(ArchiveReader& reader, std::size_t index, BootChip chip, ArchiveFixEntry& rom, FileError& error) {
    EntrySource source(reader);
    ArchiveError problem;
    const std::string& name = reader.entries()[index].name;
    if (!source.open(index, kArchiveSignatureBytes, problem))
        return failArchiveStep(error, FileStep::Read, archiveReasonOf(problem), reader.path());
    if (orderFromRomHead(source.head(), source.headSize()) == ByteOrder::None) return true;
    IdentifyOptions options;
    options.digests[0] = DigestSet();
    options.forcedChip = chip;
    std::string reason;
    if (!identifyRom(source, options, rom.identity, reason))
        return failArchiveStep(error, FileStep::Read, "its entry " + shownText(name) + ": " + reason, reader.path());
    rom.name = name;
    rom.need = fixNeedOf(rom.identity);
    return true;
}

// The rewrite that puts an entry's computed codes into its header, in its order.
EntryRewrite codesRewrite(std::size_t index, const RomIdentity& identity) {
    unsigned char codes[kCodesSize];
    checkCodesInOrder(identity.check.computed, identity.order, codes);
    std::vector<unsigned char> bytes(codes, codes + kCodesSize);
    return {index, std::string(), [bytes](unsigned char* image, std::size_t size) {
                if (size >= kCodesOffset + kCodesSize) std::copy(bytes.begin(), bytes.end(), image + kCodesOffset);
            }};
}

} // namespace

// Every entry is checked before anything is written; the codes are those of the entries'
// bytes as the old archive holds them.
ArchiveFixReport fixArchive(const ArchiveFixRequest& request) {
    ArchiveFixReport report;
    ArchiveError problem;
    std::unique_ptr<ArchiveReader> reader = openArchive(request.path, problem);
    if (!reader) return failArchiveStep(report.error, FileStep::Read, archiveReasonOf(problem), request.path), report;
    std::vector<EntryRewrite> rewrites;
    for (std::size_t index = 0; index < reader->entries().size(); ++index) {
        if (reader->entries()[index].folder) continue;
        ArchiveFixEntry rom;
        if (!checkEntry(*reader, index, request.chip, rom, report.error)) return report;
        if (rom.name.empty()) continue;
        if (rom.need == FixOutcome::Fixed) rewrites.push_back(codesRewrite(index, rom.identity));
        report.roms.push_back(rom);
    }
    report.outcome = report.roms.empty() ? ArchiveFixOutcome::NoRom
                     : rewrites.empty()  ? ArchiveFixOutcome::NothingDone
                                         : ArchiveFixOutcome::Fixed;
    if (report.outcome != ArchiveFixOutcome::Fixed) return report;
    if (!refuseRewriteOptions(*reader, {std::string(), request.torrentZip}, report.error))
        return report.outcome = ArchiveFixOutcome::Failed, report;
    const std::string backup = request.backup ? request.path + ".bak" : std::string();
    if (request.dryRun) return report.backup = backup, report;
    report.outcome = ArchiveFixOutcome::Failed;
    if (!rewriteArchive(std::move(reader), rewrites, {backup, request.torrentZip}, report.error)) return report;
    report.backup = backup;
    report.outcome = ArchiveFixOutcome::Fixed;
    return report;
}
