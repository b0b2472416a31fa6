#include "cli/summary.h"

#include <cstdio>
#include <algorithm>
#include <numeric>
#include <system_error>

#include "cli/json_output.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/stop_signals.h"

Summary::Summary(std::vector<std::string> labels) : labels_(std::move(labels)), counts_(labels_.size(), 0) {}

void Summary::add(std::size_t outcome, int n) {
    counts_.at(outcome) += n;
}

int Summary::count(std::size_t outcome) const {
    return counts_.at(outcome);
}

std::string Summary::line() const {
    std::string text;
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        if (counts_[i] == 0) continue;
        if (!text.empty()) text += ", ";
        text += std::to_string(counts_[i]) + " " + labels_[i];
    }
    return text;
}

void Summary::print() const {
    if (jsonOutput()) return; // the objects say it all
    if (std::accumulate(counts_.begin(), counts_.end(), 0) <= 1) return;
    clearProgressLine();
    std::fputs(((blankLineBefore_ ? "\n" : "") + line() + "\n").c_str(), stdout);
}

namespace {

// Says where a stop signal stopped the call: after which file, in which state, and how many
// were not started.
void reportStop(const std::string& last, const std::string& state, std::size_t notStarted) {
    std::string text = std::string("stopped by ") + stopSignalName(stopSignal());
    if (!last.empty()) text += ": " + last + " was finished first (" + state + ")";
    text += "; " + std::to_string(notStarted) + (notStarted == 1 ? " file" : " files") + " not started";
    reportMessage(text);
}

// The sizes of the files of list, in its order, and their sum.
std::vector<std::int64_t> sizesOf(const FileList& list, std::int64_t& total) {
    std::vector<std::int64_t> sizes;
    total = 0;
    for (const std::string& file : list.files) total += sizes.emplace_back(progressSizeOf(file));
    return sizes;
}

} // namespace

int goThroughFiles(const FileList& list, Summary& summary, std::size_t notRom, std::size_t failed,
                   const std::vector<std::size_t>& failing,
                   const std::function<Outcomes(const std::string& file)>& handle, const StopState& stopState) {
    summary.add(notRom, list.notRoms);
    summary.add(failed, list.failures);
    bool allSucceeded = list.failures == 0;
    std::string last;
    std::size_t lastOutcome = 0;
    std::int64_t totalBytes = 0;
    const std::vector<std::int64_t> sizes = sizesOf(list, totalBytes);
    startProgress(list.files.size(), totalBytes);
    for (std::size_t index = 0; index < list.files.size(); ++index) {
        if (stopSignal() != 0) {
            endProgress();
            summary.print();
            reportStop(last, stopState(lastOutcome), list.files.size() - index);
            return 128 + stopSignal();
        }
        const WritingFile writing;
        last = list.files[index];
        const Outcomes outcomes = handle(last);
        summary.add(notRom, outcomes.notRoms);
        for (const std::size_t outcome : outcomes.list) {
            summary.add(lastOutcome = outcome);
            if (std::find(failing.begin(), failing.end(), outcome) != failing.end()) allSucceeded = false;
        }
        progressFileDone(sizes[index]);
    }
    endProgress();
    summary.print();
    if (stopSignal() != 0) return reportStop(last, stopState(lastOutcome), 0), 128 + stopSignal();
    return allSucceeded ? kExitSuccess : kExitFailure;
}
