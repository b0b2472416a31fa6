#include "actions/archive_rewrite.h"

#include <algorithm>

#include "archive/entry_source.h"
#include "core/file_ops.h"
#include "core/new_file.h"
#include "core/shown_text.h"
#include "core/text.h"
#include "identity/rom_image_reader.h"

namespace {

// The piece the backup is copied in.
const std::size_t kCopyPiece = std::size_t(1) << 20;

// Writes the entry a rewrite names, read whole, changed and perhaps renamed.
bool writeRewritten(ArchiveReader& reader, const EntryRewrite& rewrite, ArchiveWriter& writer, FileError& error) {
    EntrySource source(reader);
    ArchiveError problem;
    RomImageBuffer image;
    std::int64_t size = 0;
    const ArchiveEntry& old = reader.entries()[rewrite.index];
    if (!source.open(rewrite.index, 0, problem))
        return failFileStep(error, FileStep::Read, archiveReasonOf(problem), reader.path());
    if (!readRomImage(source, static_cast<std::size_t>(kMaxRomSize), image, size, ReadProgress(), error.reason))
        return failFileStep(error, FileStep::Read, "its entry " + shownText(old.name) + ": " + error.reason,
                               reader.path());
    rewrite.change(image.bytes(), image.size());
    ArchiveEntry facts = old;
    if (!rewrite.newName.empty()) facts.name = rewrite.newName;
    facts.size = size;
    if (writer.beginEntry(facts, problem) && writer.write(image.bytes(), image.size(), problem) &&
        writer.endEntry(problem))
        return true;
    return failFileStep(error, FileStep::NewFile, archiveReasonOf(problem), reader.path());
}

// The old archive's entries in the order the new one takes them: their own, or TorrentZip's
// (by their new names in lower case).
std::vector<std::size_t> writingOrder(const ArchiveReader& reader, const std::vector<const EntryRewrite*>& byIndex,
                                      bool torrentZip) {
    std::vector<std::string> names;
    for (std::size_t index = 0; index < byIndex.size(); ++index)
        names.push_back(byIndex[index] && !byIndex[index]->newName.empty() ? byIndex[index]->newName
                                                                            : reader.entries()[index].name);
    std::vector<std::size_t> order(names.size());
    for (std::size_t index = 0; index < order.size(); ++index) order[index] = index;
    if (torrentZip)
        std::stable_sort(order.begin(), order.end(),
                         [&names](std::size_t a, std::size_t b) { return lowerAscii(names[a]) < lowerAscii(names[b]); });
    return order;
}

// Writes the new archive into file: the rewrites, every other entry copied; then reads it
// back through the file's handle against the CRC-32 of every entry written.
bool writeArchive(ArchiveReader& reader, const std::vector<EntryRewrite>& rewrites, bool torrentZip, NewFile& file,
                  FileError& error) {
    NewFileArchiveOutput output(file);
    ArchiveError problem;
    ArchiveWriteOptions options;
    options.torrentZip = torrentZip;
    const std::unique_ptr<ArchiveWriter> writer =
        createArchiveWriter(reader.format(), output, reader.path(), problem, ArchiveBackend::Default, options);
    if (!writer) return failFileStep(error, FileStep::NewFile, archiveReasonOf(problem), reader.path());
    std::vector<const EntryRewrite*> byIndex(reader.entries().size(), nullptr);
    for (const EntryRewrite& rewrite : rewrites) byIndex[rewrite.index] = &rewrite;
    for (const std::size_t index : writingOrder(reader, byIndex, torrentZip)) {
        if (byIndex[index]) {
            if (!writeRewritten(reader, *byIndex[index], *writer, error)) return false;
        } else if (!writer->copyEntry(reader, index, problem)) {
            return failFileStep(error, FileStep::NewFile, archiveReasonOf(problem), reader.path());
        }
    }
    if (!writer->finish(problem)) return failFileStep(error, FileStep::NewFile, archiveReasonOf(problem), reader.path());
    const std::unique_ptr<ArchiveReader> written = openArchive(temporaryNameOf(reader.path()), file.handle(), problem);
    if (written && checkArchiveCrcs(*written, writer->writtenCrcs(), problem)) return true;
    return failFileStep(error, FileStep::NewFile, "the new archive does not read back whole: " + archiveReasonOf(problem),
                           temporaryNameOf(reader.path()));
}

// Copies the archive at path to backup, on the new file's road, replacing an older one.
bool writeBackup(const std::string& path, const std::string& backup, FileError& error) {
    FileOps& ops = fileOps();
    std::string reason;
    const FileHandle from = ops.open(path, OpenMode::Read, reason);
    if (from == kNoFile) return failFileStep(error, FileStep::Backup, reason, backup);
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
    return failFileStep(error, FileStep::Backup, reason, backup);
}

} // namespace

std::string archiveReasonOf(const ArchiveError& problem) {
    return problem.entry.empty() ? problem.reason : "its entry " + shownText(problem.entry) + ": " + problem.reason;
}

bool forEachArchivedRom(ArchiveReader& reader, const IdentifyOptions& options, const ArchivedRomTaker& take,
                        FileError& error) {
    for (std::size_t index = 0; index < reader.entries().size(); ++index) {
        if (reader.entries()[index].folder) continue;
        EntrySource source(reader);
        ArchiveError problem;
        if (!source.open(index, kArchiveSignatureBytes, problem))
            return failFileStep(error, FileStep::Read, archiveReasonOf(problem), reader.path());
        if (orderFromRomHead(source.head(), source.headSize()) == ByteOrder::None) continue;
        RomIdentity identity;
        std::string reason;
        if (!identifyRom(source, options, identity, reason))
            return failFileStep(error, FileStep::Read,
                                   "its entry " + shownText(reader.entries()[index].name) + ": " + reason, reader.path());
        take(index, identity);
    }
    return true;
}

bool refuseRewriteOptions(const ArchiveReader& reader, const ArchiveRewriteOptions& options, FileError& error) {
    if (!options.torrentZip || reader.format() == ArchiveFormat::Zip) return true;
    return failFileStep(error, FileStep::NewFile,
                           std::string("TorrentZip is a form of zip, and this is a ") + archiveFormatName(reader.format()) +
                               " archive",
                           reader.path());
}

// The old archive is only read until the new one is whole and durable; the backup, when
// asked for, is written before the new archive takes the name.
bool rewriteArchive(std::unique_ptr<ArchiveReader> reader, const std::vector<EntryRewrite>& rewrites,
                    const ArchiveRewriteOptions& options, FileError& error) {
    const std::string path = reader->path();
    NewFile file;
    std::string reason;
    if (!file.create(path, reason)) return failFileStep(error, FileStep::NewFile, reason, path);
    if (!writeArchive(*reader, rewrites, options.torrentZip, file, error)) return false;
    reader.reset(); // Windows renames no file over one that is open
    if (!options.backup.empty() && !writeBackup(path, options.backup, error)) return false;
    return file.commit(true, reason) || failFileStep(error, FileStep::NewFile, reason, path);
}
