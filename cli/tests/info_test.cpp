// The info command: text and JSON, the real ROM, odd files and catalogues.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "cli_runner.h"
#include "identity_samples.h"

using nlohmann::json;

namespace {

// Runs info --json and reads its output back; a document that does not parse fails the test.
json infoJson(const std::vector<std::string>& args, const std::string& dir, int expectedStatus = 0) {
    std::vector<std::string> call{"info", "--json"};
    call.insert(call.end(), args.begin(), args.end());
    const CliRun run = runCli(call, dir);
    EXPECT_EQ(run.status, expectedStatus) << run.err;
    try {
        return json::parse(run.out);
    } catch (const json::exception& error) {
        ADD_FAILURE() << error.what() << "\n" << run.out;
        return json();
    }
}

// A catalogue of the faults real ones have: the real ROM's MD5 in lower case with a space
// in the brackets, a nameless section, an overlong line, a line without '='.
std::string oddCatalogue() {
    return "; test catalogue\n[ dbf04773ec2b8adf8a94db7e3e461138 ]\nGoodName=Demo From An Odd Catalogue\n"
           "CRC=DDBA4DE5 B107004A\n[]\nGoodName=Nameless\n" + std::string(70000, ';') +
           "\nnonsense line\n[00000000000000000000000000000001]\nGoodName=Synthetic (guess)\n"
           "CRC=12345678 9ABCDEF0\n";
}

// Whatever the file's order, JSON gives the same big-endian digests, codes, verdict and name.
TEST(Info, RealRomInEveryOrderAsJson) {
    const Bytes big = realRomIn(ByteOrder::BigEndian);
    SKIP_WITHOUT_REAL_ROM(big);
    ScratchFolder folder;
    writeFile(folder.path("a.z64"), big);
    writeFile(folder.path("b.n64"), realRomIn(ByteOrder::LittleEndian));
    writeFile(folder.path("c.v64"), realRomIn(ByteOrder::DoctorV64));
    writeText(folder.path("odd.ini"), oddCatalogue());

    const json files = infoJson({"--catalog", "odd.ini", "a.z64", "b.n64", "c.v64"}, folder.root().u8string());
    ASSERT_EQ(files.size(), 3u);
    const char* const orders[] = {"big", "little", "v64"};
    for (std::size_t i = 0; i < 3; ++i) {
        const json& file = files[i];
        EXPECT_EQ(file["order"], orders[i]);
        EXPECT_EQ(file["size"], 1048576);
        EXPECT_EQ(file["md5"], kRealMd5);
        EXPECT_EQ(file["sha1"], kRealSha1);
        EXPECT_EQ(file["crc32"], kRealCrc32);
        EXPECT_EQ(file["header"]["crc1"], "DDBA4DE5");
        EXPECT_EQ(file["header"]["crc2"], "B107004A");
        EXPECT_EQ(file["header"]["name"], "Mupen64Plus");
        EXPECT_EQ(file["boot_chip"]["name"], "6102/7101");
        EXPECT_EQ(file["check"]["verdict"], "ok");
        EXPECT_EQ(file["check"]["zero_padded_to"], 1052672);
        EXPECT_EQ(file["catalog"]["match"], "md5");
        EXPECT_EQ(file["catalog"]["good_name"], "Demo From An Odd Catalogue");
    }
}

// The readable block of the real ROM, named by the real Debian catalogue.
TEST(Info, RealRomAsTextWithTheDebianCatalogue) {
    const Bytes v64 = realRomIn(ByteOrder::DoctorV64);
    SKIP_WITHOUT_REAL_ROM(v64);
    if (!fileExists(kDebianCatalog)) GTEST_SKIP() << kDebianCatalog << " is not installed (mupen64plus-data)";
    ScratchFolder folder;
    writeFile(folder.path("demo.v64"), v64);

    const CliRun run = runCli({"info", "--catalog", kDebianCatalog, "demo.v64"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "demo.v64\n"
              "  order        v64\n"
              "  size         1048576 bytes (8 Mbit)\n"
              "  name         Mupen64Plus\n"
              "  game code    none\n"
              "  region       none (00)\n"
              "  revision     0\n"
              "  entry point  800F1800\n"
              "  clock rate   0000000F\n"
              "  libultra     2.0D (00001444)\n"
              "  header CRC   DDBA4DE5 B107004A\n"
              "  boot chip    6102/7101 (boot code CRC32 90BB6CB5)\n"
              "  computed     DDBA4DE5 B107004A (CIC 6102/7101, image padded with zeros to 1052672 bytes)\n"
              "  check        ok\n"
              "  digests      of the big-endian image\n"
              "  CRC32        F114490F\n"
              "  MD5          DBF04773EC2B8ADF8A94DB7E3E461138\n"
              "  SHA-1        42DFD5942C650C473DEC3A415BA185E2597773F4\n"
              "  catalogue    Mupen64Plus Demo by Marshallh (GPL) (by MD5)\n");
}

// A Japanese name: katakana decoded, a Shift-JIS pair escaped, in valid UTF-8 both ways;
// the raw bytes are in the JSON as well. The header code alone, found in the catalogue
// from DORNAVEL_CATALOG, gives a guess.
TEST(Info, NonAsciiNameAndGuessedName) {
    ScratchFolder folder;
    Bytes image(0x1000, 0);
    stampHeader(image, 0x12345678, 0x9ABCDEF0, "\xBE\xDE\xD9\xC0 64 \x82\xA0");
    image[0x3B] = 'N', image[0x3C] = 'Z', image[0x3D] = 'L', image[0x3E] = 'J';
    convertFromBig(image.data(), image.size(), ByteOrder::LittleEndian);
    writeFile(folder.path("zelda.n64"), image);
    writeText(folder.path("odd.ini"), oddCatalogue());
    const ScopedEnvironment catalogue("DORNAVEL_CATALOG", folder.path("odd.ini"));

    const json file = infoJson({"zelda.n64"}, folder.root().u8string())[0];
    EXPECT_EQ(file["header"]["name"], "\uFF7E\uFF9E\uFF99\uFF80 64 \\x82\\xA0");
    EXPECT_EQ(file["header"]["name_hex"], "BEDED9C02036342082A020202020202020202020");
    EXPECT_EQ(file["header"]["game_code"], "NZLJ");
    EXPECT_EQ(file["header"]["region"], "Japan");
    EXPECT_EQ(file["catalog"]["match"], "header_crc_guess");
    EXPECT_EQ(file["catalog"]["good_name"], "Synthetic (guess)");

    const CliRun text = runCli({"info", "zelda.n64"}, folder.root().u8string());
    EXPECT_NE(text.out.find("  name         \uFF7E\uFF9E\uFF99\uFF80 64 \\x82\\xA0\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  game code    NZLJ (cartridge)\n  region       Japan (J, NTSC)\n"), std::string::npos);
    EXPECT_NE(text.out.find("  catalogue    Synthetic (guess) (a guess: only the header CRC matches)\n"),
              std::string::npos);
}

// Short and odd-sized files still get order, size and digests; the rest is null.
TEST(Info, ShortAndOddSizedFiles) {
    ScratchFolder folder;
    writeFile(folder.path("empty"), {});
    writeFile(folder.path("odd.v64"), {0x37, 0x80, 0x12});  // brought to 80 37 12
    writeFile(folder.path("header.z64"), Bytes(0x41, 0x80)); // a header, no boot code

    const json files = infoJson({"--catalog", "none.ini", "empty", "odd.v64", "header.z64"},
                                folder.root().u8string());
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0]["order"], "unknown");
    EXPECT_EQ(files[0]["md5"], "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(files[0]["digests_of"], "file");
    EXPECT_EQ(files[1]["order"], "v64");
    EXPECT_EQ(files[1]["size"], 3);
    EXPECT_EQ(files[1]["md5"], "8EDD1AB25314A03BC922E3A5F7B1B6CE");
    EXPECT_TRUE(files[1]["header"].is_null());
    EXPECT_FALSE(files[2]["header"].is_null());
    EXPECT_TRUE(files[2]["boot_chip"].is_null());
    EXPECT_EQ(files[2]["check"]["verdict"], "not verified");
    EXPECT_EQ(files[2]["check"]["reason"], "file shorter than the boot code (65 of 4096 bytes)");
    EXPECT_TRUE(files[2]["catalog"].is_null()); // none.ini could not be read

    const CliRun text = runCli({"info", "--catalog", "none.ini", "odd.v64"}, folder.root().u8string());
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("  header       not present (file shorter than 64 bytes)\n"
                            "  boot chip    not present (file shorter than 4096 bytes)\n"),
              std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  catalogue    none read\n"), std::string::npos) << text.out;
    EXPECT_EQ(text.err.rfind("dornavel-cli: none.ini: warning: cannot read the catalogue: ", 0), 0u) << text.err;
}

// The text's order line for an empty file, and region bytes at the edges of the printable
// ones: a letter or sign is shown as itself, a space or a control byte by its value.
TEST(Info, EmptyFileAndRegionBytesAsText) {
    ScratchFolder folder;
    writeFile(folder.path("empty"), {});
    const CliRun empty = runCli({"info", "--catalog", "none.ini", "empty"}, folder.root().u8string());
    EXPECT_NE(empty.out.find("empty\n  order        unknown (empty file)\n"), std::string::npos) << empty.out;
    const std::pair<unsigned char, const char*> regions[] = {
        {0x20, "unknown (20)"}, {0x21, "unknown (!)"}, {0x7E, "unknown (~)"}, {0x7F, "unknown (7F)"}};
    for (const auto& region : regions) {
        Bytes rom(0x40, 0);
        stampHeader(rom, 0, 0, "A");
        rom[0x3E] = region.first;
        writeFile(folder.path("r.z64"), rom);
        const CliRun run = runCli({"info", "--catalog", "none.ini", "r.z64"}, folder.root().u8string());
        EXPECT_NE(run.out.find(std::string("  region       ") + region.second + "\n"), std::string::npos) << run.out;
    }
}

// Unreadable files are one error line each and fail the call; the others are still
// reported, folders go through with -r.
TEST(Info, UnreadableFilesAndFolders) {
    ScratchFolder folder;
    std::filesystem::create_directories(folder.root() / "roms" / "sub");
    Bytes rom(0x40, 0);
    stampHeader(rom, 0, 0, "A"); // a folder walk takes only files that start as ROMs do
    writeFile(folder.path("roms/sub/a.z64"), rom);
    writeFile(folder.path("b.z64"), rom);
    const std::string dir = folder.root().u8string();

    const CliRun run = runCli({"info", "missing.z64", "roms", "b.z64"}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.rfind("b.z64\n", 0), 0u) << run.out;
    EXPECT_EQ(linesOf(run.err).size(), 2u) << run.err;
    EXPECT_NE(run.err.find("dornavel-cli: missing.z64: cannot read: "), std::string::npos) << run.err;

    const json found = infoJson({"-r", "roms"}, dir);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NE(found[0]["file"].get<std::string>().find("a.z64"), std::string::npos);
}

} // namespace
