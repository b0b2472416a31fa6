#include "ratio_reporter.h"

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    // Single runs and the aggregates of a benchmark arrive in separate calls, singles first.
    for (const Run& run : runs) {
        if (run.error_occurred) continue;
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        const bool single = run.run_type == Run::RT_Iteration;
        if (!median && !single) continue;
        Kept& kept = kept_[run.run_name.function_name];
        if (single && kept.median) continue;
        kept.seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        kept.median = median;
    }
}

bool RatioReporter::realSeconds(const std::string& name, double& seconds) const {
    const auto found = kept_.find(name);
    if (found == kept_.end()) return false;
    seconds = found->second.seconds;
    return true;
}

bool RatioReporter::isMedian(const std::string& name) const {
    const auto found = kept_.find(name);
    return found != kept_.end() && found->second.median;
}
