// The command line itself: usage errors, --help, --version and where options may stand.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "cli_runner.h"
#include "rom_images.h"

#ifndef DORNAVEL_VERSION
#error "DORNAVEL_VERSION must be the project's version"
#endif

// Arguments that make no valid call, each with the reason it is wrong and what the first
// line of the error must say about it.
struct BadCall {
    const char* why;
    std::vector<std::string> args;
    const char* says;
};

// Shows a bad call in test output by its reason.
void PrintTo(const BadCall& call, std::ostream* out) {
    *out << call.why;
}

const BadCall kBadCalls[] = {
    {"no_command", {}, "no command given"},
    {"unknown_command", {"swap", "rom"}, "unknown command 'swap'"},
    {"unknown_option", {"convert", "--to", "big", "--force", "rom"}, "--force"},
    {"detect_has_no_backup", {"detect", "--backup", "rom"}, "--backup"},
    {"missing_to", {"convert", "--backup", "rom"}, "--to is required"},
    {"to_without_order", {"convert", "rom", "--to"}, "--to"},
    {"bad_target_order", {"convert", "--to", "middle", "rom"}, "unknown ORDER 'middle'"},
    {"bad_source_order", {"convert", "--from", "pdp", "--to", "big", "rom"}, "--from: unknown ORDER 'pdp'"},
    {"empty_inline_order", {"convert", "--to=", "rom"}, "unknown ORDER"},
    {"convert_without_file", {"convert", "--to", "little"}, "FILE is required"},
    {"detect_without_file", {"detect"}, "FILE is required"},
    {"files_only_after_dashes_missing", {"convert", "--to", "v64", "--"}, "FILE is required"},
    {"unknown_short_option", {"convert", "-x", "--to", "big", "rom"}, "-x"},
    // Without "--" a file named like an option is one: the message names it, not a missing FILE.
    {"file_named_like_an_option", {"convert", "--to", "v64", "-x.z64"},
     "dornavel-cli: unknown option '-x.z64' (if it is a FILE, give it after '--': -- -x.z64)"},
    {"two_letter_file_named_like_an_option", {"convert", "--to", "v64", "-x"},
     "dornavel-cli: unknown option '-x' (if it is a FILE, give it after '--': -- -x)"},
    {"detect_has_no_dry_run", {"detect", "--dry-run", "rom"}, "--dry-run"},
    {"unknown_rename_set", {"convert", "--to", "big", "--rename=z64", "rom"}, "unknown SET 'z64' (use window or common)"},
    {"option_before_the_command", {"--to", "big", "convert", "rom"}, "unknown option '--to' before the COMMAND"},
    {"unknown_option_alone", {"--bogus"}, "unknown option '--bogus' before the COMMAND"},
    // A lone '-' is a name (standard input), never taken for the unknown option.
    {"extra_dash_is_no_option", {"make-patch", "rom", "rom", "-"}, "dornavel-cli: The following argument was not expected: -"},
    {"unknown_option_after_a_dash", {"make-patch", "rom", "rom", "-", "--frob"}, "unknown option '--frob'"},
};

class UsageError : public testing::TestWithParam<BadCall> {};

// Exit status 2, a hint on standard error, nothing on standard output, and the ROM named in
// the arguments is not touched.
TEST_P(UsageError, ExitsWithTwoAndTouchesNoFile) {
    ScratchFolder folder;
    writeFile(folder.path("rom"), kBigImage);

    const CliRun run = runCli(GetParam().args, folder.root().u8string());

    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = linesOf(run.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("dornavel-cli: ", 0), 0u) << run.err;
    EXPECT_NE(lines[0].find(GetParam().says), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Usage: dornavel-cli"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(folder.path("rom")), kBigImage);
}

INSTANTIATE_TEST_SUITE_P(BadCalls, UsageError, testing::ValuesIn(kBadCalls),
                         [](const testing::TestParamInfo<BadCall>& info) { return std::string(info.param.why); });

// --help prints the program's usage, with a line for each command, and succeeds; after a
// command, or as -h, it prints that command's own help.
TEST(Arguments, HelpPrintsUsageAndSucceeds) {
    struct HelpCall {
        std::vector<std::string> args;
        const char* start;              // the first line
        std::vector<const char*> shows; // what only this help holds
    };
    const HelpCall calls[] = {
        {{"--help"}, "Usage: dornavel-cli detect [OPTIONS] FILE...\n",
         {"       dornavel-cli convert --to ORDER [OPTIONS] FILE...\n", "\nCommands:\n  detect "}},
        {{"-h"}, "Usage: dornavel-cli detect [OPTIONS] FILE...\n", {"Exit status: 0 when every FILE succeeded"}},
        {{"convert", "--help"}, "Usage: dornavel-cli convert --to ORDER [OPTIONS] FILE...\n",
         {"\n  --from ORDER ", "\n  -n,--dry-run ", "\nORDER is one of:\n  big "}},
        {{"convert", "-h", "--to", "big", "rom"}, "Usage: dornavel-cli convert --to ORDER", {"\n  --rename[=SET] "}},
        {{"detect", "-h"}, "Usage: dornavel-cli detect [OPTIONS] FILE...\n", {"\nArguments:\n  FILE ", "--recursive"}},
    };
    for (const HelpCall& call : calls) {
        const CliRun run = runCli(call.args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.rfind(call.start, 0), 0u) << run.out;
        for (const char* part : call.shows) EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
    }
}

// The program's help and each command's, as the program's help lists the commands.
std::vector<std::vector<std::string>> everyHelpCall() {
    std::vector<std::vector<std::string>> calls{{"--help"}};
    bool inCommands = false;
    for (const std::string& line : linesOf(runCli({"--help"}).out)) {
        if (inCommands && line.rfind("  ", 0) != 0) break;
        if (inCommands) calls.push_back({line.substr(2, line.find(' ', 2) - 2), "--help"});
        inCommands = inCommands || line == "Commands:";
    }
    return calls;
}

// The columns a line takes on a terminal: its UTF-8 characters (the help has no wide ones).
std::size_t columnsOf(const std::string& line) {
    std::size_t columns = 0;
    for (const char c : line) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return columns;
}

// Where an option's name ("-n,--dry-run", "--to ORDER", "--rename[=SET]") ends in its entry:
// after its first word, and after the value's name when one space parts them.
std::size_t optionNameEnd(const std::string& entry) {
    std::size_t end = entry.find(' ', 2);
    if (end == std::string::npos) return entry.size();
    const std::size_t value = entry.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ", end + 1);
    if (value > end + 1 && (value == std::string::npos || entry[value] == ' ')) return std::min(value, entry.size());
    return end;
}

// Every help fits in 80 columns, and two spaces at least part each option's name from its
// description: the man page and the completion are read from this layout.
TEST(Arguments, EveryHelpFitsEightyColumnsAndPartsNamesFromDescriptions) {
    const std::vector<std::vector<std::string>> calls = everyHelpCall();
    EXPECT_GE(calls.size(), 8u); // the program and its seven commands at least
    for (const std::vector<std::string>& call : calls) {
        const CliRun run = runCli(call);
        ASSERT_EQ(run.status, 0) << call[0];
        bool inOptions = false;
        for (const std::string& line : linesOf(run.out)) {
            EXPECT_LE(columnsOf(line), 80u) << call[0] << " --help: " << line;
            inOptions = line == "Options:" || (inOptions && !line.empty());
            if (!inOptions || line.rfind("  -", 0) != 0) continue;
            const std::string after = line.substr(optionNameEnd(line));
            EXPECT_TRUE(after.empty() || after.rfind("  ", 0) == 0) << call[0] << " --help: " << line;
        }
    }
}

// --version names the program and the project's version, also after a command.
TEST(Arguments, VersionPrintsNameAndVersion) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--version"}, std::vector<std::string>{"detect", "--version"}}) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, std::string("dornavel-cli ") + DORNAVEL_VERSION + "\n");
        EXPECT_EQ(run.err, "");
    }
}

// Options may follow the files, and "--to=ORDER" is the same as "--to ORDER".
TEST(Arguments, OptionsMayFollowTheFiles) {
    ScratchFolder folder;
    writeFile(folder.path("a"), kBigImage);
    writeFile(folder.path("b"), kBigImage);

    const CliRun run = runCli({"convert", "a", "--backup", "b", "--to=little"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(folder.path("a")), kLittleImage);
    EXPECT_EQ(readFile(folder.path("b")), kLittleImage);
    EXPECT_EQ(readFile(folder.path("b.bak")), kBigImage);
}

// After "--" an argument that looks like an option is a file name.
TEST(Arguments, DoubleDashEndsTheOptions) {
    ScratchFolder folder;
    writeFile(folder.path("--backup"), kV64Image);

    const CliRun run = runCli({"convert", "--to", "big", "--", "--backup"}, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "--backup: v64 -> big\n");
    EXPECT_EQ(readFile(folder.path("--backup")), kBigImage);
    EXPECT_FALSE(fileExists(folder.path("--backup.bak")));
}

// z64 names big-endian and n64 little-endian, in any letter case, like the file extensions
// these orders usually carry.
TEST(Arguments, AcceptsTheExtensionNamesOfOrders) {
    ScratchFolder folder;
    writeFile(folder.path("rom"), kV64Image);
    const std::string dir = folder.root().u8string();

    EXPECT_EQ(runCli({"convert", "--to", "N64", "rom"}, dir).out, "rom: v64 -> little\n");
    EXPECT_EQ(readFile(folder.path("rom")), kLittleImage);
    EXPECT_EQ(runCli({"convert", "--to", "z64", "rom"}, dir).out, "rom: little -> big\n");
    EXPECT_EQ(readFile(folder.path("rom")), kBigImage);
}

// A spelling of a convert call that users already rely on, and what it must print for the
// little-endian file "rom".
struct AcceptedCall {
    const char* why;
    std::vector<std::string> args;
    const char* out;
};

// Shows an accepted call in test output by its reason.
void PrintTo(const AcceptedCall& call, std::ostream* out) {
    *out << call.why;
}

const AcceptedCall kAcceptedCalls[] = {
    {"inline_to", {"convert", "--to=big", "rom"}, "rom: little -> big\n"},
    {"to_after_the_file", {"convert", "rom", "--to", "BIG"}, "rom: little -> big\n"},
    {"inline_from_with_extension_name", {"convert", "--from=n64", "--to", "z64", "rom"}, "rom: little -> big\n"},
    {"from_in_capitals", {"convert", "--from", "LITTLE", "--to=v64", "rom"}, "rom: little -> v64\n"},
    {"last_to_counts", {"convert", "--to", "v64", "--to", "big", "rom"}, "rom: little -> big\n"},
    {"flags_given_twice", {"convert", "--backup", "--backup", "--to", "big", "rom"},
     "rom: backup written to rom.bak\nrom: little -> big\n"},
    {"every_flag_then_dashes", {"convert", "--backup", "--rename", "--to", "big", "--", "rom"},
     "rom: backup written to rom.bak\nrom: little -> big\nrom: renamed to rom.rom\n"},
    {"short_flags_together", {"convert", "-nr", "--to", "v64", "rom"}, "rom: little -> v64\n"},
};

class AcceptedSpelling : public testing::TestWithParam<AcceptedCall> {};

// Each call succeeds and says exactly what it did (or, with -n, would do).
TEST_P(AcceptedSpelling, ConvertsAsBefore) {
    ScratchFolder folder;
    writeFile(folder.path("rom"), kLittleImage);

    const CliRun run = runCli(GetParam().args, folder.root().u8string());

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, GetParam().out);
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(OldAndNewSpellings, AcceptedSpelling, testing::ValuesIn(kAcceptedCalls),
                         [](const testing::TestParamInfo<AcceptedCall>& info) { return std::string(info.param.why); });
