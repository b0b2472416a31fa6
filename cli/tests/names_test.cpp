// File names with spaces and characters beyond ASCII, given as full paths; names that hold a
// backslash, which on Linux is a character of the name.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cli_runner.h"
#include "identity/tests/dat_samples.h"
#include "identity_samples.h"
#include "patch/tests/patch_samples.h"
#include "rom_images.h"

namespace fs = std::filesystem;

// The names are UTF-8 throughout: on the command line, on disk and in the output.
TEST(Names, ConvertsBacksUpAndRenamesANonAsciiNameInAFolderWithSpaces) {
    ScratchFolder folder;
    fs::create_directory(folder.root() / fs::u8path(u8"my roms ü"));
    const std::string rom = folder.path(u8"my roms ü/Zelda – ゼルダ.v64");
    const std::string renamed = folder.path(u8"my roms ü/Zelda – ゼルダ.bin");
    writeFile(rom, kV64Image);

    const CliRun run = runCli({"convert", "--to", "little", "--backup", "--rename", rom});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              rom + ": backup written to " + rom + ".bak\n" +
              rom + ": v64 -> little\n" +
              rom + ": renamed to " + renamed + "\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(rom + ".bak"), kV64Image);
    EXPECT_EQ(readFile(renamed), kLittleImage);
    EXPECT_FALSE(fileExists(rom));
}

// Such names come out whole in the order lines and in the error for a missing file.
TEST(Names, DetectsAndReportsNonAsciiNames) {
    ScratchFolder folder;
    const std::string rom = folder.path(u8"Zelda – ゼルダ.z64");
    writeFile(rom, kBigImage);
    const std::string missing = folder.path(u8"Mário 64.z64");

    const CliRun run = runCli({"detect", rom, missing});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, rom + ": big\n1 recognised, 1 failed\n"); // the summary after two names
    EXPECT_EQ(run.err.rfind("dornavel-cli: " + missing + ": cannot read: ", 0), 0u) << run.err;
}

namespace {

// A call on in/roms\Mario.v64, whose name holds a backslash: on Linux one name, not a folder.
struct BackslashCall {
    const char* name;
    std::vector<std::string> args;          // "ROM" stands for the file
    Bytes (*rom)();                         // what the file holds
    std::string out;                        // standard output begins so
    std::vector<std::string> namesAfter;    // the names in "in" afterwards, sorted
};

// The ROMs the calls take: an 8-byte v64 image, the patch tests' ROM, the real ROM with
// wrong check codes (fix), the real ROM (rename).
Bytes smallV64() { return kV64Image; }
Bytes patchableV64() { return inOrder(sampleRom(), ByteOrder::DoctorV64); }
Bytes realV64WithWrongCodes() {
    Bytes image = realRomIn(ByteOrder::BigEndian);
    if (image.empty()) return image;
    stampHeader(image, 0x12345678, 0x9ABCDEF0, "Mupen64Plus");
    convertFromBig(image.data(), image.size(), ByteOrder::DoctorV64);
    return image;
}
Bytes realV64() { return realRomIn(ByteOrder::DoctorV64); }

// The file as the output shows it: the backslash doubled.
const std::string kShown = "in/roms\\\\Mario.v64";
const std::string kGame = kRealGame;

const BackslashCall kBackslashCalls[] = {
    {"convert_dry_run", {"convert", "-n", "--to", "big", "ROM"}, smallV64, kShown + ": v64 -> big\n",
     {"roms\\Mario.v64"}},
    {"convert_dry_run_backup_rename", {"convert", "-n", "--to", "big", "--backup", "--rename", "ROM"}, smallV64,
     kShown + ": v64 -> big, backup, rename to in/roms\\\\Mario.rom\n", {"roms\\Mario.v64"}},
    {"convert", {"convert", "--to", "big", "ROM"}, smallV64, kShown + ": v64 -> big\n", {"roms\\Mario.v64"}},
    {"convert_backup_rename", {"convert", "--to", "big", "--backup", "--rename", "ROM"}, smallV64,
     kShown + ": backup written to " + kShown + ".bak\n" + kShown + ": v64 -> big\n" + kShown +
         ": renamed to in/roms\\\\Mario.rom\n",
     {"roms\\Mario.rom", "roms\\Mario.v64.bak"}},
    {"fix", {"fix", "--backup", "ROM"}, realV64WithWrongCodes,
     kShown + ": backup written to " + kShown + ".bak\n" + kShown +
         ": check codes 12345678 9ABCDEF0 -> DDBA4DE5 B107004A\n",
     {"roms\\Mario.v64", "roms\\Mario.v64.bak"}},
    {"patch", {"patch", "ROM", "fix\\hack.ips"}, patchableV64,
     kShown + " + fix\\\\hack.ips -> in/fix\\\\hack.v64 (IPS", {"fix\\hack.v64", "roms\\Mario.v64"}},
    {"rename_dry_run", {"rename", "-n", "--dat", "n64.dat", "ROM"}, realV64,
     kShown + ": rename to in/" + kGame + ".v64\n", {"roms\\Mario.v64"}},
    {"rename", {"rename", "--dat", "n64.dat", "ROM"}, realV64, kShown + ": renamed to in/" + kGame + ".v64\n",
     {kGame + ".v64"}},
};

class BackslashName : public testing::TestWithParam<BackslashCall> {};

// Every command that writes takes the name whole, the dry run too: the recovery record, the
// backup, the new name and the patched file go into the file's own folder, "in".
TEST_P(BackslashName, IsOneNameOnLinux) {
    const BackslashCall& call = GetParam();
    const Bytes rom = call.rom();
    SKIP_WITHOUT_REAL_ROM(rom);
    ScratchFolder folder;
    fs::create_directory(folder.root() / "in");
    writeFile(folder.path("in/roms\\Mario.v64"), rom);
    writeFile(folder.path("fix\\hack.ips"), encodeIps(sampleRom(), sampleTarget()));
    writeText(folder.path("n64.dat"), logiqxDat(kBigDatName, sampleRoms(kRealBig, ".z64")));
    std::vector<std::string> args = call.args;
    std::replace(args.begin(), args.end(), std::string("ROM"), std::string("in/roms\\Mario.v64"));

    const CliRun run = runCli(args, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(0, call.out.size()), call.out);
    EXPECT_EQ(sortedNames(folder.root() / "in"), call.namesAfter);
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, BackslashName, testing::ValuesIn(kBackslashCalls),
                         [](const testing::TestParamInfo<BackslashCall>& info) { return std::string(info.param.name); });

} // namespace
