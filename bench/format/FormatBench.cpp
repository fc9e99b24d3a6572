// Formats per second for the common kinds of format code.
#include <benchmark/benchmark.h>

#include <vector>

#include "spreadsheet/format/NumberFormat.h"

namespace {

using quillane::format::FormatGeneral;
using quillane::format::NumberFormat;

std::vector<double> Values() {
  std::vector<double> v;
  double x = 0.000123;
  for (int i = 0; i < 1024; ++i) {
    v.push_back((i % 3 == 0 ? -x : x));
    x = x * 1.37 + 0.731;
    if (x > 1e12) x = 0.000123 * (i + 1);
  }
  return v;
}

void RunFormat(benchmark::State& state, const char* code, double scale, double offset) {
  NumberFormat f(code);
  std::vector<double> values = Values();
  for (double& d : values) d = std::abs(d) * scale + offset;
  std::size_t i = 0;
  for (auto _ : state) {
    auto r = f.Format(values[i++ & 1023], false);
    benchmark::DoNotOptimize(r.text.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_General(benchmark::State& state) {
  std::vector<double> values = Values();
  std::size_t i = 0;
  for (auto _ : state) {
    auto r = FormatGeneral(values[i++ & 1023]);
    benchmark::DoNotOptimize(r.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_General);

void BM_GeneralCode(benchmark::State& state) { RunFormat(state, "General", 1, 0); }
BENCHMARK(BM_GeneralCode);

void BM_Thousands2(benchmark::State& state) { RunFormat(state, "#,##0.00", 1, 0); }
BENCHMARK(BM_Thousands2);

void BM_Date(benchmark::State& state) { RunFormat(state, "yyyy-mm-dd hh:mm:ss", 1e-6, 40000); }
BENCHMARK(BM_Date);

void BM_Fraction(benchmark::State& state) { RunFormat(state, "# ?\?/??", 1e-6, 0); }
BENCHMARK(BM_Fraction);

void BM_Accounting(benchmark::State& state) {
  RunFormat(state, "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)", 1, 0);
}
BENCHMARK(BM_Accounting);

void BM_Compile(benchmark::State& state) {
  for (auto _ : state) {
    NumberFormat f("#,##0.00;[Red]-#,##0.00;\"zero\";@");
    benchmark::DoNotOptimize(&f);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_Compile);

}  // namespace

BENCHMARK_MAIN();
