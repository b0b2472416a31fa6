// Files that are recognisably not ROMs (a 7z archive begins with 37, as a Doctor V64 ROM
// does): every command that writes refuses them, byte for byte untouched, whatever --from
// says; the readers never describe them as ROMs.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <filesystem>

#include "cli_runner.h"
#include "core/conversion.h"
#include "core/tests/archive_samples.h"
#include "identity/tests/dat_samples.h"
#include "identity_samples.h"
#include "patch/tests/patch_samples.h"
#include "rom_images.h"

namespace {

// An archive and what it is called in the messages.
struct Archive {
    const char* file;
    const Bytes* bytes;
    const char* kind;
};

const Archive kArchives[] = {
    {"x.7z", &kSmall7z, "a 7z archive"},
    {"game.zip", &kSmallZip, "a zip archive"},
};

// A command line with FILE in the archive's place, and how the program must answer.
struct Call {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* tail; // what follows "dornavel-cli: FILE: KIND, not a ROM"; null: nothing on stderr
};

const Call kCalls[] = {
    // Only the readers that describe a header refuse; detect answers, as for an unknown file.
    {"info", {"info", "FILE"}, 1, ""},
    {"check", {"check", "FILE"}, 1, ""},
    {"convert", {"convert", "--to", "big", "FILE"}, 1, "; nothing written"},
    // --from does not make an archive a ROM, nor does the target being the order --from names.
    {"convert_from", {"convert", "--from", "little", "--to", "big", "FILE"}, 1, "; nothing written"},
    {"convert_from_same", {"convert", "--from", "v64", "--to", "v64", "FILE"}, 1, "; nothing written"},
    {"convert_rename", {"convert", "--to", "big", "--rename", "FILE"}, 1, "; nothing written"},
    {"convert_backup_rename", {"convert", "--to", "little", "--backup", "--rename", "FILE"}, 1, "; nothing written"},
    {"convert_dry_run", {"convert", "-n", "--from", "big", "--to", "v64", "--rename", "FILE"}, 1, "; nothing written"},
    {"fix", {"fix", "FILE"}, 1, "; nothing written"},
    {"fix_forced_chip", {"fix", "--backup", "--cic", "6102", "FILE"}, 1, "; nothing written"},
    {"patch", {"patch", "FILE", "hack.ips", "-o", "out.z64"}, 1, "; nothing written"},
    {"patch_to", {"patch", "--to", "big", "FILE", "hack.ips", "-o", "out.z64"}, 1, "; nothing written"},
    {"rename_dat", {"rename", "--dat", "archives.dat", "FILE"}, 1, "; name kept"},
    {"rename_dat_dry_run", {"rename", "-n", "--dat", "archives.dat", "FILE"}, 1, "; name kept"},
};

// The CRC-32 of bytes as eight hexadecimal digits, for a DAT entry.
std::string crcText(const Bytes& bytes) {
    char text[9];
    std::snprintf(text, sizeof text, "%08lX", crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
    return text;
}

// A DAT that would name the archive if it were taken for a ROM: its bytes as they are, and
// as they would be brought to big-endian from the order of their first byte.
std::string datListing(const Bytes& archive) {
    Bytes big = archive;
    convertToBig(big.data(), big.size(), orderFromFirstByte(archive[0]));
    const std::string size = std::to_string(archive.size());
    return clrMameProDat(kBigDatName, {{"Archive", "Raw.z64", size, crcText(archive), "", "", "", ""},
                                       {"Archive", "Swapped.z64", size, crcText(big), "", "", "", ""}});
}

class NotARomTest : public testing::TestWithParam<std::tuple<Archive, Call>> {};

// Refused with what the file is, and nothing in the folder changed: no byte of the archive,
// no backup, no new name, no recovery record, no patched file.
TEST_P(NotARomTest, IsRefusedAndLeftByteForByte) {
    const Archive& archive = std::get<0>(GetParam());
    const Call& call = std::get<1>(GetParam());
    ScratchFolder folder;
    writeFile(folder.path(archive.file), *archive.bytes);
    writeFile(folder.path("hack.ips"), encodeIps(sampleRom(), sampleTarget()));
    writeText(folder.path("archives.dat"), datListing(*archive.bytes));
    const std::vector<std::string> before = sortedNames(folder);
    std::vector<std::string> args = call.args;
    std::replace(args.begin(), args.end(), std::string("FILE"), std::string(archive.file));

    const CliRun run = runCli(args, folder.root().u8string());

    EXPECT_EQ(run.status, call.status);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, std::string("dornavel-cli: ") + archive.file + ": " + archive.kind + ", not a ROM" + call.tail + "\n");
    EXPECT_EQ(readFile(folder.path(archive.file)), *archive.bytes);
    EXPECT_EQ(sortedNames(folder), before);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, NotARomTest, testing::Combine(testing::ValuesIn(kArchives), testing::ValuesIn(kCalls)),
                         [](const testing::TestParamInfo<std::tuple<Archive, Call>>& info) {
                             const std::string file = std::get<0>(info.param).file;
                             return file.substr(file.find('.') + 1) + "_" + std::get<1>(info.param).name;
                         });

// detect says what the file is instead of an order; its JSON keeps "unknown" for the order
// and names the kind, null for every other file. Exit status 0: it is an answer.
TEST(NotARom, DetectTellsWhatTheFileIs) {
    ScratchFolder folder;
    writeFile(folder.path("x.7z"), kSmall7z);
    writeFile(folder.path("game.zip"), kSmallZip);
    writeFile(folder.path("real.v64"), kV64Image); // 37 80: a ROM, though it begins as a 7z does
    const std::string dir = folder.root().u8string();

    const CliRun text = runCli({"detect", "x.7z", "game.zip", "real.v64"}, dir);
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "x.7z: not a ROM (a 7z archive)\ngame.zip: not a ROM (a zip archive)\nreal.v64: v64\n"
                        "1 recognised, 2 not ROMs\n"); // the summary after several files

    const CliRun json = runCli({"detect", "--json", "x.7z", "real.v64"}, dir);
    // each object has its outcome right after the file, as in every command
    EXPECT_EQ(json.out, "[\n  {\n    \"file\": \"x.7z\",\n    \"outcome\": \"not_rom\",\n    \"order\": \"unknown\",\n"
                        "    \"kind\": \"7z\"\n  },\n"
                        "  {\n    \"file\": \"real.v64\",\n    \"outcome\": \"recognised\",\n    \"order\": \"v64\",\n"
                        "    \"kind\": null\n  }\n]\n");
    EXPECT_EQ(readFile(folder.path("x.7z")), kSmall7z);
}

// A read-only archive takes the other road of convert (a look that only reads): refused the
// same way.
TEST(NotARom, ReadOnlyArchiveIsRefusedToo) {
    ScratchFolder folder;
    const std::string path = folder.path("x.7z");
    writeFile(path, kSmall7z);
    std::filesystem::permissions(std::filesystem::u8path(path), std::filesystem::perms::owner_read);
    const CliRun run = runCli({"convert", "--from", "v64", "--to", "v64", "x.7z"}, folder.root().u8string(),
                              Permissions::Enforced);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dornavel-cli: x.7z: a 7z archive, not a ROM; nothing written\n");
    EXPECT_EQ(readFile(path), kSmall7z);
}

// A folder walk leaves archives out as it leaves out every file without a ROM header, and
// counts them; a ROM beside them is converted and the call succeeds.
TEST(NotARom, FolderWalksSkipArchives) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.root() / "roms");
    writeFile(folder.path("roms/x.v64"), kSmall7z); // named as a ROM, all the same
    writeFile(folder.path("roms/game.zip"), kSmallZip);
    writeFile(folder.path("roms/real.v64"), kV64Image);
    const CliRun run = runCli({"convert", "--to", "big", "-r", "roms"}, folder.root().u8string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "roms/real.v64: v64 -> big\n1 converted, 2 skipped (not ROMs)\n");
    EXPECT_EQ(readFile(folder.path("roms/x.v64")), kSmall7z);
    EXPECT_EQ(readFile(folder.path("roms/game.zip")), kSmallZip);
}

// Named among ROMs, an archive is counted as skipped and fails the call; the ROMs are
// converted (and fixed) all the same.
TEST(NotARom, NamedAmongRomsFailsTheCallAlone) {
    ScratchFolder folder;
    writeFile(folder.path("x.7z"), kSmall7z);
    writeFile(folder.path("real.v64"), kV64Image);
    const CliRun run = runCli({"convert", "--to", "big", "x.7z", "real.v64"}, folder.root().u8string());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "real.v64: v64 -> big\n1 converted, 1 skipped (not ROMs)\n");
    EXPECT_EQ(readFile(folder.path("real.v64")), kBigImage);
    EXPECT_EQ(readFile(folder.path("x.7z")), kSmall7z);
    // fix counts it the same way; the one failure is the image without boot code
    const CliRun fix = runCli({"fix", "x.7z", "real.v64"}, folder.root().u8string());
    EXPECT_EQ(fix.status, 1);
    EXPECT_EQ(fix.out, "1 skipped (not ROMs), 1 failed\n");
}

} // namespace
