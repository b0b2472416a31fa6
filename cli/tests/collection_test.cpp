// Calls over many files: the closing summary, --quiet and --dry-run.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <utility>

#include "cli_runner.h"
#include "rom_images.h"

namespace fs = std::filesystem;

namespace {

// One file of every outcome, and a folder walked with -r:
//   a.n64 little, b.v64 v64 (to convert), c.z64 big (already), d.txt named but no ROM
//   (skipped, with an error), missing.z64 (failed), docs/rom.z64 big (already) and
//   docs/notes, no ROM (skipped quietly: nobody named it).
class Collection : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder_.root() / "docs");
        writeFile(folder_.path("a.n64"), kLittleImage);
        writeFile(folder_.path("b.v64"), kV64Image);
        writeFile(folder_.path("c.z64"), kBigImage);
        writeFile(folder_.path("d.txt"), {'t', 'e', 'x', 't'});
        writeFile(folder_.path("docs/notes"), {0x80, 0x00});
        writeFile(folder_.path("docs/rom.z64"), kBigImage);
    }

    // Runs convert with options over every file and the folder.
    CliRun convert(std::vector<std::string> options) const {
        options.insert(options.begin(), "convert");
        for (const char* file : {"a.n64", "b.v64", "c.z64", "d.txt", "missing.z64", "-r", "docs"})
            options.push_back(file);
        return runCli(options, folder_.root().u8string());
    }

    ScratchFolder folder_;
};

} // namespace

// Every file's own line, then the counts; d.txt and missing.z64 fail the call, the folder's
// file that is no ROM does not.
TEST_F(Collection, SummaryCountsEachOutcome) {
    const CliRun run = convert({"--to", "big"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "a.n64: little -> big\n"
              "b.v64: v64 -> big\n"
              "c.z64: already big, left untouched\n"
              "docs/rom.z64: already big, left untouched\n"
              "2 converted, 2 already big, 2 skipped (not ROMs), 1 failed\n");
    EXPECT_EQ(linesOf(run.err).size(), 2u) << run.err;
}

// --quiet: the failures on standard error and the summary, nothing else; after a single
// file that succeeded, nothing at all.
TEST_F(Collection, QuietPrintsOnlyFailuresAndTheSummary) {
    const CliRun run = convert({"--to", "little", "--backup", "-q"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "3 converted, 1 already little, 2 skipped (not ROMs), 1 failed\n");
    const std::vector<std::string> errors = linesOf(run.err);
    ASSERT_EQ(errors.size(), 2u) << run.err;
    EXPECT_EQ(errors[0].rfind("dornavel-cli: d.txt: skipped: ", 0), 0u) << errors[0];
    EXPECT_EQ(errors[1].rfind("dornavel-cli: missing.z64: cannot read: ", 0), 0u) << errors[1];
    EXPECT_EQ(readFile(folder_.path("b.v64.bak")), kV64Image);

    const CliRun single = runCli({"convert", "--quiet", "--to", "v64", "a.n64"}, folder_.root().u8string());
    EXPECT_EQ(single.status, 0) << single.err;
    EXPECT_EQ(single.out, "");
    EXPECT_EQ(single.err, "");
}

namespace {

// Every file under root with its bytes and modification time.
std::map<std::string, std::pair<Bytes, fs::file_time_type>> snapshot(const fs::path& root) {
    std::map<std::string, std::pair<Bytes, fs::file_time_type>> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[entry.path().u8string()] = {readFile(entry.path().u8string()), entry.last_write_time()};
    return files;
}

} // namespace

// --dry-run says what each file would go through and leaves every byte, name and time.
TEST_F(Collection, DryRunSaysWhatWouldHappenAndWritesNothing) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder_.root()))
        fs::last_write_time(entry.path(), entry.last_write_time() - std::chrono::hours(24));
    const auto before = snapshot(folder_.root());

    const CliRun run = convert({"--to", "big", "--backup", "--rename", "--dry-run"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "a.n64: little -> big, backup, rename to a.rom\n"
              "b.v64: v64 -> big, backup, rename to b.rom\n"
              "c.z64: already big, left untouched\n"
              "docs/rom.z64: already big, left untouched\n"
              "2 to convert, 2 already big, 2 skipped (not ROMs), 1 failed\n");
    EXPECT_EQ(snapshot(folder_.root()), before);
}

// A dry run checks the name for --rename: taken by another file, it is the same error as in
// a real run; a name that already fits is no rename at all.
TEST(DryRun, ChecksTheNameForTheRename) {
    ScratchFolder folder;
    const Bytes other{'k', 'e', 'e', 'p'};
    writeFile(folder.path("a.z64"), kBigImage);
    writeFile(folder.path("a.bin"), other);
    writeFile(folder.path("fits.bin"), kBigImage);

    const CliRun run = runCli({"convert", "-n", "--rename", "--to", "little", "a.z64", "fits.bin"},
                              folder.root().u8string());

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "fits.bin: big -> little\n1 to convert, 1 failed\n");
    EXPECT_EQ(run.err.rfind("dornavel-cli: a.z64: cannot rename to a.bin: ", 0), 0u) << run.err;
    EXPECT_EQ(readFile(folder.path("a.z64")), kBigImage);
    EXPECT_EQ(readFile(folder.path("fits.bin")), kBigImage);
}
