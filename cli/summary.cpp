#include "cli/summary.h"

#include <cstdio>
#include <algorithm>
#include <numeric>

#include "cli/report.h"

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
    if (std::accumulate(counts_.begin(), counts_.end(), 0) <= 1) return;
    std::fputs((line() + "\n").c_str(), stdout);
}

int goThroughFiles(const FileList& list, Summary& summary, std::size_t notRom, std::size_t failed,
                   const std::vector<std::size_t>& failing,
                   const std::function<std::size_t(const std::string& file)>& handle) {
    summary.add(notRom, list.notRoms);
    summary.add(failed, list.failures);
    bool allSucceeded = list.failures == 0;
    for (const std::string& file : list.files) {
        const std::size_t outcome = handle(file);
        summary.add(outcome);
        if (std::find(failing.begin(), failing.end(), outcome) != failing.end()) allSucceeded = false;
    }
    summary.print();
    return allSucceeded ? kExitSuccess : kExitFailure;
}
