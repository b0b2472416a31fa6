// The functions of libarchive the reader and writer call, each reaching the real one on its
// first call (core/lazy_library.h): a command that never opens a 7z does not load libarchive.
#include <archive.h>
#include <archive_entry.h>

#include <cstdarg>
#include <cstdio>

#include "core/lazy_library.h"

namespace {
LazyLibrary libarchive(DORNAVEL_LIBARCHIVE_SONAME); // opened by the first call below
} // namespace

DORNAVEL_LAZY_FUNCTION(libarchive, struct archive*, archive_read_new, (void), ())
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_read_support_format_all, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_read_support_format_raw, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_read_support_filter_all, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_read_set_read_callback, (struct archive* a, archive_read_callback* f),
                       (a, f))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_read_set_skip_callback, (struct archive* a, archive_skip_callback* f),
                       (a, f))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_read_set_seek_callback, (struct archive* a, archive_seek_callback* f),
                       (a, f))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_read_set_callback_data, (struct archive* a, void* data), (a, data))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_read_open1, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_read_next_header, (struct archive* a, struct archive_entry** entry),
                       (a, entry))
DORNAVEL_LAZY_FUNCTION(libarchive, la_ssize_t, archive_read_data, (struct archive* a, void* buffer, size_t size),
                       (a, buffer, size))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_read_free, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, la_int64_t, archive_filter_bytes, (struct archive* a, int filter), (a, filter))
DORNAVEL_LAZY_FUNCTION(libarchive, const char*, archive_format_name, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, const char*, archive_error_string, (struct archive* a), (a))

DORNAVEL_LAZY_FUNCTION(libarchive, struct archive*, archive_write_new, (void), ())
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_write_set_format_zip, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_write_set_format_7zip, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_write_zip_set_compression_store, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_write_zip_set_compression_deflate, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_write_set_bytes_in_last_block, (struct archive* a, int bytes), (a, bytes))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_write_open,
                       (struct archive* a, void* data, archive_open_callback* open, archive_write_callback* write,
                        archive_close_callback* close),
                       (a, data, open, write, close))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_write_header, (struct archive* a, struct archive_entry* entry), (a, entry))
DORNAVEL_LAZY_FUNCTION(libarchive, la_ssize_t, archive_write_data, (struct archive* a, const void* data, size_t size),
                       (a, data, size))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_write_finish_entry, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_write_close, (struct archive* a), (a))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_write_free, (struct archive* a), (a))

DORNAVEL_LAZY_FUNCTION(libarchive, struct archive_entry*, archive_entry_new, (void), ())
DORNAVEL_LAZY_FUNCTION(libarchive, void, archive_entry_free, (struct archive_entry* e), (e))
DORNAVEL_LAZY_FUNCTION(libarchive, const char*, archive_entry_pathname, (struct archive_entry* e), (e))
DORNAVEL_LAZY_FUNCTION(libarchive, const char*, archive_entry_pathname_utf8, (struct archive_entry* e), (e))
DORNAVEL_LAZY_FUNCTION(libarchive, la_int64_t, archive_entry_size, (struct archive_entry* e), (e))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_entry_size_is_set, (struct archive_entry* e), (e))
DORNAVEL_LAZY_FUNCTION(libarchive, time_t, archive_entry_mtime, (struct archive_entry* e), (e))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_entry_mtime_is_set, (struct archive_entry* e), (e))
DORNAVEL_LAZY_FUNCTION(libarchive, __LA_MODE_T, archive_entry_filetype, (struct archive_entry* e), (e))
DORNAVEL_LAZY_FUNCTION(libarchive, int, archive_entry_is_encrypted, (struct archive_entry* e), (e))
DORNAVEL_LAZY_FUNCTION(libarchive, void, archive_entry_set_pathname_utf8, (struct archive_entry* e, const char* name),
                       (e, name))
DORNAVEL_LAZY_FUNCTION(libarchive, void, archive_entry_set_size, (struct archive_entry* e, la_int64_t size), (e, size))
DORNAVEL_LAZY_FUNCTION(libarchive, void, archive_entry_set_mtime, (struct archive_entry* e, time_t t, long ns), (e, t, ns))
DORNAVEL_LAZY_FUNCTION(libarchive, void, archive_entry_set_filetype, (struct archive_entry* e, unsigned int type),
                       (e, type))
DORNAVEL_LAZY_FUNCTION(libarchive, void, archive_entry_set_perm, (struct archive_entry* e, __LA_MODE_T perm), (e, perm))

// archive_set_error takes a format: the text is made here and handed on whole.
extern "C" void archive_set_error(struct archive* a, int code, const char* format, ...) {
    static const auto real = reinterpret_cast<decltype(&archive_set_error)>(libarchive.symbol("archive_set_error"));
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    real(a, code, "%s", text);
}
