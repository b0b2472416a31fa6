// The functions of libxml2 the DAT reader calls, each reaching the real one on its first call
// (core/lazy_library.h): a command that reads no DAT does not load libxml2 and ICU.
#include <libxml/hash.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlreader.h>

#include "core/lazy_library.h"

namespace {
LazyLibrary libxml2(DORNAVEL_LIBXML2_SONAME); // opened by the first call below
} // namespace

DORNAVEL_LAZY_FUNCTION(libxml2, void, xmlInitParser, (void), ())
DORNAVEL_LAZY_FUNCTION(libxml2, void, xmlSetExternalEntityLoader, (xmlExternalEntityLoader f), (f))
DORNAVEL_LAZY_FUNCTION(libxml2, xmlTextReaderPtr, xmlReaderForMemory,
                       (const char* buffer, int size, const char* url, const char* encoding, int options),
                       (buffer, size, url, encoding, options))
DORNAVEL_LAZY_FUNCTION(libxml2, void, xmlTextReaderSetStructuredErrorHandler,
                       (xmlTextReaderPtr reader, xmlStructuredErrorFunc f, void* arg), (reader, f, arg))
DORNAVEL_LAZY_FUNCTION(libxml2, int, xmlTextReaderRead, (xmlTextReaderPtr reader), (reader))
DORNAVEL_LAZY_FUNCTION(libxml2, int, xmlTextReaderNodeType, (xmlTextReaderPtr reader), (reader))
DORNAVEL_LAZY_FUNCTION(libxml2, xmlNodePtr, xmlTextReaderCurrentNode, (xmlTextReaderPtr reader), (reader))
DORNAVEL_LAZY_FUNCTION(libxml2, const xmlChar*, xmlTextReaderConstName, (xmlTextReaderPtr reader), (reader))
DORNAVEL_LAZY_FUNCTION(libxml2, const xmlChar*, xmlTextReaderConstValue, (xmlTextReaderPtr reader), (reader))
DORNAVEL_LAZY_FUNCTION(libxml2, int, xmlTextReaderIsEmptyElement, (xmlTextReaderPtr reader), (reader))
DORNAVEL_LAZY_FUNCTION(libxml2, int, xmlTextReaderMoveToNextAttribute, (xmlTextReaderPtr reader), (reader))
DORNAVEL_LAZY_FUNCTION(libxml2, int, xmlTextReaderMoveToElement, (xmlTextReaderPtr reader), (reader))
DORNAVEL_LAZY_FUNCTION(libxml2, void, xmlFreeTextReader, (xmlTextReaderPtr reader), (reader))
DORNAVEL_LAZY_FUNCTION(libxml2, long, xmlGetLineNo, (const xmlNode* node), (node))
DORNAVEL_LAZY_FUNCTION(libxml2, int, xmlHashSize, (xmlHashTablePtr table), (table))
