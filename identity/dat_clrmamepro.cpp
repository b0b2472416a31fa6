// clrmamepro's text DATs: a "clrmamepro ( name "..." ... )" header, then blocks such as
// game ( name "..." rom ( name "....z64" size 12582912 crc ... md5 ... sha1 ... ) ). A block
// holds keys, each followed by a word, a quoted string or a block of its own. No library
// reads the format; this follows its published description.
#include <functional>

#include "identity/dat.h"

namespace {

// The deepest nesting of blocks taken: a DAT goes three deep.
const int kMaxDepth = 16;

// One piece of the text.
struct Token {
    enum Kind { Word, String, Open, Close, End } kind = End;
    std::string text;
    unsigned line = 0, column = 0;
};

// Cuts the text into words, quoted strings (no escapes: the closing quote ends them) and
// parentheses, counting lines and columns for the messages.
class Tokenizer {
public:
    Tokenizer(const unsigned char* text, std::size_t size) : text_(text), size_(size) {}

    // The next token; false with problem set for a string left open.
    bool next(Token& token, std::string& problem) {
        skipSpace();
        token = Token();
        token.line = line_;
        token.column = column_;
        if (at_ == size_) return true;
        const unsigned char c = text_[at_];
        if (c == '(' || c == ')') {
            token.kind = c == '(' ? Token::Open : Token::Close;
            advance();
            return true;
        }
        if (c == '"') return readString(token, problem);
        token.kind = Token::Word;
        while (at_ < size_ && !isSpace(text_[at_]) && text_[at_] != '(' && text_[at_] != ')' && text_[at_] != '"')
            token.text += static_cast<char>(advance());
        return true;
    }

private:
    static bool isSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    unsigned char advance() {
        const unsigned char c = text_[at_++];
        if (c == '\n') ++line_, column_ = 1;
        else ++column_;
        return c;
    }

    void skipSpace() {
        if (at_ == 0 && size_ >= 3 && text_[0] == 0xEF && text_[1] == 0xBB && text_[2] == 0xBF) at_ = 3;
        while (at_ < size_ && isSpace(text_[at_])) advance();
    }

    bool readString(Token& token, std::string& problem) {
        token.kind = Token::String;
        advance();
        while (at_ < size_ && text_[at_] != '"') token.text += static_cast<char>(advance());
        if (at_ == size_) {
            problem = "a quoted string is not closed";
            return false;
        }
        advance();
        return true;
    }

    const unsigned char* text_;
    std::size_t size_;
    std::size_t at_ = 0;
    unsigned line_ = 1, column_ = 1;
};

// A token as a message quotes it.
std::string quoted(const Token& token) {
    switch (token.kind) {
    case Token::Open: return "\"(\"";
    case Token::Close: return "\")\"";
    case Token::End: return "the end of the DAT";
    case Token::Word:
    case Token::String: break;
    }
    return "\"" + token.text + "\"";
}

// Reads the blocks of the whole text into a DAT's contents.
class ClrMameProReader {
public:
    ClrMameProReader(const unsigned char* text, std::size_t size, DatContents& contents)
        : tokens_(text, size), contents_(contents) {}

    bool read(std::string& reason);

private:
    // What a block does with a key and its word or string value; false with problem_ set
    // refuses the DAT.
    using OnValue = std::function<bool(const Token& key, const Token& value)>;
    // What a block does with a key whose value is a block, already opened; false to skip it.
    using OnBlock = std::function<bool(const Token& key, bool& ok)>;

    bool next(Token& token) { return tokens_.next(token, problem_) || fail(token); }
    bool fail(const Token& at) {
        where_ = at;
        return false;
    }
    bool failWith(const Token& at, const std::string& problem) {
        problem_ = problem;
        return fail(at);
    }

    bool readItems(const Token& opened, int depth, const OnValue& onValue, const OnBlock& onBlock);
    bool skipBlock(const Token& opened, int depth);
    bool readTopBlock(const Token& name);
    bool readGame(const Token& opened);

    Tokenizer tokens_;
    DatContents& contents_;
    std::string problem_;
    Token where_; // where the problem was met
};

// Reads key after key up to the block's closing parenthesis.
bool ClrMameProReader::readItems(const Token& opened, int depth, const OnValue& onValue, const OnBlock& onBlock) {
    if (depth > kMaxDepth) return failWith(opened, "blocks are nested too deep");
    for (;;) {
        Token key, value;
        if (!next(key)) return false;
        if (key.kind == Token::Close) return true;
        if (key.kind == Token::End)
            return failWith(key, "the DAT ends inside the block opened at line " + std::to_string(opened.line) +
                                     " (a closing parenthesis is missing)");
        if (key.kind != Token::Word) return failWith(key, "a key was expected, not " + quoted(key));
        if (!next(value)) return false;
        if (value.kind == Token::Open) {
            bool ok = true;
            if (!(onBlock && onBlock(key, ok)) && ok) ok = skipBlock(value, depth + 1);
            if (!ok) return false;
        } else if (value.kind == Token::Word || value.kind == Token::String) {
            if (onValue && !onValue(key, value)) return fail(value);
        } else {
            return failWith(value, "the key \"" + key.text + "\" has no value");
        }
    }
}

bool ClrMameProReader::skipBlock(const Token& opened, int depth) {
    return readItems(opened, depth, OnValue(), OnBlock());
}

// A game's name and its ROMs, which take the name once the block is read whole.
bool ClrMameProReader::readGame(const Token& opened) {
    std::string game;
    std::vector<DatRom> roms;
    const OnValue onValue = [&](const Token& key, const Token& value) {
        if (key.text == "name") game = value.text;
        return true;
    };
    const OnBlock onBlock = [&](const Token& key, bool& ok) {
        if (key.text != "rom") return false;
        DatRom rom;
        rom.line = key.line;
        ok = readItems(key, 2, [&](const Token& field, const Token& value) {
            return setRomField(rom, field.text, value.text, problem_);
        }, OnBlock());
        roms.push_back(std::move(rom));
        return true;
    };
    if (!readItems(opened, 1, onValue, onBlock)) return false;
    for (DatRom& rom : roms) {
        rom.game = game;
        contents_.roms.push_back(std::move(rom));
    }
    return true;
}

// A block at the top: the header, a game (MAME's machine and resource too), or another
// block, which is skipped.
bool ClrMameProReader::readTopBlock(const Token& name) {
    Token opened;
    if (!next(opened)) return false;
    if (opened.kind != Token::Open) return failWith(opened, "\"(\" was expected after \"" + name.text + "\", not " + quoted(opened));
    if (name.text == "clrmamepro")
        return readItems(opened, 1, [&](const Token& key, const Token& value) {
            if (key.text == "name") contents_.name = value.text;
            return true;
        }, OnBlock());
    if (name.text == "game" || name.text == "machine" || name.text == "resource") return readGame(opened);
    return skipBlock(opened, 1);
}

bool ClrMameProReader::read(std::string& reason) {
    for (;;) {
        Token name;
        bool ok = next(name);
        if (ok && name.kind == Token::End) return true;
        if (ok && name.kind != Token::Word) ok = failWith(name, "a block name was expected, not " + quoted(name));
        if (ok) ok = readTopBlock(name);
        if (ok) continue;
        reason = placeText(where_.line, where_.column) + problem_;
        return false;
    }
}

} // namespace

bool readClrMameProDat(const unsigned char* text, std::size_t size, DatContents& contents, std::string& reason) {
    ClrMameProReader reader(text, size, contents);
    if (!reader.read(reason)) return false;
    if (!contents.roms.empty() || !contents.name.empty()) return true;
    reason = "not a clrmamepro DAT: it holds no header and no ROM";
    return false;
}
