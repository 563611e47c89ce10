// Rendering speed of the number formatter: a million cells per iteration through the
// fixed formats a contacts sheet uses. Items per second is cells per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/number_format.h"

namespace {

constexpr std::size_t kCells = 1'000'000;

enum class Values { kMoney, kZip, kPhone, kDate, kMixed };

std::vector<double> MakeValues(Values kind) {
  std::mt19937_64 rng(42);
  std::vector<double> values(kCells);
  for (auto& v : values) {
    switch (kind) {
      case Values::kMoney:
        v = static_cast<double>(rng() % 100000000) / 100.0 - 100000.0;
        break;
      case Values::kZip:
        v = static_cast<double>(rng() % 100000);
        break;
      case Values::kPhone:
        v = static_cast<double>(2000000000 + rng() % 7999999999ULL);
        break;
      case Values::kDate:
        v = static_cast<double>(20000 + rng() % 30000);
        break;
      case Values::kMixed:
        switch (rng() % 4) {
          case 0:
            v = static_cast<double>(rng() % 100000);
            break;
          case 1:
            v = static_cast<double>(491700000000ULL + rng() % 100000000);
            break;
          case 2:
            v = static_cast<double>(rng() % 1000000) / 1000.0;
            break;
          default:
            v = std::ldexp(static_cast<double>(rng() % (1ULL << 52)), -40);
            break;
        }
        break;
    }
  }
  return values;
}

void Render(benchmark::State& state, std::string_view code, std::uint32_t id, Values kind) {
  const std::vector<double> values = MakeValues(kind);
  cw::sheet::NumberFormatter formatter;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (const double v : values) {
      const std::string text = formatter.FormatNumber(v, id, code);
      bytes += text.size();
      benchmark::DoNotOptimize(text.data());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
  benchmark::DoNotOptimize(bytes);
}

void BM_Fixed2(benchmark::State& s) { Render(s, "0.00", 164, Values::kMoney); }
void BM_Thousands(benchmark::State& s) { Render(s, "#,##0", 164, Values::kMoney); }
void BM_Zip(benchmark::State& s) { Render(s, "00000", 164, Values::kZip); }
void BM_Date(benchmark::State& s) { Render(s, "m/d/yyyy", 164, Values::kDate); }
void BM_Phone(benchmark::State& s) { Render(s, "(###) ###-####", 164, Values::kPhone); }
void BM_General(benchmark::State& s) { Render(s, "", 0, Values::kMixed); }
void BM_BuiltinShortDate(benchmark::State& s) { Render(s, "", 14, Values::kDate); }
void BM_BuiltinCurrency(benchmark::State& s) { Render(s, "", 7, Values::kMoney); }
void BM_BuiltinAccounting(benchmark::State& s) { Render(s, "", 44, Values::kMoney); }
// Through ICU: the locale's long date.
void BM_SystemLongDate(benchmark::State& s) { Render(s, "[$-F800]dddd, mmmm dd, yyyy", 164, Values::kDate); }

BENCHMARK(BM_Fixed2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Thousands)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Date)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Phone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_General)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuiltinShortDate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuiltinCurrency)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuiltinAccounting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SystemLongDate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
