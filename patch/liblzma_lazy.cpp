// The functions of liblzma the xdelta reader calls, each reaching the real one on its first
// call (core/lazy_library.h): only an xdelta patch with lzma sections loads liblzma.
#include <lzma.h>

#include "core/lazy_library.h"

namespace {
LazyLibrary liblzma(DORNAVEL_LIBLZMA_SONAME); // opened by the first call below
} // namespace

DORNAVEL_LAZY_FUNCTION(liblzma, lzma_ret, lzma_stream_decoder, (lzma_stream * stream, uint64_t memlimit, uint32_t flags),
                       (stream, memlimit, flags))
DORNAVEL_LAZY_FUNCTION(liblzma, lzma_ret, lzma_code, (lzma_stream * stream, lzma_action action), (stream, action))
DORNAVEL_LAZY_FUNCTION(liblzma, void, lzma_end, (lzma_stream * stream), (stream))
