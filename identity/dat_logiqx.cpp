// Logiqx XML DATs: datafile, then header (name, ...) and game (or MAME's machine) elements,
// each with rom elements whose attributes hold the name, size, digests and status.
#include "identity/dat.h"
#include "identity/xml_reader.h"

namespace {

// Gathers the header's name and the ROMs of every game from the elements as they come.
class LogiqxHandler : public XmlHandler {
public:
    explicit LogiqxHandler(DatContents& contents) : contents_(contents) {}

    bool startElement(const std::string& name, const std::vector<XmlAttribute>& attributes, const XmlPosition& where,
                      std::string& problem) override {
        if (open_.empty() && name != "datafile") {
            problem = "not a Logiqx DAT: the document is <" + name + ">, not <datafile>";
            return false;
        }
        open_.push_back(name);
        if (isAt({"datafile", "game"}) || isAt({"datafile", "machine"})) game_ = valueOf(attributes, "name");
        if (isAt({"datafile", "game", "rom"}) || isAt({"datafile", "machine", "rom"}))
            return addRom(attributes, where, problem);
        return true;
    }

    void text(const std::string& text) override {
        if (isAt({"datafile", "header", "name"})) contents_.name += text;
    }

    void endElement() override {
        if (!open_.empty()) open_.pop_back();
    }

private:
    // Whether the elements open now are exactly path.
    bool isAt(std::initializer_list<const char*> path) const {
        if (open_.size() != path.size()) return false;
        std::size_t i = 0;
        for (const char* name : path)
            if (open_[i++] != name) return false;
        return true;
    }

    static std::string valueOf(const std::vector<XmlAttribute>& attributes, const char* name) {
        for (const XmlAttribute& attribute : attributes)
            if (attribute.name == name) return attribute.value;
        return std::string();
    }

    // Adds the ROM of a rom element; a value that cannot be its field refuses the DAT.
    bool addRom(const std::vector<XmlAttribute>& attributes, const XmlPosition& where, std::string& problem) {
        DatRom rom;
        rom.game = game_;
        rom.line = where.line;
        for (const XmlAttribute& attribute : attributes) {
            if (setRomField(rom, attribute.name, attribute.value, problem)) continue;
            problem = "rom \"" + valueOf(attributes, "name") + "\": " + problem;
            return false;
        }
        contents_.roms.push_back(std::move(rom));
        return true;
    }

    DatContents& contents_;
    std::vector<std::string> open_; // the names of the elements open, outermost first
    std::string game_;              // the name of the game being read
};

} // namespace

bool readLogiqxDat(const unsigned char* text, std::size_t size, DatContents& contents, std::string& reason) {
    LogiqxHandler handler(contents);
    XmlPosition where;
    std::string problem;
    if (!readXml(text, size, handler, problem, where)) {
        reason = placeText(where.line, where.column) + problem;
        return false;
    }
    if (contents.roms.empty() && contents.name.empty()) {
        reason = "not a Logiqx DAT: <datafile> holds no header and no ROM";
        return false;
    }
    return true;
}
