// ROMs inside archives, for the commands that only read: each ROM entry is told as
// ARCHIVE/ENTRY with exactly what its unpacked file gives, folder walks take archives, and a
// damaged archive or a hostile entry fails naming both.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "archive/tests/archive_samples.h"
#include "archive/tests/archive_support.h"
#include "cli_runner.h"
#include "identity_samples.h"

namespace fs = std::filesystem;

namespace {

using Json = nlohmann::json;

// A 1 MiB big-endian ROM with a header, of bytes that deflate only a little.
Bytes sampleRom() {
    Bytes image(1 << 20);
    std::uint32_t state = 12345;
    for (unsigned char& b : image) b = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 24);
    stampHeader(image, 0x01234567, 0x89ABCDEF, "ARCHIVED GAME");
    return image;
}


// The JSON document of a run, with the names taken out: what is left is what was found.
Json foundIn(const CliRun& run) {
    Json document = Json::parse(run.out);
    for (Json& object : document)
        for (const char* key : {"file", "archive", "entry"}) object.erase(key);
    return document;
}

const Bytes kReadme{'r', 'e', 'a', 'd', ' ', 'm', 'e', '\n'};

struct Kind {
    const char* name;
    ArchiveFormat format;
    ArchiveBackend backend;
    bool stored;
};

} // namespace

// info and check of a ROM inside each kind of archive give, field for field, what they give
// for the same ROM unpacked; only the names differ, and they say where the ROM is.
TEST(ArchiveEntries, ToldAsTheUnpackedRom) {
    const Kind kinds[] = {
        {"deflate.zip", ArchiveFormat::Zip, ArchiveBackend::Zlib, false},
        {"stored.zip", ArchiveFormat::Zip, ArchiveBackend::Zlib, true},
        {"game.gz", ArchiveFormat::Gzip, ArchiveBackend::Zlib, false},
        {"game.7z", ArchiveFormat::SevenZip, ArchiveBackend::Libarchive, false},
    };
    ScratchFolder folder;
    writeFile(folder.path("Game.z64"), sampleRom());
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        if (!archiveBackendAvailable(kind.backend)) continue; // 7z needs libarchive
        std::vector<std::pair<std::string, Bytes>> entries = {{"Game.z64", sampleRom()}};
        if (kind.format != ArchiveFormat::Gzip) entries.insert(entries.begin(), {"readme.txt", kReadme});
        writeFile(folder.path(kind.name), archiveOf(kind.format, kind.backend, kind.stored, entries));
        for (const char* command : {"info", "check"}) {
            const CliRun packed = runCli({command, "--json", kind.name}, folder.root().u8string());
            const CliRun plain = runCli({command, "--json", "Game.z64"}, folder.root().u8string());
            EXPECT_EQ(packed.status, plain.status) << packed.err; // check: not verified, an unknown chip
            ASSERT_EQ(foundIn(packed), foundIn(plain)) << packed.out;
            const Json object = Json::parse(packed.out)[0];
            EXPECT_EQ(object["file"], std::string(kind.name) + "/Game.z64");
            EXPECT_EQ(object["archive"], kind.name);
            EXPECT_EQ(object["entry"], "Game.z64");
        }
        // The readme is no ROM: named, the archive says it skipped it; nothing fails.
        const CliRun detect = runCli({"detect", kind.name}, folder.root().u8string());
        EXPECT_EQ(detect.status, 0);
        EXPECT_EQ(detect.out, kind.format == ArchiveFormat::Gzip
                                  ? std::string(kind.name) + "/Game.z64: big\n"
                                  : std::string(kind.name) + "/readme.txt: skipped: not a ROM\n" + kind.name +
                                        "/Game.z64: big\n");
    }
}

// -r: detect and convert look into the archives of a folder, skipping quietly what holds no
// ROM; fix and convert write the archives holding one anew.
TEST(ArchiveEntries, WalksTakeArchivesWhereTheyAreRead) {
    ScratchFolder folder;
    Bytes game = archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false,
                           {{"Game.z64", sampleRom()}, {"readme.txt", kReadme}});
    const Bytes docs = archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false, {{"readme.txt", kReadme}});
    fs::create_directories(folder.root() / "set");
    writeFile(folder.path("set/game.zip"), game);
    writeFile(folder.path("set/docs.zip"), docs);

    const CliRun detect = runCli({"detect", "-r", "set"}, folder.root().u8string());
    EXPECT_EQ(detect.status, 0) << detect.err;
    EXPECT_EQ(detect.out, "set/game.zip/Game.z64: big\n1 recognised, 1 not ROMs\n"); // docs.zip: not a ROM
    EXPECT_EQ(detect.err, "");

    // Named, an archive without a ROM fails check as any file that is no ROM, its readme unsaid.
    const CliRun check = runCli({"check", "set/docs.zip"}, folder.root().u8string());
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, "");
    EXPECT_EQ(check.err, "dornavel-cli: set/docs.zip: a zip archive, not a ROM\n");

    // fix looks into the archives of its walks too; this ROM's boot code is no known chip's,
    // so nothing is written.
    const CliRun fix = runCli({"fix", "-r", "set"}, folder.root().u8string());
    EXPECT_EQ(fix.status, 1);
    EXPECT_EQ(fix.out, "1 skipped (not ROMs), 1 failed\n"); // docs.zip, and the unknown chip
    EXPECT_NE(fix.err.find("set/game.zip/Game.z64: not fixed"), std::string::npos) << fix.err;
    EXPECT_EQ(readFile(folder.path("set/game.zip")), game);

    // With the chip named, fix writes the zip anew with the codes it computes; --json names
    // the archive and the entry.
    const CliRun fixed = runCli({"fix", "--cic", "6102", "--json", "set/game.zip"}, folder.root().u8string());
    EXPECT_EQ(fixed.status, 0) << fixed.err;
    const Json told = Json::parse(fixed.out);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0]["archive"], "set/game.zip");
    EXPECT_EQ(told[0]["entry"], "Game.z64");
    EXPECT_EQ(told[0]["outcome"], "fixed");
    EXPECT_EQ(told[0]["header_crc"], "01234567 89ABCDEF"); // the codes the sample was stamped with
    EXPECT_EQ(runCli({"fix", "--cic", "6102", "set/game.zip"}, folder.root().u8string()).out,
              "set/game.zip/Game.z64: check codes " + told[0]["computed"].get<std::string>() +
                  " already right, left untouched\n");
    game = readFile(folder.path("set/game.zip"));

    // convert writes the zip holding a ROM anew; the one without is left as it was.
    const CliRun convert = runCli({"convert", "--to", "v64", "-r", "set"}, folder.root().u8string());
    EXPECT_EQ(convert.status, 0) << convert.err;
    EXPECT_EQ(convert.out, "set/game.zip/Game.z64: big -> v64\n1 converted, 1 skipped (not ROMs)\n");
    EXPECT_EQ(readFile(folder.path("set/docs.zip")), docs);
    EXPECT_EQ(runCli({"detect", "set/game.zip"}, folder.root().u8string()).out,
              "set/game.zip/Game.z64: v64\nset/game.zip/readme.txt: skipped: not a ROM\n"); // the entries' order kept
}

// --torrentzip reaches the archives convert and fix write: each ends with the comment of
// TorrentZip's form. A damaged zip is not fixed.
TEST(ArchiveEntries, TorrentZipAskedOfEachWriter) {
    ScratchFolder folder;
    const Bytes game = archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false, {{"Game.z64", sampleRom()}});
    const std::vector<std::vector<std::string>> calls = {{"convert", "--to", "v64", "--torrentzip", "game.zip"},
                                                         {"fix", "--cic", "6102", "--torrentzip", "game.zip"}};
    for (const auto& call : calls) {
        writeFile(folder.path("game.zip"), game);
        const CliRun run = runCli(call, folder.root().u8string());
        EXPECT_EQ(run.status, 0) << call[0] << ": " << run.err;
        const Bytes written = readFile(folder.path("game.zip"));
        ASSERT_GT(written.size(), 22u);
        EXPECT_EQ(std::string(written.end() - 22, written.end() - 8), "TORRENTZIPPED-") << call[0];
    }
    // A zip whose ROM entry cannot be read whole: fix says so, naming it, and writes nothing.
    Bytes damaged = game;
    damaged[offsetOf(damaged, "Game.z64") + 8 + 100] ^= 0x01; // the deflated data no longer as stated
    writeFile(folder.path("damaged.zip"), damaged);
    const CliRun fix = runCli({"fix", "--cic", "6102", "damaged.zip"}, folder.root().u8string());
    EXPECT_EQ(fix.status, 1);
    EXPECT_EQ(fix.err.rfind("dornavel-cli: damaged.zip: cannot read the archive: its entry Game.z64: ", 0), 0u) << fix.err;
    EXPECT_NE(fix.err.find("; the archive was not changed\n"), std::string::npos) << fix.err;
    EXPECT_EQ(readFile(folder.path("damaged.zip")), damaged);
}

// A damaged archive, an encrypted entry and names no file should have: each fails the call
// with the archive and the entry named, the other entries still read.
TEST(ArchiveEntries, BadArchivesFailNamingTheEntry) {
    Bytes lying = archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, true, {{"Game.z64", sampleRom()}});
    lying[offsetOf(lying, "ARCHIVED GAME")] ^= 0x01; // stored bytes no longer match the CRC-32
    const Bytes cut(lying.begin(), lying.begin() + 100);
    const Bytes named = archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false,
                                  {{"../Game.z64", sampleRom()}, {"Other.z64", sampleRom()}});
    const struct {
        const char* command; // detect reads only an entry's start: its end is checked by check
        const char* name;
        Bytes bytes;
        const char* message; // the start of the one line on standard error
    } cases[] = {
        {"check", "lying.zip", lying, "dornavel-cli: lying.zip/Game.z64: cannot read: "},
        {"detect", "cut.zip", cut, "dornavel-cli: cut.zip: cannot read the archive: "},
        {"detect", "enc.zip", sample(kEncryptedZip), "dornavel-cli: enc.zip/readme.txt: cannot read: it is encrypted"},
        {"detect", "named.zip", named, "dornavel-cli: named.zip/../Game.z64: its name climbs out"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        writeFile(folder.path(c.name), c.bytes);
        const CliRun run = runCli({c.command, c.name}, folder.root().u8string());
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
        EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err; // told once, not also as no ROM
        EXPECT_EQ(sortedNames(folder), std::vector<std::string>{c.name}); // nothing unpacked
    }
}

// patch takes the ROM and the patch from archives (a hack as downloaded: the patch with a
// readme); its new file is a plain ROM named as for unpacked files. Of two patches in one
// archive, neither is guessed.
TEST(ArchiveEntries, PatchReadsTheRomAndThePatchFromArchives) {
    ScratchFolder folder;
    const Bytes ips{'P', 'A', 'T', 'C', 'H', 0x00, 0x20, 0x00, 0x00, 0x03, 'A', 'B', 'C', 'E', 'O', 'F'};
    Bytes patched = sampleRom();
    std::copy_n("ABC", 3, patched.begin() + 0x2000); // three bytes at 0x2000, as the record says
    writeFile(folder.path("game.zip"), archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false,
                                                 {{"readme.txt", kReadme}, {"Game.z64", sampleRom()}}));
    writeFile(folder.path("hack.zip"), archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false,
                                                 {{"readme.txt", kReadme}, {"hack.ips", ips}}));
    writeFile(folder.path("two.zip"), archiveOf(ArchiveFormat::Zip, ArchiveBackend::Zlib, false,
                                                {{"v1.ips", ips}, {"v2.ips", ips}}));

    const CliRun run = runCli({"patch", "game.zip", "hack.zip"}, folder.root().u8string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("game.zip/Game.z64 + hack.zip/hack.ips -> hack.z64 (", 0), 0u) << run.out;
    EXPECT_EQ(readFile(folder.path("hack.z64")), patched);

    const CliRun two = runCli({"patch", "game.zip", "two.zip", "-o", "x.z64"}, folder.root().u8string());
    EXPECT_EQ(two.status, 1);
    EXPECT_EQ(two.err, "dornavel-cli: two.zip: cannot read: 2 patches are in the archive; unpack the one meant\n");
    EXPECT_FALSE(fileExists(folder.path("x.z64")));
}
