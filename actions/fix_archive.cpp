#include "actions/fix_archive.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "actions/archive_rewrite.h"

namespace {

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
    if (!reader) return failFileStep(report.error, FileStep::Read, archiveReasonOf(problem), request.path), report;
    IdentifyOptions options;
    options.digests[0] = DigestSet();
    options.forcedChip = request.chip;
    std::vector<EntryRewrite> rewrites;
    const auto take = [&](std::size_t index, const RomIdentity& identity) {
        report.roms.push_back({reader->entries()[index].name, identity, fixNeedOf(identity)});
        if (report.roms.back().need == FixOutcome::Fixed) rewrites.push_back(codesRewrite(index, identity));
    };
    if (!forEachArchivedRom(*reader, options, take, report.error)) return report;
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
