// Printing and parsing bus values of 64, 1024 and 4096 bits, next to the same conversions of GMP;
// a summary after the runs gives the time of each conversion relative to GMP's, and the aims of
// the decimal and hexadecimal ones both ways.
#include "bench_reporter.h"
#include "ksm.h"
#include "vokr_number.h"

#include <benchmark/benchmark.h>
#include <gmp.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int WIDTHS[] = {64, 1024, 4096};

// A random value of one width: data-log rows as the node list view reads them (one row per bit,
// eight samples, the value in column 3), its decimal and hexadecimal texts and the same value in
// GMP.
class SAMPLE {
public:
    explicit SAMPLE(int width) : m_bytes(size_t(width) * 8), m_rows(size_t(width))
    {
        std::mt19937_64 random{std::mt19937_64::result_type(width)};
        std::string bits(size_t(width), '0');
        for (int i = 0; i < width; ++i) {
            bits[size_t(i)] = char('0' + (random() & 1));
            m_bytes[size_t(i) * 8 + 3] = bits[size_t(i)] == '1';
            m_rows[size_t(i)] = &m_bytes[size_t(i) * 8];
        }
        mpz_init_set_str(m_gmp, bits.c_str(), 2);
        std::vector<char> text(mpz_sizeinbase(m_gmp, 10) + 2);
        decimal = mpz_get_str(text.data(), 10, m_gmp);
        hex = mpz_get_str(text.data(), 16, m_gmp);
    }
    ~SAMPLE() { mpz_clear(m_gmp); }
    SAMPLE(const SAMPLE&) = delete;
    SAMPLE& operator=(const SAMPLE&) = delete;

    VOKR_NUMBER number() const { return VOKR_NUMBER({m_rows.data(), int(m_rows.size())}, 3); }
    mpz_srcptr gmp() const { return m_gmp; }
    std::string decimal, hex;

private:
    std::vector<unsigned char> m_bytes;
    std::vector<const unsigned char*> m_rows;
    mpz_t m_gmp;
};

const SAMPLE& sample(int width)
{
    static std::map<int, SAMPLE> samples;
    return samples.try_emplace(width, width).first->second;
}

// ---- the module's conversions ----

void vokr_print(benchmark::State& state, int width, int radix)
{
    const SAMPLE& s = sample(width);
    for (auto _ : state) {
        VOKR_NUMBER number = s.number();
        const char* text = radix == 10   ? number.udecimal_string()
                           : radix == 16 ? number.hex_string(false)
                           : radix == 8  ? number.octal_string(false)
                                         : number.binary_string(false);
        benchmark::DoNotOptimize(text);
    }
}

void vokr_parse(benchmark::State& state, int width, int radix)
{
    const SAMPLE& s = sample(width);
    const std::string& text = radix == 10 ? s.decimal : s.hex;
    for (auto _ : state) {
        VOKR_NUMBER number(text.c_str());
        benchmark::DoNotOptimize(
            number.get_trigger_value(radix == 10 ? KSM_GTYPE_UNSIGNED : KSM_GTYPE_HEX, width, false));
    }
}

// ---- GMP ----

void gmp_print(benchmark::State& state, int width, int radix)
{
    const SAMPLE& s = sample(width);
    std::vector<char> buffer(size_t(width) + 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(mpz_get_str(buffer.data(), radix, s.gmp()));
}

void gmp_parse(benchmark::State& state, int width, int radix)
{
    const SAMPLE& s = sample(width);
    const std::string& text = radix == 10 ? s.decimal : s.hex;
    mpz_t value;
    mpz_init2(value, mp_bitcnt_t(width));
    for (auto _ : state) {
        mpz_set_str(value, text.c_str(), radix);
        benchmark::DoNotOptimize(value->_mp_d);
    }
    mpz_clear(value);
}

const char* const OPERATIONS[] = {"decimal_print", "decimal_parse", "hex_print",
                                  "hex_parse",     "octal_print",   "binary_print"};
// The conversions with an aim: at most this times GMP's time, at every width.
const char* const AIMED[] = {"decimal_print", "decimal_parse", "hex_print", "hex_parse"};
constexpr double AIM = 1.2;

int radix_of(const std::string& operation)
{
    return operation.rfind("hex", 0) == 0 ? 16 : operation == "octal_print" ? 8 : operation == "binary_print" ? 2 : 10;
}

void register_benchmarks()
{
    for (const std::string operation : OPERATIONS)
        for (int width : WIDTHS) {
            const std::string suffix = "/" + operation + "/" + std::to_string(width);
            const int radix = radix_of(operation);
            if (operation.find("parse") != std::string::npos) {
                benchmark::RegisterBenchmark(("vokr" + suffix).c_str(), vokr_parse, width, radix);
                benchmark::RegisterBenchmark(("gmp" + suffix).c_str(), gmp_parse, width, radix);
            } else {
                benchmark::RegisterBenchmark(("vokr" + suffix).c_str(), vokr_print, width, radix);
                benchmark::RegisterBenchmark(("gmp" + suffix).c_str(), gmp_print, width, radix);
            }
        }
}

// The time of every conversion relative to GMP's, then the aims.
void print_ratios(const BENCH_REPORTER::TIMES& times)
{
    const auto ratio = [&times](const std::string& key) {
        const auto vokr = times.find("vokr/" + key);
        const auto gmp = times.find("gmp/" + key);
        return vokr != times.end() && gmp != times.end() ? vokr->second / gmp->second : 0.0;
    };
    std::printf("\n%-16s %6s %12s %12s %8s\n", "operation", "bits", "vokr (ns)", "gmp (ns)", "ratio");
    for (const std::string operation : OPERATIONS)
        for (int width : WIDTHS) {
            const std::string key = operation + "/" + std::to_string(width);
            const auto vokr = times.find("vokr/" + key);
            const auto gmp = times.find("gmp/" + key);
            if (vokr != times.end() && gmp != times.end())
                std::printf("%-16s %6d %12.1f %12.1f %8.2f\n", operation.c_str(), width, vokr->second, gmp->second,
                            ratio(key));
        }
    std::printf("\n");
    for (const std::string operation : AIMED)
        for (int width : WIDTHS) {
            const std::string key = operation + "/" + std::to_string(width);
            if (ratio(key) > 0)
                print_aim(operation + " " + std::to_string(width) + " bits / GMP", ratio(key), "<=", AIM);
        }
}

}  // namespace

int main(int argc, char** argv)
{
    register_benchmarks();
    BENCH_REPORTER reporter(BENCH_REPORTER::CPU_TIME, print_ratios);
    return bench_main(argc, argv, reporter);
}
