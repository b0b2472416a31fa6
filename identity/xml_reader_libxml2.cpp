// The XML reader on libxml2's xmlReader, which streams the document: the elements already
// handed on are freed, so a DAT of any length costs little more memory than its text.
#include "identity/xml_reader.h"

#include <libxml/hash.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlreader.h>

#include <climits>

namespace {

// Parser options: nothing from the network, and none of the options that would load the
// external DTD (XML_PARSE_DTDLOAD, DTDATTR, DTDVALID), substitute entities (NOENT), follow
// XInclude or lift the parser's size limits (HUGE). Errors come through the handler below,
// not on standard error.
const int kParserOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Refuses every external resource, whatever asks for it: the document alone is read.
xmlParserInputPtr refuseExternal(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

// The first error the parser reports: later ones only follow from it.
struct FirstError {
    bool set = false;
    std::string message;
    XmlPosition where;
};

// Keeps the parser's first error, its message without the line end.
void keepFirstError(void* sink, xmlErrorPtr error) {
    FirstError& first = *static_cast<FirstError*>(sink);
    if (first.set || !error) return;
    first.set = true;
    first.message = error->message ? error->message : "not well-formed XML";
    while (!first.message.empty() && (first.message.back() == '\n' || first.message.back() == ' '))
        first.message.pop_back();
    first.where.line = error->line > 0 ? static_cast<unsigned>(error->line) : 0;
    first.where.column = error->int2 > 0 ? static_cast<unsigned>(error->int2) : 0;
}

std::string textOf(const xmlChar* text) {
    return text ? reinterpret_cast<const char*>(text) : "";
}

// Whether the document type declares general or parameter entities. It comes before every
// element, so the check is made before any attribute value could expand one.
bool declaresEntities(xmlTextReaderPtr reader) {
    const xmlNodePtr node = xmlTextReaderCurrentNode(reader);
    if (!node || node->type != XML_DTD_NODE) return false;
    const xmlDtdPtr dtd = reinterpret_cast<xmlDtdPtr>(node);
    const auto filled = [](void* table) {
        return table && xmlHashSize(static_cast<xmlHashTablePtr>(table)) > 0;
    };
    return filled(dtd->entities) || filled(dtd->pentities);
}

// Hands the element the reader is on to handler, with its attributes, and its end at once
// when it is empty.
bool handOnElement(xmlTextReaderPtr reader, XmlHandler& handler, XmlPosition& where, std::string& problem) {
    const bool empty = xmlTextReaderIsEmptyElement(reader) == 1;
    const std::string name = textOf(xmlTextReaderConstName(reader));
    std::vector<XmlAttribute> attributes;
    while (xmlTextReaderMoveToNextAttribute(reader) == 1)
        attributes.push_back({textOf(xmlTextReaderConstName(reader)), textOf(xmlTextReaderConstValue(reader))});
    xmlTextReaderMoveToElement(reader);
    if (!handler.startElement(name, attributes, where, problem)) return false;
    if (empty) handler.endElement();
    return true;
}

// Reads node after node until the end, an error or a refusal.
bool readNodes(xmlTextReaderPtr reader, XmlHandler& handler, std::string& problem, XmlPosition& where) {
    int status;
    while ((status = xmlTextReaderRead(reader)) == 1) {
        // The node's own line: the parser itself may have read further. Nodes keep no column,
        // and the document type no line.
        const xmlNodePtr node = xmlTextReaderCurrentNode(reader);
        const long line = node ? xmlGetLineNo(node) : -1;
        where.line = line > 0 ? static_cast<unsigned>(line) : 0;
        where.column = 0;
        switch (xmlTextReaderNodeType(reader)) {
        case XML_READER_TYPE_DOCUMENT_TYPE:
            if (!declaresEntities(reader)) break;
            problem = "its document type (<!DOCTYPE>) declares entities (<!ENTITY>), which no DAT uses";
            return false;
        case XML_READER_TYPE_ENTITY_REFERENCE:
            problem = "the document refers to an entity (&" + textOf(xmlTextReaderConstName(reader)) + ";)";
            return false;
        case XML_READER_TYPE_ELEMENT:
            if (!handOnElement(reader, handler, where, problem)) return false;
            break;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_CDATA: handler.text(textOf(xmlTextReaderConstValue(reader))); break;
        case XML_READER_TYPE_END_ELEMENT: handler.endElement(); break;
        default: break;
        }
    }
    return status == 0;
}

} // namespace

bool readXml(const unsigned char* text, std::size_t size, XmlHandler& handler, std::string& reason,
             XmlPosition& where) {
    where = XmlPosition();
    if (size > static_cast<std::size_t>(INT_MAX)) {
        reason = "too large for the XML parser";
        return false;
    }
    xmlInitParser();
    xmlSetExternalEntityLoader(refuseExternal);
    // No base address: nothing relative to the document could be found even if asked for.
    const xmlTextReaderPtr reader = xmlReaderForMemory(reinterpret_cast<const char*>(text), static_cast<int>(size),
                                                       nullptr, nullptr, kParserOptions);
    if (!reader) {
        reason = "the XML parser cannot start (no memory)";
        return false;
    }
    FirstError error;
    xmlTextReaderSetStructuredErrorHandler(reader, keepFirstError, &error);
    std::string problem;
    const bool read = readNodes(reader, handler, problem, where);
    xmlFreeTextReader(reader);
    if (read) return true;
    if (!problem.empty()) {
        reason = problem;
    } else {
        reason = error.set ? error.message : "not well-formed XML";
        if (error.set && error.where.line > 0) where = error.where;
    }
    return false;
}
