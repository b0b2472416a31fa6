#include "actions/convert_archive.h"

#include <memory>
#include <utility>

#include "actions/archive_rewrite.h"
#include "archive/archive.h"
#include "archive/entry_source.h"
#include "core/conversion.h"
#include "core/extension.h"

namespace {

// Lists the ROM entries of the archive and their orders; false when an entry cannot be read.
bool findRoms(ArchiveReader& reader, const ArchiveConvertRequest& request, ArchiveConvertReport& report,
              std::vector<std::size_t>& indexes) {
    for (std::size_t index = 0; index < reader.entries().size(); ++index) {
        if (reader.entries()[index].folder) continue;
        EntrySource source(reader);
        ArchiveError problem;
        if (!source.open(index, kArchiveSignatureBytes, problem))
            return failFileStep(report.error, FileStep::Read, archiveReasonOf(problem), request.path);
        if (orderFromRomHead(source.head(), source.headSize()) == ByteOrder::None) continue;
        if (!request.entry.empty() && reader.entries()[index].name != request.entry) continue;
        ArchiveRomEntry rom;
        rom.name = reader.entries()[index].name;
        rom.order = orderFromFirstByte(source.head()[0]);
        rom.converted = rom.order != request.target;
        if (rom.converted && request.rename)
            rom.renamedTo = withExtension(rom.name, orderExtension(request.target, request.names));
        if (rom.renamedTo == rom.name) rom.renamedTo.clear();
        report.roms.push_back(rom);
        indexes.push_back(index);
    }
    return true;
}

} // namespace

// The ROMs not in the target order are rewritten converted, under their new names.
ArchiveConvertReport convertArchive(const ArchiveConvertRequest& request) {
    ArchiveConvertReport report;
    ArchiveError problem;
    std::unique_ptr<ArchiveReader> reader = openArchive(request.path, problem);
    std::vector<std::size_t> indexes;
    if (!reader) return failFileStep(report.error, FileStep::Read, archiveReasonOf(problem), request.path), report;
    if (!findRoms(*reader, request, report, indexes)) return report;
    std::vector<EntryRewrite> rewrites;
    for (std::size_t rom = 0; rom < report.roms.size(); ++rom) {
        const ArchiveRomEntry& entry = report.roms[rom];
        if (!entry.converted) continue;
        const ByteOrder from = entry.order, to = request.target;
        rewrites.push_back({indexes[rom], entry.renamedTo,
                            [from, to](unsigned char* bytes, std::size_t size) { convertOrder(bytes, size, from, to); }});
    }
    report.outcome = report.roms.empty() ? ArchiveConvertOutcome::NoRom
                     : rewrites.empty()  ? ArchiveConvertOutcome::AlreadyInOrder
                                         : ArchiveConvertOutcome::Converted;
    if (report.outcome != ArchiveConvertOutcome::Converted) return report;
    if (!refuseRewriteOptions(*reader, {std::string(), request.torrentZip}, report.error))
        return report.outcome = ArchiveConvertOutcome::Failed, report;
    const std::string backup = request.backup ? request.path + ".bak" : std::string();
    if (request.dryRun) return report.backup = backup, report;
    report.outcome = ArchiveConvertOutcome::Failed;
    if (!rewriteArchive(std::move(reader), rewrites, {backup, request.torrentZip}, report.error)) return report;
    report.backup = backup;
    report.outcome = ArchiveConvertOutcome::Converted;
    return report;
}
