// The recovery record's share of a durable in-place conversion: the same file converted back
// and forth with the whole road, and its record alone written, synced and removed (the read
// of the old image, the checks of its sectors, the record's sync and the folder's), each
// timed over the same rounds. Prints the medians in milliseconds and their ratio.
//
// Usage: record_cost FILE [ROUNDS]   (FILE: a big-endian ROM on a disk, not on tmpfs)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/timing.h"
#include "core/file_ops.h"
#include "core/recovery_record.h"
#include "core/rom_update.h"
#include "core/settle.h"

namespace {

// One conversion of the whole road, from one order to the other; false on a failure.
bool convertOnce(const std::string& path, ByteOrder from, ByteOrder to) {
    RomUpdate update;
    FileError error;
    const bool done = update.open(path, error) && update.convert(from, to, error) && update.close(error);
    if (!done) std::fprintf(stderr, "record_cost: %s: %s\n", path.c_str(), error.reason.c_str());
    return done;
}

// The record of a conversion of the file, made durable and removed, as the road does it.
bool recordOnce(const std::string& path, unsigned char* slice) {
    FileOps& ops = fileOps();
    std::string reason;
    const FileHandle file = ops.open(path, OpenMode::Read, reason);
    const std::int64_t size = file == kNoFile ? -1 : ops.size(file, reason);
    RecoveryRecord record;
    bool done = size >= 0 && record.beginConversion(path, ops.identifyOpen(file), ByteOrder::BigEndian,
                                                          ByteOrder::LittleEndian, size, reason);
    for (std::int64_t at = 0; done && at < size; at += static_cast<std::int64_t>(kSettleSlice)) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(size - at, kSettleSlice));
        done = ops.read(file, slice, piece, at, reason) && record.addSectors(slice, piece, reason);
    }
    done = done && record.seal(reason) && record.remove(reason);
    std::string ignored;
    if (file != kNoFile) ops.close(file, ignored);
    if (!done) std::fprintf(stderr, "record_cost: %s: %s\n", path.c_str(), reason.c_str());
    return done;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: record_cost FILE [ROUNDS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    std::vector<unsigned char> slice(kSettleSlice);
    std::vector<double> whole, record;
    for (int round = 0; round <= rounds; ++round) { // the first round only warms up
        Clock::time_point start = Clock::now();
        if (!convertOnce(path, ByteOrder::BigEndian, ByteOrder::LittleEndian)) return 1;
        const double there = millisecondsSince(start);
        start = Clock::now();
        if (!convertOnce(path, ByteOrder::LittleEndian, ByteOrder::BigEndian)) return 1;
        const double back = millisecondsSince(start);
        start = Clock::now();
        if (!recordOnce(path, slice.data())) return 1;
        const double alone = millisecondsSince(start);
        if (round == 0) continue;
        whole.push_back(there);
        whole.push_back(back);
        record.push_back(alone);
    }
    const double w = median(whole), r = median(record);
    std::printf("  %-44s %9.3f ms\n", "conversion, whole road (record included)", w);
    std::printf("  %-44s %9.3f ms\n", "the record alone (checks, sync, removal)", r);
    std::printf("  %-44s %9.3f\n", "record / whole conversion", r / w);
    return 0;
}
