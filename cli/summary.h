// The closing line of a command that went through several files: how many ended which way.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cli/file_list.h"

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

    // Puts a blank line before the line, for output made of blocks (info's).
    void separateFromBlocks() { blankLineBefore_ = true; }

private:
    std::vector<std::string> labels_;
    std::vector<int> counts_;
    bool blankLineBefore_ = false;
};

// What a stop signal leaves of the file being gone through when it came, by the file's
// outcome: "converted and whole", "left untouched", ...
using StopState = std::function<std::string(std::size_t outcome)>;

// Goes through the files of list one after another with handle, which returns each file's
// outcome (an index into the summary's labels), counts them, and prints the summary. The
// files a folder walk left out are counted under notRom, the arguments already reported under
// failed. A stop signal (held off by the caller from the start) ends the call after the file
// being gone through, said with stopState. Returns the exit status: 128 + the signal's number
// after a stop, else failure when any argument failed or any file ended in one of the
// failing outcomes.
int goThroughFiles(const FileList& list, Summary& summary, std::size_t notRom, std::size_t failed,
                   const std::vector<std::size_t>& failing,
                   const std::function<std::size_t(const std::string& file)>& handle, const StopState& stopState);
