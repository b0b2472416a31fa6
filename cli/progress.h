// The progress of a long run on standard error: files done of the total, bytes, rate and time
// left, on one line rewritten in place. Shown on a terminal once a run has taken about a
// second, never with -q or a JSON form; --progress and --no-progress decide instead.
#pragma once

#include <cstdint>
#include <cstddef>
#include <functional>
#include <string>

namespace CLI {
class App;
}

// Adds --progress and --no-progress to the parser of a command.
void addProgressOptions(CLI::App& parser);

// Starts counting a run over files files of bytes bytes in all.
void startProgress(std::size_t files, std::int64_t bytes);

// Counts the file being gone through as done, with its size; redraws the line when due.
void progressFileDone(std::int64_t fileBytes);

// Counts written of the file being gone through as done (a conversion's progress).
void progressWithinFile(std::int64_t written, std::int64_t total);

// Takes the line off the terminal before anything else is printed there; the next count
// draws it again.
void clearProgressLine();

// Ends the run: the line is taken off a terminal; elsewhere the last state is printed.
void endProgress();

// The size of file, for the progress; 0 when it has none to tell (a pipe, a missing file).
std::int64_t progressSizeOf(const std::string& file);

// Runs the work of a command that goes through one file (patch, make-patch) as a run over
// that file, and gives the work's exit status.
int withProgressOver(const std::string& file, const std::function<int()>& work);

// The line itself, e.g. "3/200 files, 96.0 of 6400.0 MiB, 210.3 MiB/s, 28 s left"; rate and
// time left only once seconds > 0 and something is done.
std::string progressLine(std::size_t filesDone, std::size_t files, std::int64_t bytesDone, std::int64_t bytes,
                         double seconds);
