// The console report of a benchmark program, followed by its own table of ratios: the times of
// its runs (a single run, or the median of repeated ones) by full run name, in the unit each
// benchmark reports in.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

class BENCH_REPORTER : public benchmark::ConsoleReporter {
public:
    using TIMES = std::map<std::string, double>;
    enum CLOCK { REAL_TIME, CPU_TIME };

    BENCH_REPORTER(CLOCK clock, std::function<void(const TIMES&)> print_table)
        : m_clock(clock), m_print_table(std::move(print_table))
    {
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                m_times[run.run_name.str()] =
                    m_clock == CPU_TIME ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        m_print_table(m_times);
    }

private:
    CLOCK m_clock;
    std::function<void(const TIMES&)> m_print_table;
    TIMES m_times;
};

// One aim's line: our time divided by the reference's, both measured in the same run, and the
// limit it must keep, e.g. "paint ... / fillRect reference: 0.93 (aim <= 1.0)".
inline void print_aim(const std::string& what, double figure, const char* op, double limit)
{
    const int digits = std::fabs(limit * 10 - std::round(limit * 10)) > 1e-9 ? 2 : 1;  // 1.05 as it stands
    std::printf("%s: %.2f (aim %s %.*f)\n", what.c_str(), figure, op, digits, limit);
}

// The median of a benchmark's turns (ours and the reference timed one right after the other): the
// middle one, 0 where there are none.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::nth_element(values.begin(), values.begin() + long(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// Runs the registered benchmarks with the reporter.
inline int bench_main(int argc, char** argv, BENCH_REPORTER& reporter)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
