// check, info and rename with a DAT: the verdict beside each check, the entry in info's
// block and JSON, the DAT from DORNAVEL_DAT, and renames that never replace a file.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "archive/tests/archive_support.h"
#include "cli_runner.h"
#include "identity/tests/dat_samples.h"
#include "identity_samples.h"
#include "rom_images.h"

using nlohmann::json;

namespace {

const char* const kOk = "ok (CIC 6102/7101, image padded with zeros to 1052672 bytes)";
const std::string kInDat = std::string("in the DAT as \"") + kRealGame + "\" (verified)";

// A folder holding the real ROM in each order, as a.z64, b.n64 and c.v64.
struct RealRomFolder {
    ScratchFolder folder;
    std::string dir = folder.root().u8string();
    bool ready = false;

    RealRomFolder() {
        const Bytes big = realRomIn(ByteOrder::BigEndian);
        if (big.empty()) return;
        writeFile(folder.path("a.z64"), big);
        writeFile(folder.path("b.n64"), realRomIn(ByteOrder::LittleEndian));
        writeFile(folder.path("c.v64"), realRomIn(ByteOrder::DoctorV64));
        ready = true;
    }
};

class CheckWithDat : public testing::TestWithParam<DatKind> {};

// In either format and either order of the DAT, each order of the file is found, as the same
// good dump, and the call succeeds.
TEST_P(CheckWithDat, FindsTheRealRomInEveryOrder) {
    RealRomFolder roms;
    SKIP_WITHOUT_REAL_ROM(realRom());
    const DatKind c = GetParam();
    const std::vector<SampleRom> entries = sampleRoms(*c.real, c.extension);
    writeText(roms.folder.path("n64.dat"), datText(c.xml, c.header, entries));
    const CliRun run = runCli({"check", "--dat", "n64.dat", "a.z64", "b.n64", "c.v64"}, roms.dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "a.z64: " + std::string(kOk) + "; " + kInDat + "\nb.n64: " + kOk + "; " + kInDat +
                           "\nc.v64: " + kOk + "; " + kInDat + "\n3 ok\n"); // the summary after several files
}

INSTANTIATE_TEST_SUITE_P(BothFormatsBothOrders, CheckWithDat, testing::ValuesIn(kDatKinds),
                         [](const testing::TestParamInfo<DatKind>& info) { return datKindName(info.param); });

// A bad dump, a file the DAT does not list and a file whose codes fail each fail the call;
// the DAT's verdict follows the check's whatever that is.
TEST(CheckWithDat, BadDumpsAndStrangersFail) {
    RealRomFolder roms;
    SKIP_WITHOUT_REAL_ROM(realRom());
    std::vector<SampleRom> entries = sampleRoms(kRealBig, ".z64");
    entries.insert(entries.begin(), badDumpEntry()); // the little-endian image, found first
    writeText(roms.folder.path("n64.dat"), logiqxDat(kBigDatName, entries));
    Bytes changed = realRomIn(ByteOrder::BigEndian);
    changed[0x80000] ^= 0x01;
    writeFile(roms.folder.path("changed.z64"), changed);

    const CliRun run = runCli({"check", "--dat", "n64.dat", "b.n64", "changed.z64"}, roms.dir);
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out; // the two files, then the summary
    EXPECT_EQ(lines[2], "1 mismatch, 1 not good in the DAT"); // a bad dump is not counted as ok
    EXPECT_EQ(lines[0], "b.n64: " + std::string(kOk) + "; in the DAT as \"" + kBadGame + "\", a bad dump");
    EXPECT_EQ(lines[1].rfind("changed.z64: mismatch: header DDBA4DE5 B107004A, computed ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find("; not in the DAT"), std::string::npos) << lines[1];

    // Codes that hold do not make up for a file the DAT does not list.
    writeText(roms.folder.path("other.dat"), clrMameProDat(kBigDatName, fillerRoms(5)));
    const CliRun stranger = runCli({"check", "--dat", "other.dat", "a.z64"}, roms.dir);
    EXPECT_EQ(stranger.status, 1);
    EXPECT_EQ(stranger.out, "a.z64: " + std::string(kOk) + "; not in the DAT\n");
}

// DORNAVEL_DAT names the DAT when --dat does not; --dat wins; a DAT that cannot be read
// fails the call at once, named with where it broke, and no file is reported.
TEST(CheckWithDat, DatFromTheEnvironmentAndBrokenDats) {
    RealRomFolder roms;
    SKIP_WITHOUT_REAL_ROM(realRom());
    writeText(roms.folder.path("good.dat"), logiqxDat(kBigDatName, sampleRoms(kRealBig, ".z64")));
    writeText(roms.folder.path("cut.dat"), "clrmamepro (\n\tname \"Cut\"\n");
    const ScopedEnvironment environment("DORNAVEL_DAT", roms.folder.path("good.dat"));

    const CliRun fromEnvironment = runCli({"check", "-r", "."}, roms.dir);
    EXPECT_EQ(fromEnvironment.status, 0) << fromEnvironment.err;
    // the folder's three ROMs, then the summary (the DATs in the folder are no ROMs)
    EXPECT_EQ(linesOf(fromEnvironment.out).size(), 4u) << fromEnvironment.out;
    EXPECT_EQ(linesOf(fromEnvironment.out)[3], "3 ok, 2 not ROMs");
    EXPECT_NE(fromEnvironment.out.find("./c.v64: " + std::string(kOk) + "; " + kInDat), std::string::npos)
        << fromEnvironment.out;

    const CliRun info = runCli({"info", "a.z64"}, roms.dir);
    EXPECT_NE(info.out.find("  DAT entry    " + std::string(kRealGame) + "\n"), std::string::npos) << info.out;

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"check", "--dat", "cut.dat", "a.z64"},
          std::vector<std::string>{"info", "--dat", "cut.dat", "a.z64"}}) {
        const CliRun broken = runCli(args, roms.dir);
        EXPECT_EQ(broken.status, 1);
        EXPECT_EQ(broken.out, "");
        EXPECT_EQ(broken.err, "dornavel-cli: cut.dat: cannot read the DAT: line 3, column 1: the DAT ends inside "
                              "the block opened at line 1 (a closing parenthesis is missing)\n");
    }
}

// info's block and JSON show the entry, the digest that matched and the image it is of;
// a file not listed says so, and without a DAT the JSON key is null.
TEST(InfoWithDat, EntryInTextAndJson) {
    RealRomFolder roms;
    SKIP_WITHOUT_REAL_ROM(realRom());
    writeText(roms.folder.path("swapped.dat"),
              clrMameProDat(kSwappedDatName, sampleRoms(kRealV64, ".v64")));
    const CliRun text = runCli({"info", "--dat", "swapped.dat", "a.z64"}, roms.dir);
    EXPECT_EQ(text.status, 0) << text.err;
    const std::string block = text.out.substr(text.out.find("  DAT "));
    EXPECT_EQ(block, "  DAT          Nintendo - Nintendo 64 (ByteSwapped)\n"
                     "  DAT entry    " + std::string(kRealGame) + "\n"
                     "  DAT ROM      " + kRealGame + ".v64\n"
                     "  DAT status   verified\n"
                     "  DAT serial   NDEM\n"
                     "  DAT match    SHA-1 of the v64 image " + kRealV64.sha1 + "\n");

    const CliRun run = runCli({"info", "--json", "--dat", "swapped.dat", "a.z64"}, roms.dir);
    const json entry = json::parse(run.out)[0]["dat"];
    EXPECT_EQ(entry["file"], "swapped.dat");
    EXPECT_EQ(entry["name"], "Nintendo - Nintendo 64 (ByteSwapped)");
    EXPECT_EQ(entry["entry"]["game"], kRealGame);
    EXPECT_EQ(entry["entry"]["size"], 1048576);
    EXPECT_EQ(entry["entry"]["status"], "verified");
    EXPECT_EQ(entry["entry"]["match"], "sha1");
    EXPECT_EQ(entry["entry"]["digests_of"], "v64_image");
    EXPECT_EQ(entry["entry"]["digest"], kRealV64.sha1);

    writeText(roms.folder.path("filler.dat"), logiqxDat("Filler", fillerRoms(3)));
    const CliRun stranger = runCli({"info", "--dat", "filler.dat", "a.z64"}, roms.dir);
    EXPECT_NE(stranger.out.find("  DAT          not listed in Filler\n"), std::string::npos) << stranger.out;
    const CliRun strangerJson = runCli({"info", "--json", "--dat", "filler.dat", "a.z64"}, roms.dir);
    EXPECT_TRUE(json::parse(strangerJson.out)[0]["dat"]["entry"].is_null());
    const CliRun none = runCli({"info", "--json", "a.z64"}, roms.dir);
    EXPECT_TRUE(json::parse(none.out)[0]["dat"].is_null());
}

// A DAT's names reach the terminal with their control characters shown, never obeyed.
TEST(CheckWithDat, ControlCharactersOfTheDatShown) {
    RealRomFolder roms;
    SKIP_WITHOUT_REAL_ROM(realRom());
    writeText(roms.folder.path("odd.dat"),
              clrMameProDat(kBigDatName, {realRomEntry("Demo\x1B[2J\rX", "demo.z64", kRealBig, "")}));
    const CliRun run = runCli({"check", "--dat", "odd.dat", "a.z64"}, roms.dir);
    EXPECT_EQ(run.out, "a.z64: " + std::string(kOk) + "; in the DAT as \"Demo\\x1B[2J\\rX\"\n");
}

// Each file listed gets the DAT's name with its own order's extension; files not listed and
// names already taken are reported and kept; no file is ever replaced.
TEST(RenameWithDat, NamesAsTheDatWithoutReplacing) {
    RealRomFolder roms;
    SKIP_WITHOUT_REAL_ROM(realRom());
    writeText(roms.folder.path("n64.dat"), logiqxDat(kBigDatName, sampleRoms(kRealBig, ".z64")));
    const std::string title = kRealGame;
    writeText(roms.folder.path(title + ".n64"), "someone else's file"); // blocks b.n64's new name
    writeText(roms.folder.path("notes.txt"), "not a ROM");

    const std::vector<std::string> call{"rename", "--dat", "n64.dat", "a.z64", "b.n64", "c.v64", "notes.txt"};
    std::vector<std::string> dryRun = call;
    dryRun.push_back("--dry-run");
    const CliRun planned = runCli(dryRun, roms.dir);
    EXPECT_EQ(planned.status, 1);
    EXPECT_EQ(planned.out, "a.z64: rename to " + title + ".z64\nc.v64: rename to " + title +
                               ".v64\n2 to rename, 1 not in the DAT, 1 failed\n");
    EXPECT_EQ(planned.err, "dornavel-cli: b.n64: cannot rename to " + title +
                               ".n64: File exists\ndornavel-cli: notes.txt: not in the DAT, name kept\n");
    EXPECT_TRUE(fileExists(roms.folder.path("a.z64"))); // nothing renamed

    std::vector<std::string> quiet = call;
    quiet.push_back("-q"); // only the failures and the summary
    const CliRun run = runCli(quiet, roms.dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "2 renamed, 1 not in the DAT, 1 failed\n");
    EXPECT_EQ(run.err, planned.err);
    EXPECT_EQ(readFile(roms.folder.path(title + ".z64")), realRomIn(ByteOrder::BigEndian));
    EXPECT_EQ(readFile(roms.folder.path(title + ".v64")), realRomIn(ByteOrder::DoctorV64));
    const std::string kept = "someone else's file";
    EXPECT_EQ(readFile(roms.folder.path(title + ".n64")), Bytes(kept.begin(), kept.end()));
    EXPECT_TRUE(fileExists(roms.folder.path("b.n64")));

    // The JSON names the new name and the game.
    const CliRun json = runCli({"rename", "--json", "-n", "--dat", "n64.dat", title + ".z64"}, roms.dir);
    EXPECT_EQ(json.out, "[\n  {\n    \"file\": \"" + title + ".z64\",\n    \"outcome\": \"already_named\",\n"
                        "    \"new_name\": \"" + title + ".z64\",\n    \"game\": \"" + title + "\"\n  }\n]\n");

    // Named already: said, and a success; a folder walk takes only ROMs.
    const CliRun again = runCli({"rename", "--dat", "n64.dat", title + ".z64", title + ".v64"}, roms.dir);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, title + ".z64: already named as in the DAT\n" + title +
                             ".v64: already named as in the DAT\n2 already so named\n");
}

// Two files a DAT gives one name are both refused in a dry run after the first; a name that
// would leave the folder, that Windows refuses or that would hide the file is never given.
TEST(RenameWithDat, CollisionsAndNamesThatAreNoFileNames) {
    RealRomFolder roms;
    SKIP_WITHOUT_REAL_ROM(realRom());
    writeFile(roms.folder.path("d.z64"), realRomIn(ByteOrder::BigEndian));
    writeText(roms.folder.path("n64.dat"), logiqxDat(kBigDatName, sampleRoms(kRealBig, ".z64")));
    const CliRun twice = runCli({"rename", "--dat", "n64.dat", "-n", "a.z64", "d.z64"}, roms.dir);
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(twice.err, "dornavel-cli: d.z64: cannot rename to " + std::string(kRealGame) +
                             ".z64: another file of this call takes that name\n");

    const struct {
        const char* name;
        const char* why;
    } hostile[] = {
        {"../escaped.z64", "it holds '/'"},
        {"sub\\dir.z64", "it holds '\\\\'"}, // the backslash shown doubled
        {"CON.z64", "Windows keeps it for a device"},
        {"What?.z64", "it holds '?'"},
        {"Bell\x07.z64", "it holds a control character"}, // the name shown as Bell\x07.z64
        {".z64", "it begins with a dot, which hides the file"},    // would give .z64.z64
        {"...z64", "it begins with a dot, which hides the file"},  // only dots before the extension
    };
    for (const auto& h : hostile) {
        writeText(roms.folder.path("hostile.dat"), clrMameProDat(kBigDatName, {realRomEntry("Hostile", h.name, kRealBig)}));
        const CliRun run = runCli({"rename", "--dat", "hostile.dat", "a.z64"}, roms.dir);
        EXPECT_EQ(run.status, 1) << h.name;
        EXPECT_NE(run.err.find(std::string("cannot be a file name: ") + h.why + "; name kept"), std::string::npos)
            << run.err;
        EXPECT_TRUE(fileExists(roms.folder.path("a.z64")));
        EXPECT_FALSE(fileExists(roms.folder.path(".z64.z64")));
        EXPECT_FALSE(fileExists(roms.folder.path("...z64")));
    }

    // After all that, a.z64 takes its name; a file that cannot be read is one error line.
    const CliRun run = runCli({"rename", "--dat", "n64.dat", "a.z64", "missing.z64"}, roms.dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "a.z64: renamed to " + std::string(kRealGame) + ".z64\n1 renamed, 1 failed\n");
    EXPECT_EQ(run.err.rfind("dornavel-cli: missing.z64: cannot read: ", 0), 0u) << run.err;
}

// Inside a zip, the ROM entry takes the DAT's name with its order's extension in a new
// archive of the same name (here in TorrentZip's form), the readme kept; a dry run writes
// nothing.
TEST(RenameWithDat, EntriesOfAnArchiveAreRenamedInside) {
    RealRomFolder roms;
    SKIP_WITHOUT_REAL_ROM(realRom());
    writeText(roms.folder.path("n64.dat"), logiqxDat(kBigDatName, sampleRoms(kRealBig, ".z64")));
    const Bytes old = archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false,
                                {{"readme.txt", Bytes{'h', 'i', '\n'}}, {"a.v64", realRomIn(ByteOrder::DoctorV64)}});
    writeFile(roms.folder.path("game.zip"), old);
    const std::string title = kRealGame;

    const CliRun planned = runCli({"rename", "-n", "--dat", "n64.dat", "game.zip"}, roms.dir);
    EXPECT_EQ(planned.status, 0) << planned.err;
    EXPECT_EQ(planned.out, "game.zip/a.v64: rename to " + title + ".v64\n");
    EXPECT_EQ(readFile(roms.folder.path("game.zip")), old);

    const CliRun run = runCli({"rename", "--torrentzip", "--dat", "n64.dat", "game.zip"}, roms.dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "game.zip/a.v64: renamed to " + title + ".v64\n");
    // In TorrentZip's form: its comment at the end, the entries by name ("M" before "r").
    const Bytes renamed = readFile(roms.folder.path("game.zip"));
    EXPECT_EQ(std::string(renamed.end() - 22, renamed.end() - 8), "TORRENTZIPPED-");
    EXPECT_EQ(runCli({"detect", "game.zip"}, roms.dir).out,
              "game.zip/" + title + ".v64: v64\ngame.zip/readme.txt: skipped: not a ROM\n");
    EXPECT_EQ(runCli({"rename", "--dat", "n64.dat", "game.zip"}, roms.dir).out,
              "game.zip/" + title + ".v64: already named as in the DAT\n");

    // Two copies of the ROM in one archive: the second cannot take the name the first takes.
    writeFile(roms.folder.path("two.zip"), archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false,
                                                     {{"a.v64", realRomIn(ByteOrder::DoctorV64)},
                                                      {"b.v64", realRomIn(ByteOrder::DoctorV64)}}));
    const CliRun two = runCli({"rename", "--dat", "n64.dat", "two.zip"}, roms.dir);
    EXPECT_EQ(two.status, 1);
    EXPECT_EQ(two.out, "two.zip/a.v64: renamed to " + title + ".v64\n1 renamed, 1 failed\n");
    EXPECT_EQ(two.err, "dornavel-cli: two.zip/b.v64: another entry of the archive has or takes that name; name kept\n");
}

// rename without a DAT is a usage error; DORNAVEL_DAT is one.
TEST(RenameWithDat, NeedsADat) {
    ScratchFolder folder;
    const CliRun run = runCli({"rename", "x.z64"}, folder.root().u8string());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("dornavel-cli: no DAT given: give --dat DAT, or name one in DORNAVEL_DAT\n", 0), 0u)
        << run.err;
}

} // namespace

// --missing: after the files, the DAT's games none of them is, in the DAT's order, then the
// counts: a game found in another order than the DAT lists, or as a bad dump, is present.
TEST(CheckWithDat, MissingGamesAndTheCollectionsCounts) {
    RealRomFolder roms;
    SKIP_WITHOUT_REAL_ROM(realRom());
    std::vector<SampleRom> entries = fillerRoms(998); // 1,000 games: counts of four digits grouped, of three not
    entries.push_back(realRomEntry(kRealGame, std::string(kRealGame) + ".z64", kRealBig));
    entries.push_back(badDumpEntry()); // the little-endian image, listed as .n64
    writeText(roms.folder.path("n64.dat"), clrMameProDat(kBigDatName, entries));
    writeFile(roms.folder.path("stranger.z64"), kBigImage);

    // c.v64 is the big-endian entry in another order; b.n64 the bad dump, in its own order.
    const CliRun run = runCli({"check", "--dat", "n64.dat", "--missing", "c.v64", "b.n64", "stranger.z64"}, roms.dir);
    EXPECT_EQ(run.status, 1); // the bad dump and the stranger fail as without --missing
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), 1003u); // three files, their summary, 998 missing, the counts
    EXPECT_EQ(lines[4], "missing: Filler 000 (World)");
    EXPECT_EQ(lines[1001], "missing: Filler 997 (World)");
    EXPECT_EQ(lines[1002], "2 of 1,000 games present (1 in another byte order than the DAT lists, 1 bad dump), "
                           "998 missing, 1 file the DAT does not list");

    // Each missing game is an object of the JSON, with its ROMs; the files stay the files.
    const CliRun json = runCli({"check", "--dat", "n64.dat", "--missing", "--json-lines", "c.v64"}, roms.dir);
    const std::vector<std::string> objects = linesOf(json.out);
    ASSERT_EQ(objects.size(), 1001u); // one file, 999 missing games, the closing object
    EXPECT_EQ(json::parse(objects[999]), json::parse(R"({"game": ")" + std::string(kBadGame) +
                                                   R"(", "outcome": "missing", "roms": [")" + kBadGame + R"(.n64"]})"));
    EXPECT_EQ(json::parse(objects[1000])["files"], 1);

    // Without a DAT there is nothing to miss: a usage error.
    const CliRun none = runCli({"check", "--missing", "c.v64"}, roms.dir);
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, "dornavel-cli: --missing needs a DAT: give --dat DAT, or set DORNAVEL_DAT\n");
}
