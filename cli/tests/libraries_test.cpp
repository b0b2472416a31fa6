// The libraries opened on first use: a command that needs none of them loads none of them,
// which is what keeps the program's start as short as a plain tool's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli_runner.h"
#include "rom_images.h"

namespace {

// Which of the libraries opened on first use the glibc loader says it loaded (LD_DEBUG=files,
// written to files in folder) during one run of the companion with args.
std::string librariesLoadedBy(const std::vector<std::string>& args, const ScratchFolder& folder) {
    const std::string log = folder.path("loader");
    setenv("LD_DEBUG", "files", 1);
    setenv("LD_DEBUG_OUTPUT", log.c_str(), 1);
    const CliRun run = runCli(args, folder.root().u8string());
    unsetenv("LD_DEBUG");
    unsetenv("LD_DEBUG_OUTPUT");
    EXPECT_EQ(run.status, 0) << run.err;
    std::string said;
    for (const auto& entry : std::filesystem::directory_iterator(folder.root()))
        if (entry.path().filename().u8string().rfind("loader", 0) == 0) {
            const Bytes text = readFile(entry.path().u8string());
            said.append(text.begin(), text.end());
        }
    std::string loaded;
    for (const char* library : {"libarchive", "libxml2", "libcrypto", "liblzma"})
        if (said.find(std::string("file=") + library) != std::string::npos) loaded += std::string(library) + " ";
    return loaded;
}

// A conversion needs none of them; info takes MD5 and SHA-1, so libcrypto only (this row
// shows the loader's log is read: the test fails if it is not).
TEST(LazyLibraries, EachCommandLoadsOnlyWhatItCalls) {
    ScratchFolder folder;
    writeFile(folder.path("rom.z64"), kBigImage);
    EXPECT_EQ(librariesLoadedBy({"convert", "--to", "little", "rom.z64"}, folder), "");
    EXPECT_EQ(librariesLoadedBy({"info", "rom.z64"}, folder), "libcrypto ");
}

} // namespace
