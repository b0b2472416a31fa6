// Reading an XML document element by element through a well-kept parser: libxml2's
// xmlReader (Linux, macOS) or Windows' own XmlLite, one source file each. Whatever could
// reach beyond the document is turned off: no network, no external DTD or entity is ever
// loaded, and entities the document declares itself are refused (libxml2) or capped
// (XmlLite), so a hostile document costs neither time nor memory.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A place in a document: line and column from 1; 0 where the parser does not tell.
struct XmlPosition {
    unsigned line = 0;
    unsigned column = 0;
};

// One attribute of an element, its value with character references resolved.
struct XmlAttribute {
    std::string name;
    std::string value;
};

// What the reader hands on, in document order. Texts are UTF-8.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;

    // An element starts at where. Returning false stops the reading, with problem as the
    // reason the document was refused.
    virtual bool startElement(const std::string& name, const std::vector<XmlAttribute>& attributes,
                              const XmlPosition& where, std::string& problem) = 0;

    // Text (or a CDATA section) inside the element started last and not yet ended.
    virtual void text(const std::string& text) = 0;

    // The element started last ends (also right after an empty element's start).
    virtual void endElement() = 0;
};

// Reads the document of size bytes at text (UTF-8 unless it declares another encoding),
// handing its elements to handler. False when it is not well-formed XML, declares entities
// of its own, or the handler refused it; reason then says what broke and where where.
bool readXml(const unsigned char* text, std::size_t size, XmlHandler& handler, std::string& reason,
             XmlPosition& where);
