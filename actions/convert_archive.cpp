#include "actions/convert_archive.h"

#include <memory>

#include "archive/archive.h"
#include "archive/entry_source.h"
#include "core/conversion.h"
#include "core/extension.h"
#include "core/file_ops.h"
#include "core/new_file.h"
#include "core/shown_text.h"
#include "identity/rom_image_reader.h"

namespace {

// The piece the backup is copied in.
const std::size_t kCopyPiece = std::size_t(1) << 20;

// Sets error to step with reason about path; false, for "return fail(...)".
bool fail(FileError& error, FileStep step, const std::string& reason, const std::string& path) {
    error.step = step;
    error.reason = reason;
    error.path = path;
    return false;
}

// The reason of an archive's error, naming the entry when there is one.
std::string reasonOf(const ArchiveError& problem) {
    return problem.entry.empty() ? problem.reason : "its entry " + shownText(problem.entry) + ": " + problem.reason;
}

// Lists the ROM entries of the archive and their orders; false when an entry cannot be read.
bool findRoms(ArchiveReader& reader, const ArchiveConvertRequest& request, ArchiveConvertReport& report,
              std::vector<std::size_t>& indexes) {
    for (std::size_t index = 0; index < reader.entries().size(); ++index) {
        if (reader.entries()[index].folder) continue;
        EntrySource source(reader);
        ArchiveError problem;
        if (!source.open(index, kArchiveSignatureBytes, problem))
            return fail(report.error, FileStep::Read, reasonOf(problem), request.path);
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

// Writes entry index, a ROM, in the target order under its new name.
bool writeConverted(ArchiveReader& reader, std::size_t index, const ArchiveRomEntry& rom, ByteOrder target,
                    ArchiveWriter& writer, FileError& error) {
    EntrySource source(reader);
    ArchiveError problem;
    RomImageBuffer image;
    std::int64_t size = 0;
    if (!source.open(index, 0, problem)) return fail(error, FileStep::Read, reasonOf(problem), reader.path());
    if (!readRomImage(source, static_cast<std::size_t>(kMaxRomSize), image, size, ReadProgress(), error.reason))
        return fail(error, FileStep::Read, "its entry " + shownText(rom.name) + ": " + error.reason, reader.path());
    convertOrder(image.bytes(), image.size(), rom.order, target);
    ArchiveEntry facts = reader.entries()[index];
    if (!rom.renamedTo.empty()) facts.name = rom.renamedTo;
    facts.size = size;
    if (writer.beginEntry(facts, problem) && writer.write(image.bytes(), image.size(), problem) &&
        writer.endEntry(problem))
        return true;
    return fail(error, FileStep::NewFile, reasonOf(problem), reader.path());
}

// Writes the new archive into file: the ROMs converted, every other entry copied; then reads
// it back through the file's handle against the CRC-32 of every entry written.
bool writeArchive(ArchiveReader& reader, const std::vector<std::size_t>& indexes, const ArchiveConvertReport& report,
                  ByteOrder target, NewFile& file, FileError& error) {
    NewFileArchiveOutput output(file);
    ArchiveError problem;
    const std::unique_ptr<ArchiveWriter> writer = createArchiveWriter(reader.format(), output, reader.path(), problem);
    if (!writer) return fail(error, FileStep::NewFile, reasonOf(problem), reader.path());
    std::size_t rom = 0;
    for (std::size_t index = 0; index < reader.entries().size(); ++index) {
        const bool isRom = rom < indexes.size() && indexes[rom] == index;
        if (isRom && report.roms[rom].converted) {
            if (!writeConverted(reader, index, report.roms[rom], target, *writer, error)) return false;
        } else if (!writer->copyEntry(reader, index, problem)) {
            return fail(error, FileStep::NewFile, reasonOf(problem), reader.path());
        }
        if (isRom) ++rom;
    }
    if (!writer->finish(problem)) return fail(error, FileStep::NewFile, reasonOf(problem), reader.path());
    const std::unique_ptr<ArchiveReader> written = openArchive(temporaryNameOf(reader.path()), file.handle(), problem);
    if (written && checkArchiveCrcs(*written, writer->writtenCrcs(), problem)) return true;
    return fail(error, FileStep::NewFile, "the new archive does not read back whole: " + reasonOf(problem),
                temporaryNameOf(reader.path()));
}

// Copies the archive at path to path.bak, on the new file's road, replacing an older one.
bool writeBackup(const std::string& path, const std::string& backup, FileError& error) {
    FileOps& ops = fileOps();
    std::string reason;
    const FileHandle from = ops.open(path, OpenMode::Read, reason);
    if (from == kNoFile) return fail(error, FileStep::Backup, reason, backup);
    const std::int64_t size = ops.size(from, reason);
    NewFile file;
    std::vector<unsigned char> piece(kCopyPiece);
    bool copied = size >= 0 && file.create(backup, reason);
    for (std::int64_t at = 0; copied && at < size; at += static_cast<std::int64_t>(piece.size())) {
        const std::size_t count = size - at < static_cast<std::int64_t>(piece.size()) ? static_cast<std::size_t>(size - at)
                                                                                      : piece.size();
        copied = ops.read(from, piece.data(), count, at, reason) && file.write(piece.data(), count, at, reason);
    }
    std::string ignored;
    ops.close(from, ignored);
    if (copied && file.commit(true, reason)) return true;
    return fail(error, FileStep::Backup, reason, backup);
}

} // namespace

// The old archive is only read until the new one is whole and durable; the backup, when
// asked for, is written before the new archive takes the name.
ArchiveConvertReport convertArchive(const ArchiveConvertRequest& request) {
    ArchiveConvertReport report;
    ArchiveError problem;
    std::unique_ptr<ArchiveReader> reader = openArchive(request.path, problem);
    std::vector<std::size_t> indexes;
    if (!reader) return fail(report.error, FileStep::Read, reasonOf(problem), request.path), report;
    if (!findRoms(*reader, request, report, indexes)) return report;
    bool any = false;
    for (const ArchiveRomEntry& rom : report.roms) any = any || rom.converted;
    report.outcome = report.roms.empty() ? ArchiveConvertOutcome::NoRom
                     : any               ? ArchiveConvertOutcome::Converted
                                         : ArchiveConvertOutcome::AlreadyInOrder;
    if (report.outcome != ArchiveConvertOutcome::Converted) return report;
    const std::string backup = request.backup ? request.path + ".bak" : std::string();
    if (request.dryRun) return report.backup = backup, report;
    report.outcome = ArchiveConvertOutcome::Failed;
    NewFile file;
    std::string reason;
    if (!file.create(request.path, reason)) return fail(report.error, FileStep::NewFile, reason, request.path), report;
    if (!writeArchive(*reader, indexes, report, request.target, file, report.error)) return report;
    reader.reset(); // Windows renames no file over one that is open
    if (!backup.empty() && !writeBackup(request.path, backup, report.error)) return report;
    report.backup = backup;
    if (!file.commit(true, reason)) return fail(report.error, FileStep::NewFile, reason, request.path), report;
    report.outcome = ArchiveConvertOutcome::Converted;
    return report;
}
