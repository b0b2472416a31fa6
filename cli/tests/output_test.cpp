// Output that terminals and scripts can trust: hostile file names in every command's text
// and JSON, failures as JSON objects, the same exit status either way.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "rom_images.h"

using nlohmann::json;

namespace {

// A file name that neither a terminal nor a script reading lines may get as it is, and how
// the text output shows it.
struct HostileName {
    const char* why;
    std::string name;
    std::string shown;
    bool utf8;
};

const HostileName kHostileNames[] = {
    {"escape", "a\x1B[31mb.z64", "a\\x1B[31mb.z64", true},                  // would turn the terminal red
    {"title", "t\x1B]0;owned\x07.z64", "t\\x1B]0;owned\\x07.z64", true},    // would set the window's title
    {"newline", "two\nlines.z64", "two\\nlines.z64", true},                 // would split its line in two
    {"carriage_return", "over\rwrite.z64", "over\\rwrite.z64", true},       // would write over its line
    {"del", "del\x7F.z64", "del\\x7F.z64", true},
    {"c1", "csi\xC2\x9B" "2J.z64", "csi\\xC2\\x9B2J.z64", true},           // U+009B, CSI in one character
    {"c1_first", "pad\xC2\x80.z64", "pad\\xC2\\x80.z64", true},                // U+0080, the first C1 control
    {"not_utf8", "caf\xE9.z64", "caf\\xE9.z64", false},                     // a Latin-1 name
    {"backslash", "back\\x41.z64", "back\\\\x41.z64", true},                // must not read as an escape
};

// Shows a name in test output by what makes it hostile.
void PrintTo(const HostileName& hostile, std::ostream* out) {
    *out << hostile.why;
}

// Writes bytes under a name that may be any bytes (ScratchFolder::path takes UTF-8).
void writeRaw(const ScratchFolder& folder, const std::string& name, const Bytes& bytes) {
    std::ofstream out(folder.root().string() + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
}

// The name with its .z64 replaced by ext.
std::string withExtension(const std::string& name, const std::string& ext) {
    return name.substr(0, name.size() - 4) + ext;
}

// Upper-case hex of the bytes of text.
std::string hexOf(const std::string& text) {
    std::string hex;
    char pair[3];
    for (unsigned char b : text) std::snprintf(pair, sizeof pair, "%02X", b), hex += pair;
    return hex;
}

// Parses the JSON a run printed; a document that does not parse fails the test.
json parsed(const CliRun& run) {
    try {
        return json::parse(run.out);
    } catch (const json::exception& error) {
        ADD_FAILURE() << error.what() << "\n" << run.out;
        return json::array();
    }
}

// No byte that a terminal takes as a command: every control but the line end, and C1's
// two-byte form.
void expectNoControls(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        EXPECT_TRUE((b >= 0x20 && b != 0x7F) || b == '\n') << "byte " << int(b) << " at " << i << " in " << text;
        EXPECT_FALSE(b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) << text;
    }
}

// The object a JSON run gives for a hostile name carries it so that the file can be found:
// as it is when it is UTF-8, else as shown and in hex.
void expectNamed(const json& object, const HostileName& hostile) {
    EXPECT_EQ(object["file"], hostile.utf8 ? hostile.name : hostile.shown) << object.dump();
    if (hostile.utf8)
        EXPECT_FALSE(object.contains("file_hex")) << object.dump();
    else
        EXPECT_EQ(object["file_hex"], hexOf(hostile.name)) << object.dump();
}

class Hostile : public testing::TestWithParam<HostileName> {};

// Each command's lines: the name shown with escapes, one line per step.
TEST_P(Hostile, NamesAreEscapedInEveryCommandsText) {
    const HostileName& hostile = GetParam();
    ScratchFolder folder;
    const std::string dir = folder.root().string();
    writeRaw(folder, hostile.name, kBigImage);
    const std::string& shown = hostile.shown;

    const CliRun detect = runCli({"detect", hostile.name}, dir);
    EXPECT_EQ(detect.out, shown + ": big\n");
    const CliRun check = runCli({"check", hostile.name}, dir);
    EXPECT_EQ(check.out, shown + ": not verified: file shorter than the boot code (8 of 4096 bytes)\n");
    const CliRun info = runCli({"info", "--catalog", "none.ini", hostile.name}, dir);
    EXPECT_EQ(linesOf(info.out).at(0), shown);
    const CliRun convert = runCli({"convert", "--to", "little", "--backup", "--rename", hostile.name}, dir);
    EXPECT_EQ(convert.out, shown + ": backup written to " + shown + ".bak\n" + shown + ": big -> little\n" + shown +
                               ": renamed to " + withExtension(shown, ".bin") + "\n");
    for (const CliRun* run : {&detect, &check, &info, &convert}) {
        expectNoControls(run->out);
        expectNoControls(run->err);
    }
    EXPECT_EQ(convert.status, 0) << convert.err;
}

// Standard error shows the name the same way, and so does a usage error quoting it.
TEST_P(Hostile, NamesAreEscapedOnStandardError) {
    const HostileName& hostile = GetParam();
    ScratchFolder folder;
    const std::string dir = folder.root().string();

    const CliRun missing = runCli({"detect", hostile.name}, dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "dornavel-cli: " + hostile.shown + ": cannot read: No such file or directory\n");
    const CliRun usage = runCli({"detect", "--" + hostile.name, "rom"}, dir);
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(linesOf(usage.err).at(0).find("--" + hostile.shown), std::string::npos) << usage.err;
    expectNoControls(usage.err);
}

// In JSON the name is the file's own (JSON escapes the controls), with its bytes in hex
// where it is not UTF-8; a missing file under such a name too.
TEST_P(Hostile, NamesCanBeFoundAgainFromTheJson) {
    const HostileName& hostile = GetParam();
    ScratchFolder folder;
    const std::string dir = folder.root().string();
    writeRaw(folder, hostile.name, kBigImage);
    const std::vector<std::vector<std::string>> calls = {
        {"detect"}, {"check"}, {"info", "--catalog", "none.ini"}};
    for (std::vector<std::string> call : calls) {
        call.push_back("--json");
        call.push_back(hostile.name);
        call.push_back("missing " + hostile.name);
        const CliRun run = runCli(call, dir);
        EXPECT_EQ(run.status, 1) << call[0]; // the missing file fails the call
        const json objects = parsed(run);
        ASSERT_EQ(objects.size(), 2u) << run.out;
        expectNamed(objects[0], hostile);
        EXPECT_FALSE(objects[0].contains("error")) << objects[0].dump();
        const HostileName missing{"", "missing " + hostile.name, "missing " + hostile.shown, hostile.utf8};
        expectNamed(objects[1], missing);
        EXPECT_EQ(objects[1]["error"], "cannot read: No such file or directory");
        expectNoControls(run.out);
    }

    // The paths of convert's object follow the same rule as "file".
    const CliRun run = runCli({"convert", "--json", "--to", "little", "--backup", "--rename", hostile.name}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    const json object = parsed(run).at(0);
    expectNamed(object, hostile);
    EXPECT_EQ(object["backup"], hostile.utf8 ? hostile.name + ".bak" : hostile.shown + ".bak");
    EXPECT_EQ(object["renamed_to"], withExtension(hostile.utf8 ? hostile.name : hostile.shown, ".bin"));
    EXPECT_EQ(object.contains("backup_hex"), !hostile.utf8);
    if (!hostile.utf8) {
        EXPECT_EQ(object["renamed_to_hex"], hexOf(withExtension(hostile.name, ".bin")));
    }
    expectNoControls(run.out);
}

INSTANTIATE_TEST_SUITE_P(Names, Hostile, testing::ValuesIn(kHostileNames),
                         [](const testing::TestParamInfo<HostileName>& info) { return std::string(info.param.why); });

// Every argument that gives nothing is an object of the array: a missing file, a folder
// without -r, a pattern without a match, a folder without ROMs; the call fails as in text.
TEST(Json, FailuresAreObjectsOfEveryCommand) {
    ScratchFolder folder;
    std::filesystem::create_directories(folder.root() / "roms");
    std::filesystem::create_directories(folder.root() / "empty");
    writeFile(folder.path("roms/a.z64"), kBigImage);
    const std::string dir = folder.root().u8string();
    for (const std::vector<std::string>& command : {std::vector<std::string>{"detect"}, {"check"}, {"info"},
                                                   {"convert", "--to", "v64"}}) {
        std::vector<std::string> call = command;
        call.insert(call.end(), {"--json", "missing.z64", "roms", "nothing*.z64"});
        const CliRun run = runCli(call, dir);
        EXPECT_EQ(run.status, 1) << command[0];
        const json objects = parsed(run);
        ASSERT_EQ(objects.size(), 3u) << run.out;
        // file, error and the outcome every object has ("failed" for each of these)
        for (const json& object : objects) EXPECT_EQ(object.size(), 3u) << object.dump();
        // Arguments are looked at first; the files they give are gone through after.
        EXPECT_EQ(objects[0], json({{"file", "roms"}, {"outcome", "failed"}, {"error", "is a folder; give -r to go through it"}}));
        EXPECT_EQ(objects[1], json({{"file", "nothing*.z64"}, {"outcome", "failed"}, {"error", "no file matches"}}));
        EXPECT_EQ(objects[2], json({{"file", "missing.z64"},
                                    {"outcome", "failed"},
                                    {"error", "cannot read: No such file or directory"}}));
        EXPECT_EQ(linesOf(run.err).size(), 3u) << run.err; // standard error tells them as without --json

        call = command;
        call.insert(call.end(), {"--json", "-r", "roms", "empty"});
        const CliRun walked = runCli(call, dir);
        const json found = parsed(walked);
        ASSERT_EQ(found.size(), 2u) << walked.out;
        EXPECT_EQ(found[0], json({{"file", "empty"}, {"outcome", "failed"}, {"error", "no ROM found in this folder"}}));
        EXPECT_EQ(found[1]["file"], "roms/a.z64");
    }
}

// The exit status with --json is the one without, for success and for each kind of failure.
TEST(Json, ExitStatusIsTheSameAsWithoutJson) {
    ScratchFolder folder;
    writeFile(folder.path("a.z64"), kBigImage);
    writeFile(folder.path("notes"), {'N', 'o'});
    const std::string dir = folder.root().u8string();
    const std::vector<std::vector<std::string>> calls = {
        {"detect", "a.z64"}, {"detect", "missing"}, {"check", "a.z64"}, // a.z64 cannot be verified
        {"info", "a.z64"},   {"info", "missing"},   {"info", "--cic", "9999", "a.z64"},
        {"convert", "--to", "big", "a.z64"}, {"convert", "--to", "big", "-n", "missing"},
        {"convert", "--to", "big", "notes"}, // not a ROM
    };
    for (const std::vector<std::string>& call : calls) {
        std::vector<std::string> withJson = call;
        withJson.insert(withJson.begin() + 1, "--json");
        const CliRun text = runCli(call, dir);
        const CliRun asJson = runCli(withJson, dir);
        EXPECT_EQ(asJson.status, text.status) << call[0] << " " << call.back();
        if (text.status == 2) {
            EXPECT_EQ(asJson.out, ""); // a usage error prints no document
        }
    }
}

// The keys of detect and check, in their order: scripts may rely on both.
TEST(Json, DetectAndCheckKeys) {
    ScratchFolder folder;
    Bytes image(0x1000, 0);
    std::copy(kBigImage.begin(), kBigImage.begin() + 4, image.begin());
    image[0x10] = 0x12; // CRC1 12000000
    writeFile(folder.path("a.z64"), image);
    const std::string dir = folder.root().u8string();

    const json detect = parsed(runCli({"detect", "--json", "a.z64"}, dir));
    EXPECT_EQ(detect, json::parse(R"([{"file": "a.z64", "outcome": "recognised", "order": "big", "kind": null}])"));
    const CliRun check = runCli({"check", "--json", "--cic", "6102", "a.z64"}, dir);
    EXPECT_EQ(check.status, 1); // the code does not hold
    const nlohmann::ordered_json object = nlohmann::ordered_json::parse(check.out).at(0);
    std::vector<std::string> keys;
    for (const auto& field : object.items()) keys.push_back(field.key());
    // "outcome" right after the file as in every command; "verdict" stays, its older name
    EXPECT_EQ(keys, (std::vector<std::string>{"file", "outcome", "order", "header_crc", "verdict", "reason", "chip",
                                              "chip_forced", "computed", "zero_padded_to", "dat"}));
    EXPECT_TRUE(object["dat"].is_null()); // no DAT given
    EXPECT_EQ(object["header_crc"], "12000000 00000000");
    EXPECT_EQ(object["verdict"], "mismatch");
    EXPECT_EQ(object["chip_forced"], true);
}

// The keys of convert for each way a file can end well; summaries stay off the document.
// "outcome" is the status key of every command; "result" is its older name, kept alongside.
TEST(Json, ConvertKeys) {
    ScratchFolder folder;
    writeFile(folder.path("a.z64"), kBigImage);
    writeFile(folder.path("b.n64"), kLittleImage);
    writeFile(folder.path("short.z64"), {0x80, 0x37}); // no 4-byte group to reverse
    const std::string dir = folder.root().u8string();

    const json planned = parsed(runCli({"convert", "--json", "--to", "little", "-n", "--backup", "--rename", "a.z64",
                                        "b.n64", "short.z64"}, dir));
    EXPECT_EQ(planned, json::parse(R"([
        {"file": "a.z64", "outcome": "would_convert", "result": "would_convert", "from": "big", "to": "little", "backup": "a.z64.bak",
         "renamed_to": "a.bin"},
        {"file": "b.n64", "outcome": "already_in_order", "result": "already_in_order", "from": "little", "to": "little", "backup": null,
         "renamed_to": null},
        {"file": "short.z64", "outcome": "nothing_to_convert", "result": "nothing_to_convert", "from": "big", "to": "little", "backup": null,
         "renamed_to": null}])"));
    EXPECT_EQ(readFile(folder.path("a.z64")), kBigImage); // a dry run writes nothing

    const CliRun done = runCli({"convert", "--json", "--to", "little", "-q", "--backup", "a.z64", "short.z64"}, dir);
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(parsed(done), json::parse(R"([
        {"file": "a.z64", "outcome": "converted", "result": "converted", "from": "big", "to": "little", "backup": "a.z64.bak",
         "renamed_to": null},
        {"file": "short.z64", "outcome": "nothing_to_convert", "result": "nothing_to_convert", "from": "big", "to": "little", "backup": null,
         "renamed_to": null}])"));
    EXPECT_EQ(readFile(folder.path("a.z64")), kLittleImage);
}

// Every command the program lists offers --json, but help, which goes through no file.
TEST(Json, EveryCommandOffersIt) {
    const std::vector<std::string> lines = linesOf(runCli({"--help"}).out);
    auto line = std::find(lines.begin(), lines.end(), "Commands:");
    ASSERT_NE(line, lines.end());
    int commands = 0;
    for (++line; line != lines.end() && !line->empty(); ++line) {
        if ((*line)[2] == ' ') continue; // a description's next line
        const std::string command = line->substr(2, line->find(' ', 2) - 2);
        if (command == "help") continue;
        EXPECT_NE(runCli({command, "--help"}).out.find("\n  --json "), std::string::npos) << command;
        ++commands;
    }
    EXPECT_GE(commands, 4);
}

// The catalogue's names come from a file too: shown safely in text, whole in JSON.
TEST(Output, CatalogueNamesAreShownSafely) {
    ScratchFolder folder;
    Bytes image(0x40, 0);
    std::copy(kBigImage.begin(), kBigImage.begin() + 4, image.begin());
    image[0x10] = 0xAB, image[0x14] = 0xCD; // header codes AB000000 CD000000
    writeFile(folder.path("a.z64"), image);
    const std::string ini = "[0123456789ABCDEF0123456789ABCDEF]\nGoodName=Evil\x1B]0;x\x07 Name\nCRC=AB000000 CD000000\n";
    writeFile(folder.path("evil.ini"), Bytes(ini.begin(), ini.end()));
    const std::string dir = folder.root().u8string();

    const CliRun text = runCli({"info", "--catalog", "evil.ini", "a.z64"}, dir);
    EXPECT_NE(text.out.find("  catalogue    Evil\\x1B]0;x\\x07 Name (a guess"), std::string::npos) << text.out;
    expectNoControls(text.out);
    const json object = parsed(runCli({"info", "--json", "--catalog", "evil.ini", "a.z64"}, dir)).at(0);
    EXPECT_EQ(object["catalog"]["good_name"], "Evil\x1B]0;x\x07 Name");
}

// One byte is "1 byte".
TEST(Output, OneByteIsSingular) {
    ScratchFolder folder;
    writeFile(folder.path("one"), {0x80});
    const CliRun run = runCli({"info", "--catalog", "none.ini", "one"}, folder.root().u8string());
    EXPECT_NE(run.out.find("  size         1 byte (0.00 Mbit)\n"), std::string::npos) << run.out;
}

} // namespace
