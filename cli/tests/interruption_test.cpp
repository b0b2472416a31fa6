// Runs that meet others or end early: a second writer, a kill in the middle of the write,
// the stop signals, the file size limit, a backup that would replace a file of the call,
// leftovers of stopped runs, and a dry run that meets what the real run would.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

#include "cli_runner.h"
#include "core/conversion.h"
#include "identity/tests/dat_samples.h"
#include "identity_samples.h"
#include "rom_images.h"

namespace fs = std::filesystem;

namespace {

// A big-endian ROM large enough that its write takes a while: a header, then bytes that
// differ from their neighbours so that any swap shows.
Bytes largeBigRom(std::size_t size = std::size_t(32) << 20) {
    Bytes rom(size);
    for (std::size_t i = 0; i < size; ++i) rom[i] = static_cast<unsigned char>(i * 7 + i / 509);
    std::copy(kBigImage.begin(), kBigImage.begin() + 4, rom.begin());
    return rom;
}

Bytes reversed(Bytes rom) {
    reverseQuads(rom.data(), rom.size());
    return rom;
}

// Waits (two seconds at most) until the first bytes of the file at path are no longer
// those of a big-endian ROM: the write-back has begun.
bool waitForTheWriteToBegin(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    unsigned char head[4] = {};
    for (int round = 0; fd >= 0 && round < 20000; ++round) {
        if (pread(fd, head, 4, 0) == 4 && head[0] != 0x80) break;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (fd >= 0) close(fd);
    return head[0] == 0x40;
}

// Waits (two seconds at most) until the process pid has the file at path open.
bool waitUntilOpen(int pid, const std::string& path) {
    const fs::path folder = "/proc/" + std::to_string(pid) + "/fd";
    for (int round = 0; round < 20000; ++round) {
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            if (fs::read_symlink(it->path(), error) == fs::u8path(path)) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return false;
}

} // namespace

// A kill -9 in the middle of the write: the reading commands say what the file holds and
// refuse it; the next conversion finishes it. Tried until a kill lands before the end.
TEST(Interrupted, AKillInTheMiddleOfTheWriteIsFinishedByTheNextRun) {
    const Bytes rom = largeBigRom();
    for (int attempt = 0; attempt < 8; ++attempt) {
        ScratchFolder folder;
        const std::string path = folder.path("game.z64");
        writeFile(path, rom);
        RunningCli running = startCli({"convert", "--to", "little", "game.z64"}, folder.root().u8string());
        const bool begun = waitForTheWriteToBegin(path);
        kill(running.pid, SIGKILL);
        const CliRun killed = finishCli(running);
        if (!begun || killed.status != 128 + SIGKILL || !fileExists(path + ".dornavel-recovery")) continue;

        const CliRun detect = runCli({"detect", "game.z64"}, folder.root().u8string());
        EXPECT_EQ(detect.status, 1);
        EXPECT_EQ(detect.out, "");
        EXPECT_EQ(detect.err, "dornavel-cli: game.z64: holds an interrupted conversion (big -> little), recorded in "
                              "game.z64.dornavel-recovery; 'dornavel-cli convert --to little' on it, or opening it in "
                              "the window, finishes it\n");
        EXPECT_EQ(runCli({"check", "game.z64"}, folder.root().u8string()).status, 1);

        const CliRun again = runCli({"convert", "--to", "little", "game.z64"}, folder.root().u8string());
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(again.out, "game.z64: an interrupted conversion (big -> little) was finished\n"
                             "game.z64: already little, left untouched\n");
        EXPECT_TRUE(readFile(path) == reversed(rom));
        EXPECT_FALSE(fileExists(path + ".dornavel-recovery"));
        return;
    }
    GTEST_SKIP() << "no kill landed in the middle of the write in 8 tries";
}

// Each stop signal during the write lets the file be finished, starts no other file, and
// ends the program with 128 + the signal's number, saying where it stopped.
TEST(Interrupted, EachStopSignalFinishesTheFileAndStartsNoOther) {
    const Bytes rom = largeBigRom();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ScratchFolder folder;
        writeFile(folder.path("a.z64"), rom);
        writeFile(folder.path("b.z64"), kBigImage);
        RunningCli running = startCli({"convert", "--to", "little", "a.z64", "b.z64"}, folder.root().u8string());
        ASSERT_TRUE(waitForTheWriteToBegin(folder.path("a.z64")));
        kill(running.pid, signal);
        const CliRun run = finishCli(running);
        const std::string name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
        EXPECT_EQ(run.status, 128 + signal) << name;
        EXPECT_EQ(run.out, "a.z64: big -> little\n") << name;
        EXPECT_EQ(run.err, "dornavel-cli: stopped by " + name +
                               ": a.z64 was finished first (converted and whole); 1 file not started\n");
        EXPECT_TRUE(readFile(folder.path("a.z64")) == reversed(rom)) << name;
        EXPECT_EQ(readFile(folder.path("b.z64")), kBigImage) << name;
    }
}

// A stop signal while a writer goes through its first file lets that file end and starts no
// other: the call ends with 128 + the signal's number and says in which state it left the
// file. Tried until the signal lands while the first file is open.
struct StopCall {
    const char* name;
    std::vector<std::string> args;
    const char* said; // the last line on standard error
};

const StopCall kStopCalls[] = {
    // the header's codes are not those of the bytes: fixed
    {"fix", {"fix", "--cic", "6102", "--backup", "a.z64", "b.z64"},
     "stopped by SIGTERM: a.z64 was finished first (fixed and whole); 1 file not started"},
    // not in the DAT
    {"rename", {"rename", "--dat", "n64.dat", "a.z64", "b.z64"},
     "stopped by SIGTERM: a.z64 was finished first (name kept); 1 file not started"},
    // one file: the new ROM is written whole
    {"patch", {"patch", "a.z64", "hack.ips", "-o", "new.z64"}, "stopped by SIGTERM once the patch was done"},
    {"make_patch", {"make-patch", "b.z64", "a.z64", "-o", "a.bps"}, "stopped by SIGTERM once the patch was written"},
};

class StopSignal : public testing::TestWithParam<StopCall> {};

TEST_P(StopSignal, EndsTheFileBeingDoneAndStartsNoOther) {
    const StopCall& call = GetParam();
    const Bytes rom = largeBigRom(std::size_t(64) << 20);
    Bytes other = rom;
    other[0x100] ^= 0xFF;
    for (int trial = 0; trial < 5; ++trial) {
        ScratchFolder folder;
        writeFile(folder.path("a.z64"), rom);
        writeFile(folder.path("b.z64"), other);
        writeText(folder.path("n64.dat"), clrMameProDat(kBigDatName, {{"Other", "Other.z64", "4", "12345678", "", "", "", ""}}));
        writeFile(folder.path("hack.ips"), {'P', 'A', 'T', 'C', 'H', 0, 1, 0, 0, 1, 0x55, 'E', 'O', 'F'});
        RunningCli running = startCli(call.args, folder.root().u8string());
        const bool open = waitUntilOpen(running.pid, folder.path("a.z64"));
        kill(running.pid, SIGTERM);
        const CliRun run = finishCli(running);
        if (!open || run.status != 128 + SIGTERM) continue; // ended before the signal came
        // without the signals held off the program would die at once, saying nothing
        const std::vector<std::string> lines = linesOf(run.err);
        const std::string last = lines.empty() ? std::string() : lines.back();
        if (last.rfind("dornavel-cli: stopped by SIGTERM: b.z64", 0) == 0) continue; // landed during the second file
        EXPECT_EQ(last, std::string("dornavel-cli: ") + call.said) << call.name << ": " << run.err;
        EXPECT_EQ(readFile(folder.path("b.z64")), other) << call.name; // never started, or only read
        return;
    }
    GTEST_SKIP() << "no stop signal landed while the first file was open in 5 tries";
}

INSTANTIATE_TEST_SUITE_P(Writers, StopSignal, testing::ValuesIn(kStopCalls),
                         [](const testing::TestParamInfo<StopCall>& info) { return std::string(info.param.name); });

// A file size limit below the ROM's size is found before anything is written: no SIGXFSZ
// halfway, no partial backup, the file as it was.
TEST(SizeLimit, IsCheckedBeforeAnyByteIsWritten) {
    ScratchFolder folder;
    const Bytes rom = largeBigRom(std::size_t(1) << 20);
    writeFile(folder.path("game.z64"), rom);
    const CliRun plain = runCli({"convert", "--to", "little", "game.z64"}, folder.root().u8string());
    EXPECT_EQ(plain.status, 0); // without a limit, as a control
    writeFile(folder.path("game.z64"), rom);

    const std::string limitText = "this process may write files of at most 65536 bytes (the file size limit, "
                                  "ulimit -f), and the file has 1048576";
    RunningCli running = startCli({"convert", "--to", "little", "game.z64"}, folder.root().u8string(), 65536);
    const CliRun limited = finishCli(running);
    EXPECT_EQ(limited.status, 1);
    EXPECT_EQ(limited.err, "dornavel-cli: game.z64: cannot write back: " + limitText + "; the file was not changed\n");
    running = startCli({"convert", "--to", "little", "--backup", "game.z64"}, folder.root().u8string(), 65536);
    const CliRun backup = finishCli(running);
    EXPECT_EQ(backup.status, 1);
    EXPECT_EQ(backup.err, "dornavel-cli: game.z64: cannot write the backup game.z64.bak: " + limitText + "\n");
    EXPECT_TRUE(readFile(folder.path("game.z64")) == rom);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.root()), fs::directory_iterator()), 1);
}

// A file another program holds locked is turned away, also by a dry run; two conversions at
// once leave the file whole in the new order, whichever of them wins.
TEST(Lock, ASecondWriterIsTurnedAwayAndNeverMixesTheFile) {
    ScratchFolder folder;
    const std::string path = folder.path("game.z64");
    writeFile(path, kBigImage);
    const int held = open(path.c_str(), O_RDWR);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    for (const bool dryRun : {false, true}) {
        std::vector<std::string> args = {"convert", "--to", "little", "game.z64"};
        if (dryRun) args.push_back("--dry-run");
        const CliRun run = runCli(args, folder.root().u8string());
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "dornavel-cli: game.z64: in use by another program\n");
    }
    close(held);
    EXPECT_EQ(readFile(path), kBigImage);

    const Bytes rom = largeBigRom(std::size_t(8) << 20);
    for (int trial = 0; trial < 5; ++trial) {
        writeFile(path, rom);
        RunningCli first = startCli({"convert", "--to", "little", "game.z64"}, folder.root().u8string());
        RunningCli second = startCli({"convert", "--to", "little", "--backup", "game.z64"}, folder.root().u8string());
        const CliRun one = finishCli(first);
        const CliRun two = finishCli(second);
        EXPECT_TRUE(readFile(path) == reversed(rom)) << trial; // converted once, never twice or half
        for (const CliRun& run : {one, two})
            EXPECT_TRUE(run.status == 0 || run.err.find("in use by another program") != std::string::npos) << run.err;
        // A backup, when written, holds one whole order too.
        const Bytes backup = readFile(path + ".bak");
        EXPECT_TRUE(backup.empty() || backup == rom) << trial;
        fs::remove(fs::u8path(path + ".bak"));
    }
}

// g.z64's backup would take the place of g.z64.bak, another ROM named in the call: g.z64 is
// refused and g.z64.bak is converted as asked, never replaced.
TEST(Backup, NeverReplacesAFileNamedInTheSameCall) {
    ScratchFolder folder;
    writeFile(folder.path("g.z64"), kBigImage);
    writeFile(folder.path("g.z64.bak"), kV64Image);
    const CliRun run = runCli({"convert", "--to", "little", "--backup", "g.z64", "g.z64.bak"}, folder.root().u8string());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dornavel-cli: g.z64: cannot write the backup g.z64.bak: that is another file named in this "
                       "call, which the backup would replace; nothing converted\n");
    EXPECT_EQ(readFile(folder.path("g.z64")), kBigImage);
    EXPECT_EQ(readFile(folder.path("g.z64.bak")), kLittleImage);
    EXPECT_EQ(readFile(folder.path("g.z64.bak.bak")), kV64Image);
}

// A temporary backup left by a killed run never blocks the next backup, and goes.
TEST(Leftovers, AStaleTemporaryBackupIsRemoved) {
    ScratchFolder folder;
    writeFile(folder.path("game.z64"), kBigImage);
    writeFile(folder.path("game.z64.bak.dornavel-tmp"), {0x80, 0x37}); // half a backup
    const CliRun run = runCli({"convert", "--to", "v64", "--backup", "game.z64"}, folder.root().u8string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(folder.path("game.z64.bak")), kBigImage);
    EXPECT_FALSE(fileExists(folder.path("game.z64.bak.dornavel-tmp")));
}

// On a read-only mount the dry run says what the real run then meets.
TEST(DryRun, MeetsAReadOnlyMountAsTheRealRunWould) {
    ScratchFolder folder;
    if (mount("dornavel-test", folder.root().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here";
    writeFile(folder.path("game.z64"), kBigImage);
    writeFile(folder.path("notes.txt"), {'n', 'o', 't', 'e'});
    const bool readOnly = mount(nullptr, folder.root().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    CliRun dry, real;
    if (readOnly) {
        dry = runCli({"convert", "--to", "little", "--dry-run", "game.z64"}, folder.root().u8string());
        real = runCli({"convert", "--to", "little", "game.z64"}, folder.root().u8string());
    }
    // Files that need no write keep their answers: one already in the order, one no ROM.
    CliRun already, notRom;
    if (readOnly) {
        already = runCli({"convert", "--to", "big", "game.z64"}, folder.root().u8string());
        notRom = runCli({"convert", "--to", "big", "notes.txt"}, folder.root().u8string());
    }
    const Bytes after = readFile(folder.path("game.z64"));
    umount(folder.root().c_str());
    if (!readOnly) GTEST_SKIP() << "cannot make the tmpfs read-only here";
    EXPECT_EQ(already.status, 0);
    EXPECT_EQ(already.out, "game.z64: already big, left untouched\n");
    EXPECT_EQ(notRom.status, 1);
    EXPECT_EQ(notRom.err, "dornavel-cli: notes.txt: skipped: byte order not recognised (give --from ORDER to convert it anyway)\n");
    const std::string said = "dornavel-cli: game.z64: cannot open for update: Read-only file system\n";
    EXPECT_EQ(dry.status, 1);
    EXPECT_EQ(dry.err, said);
    EXPECT_EQ(real.status, 1);
    EXPECT_EQ(real.err, said);
    EXPECT_EQ(after, kBigImage);
}
