#include "cli/archive_entries.h"

#include "cli/json_output.h"
#include "cli/report.h"
#include "core/byte_order.h"
#include "core/file_kind.h"

namespace {

// Why an entry is not read before a byte of it is, or empty: a name no file should have.
std::string entryNameProblem(const ArchiveEntry& entry) {
    if (entry.nameProblem != NameProblem::None) return nameProblemText(entry.nameProblem);
    if (entry.duplicate) return "an earlier entry of the archive has the same name";
    return std::string();
}

// Goes through one archive's entries, keeping what a named archive says it skipped until it
// proves to hold a ROM: one without any is told as before, as a file that is no ROM.
class EntryWalk {
public:
    EntryWalk(ArchiveReader& reader, bool named, const RomEntryHandler& handle, Outcomes& outcomes)
        : reader_(reader), named_(named), handle_(handle), outcomes_(outcomes) {}

    // Takes entry index: a ROM to the handler, a failure reported and counted as failed.
    void take(std::size_t index, std::size_t failed) {
        const ArchiveEntry& entry = reader_.entries()[index];
        const std::string name = reader_.path() + "/" + entry.name;
        const JsonEntryScope scope(reader_.path(), entry.name);
        const std::string problem = entryNameProblem(entry);
        EntrySource source(reader_);
        ArchiveError error;
        if (!problem.empty()) {
            reportProblem(name, problem);
        } else if (!source.open(index, kArchiveSignatureBytes, error)) {
            reportError(name, "cannot read", error.reason);
        } else if (orderFromRomHead(source.head(), source.headSize()) != ByteOrder::None) {
            showSkipped();
            anyRom_ = true;
            return outcomes_.list.push_back(handle_(name, source));
        } else {
            return skip(name, recogniseArchive(source.head(), source.headSize()));
        }
        outcomes_.list.push_back(failed);
    }

    bool anyRom() const { return anyRom_; }

private:
    // Says (once a ROM is found) that a named archive's entry was skipped.
    void skip(const std::string& name, ArchiveFormat nested) {
        if (!named_) return;
        skipped_.push_back({name, nested != ArchiveFormat::None
                                      ? std::string("skipped: a ") + archiveFormatName(nested) + " archive inside the archive"
                                      : std::string("skipped: not a ROM")});
        if (anyRom_) showSkipped();
    }

    void showSkipped() {
        for (const auto& line : skipped_) reportStep(line.first, line.second);
        skipped_.clear();
    }

    ArchiveReader& reader_;
    bool named_;
    const RomEntryHandler& handle_;
    Outcomes& outcomes_;
    std::vector<std::pair<std::string, std::string>> skipped_; // name and line, not shown yet
    bool anyRom_ = false;
};

} // namespace

bool goThroughArchive(const std::string& file, bool named, const ArchiveOutcomes& kinds,
                      const RomEntryHandler& handle, Outcomes& outcomes) {
    if (!isArchiveFile(file)) return false;
    ArchiveError error;
    const std::unique_ptr<ArchiveReader> reader = openArchive(file, error);
    if (!reader) {
        reportError(file, "cannot read the archive", error.reason);
        outcomes.list.push_back(kinds.failed);
        return true;
    }
    EntryWalk walk(*reader, named, handle, outcomes);
    for (std::size_t index = 0; index < reader->entries().size(); ++index)
        if (!reader->entries()[index].folder) walk.take(index, kinds.failed);
    if (walk.anyRom() || !outcomes.list.empty()) return true;
    if (named) return false; // told as any file that is no ROM
    ++outcomes.notRoms;
    return true;
}

Outcomes identifyEachRom(const std::string& file, bool named, const IdentifyOptions& options,
                         const ArchiveOutcomes& kinds, const IdentityTeller& tell) {
    RomIdentity identity;
    Outcomes entries;
    const RomEntryHandler identifyEntry = [&](const std::string& name, EntrySource& rom) {
        const ReadForReport read = identifyForReport(name, rom, options, identity);
        return read == ReadForReport::Read ? tell(name, identity) : kinds.failed;
    };
    if (goThroughArchive(file, named, kinds, identifyEntry, entries)) return entries;
    const ReadForReport read = identifyForReport(file, options, identity);
    if (read == ReadForReport::Read) return tell(file, identity);
    return read == ReadForReport::NotRom ? kinds.notRom : kinds.failed;
}

void reportArchiveLeft(const std::string& file, const FileError& error) {
    const std::string what = error.step == FileStep::Read     ? "cannot read the archive"
                             : error.step == FileStep::Backup ? "cannot write the backup " + error.path
                                                              : "cannot write the new archive";
    reportError(file, what, error.reason + "; the archive was not changed");
}
