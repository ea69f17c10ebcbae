// Printing and parsing bus values of 64, 1024 and 4096 bits, in turns with the same conversions of
// GMP through both its interfaces (mpz and mpn); a summary after the runs gives the time of each
// conversion relative to the faster of GMP's, and the aims of the decimal and hexadecimal ones
// both ways. Every side converts batches of different values, the same batches on each side, and
// every side's outputs are checked to agree with GMP's before they are timed.
#include "bench_reporter.h"
#include "ksm.h"
#include "vokr_number.h"

#include <benchmark/benchmark.h>
#include <gmp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int WIDTHS[] = {64, 1024, 4096};
// Values converted per iteration: as many as make a data log of 16 KB (256 of 64 bits, 16 of 1024,
// 4 of 4096), so that a conversion of a few nanoseconds outweighs the loop and the timer, the
// branches see values of different lengths, and the log stays in the first-level cache as GMP's
// limbs do.
constexpr int LOG_BYTES = 16384;
int batch_of(int width) { return LOG_BYTES / width; }

bool g_failed = false;

// A batch of random values of one width: as a data log holds them (one row per bit, most significant
// first, value b in sample column b), in GMP's limbs and as mpz integers, and GMP's texts of them.
class VALUES {
public:
    explicit VALUES(int width)
        : width(width), words(width / 64), batch(batch_of(width)), m_bytes(size_t(width) * batch),
          m_rows(size_t(width)), m_limbs(size_t(words) * batch), m_mpz(batch)
    {
        std::mt19937_64 random{std::mt19937_64::result_type(width)};
        for (int b = 0; b < batch; ++b) {
            mp_limb_t* l = &m_limbs[size_t(b) * size_t(words)];
            for (int i = 0; i < words; ++i)
                l[i] = random();
            // Some values shorter than the width, so that texts of every length come up.
            if (b % 4 == 1)
                l[words - 1] >>= random() % 64;
            mpz_init(&m_mpz[size_t(b)]);
            mpz_import(&m_mpz[size_t(b)], size_t(words), -1, sizeof(mp_limb_t), 0, 0, l);
            for (int k = 0; k < width; ++k)
                m_bytes[size_t(width - 1 - k) * batch + size_t(b)] = (l[k / 64] >> (k % 64)) & 1;
        }
        for (int i = 0; i < width; ++i)
            m_rows[size_t(i)] = &m_bytes[size_t(i) * batch];
        std::vector<char> text(size_t(width) + 2);
        for (int b = 0; b < batch; ++b) {
            decimal.emplace_back(mpz_get_str(text.data(), 10, mpz(b)));
            hex.emplace_back(mpz_get_str(text.data(), -16, mpz(b)));
            const std::string bits = mpz_get_str(text.data(), 2, mpz(b));
            this->bits.push_back(std::string(size_t(width) - bits.size(), '0') + bits);
        }
    }
    ~VALUES()
    {
        for (__mpz_struct& z : m_mpz)
            mpz_clear(&z);
    }
    VALUES(const VALUES&) = delete;
    VALUES& operator=(const VALUES&) = delete;

    VOKR_NUMBER number(int b) const { return VOKR_NUMBER({m_rows.data(), width}, b); }
    mpz_srcptr mpz(int b) const { return &m_mpz[size_t(b)]; }
    const mp_limb_t* limbs(int b) const { return &m_limbs[size_t(b) * size_t(words)]; }
    const std::string& text(int b, int radix) const { return radix == 10 ? decimal[size_t(b)] : hex[size_t(b)]; }

    const int width, words, batch;
    // GMP's decimal and upper-case hexadecimal texts, and the bit characters of every value.
    std::vector<std::string> decimal, hex, bits;

private:
    std::vector<unsigned char> m_bytes;
    std::vector<const unsigned char*> m_rows;
    std::vector<mp_limb_t> m_limbs;
    std::vector<__mpz_struct> m_mpz;
};

const VALUES& values(int width)
{
    static std::map<int, VALUES> all;
    return all.try_emplace(width, width).first->second;
}

// ---- the module's conversions ----

const char* vokr_print_one(VOKR_NUMBER number, int radix)
{
    return radix == 10   ? number.udecimal_string()
           : radix == 16 ? number.hex_string(false)
           : radix == 8  ? number.octal_string(false)
                         : number.binary_string(false);
}

const char* vokr_parse_one(const std::string& text, int radix, int width)
{
    return VOKR_NUMBER(text.c_str()).get_trigger_value(radix == 10 ? KSM_GTYPE_UNSIGNED : KSM_GTYPE_HEX, width, false);
}

// ---- GMP's: mpz, and mpn with the steps mpz adds done by hand ----

// mpz_get_str into a buffer kept from call to call (upper-case digits, as ours).
const char* mpz_print_one(const VALUES& v, int b, int radix, std::vector<char>& buffer)
{
    return mpz_get_str(buffer.data(), radix == 16 ? -16 : radix, v.mpz(b));
}

// mpn_get_str on the limbs (copied first where it overwrites them), its digit values turned into
// characters: what mpz_get_str does without its size estimate and temporary allocation.
const char* mpn_print_one(const VALUES& v, int b, int radix, std::vector<char>& buffer, std::vector<mp_limb_t>& scratch)
{
    static const char DIGITS[] = "0123456789ABCDEF";
    mp_size_t n = v.words;
    const mp_limb_t* l = v.limbs(b);
    while (n > 0 && l[n - 1] == 0)
        --n;
    auto* out = reinterpret_cast<unsigned char*>(buffer.data());
    size_t length = 1;
    out[0] = 0;
    if (n > 0) {
        mp_limb_t* s = const_cast<mp_limb_t*>(l);  // power-of-two radices leave the limbs as they are
        if (radix & (radix - 1)) {
            std::memcpy(scratch.data(), l, sizeof(mp_limb_t) * size_t(n));
            s = scratch.data();
        }
        length = mpn_get_str(out, radix, s, n);
    }
    for (size_t i = 0; i < length; ++i)
        out[i] = static_cast<unsigned char>(DIGITS[out[i]]);
    out[length] = '\0';
    return buffer.data();
}

// mpz_set_str into an integer kept from call to call, with room for the width.
mp_srcptr mpz_parse_one(const std::string& text, int radix, mpz_ptr value)
{
    mpz_set_str(value, text.c_str(), radix);
    return value->_mp_d;
}

// The characters turned into digit values, then mpn_set_str: what mpz_set_str does without its
// checks and reallocation. Returns the limb count.
mp_size_t mpn_parse_one(const std::string& text, int radix, std::vector<unsigned char>& digits,
                        std::vector<mp_limb_t>& limbs)
{
    const size_t length = text.size();
    for (size_t i = 0; i < length; ++i) {
        const unsigned c = static_cast<unsigned char>(text[i]);
        digits[i] = static_cast<unsigned char>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return mpn_set_str(limbs.data(), digits.data(), length, radix);
}

// ---- every side's outputs against GMP's texts, checked once per width before timing ----

std::string limbs_as_bits(const mp_limb_t* limbs, mp_size_t n, int width)
{
    std::string bits(size_t(width), '0');
    for (int k = 0; k < width && k / 64 < n; ++k)
        bits[size_t(width - 1 - k)] = char('0' + ((limbs[k / 64] >> (k % 64)) & 1));
    return bits;
}

// How the outputs for value b in a radix differ from GMP's texts, or an empty text.
std::string value_disagreement(const VALUES& v, int b, int radix)
{
    const int width = v.width;
    std::vector<char> buffer(size_t(width) + 2);
    std::vector<mp_limb_t> scratch(size_t(v.words) + 1), limbs(size_t(v.words) + 2);
    std::vector<unsigned char> digits(size_t(width) + 2);
    const std::string& text = v.text(b, radix);
    const std::string& bits = v.bits[size_t(b)];
    const std::string where = " at " + std::to_string(width) + " bits, radix " + std::to_string(radix);
    std::string ours = vokr_print_one(v.number(b), radix);
    ours.erase(0, std::min(ours.find_first_not_of('0'), ours.size() - 1));  // hex keeps its leading zeros
    if (ours != text)
        return "our print " + ours + " is not " + text + where;
    if (mpz_print_one(v, b, radix, buffer) != text || mpn_print_one(v, b, radix, buffer, scratch) != text)
        return "GMP's print is not " + text + where;
    if (vokr_parse_one(text, radix, width) != bits)
        return "our parse of " + text + " is not " + bits + where;
    const mp_size_t n = mpn_parse_one(text, radix, digits, limbs);
    if (limbs_as_bits(limbs.data(), n, width) != bits)
        return "mpn_set_str of " + text + " differs" + where;
    return {};
}

// The first disagreement at a width, or an empty text.
std::string disagreement(int width)
{
    const VALUES& v = values(width);
    for (int b = 0; b < v.batch; ++b)
        for (int radix : {10, 16})
            if (std::string error = value_disagreement(v, b, radix); !error.empty())
                return error;
    return {};
}

bool outputs_agree(benchmark::State& state, int width)
{
    static std::map<int, std::string> checked;
    const auto found = checked.find(width);
    const std::string& error = found != checked.end() ? found->second : checked[width] = disagreement(width);
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        g_failed = true;
    }
    return error.empty();
}

// ---- the benchmarks: the three sides in turns ----

// A side's conversion of one batch.
using BATCH = std::function<void()>;

// Every side's one-batch conversion of `operation` at a width: ours, then GMP's mpz and mpn.
std::vector<BATCH> sides_of(const VALUES& v, int radix, bool parse)
{
    const int width = v.width;
    auto buffer = std::make_shared<std::vector<char>>(size_t(width) + 2);
    auto scratch = std::make_shared<std::vector<mp_limb_t>>(size_t(v.words) + 2);
    auto digits = std::make_shared<std::vector<unsigned char>>(size_t(width) + 2);
    auto value = std::shared_ptr<__mpz_struct>(new __mpz_struct, [](__mpz_struct* z) {
        mpz_clear(z);
        delete z;
    });
    mpz_init2(value.get(), mp_bitcnt_t(width));
    const VALUES* values = &v;
    if (parse)
        return {[=] {
                    for (int b = 0; b < values->batch; ++b)
                        benchmark::DoNotOptimize(vokr_parse_one(values->text(b, radix), radix, width));
                },
                [=] {
                    for (int b = 0; b < values->batch; ++b) {
                        benchmark::DoNotOptimize(mpz_parse_one(values->text(b, radix), radix, value.get()));
                        benchmark::ClobberMemory();
                    }
                },
                [=] {
                    for (int b = 0; b < values->batch; ++b) {
                        benchmark::DoNotOptimize(mpn_parse_one(values->text(b, radix), radix, *digits, *scratch));
                        benchmark::ClobberMemory();
                    }
                }};
    return {[=] {
                for (int b = 0; b < values->batch; ++b)
                    benchmark::DoNotOptimize(vokr_print_one(values->number(b), radix));
            },
            [=] {
                for (int b = 0; b < values->batch; ++b)
                    benchmark::DoNotOptimize(mpz_print_one(*values, b, radix, *buffer));
            },
            [=] {
                for (int b = 0; b < values->batch; ++b)
                    benchmark::DoNotOptimize(mpn_print_one(*values, b, radix, *buffer, *scratch));
            }};
}

// Each turn converts BATCHES batches on every side in turn, timing each side: a change in the
// machine's speed during the run (other work, the clock) weighs on the three sides of a turn alike,
// where benchmarks run apart would each catch a different part of it. Kept by operation and width
// over all repetitions: per side the nanoseconds per value of each turn, and each turn's ratio of
// ours to the faster of GMP's two.
constexpr int BATCHES = 32;
struct TURNS {
    std::vector<double> ns[3], ratios;
};
std::map<std::string, TURNS> g_turns;

void in_turns(benchmark::State& state, const std::string& key, int width, int radix, bool parse)
{
    const VALUES& v = values(width);
    if (!outputs_agree(state, width))
        return;
    const std::vector<BATCH> sides = sides_of(v, radix, parse);
    TURNS& turns = g_turns[key];
    using CLOCK = std::chrono::steady_clock;
    for (auto _ : state) {
        double ns[3];
        for (int side = 0; side < 3; ++side) {
            const CLOCK::time_point start = CLOCK::now();
            for (int i = 0; i < BATCHES; ++i)
                sides[size_t(side)]();
            ns[side] = std::chrono::duration<double, std::nano>(CLOCK::now() - start).count() / (BATCHES * v.batch);
            turns.ns[side].push_back(ns[side]);
        }
        turns.ratios.push_back(ns[0] / std::min(ns[1], ns[2]));
    }
}

const char* const OPERATIONS[] = {"decimal_print", "decimal_parse", "hex_print",
                                  "hex_parse",     "octal_print",   "binary_print"};
// The conversions with an aim: at most this times the faster of GMP's times, at every width.
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
            const std::string key = operation + "/" + std::to_string(width);
            const bool parse = operation.find("parse") != std::string::npos;
            benchmark::RegisterBenchmark(("turns/" + key).c_str(), in_turns, key, width, radix_of(operation), parse);
        }
}

// The time of every conversion per value (medians of the turns), relative to the faster of GMP's,
// then the aims: the medians of the turns' ratios.
void print_ratios(const BENCH_REPORTER::TIMES&)
{
    std::printf("\nnanoseconds per value (medians of the turns of %d batches a side)\n", BATCHES);
    std::printf("%-16s %6s %12s %12s %12s %8s\n", "operation", "bits", "vokr", "gmp mpz", "gmp mpn", "ratio");
    for (const std::string operation : OPERATIONS)
        for (int width : WIDTHS) {
            const auto found = g_turns.find(operation + "/" + std::to_string(width));
            if (found != g_turns.end() && !found->second.ratios.empty())
                std::printf("%-16s %6d %12.1f %12.1f %12.1f %8.2f\n", operation.c_str(), width,
                            median(found->second.ns[0]), median(found->second.ns[1]), median(found->second.ns[2]),
                            median(found->second.ratios));
        }
    std::printf("\n");
    for (const std::string operation : AIMED)
        for (int width : WIDTHS) {
            const auto found = g_turns.find(operation + "/" + std::to_string(width));
            if (found != g_turns.end() && !found->second.ratios.empty())
                print_aim(operation + " " + std::to_string(width) + " bits / GMP", median(found->second.ratios),
                          "<=", AIM);
        }
}

}  // namespace

int main(int argc, char** argv)
{
    register_benchmarks();
    BENCH_REPORTER reporter(BENCH_REPORTER::CPU_TIME, print_ratios);
    const int result = bench_main(argc, argv, reporter);
    if (g_failed)
        std::printf("FAIL: a conversion's output differs from GMP's\n");
    return g_failed ? 1 : result;
}
