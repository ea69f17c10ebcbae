// The console report of a benchmark program, followed by its own table of ratios: the times of
// its runs (a single run, or the median of repeated ones) by full run name, in the unit each
// benchmark reports in.
#pragma once

#include <benchmark/benchmark.h>

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

// Runs the registered benchmarks with the reporter.
inline int bench_main(int argc, char** argv, BENCH_REPORTER& reporter)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

// One aim's line: our time divided by the reference's, measured in the same run, and its limit.
inline void print_aim(const std::string& what, double figure, const char* op, double limit)
{
    std::printf("%s: %.2f (aim %s %g)\n", what.c_str(), figure, op, limit);
}
