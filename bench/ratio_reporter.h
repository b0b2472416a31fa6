// A console reporter that also keeps each benchmark's real time, so ratios between benchmarks
// of the same run can be printed once they have all finished.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Plain output without colours, which reads the same on a terminal and in a log.
    RatioReporter() : ConsoleReporter(OO_None) {}

    // Prints the runs as the console reporter does and keeps the real time of each benchmark:
    // the median of its repetitions when there are several, else its single run.
    void ReportRuns(const std::vector<Run>& runs) override;

    // The kept real time in seconds of the benchmark called name; false if it has none
    // (filtered out, or it failed).
    bool realSeconds(const std::string& name, double& seconds) const;

    // Whether the kept time of the benchmark called name is a median of repetitions.
    bool isMedian(const std::string& name) const;

private:
    // A benchmark's kept real time and where it came from.
    struct Kept {
        double seconds = 0;
        bool median = false;
    };
    std::map<std::string, Kept> kept_; // by benchmark name
};
