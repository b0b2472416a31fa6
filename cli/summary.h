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

// How one file of the list ended: one outcome for a file, one for each entry of an archive
// gone through (a file's handler returns its single outcome as it is).
struct Outcomes {
    Outcomes() = default;
    Outcomes(std::size_t one) : list{one} {} // NOLINT: a single outcome converts by itself
    std::vector<std::size_t> list;
    int notRoms = 0; // files that proved not to hold a ROM, left out silently as a walk leaves them
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
                   const std::function<Outcomes(const std::string& file)>& handle, const StopState& stopState);
