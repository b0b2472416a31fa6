// Streaming a 64 MiB ROM out of a zip: each back end of the archive library against
// `unzip -p` inflating the same zip to /dev/null, timed side by side in the same run.
// Prints the medians in milliseconds and the ratio of each back end to unzip.
//
// Usage: archive_read [FOLDER] [ROUNDS]   (FOLDER: where the ROM and its zip are made)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "bench/timing.h"

namespace {

// A 64 MiB image that deflates about as a ROM does (to some 60%): runs of code-like bytes
// from a fixed generator with repeated stretches and padding.
std::vector<unsigned char> romImage() {
    std::vector<unsigned char> rom(64u << 20);
    std::uint32_t state = 64;
    for (std::size_t at = 0; at < rom.size(); ++at) {
        state = state * 1103515245u + 12345u;
        const unsigned char value = static_cast<unsigned char>(state >> 24);
        rom[at] = (at & 0x3FFF) < 0x1000 ? rom[at & ~std::size_t(0xFFFF)] : (value & 0x3F) ? value : 0;
    }
    rom[0] = 0x80, rom[1] = 0x37, rom[2] = 0x12, rom[3] = 0x40;
    return rom;
}

// Reads the zip's one entry through the back end; false on a failure.
bool streamOnce(const std::string& zip, ArchiveBackend backend, std::vector<unsigned char>& slice) {
    ArchiveError error;
    auto reader = openArchive(zip, error, backend);
    bool done = reader && reader->openEntry(0, error);
    std::int64_t got = 0;
    while (done && (got = reader->read(slice.data(), slice.size(), error)) > 0) {
    }
    done = done && got == 0;
    if (!done) std::fprintf(stderr, "archive_read: %s\n", archiveErrorText(error).c_str());
    return done;
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string rom = folder + "/bench.z64", zip = folder + "/bench.zip";
    {
        const std::vector<unsigned char> image = romImage();
        std::ofstream(rom, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
    }
    std::remove(zip.c_str());
    if (std::system(("zip -q -j '" + zip + "' '" + rom + "'").c_str()) != 0 ||
        std::system("command -v unzip >/dev/null") != 0) {
        std::fprintf(stderr, "archive_read: needs Debian's zip and unzip\n");
        return 1;
    }
    std::vector<ArchiveBackend> backends = {ArchiveBackend::Zlib};
    if (archiveBackendAvailable(ArchiveBackend::Libarchive)) backends.push_back(ArchiveBackend::Libarchive);
    std::vector<unsigned char> slice(256 * 1024);
    std::vector<std::vector<double>> times(backends.size() + 1);
    for (int round = 0; round <= rounds; ++round) { // the first round only warms up
        Clock::time_point start = Clock::now();
        if (std::system(("unzip -p '" + zip + "' >/dev/null").c_str()) != 0) return 1;
        if (round > 0) times[0].push_back(millisecondsSince(start));
        for (std::size_t b = 0; b < backends.size(); ++b) {
            start = Clock::now();
            if (!streamOnce(zip, backends[b], slice)) return 1;
            if (round > 0) times[b + 1].push_back(millisecondsSince(start));
        }
    }
    const double unzip = median(times[0]);
    std::printf("  %-36s %9.1f ms\n", "unzip -p (64 MiB ROM)", unzip);
    for (std::size_t b = 0; b < backends.size(); ++b) {
        const double ours = median(times[b + 1]);
        const std::string name = std::string("stream, ") + (backends[b] == ArchiveBackend::Zlib ? "zlib" : "libarchive");
        std::printf("  %-36s %9.1f ms   ratio to unzip %.2f\n", name.c_str(), ours, ours / unzip);
    }
    std::remove(rom.c_str());
    std::remove(zip.c_str());
    return 0;
}
