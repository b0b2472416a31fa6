// Speed of the two in-place byte-order passes on a 64 MiB image, measured against a memcpy of
// the same size into a second buffer (the memory-bandwidth floor: a pass reads and writes every
// byte once, as memcpy does) and against the byte-by-byte loops a naive implementation would
// write. After the runs it prints the ratios between them, all taken from this one run.
//
// Run: build/release/bench/passes_bench [Google Benchmark flags]
// By default each benchmark is repeated 5 times and the ratios use the medians of the real
// times; --benchmark_repetitions=N and the other usual flags override that.

#include "core/conversion.h"
#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

// The size of the image every benchmark works on.
const std::size_t kImageSize = 64u * 1024u * 1024u;

// The largest pass / memcpy ratio the passes are meant to reach.
const double kPassTarget = 1.5;

// Benchmark names, shared by the registration and the ratio table.
const char* const kMemcpy = "memcpy";
const char* const kSwapPairs = "swapPairs";
const char* const kReverseQuads = "reverseQuads";
const char* const kBytewiseSwapPairs = "bytewise_swapPairs";
const char* const kBytewiseReverseQuads = "bytewise_reverseQuads";

// A 64 MiB image of varied bytes, every page already touched so no page fault is timed.
std::vector<unsigned char> makeImage() {
    std::vector<unsigned char> image(kImageSize);
    std::uint32_t x = 0x80371240u;
    for (unsigned char& b : image) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<unsigned char>(x >> 24);
    }
    return image;
}

// Exchanges the bytes of each 2-byte group one byte at a time, as a straightforward version
// would. It is compiled with the same flags as the core and nothing stops the optimiser from
// vectorising it, so with some compilers this baseline is faster than its source suggests.
void bytewiseSwapPairs(unsigned char* image, std::size_t n) {
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        const unsigned char t = image[i];
        image[i] = image[i + 1];
        image[i + 1] = t;
    }
}

// Reverses each 4-byte group one byte exchange at a time; the same remark as above applies.
void bytewiseReverseQuads(unsigned char* image, std::size_t n) {
    for (std::size_t i = 0; i + 3 < n; i += 4) {
        unsigned char t = image[i];
        image[i] = image[i + 3];
        image[i + 3] = t;
        t = image[i + 1];
        image[i + 1] = image[i + 2];
        image[i + 2] = t;
    }
}

// Times one in-place pass over the image; each iteration undoes the previous one, which
// changes nothing for the speed.
void runPass(benchmark::State& state, void (*pass)(unsigned char*, std::size_t)) {
    std::vector<unsigned char> image = makeImage();
    benchmark::DoNotOptimize(image.data());
    for (auto _ : state) {
        pass(image.data(), image.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kImageSize));
}

// Times a memcpy of the whole image into a second buffer of the same size.
void runMemcpy(benchmark::State& state) {
    const std::vector<unsigned char> source = makeImage();
    std::vector<unsigned char> target = makeImage();
    benchmark::DoNotOptimize(target.data());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), kImageSize);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kImageSize));
}

// Registers the five benchmarks, memcpy first so the floor is measured before the passes.
void registerBenchmarks() {
    const auto setUp = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    setUp(benchmark::RegisterBenchmark(kMemcpy, runMemcpy));
    setUp(benchmark::RegisterBenchmark(kSwapPairs, runPass, &swapPairs));
    setUp(benchmark::RegisterBenchmark(kReverseQuads, runPass, &reverseQuads));
    setUp(benchmark::RegisterBenchmark(kBytewiseSwapPairs, runPass, &bytewiseSwapPairs));
    setUp(benchmark::RegisterBenchmark(kBytewiseReverseQuads, runPass, &bytewiseReverseQuads));
}

// Prints numerator / denominator from the reporter's times, with the target when there is one.
void printRatio(const RatioReporter& reporter, const char* numerator, const char* denominator,
                double target) {
    double top = 0;
    double bottom = 0;
    if (!reporter.realSeconds(numerator, top) || !reporter.realSeconds(denominator, bottom) ||
        bottom <= 0) {
        std::printf("  %-21s / %-21s      n/a (not run)\n", numerator, denominator);
        return;
    }
    const double ratio = top / bottom;
    std::printf("  %-21s / %-21s %8.3f", numerator, denominator, ratio);
    if (target > 0) std::printf("   target <= %.2f  %s", target, ratio <= target ? "met" : "MISSED");
    std::printf("\n");
}

// Prints the table of ratios between the benchmarks of this run.
void printRatioTable(const RatioReporter& reporter) {
    const bool medians = reporter.isMedian(kMemcpy);
    std::printf("\nRatios of real times from this run (%s), %zu MiB image:\n",
                medians ? "medians of the repetitions" : "single runs", kImageSize >> 20);
    std::printf("  lower is faster for the left-hand side; 1.0 means as fast as the right\n");
    printRatio(reporter, kSwapPairs, kMemcpy, kPassTarget);
    printRatio(reporter, kReverseQuads, kMemcpy, kPassTarget);
    printRatio(reporter, kSwapPairs, kBytewiseSwapPairs, 0);
    printRatio(reporter, kReverseQuads, kBytewiseReverseQuads, 0);
    printRatio(reporter, kBytewiseSwapPairs, kMemcpy, 0);
    printRatio(reporter, kBytewiseReverseQuads, kMemcpy, 0);
}

} // namespace

// Runs the benchmarks with this program's default flags (the caller's flags come later and
// win), then prints the ratio table.
int main(int argc, char** argv) {
    std::vector<std::string> defaults = {"--benchmark_repetitions=5",
                                         "--benchmark_report_aggregates_only=true"};
    std::vector<char*> args;
    args.push_back(argv[0]);
    for (std::string& flag : defaults) args.push_back(&flag[0]);
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);

    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    registerBenchmarks();

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::cout << std::flush;
    printRatioTable(reporter);
    benchmark::Shutdown();
    return 0;
}
