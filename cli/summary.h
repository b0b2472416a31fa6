// The closing line of a command that went through several files: how many ended which way.
#pragma once

#include <string>
#include <vector>

// Counts of outcomes under fixed labels, printed in the order of the labels, e.g.
// "12 converted, 3 already big, 2 skipped (not ROMs), 1 failed".
class Summary {
public:
    explicit Summary(std::vector<std::string> labels);

    // Adds n to the count of the outcome at index (an index into the labels).
    void add(std::size_t outcome, int n = 1);

    // How many were counted under the outcome at index.
    int count(std::size_t outcome) const;

    // The line: each outcome with a count above zero, in the order of the labels.
    std::string line() const;

    // Prints the line on standard output when more than one file was counted: after a single
    // file its own line says it all. With --json, prints nothing.
    void print() const;

private:
    std::vector<std::string> labels_;
    std::vector<int> counts_;
};
