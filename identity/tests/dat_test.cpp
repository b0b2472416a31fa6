// DAT files: both formats in both orders with the real ROM's digests, the digest and order
// each ROM is matched by, and damaged or hostile DATs, which must be refused quickly with
// the place they broke, or read, never followed beyond the file.
#include "identity/dat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/conversion.h"
#include "identity/tests/dat_samples.h"
#include "identity/tests/rom_samples.h"

namespace {


// Writes text as the whole content of the file at path.
void writeText(const std::string& path, const std::string& text) {
    writeFile(path, Bytes(text.begin(), text.end()));
}

// Parses text as a DAT, expecting it to be read.
Dat parsed(const std::string& text) {
    Dat dat;
    std::string reason;
    EXPECT_TRUE(dat.parse(reinterpret_cast<const unsigned char*>(text.data()), text.size(), reason)) << reason;
    return dat;
}

// Why text is refused as a DAT; empty when it is read.
std::string refusal(const std::string& text) {
    Dat dat;
    std::string reason;
    return dat.parse(reinterpret_cast<const unsigned char*>(text.data()), text.size(), reason) ? "" : reason;
}

// The text of a DAT in a format: XML or clrmamepro.
// The first ROM of the DAT of that game, or null.
const DatRom* romOf(const Dat& dat, const std::string& game) {
    for (const DatRom& rom : dat.roms())
        if (rom.game == game) return &rom;
    return nullptr;
}

// The real ROM written in order, then looked up in dat with the digests it asks for.
DatMatch findRealRom(const Dat& dat, ByteOrder order, RomIdentity& identity) {
    Bytes image = realRom();
    convertToBig(image.data(), image.size(), ByteOrder::DoctorV64);
    convertFromBig(image.data(), image.size(), order);
    ScratchFolder folder;
    writeFile(folder.path("rom"), image);
    IdentifyOptions options;
    options.digests[0] = DigestSet();
    askForDatDigests(dat, options);
    std::string reason;
    EXPECT_TRUE(identifyRom(folder.path("rom"), options, identity, reason)) << reason;
    return dat.find(identity.digests, identity.order, identity.size);
}

class DatFormats : public testing::TestWithParam<DatKind> {};

// Every field of the real ROM's entry comes through, among 300 filler entries, and the
// order of its digests comes from its name's extension.
TEST_P(DatFormats, ReadEveryField) {
    const DatKind c = GetParam();
    const Dat dat = parsed(datText(c.xml, c.header, sampleRoms(*c.real, c.extension)));
    EXPECT_EQ(dat.format(), c.xml ? DatFormat::LogiqxXml : DatFormat::ClrMamePro);
    EXPECT_EQ(dat.name(), c.header);
    EXPECT_EQ(dat.roms().size(), 301u);
    const DatRom* rom = romOf(dat, kRealGame);
    ASSERT_NE(rom, nullptr);
    EXPECT_EQ(rom->name, std::string(kRealGame) + c.extension); // commas and parentheses kept
    EXPECT_EQ(rom->size, 1048576);
    EXPECT_EQ(rom->crc32, std::stoul(c.real->crc, nullptr, 16));
    EXPECT_EQ(hexUpper(rom->md5, 16), c.real->md5);
    EXPECT_EQ(hexUpper(rom->sha1, 20), c.real->sha1);
    EXPECT_EQ(rom->status, DatStatus::Verified);
    EXPECT_EQ(rom->serial, "NDEM");
    EXPECT_EQ(rom->order, orderOfRomName(rom->name));
    EXPECT_GT(rom->line, 1u);
    EXPECT_EQ(romOf(dat, "Filler 007 (World)")->status, DatStatus::Verified); // every seventh
    EXPECT_EQ(romOf(dat, "Filler 008 (World)")->status, DatStatus::Good);      // none given
}

// The real ROM is found from a file in each order: by the digests of its image in the DAT's
// order, never by converting the file.
TEST_P(DatFormats, FindTheRealRomInEveryOrder) {
    const DatKind c = GetParam();
    SKIP_WITHOUT_REAL_ROM(realRom());
    const Dat dat = parsed(datText(c.xml, c.header, sampleRoms(*c.real, c.extension)));
    const ByteOrder datOrder = orderOfRomName(std::string("x") + c.extension);
    for (ByteOrder order : {ByteOrder::BigEndian, ByteOrder::LittleEndian, ByteOrder::DoctorV64}) {
        RomIdentity identity;
        const DatMatch match = findRealRom(dat, order, identity);
        ASSERT_NE(match.rom, nullptr) << orderLabel(order);
        EXPECT_EQ(match.rom->game, kRealGame);
        EXPECT_EQ(match.by, DatDigest::Sha1);
        EXPECT_EQ(match.order, datOrder);
        // Only SHA-1, the digest the DAT's ROMs are matched by, was computed.
        const DigestSet computed = identity.digests.computed[orderSlot(datOrder)];
        EXPECT_TRUE(computed.sha1 && !computed.md5 && !computed.crc32) << orderLabel(order);
        const ImageDigests& values = identity.digests.values[orderSlot(datOrder)];
        EXPECT_EQ(values.crc32, 0u) << "a CRC-32 was computed too";
    }
}

const DatKind kDatKinds[] = {
    {true, kBigDatName, &kRealBig, ".z64"},
    {true, kSwappedDatName, &kRealV64, ".v64"},
    {false, kBigDatName, &kRealBig, ".z64"},
    {false, kSwappedDatName, &kRealV64, ".v64"},
};
INSTANTIATE_TEST_SUITE_P(BothFormatsBothOrders, DatFormats, testing::ValuesIn(kDatKinds),
                         [](const testing::TestParamInfo<DatKind>& info) {
                             return std::string(info.param.xml ? "xml_" : "clrmamepro_") +
                                    (info.param.real == &kRealBig ? "big" : "v64");
                         });

// A ROM name's extension says the order of its digests, else the DAT's name, else they are
// of the big-endian image; the letter case does not matter.
TEST(DatOrders, FromTheNameElseTheDatElseBigEndian) {
    const struct {
        const char* header;
        const char* name;
        ByteOrder order;
    } cases[] = {
        {kBigDatName, "a.v64", ByteOrder::DoctorV64},         // the name wins over the DAT
        {kSwappedDatName, "a.z64", ByteOrder::BigEndian},
        {kSwappedDatName, "a.N64", ByteOrder::LittleEndian},
        {kSwappedDatName, "a.Z64", ByteOrder::BigEndian},     // every letter in either case
        {kSwappedDatName, "a.bin", ByteOrder::DoctorV64},     // no order in the name
        {"Nintendo - Nintendo 64", "a.bin", ByteOrder::BigEndian},
        {"Nintendo - Nintendo 64", "a.V64", ByteOrder::DoctorV64},
    };
    for (const auto& c : cases) {
        const Dat dat = parsed(logiqxDat(c.header, {{"A", c.name, "4", "0", "", "", "", ""}}));
        ASSERT_EQ(dat.roms().size(), 1u);
        EXPECT_EQ(dat.roms()[0].order, c.order) << c.header << " / " << c.name;
        EXPECT_TRUE(dat.needs(orderSlot(c.order)).crc32) << c.name;
    }
}

// SHA-1 where a ROM lists it, else MD5, else the CRC-32 with the size; whatever the order of
// the ROMs in the DAT, the strongest digest decides. Lower-case digests match too.
TEST(DatMatching, StrongestDigestFirst) {
    SKIP_WITHOUT_REAL_ROM(realRom());
    const SampleRom byCrc{"By CRC", "c.z64", "1048576", kRealBig.crc, "", "", "", ""};
    const SampleRom byMd5{"By MD5", "m.z64", "", "", "dbf04773ec2b8adf8a94db7e3e461138", "", "", ""};
    const SampleRom bySha1{"By SHA-1", "s.z64", "", "", "", kRealBig.sha1, "", ""};
    const SampleRom crcNoSize{"CRC without size", "n.z64", "", kRealBig.crc, "", "", "", ""};
    const SampleRom crcWrongSize{"CRC, other size", "w.z64", "1048580", kRealBig.crc, "", "", "", ""};
    const struct {
        std::vector<SampleRom> roms;
        const char* game; // null: not found
        DatDigest by;
    } cases[] = {
        {{byCrc, byMd5, bySha1}, "By SHA-1", DatDigest::Sha1},
        {{byCrc, byMd5}, "By MD5", DatDigest::Md5},
        {{byCrc}, "By CRC", DatDigest::Crc32},
        {{crcNoSize}, nullptr, DatDigest::None},   // a CRC alone is too weak
        {{crcWrongSize}, nullptr, DatDigest::None},
    };
    for (const auto& c : cases) {
        const Dat dat = parsed(logiqxDat(kBigDatName, c.roms));
        RomIdentity identity;
        const DatMatch match = findRealRom(dat, ByteOrder::DoctorV64, identity);
        EXPECT_EQ(match.rom ? match.rom->game : "(none)", c.game ? c.game : "(none)");
        EXPECT_EQ(match.by, c.by);
        if (c.by == DatDigest::Crc32) { // only the CRC-32 was asked for: SHA-1 was not computed
            EXPECT_EQ(hexUpper(identity.digests.values[0].sha1, 20), std::string(40, '0'));
        }
    }
}

// The image in the file's own order comes first: a DAT that lists the real ROM in two
// orders (as iQue titles are listed) finds the v64 file as its v64 entry, the big-endian
// file as its big-endian one, and the little-endian file by its big-endian image. A
// no-dump entry has no digests and matches nothing.
TEST(DatMatching, OwnOrderFirstThenBigEndian) {
    SKIP_WITHOUT_REAL_ROM(realRom());
    const Dat dat = parsed(clrMameProDat("Nintendo - Nintendo 64", {
        {"Never Dumped", "x.z64", "1048576", kRealBig.crc, "", "", "nodump", ""},
        realRomEntry("As V64", "demo.v64", kRealV64),
        realRomEntry("As Z64", "demo.z64", kRealBig),
    }));
    const struct {
        ByteOrder file;
        const char* game;
        ByteOrder matched;
    } cases[] = {
        {ByteOrder::DoctorV64, "As V64", ByteOrder::DoctorV64},
        {ByteOrder::BigEndian, "As Z64", ByteOrder::BigEndian},
        {ByteOrder::LittleEndian, "As Z64", ByteOrder::BigEndian},
    };
    for (const auto& c : cases) {
        RomIdentity identity;
        const DatMatch match = findRealRom(dat, c.file, identity);
        ASSERT_NE(match.rom, nullptr) << orderLabel(c.file);
        EXPECT_EQ(match.rom->game, c.game);
        EXPECT_EQ(match.order, c.matched);
    }
}

// A file whose order is not recognised is taken as it is, against ROMs of every order.
TEST(DatMatching, UnknownOrderTakenAsItIs) {
    ScratchFolder folder;
    writeFile(folder.path("odd"), Bytes{'a', 'b', 'c'});
    // "abc" has the CRC-32 352441C2 (the zlib test vector); the ROM is said to be a v64 one.
    const Dat dat = parsed(logiqxDat(kBigDatName, {{"Odd", "odd.v64", "3", "352441c2", "", "", "", ""}}));
    IdentifyOptions options;
    options.digests[0] = DigestSet();
    askForDatDigests(dat, options);
    RomIdentity identity;
    std::string reason;
    ASSERT_TRUE(identifyRom(folder.path("odd"), options, identity, reason)) << reason;
    const DatMatch match = dat.find(identity.digests, identity.order, identity.size);
    ASSERT_NE(match.rom, nullptr);
    EXPECT_EQ(match.rom->game, "Odd");
    EXPECT_EQ(match.order, ByteOrder::None);
}

// The name a file gets: the ROM's name with the extension of the file's order in place of
// its own (only a short run of letters or digits after the last dot is one), or the name as
// it is for a file of unknown order; names that are no file's everywhere, or that would
// hide the file (a leading dot), are refused.
TEST(DatNames, FileNamesFromTheDat) {
    const struct {
        const char* rom;
        ByteOrder order;
        const char* name;    // empty: refused
        const char* problem; // the end of the refusal
    } cases[] = {
        {"Game (USA).z64", ByteOrder::BigEndian, "Game (USA).z64", ""},
        {"Game (USA).z64", ByteOrder::DoctorV64, "Game (USA).v64", ""},
        {"Game v1.1 (USA)", ByteOrder::LittleEndian, "Game v1.1 (USA).n64", ""}, // "1 (USA)" is no extension
        {"Game.longer", ByteOrder::BigEndian, "Game.longer.z64", ""},             // nor are six letters
        {"Game.rom1", ByteOrder::BigEndian, "Game.z64", ""},                      // four are one
        {"Trailing.", ByteOrder::BigEndian, "Trailing..z64", ""},
        {".z64", ByteOrder::DoctorV64, "", "it begins with a dot, which hides the file"}, // would be .z64.v64
        {"...v64", ByteOrder::DoctorV64, "", "it begins with a dot, which hides the file"}, // dots and an extension
        {".hidden", ByteOrder::None, "", "it begins with a dot, which hides the file"},   // kept as it is: still hidden
        {"..", ByteOrder::None, "", "it is no file name"},
        {"Game.bin", ByteOrder::None, "Game.bin", ""},
        {"COMA.z64", ByteOrder::BigEndian, "COMA.z64", ""},
        {"COM1.z64", ByteOrder::BigEndian, "", "Windows keeps it for a device"},
        {"lpt9.bin", ByteOrder::LittleEndian, "", "Windows keeps it for a device"},
        {"nul", ByteOrder::None, "", "Windows keeps it for a device"},
        {"../up.z64", ByteOrder::BigEndian, "", "it holds '/'"},
        {"Del\x7F.z64", ByteOrder::BigEndian, "", "it holds a control character"},
        {"Trailing ", ByteOrder::None, "", "it ends with a space or a dot"},
    };
    for (const auto& c : cases) {
        DatRom rom;
        rom.name = c.rom;
        std::string problem;
        EXPECT_EQ(datFileName(rom, c.order, problem), c.name) << c.rom;
        if (*c.name) EXPECT_EQ(problem, "") << c.rom;
        else EXPECT_EQ(problem.substr(problem.size() - std::strlen(c.problem)), c.problem) << problem;
    }
    // The refusal names the DAT's entry, and the name it would give when that differs.
    DatRom dotted;
    dotted.name = ".z64";
    std::string problem;
    datFileName(dotted, ByteOrder::DoctorV64, problem);
    EXPECT_EQ(problem, "the DAT's name \".z64\" would give \".z64.v64\", which cannot be a file name: it begins "
                       "with a dot, which hides the file");
}

// Values: digests of any letter case, a CRC without its leading zeros, statuses in either
// format's word, empty values as not given; a value that is no digest refuses the DAT at
// its line.
TEST(DatFields, ValuesAndFaults) {
    const Dat dat = parsed(clrMameProDat("X", {{"A", "a.z64", "8", "2C3B2A", "", "", "baddump", ""},
                                               {"B", "b.z64", "", "", "", "", "", ""},
                                               {"C", "c.z64", "100000000000000", "", "", "", "", ""}}));
    ASSERT_EQ(dat.roms().size(), 3u);
    EXPECT_EQ(dat.roms()[0].crc32, 0x002C3B2Au);
    EXPECT_EQ(dat.roms()[0].status, DatStatus::BadDump);
    EXPECT_FALSE(dat.roms()[1].hasCrc32);
    EXPECT_EQ(dat.roms()[1].size, -1);
    EXPECT_EQ(matchDigestOf(dat.roms()[1]), DatDigest::None);
    EXPECT_EQ(dat.roms()[2].size, 100000000000000); // 15 digits, the most taken

    const struct {
        SampleRom rom;
        const char* reason;
    } faults[] = {
        {{"A", "a.z64", "8", "12345678Z", "", "", "", ""}, "crc \"12345678Z\" is not 8 hexadecimal digits"},
        {{"A", "a.z64", "8", "123456789", "", "", "", ""}, "crc \"123456789\" is not 8"},  // too long, though hex
        {{"A", "a.z64", "8", "1234567G", "", "", "", ""}, "crc \"1234567G\" is not 8"},    // short enough, not hex
        {{"A", "a.z64", "1000000000000000", "", "", "", "", ""}, "size \"1000000000000000\" is not"}, // 16 digits
        {{"A", "a.z64", "8", "", "ABC", "", "", ""}, "md5 \"ABC\" is not 32 hexadecimal digits"},
        {{"A", "a.z64", "8", "", "", std::string(40, 'G'), "", ""}, "is not 40 hexadecimal digits"},
        {{"A", "a.z64", "8 MiB", "", "", "", "", ""}, "size \"8 MiB\" is not a number of bytes"},
    };
    for (const auto& f : faults) {
        const std::string xml = refusal(logiqxDat("X", {f.rom}));
        EXPECT_EQ(xml.rfind("line 11", 0), 0u) << xml; // the rom element's line
        EXPECT_NE(xml.find(f.reason), std::string::npos) << xml;
        if (f.rom.size.find(' ') != std::string::npos) continue; // a word cannot hold the space
        const std::string text = refusal(clrMameProDat("X", {f.rom}));
        EXPECT_EQ(text.rfind("line 10, column ", 0), 0u) << text;
        EXPECT_NE(text.find(f.reason), std::string::npos) << text;
    }
}

// The DOCTYPE line every Logiqx DAT carries, a byte order mark, and a DTD inside the DAT
// that declares only elements are all read.
TEST(DatFormatsInTheField, PrologueVariants) {
    const std::string plain = logiqxDat("X", {{"A", "a.z64", "4", "00000000", "", "", "", ""}});
    EXPECT_EQ(parsed("\xEF\xBB\xBF" + plain).roms().size(), 1u);
    const Dat marked = parsed("\xEF\xBB\xBF" + clrMameProDat("X", fillerRoms(1)));
    EXPECT_EQ(marked.roms().size(), 1u);
    EXPECT_EQ(marked.name(), "X"); // the mark is not taken for part of the header's word
    const std::string body = plain.substr(plain.find("<datafile>"));
    EXPECT_EQ(parsed("<?xml version=\"1.0\"?>\n" + body).roms().size(), 1u); // no DOCTYPE at all

    // The same DAT in UTF-16, little- and big-endian, each behind its byte order mark.
    const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n" + body;
    for (bool little : {true, false}) {
        std::string utf16 = little ? "\xFF\xFE" : "\xFE\xFF";
        for (char c : utf8) utf16 += little ? std::string{c, '\0'} : std::string{'\0', c};
        const Dat wide = parsed(utf16);
        ASSERT_EQ(wide.roms().size(), 1u) << little;
        EXPECT_EQ(wide.roms()[0].name, "a.z64");
    }
}

// Damaged and hostile DATs: refused with the reason, and the place where one is known.
TEST(HostileDats, RefusedWithWhereTheyBroke) {
    const std::string xml = logiqxDat(kBigDatName, fillerRoms(3));
    const std::string text = clrMameProDat(kBigDatName, fillerRoms(3));
    const std::string bomb =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile [\n<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">\n"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">\n<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">\n"
        "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">\n<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">\n]>\n"
        "<datafile><game name=\"&i;\"><rom name=\"&i;.z64\" size=\"4\" crc=\"0\"/></game></datafile>\n";
    const struct {
        const char* what;
        std::string dat;
        const char* reason; // how the reason starts
    } cases[] = {
        {"empty", "", "the file is empty"},
        {"only blanks", " \r\n\t", "the file is empty"},
        {"a ROM", std::string("\x80\x37\x12\x40\0\0\0\x0F", 8), "not a DAT: neither Logiqx XML nor clrmamepro text"},
        {"prose", "These are my ROMs.\n", "not a DAT"},
        {"a word and parentheses", "notes ( about \"my ROMs\" )\n", "not a clrmamepro DAT: it holds no header and no ROM"},
        {"XML cut short", xml.substr(0, xml.size() / 2), "line "},
        {"XML of another kind", "<?xml version=\"1.0\"?>\n<svg><rect/></svg>\n", "line 2"},
        {"XML broken on its first line", "<datafile><game></datafile>\n", "line 1, column "}, // line 1 is a place too
        {"an entity bomb", bomb, "line "},
        {"text cut short", text.substr(0, text.size() / 2), "line "},
        {"a string left open", "clrmamepro ( name \"never closed )\n", "line 1, column 19: a quoted string is not closed"},
        {"a parenthesis too many", text + ")\n", "line "},
        {"a word for a block", "clrmamepro ( name X ) game name\n", "line 1, column 28: \"(\" was expected after \"game\""},
        {"a key without a value", "game ( name )\n", "line 1, column 13: the key \"name\" has no value"},
    };
    for (const auto& c : cases) {
        const std::string reason = refusal(c.dat);
        EXPECT_EQ(reason.rfind(c.reason, 0), 0u) << c.what << ": " << reason;
    }
    EXPECT_NE(refusal("<svg/>").find("not a Logiqx DAT: the document is <svg>"), std::string::npos);
    EXPECT_NE(refusal(text.substr(0, text.size() / 2)).find("a closing parenthesis is missing"), std::string::npos);
    EXPECT_NE(refusal(text + ")\n").find("a block name was expected, not \")\""), std::string::npos);
}

// Nesting far deeper than any DAT's stops at the reader's limit, on a small stack.
TEST(HostileDats, DeepNestingRefused) {
    std::string xml = "<datafile>", text = "game ( ";
    for (int i = 0; i < 100000; ++i) xml += "<a>", text += "x ( ";
    EXPECT_EQ(refusal(xml).rfind("line 1", 0), 0u);
    EXPECT_NE(refusal(text).find("blocks are nested too deep"), std::string::npos);

    // Sixteen blocks deep is taken, seventeen is not: the game and 15 or 16 blocks in it.
    const auto nested = [](int inner) {
        std::string dat = "clrmamepro ( name \"N\" ) game ( name \"A\" ";
        for (int i = 0; i < inner; ++i) dat += "x ( ";
        for (int i = 0; i <= inner; ++i) dat += ") ";
        return dat;
    };
    EXPECT_EQ(refusal(nested(15)), "");
    EXPECT_NE(refusal(nested(16)).find("blocks are nested too deep"), std::string::npos);
}

// Entities that point outside the DAT are never followed: neither one the DAT declares nor
// one a DTD it names would declare. The DTD file says what it would have declared.
TEST(HostileDats, NothingBeyondTheFileIsRead) {
    ScratchFolder folder;
    writeText(folder.path("secret.txt"), "SECRET");
    writeText(folder.path("evil.dtd"), "<!ENTITY e \"SECRET\">\n");
    const std::string secretUrl = "file:///" + folder.path("secret.txt");
    const std::string dtdUrl = "file:///" + folder.path("evil.dtd");
    const std::string dats[] = {
        "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile [\n<!ENTITY x SYSTEM \"" + secretUrl + "\">\n]>\n"
        "<datafile><game name=\"A\"><rom name=\"&x;.z64\" size=\"4\" crc=\"0\"/></game></datafile>\n",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile [\n<!ENTITY x SYSTEM \"" + secretUrl + "\">\n]>\n"
        "<datafile><header><name>&x;</name></header></datafile>\n",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile SYSTEM \"" + dtdUrl + "\">\n"
        "<datafile><game name=\"A\"><rom name=\"&e;.z64\" size=\"4\" crc=\"0\"/></game></datafile>\n",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile [\n<!ENTITY % q \"unused\">\n]>\n" // a parameter entity alone
        "<datafile><game name=\"A\"><rom name=\"a.z64\" size=\"4\" crc=\"0\"/></game></datafile>\n",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile [\n<!ENTITY % p SYSTEM \"" + dtdUrl + "\">\n%p;\n]>\n"
        "<datafile><game name=\"&e;\"><rom name=\"a.z64\" size=\"4\" crc=\"0\"/></game></datafile>\n",
    };
    for (const std::string& text : dats) {
        Dat dat;
        std::string reason;
        const bool read = dat.parse(reinterpret_cast<const unsigned char*>(text.data()), text.size(), reason);
        EXPECT_FALSE(read) << text;
        EXPECT_EQ(reason.find("SECRET"), std::string::npos) << reason;
        for (const DatRom& rom : dat.roms()) EXPECT_EQ(rom.name.find("SECRET"), std::string::npos);
    }
}

// 100,000 entries in either format are read whole, and the last one is found.
TEST(HostileDats, HundredThousandEntries) {
    const std::vector<SampleRom> roms = fillerRoms(100000);
    for (bool xml : {true, false}) {
        const Dat dat = parsed(datText(xml, kBigDatName, roms));
        ASSERT_EQ(dat.roms().size(), 100000u) << xml;
        OrderedDigests digests;
        digests.computed[0].sha1 = true;
        ImageDigests& last = digests.values[0]; // the last filler's SHA-1: 99999 = 0x01869F
        last.sha1[17] = 0x01, last.sha1[18] = 0x86, last.sha1[19] = 0x9F;
        const DatMatch match = dat.find(digests, ByteOrder::BigEndian, 0);
        ASSERT_NE(match.rom, nullptr);
        EXPECT_EQ(match.rom->game, "Filler 99999 (World)");
    }
}

// Reading from a file: through the core's operations, a folder refused, the size limited.
TEST(DatFiles, LoadFromTheDisk) {
    ScratchFolder folder;
    writeText(folder.path("n64.dat"), logiqxDat(kBigDatName, sampleRoms(kRealBig, ".z64")));
    Dat dat;
    std::string reason;
    ASSERT_TRUE(dat.load(folder.path("n64.dat"), reason)) << reason;
    EXPECT_EQ(dat.roms().size(), 301u);

    EXPECT_FALSE(dat.load(folder.root().u8string(), reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(dat.load(folder.path("missing.dat"), reason));
    EXPECT_FALSE(reason.empty());

    writeText(folder.path("empty.dat"), "");
    EXPECT_FALSE(dat.load(folder.path("empty.dat"), reason));
    EXPECT_EQ(reason, "the file is empty");

    const std::string huge = folder.path("huge.dat");
    writeText(huge, "<datafile>");
    std::filesystem::resize_file(std::filesystem::u8path(huge), kLargestDat + 1); // sparse: costs no room
    EXPECT_FALSE(dat.load(huge, reason));
    EXPECT_EQ(reason, "larger than 512 MiB, more than any DAT holds");
}

} // namespace
