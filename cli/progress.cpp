#include "cli/progress.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "cli/report.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

// What --progress and --no-progress asked for.
enum class Asked { Auto, Always, Never };

// The counts of the run and the state of the line.
struct Run {
    Asked asked = Asked::Auto;
    bool active = false;      // startProgress was called and the line may be shown
    bool terminal = false;    // standard error is a terminal
    std::size_t files = 0, filesDone = 0;
    std::int64_t bytes = 0, bytesDone = 0, withinFile = 0;
    Clock::time_point start, lastDrawn;
    std::size_t drawnWidth = 0; // the columns of the line on the terminal; 0: none drawn
    bool everDrawn = false;
};

Run run;

// Whether the line is for this run: asked for, or on a terminal when nothing says otherwise.
bool wanted() {
    if (run.asked != Asked::Auto) return run.asked == Asked::Always;
    return run.terminal && stepsShown();
}

// Seconds since the run started.
double secondsSinceStart() {
    return std::chrono::duration<double>(Clock::now() - run.start).count();
}

// Draws the line when it is due: after about a second of work (at once when asked for), then
// ten times a second at most, and always when final.
void draw(bool final) {
    if (!run.active || !wanted()) return;
    const Clock::time_point now = Clock::now();
    if (run.asked == Asked::Auto && now - run.start < std::chrono::seconds(1)) return;
    if (!final && run.everDrawn && now - run.lastDrawn < std::chrono::milliseconds(100)) return;
    const std::string line = progressLine(run.filesDone, run.files, run.bytesDone + run.withinFile, run.bytes,
                                          secondsSinceStart());
    const std::size_t pad = run.terminal && run.drawnWidth > line.size() ? run.drawnWidth - line.size() : 0;
    // Elsewhere than on a terminal (--progress) each state is a line of its own.
    std::fputs((run.terminal ? "\r" + line + std::string(pad, ' ') : line + "\n").c_str(), stderr);
    std::fflush(stderr);
    run.drawnWidth = run.terminal ? line.size() : 0;
    run.lastDrawn = now;
    run.everDrawn = true;
}

// "96.0" MiB, one decimal.
std::string mebibytes(std::int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

// "28 s", "3 min 12 s".
std::string durationText(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    if (whole < 60) return std::to_string(whole) + " s";
    return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
}

} // namespace

void addProgressOptions(CLI::App& parser) {
    CLI::Option* on = parser.add_flag_callback(
        "--progress", [] { run.asked = Asked::Always; },
        "show the progress on standard error even where it would\n"
        "not be (not a terminal, -q, JSON)");
    parser.add_flag_callback("--no-progress", [] { run.asked = Asked::Never; },
                             "never show the progress (shown on a terminal for runs\n"
                             "of more than a second)")
        ->excludes(on);
}

std::string progressLine(std::size_t filesDone, std::size_t files, std::int64_t bytesDone, std::int64_t bytes,
                         double seconds) {
    std::string line = std::to_string(filesDone) + "/" + std::to_string(files) + " files, " + mebibytes(bytesDone) +
                       " of " + mebibytes(bytes) + " MiB";
    if (seconds <= 0 || bytesDone <= 0) return line;
    const double rate = static_cast<double>(bytesDone) / seconds;
    line += ", " + mebibytes(static_cast<std::int64_t>(rate)) + " MiB/s";
    if (bytes >= bytesDone) line += ", " + durationText(static_cast<double>(bytes - bytesDone) / rate) + " left";
    return line;
}

void startProgress(std::size_t files, std::int64_t bytes) {
    run.active = true;
    run.terminal = isatty(fileno(stderr)) != 0;
    run.files = files;
    run.bytes = bytes;
    run.start = Clock::now();
    draw(false);
}

void progressFileDone(std::int64_t fileBytes) {
    ++run.filesDone;
    run.bytesDone += fileBytes;
    run.withinFile = 0;
    draw(false);
}

void progressWithinFile(std::int64_t written, std::int64_t) {
    run.withinFile = written;
    draw(false);
}

void clearProgressLine() {
    if (run.drawnWidth == 0) return;
    std::fputs(("\r" + std::string(run.drawnWidth, ' ') + "\r").c_str(), stderr);
    run.drawnWidth = 0;
}

void endProgress() {
    if (run.everDrawn && !run.terminal) draw(true);
    clearProgressLine();
    run.active = false;
}

std::int64_t progressSizeOf(const std::string& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(std::filesystem::u8path(file), error);
    return error ? 0 : static_cast<std::int64_t>(size);
}

int withProgressOver(const std::string& file, const std::function<int()>& work) {
    const std::int64_t bytes = progressSizeOf(file);
    startProgress(1, bytes);
    const int status = work();
    progressFileDone(bytes);
    endProgress();
    return status;
}
