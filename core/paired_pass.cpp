#include "core/paired_pass.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "core/file_ops.h"

namespace {

// Runs lane 1's span on a helper thread while lane 0's runs here; in turn where it cannot.
void runBoth(const PassSpan& step, std::int64_t offset, std::int64_t first, std::int64_t second, bool threads,
             bool& firstDone, bool& secondDone) {
    std::thread helper;
    if (threads) {
        try {
            helper = std::thread([&] { secondDone = step(offset + first, second, 1); });
        } catch (const std::system_error&) {
            // No thread to be had: the span runs here instead.
        }
    }
    firstDone = step(offset, first, 0);
    if (helper.joinable())
        helper.join();
    else
        secondDone = firstDone && step(offset + first, second, 1);
}

} // namespace

bool pairedPass(std::int64_t size, std::int64_t span, const PassSpan& step, const PassRound& round) {
    const bool threads = fileOps().concurrent();
    for (std::int64_t offset = 0; offset < size; offset += 2 * span) {
        const std::int64_t first = std::min(span, size - offset);
        const std::int64_t second = std::min(span, size - offset - first);
        bool firstDone = true;
        bool secondDone = true;
        if (second > 0)
            runBoth(step, offset, first, second, threads, firstDone, secondDone);
        else
            firstDone = step(offset, first, 0);
        if (!firstDone || !secondDone || !round(offset, offset + first + second)) return false;
    }
    return true;
}
