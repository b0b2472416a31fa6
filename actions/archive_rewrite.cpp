#include "actions/archive_rewrite.h"

#include "archive/entry_source.h"
#include "core/file_ops.h"
#include "core/new_file.h"
#include "core/shown_text.h"
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
        return failArchiveStep(error, FileStep::Read, archiveReasonOf(problem), reader.path());
    if (!readRomImage(source, static_cast<std::size_t>(kMaxRomSize), image, size, ReadProgress(), error.reason))
        return failArchiveStep(error, FileStep::Read, "its entry " + shownText(old.name) + ": " + error.reason,
                               reader.path());
    rewrite.change(image.bytes(), image.size());
    ArchiveEntry facts = old;
    if (!rewrite.newName.empty()) facts.name = rewrite.newName;
    facts.size = size;
    if (writer.beginEntry(facts, problem) && writer.write(image.bytes(), image.size(), problem) &&
        writer.endEntry(problem))
        return true;
    return failArchiveStep(error, FileStep::NewFile, archiveReasonOf(problem), reader.path());
}

// Writes the new archive into file: the rewrites, every other entry copied; then reads it
// back through the file's handle against the CRC-32 of every entry written.
bool writeArchive(ArchiveReader& reader, const std::vector<EntryRewrite>& rewrites, NewFile& file, FileError& error) {
    NewFileArchiveOutput output(file);
    ArchiveError problem;
    const std::unique_ptr<ArchiveWriter> writer = createArchiveWriter(reader.format(), output, reader.path(), problem);
    if (!writer) return failArchiveStep(error, FileStep::NewFile, archiveReasonOf(problem), reader.path());
    std::size_t next = 0;
    for (std::size_t index = 0; index < reader.entries().size(); ++index) {
        if (next < rewrites.size() && rewrites[next].index == index) {
            if (!writeRewritten(reader, rewrites[next++], *writer, error)) return false;
        } else if (!writer->copyEntry(reader, index, problem)) {
            return failArchiveStep(error, FileStep::NewFile, archiveReasonOf(problem), reader.path());
        }
    }
    if (!writer->finish(problem)) return failArchiveStep(error, FileStep::NewFile, archiveReasonOf(problem), reader.path());
    const std::unique_ptr<ArchiveReader> written = openArchive(temporaryNameOf(reader.path()), file.handle(), problem);
    if (written && checkArchiveCrcs(*written, writer->writtenCrcs(), problem)) return true;
    return failArchiveStep(error, FileStep::NewFile, "the new archive does not read back whole: " + archiveReasonOf(problem),
                           temporaryNameOf(reader.path()));
}

// Copies the archive at path to backup, on the new file's road, replacing an older one.
bool writeBackup(const std::string& path, const std::string& backup, FileError& error) {
    FileOps& ops = fileOps();
    std::string reason;
    const FileHandle from = ops.open(path, OpenMode::Read, reason);
    if (from == kNoFile) return failArchiveStep(error, FileStep::Backup, reason, backup);
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
    return failArchiveStep(error, FileStep::Backup, reason, backup);
}

} // namespace

std::string archiveReasonOf(const ArchiveError& problem) {
    return problem.entry.empty() ? problem.reason : "its entry " + shownText(problem.entry) + ": " + problem.reason;
}

bool failArchiveStep(FileError& error, FileStep step, const std::string& reason, const std::string& path) {
    error.step = step;
    error.reason = reason;
    error.path = path;
    return false;
}

// The old archive is only read until the new one is whole and durable; the backup, when
// asked for, is written before the new archive takes the name.
bool rewriteArchive(std::unique_ptr<ArchiveReader> reader, const std::vector<EntryRewrite>& rewrites,
                    const std::string& backup, FileError& error) {
    const std::string path = reader->path();
    NewFile file;
    std::string reason;
    if (!file.create(path, reason)) return failArchiveStep(error, FileStep::NewFile, reason, path);
    if (!writeArchive(*reader, rewrites, file, error)) return false;
    reader.reset(); // Windows renames no file over one that is open
    if (!backup.empty() && !writeBackup(path, backup, error)) return false;
    return file.commit(true, reason) || failArchiveStep(error, FileStep::NewFile, reason, path);
}
