// The XML reader on Windows' own XmlLite (xmllite.dll, part of Windows since Vista), which
// streams the document from a small read-only stream over the bytes in memory.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <objidl.h>
#include <xmllite.h>

#include <cstdio>

#include "core/conversion.h"
#include "identity/xml_reader.h"

namespace {

// The deepest nesting taken: a DAT goes four levels deep.
const LONG_PTR kMaxDepth = 64;

// Expansions of entities the document declares: one is allowed, so that the limit is
// reached at once by anything that uses them as a bomb does (character references and the
// five predefined entities are not counted).
const LONG_PTR kMaxEntityExpansions = 1;

// The document's bytes as the sequential stream XmlLite reads from; the bytes stay where
// they are and outlive the stream, which lives on the stack of readXml.
class MemoryStream : public ISequentialStream {
public:
    MemoryStream(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == __uuidof(IUnknown) || id == __uuidof(ISequentialStream)) {
            *object = static_cast<ISequentialStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }

    HRESULT STDMETHODCALLTYPE Read(void* into, ULONG wanted, ULONG* got) override {
        const std::size_t left = size_ - position_;
        const ULONG count = left < wanted ? static_cast<ULONG>(left) : wanted;
        CopyMemory(into, bytes_ + position_, count);
        position_ += count;
        if (got) *got = count;
        return count < wanted ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

private:
    const unsigned char* bytes_;
    std::size_t size_;
    std::size_t position_ = 0;
    ULONG references_ = 1; // the owner's
};

// A string of XmlLite's as UTF-8.
std::string utf8Of(const WCHAR* text, UINT length) {
    if (!text || length == 0) return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? static_cast<std::size_t>(bytes) : 0, '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], bytes, nullptr, nullptr);
    return out;
}

std::string nameOf(IXmlReader* reader) {
    const WCHAR* name = nullptr;
    UINT length = 0;
    return SUCCEEDED(reader->GetQualifiedName(&name, &length)) ? utf8Of(name, length) : std::string();
}

std::string valueOf(IXmlReader* reader) {
    const WCHAR* value = nullptr;
    UINT length = 0;
    return SUCCEEDED(reader->GetValue(&value, &length)) ? utf8Of(value, length) : std::string();
}

XmlPosition positionOf(IXmlReader* reader) {
    UINT line = 0, column = 0;
    reader->GetLineNumber(&line);
    reader->GetLinePosition(&column);
    return {line, column};
}

// What an error of XmlLite's means, for the ones a damaged or hostile DAT meets.
std::string errorText(HRESULT status) {
    switch (static_cast<unsigned long>(status)) {
    case MX_E_INPUTEND: return "the document ends too early";
    case MX_E_ENCODING:
    case XML_E_INVALIDENCODING: return "the text is not in the encoding it declares";
    case WC_E_ELEMENTMATCH: return "an end tag does not match its start tag";
    case WC_E_QUOTE: return "a quotation mark is missing";
    case WC_E_GREATERTHAN: return "a '>' is missing";
    case WC_E_LESSTHAN: return "a '<' stands where it cannot";
    case WC_E_SYNTAX: return "syntax error";
    case WC_E_NAMECHARACTER:
    case WC_E_XMLCHARACTER: return "a character that XML does not allow there";
    case WC_E_ROOTELEMENT: return "the document has no element, or more than one at the top";
    case WC_E_UNDECLAREDENTITY: return "the document refers to an entity it does not declare";
    case WC_E_NOEXTERNALENTITYREF: return "the document refers to an external entity";
    case SC_E_MAXENTITYEXPANSION: return "the document expands entities of its own, which no DAT uses";
    case SC_E_MAXELEMENTDEPTH: return "elements are nested too deep";
    case static_cast<unsigned long>(E_NOTIMPL): return "the document has parts this XML reader cannot read";
    case static_cast<unsigned long>(E_OUTOFMEMORY): return "no memory";
    default: break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "not well-formed XML (XmlLite error 0x%08lX)", static_cast<unsigned long>(status));
    return text;
}

// Hands the element the reader is on to handler, with its attributes, and its end at once
// when it is empty.
bool handOnElement(IXmlReader* reader, XmlHandler& handler, const XmlPosition& where, std::string& problem) {
    const bool empty = reader->IsEmptyElement() != FALSE;
    const std::string name = nameOf(reader);
    std::vector<XmlAttribute> attributes;
    for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK; more = reader->MoveToNextAttribute())
        attributes.push_back({nameOf(reader), valueOf(reader)});
    reader->MoveToElement();
    if (!handler.startElement(name, attributes, where, problem)) return false;
    if (empty) handler.endElement();
    return true;
}

// Sets the properties that keep the reader to the document: the DOCTYPE line every DAT
// carries is parsed, but its DTD is never fetched (no resolver), and expansions are capped.
// Wine's XmlLite knows no expansion limit; it reads no entity declarations at all either.
HRESULT confine(IXmlReader* reader) {
    HRESULT status = reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Parse);
    if (SUCCEEDED(status)) status = reader->SetProperty(XmlReaderProperty_XmlResolver, 0);
    if (SUCCEEDED(status)) status = reader->SetProperty(XmlReaderProperty_MaxElementDepth, kMaxDepth);
    if (SUCCEEDED(status)) {
        const HRESULT cap = reader->SetProperty(XmlReaderProperty_MaxEntityExpansion, kMaxEntityExpansions);
        if (cap != E_NOTIMPL) status = cap;
    }
    return status;
}

// Reads node after node until the end, an error or a refusal; status gets XmlLite's error.
bool readNodes(IXmlReader* reader, XmlHandler& handler, std::string& problem, XmlPosition& where, HRESULT& status) {
    XmlNodeType type;
    while ((status = reader->Read(&type)) == S_OK) {
        where = positionOf(reader);
        switch (type) {
        case XmlNodeType_Element:
            if (!handOnElement(reader, handler, where, problem)) return false;
            break;
        case XmlNodeType_Text:
        case XmlNodeType_CDATA: handler.text(valueOf(reader)); break;
        case XmlNodeType_EndElement: handler.endElement(); break;
        default: break;
        }
    }
    if (status == S_FALSE) return true;
    const XmlPosition failed = positionOf(reader);
    if (failed.line > 0) where = failed;
    return false;
}

} // namespace

bool readXml(const unsigned char* text, std::size_t size, XmlHandler& handler, std::string& reason,
             XmlPosition& where) {
    where = XmlPosition();
    IXmlReader* reader = nullptr;
    HRESULT status = CreateXmlReader(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr);
    if (FAILED(status)) {
        reason = "the XML reader cannot start: " + errorText(status);
        return false;
    }
    // Wine's XmlLite reads UTF-16 in little-endian order only: a document in big-endian
    // UTF-16 (its mark FE FF) is handed over with every pair of bytes exchanged.
    std::vector<unsigned char> littleEndian;
    if (size >= 2 && text[0] == 0xFE && text[1] == 0xFF) {
        littleEndian.assign(text, text + size);
        swapPairs(littleEndian.data(), littleEndian.size());
        text = littleEndian.data();
    }
    MemoryStream stream(text, size);
    status = confine(reader);
    if (SUCCEEDED(status)) status = reader->SetInput(&stream);
    std::string problem;
    bool read = false;
    if (SUCCEEDED(status)) read = readNodes(reader, handler, problem, where, status);
    reader->SetInput(nullptr); // gives the stream back before it goes
    reader->Release();
    if (read) return true;
    reason = problem.empty() ? errorText(status) : problem;
    return false;
}
