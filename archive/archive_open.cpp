// Which back end reads or writes an archive, by its signature and what the build holds.
#include "archive/backend.h"

namespace {

// The back end Default stands for in this build.
ArchiveBackend resolve(ArchiveBackend backend) {
    if (backend != ArchiveBackend::Default) return backend;
    return archiveBackendAvailable(ArchiveBackend::Libarchive) ? ArchiveBackend::Libarchive : ArchiveBackend::Zlib;
}

// Recognises the archive at path by its first bytes.
bool recogniseFile(const std::string& path, FileHandle given, ArchiveFormat& format, ArchiveError& error) {
    ArchiveFile file;
    error = {ArchiveProblem::Unreadable, path, "", ""};
    if (!file.open(path, given, error.reason)) return false;
    unsigned char first[kArchiveSignatureBytes];
    const std::size_t count = static_cast<std::size_t>(std::min<std::int64_t>(file.size(), sizeof first));
    if (!file.read(first, count, 0, error.reason)) return false;
    format = recogniseArchive(first, count);
    if (format != ArchiveFormat::None) return true;
    error = {ArchiveProblem::NotAnArchive, path, "", "it is no archive of a kind read here (zip, 7z, gzip, xz, bzip2, rar, tar)"};
    return false;
}

} // namespace

std::unique_ptr<ArchiveReader> openArchive(const std::string& path, ArchiveError& error, ArchiveBackend backend) {
    return openArchive(path, kNoFile, error, backend);
}

std::unique_ptr<ArchiveReader> openArchive(const std::string& path, FileHandle file, ArchiveError& error,
                                           ArchiveBackend backend) {
    ArchiveFormat format = ArchiveFormat::None;
    if (!recogniseFile(path, file, format, error)) return nullptr;
    backend = resolve(backend);
    if (backend == ArchiveBackend::Libarchive) {
        if (!archiveBackendAvailable(backend)) {
            error = {ArchiveProblem::Unsupported, path, "", "this build has no libarchive"};
            return nullptr;
        }
#ifdef DORNAVEL_HAVE_LIBARCHIVE
        return openWithLibarchive(path, file, format, error);
#endif
    }
    if (format == ArchiveFormat::Zip) return openZipWithZlib(path, file, error);
    if (format == ArchiveFormat::Gzip) return openGzipWithZlib(path, file, error);
    error = {ArchiveProblem::Unsupported, path, "",
             std::string("it is a ") + archiveFormatName(format) + " archive; this build reads zip and gzip only"};
    return nullptr;
}

// gzip is written through zlib by both back ends: libarchive's gzip filter keeps neither the
// entry's name nor its time.
std::unique_ptr<ArchiveWriter> createArchiveWriter(ArchiveFormat format, ArchiveOutput& output, const std::string& name,
                                                   ArchiveError& error, ArchiveBackend backend,
                                                   const ArchiveWriteOptions& options) {
    backend = resolve(backend);
    if (options.torrentZip && format != ArchiveFormat::Zip) {
        error = {ArchiveProblem::Unsupported, name, "",
                 std::string("TorrentZip is a form of zip, and this is a ") + archiveFormatName(format) + " archive"};
        return nullptr;
    }
    if (options.torrentZip) return createZipWithZlib(output, name, options);
    if (format == ArchiveFormat::Gzip) return createGzipWithZlib(output, name);
#ifdef DORNAVEL_HAVE_LIBARCHIVE
    if (backend == ArchiveBackend::Libarchive && (format == ArchiveFormat::Zip || format == ArchiveFormat::SevenZip))
        return createWithLibarchive(format, output, name, error);
#endif
    if (backend == ArchiveBackend::Zlib && format == ArchiveFormat::Zip) return createZipWithZlib(output, name, options);
    error = {ArchiveProblem::Unsupported, name, "",
             std::string("this build writes ") + (backend == ArchiveBackend::Zlib ? "zip and gzip" : "zip, 7z and gzip") +
             " archives only, not " + archiveFormatName(format)};
    return nullptr;
}
