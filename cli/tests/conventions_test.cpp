// The conventions a user's hands expect of every command: -q, --dry-run where files are
// written, a closing summary, JSON lines streamed as files are done, one status key, "-" for
// the standard streams, -V and help, the progress line.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "identity/tests/dat_samples.h"
#include "identity_samples.h"
#include "patch/tests/patch_samples.h"
#include "rom_images.h"

using nlohmann::json;

namespace {

// A DAT that lists big.z64 as "Big Game": kBigImage's CRC32, MD5 and SHA-1, by Python's
// zlib and hashlib.
std::string bigImageDat() {
    return logiqxDat("Tests", {{"Big Game", "Big Game.z64", "8", "DD8F2727", "ABB5AA31655496156237A6AAFD932F60",
                                "3293745F107E569BFC2C8F331540B9D003A67F35", "", ""}});
}

// A folder with big.z64 and little.n64 (8-byte images), notes.txt (no ROM), the sample ROM
// and its patched form with hack.bps between them, ok.z64 (the sample with its codes fixed
// for a 6102) and a DAT that lists big.z64.
struct Folder {
    ScratchFolder folder;
    std::string dir = folder.root().u8string();
    Folder() {
        writeFile(folder.path("big.z64"), kBigImage);
        writeFile(folder.path("little.n64"), kLittleImage);
        writeText(folder.path("notes.txt"), "not a ROM");
        writeFile(folder.path("game.z64"), sampleRom());
        writeFile(folder.path("hack.z64"), sampleTarget());
        writeFile(folder.path("hack.bps"), encodeBps(sampleRom(), sampleTarget()));
        writeText(folder.path("n64.dat"), bigImageDat());
        writeFile(folder.path("ok.z64"), sampleRom());
        EXPECT_EQ(runCli({"fix", "--cic", "6102", "ok.z64"}, dir).status, 0);
    }
    std::string path(const std::string& name) const { return folder.path(name); }
};

// Each line of text parsed as JSON; a line that does not parse fails the test.
std::vector<json> jsonLines(const std::string& text) {
    std::vector<json> objects;
    for (const std::string& line : linesOf(text)) {
        try {
            objects.push_back(json::parse(line));
        } catch (const json::exception& error) {
            ADD_FAILURE() << error.what() << ": " << line;
        }
    }
    return objects;
}

// A call of each command over the folder's files, as the table tests make them.
struct Call {
    const char* name;
    std::vector<std::string> args;
};

// Every command, called so that it reads or (in a dry run) would write big.z64.
const Call kEveryCommand[] = {
    {"detect", {"detect", "big.z64"}},
    {"check", {"check", "--cic", "6102", "ok.z64"}},
    {"info", {"info", "big.z64"}},
    {"convert", {"convert", "-n", "--to", "little", "big.z64"}},
    {"fix", {"fix", "-n", "--cic", "6102", "game.z64"}},
    {"rename", {"rename", "-n", "--dat", "n64.dat", "big.z64"}},
    {"patch", {"patch", "-n", "game.z64", "hack.bps", "-o", "new.z64"}},
    {"make_patch", {"make-patch", "-n", "game.z64", "hack.z64", "-o", "new.bps"}},
};

// The call with more arguments after it.
std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// The first line the program writes into the pipe of running, read a byte at a time so
// that nothing past it is taken; empty when none comes within 30 s (the program is killed).
std::string firstLineOf(RunningCli& running) {
    std::string line;
    char c = 0;
    pollfd ready{fileno(running.out), POLLIN, 0};
    while (c != '\n' && poll(&ready, 1, 30000) == 1 && read(ready.fd, &c, 1) == 1) line += c;
    if (c == '\n') return line;
    kill(running.pid, SIGKILL);
    return std::string();
}

// The rest of what the program writes into the pipe of running, up to its end; read before
// waiting for the program, which would otherwise wait on the full pipe for ever.
std::string restOf(RunningCli& running) {
    std::string text;
    char buffer[4096];
    pollfd ready{fileno(running.out), POLLIN, 0};
    ssize_t got = -1;
    while (poll(&ready, 1, 30000) == 1 && (got = read(ready.fd, buffer, sizeof buffer)) > 0) text.append(buffer, got);
    if (got != 0) kill(running.pid, SIGKILL); // stalled: end it rather than hang the test
    return text;
}

} // namespace

// The first file's object comes out while the last file is still unread: standard output
// is a pipe of one page that the test stops reading after the first line, and the 200
// objects before the last are far more than it holds, so the program waits before the last
// file. The test then turns that file from big to little: a program that read every file
// before it wrote (or buffered the whole output) would call it big.
TEST(JsonLines, FirstObjectArrivesBeforeTheLastFileIsRead) {
    ScratchFolder folder;
    std::vector<std::string> args = {"detect", "--json-lines"};
    for (int i = 0; i <= 200; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%03d.z64", i);
        writeFile(folder.path(name), kBigImage);
        args.push_back(name);
    }
    RunningCli running = startCliIntoPipe(args, folder.root().u8string(), 4096);
    ASSERT_GT(running.pid, 0);
    const std::string first = firstLineOf(running);
    writeFile(folder.path("f200.z64"), kLittleImage);
    const std::string rest = restOf(running);
    const CliRun run = finishCli(running);
    ASSERT_FALSE(first.empty()) << "no object came before the program ended or stalled";
    EXPECT_EQ(json::parse(first)["file"], "f000.z64");
    const std::vector<json> others = jsonLines(rest);
    ASSERT_EQ(others.size(), 201u) << run.err; // the 200 other objects, then the summary
    EXPECT_EQ(others[199]["file"], "f200.z64");
    EXPECT_EQ(others[199]["order"], "little") << "the last file was read before the first object came out";
    EXPECT_EQ(run.status, 0);
}

// --json-lines on every command: one object a line with "file" and "outcome", then the
// closing object with the counts and the exit status, which is the run's own.
TEST(JsonLines, EveryCommandStreamsObjectsThenTheSummary) {
    for (const Call& call : kEveryCommand) {
        Folder f;
        const CliRun run = runCli(with(call.args, {"--json-lines"}), f.dir);
        const std::vector<json> lines = jsonLines(run.out);
        ASSERT_EQ(lines.size(), 2u) << call.name << "\n" << run.out << run.err;
        EXPECT_TRUE(lines[0].contains("file")) << call.name;
        const std::string outcome = lines[0].value("outcome", "");
        EXPECT_FALSE(outcome.empty()) << call.name << ": every object has the status key";
        EXPECT_EQ(lines[1]["summary"], json({{outcome, 1}})) << call.name;
        EXPECT_EQ(lines[1]["files"], 1) << call.name;
        EXPECT_EQ(lines[1]["exit_status"], run.status) << call.name;
    }
}

// --json stays one document; --json and --json-lines together are a usage error.
TEST(JsonLines, DocumentStaysOneArrayAndTheFormsExcludeEachOther) {
    Folder f;
    const CliRun document = runCli({"detect", "--json", "big.z64", "nothing.z64"}, f.dir);
    EXPECT_EQ(document.status, 1);
    const json parsed = json::parse(document.out);
    ASSERT_TRUE(parsed.is_array());
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0]["outcome"], "recognised");
    EXPECT_EQ(parsed[1]["outcome"], "failed"); // a failure has the key too, then "error"
    EXPECT_TRUE(parsed[1].contains("error"));
    EXPECT_EQ(runCli({"detect", "--json", "--json-lines", "big.z64"}, f.dir).status, 2);
}

// One name for the status key: "outcome" in every command; convert keeps "result" as an
// alias, check keeps "verdict" (they are listed in docs/json.md as going away).
TEST(JsonLines, OneStatusKeyWithTheOldKeysKept) {
    Folder f;
    const json converted = jsonLines(runCli({"convert", "--json-lines", "-n", "--to", "v64", "big.z64"}, f.dir).out)[0];
    EXPECT_EQ(converted["outcome"], "would_convert");
    EXPECT_EQ(converted["result"], "would_convert");
    const json checked = jsonLines(runCli({"check", "--json-lines", "big.z64"}, f.dir).out)[0];
    EXPECT_EQ(checked["outcome"], "not_verified"); // 8 bytes hold no boot code
    EXPECT_EQ(checked["verdict"], "not verified");
    const std::string fixLine = linesOf(runCli({"fix", "--json-lines", "-n", "--cic", "6102", "game.z64"}, f.dir).out)[0];
    const nlohmann::ordered_json fixed = nlohmann::ordered_json::parse(fixLine); // keys in their order
    EXPECT_EQ(fixed["outcome"], "would_fix");
    EXPECT_EQ(fixed.begin().key(), "file");
    EXPECT_EQ(std::next(fixed.begin()).key(), "outcome"); // right after "file", as everywhere
}

// -q on every command: the lines of steps go, the exit status stays.
TEST(CommonOptions, QuietOnEveryCommand) {
    for (const Call& call : kEveryCommand) {
        Folder f;
        const CliRun loud = runCli(call.args, f.dir);
        const CliRun quiet = runCli(with(call.args, {"-q"}), f.dir);
        EXPECT_NE(loud.out, "") << call.name;
        EXPECT_EQ(quiet.out, "") << call.name << ": " << quiet.err;
        EXPECT_EQ(quiet.status, loud.status) << call.name << ": " << quiet.err;
    }
}

// -q keeps the lines of files check found wrong, and the summary.
TEST(CommonOptions, QuietCheckKeepsWhatIsWrong) {
    Folder f;
    const CliRun run = runCli({"check", "-q", "--cic", "6102", "game.z64", "big.z64"}, f.dir);
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_EQ(lines[0].rfind("game.z64: mismatch", 0), 0u) << lines[0]; // the sample's codes are made up
    EXPECT_EQ(lines[1].rfind("big.z64: not verified", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "1 mismatch, 1 not verified");
}

// --dry-run on patch and make-patch goes through the whole job and writes nothing; a folder
// that cannot take the new file fails the dry run as it would fail the real one.
TEST(CommonOptions, DryRunOfTheWritersOfNewFiles) {
    Folder f;
    const CliRun patch = runCli({"patch", "--dry-run", "game.z64", "hack.bps", "-o", "new.z64"}, f.dir);
    EXPECT_EQ(patch.status, 0) << patch.err;
    EXPECT_EQ(patch.out.rfind("game.z64 + hack.bps -> new.z64 would be written (BPS made for big-endian", 0), 0u)
        << patch.out;
    const CliRun made = runCli({"make-patch", "-n", "game.z64", "hack.z64", "-o", "new.bps"}, f.dir);
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.out.find("-> new.bps would be written (BPS"), std::string::npos) << made.out;
    EXPECT_FALSE(fileExists(f.path("new.z64")));
    EXPECT_FALSE(fileExists(f.path("new.bps")));
    const CliRun nowhere = runCli({"patch", "-n", "game.z64", "hack.bps", "-o", "no/such/new.z64"}, f.dir);
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_NE(nowhere.err.find("dornavel-cli: no/such/new.z64: cannot write: "), std::string::npos) << nowhere.err;
}

// check, info and detect end with a summary line after more than one file, as the writers do.
TEST(CommonOptions, SummaryAfterSeveralFilesInEveryReader) {
    Folder f;
    const CliRun detect = runCli({"detect", "big.z64", "little.n64", "notes.txt"}, f.dir);
    EXPECT_EQ(detect.out, "big.z64: big\nlittle.n64: little\nnotes.txt: unknown\n2 recognised, 1 of unknown order\n");
    const CliRun check = runCli({"check", "big.z64", "nothing.z64"}, f.dir);
    EXPECT_EQ(linesOf(check.out).back(), "1 not verified, 1 failed"); // the pattern failed as an argument
    const CliRun info = runCli({"info", "big.z64", "little.n64"}, f.dir);
    EXPECT_NE(info.out.find("\n\n2 identified\n"), std::string::npos) << info.out; // set off from the blocks
    const CliRun one = runCli({"detect", "big.z64"}, f.dir);
    EXPECT_EQ(one.out, "big.z64: big\n"); // a single file's line says it all
}

// -V is --version, and help is --help, for the program and for a command.
TEST(CommonOptions, VersionAndHelpCommand) {
    const CliRun version = runCli({"-V"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, runCli({"--version"}).out);
    const CliRun help = runCli({"help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, runCli({"--help"}).out);
    const CliRun convertHelp = runCli({"help", "convert"});
    EXPECT_EQ(convertHelp.status, 0);
    EXPECT_EQ(convertHelp.out, runCli({"convert", "--help"}).out);
    const CliRun unknown = runCli({"help", "nothing"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown command 'nothing'"), std::string::npos) << unknown.err;
}

// "-" as FILE reads the names on standard input, a line each or NUL-separated with -0;
// a name read is a FILE like any other (a missing one fails, a folder wants -r).
TEST(StandardStreams, NamesFromStandardInput) {
    Folder f;
    const CliRun lines = runCliWithInput({"detect", "-"}, "big.z64\nlittle.n64\n\nmissing.z64\n", f.dir);
    EXPECT_EQ(lines.status, 1);
    EXPECT_EQ(linesOf(lines.out), (std::vector<std::string>{"big.z64: big", "little.n64: little",
                                                             "2 recognised, 1 failed"}));
    EXPECT_NE(lines.err.find("missing.z64: cannot read"), std::string::npos) << lines.err;
    writeFile(f.path("two\nlines.z64"), kV64Image);
    const CliRun nul = runCliWithInput({"detect", "-0", "-", "big.z64"}, std::string("two\nlines.z64\0", 14), f.dir);
    EXPECT_EQ(nul.status, 0) << nul.err;
    EXPECT_EQ(nul.out, "two\\nlines.z64: v64\nbig.z64: big\n2 recognised\n");
    const CliRun none = runCliWithInput({"detect", "-"}, "", f.dir);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "dornavel-cli: -: no file name on standard input\n");
}

// The bytes of a file as text.
std::string asText(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Both streams sent to one file keep the order the lines were said in: the lines of the
// files before a failure come before its message.
TEST(StandardStreams, OneFileForBothKeepsTheOrder) {
    Folder f;
    const std::string command = "cd '" + f.dir + "' && '" DORNAVEL_CLI_PATH "' detect big.z64 missing.z64 little.n64 >both.txt 2>&1";
    EXPECT_NE(std::system(command.c_str()), 0); // the missing file fails the call
    const std::vector<std::string> lines = linesOf(asText(readFile(f.path("both.txt"))));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "big.z64: big");
    EXPECT_EQ(lines[1].rfind("dornavel-cli: missing.z64: cannot read: ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "little.n64: little");
}

// patch -o - writes the new ROM to standard output and nothing else there; with a JSON form
// it is refused, as standard output holds the JSON.
TEST(StandardStreams, PatchToStandardOutput) {
    Folder f;
    const std::string out = f.path("out.bin");
    writeText(out, "");
    const CliRun run = runCli({"patch", "game.z64", "hack.bps", "-o", "-"}, f.dir, Permissions::AsCaller, out);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(out), sampleTarget());
    EXPECT_FALSE(fileExists(f.path("-")));
    const std::string patchOut = f.path("patch.bin");
    writeText(patchOut, "");
    const CliRun made = runCli({"make-patch", "game.z64", "hack.z64", "-o", "-"}, f.dir, Permissions::AsCaller, patchOut);
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(runCli({"make-patch", "game.z64", "hack.z64", "-o", "made.bps"}, f.dir).status, 0);
    EXPECT_EQ(readFile(patchOut), readFile(f.path("made.bps"))) << "the same patch as made into a file";
    // a standard output that takes nothing (a full disk) fails the call with the reason
    const CliRun full = runCli({"patch", "game.z64", "hack.bps", "-o", "-"}, f.dir, Permissions::AsCaller, "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
    const CliRun json = runCli({"patch", "--json", "game.z64", "hack.bps", "-o", "-"}, f.dir);
    EXPECT_EQ(json.status, 2);
    EXPECT_NE(json.err.find("standard output holds the JSON"), std::string::npos) << json.err;
}

// --progress shows the counts on standard error even where it would not be (not a terminal);
// without it nothing but the messages goes there.
TEST(Progress, ShownWhenAskedOnlyWhereStandardErrorIsNoTerminal) {
    Folder f;
    const CliRun asked = runCli({"convert", "--progress", "--to", "v64", "big.z64", "little.n64"}, f.dir);
    EXPECT_EQ(asked.status, 0) << asked.err;
    EXPECT_NE(asked.err.find("2/2 files, 0.0 of 0.0 MiB"), std::string::npos) << asked.err;
    EXPECT_EQ(asked.err.back(), '\n'); // the line is ended before the program is
    const CliRun plain = runCli({"convert", "--to", "big", "big.z64", "little.n64"}, f.dir);
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(runCli({"detect", "--progress", "--no-progress", "big.z64"}, f.dir).status, 2);
    // every command takes the two options
    for (const Call& call : kEveryCommand) {
        const CliRun shown = runCli(with(call.args, {"--progress"}), f.dir);
        EXPECT_EQ(shown.status, 0) << call.name << ": " << shown.err;
        EXPECT_NE(shown.err.find("1/1 files"), std::string::npos) << call.name << ": " << shown.err;
        const CliRun hidden = runCli(with(call.args, {"--no-progress"}), f.dir);
        EXPECT_EQ(hidden.status, 0) << call.name << ": " << hidden.err;
        EXPECT_EQ(hidden.err, "") << call.name;
    }
}

// On a terminal the progress line is taken off before any other line: overwritten with
// spaces between two carriage returns, so the line printed next starts clean.
TEST(Progress, TakenOffTheTerminalBeforeALine) {
    Folder f;
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (chdir(f.dir.c_str()) == 0)
            execl(DORNAVEL_CLI_PATH, DORNAVEL_CLI_PATH, "detect", "--progress", "big.z64", "little.n64", nullptr);
        _exit(127);
    }
    ASSERT_GT(pid, 0) << "no terminal for the test";
    std::string said;
    char buffer[4096];
    for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(got));
    close(terminal); // the read ends with EIO once the program has ended
    int status = 0;
    waitpid(pid, &status, 0);
    const std::size_t line = said.find("big.z64: big");
    ASSERT_NE(line, std::string::npos) << said;
    const std::string before = said.substr(0, line); // "\r0/2 files, ...\r     \r"
    ASSERT_EQ(before.rfind("\r0/2 files, ", 0), 0u) << said;
    const std::size_t blank = before.rfind('\r', before.size() - 2);
    EXPECT_EQ(before.back(), '\r');
    EXPECT_GT(before.size() - 2, blank) << said;
    EXPECT_EQ(before.find_first_not_of(' ', blank + 1), before.size() - 1) << said;
}
