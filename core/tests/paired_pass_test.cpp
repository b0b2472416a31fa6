#include "core/paired_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "core/tests/scripted_ops.h"

namespace {

struct Span {
    std::int64_t offset, length;
    int lane;
    bool operator==(const Span& o) const { return offset == o.offset && length == o.length && lane == o.lane; }
};

// A pass of spans of 4 bytes: lane 0 takes the even spans, lane 1 the odd ones, a round
// ends after both, and the last span is short.
TEST(PairedPass, EachByteOnceTwoSpansARound) {
    const struct {
        std::int64_t size;
        std::vector<Span> spans;      // in the order of offsets
        std::vector<std::int64_t> ends; // of each round
    } cases[] = {
        {0, {}, {}},                                    // nothing to go through
        {3, {{0, 3, 0}}, {3}},                          // one short span, no second lane
        {4, {{0, 4, 0}}, {4}},                          // exactly one span
        {5, {{0, 4, 0}, {4, 1, 1}}, {5}},               // the second lane takes the rest
        {8, {{0, 4, 0}, {4, 4, 1}}, {8}},               // one whole round
        {13, {{0, 4, 0}, {4, 4, 1}, {8, 4, 0}, {12, 1, 1}}, {8, 13}},
    };
    for (const auto& c : cases) {
        std::mutex mutex;
        std::vector<Span> seen;
        std::vector<std::int64_t> ends;
        EXPECT_TRUE(pairedPass(c.size, 4,
            [&](std::int64_t offset, std::int64_t length, int lane) {
                std::lock_guard<std::mutex> hold(mutex);
                seen.push_back({offset, length, lane});
                return true;
            },
            [&](std::int64_t start, std::int64_t end) {
                EXPECT_EQ(start, ends.empty() ? 0 : ends.back()) << c.size; // rounds follow each other
                ends.push_back(end);
                return true;
            }));
        std::sort(seen.begin(), seen.end(), [](const Span& a, const Span& b) { return a.offset < b.offset; });
        EXPECT_EQ(seen, c.spans) << c.size;
        EXPECT_EQ(ends, c.ends) << c.size;
    }
}

// A span or a round that fails ends the pass: no later round begins. With one thread (a
// test's stand-in for the file operations), a first span that fails ends its round too.
TEST(PairedPass, StopsAtTheFirstFailure) {
    for (const bool oneThread : {false, true})
    for (const std::int64_t failing : {0, 4, 8, -1}) { // a span of each lane; -1: the first round
        std::unique_ptr<ScriptedOps> standIn(oneThread ? new ScriptedOps : nullptr);
        std::mutex mutex;
        std::int64_t last = -1;
        const bool done = pairedPass(24, 4,
            [&](std::int64_t offset, std::int64_t, int) {
                std::lock_guard<std::mutex> hold(mutex);
                last = std::max(last, offset);
                return offset != failing;
            },
            [&](std::int64_t, std::int64_t) { return failing != -1; });
        EXPECT_FALSE(done) << failing;
        // The failing round's spans, no more; alone, not the second after the first failed.
        const bool firstLane = failing >= 0 && failing % 8 == 0;
        EXPECT_EQ(last, oneThread && firstLane ? failing : failing <= 4 ? 4 : 12) << failing << oneThread;
    }
}

} // namespace
