#include "actions/archived_input.h"

#include "archive/entry_source.h"
#include "core/byte_order.h"
#include "core/file_kind.h"
#include "core/shown_text.h"
#include "patch/patch.h"

namespace {

// Whether an entry's first bytes are of the kind wanted.
bool isWanted(const EntrySource& source, WantedEntry wanted) {
    if (wanted == WantedEntry::Rom) return orderFromRomHead(source.head(), source.headSize()) != ByteOrder::None;
    return recognisePatch(source.head(), source.headSize()) != PatchFormat::None;
}

// An entry of the kind wanted: its index, and the order its first byte names (for a ROM).
struct FoundEntry {
    std::size_t index;
    ByteOrder order;
};

// The entries of the kind wanted. One that cannot be opened is passed over, the first such
// failure kept in unreadable (its problem None when there was none).
std::vector<FoundEntry> wantedEntries(ArchiveReader& reader, WantedEntry wanted, ArchiveError& unreadable) {
    std::vector<FoundEntry> found;
    for (std::size_t index = 0; index < reader.entries().size(); ++index) {
        const ArchiveEntry& entry = reader.entries()[index];
        if (entry.folder || entry.nameProblem != NameProblem::None || entry.duplicate) continue;
        EntrySource source(reader);
        ArchiveError error;
        if (!source.open(index, kArchiveSignatureBytes, error)) {
            if (unreadable.problem == ArchiveProblem::None) unreadable = error;
        } else if (isWanted(source, wanted)) {
            found.push_back({index, orderFromFirstByte(source.head()[0])});
        }
    }
    return found;
}

// Reads the entry of the kind wanted of the archive at path.
bool readEntry(const std::string& path, WantedEntry wanted, RomImageBuffer& bytes, std::string& entry,
               FileError& error) {
    ArchiveError problem;
    std::int64_t size = 0;
    const std::unique_ptr<ArchiveReader> reader = openArchive(path, problem);
    if (!reader) return error.reason = problem.reason, false;
    ArchiveError unreadable;
    const std::vector<FoundEntry> found = wantedEntries(*reader, wanted, unreadable);
    if (found.empty() && unreadable.problem != ArchiveProblem::None)
        return error.reason = "its entry " + shownText(unreadable.entry) + ": " + unreadable.reason, false;
    if (found.empty()) return readRomImage(path, static_cast<std::size_t>(kMaxRomSize), bytes, size, ReadProgress(), error.reason);
    if (wanted == WantedEntry::Patch && found.size() > 1)
        return error.reason = std::to_string(found.size()) + " patches are in the archive; unpack the one meant", false;
    entry = reader->entries()[found[0].index].name;
    EntrySource source(*reader);
    if (source.open(found[0].index, 0, problem) &&
        readRomImage(source, static_cast<std::size_t>(kMaxRomSize), bytes, size, ReadProgress(), error.reason))
        return true;
    if (error.reason.empty()) error.reason = problem.reason;
    error.reason = "its entry " + shownText(entry) + ": " + error.reason;
    return false;
}

} // namespace

bool readWholeInput(const std::string& path, WantedEntry wanted, RomImageBuffer& bytes, std::string& entry,
                    FileError& error) {
    std::int64_t size = 0;
    entry.clear();
    error.step = FileStep::Read;
    error.path = path;
    if (isArchiveFile(path)) return readEntry(path, wanted, bytes, entry, error);
    return readRomImage(path, static_cast<std::size_t>(kMaxRomSize), bytes, size, ReadProgress(), error.reason);
}

ByteOrder romOrderOf(const std::string& path) {
    if (!isArchiveFile(path)) return detectByteOrder(path);
    const std::vector<std::pair<std::string, ByteOrder>> roms = romEntriesOf(path);
    return roms.empty() ? ByteOrder::None : roms[0].second;
}

std::vector<std::pair<std::string, ByteOrder>> romEntriesOf(const std::string& path) {
    std::vector<std::pair<std::string, ByteOrder>> roms;
    ArchiveError problem, unreadable;
    const std::unique_ptr<ArchiveReader> reader = openArchive(path, problem);
    if (!reader) return roms;
    for (const FoundEntry& rom : wantedEntries(*reader, WantedEntry::Rom, unreadable))
        roms.push_back({reader->entries()[rom.index].name, rom.order});
    return roms;
}

bool holdsPatch(const std::string& path) {
    if (!isArchiveFile(path)) return false;
    ArchiveError ignored, unreadable;
    const std::unique_ptr<ArchiveReader> reader = openArchive(path, ignored);
    return reader && wantedEntries(*reader, WantedEntry::Patch, unreadable).size() == 1;
}
