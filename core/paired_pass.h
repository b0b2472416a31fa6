// A pass over a file two spans at a time: the first on the calling thread, the second on a
// helper thread, so that a pass bound by copying bytes in and out of the system's cache
// takes both cores. Each round ends before the next begins, so what lies before a round is
// always done.
#pragma once

#include <cstdint>
#include <functional>

// Does one span of a pass: length bytes from offset on; lane (0 or 1) tells which of two
// buffers it may use. It runs on the helper thread for lane 1, so it touches nothing the
// other lane touches.
using PassSpan = std::function<bool(std::int64_t offset, std::int64_t length, int lane)>;
// Runs on the calling thread once both spans of the round from start to end are done.
using PassRound = std::function<bool(std::int64_t start, std::int64_t end)>;

// Goes through the first size bytes two spans of span bytes a round, stopping at the first
// step that fails (both spans of that round may have run). The second span runs on the calling thread too, after the first, where the
// file operations in use do not take calls from two threads (a test's stand-in) or no
// thread can be started.
bool pairedPass(std::int64_t size, std::int64_t span, const PassSpan& step, const PassRound& round);
