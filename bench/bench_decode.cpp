// Decoding speed of from_base64 beside std::from_chars and std::strtoll, all
// three on the same values: every field of generated LStat-like rows, as
// base-64 numerals for from_base64 and in decimal for the others.
#include "base64.h"
#include "lstat.h"
#include "lstat_corpus.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// The values, and the same values as NUL-separated numerals in two
// notations; and the rows as LStat values, each one's end in `row_ends`.
struct Corpus {
    std::vector<std::int64_t> values;
    std::string base64;
    std::string decimal;
    std::string rows;
    std::vector<std::size_t> row_ends;
};

const Corpus& corpus()
{
    static const Corpus built = [] {
        Corpus c;
        std::mt19937_64 random(42); // NOLINT(cert-msc32-c,cert-msc51-cpp): same corpus every run
        for (int row = 0; row < 4000; ++row) {
            const char* separator = "";
            for (std::int64_t value : lstat_corpus::lstat_row(random)) {
                c.values.push_back(value);
                c.base64 += lstat_corpus::to_base64(value) + '\0';
                c.decimal += std::to_string(value) + '\0';
                c.rows += separator + lstat_corpus::to_base64(value);
                separator = " ";
            }
            c.row_ends.push_back(c.rows.size());
            c.rows += '\n';
        }
        return c;
    }();
    return built;
}

// Each decoder walks its text with the end position it returns, the way a
// caller takes a row apart, and fills `out`; the timed loop sums instead.
template <typename Decode>
void walk(benchmark::State& state, const std::string& text, Decode decode)
{
    const Corpus& c = corpus();
    for (auto _ : state) {
        std::int64_t sum = 0;
        const char* at = text.data();
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            std::int64_t value = 0;
            at = decode(at, &value) + 1;
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    const char* at = text.data();
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        std::int64_t value = 0;
        at = decode(at, &value) + 1;
        if (value != c.values[i]) {
            state.SkipWithError("a value came out wrong");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(c.values.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_from_base64(benchmark::State& state)
{
    walk(state, corpus().base64,
         [](const char* at, std::int64_t* value) { return at + from_base64(value, at); });
}

void BM_from_chars(benchmark::State& state)
{
    const std::string& text = corpus().decimal;
    const char* const end = text.data() + text.size();
    walk(state, text, [end](const char* at, std::int64_t* value) {
        return std::from_chars(at, end, *value).ptr;
    });
}

void BM_strtoll(benchmark::State& state)
{
    walk(state, corpus().decimal, [](const char* at, std::int64_t* value) {
        char* stop = nullptr;
        *value = std::strtoll(at, &stop, 10);
        return static_cast<const char*>(stop);
    });
}

// Every row held to the rule for an LStat value and decoded, as each
// engine's function and b64num-lstat read one: the numerals per second,
// beside from_base64's, are what the rule costs.
void BM_read_lstat_value(benchmark::State& state)
{
    const Corpus& c = corpus();
    const char* const text = c.rows.data();
    while (state.KeepRunning()) {
        std::int64_t sum = 0;
        std::size_t begin = 0;
        for (const std::size_t end : c.row_ends) {
            LstatRow row;
            if (is_lstat_value(text + begin, text + end, row)) {
                sum += row.values[field_size];
            }
            begin = end + 1;
        }
        benchmark::DoNotOptimize(sum);
    }
    std::size_t begin = 0;
    std::size_t at = 0;
    for (const std::size_t end : c.row_ends) {
        LstatRow row;
        if (!is_lstat_value(text + begin, text + end, row) ||
            !std::equal(row.values, row.values + row.count,
                        c.values.begin() + static_cast<long>(at))) {
            state.SkipWithError("a row came out wrong");
            return;
        }
        at += static_cast<std::size_t>(row.count);
        begin = end + 1;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(c.values.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(c.rows.size()));
}

BENCHMARK(BM_from_base64);
BENCHMARK(BM_from_chars);
BENCHMARK(BM_strtoll);
BENCHMARK(BM_read_lstat_value);

// Reports as `Base` does (the format --benchmark_format asks for), then how
// from_base64 compares with the others.
template <typename Base> class RatioReporter : public Base {
public:
    using Base::Base;

    void ReportRuns(const std::vector<benchmark::BenchmarkReporter::Run>& runs) override
    {
        Base::ReportRuns(runs);
        // With repetitions, the median stands for the benchmark.
        for (const auto& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            const bool usable = run.aggregate_name.empty() || run.aggregate_name == "median";
            if (usable && !run.error_occurred && rate != run.counters.end()) {
                items_per_second[run.run_name.function_name] = rate->second.value;
            }
        }
    }

    void print_ratios(std::FILE* out) const
    {
        const auto base64 = items_per_second.find("BM_from_base64");
        if (base64 == items_per_second.end()) {
            return;
        }
        const struct {
            const char* name;
            double goal;
        } rivals[] = {{"BM_from_chars", 1.5}, {"BM_strtoll", 5.0}};
        // Holding a value to the rule costs at most what decoding it does.
        const auto checked = items_per_second.find("BM_read_lstat_value");
        if (checked != items_per_second.end()) {
            const double ratio = checked->second / base64->second;
            (void)std::fprintf(out,
                               "read_lstat_value / from_base64 %5.2fx numerals per second "
                               "(goal 0.5x: %s)\n",
                               ratio, ratio >= 0.5 ? "met" : "MISSED");
        }
        for (const auto& rival : rivals) {
            const auto other = items_per_second.find(rival.name);
            if (other != items_per_second.end()) {
                const double ratio = base64->second / other->second;
                (void)std::fprintf(
                    out, "from_base64 / %-15s %5.2fx items per second (goal %.1fx: %s)\n",
                    rival.name + 3, ratio, rival.goal, ratio >= rival.goal ? "met" : "MISSED");
            }
        }
    }

private:
    std::map<std::string, double> items_per_second;
};

// Runs the benchmarks with the reporter and prints the ratios where they do
// not spoil machine-readable output.
template <typename Reporter> void run_and_compare(Reporter& reporter, std::FILE* ratios)
{
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios(ratios);
}

} // namespace

int main(int argc, char** argv)
{
    // The library reads --benchmark_format but does not tell it: a reporter
    // handed to it replaces the one the flag selects, so pick the same one.
    std::string format = "console";
    const std::string flag = "--benchmark_format=";
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]).rfind(flag, 0) == 0) {
            format = argv[i] + flag.size();
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    corpus();
    if (format == "json") {
        RatioReporter<benchmark::JSONReporter> reporter;
        run_and_compare(reporter, stderr);
    } else if (format != "console") {
        benchmark::RunSpecifiedBenchmarks(); // deprecated CSV: the library's own, no ratios
    } else {
        // Colour only on a terminal, so that saved results stay plain text.
        RatioReporter<benchmark::ConsoleReporter> reporter(
            isatty(STDOUT_FILENO) != 0 ? benchmark::ConsoleReporter::OO_ColorTabular
                                       : benchmark::ConsoleReporter::OO_Tabular);
        run_and_compare(reporter, stdout);
    }
    benchmark::Shutdown();
    return 0;
}
