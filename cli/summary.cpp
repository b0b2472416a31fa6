#include "cli/summary.h"

#include <cstdio>
#include <numeric>

#include "cli/json_output.h"

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
    std::fputs((line() + "\n").c_str(), stdout);
}
